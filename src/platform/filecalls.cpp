#include "filecalls.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTemporaryFile>

#include "platform/filepublish.h"
#include "platform/safefile.h"

extern char **environ;

namespace FileCalls {

namespace {

// How often a thread waiting for the helper asks whether to go on waiting.
constexpr int kEndPollMs = 50;
// Far above any request or answer (a snapshot's picture is the largest): a
// longer frame means the stream is lost.
constexpr quint32 kMaxFrameBytes = 512 * 1024 * 1024;
constexpr auto kStreamVersion = QDataStream::Qt_6_0;

enum class Op : quint8 {
    Look = 1,
    CanonicalPath,
    MakePath,
    CanWriteInto,
    Remove,
    HiddenFiles,
    WriterState,
    FreeBytes,
    OpenForReading,
    ReadAt,
    SizeOf,
    CloseFile,
    WriteNew,
    RemoveFolder,
    Entries,
    Replace,
};

struct Request {
    Op op = Op::Look;
    QString path;
    QString extra;
    qint64 handle = -1;
    qint64 offset = 0;
    qint64 size = 0;
    QByteArray data;
};

Request requestFor(Op op, const QString &path = QString(), const QString &extra = QString()) {
    Request request;
    request.op = op;
    request.path = path;
    request.extra = extra;
    return request;
}

// A read's bytes, and how many (or why none).
struct ReadAnswer {
    qint64 result = kEnded;
    QByteArray data;
};

// Reads a little more than the player asks at a time; more is refused.
constexpr qint64 kMaxReadBytes = 16 * 1024 * 1024;

static_assert(kEnded == -ECANCELED, "kEnded is -ECANCELED");

thread_local Channel *t_channel = nullptr;

// The calls themselves, as the helper makes them (or this thread, without one).
namespace direct {

Look look(const QString &path) {
    // The system's own answers: a time in local time would have the C
    // library read the time zone, which every thread shares.
    const QByteArray name = QFile::encodeName(path);
    Look found;
    struct stat status {};
    found.isLink =
        !name.isEmpty() && ::lstat(name.constData(), &status) == 0 && S_ISLNK(status.st_mode);
    if (name.isEmpty() || ::stat(name.constData(), &status) != 0) {
        found.error = name.isEmpty() ? ENOENT : errno;
        return found;
    }
    found.exists = true;
    found.isDir = S_ISDIR(status.st_mode);
    found.isFile = S_ISREG(status.st_mode);
    found.size = qint64(status.st_size);
    found.modifiedMs =
        qint64(status.st_mtim.tv_sec) * 1000 + qint64(status.st_mtim.tv_nsec) / 1000000;
    return found;
}

QString canonicalPath(const QString &path) {
    return QFileInfo(path).canonicalFilePath();
}

bool makePath(const QString &folder) {
    return QDir().mkpath(folder);
}

bool canWriteInto(const QString &folder) {
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".quillora-XXXXXX")));
    return probe.open();
}

bool remove(const QString &path) {
    return QFile::remove(path);
}

bool removeFolder(const QString &path) {
    return ::rmdir(QFile::encodeName(path).constData()) == 0;
}

QStringList entries(const QString &folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

QStringList hiddenFilesEndingWith(const QString &folder, const QString &suffix) {
    return QDir(folder).entryList({QStringLiteral(".*") + suffix},
                                  QDir::Files | QDir::Hidden | QDir::System);
}

qint64 freeBytes(const QString &path) {
    QFileInfo info(path);
    // A folder that is not made yet: the nearest one above it that is.
    while (!info.exists()) {
        const QString parent = info.absolutePath();
        if (parent == info.absoluteFilePath())
            return -1;
        info.setFile(parent);
    }
    const QStorageInfo storage(info.absoluteFilePath());
    if (!storage.isValid() || !storage.isReady())
        return -1;
    return storage.bytesAvailable();
}

qint64 openForReading(const QString &path) {
    // Non-blocking: a named pipe put under the name is not waited on.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return -errno;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return -EINVAL;
    }
    return fd;
}

