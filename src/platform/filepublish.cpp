#include "filepublish.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>

#include "platform/newfilename.h"

namespace FilePublish {

namespace {

QByteArray native(const QString &path) {
    return QFile::encodeName(path);
}

// A link error that says the drive keeps no hard links, not that this one
// may not be made.
bool noLinksHere(int error) {
    return error == EPERM || error == EOPNOTSUPP || error == ENOSYS;
}

// The name is claimed with a file of our own, which a plain rename then
// replaces: a rename that would replace someone else's file can no longer
// happen, as the name is ours.
int claimThenRename(const QByteArray &from, const QByteArray &to) {
    const int fd = ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    struct stat claim;
    const bool known = ::fstat(fd, &claim) == 0;
    ::close(fd);
    // Whoever wrote into the claim meanwhile keeps what they wrote.
    struct stat now;
    if (::lstat(to.constData(), &now) == 0 && now.st_size != 0)
        return EEXIST;
    if (::rename(from.constData(), to.constData()) == 0)
        return 0;
    const int error = errno;
    if (known && ::lstat(to.constData(), &now) == 0 && now.st_dev == claim.st_dev &&
        now.st_ino == claim.st_ino && now.st_size == 0)
        ::unlink(to.constData());
    return error;
}

int writeAll(int fd, const QByteArray &bytes) {
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += n;
        left -= n;
    }
    return 0;
}

} // namespace

int withoutReplacing(const QString &fromPath, const QString &toPath) {
    const QByteArray from = native(fromPath);
    const QByteArray to = native(toPath);
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    // A drive without that rename says so in one of these words.
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return errno;
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());
        return 0;
    }
    if (!noLinksHere(errno))
        return errno;
    return claimThenRename(from, to);
}

int finishClaim(const QString &fromPath, const QString &toPath) {
    const QByteArray to = native(toPath);
    struct stat claim;
    if (::lstat(to.constData(), &claim) != 0)
        return errno;
    if (!S_ISREG(claim.st_mode) || claim.st_size != 0 || claim.st_uid != ::geteuid())
        return EEXIST;
    if (::rename(native(fromPath).constData(), to.constData()) != 0)
        return errno;
    syncFolder(QFileInfo(toPath).absolutePath());
    return 0;
}

int syncData(int fd) {
    if (::fdatasync(fd) == 0 || errno == EINVAL)
        return 0;
    return errno;
}

void syncFolder(const QString &folder) {
    const int fd = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

int writeNew(const QString &path, const QByteArray &bytes) {
    const QFileInfo target(path);
    const QString hidden = NewFileName::forWrite(path, bytes.size());
    const QByteArray temporary = native(hidden);
    const int fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    int error = writeAll(fd, bytes);
    if (error == 0)
        error = syncData(fd);
    if (::close(fd) != 0 && error == 0 && errno != EINTR)
        error = errno;
    if (error == 0)
        error = withoutReplacing(hidden, path);
    if (error != 0) {
        ::unlink(temporary.constData());
        return error;
    }
    syncFolder(target.absolutePath());
    return 0;
}

} // namespace FilePublish
