#include "temppurge.h"

#include <QDateTime>
#include <QFileInfo>

#include "platform/filecalls.h"
#include "platform/processowner.h"

namespace TempPurge {

namespace {

const QString kOwnerName = QStringLiteral(".owner");
constexpr qint64 kMaxOwnerBytes = 4096;
// A folder that nobody can tell the owner of is not kept for ever: a copy
// at work writes its scripts more often than this.
constexpr qint64 kUnknownOwnerKeptMs = qint64(7) * 24 * 60 * 60 * 1000;

QString inside(const QString &folder, const QString &name) {
    return folder + QLatin1Char('/') + name;
}

void removeEntries(const QString &folder, const QString &keep = QString()) {
    // Hidden entries are ours too, and broken links as well: leaving either
    // behind would keep the folder from going.
    for (const QString &name : FileCalls::entries(folder)) {
        if (name == keep)
            continue;
        const QString path = inside(folder, name);
        const FileCalls::Look entry = FileCalls::look(path);
        if (entry.isDir && !entry.isLink) {
            removeEntries(path);
            FileCalls::removeFolder(path);
        } else {
            FileCalls::remove(path);
        }
    }
}

ProcessOwner ownerOf(const QString &folder) {
    QByteArray text;
    if (FileCalls::readWhole(inside(folder, kOwnerName), &text, kMaxOwnerBytes) != 0)
        return ProcessOwner();
    return ProcessOwner::fromText(text);
}

// Nothing in the folder, nor the folder itself, has changed since before.
bool untouchedSince(const QString &folder, qint64 beforeMs) {
    const FileCalls::Look look = FileCalls::look(folder);
    if (!look.answered || look.modifiedMs < 0 || look.modifiedMs >= beforeMs)
        return false;
    for (const QString &name : FileCalls::entries(folder)) {
        const FileCalls::Look entry = FileCalls::look(inside(folder, name));
        if (!entry.answered || entry.modifiedMs >= beforeMs)
            return false;
    }
    return true;
}

} // namespace

bool emptyFolder(const QString &root)
{
    const FileCalls::Look look = FileCalls::look(root);
    if (root.isEmpty() || look.isLink || !look.isDir)
        return false;
    removeEntries(QFileInfo(root).absoluteFilePath());
    return true;
}

bool claimFolder(const QString &folder) {
    // A folder of this name is this process's own or left by a process of
    // the same id on this computer, which has gone: what it left is counted
    // past and goes when this copy closes.
    return FileCalls::makePath(folder) &&
           FileCalls::replace(inside(folder, kOwnerName), ProcessOwner::self().toText());
}

void removeLeftovers(const QString &own) {
    const QFileInfo ownInfo(own);
    const QString parent = ownInfo.absolutePath();
    const qint64 unknownBefore = QDateTime::currentMSecsSinceEpoch() - kUnknownOwnerKeptMs;
    for (const QString &name : FileCalls::entries(parent)) {
        const QString path = inside(parent, name);
        if (name == ownInfo.fileName())
            continue;
        const FileCalls::Look folder = FileCalls::look(path);
        if (!folder.isDir || folder.isLink)
            continue;
        const ProcessOwner owner = ownerOf(path);
        if (!owner.isKnownGone() &&
            (owner.isOnThisComputer() || !untouchedSince(path, unknownBefore)))
            continue;
        // The owner's name goes last: a folder half cleared still says whose
        // it was.
        removeEntries(path, kOwnerName);
        FileCalls::remove(inside(path, kOwnerName));
        FileCalls::removeFolder(path);
    }
}

} // namespace TempPurge
