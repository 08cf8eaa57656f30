#include "filecalls.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTemporaryFile>

#include "platform/filepublish.h"
#include "platform/helperpool.h"
#include "platform/safefile.h"
#include "platform/writeall.h"

namespace FileCalls {

// What the calls below tell their channel of the helper's state.
struct ChannelCalls {
    static void settle(Channel &channel, int filesOpened) { channel.settle(filesOpened); }
};

namespace {

// Far above any request or answer (a snapshot's picture is the largest): a
// longer frame means the stream is lost.
constexpr quint32 kMaxFrameBytes = 512 * 1024 * 1024;
constexpr auto kStreamVersion = QDataStream::Qt_6_0;
// Read at once with a frame's length: a look's request or answer fits.
constexpr std::size_t kSmallFrameBytes = 4096;

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
    FirstAbsent,
    RemoveFolder,
    Entries,
    Replace,
    WriteNewUnsynced,
    SyncFolder,
};

struct Request {
    Op op = Op::Look;
    QString path;
    QString extra;
    qint64 handle = -1;
    qint64 offset = 0;
    qint64 size = 0;
    QByteArray data;
    QStringList names;
};

// A helper started ahead of need keeps the working folder it was started
// in: a relative path is sent as the caller's working folder has it.
QString fromHere(const QString &path) {
    return path.isEmpty() || QDir::isAbsolutePath(path)
               ? path
               : QDir::currentPath() + QLatin1Char('/') + path;
}

Request requestFor(Op op, const QString &path = QString(), const QString &extra = QString()) {
    Request request;
    request.op = op;
    request.path = fromHere(path);
    request.extra = extra;
    return request;
}

// A read's answer is no stream: its count (or a negative errno), then the
// bytes read, which go from the helper's read to the caller's buffer with
// no copy between.
constexpr std::size_t kReadCountBytes = sizeof(qint64);

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
    // Links apart, the name's own status is the one links followed give.
    const bool named = !name.isEmpty() && ::lstat(name.constData(), &status) == 0;
    found.isLink = named && S_ISLNK(status.st_mode);
    if (!named || (found.isLink && ::stat(name.constData(), &status) != 0)) {
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

bool isReadable(qint64 handle, qint64 size) {
    return size >= 0 && size <= kMaxReadBytes && handle >= 0;
}

qint64 readAt(qint64 handle, qint64 offset, char *data, qint64 size) {
    if (!isReadable(handle, size))
        return -EINVAL;
    ssize_t got = 0;
    do {
        got = ::pread(int(handle), data, size_t(size), off_t(offset));
    } while (got < 0 && errno == EINTR);
    return got < 0 ? -errno : qint64(got);
}

// The helper's answer to a read: the count, then the bytes read into it.
QByteArray readAnswer(qint64 handle, qint64 offset, qint64 size) {
    QByteArray answer(qsizetype(kReadCountBytes) + (isReadable(handle, size) ? size : 0),
                      Qt::Uninitialized);
    const qint64 got = readAt(handle, offset, answer.data() + kReadCountBytes, size);
    std::memcpy(answer.data(), &got, kReadCountBytes);
    answer.resize(qsizetype(kReadCountBytes) + std::max<qint64>(got, 0));
    return answer;
}

qint64 sizeOf(qint64 handle) {
    struct stat status {};
    return handle >= 0 && ::fstat(int(handle), &status) == 0 ? qint64(status.st_size) : -errno;
}

bool closeFile(qint64 handle) {
    return handle >= 0 && ::close(int(handle)) == 0;
}

Absent firstAbsent(const QString &folder, const QStringList &names, bool resolveFolder) {
    Absent found;
    if (resolveFolder && !names.isEmpty())
        found.resolvedFolder = canonicalPath(QFileInfo(folder + names.first()).absolutePath());
    for (int index = 0; index < names.size(); ++index) {
        const Look there = look(folder + names.at(index));
        if (!there.exists && !there.isLink) {
            found.index = index;
            break;
        }
    }
    return found;
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

QDataStream &operator<<(QDataStream &out, const Absent &absent) {
    return out << qint32(absent.index) << absent.resolvedFolder;
}

QDataStream &operator>>(QDataStream &in, Absent &absent) {
    qint32 index = -1;
    in >> index >> absent.resolvedFolder;
    absent.index = index;
    return in;
}

QDataStream &operator<<(QDataStream &out, const Request &request) {
    return out << quint8(request.op) << request.path << request.extra << request.handle
               << request.offset << request.size << request.data << request.names;
}

QDataStream &operator>>(QDataStream &in, Request &request) {
    quint8 op = 0;
    in >> op >> request.path >> request.extra >> request.handle >> request.offset >> request.size >>
        request.data >> request.names;
    request.op = Op(op);
    return in;
}

QDataStream &operator<<(QDataStream &out, const WriterLock::Facts &facts) {
    return out << qint32(facts.lock) << facts.ours << facts.modifiedMs;
}

QDataStream &operator>>(QDataStream &in, WriterLock::Facts &facts) {
    qint32 lock = 0;
    in >> lock >> facts.ours >> facts.modifiedMs;
    facts.lock = WriterLock::State(lock);
    return in;
}

template <typename T> QByteArray encoded(const T &value) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(kStreamVersion);
    out << value;
    return bytes;
}

struct NoFilesOpened {
    template <typename T> int operator()(const T &) const { return 0; }
};

// The call through this thread's channel, or made here without one. A call
// the channel was ended during gets `unanswered`: nothing is then done here,
// where the share would hold this thread. filesOpened tells from an answer
// how many files it left open in the helper (a negative count: closed).
template <typename T, typename Direct, typename FilesOpened = NoFilesOpened>
T call(const Request &request, T unanswered, Direct makeHere,
       FilesOpened filesOpened = NoFilesOpened()) {
    Channel *channel = t_channel;
    if (!channel || channel->makesCallsDirectly())
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
        const bool read = in.status() == QDataStream::Ok;
        ChannelCalls::settle(*channel, read ? filesOpened(value) : 0);
        return read ? value : unanswered;
    }
    case Channel::Outcome::NoHelper:
        // Not made here either: the helper that went may have gone with a
        // share that holds everything that asks it.
    case Channel::Outcome::Ended:
    case Channel::Outcome::Lost:
        break;
    }
    return unanswered;
}

