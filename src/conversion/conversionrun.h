#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

#include "conversion/progressparser.h"
#include "conversion/runclock.h"

// One row of the file list as a run sees it at a tick.
struct RunRow {
    bool checked = false;
    qint64 seconds = -1; // length of the job's output; 0 or less: unknown
};

// How a job ended, for the row's status cell. row -1: nothing to mark.
struct JobEnd {
    int row = -1;
    QString statusWord; // "finished", "error", "stopped"
    QString picture;    // the status picture shown in place of the bar
    QString reason;     // a failed job: why, in one line; empty when unknown
};

// What the job tick should do.
struct TickDecision {
    enum class Action {
        Idle,   // no run
        Wait,   // the transcoder is at work (or paused, or still starting)
        Launch, // start the transcoder on `row`
        Finish, // the run is over
    };
    Action action = Action::Idle;
    int row = -1;               // Launch: the row to convert
    bool indeterminate = false; // Launch: its length is unknown, show a busy bar
    QList<int> rowsToUncheck;   // Finish: the rows that finished in this run
    JobEnd vanishedJob;         // a job whose process ended without an end report
};

// The picture for the row and the overall progress, after some text.
struct ProgressUpdate {
    int row = -1;          // the running row; -1 when no job runs
    int rowPercent = -1;   // 0..100; -1 for a job of unknown length
    int totalPercent = -1; // 0..99 while the run goes on; -1 when unknown
    QString totalLine;     // the progress line, empty when the total is unknown
    bool writeFailed = false;
    bool diskFull = false;
    QString savedAs;      // the running job's output file name, when the transcoder took another
    QStringList logLines; // notes for the log view
};

// The state of one conversion run: which row converts, what is done, how long
// it has taken, and every decision the main window's run slots need. It
// touches no widget and no process; the slots feed it what happened and show
// what it answers.
//
//   Convert button        start(rows)
//   job tick              tick(transcoder not NotRunning, rows) -> launch/wait/finish
//   transcoder output     feed(stderr bytes) -> bars and progress line
//   transcoder finished   jobFinished(exitCode, crashed) -> row status
//   transcoder failed     jobFailedToStart() -> row status
//   stop / disk full      stop(reason) -> row status
//   pause / resume        pause(), resume()
//
// A row's status comes from its own job alone, and the run ends only when no
// checked row is left and the last transcoder has exited.
class ConversionRun {
public:
    enum class StopReason {
        User,     // the running row ends "stopped"
        DiskFull, // the running row ends "error"
    };

    explicit ConversionRun(RunClock::NowFunction now = {});

    // False (and no run) when no row is checked.
    bool start(const QVector<RunRow> &rows);
    TickDecision tick(bool transcoderRunning, const QVector<RunRow> &rows);

    ProgressUpdate feed(const QByteArray &standardError);
    ProgressUpdate progress() const;

    JobEnd jobFinished(int exitCode, bool crashed);
    JobEnd jobFailedToStart();
    JobEnd stop(StopReason reason = StopReason::User);
    // A job that ended well by its exit whose output then was not found at
    // its name: its row failed after all, for reason.
    JobEnd outputMissing(const JobEnd &finished, const QString &reason);
    // Why the last run was stopped.
    StopReason stopReason() const;

    void pause();
    void resume();

    bool isActive() const;
    bool isPaused() const;
    int runningRow() const;
    // The list index of the next row the tick looks at.
    int jobNumber() const;
    qint64 totalSeconds() const;
    qint64 doneSeconds() const;
    qint64 elapsedMs() const;

private:
    JobEnd endJob(const QString &statusWord);
    // Why the running job failed, in the transcoder's words; empty when unknown.
    QString failureReason() const;
    void refreshRows(const QVector<RunRow> &rows);
    qint64 rowSeconds(int row) const;

    RunClock m_clock;
    ProgressParser m_parser;
    QVector<RunRow> m_rows;
    QVector<QString> m_endedAs; // per row: the status word its job ended with
    bool m_active = false;
    StopReason m_stopReason = StopReason::User;
    int m_jobNumber = 0;
    int m_running = -1;
    qint64 m_doneSeconds = 0;
    qint64 m_currentSeconds = 0; // output seconds of the running job so far
    bool m_summarySeen = false;
    bool m_jobFailed = false; // the running job's text reported a failure
    QString m_verdict;        // the running job's last word on why it failed
    QString m_writeFailure;   // what told of its failed write, before any verdict
};
