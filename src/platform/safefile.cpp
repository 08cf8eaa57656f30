#include "safefile.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include "platform/filepublish.h"
#include "platform/writeall.h"

namespace {

constexpr int kMaxLinkDepth = 32;
constexpr int kNameAttempts = 64;
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

// A new file of our own beside target, hidden, so that the rename stays on
// its drive: its descriptor, or a negative errno.
int openBeside(const QFileInfo &target, QByteArray *temporary) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        *temporary = QFile::encodeName(target.absolutePath() + QStringLiteral("/.") +
                                       target.fileName() + QStringLiteral(".new-") +
                                       QString::number(QRandomGenerator::global()->generate(), 36));
        const int fd = ::open(temporary->constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd >= 0 ? fd : -errno;
    }
    return -EEXIST;
}

} // namespace

QString SafeFile::reasonText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

int SafeFile::writeNew(const QString &path, const QByteArray &bytes) {
    const QFileInfo info(path);
    QByteArray temporary;
    const int fd = openBeside(info, &temporary);
    if (fd < 0)
        return -fd;
    int error = writeAll(fd, bytes.constData(), size_t(bytes.size()));
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0)
        error = FilePublish::withoutReplacing(QFile::decodeName(temporary), info.absoluteFilePath());
    if (error != 0)
        ::unlink(temporary.constData());
    return error;
}

void SafeFile::syncFolder(const QString &folder) {
    FilePublish::syncFolder(folder);
}

bool SafeFile::replace(const QString &path, const QByteArray &bytes, QString *reason) {
    const QString target = resolvedPath(path);
    const QFileInfo info(target);
    const QByteArray finalName = QFile::encodeName(target);

    QByteArray temporary;
    const int fd = openBeside(info, &temporary);
    if (fd < 0)
        return fail(reason, -fd);

    struct stat old;
    const bool replacing = ::stat(finalName.constData(), &old) == 0;
    if (replacing)
        ::fchmod(fd, old.st_mode & 07777);

    int error = writeAll(fd, bytes.constData(), size_t(bytes.size()));
    if (error == 0 && replacing)
        dateAfter(fd, old);
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    // A network drive may tell of a failed write only now.
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temporary.constData(), finalName.constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temporary.constData());
        return fail(reason, error);
    }

    // Only whether the rename outlives a power cut depends on this: either
    // file, old or new, is whole.
    const int folder = ::open(QFile::encodeName(info.absolutePath()).constData(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}
