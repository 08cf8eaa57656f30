#include "filepublish.h"

#include <cerrno>
#include <ctime>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include "platform/newfilename.h"
#include "platform/processcheck.h"
#include "platform/safefile.h"

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

// A hidden file whose writer cannot be told has surely gone once it has not
// changed for this long.
constexpr time_t kAbandonedSeconds = time_t(7) * 24 * 60 * 60;

// The names in folder that keep says may be wanted, from one listing: the
// names alone, as most drives give them without a look at each file.
QStringList namesIn(const QByteArray &folder, bool (*keep)(const char *)) {
    QStringList names;
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return names;
    while (const struct dirent *entry = ::readdir(dir)) {
        if (keep(entry->d_name))
            names << QFile::decodeName(entry->d_name);
    }
    ::closedir(dir);
    return names;
}

bool anyName(const char *) {
    return true;
}

// The hidden file is this user's and its writer has gone: known gone from
// this boot and PID namespace, or, where that cannot be told (another
// computer, an older name), not changed for a week.
bool isLeftBehind(const NewFileName::Writer &writer, const struct stat &file) {
    if (!S_ISREG(file.st_mode) || file.st_uid != ::geteuid())
        return false;
    if (!writer.boot.isEmpty() && writer.boot == ProcessCheck::thisBoot() &&
        !writer.pidSpace.isEmpty() && writer.pidSpace == ProcessCheck::thisPidSpace())
        return ProcessCheck::of(writer.pid, writer.started) == ProcessCheck::State::Gone;
    return std::time(nullptr) - file.st_mtime > kAbandonedSeconds;
}

// What writers ended before their file got its name left in folder. A
// whole hidden file beside the claim of its name (an empty file of ours)
// takes that name: killed, or its drive pulled, between the claim and the
// rename, its writer had the file whole. Without its claim it never became
// the file and goes.
void finishLeftBehind(const QString &folder) {
    const QByteArray here = native(folder);
    QStringList everyName; // listed once a cut name needs its claim
    for (const QString &name : namesIn(here, NewFileName::mayBeOne)) {
        const NewFileName::Writer writer = NewFileName::writerOf(name);
        const QString hidden = folder + QLatin1Char('/') + name;
        struct stat file;
        if (writer.pid <= 0 || ::lstat(native(hidden).constData(), &file) != 0 ||
            !isLeftBehind(writer, file))
            continue;
        // An older name does not say its size: an empty claim loses nothing
        // by taking what there is.
        const bool whole = writer.size < 0 || qint64(file.st_size) == writer.size;
        QString claim = writer.name;
        if (whole && claim.isEmpty()) {
            if (everyName.isEmpty())
                everyName = namesIn(here, anyName);
            for (const QString &other : std::as_const(everyName)) {
                if (other != name && NewFileName::isCutFor(writer, other)) {
                    claim = other;
                    break;
                }
            }
        }
        const int finished = whole && !claim.isEmpty()
                                 ? finishClaim(hidden, folder + QLatin1Char('/') + claim)
                                 : ENOENT;
        if (finished == EEXIST || finished == ENOENT)
            ::unlink(native(hidden).constData());
    }
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
    const QString folder = QFileInfo(path).absolutePath();
    finishLeftBehind(folder);
    const int error = SafeFile::writeNew(path, bytes);
    if (error == 0)
        syncFolder(folder);
    return error;
}

} // namespace FilePublish
