#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include <QString>
#include <QStringList>

#include "platform/writerlock.h"

class HelperPool;

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
// Whether a writer holds the file's lock, and whose the file is.
WriterLock::Facts writerState(const QString &path);
// Free bytes on the file system that holds path, or its nearest existing
// parent; -1 when it cannot be told.
qint64 freeBytes(const QString &path);

// For a search of a free name: the first of names, each put after folder
// (which ends with "/"), that nothing on disk holds (no file, folder or
// link, dangling or not), in one call however many names are asked about.
struct Absent {
    bool answered = true; // false: the calls were ended before an answer came
    int index = -1;       // the first such name in names; -1 when every one is held
    // The folder of the names as the file system resolves it (as
    // canonicalPath() does), when asked for; empty when it does not resolve.
    QString resolvedFolder;
};
Absent firstAbsent(const QString &folder, const QStringList &names, bool resolveFolder);

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
// was (false, with the system's reason).
bool replace(const QString &path, const QByteArray &bytes, QString *reason = nullptr);
// SafeFile::writeNew: bytes as the new file path, whole or not at all, the
// folder not synced. 0, or the reason (an errno; EEXIST when one has the name).
int writeNewUnsynced(const QString &path, const QByteArray &bytes);
// SafeFile::syncFolder.
void syncFolder(const QString &folder);

// The helper process that makes the calls of the threads it is set for.
// Helpers are shared: a call takes one that waits (one is started ahead of
// need) and hands it on once answered, and a thread that keeps files open
// keeps its helper until it has closed them. A helper whose call was ended
// or lost is never asked again; one that waits on a share by then ends once
// the share answers.
class Channel {
public:
    explicit Channel(const QString &helperPath);
    ~Channel();
    Channel(const Channel &) = delete;
    Channel &operator=(const Channel &) = delete;

    // The calls of this thread go through channel (none: made directly).
    static void setForThisThread(Channel *channel);

    // Decided once, when the channel is made: true when the helper program
    // cannot be run, and the calls are made on their thread. A channel with
    // a helper never makes them there: a helper that has gone is replaced,
    // and a call that finds none gets no answer.
    bool makesCallsDirectly() const;

    // From any thread: the call waiting for an answer, and every call after
    // it, return at once without one. Nothing is then done directly either.
    void end();
    bool isEnded() const;

    enum class Outcome {
        Answered,
        Ended,    // end() came first
        Lost,     // the helper went with the request: it may have been done
        NoHelper, // none could be started now: the request was never made
    };
    // Hands request to the helper and waits for its answer. Only the thread
    // the channel is set for calls this.
    Outcome ask(const QByteArray &request, QByteArray *answer);
    // As ask(), for a read: its count in *count, its bytes straight into
    // data (room bytes at most).
    Outcome askRead(const QByteArray &request, char *data, qint64 room, qint64 *count);

private:
    friend struct ChannelCalls;
    Outcome exchange(const QByteArray &request, const std::function<bool(int socket)> &readAnswer);
    // The helper of the call at hand: the one kept, or one of the pool's.
    bool takeHelper(bool fresh);
    // The helper goes with whatever it was at (and the files it held open).
    void dropHelper();
    // After an answer: the helper is handed on unless files stay open in it.
    void settle(int filesOpened);

    HelperPool *m_pool;
    const bool m_direct;
    std::atomic<bool> m_ended{false};
    std::mutex m_mutex;
    int m_socket = -1;     // m_mutex for end(); the helper of the call at hand
    bool m_asking = false; // m_mutex: a request is out, its answer not read
    int m_openFiles = 0;   // open in the helper of m_socket
};

// A look asked of a helper without waiting for its answer, for a thread that
// goes on with its events meanwhile (the window's): socket() turns readable
// when the answer comes. A look that is not answered is given up with its
// helper when this goes.
class AskedLook {
public:
    AskedLook(const QString &helperPath, const QString &path);
    ~AskedLook();
    AskedLook(const AskedLook &) = delete;
    AskedLook &operator=(const AskedLook &) = delete;

    // False: no helper could be started, and nothing was asked.
    bool isAsked() const;
    int socket() const;
    enum class State {
        Waiting,
        Answered,
        Lost, // the helper went: no answer will come
    };
    // Reads what has come of the answer, without waiting; *look once it has
    // all come.
    State read(Look *look);

private:
    HelperPool *m_pool;
    int m_socket = -1;
    QByteArray m_received;
    State m_state = State::Waiting;
};

// The helper's side: answers the requests read from in on out until in
// ends. Returns the process's exit code.
int serve(int in, int out);

} // namespace FileCalls
