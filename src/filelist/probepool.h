#pragma once

#include <functional>
#include <memory>

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include "filelist/processwait.h"
#include "filelist/sourcestamp.h"

class QThread;

// Probes the files of one add with "korvex -i PATH", several at a time.
//
// Nearly all of a probe is the transcoder starting and loading its codec
// libraries, which leaves the other cores idle while the user waits; so the
// files are handed to one process per core, in list order, and each answer
// is kept under the file's place in the list until the caller takes it.
// The caller still works through the list in order, which keeps everything
// the user sees (row order, output names, the failed list) as with one probe
// after the other.
//
// The processes are started and heard on a thread of the pool's own: a
// start holds the thread that makes it until the new process has begun its
// program, which on a busy machine, or with a source on a share that does
// not answer (the child looks at its file first), is long enough to stall a
// window. The caller's thread only reads the answers.
class ProbePool : public QObject
{
    Q_OBJECT

public:
    // A probe still running after this long is killed; its file then counts
    // as unreadable. The others go on meanwhile.
    static constexpr int kProbeTimeoutMs = 30000;

    struct Result {
        QByteArray standardError;
        // Why the transcoder did not run; empty when it did.
        QString startError;
        // The file as it was just before its probe started.
        SourceStamp stamp;
        bool stampTold = false;
        QByteArray stampText; // until its line is whole
    };

    explicit ProbePool(QObject *parent = nullptr);
    // Whatever runs is killed; the pool's thread is waited for a moment, and
    // left to end on its own when a probe cannot end yet.
    ~ProbePool() override;

    // The same probe of one file on its own, waited for on the caller's
    // thread: painting on the window's, blocking on a thread of the folder
    // work, where a source on a share that hangs holds up only that work.
    // One that runs past kProbeTimeoutMs is killed, and the text then judged
    // is whatever came before.
    static Result probeOne(const QString &program, const QString &path,
                           ProcessWait::Waiting waiting);

    // At most `count` probes at once (at least one); changing it ends the
    // probes under way.
    void setWorkerCount(int count);
    int workerCount() const;
    void setTimeoutMs(int timeoutMs);

    // Ends whatever an earlier list left running, then probes paths[i] with
    // `program` for every i whose path is not empty; the empty ones count
    // as done at once, with no result.
    void start(const QString &program, const QStringList &paths);
    // Every probe still running is killed, on the pool's thread; the list
    // counts as done at once. One that cannot end yet (its file on a share
    // that does not answer) is left to go when it can, never waited for.
    void stop();

    int count() const;
    int doneCount() const;
    bool isDone(int index) const;
    // The first path of the list still being probed; empty when none is.
    QString probingPath() const;
    // Probe processes not yet ended, of this list or an earlier one.
    int runningCount() const;

    // Runs the event loop, the user's input too, until the probe of
    // paths[index] is done. False when goOn said no first, or the loop was
    // ended from outside (the application quits).
    bool waitFor(int index, const std::function<bool()> &goOn = {});
    // The probe's answer; empty for a path that was never probed. Taking it
    // frees the memory it held.
    Result takeResult(int index);
    // Why the transcoder could not be started for a probe of this list;
    // empty while every probe has started. No file can be judged then.
    QString startError() const;

Q_SIGNALS:
    // One more path is done (and the next one, if any, has started); told
    // once for the probes that end together.
    void progressed();
    // Wakes the pool's thread for what the caller has just changed.
    void changed(QPrivateSignal);

private:
    struct Shared;
    struct Probes;

    // On the caller's thread: the probes' ends are told.
    Q_INVOKABLE void tell();

    std::shared_ptr<Shared> m_shared;
    int m_workerCount = 1;
    // No path before it is still being probed: where probingPath() looks first.
    mutable int m_firstUndone = 0;
    QThread *m_thread = nullptr;
    // Lives on the pool's thread, with the processes.
    QObject *m_home = nullptr;
};
