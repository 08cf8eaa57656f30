#include "writerlock.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

namespace WriterLock {

namespace {

// One byte far past any data: a drive that enforces byte-range locks on
// reads and writes (SMB) never stops the writer's own ffmpeg at it.
constexpr off_t kLockedByte = off_t(1) << 62;

struct flock lockOfTheByte(short type) {
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = kLockedByte;
    lock.l_len = 1;
    return lock;
}

} // namespace

bool hold(int fd) {
    // Owned by the open file, not the process: another descriptor of the same
    // file being closed (a probe reading it back) leaves it in place.
    struct flock lock = lockOfTheByte(F_WRLCK);
    return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

State of(const QString &path) {
    return factsOf(path).lock;
}

Facts factsOf(const QString &path) {
    Facts facts;
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return facts;
    struct stat status {};
    if (::fstat(fd, &status) == 0) {
        facts.ours = status.st_uid == ::geteuid();
        facts.modifiedMs =
            qint64(status.st_mtim.tv_sec) * 1000 + qint64(status.st_mtim.tv_nsec) / 1000000;
    }
    struct flock lock = lockOfTheByte(F_WRLCK);
    if (::fcntl(fd, F_OFD_GETLK, &lock) == 0)
        facts.lock = lock.l_type == F_UNLCK ? State::Free : State::Held;
    ::close(fd);
    return facts;
}

} // namespace WriterLock