// One system call for the length and the bytes: the other side wakes once.
bool writeFrame(int fd, const QByteArray &payload) {
    quint32 length = quint32(payload.size());
    struct iovec parts[2] = {
        {&length, sizeof length},
        {const_cast<char *>(payload.constData()), size_t(payload.size())},
    };
    return writeAll(fd, parts, 2) == 0;
}

// Reads size bytes, waiting for them as long as it takes: a wait is ended
// by the end of the socket (shut down by Channel::end(), or the other side
// gone).
bool readAll(int fd, char *data, size_t size) {
    while (size > 0) {
        const ssize_t got = ::recv(fd, data, size, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        data += got;
        size -= size_t(got);
    }
    return true;
}

bool readFrame(int fd, QByteArray *payload) {
    // Most frames are small: their length and bytes come in one read. Only
    // one frame is ever on its way, so the read takes nothing of the next.
    char start[kSmallFrameBytes];
    ssize_t got = 0;
    do {
        got = ::recv(fd, start, sizeof start, 0);
    } while (got < 0 && errno == EINTR);
    if (got <= 0)
        return false;
    quint32 length = 0;
    const size_t had = size_t(got);
    if (had < sizeof length && !readAll(fd, start + had, sizeof length - had))
        return false;
    std::memcpy(&length, start, sizeof length);
    const size_t body = had < sizeof length ? 0 : had - sizeof length;
    if (length > kMaxFrameBytes || body > length)
        return false;
    payload->resize(qsizetype(length));
    std::memcpy(payload->data(), start + sizeof length, body);
    return readAll(fd, payload->data() + body, length - body);
}

// A read's answer (see readAnswer()): its count in *count, its bytes in
// data, which has room for them.
bool readFrameInto(int fd, qint64 *count, char *data, qint64 room) {
    char head[sizeof(quint32) + kReadCountBytes];
    if (!readAll(fd, head, sizeof head))
        return false;
    quint32 length = 0;
    std::memcpy(&length, head, sizeof length);
    std::memcpy(count, head + sizeof length, kReadCountBytes);
    const qint64 bytes = qint64(length) - qint64(kReadCountBytes);
    if (bytes < 0 || bytes > room || (bytes > 0 && bytes != *count))
        return false;
    return readAll(fd, data, size_t(bytes));
}

// A whole frame at the front of received, taken from it; false while it has
// not all come (or is no frame: *broken).
bool takeFrame(QByteArray *received, QByteArray *payload, bool *broken) {
    quint32 length = 0;
    if (received->size() < qsizetype(sizeof length))
        return false;
    std::memcpy(&length, received->constData(), sizeof length);
    *broken = length > kMaxFrameBytes;
    if (*broken || received->size() - qsizetype(sizeof length) < qsizetype(length))
        return false;
    *payload = received->mid(sizeof length, qsizetype(length));
    received->remove(0, qsizetype(sizeof length + length));
    return true;
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
        return encoded(WriterLock::factsOf(path));
    case Op::FreeBytes:
        return encoded(direct::freeBytes(path));
    case Op::OpenForReading:
        return encoded(direct::openForReading(path));
    case Op::ReadAt:
        return direct::readAnswer(request.handle, request.offset, request.size);
    case Op::SizeOf:
        return encoded(direct::sizeOf(request.handle));
    case Op::CloseFile:
        return encoded(direct::closeFile(request.handle));
    case Op::WriteNew:
        return encoded(qint32(FilePublish::writeNew(path, request.data)));
    case Op::FirstAbsent:
        return encoded(direct::firstAbsent(path, request.names, request.handle != 0));
    case Op::RemoveFolder:
        return encoded(direct::removeFolder(path));
    case Op::Entries:
        return encoded(direct::entries(path));
    case Op::Replace: {
        // The reason, empty when the file was replaced.
        QString reason;
        if (!SafeFile::replace(path, request.data, &reason) && reason.isEmpty())
            reason = SafeFile::reasonText(EIO);
        return encoded(reason);
    }
    case Op::WriteNewUnsynced:
        return encoded(qint32(SafeFile::writeNew(path, request.data)));
    case Op::SyncFolder:
        SafeFile::syncFolder(path);
        return encoded(true);
    }
    return QByteArray();
}

