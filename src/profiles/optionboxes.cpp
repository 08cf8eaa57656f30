#include "optionboxes.h"

#include <QComboBox>

void OptionBoxes::fill(QComboBox *box, const ComboFill &choices) {
    box->clear();
    box->addItems(choices.items);
    box->setCurrentIndex(choices.current);
}

bool OptionBoxes::followCodec(const QString &installDir, const QString &profileFile,
                              ProfileLoader::CodecKind kind, const QComboBox *codecBox, int &shown,
                              const std::array<QComboBox *, 3> &dependents) {
    const int codec = codecBox->currentIndex();
    if (codec < 0 || codec == shown)
        return false;
    const std::optional<ProfileSelection> lists =
        ProfileLoader::codecChange(installDir, profileFile, kind, shown, codec);
    shown = codec;
    if (!lists)
        return false;
    const bool video = kind == ProfileLoader::CodecKind::Video;
    fill(dependents[0], video ? lists->vsize : lists->asamplerate);
    fill(dependents[1], video ? lists->vbitrate : lists->abitrate);
    fill(dependents[2], video ? lists->vframeRate : lists->achannels);
    return true;
}
