#pragma once

#include <functional>

#include <QProcess>
#include <QString>
#include <QStringList>

// The transcoder process of one conversion job. The job runs in a process
// group of its own, so that a pause or a stop reaches the ffmpeg process the
// transcoder starts as well; and it only ever acts on the process it started
// itself, never on other processes of the same name.
//
// The QProcess is the caller's (its output signals are wired elsewhere); this
// object only starts, suspends, resumes and ends it.
class TranscoderJob {
public:
    // Every run of a helper tool, and the grace a stopped transcoder gets
    // before it is killed, is bounded by this.
    static constexpr int kToolTimeoutMs = 30000;
    static constexpr int kStopGraceMs = 10000;
    // A suspender that keeps asking for another resume is not believed for ever.
    static constexpr int kMaxResumeRuns = 16;

    explicit TranscoderJob(QProcess &process);
    ~TranscoderJob();

    // Starts program with arguments, read-write, without waiting for it.
    void start(const QString &program, const QStringList &arguments);

    // The hidden file the transcoder of process pid writes before the output
    // (outputPath, absolute) gets its name, beside it.
    static QString partFilePath(const QString &outputPath, qint64 pid);
    // Once the job has ended the part file is forgotten; a failed job's is
    // returned for the caller to remove (a transcoder that was killed cannot
    // remove it itself), where the removal cannot hold up the caller.
    QString takeStalePartFile(bool jobFailed);

    bool isRunning() const;   // starting, running or suspended
    qint64 processId() const; // 0 when no process runs
    bool isPaused() const;
    // How the last job ended is the process's to tell.
    const QProcess &process() const { return m_process; }

    // How a pause or a resume went: whether the job is now held (pause) or
    // going on (resume), and if not, why not in the tool's words.
    using Answer = std::function<void(bool done, const QString &problem)>;
    // Suspends the job's process group with the suspender tool
    // ("suspender PID"). Never waits for the tool: answer hears the outcome
    // once it has ended (at once when no job runs). Not done when the tool
    // fails or does not end in time.
    void pause(const QString &suspender, Answer answer);
    // Lets the job go on: "suspender PID /r", repeated while the tool's
    // resume count on standard error is above 1; answered as pause() is.
    // Not done when the job was not paused by pause() or the tool fails:
    // the job is then still held.
    void resume(const QString &suspender, Answer answer);
    // A pause or resume whose answer is awaited.
    bool isSuspending() const;
    // Ends the job and waits for it: a suspended process ignores SIGTERM, so
    // the group is continued first; then the transcoder is asked to stop
    // (it then ends ffmpeg and removes its unfinished output), and after
    // graceMs the whole group is killed.
    void stop(int graceMs = kStopGraceMs);
    // The same without waiting: a transcoder that hangs (its output folder
    // on a share that stopped answering) is killed with its group once
    // graceMs have passed, and the process's finished() tells the end.
    void requestStop(int graceMs = kStopGraceMs);
    // Asks the job to end and waits up to waitMs, killing nothing: false when
    // it is still on its way out.
    bool askToEndWithin(int waitMs);

private:
    // Wakes a paused job and asks it to end; the id asked, 0 when none ran.
    qint64 askToEnd();
    void runSuspender(const QString &suspender, const QStringList &arguments,
                      std::function<void(bool ok, const QString &problem, int count)> then);
    void resumeAgain(const QString &suspender, bool firstOk, int runsLeft, Answer answer);
    // A suspender run still under way is killed, and its answer never comes.
    void dropSuspender();

    QProcess &m_process;
    QProcess m_suspender;
    // Counts the suspender's runs: an answer for an earlier one is stale.
    quint64 m_suspenderRun = 0;
    qint64 m_pausedPid = 0; // the process pause() suspended; 0: none
    QString m_partFile;     // the started job's part file; empty once settled
};
