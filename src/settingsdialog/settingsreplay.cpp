#include "settingsreplay.h"

#include <QComboBox>
#include <QStringList>

namespace SettingsReplay {

int adoptEntry(QComboBox *box, int savedIndex, const QString &text, QTreeWidgetItem *row,
               FileRow::OptionItems which) {
    if (text.isEmpty())
        return savedIndex;
    if (savedIndex >= 0 && savedIndex < box->count() && box->itemText(savedIndex) == text)
        return savedIndex;
    const int equal = box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (equal >= 0)
        return equal;

    box->addItem(text);
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    FileRow::setOptionItems(row, which, items);
    return box->count() - 1;
}

} // namespace SettingsReplay