ReadAnswer readAt(qint64 handle, qint64 offset, qint64 size) {
    ReadAnswer read;
    if (size < 0 || size > kMaxReadBytes || handle < 0) {
        read.result = -EINVAL;
        return read;
    }
    read.data.resize(qsizetype(size));
    ssize_t got = 0;
    do {
        got = ::pread(int(handle), read.data.data(), size_t(size), off_t(offset));
    } while (got < 0 && errno == EINTR);
    read.result = got < 0 ? -errno : got;
    read.data.resize(got < 0 ? 0 : qsizetype(got));
    return read;
}

qint64 sizeOf(qint64 handle) {
    struct stat status {};
    return handle >= 0 && ::fstat(int(handle), &status) == 0 ? qint64(status.st_size) : -errno;
}

bool closeFile(qint64 handle) {
    return handle >= 0 && ::close(int(handle)) == 0;
}

} // namespace direct

QDataStream &operator<<(QDataStream &out, const Look &look) {
    return out << look.exists << look.isLink << look.isDir << look.isFile << look.size
               << look.modifiedMs << qint32(look.error);
}

QDataStream &operator>>(QDataStream &in, Look &look) {
    qint32 error = 0;
    in >> look.exists >> look.isLink >> look.isDir >> look.isFile >> look.size >> look.modifiedMs >>
        error;
    look.error = error;
    return in;
}

QDataStream &operator<<(QDataStream &out, const ReadAnswer &read) {
    return out << read.result << read.data;
}

QDataStream &operator>>(QDataStream &in, ReadAnswer &read) {
    return in >> read.result >> read.data;
}

QDataStream &operator<<(QDataStream &out, const Request &request) {
    return out << quint8(request.op) << request.path << request.extra << request.handle
               << request.offset << request.size << request.data;
}

QDataStream &operator>>(QDataStream &in, Request &request) {
    quint8 op = 0;
    in >> op >> request.path >> request.extra >> request.handle >> request.offset >> request.size >>
        request.data;
    request.op = Op(op);
    return in;
}

QDataStream &operator<<(QDataStream &out, WriterLock::State state) {
    return out << qint32(state);
}

QDataStream &operator>>(QDataStream &in, WriterLock::State &state) {
    qint32 value = 0;
    in >> value;
    state = WriterLock::State(value);
    return in;
}

template <typename T> QByteArray encoded(const T &value) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(kStreamVersion);
    out << value;
    return bytes;
}

// The call through this thread's channel, or made here without one. A call
// the channel was ended during gets `unanswered`: nothing is then done here,
// where the share would hold this thread.
template <typename T, typename Direct>
T call(const Request &request, T unanswered, Direct makeHere) {
    Channel *channel = t_channel;
    if (!channel)
        return makeHere();
    // Nothing is made of it: a piece that goes on looking (through every
    // numbered name) after the end ends at once all the same.
    if (channel->isEnded())
        return unanswered;
    QByteArray answer;
    switch (channel->ask(encoded(request), &answer)) {
    case Channel::Outcome::Answered: {
        QDataStream in(answer);
        in.setVersion(kStreamVersion);
        T value{};
        in >> value;
        return in.status() == QDataStream::Ok ? value : unanswered;
    }
    case Channel::Outcome::NoHelper:
        // An installation without the helper: as before there was one.
        return makeHere();
    case Channel::Outcome::Ended:
    case Channel::Outcome::Lost:
        break;
    }
    return unanswered;
}

bool writeAll(int fd, const char *data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::send(fd, data, size, MSG_NOSIGNAL);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= size_t(written);
    }
    return true;
}

bool writeFrame(int fd, const QByteArray &payload) {
    const quint32 length = quint32(payload.size());
    return writeAll(fd, reinterpret_cast<const char *>(&length), sizeof length) &&
           writeAll(fd, payload.constData(), size_t(payload.size()));
}

// Reads size bytes; goOn is asked whenever nothing has come for a while.
template <typename GoOn> bool readAll(int fd, char *data, size_t size, GoOn goOn) {
    while (size > 0) {
        struct pollfd ready = {fd, POLLIN, 0};
        const int polled = ::poll(&ready, 1, kEndPollMs);
        if (polled < 0 && errno != EINTR)
            return false;
        if (polled <= 0) {
            if (!goOn())
                return false;
            continue;
        }
        const ssize_t got = ::read(fd, data, size);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got <= 0)
            return false;
        data += got;
        size -= size_t(got);
    }
    return true;
}