// What a write that got no answer says: the drive held it, or the program
// is ending.
QString noAnswerReason() {
    return SafeFile::reasonText(ETIMEDOUT);
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

WriterLock::Facts writerState(const QString &path) {
    return call(requestFor(Op::WriterState, path), WriterLock::Facts(),
                [&] { return WriterLock::factsOf(path); });
}

qint64 freeBytes(const QString &path) {
    return call(requestFor(Op::FreeBytes, path), qint64(-1),
                [&] { return direct::freeBytes(path); });
}

Absent firstAbsent(const QString &folder, const QStringList &names, bool resolveFolder) {
    // Bare names are in the working folder.
    const QString in = folder.isEmpty() ? QDir::currentPath() + QLatin1Char('/') : folder;
    Request request = requestFor(Op::FirstAbsent, in);
    request.names = names;
    request.handle = resolveFolder ? 1 : 0;
    Absent unanswered;
    unanswered.answered = false;
    return call(request, unanswered, [&] { return direct::firstAbsent(in, names, resolveFolder); });
}

qint64 openForReading(const QString &path) {
    return call(
        requestFor(Op::OpenForReading, path), kEnded, [&] { return direct::openForReading(path); },
        [](qint64 handle) { return handle >= 0 ? 1 : 0; });
}

qint64 readAt(qint64 handle, qint64 offset, char *data, qint64 size) {
    Channel *channel = t_channel;
    if (!channel || channel->makesCallsDirectly())
        return direct::readAt(handle, offset, data, size);
    if (channel->isEnded())
        return kEnded;
    Request request = requestFor(Op::ReadAt);
    request.handle = handle;
    request.offset = offset;
    request.size = size;
    qint64 count = kEnded;
    if (channel->askRead(encoded(request), data, size, &count) != Channel::Outcome::Answered)
        return kEnded;
    ChannelCalls::settle(*channel, 0);
    return count;
}

qint64 sizeOf(qint64 handle) {
    Request request = requestFor(Op::SizeOf);
    request.handle = handle;
    return call(request, kEnded, [&] { return direct::sizeOf(handle); });
}

void closeFile(qint64 handle) {
    Request request = requestFor(Op::CloseFile);
    request.handle = handle;
    call(
        request, false, [&] { return direct::closeFile(handle); }, [](bool) { return -1; });
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

bool replace(const QString &path, const QByteArray &bytes, QString *reason) {
    Request request = requestFor(Op::Replace, path);
    request.data = bytes;
    const QString said = call(request, noAnswerReason(), [&] {
        QString here;
        if (!SafeFile::replace(path, bytes, &here) && here.isEmpty())
            here = SafeFile::reasonText(EIO);
        return here;
    });
    if (reason)
        *reason = said;
    return said.isEmpty();
}

int writeNewUnsynced(const QString &path, const QByteArray &bytes) {
    Request request = requestFor(Op::WriteNewUnsynced, path);
    request.data = bytes;
    return call(request, qint32(ETIMEDOUT),
                [&] { return qint32(SafeFile::writeNew(path, bytes)); });
}

void syncFolder(const QString &folder) {
    call(requestFor(Op::SyncFolder, folder), false, [&] {
        SafeFile::syncFolder(folder);
        return true;
    });
}

Channel::Channel(const QString &helperPath)
    : m_pool(&HelperPool::of(helperPath)), m_direct(!m_pool->runsHelpers()) {
    m_pool->prepare();
}

bool Channel::makesCallsDirectly() const {
    return m_direct;
}

Channel::~Channel() {
    // Files left open stay open in the helper: it is not handed on.
    if (m_openFiles > 0)
        dropHelper();
    m_pool->giveBack(m_socket);
}

void Channel::setForThisThread(Channel *channel) {
    t_channel = channel;
}

void Channel::end() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_ended = true;
    // Wakes the wait for the answer; a helper that waits for no answer is
    // left as it is, for the next call.
    if (m_asking && m_socket >= 0)
        ::shutdown(m_socket, SHUT_RDWR);
}

bool Channel::isEnded() const {
    return m_ended;
}

bool Channel::takeHelper(bool fresh) {
    int socket = -1;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_ended)
            return false;
        socket = m_socket;
    }
    if (socket < 0)
        socket = m_pool->take(fresh);
    if (socket < 0)
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_socket = socket;
    if (m_ended)
        return false;
    m_asking = true;
    return true;
}

