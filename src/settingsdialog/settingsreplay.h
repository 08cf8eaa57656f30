#pragma once

#include <QString>

#include "filelist/filerow.h"

class QComboBox;
class QTreeWidgetItem;

namespace SettingsReplay {

// The index under which the main window's box holds `text`, the entry that
// the settings dialog chose at `savedIndex`. The two windows fill their boxes
// from the same profile, so the saved index usually names the same entry;
// a value typed into the dialog's editable size or bitrate box does not
// exist in the main window's box, and replaying its index alone would lose
// it. Such a text is taken the way typing it into the main window's box
// would take it: an equal entry is chosen, any other text is appended, and
// the row's copy of the box's items grows with the box, so that the row
// shows the entry again when it becomes current later. An empty text keeps
// the saved index.
int adoptEntry(QComboBox *box, int savedIndex, const QString &text, QTreeWidgetItem *row,
               FileRow::OptionItems which);

} // namespace SettingsReplay
