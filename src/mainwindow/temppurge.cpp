#include "temppurge.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include "platform/filelock.h"

namespace TempPurge {

namespace {

const QString kClaimName = QStringLiteral(".claim");
// A start that clears a dead copy's folder of the same name holds its claim
// while it does.
constexpr int kClaimAttempts = 20;
constexpr unsigned long kClaimRetryMs = 50;

void removeEntries(const QString &folder, const QString &keep = QString()) {
    // Hidden entries are ours too, and broken links count as "system" ones:
    // leaving either behind would keep the folder from going.
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &entry : entries) {
        const QString path = entry.absoluteFilePath();
        if (entry.fileName() == keep)
            continue;
        if (entry.isDir() && !entry.isSymLink()) {
            removeEntries(path);
            QDir().rmdir(path);
        } else {
            QFile::remove(path);
        }
    }
}

QString claimPath(const QString &folder) {
    return folder + QLatin1Char('/') + kClaimName;
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

std::unique_ptr<FileLock> claimFolder(const QString &folder) {
    for (int attempt = 0; attempt < kClaimAttempts; ++attempt) {
        if (!QDir().mkpath(folder))
            return nullptr;
        auto claim = std::make_unique<FileLock>(claimPath(folder), FileLock::Opening::MayCreate);
        if (claim->isHeld())
            return claim;
        QThread::msleep(kClaimRetryMs);
    }
    return nullptr;
}

void removeLeftovers(const QString &own) {
    const QFileInfo ownInfo(own);
    const QFileInfoList folders = ownInfo.dir().entryInfoList(
        QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QFileInfo &folder : folders) {
        const QString path = folder.absoluteFilePath();
        if (path == ownInfo.absoluteFilePath())
            continue;
        FileLock claim(claimPath(path), FileLock::Opening::Existing);
        if (!claim.isHeld())
            continue;
        // The claim goes last, so that a new copy of the same name waits
        // for the folder to be cleared rather than lose what it writes.
        removeEntries(path, kClaimName);
        claim.removeFile();
        QDir().rmdir(path);
    }
}

} // namespace TempPurge