template <typename GoOn> bool readFrame(int fd, QByteArray *payload, GoOn goOn) {
    quint32 length = 0;
    if (!readAll(fd, reinterpret_cast<char *>(&length), sizeof length, goOn) ||
        length > kMaxFrameBytes)
        return false;
    payload->resize(qsizetype(length));
    return readAll(fd, payload->data(), length, goOn);
}

QByteArray answer(const QByteArray &bytes) {
    QDataStream in(bytes);
    in.setVersion(kStreamVersion);
    Request request;
    in >> request;
    if (in.status() != QDataStream::Ok)
        return QByteArray();
    const QString &path = request.path;
    const QString &extra = request.extra;
    switch (request.op) {
    case Op::Look:
        return encoded(direct::look(path));
    case Op::CanonicalPath:
        return encoded(direct::canonicalPath(path));
    case Op::MakePath:
        return encoded(direct::makePath(path));
    case Op::CanWriteInto:
        return encoded(direct::canWriteInto(path));
    case Op::Remove:
        return encoded(direct::remove(path));
    case Op::HiddenFiles:
        return encoded(direct::hiddenFilesEndingWith(path, extra));
    case Op::WriterState:
        return encoded(WriterLock::of(path));
    case Op::FreeBytes:
        return encoded(direct::freeBytes(path));
    case Op::OpenForReading:
        return encoded(direct::openForReading(path));
    case Op::ReadAt:
        return encoded(direct::readAt(request.handle, request.offset, request.size));
    case Op::SizeOf:
        return encoded(direct::sizeOf(request.handle));
    case Op::CloseFile:
        return encoded(direct::closeFile(request.handle));
    case Op::WriteNew:
        return encoded(qint32(FilePublish::writeNew(path, request.data)));
    case Op::RemoveFolder:
        return encoded(direct::removeFolder(path));
    case Op::Entries:
        return encoded(direct::entries(path));
    case Op::Replace:
        return encoded(SafeFile::replace(path, request.data));
    }
    return QByteArray();
}

} // namespace

Look look(const QString &path) {
    Look unanswered;
    unanswered.answered = false;
    return call(requestFor(Op::Look, path), unanswered, [&] { return direct::look(path); });
}

QString canonicalPath(const QString &path) {
    return call(requestFor(Op::CanonicalPath, path), QString(),
                [&] { return direct::canonicalPath(path); });
}

bool makePath(const QString &folder) {
    return call(requestFor(Op::MakePath, folder), false, [&] { return direct::makePath(folder); });
}

bool canWriteInto(const QString &folder) {
    return call(requestFor(Op::CanWriteInto, folder), false,
                [&] { return direct::canWriteInto(folder); });
}

bool remove(const QString &path) {
    return call(requestFor(Op::Remove, path), false, [&] { return direct::remove(path); });
}

bool removeFolder(const QString &path) {
    return call(requestFor(Op::RemoveFolder, path), false,
                [&] { return direct::removeFolder(path); });
}

QStringList entries(const QString &folder) {
    return call(requestFor(Op::Entries, folder), QStringList(),
                [&] { return direct::entries(folder); });
}

QStringList hiddenFilesEndingWith(const QString &folder, const QString &suffix) {
    return call(requestFor(Op::HiddenFiles, folder, suffix), QStringList(),
                [&] { return direct::hiddenFilesEndingWith(folder, suffix); });
}

WriterLock::State writerState(const QString &path) {
    return call(requestFor(Op::WriterState, path), WriterLock::State::Unknown,
                [&] { return WriterLock::of(path); });
}

qint64 freeBytes(const QString &path) {
    return call(requestFor(Op::FreeBytes, path), qint64(-1),
                [&] { return direct::freeBytes(path); });
}

qint64 openForReading(const QString &path) {
    return call(requestFor(Op::OpenForReading, path), kEnded,
                [&] { return direct::openForReading(path); });
}

qint64 readAt(qint64 handle, qint64 offset, char *data, qint64 size) {
    Request request = requestFor(Op::ReadAt);
    request.handle = handle;
    request.offset = offset;
    request.size = size;
    const ReadAnswer read =
        call(request, ReadAnswer(), [&] { return direct::readAt(handle, offset, size); });
    if (read.result <= 0)
        return read.result;
    // No more than came, and no more than there is room for.
    const qint64 got = std::min({read.result, size, qint64(read.data.size())});
    std::memcpy(data, read.data.constData(), size_t(got));
    return got;
}

