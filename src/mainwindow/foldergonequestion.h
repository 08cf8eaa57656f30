#pragma once

#include <QString>

class QWidget;

// A folder the user chose (the destination, the snapshot folder) that is not
// there any more is made again only when the user says so: it may be on a
// drive or share that is not connected, and a folder made in its place would
// hide what is written there from the share when it comes back.
namespace FolderGoneQuestion {

// Asks "Make It Again" or "Stop"; true for Make It Again.
bool ask(QWidget *parent, const QString &folder);

} // namespace FolderGoneQuestion
