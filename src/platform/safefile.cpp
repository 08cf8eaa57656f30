#include "safefile.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>

#include "platform/filepublish.h"
#include "platform/newfilename.h"
#include "platform/writeall.h"

namespace {

constexpr int kMaxLinkDepth = 32;
constexpr long kNanosecondsPerMillisecond = 1000 * 1000;

bool fail(QString *reason, int error) {
    if (reason)
        *reason = SafeFile::reasonText(error);
    return false;
}

QString resolvedPath(const QString &path) {
    QFileInfo info(path);
    for (int depth = 0; depth < kMaxLinkDepth && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.absoluteFilePath();
}

qint64 milliseconds(const timespec &time) {
    return qint64(time.tv_sec) * 1000 + time.tv_nsec / kNanosecondsPerMillisecond;
}

// Readers that tell a changed file by its size and modification time (Qt's
// settings cache compares them to the millisecond) must see the new file as
// new, even when it is written within the millisecond of the old one or the
// clock has gone back.
void dateAfter(int fd, const struct stat &old) {
    struct stat now;
    if (::fstat(fd, &now) != 0 || milliseconds(now.st_mtim) > milliseconds(old.st_mtim))
        return;
    const qint64 later = milliseconds(old.st_mtim) + 1;
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = time_t(later / 1000);
    times[1].tv_nsec = long(later % 1000) * kNanosecondsPerMillisecond;
    ::futimens(fd, times);
}

// Writes bytes into the hidden file beside the one they are for, made
// here and new (NewFileName: a writer that was ended leaves a name that says
// whose it was), and has them on the drive: 0, or the reason, and nothing
// of it left on failure. A file it is to replace gives it its mode and an
// older date.
int writeAside(const QByteArray &hidden, const QByteArray &bytes, const struct stat *replacing) {
    const int fd = ::open(hidden.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    if (replacing)
        ::fchmod(fd, replacing->st_mode & 07777);
    int error = writeAll(fd, bytes.constData(), size_t(bytes.size()));
    if (error == 0 && replacing)
        dateAfter(fd, *replacing);
    // The inode's mode and date as well as the data: fsync, not fdatasync.
    // A file of a kind that cannot be synced counts as synced.
    if (error == 0 && ::fsync(fd) != 0 && errno != EINVAL)
        error = errno;
    // A network drive may tell of a failed write only now; an interrupted
    // close after the sync has lost nothing.
    if (::close(fd) != 0 && error == 0 && errno != EINTR)
        error = errno;
    if (error != 0)
        ::unlink(hidden.constData());
    return error;
}

} // namespace

QString SafeFile::reasonText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

int SafeFile::writeNew(const QString &path, const QByteArray &bytes) {
    const QString hidden = NewFileName::forWrite(path, bytes.size());
    int error = writeAside(QFile::encodeName(hidden), bytes, nullptr);
    if (error == 0)
        error = FilePublish::withoutReplacing(hidden, path);
    if (error != 0)
        ::unlink(QFile::encodeName(hidden).constData());
    return error;
}

void SafeFile::syncFolder(const QString &folder) {
    FilePublish::syncFolder(folder);
}

bool SafeFile::replace(const QString &path, const QByteArray &bytes, QString *reason) {
    const QString target = resolvedPath(path);
    const QByteArray finalName = QFile::encodeName(target);
    const QByteArray hidden = QFile::encodeName(NewFileName::forWrite(target, bytes.size()));
    struct stat old;
    const bool replacing = ::stat(finalName.constData(), &old) == 0;
    int error = writeAside(hidden, bytes, replacing ? &old : nullptr);
    if (error == 0 && ::rename(hidden.constData(), finalName.constData()) != 0) {
        error = errno;
        ::unlink(hidden.constData());
    }
    if (error != 0)
        return fail(reason, error);
    // Only whether the rename outlives a power cut depends on this: either
    // file, old or new, is whole.
    syncFolder(QFileInfo(target).absolutePath());
    return true;
}
