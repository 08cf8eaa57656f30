#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include <QString>
#include <QStringList>

#include "platform/writerlock.h"

// The calls the program makes on folders and files the user chose. A share
// may stop answering for minutes, and a thread that waits for it inside the
// kernel can be ended by nothing, not even by the end of its process: the
// process would stay until the share answers. So a thread that works on such
// folders (the folder work) has a Channel: its calls are made by a helper
// process of ours ("foldercalls"), and the thread waits for the answer where
// it can always be ended. On any other thread the calls are made directly.
namespace FileCalls {

// The helper's name among the program's tools.
inline const QString kHelperName = QStringLiteral("foldercalls");

// What a name on disk is.
struct Look {
    bool answered = true; // false: the calls were ended before an answer came
    bool exists = false;  // there, links followed
    bool isLink = false;  // the name itself is a symbolic link, perhaps dangling
    bool isDir = false;
    bool isFile = false;
    qint64 size = -1;
    qint64 modifiedMs = -1; // since the epoch
    int error = 0;          // why it is not there (an errno)
};
Look look(const QString &path);

// The path with links and ".." resolved; empty when it does not resolve.
QString canonicalPath(const QString &path);
// Makes the folder and those above it; true when it is there.
bool makePath(const QString &folder);
// Whether a new file can be made in the folder: a real file is made and
// removed, as permission bits tell neither a read-only mount nor an ACL.
bool canWriteInto(const QString &folder);
bool remove(const QString &path);
// Removes an empty folder; a link or a file is not one.
bool removeFolder(const QString &path);
// Every name in the folder, hidden ones too, but "." and "..".
QStringList entries(const QString &folder);
// The names of the hidden files (".name") in folder that end with suffix.
QStringList hiddenFilesEndingWith(const QString &folder, const QString &suffix);
WriterLock::State writerState(const QString &path);
// Free bytes on the file system that holds path, or its nearest existing
// parent; -1 when it cannot be told.
qint64 freeBytes(const QString &path);

// What a call that was ended before its answer gives where a count or an
// error number is asked for (as a negative errno).
constexpr qint64 kEnded = -125; // -ECANCELED

// A regular file opened for reading: a handle (not negative) for the calls
// below, on the thread that opened it, or a negative errno. Anything but a
// regular file is refused (-EINVAL), and opening never waits for a writer.
qint64 openForReading(const QString &path);
// Up to size bytes from offset into data: how many, 0 at the end, or a
// negative errno.
qint64 readAt(qint64 handle, qint64 offset, char *data, qint64 size);
// The file's size now, or a negative errno.
qint64 sizeOf(qint64 handle);
void closeFile(qint64 handle);
// The whole of a regular file of at most maxBytes into bytes: 0, or the
// reason (an errno; ENOENT when there is none, EFBIG when it is larger).
int readWhole(const QString &path, QByteArray *bytes, qint64 maxBytes);
// FilePublish::writeNew: bytes as the new file path, whole or not at all,
// never replacing one. 0, or the reason (an errno).
int writeNew(const QString &path, const QByteArray &bytes);
// SafeFile::replace: bytes as the whole file path, or the file left as it
// was (false).
bool replace(const QString &path, const QByteArray &bytes);

// The helper process that makes the calls of the threads it is set for. It
// is started at the first call and ends when the channel goes; one that
// waits on a share by then ends once the share answers.
class Channel {
public:
    explicit Channel(const QString &helperPath);
    ~Channel();
    Channel(const Channel &) = delete;
    Channel &operator=(const Channel &) = delete;

    // The calls of this thread go through channel (none: made directly).
    static void setForThisThread(Channel *channel);

    // From any thread: the call waiting for an answer, and every call after
    // it, return at once without one. Nothing is then done directly either.
    void end();
    bool isEnded() const;

    enum class Outcome {
        Answered,
        Ended,    // end() came first
        Lost,     // the helper went with the request: it may have been done
        NoHelper, // none can be started: the request was never made
    };
    // Hands request to the helper and waits for its answer. Only the thread
    // the channel is set for calls this.
    Outcome ask(const QByteArray &request, QByteArray *answer);

private:
    bool start();
    void stopHelper();
    void reapStarter();

    QString m_helperPath;
    std::atomic<bool> m_ended{false};
    bool m_failedToStart = false;
    int m_socket = -1; // ours of the pair; the helper holds the other
    // The process started, which hands the work to a child and ends; reaped
    // once it has ended, never waited for.
    qint64 m_starter = -1;
};

// The helper's side: answers the requests read from in on out until in
// ends. Returns the process's exit code.
int serve(int in, int out);

} // namespace FileCalls
