#include "optionstate.h"

void OptionState::takeProfile(const QString &fileName, const QString &label)
{
    profileFile = fileName;
    currentProfileFile = fileName;
    formatLabel = label;
}

void OptionState::finishAdd()
{
    inputName.clear();
    inputExtension.clear();
}