qint64 sizeOf(qint64 handle) {
    Request request = requestFor(Op::SizeOf);
    request.handle = handle;
    return call(request, kEnded, [&] { return direct::sizeOf(handle); });
}

void closeFile(qint64 handle) {
    Request request = requestFor(Op::CloseFile);
    request.handle = handle;
    call(request, false, [&] { return direct::closeFile(handle); });
}

int readWhole(const QString &path, QByteArray *bytes, qint64 maxBytes) {
    constexpr qint64 kChunkBytes = 64 * 1024;
    bytes->clear();
    const qint64 handle = openForReading(path);
    if (handle < 0)
        return int(-handle);
    QByteArray chunk(kChunkBytes, Qt::Uninitialized);
    int error = 0;
    for (;;) {
        const qint64 got = readAt(handle, bytes->size(), chunk.data(), chunk.size());
        if (got <= 0) {
            error = int(-got);
            break;
        }
        if (bytes->size() + got > maxBytes) {
            error = EFBIG;
            break;
        }
        bytes->append(chunk.constData(), got);
    }
    closeFile(handle);
    if (error != 0)
        bytes->clear();
    return error;
}

int writeNew(const QString &path, const QByteArray &bytes) {
    Request request = requestFor(Op::WriteNew, path);
    request.data = bytes;
    return call(request, qint32(-kEnded),
                [&] { return qint32(FilePublish::writeNew(path, bytes)); });
}

bool replace(const QString &path, const QByteArray &bytes) {
    Request request = requestFor(Op::Replace, path);
    request.data = bytes;
    return call(request, false, [&] { return SafeFile::replace(path, bytes); });
}

Channel::Channel(const QString &helperPath) : m_helperPath(helperPath) {}

Channel::~Channel() {
    stopHelper();
    reapStarter();
}

void Channel::setForThisThread(Channel *channel) {
    t_channel = channel;
}

void Channel::end() {
    m_ended = true;
}

bool Channel::isEnded() const {
    return m_ended;
}

Channel::Outcome Channel::ask(const QByteArray &request, QByteArray *answer) {
    // A helper that went before the request reached it (killed, say) is
    // replaced once; one that went with it is not asked again, as the
    // request may have been carried out.
    reapStarter();
    bool sent = false;
    for (int attempt = 0; attempt < 2 && !sent && !m_ended; ++attempt) {
        if (m_socket < 0 && !start())
            return Outcome::NoHelper;
        sent = writeFrame(m_socket, request);
        if (!sent)
            stopHelper();
    }
    if (m_ended)
        return Outcome::Ended;
    if (!sent)
        return Outcome::NoHelper;
    if (readFrame(m_socket, answer, [this] { return !m_ended; }))
        return Outcome::Answered;
    if (m_ended)
        return Outcome::Ended;
    stopHelper();
    return Outcome::Lost;
}

bool Channel::start() {
    if (m_failedToStart)
        return false;
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        m_failedToStart = true;
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDIN_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    // A session of its own: the terminal's Ctrl+C is not for it.
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);
    const QByteArray program = QFile::encodeName(m_helperPath);
    char *arguments[] = {const_cast<char *>(program.constData()), nullptr};
    pid_t pid = 0;
    const int failed =
        ::posix_spawn(&pid, program.constData(), &actions, &attributes, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(ends[1]);
    if (failed != 0) {
        ::close(ends[0]);
        m_failedToStart = true;
        return false;
    }
    // The helper leaves a child of its own to do the work and ends: not
    // waited for here, as its start may take a while on a busy machine. The
    // request waits in the socket meanwhile, and its wait can be ended.
    reapStarter();
    m_starter = pid;
    m_socket = ends[0];
    return true;
}

void Channel::reapStarter() {
    if (m_starter > 0 && ::waitpid(pid_t(m_starter), nullptr, WNOHANG) != 0)
        m_starter = -1;
}

void Channel::stopHelper() {
    // The helper ends when its end of the socket does, or, waiting on a
    // share, once the share answers.
    if (m_socket >= 0)
        ::close(m_socket);
    m_socket = -1;
}

int serve(int in, int out) {
    QByteArray request;
    while (readFrame(in, &request, [] { return true; })) {
        if (!writeFrame(out, answer(request)))
            return 1;
    }
    return 0;
}

} // namespace FileCalls
