#pragma once

#include <functional>
#include <vector>

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include "filelist/processwait.h"
#include "filelist/sourcestamp.h"

class QProcess;
class QTimer;

// Probes the files of one add with "korvex -i PATH", several at a time.
//
// Nearly all of a probe is the transcoder starting and loading its codec
// libraries, which leaves the other cores idle while the user waits; so the
// files are handed to one process per core, in list order, and each answer
// is kept under the file's place in the list until the caller takes it.
// The caller still works through the list in order, which keeps everything
// the user sees (row order, output names, the failed list) as with one probe
// after the other.
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
    // Kills every probe still running and waits a moment for it; one that
    // cannot end yet (its file on a share that does not answer) is left to
    // go when it can, never waited for.
    void stop();

    int count() const;
    int doneCount() const;
    bool isDone(int index) const;
    // The first path of the list still being probed; empty when none is.
    QString probingPath() const;

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
    // One more path is done (and the next one, if any, has started).
    void progressed();

private:
    struct Worker {
        QProcess *process = nullptr;
        QTimer *limit = nullptr;
        int index = -1; // the path it probes; -1 when idle
    };
    enum class State : char {
        Waiting,
        Running,
        Done,
    };

    void createWorkers(int count);
    void createProcess(size_t slot);
    void readStamp(Worker &worker);
    void probeEnded(size_t slot);
    void probeFailedToStart(size_t slot);
    void launchNext(Worker &worker);
    // False when the worker was idle: its process no longer stands for a path.
    bool finishProbe(Worker &worker);
    void drainOutput(Worker &worker);

    std::vector<Worker> m_workers;
    QString m_program;
    QStringList m_paths;
    QVector<State> m_states;
    QVector<Result> m_results;
    int m_nextIndex = 0;
    int m_doneCount = 0;
    // No path before it is still being probed: where probingPath() looks first.
    mutable int m_firstUndone = 0;
    QString m_startError;
    int m_timeoutMs = kProbeTimeoutMs;
};