void Channel::dropHelper() {
    std::lock_guard<std::mutex> lock(m_mutex);
    HelperPool::drop(m_socket);
    m_socket = -1;
    m_asking = false;
    m_openFiles = 0;
}

void Channel::settle(int filesOpened) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_openFiles = std::max(0, m_openFiles + filesOpened);
    if (m_openFiles > 0)
        return;
    m_pool->giveBack(m_socket);
    m_socket = -1;
}

Channel::Outcome Channel::ask(const QByteArray &request, QByteArray *answer) {
    return exchange(request, [answer](int socket) { return readFrame(socket, answer); });
}

Channel::Outcome Channel::askRead(const QByteArray &request, char *data, qint64 room,
                                  qint64 *count) {
    return exchange(request, [&](int socket) { return readFrameInto(socket, count, data, room); });
}

Channel::Outcome Channel::exchange(const QByteArray &request,
                                   const std::function<bool(int socket)> &readAnswer) {
    // A helper that went before the request reached it (killed, say) is
    // replaced once, by a new one; one that went with it is not asked again,
    // as the request may have been carried out.
    bool sent = false;
    for (int attempt = 0; attempt < 2 && !sent; ++attempt) {
        if (!takeHelper(attempt > 0))
            return m_ended ? Outcome::Ended : Outcome::NoHelper;
        sent = writeFrame(m_socket, request);
        if (!sent)
            dropHelper();
    }
    if (!sent)
        return m_ended ? Outcome::Ended : Outcome::NoHelper;
    const bool read = readAnswer(m_socket);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_asking = false;
    }
    if (read && !m_ended)
        return Outcome::Answered;
    // An answer may still come: the helper is asked nothing more.
    dropHelper();
    return m_ended ? Outcome::Ended : Outcome::Lost;
}

AskedLook::AskedLook(const QString &helperPath, const QString &path)
    : m_pool(&HelperPool::of(helperPath)) {
    const QByteArray request = encoded(requestFor(Op::Look, path));
    // As Channel::ask: a helper that has gone is replaced once.
    for (int attempt = 0; attempt < 2 && m_socket < 0; ++attempt) {
        m_socket = m_pool->take(attempt > 0);
        if (m_socket < 0)
            return;
        if (!writeFrame(m_socket, request)) {
            HelperPool::drop(m_socket);
            m_socket = -1;
        }
    }
}

AskedLook::~AskedLook() {
    if (m_state == State::Answered)
        m_pool->giveBack(m_socket);
    else
        HelperPool::drop(m_socket);
}

bool AskedLook::isAsked() const {
    return m_socket >= 0;
}

int AskedLook::socket() const {
    return m_socket;
}

AskedLook::State AskedLook::read(Look *look) {
    if (m_socket < 0)
        return State::Lost;
    if (m_state != State::Waiting)
        return m_state;
    char buffer[1024];
    bool gone = false;
    for (;;) {
        const ssize_t got = ::recv(m_socket, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (got <= 0) {
            gone = true;
            break;
        }
        m_received.append(buffer, qsizetype(got));
    }
    QByteArray payload;
    bool broken = false;
    if (!takeFrame(&m_received, &payload, &broken))
        return m_state = broken || gone ? State::Lost : State::Waiting;
    QDataStream in(payload);
    in.setVersion(kStreamVersion);
    Look answer;
    in >> answer;
    if (in.status() != QDataStream::Ok)
        return m_state = State::Lost;
    *look = answer;
    return m_state = State::Answered;
}

int serve(int in, int out) {
    QByteArray request;
    // Waits for each request without waking in between.
    while (readFrame(in, &request)) {
        if (!writeFrame(out, answer(request)))
            return 1;
    }
    return 0;
}

} // namespace FileCalls
