#include "filelock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

FileLock::FileLock(const QString &path, Opening opening) : m_path(path) {
    const int flags = O_RDWR | O_CLOEXEC | (opening == Opening::MayCreate ? O_CREAT : 0);
    m_fd = ::open(QFile::encodeName(path).constData(), flags, 0600);
    if (m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

FileLock::~FileLock() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool FileLock::isHeld() const {
    struct stat held;
    struct stat named;
    return m_fd >= 0 && ::fstat(m_fd, &held) == 0 &&
           ::stat(QFile::encodeName(m_path).constData(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

bool FileLock::removeFile() {
    return isHeld() && ::unlink(QFile::encodeName(m_path).constData()) == 0;
}
