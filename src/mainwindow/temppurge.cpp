#include "temppurge.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace TempPurge {

namespace {

void removeEntries(const QString &folder)
{
    // Hidden entries are ours too, and broken links count as "system" ones:
    // leaving either behind would keep the folder from going.
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &entry : entries) {
        const QString path = entry.absoluteFilePath();
        if (entry.isDir() && !entry.isSymLink()) {
            removeEntries(path);
            QDir().rmdir(path);
        } else {
            QFile::remove(path);
        }
    }
}

} // namespace

bool emptyFolder(const QString &root)
{
    const QFileInfo info(root);
    if (root.isEmpty() || info.isSymLink() || !info.isDir())
        return false;
    removeEntries(info.absoluteFilePath());
    return true;
}

} // namespace TempPurge
