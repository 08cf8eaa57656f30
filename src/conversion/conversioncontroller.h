#pragma once

#include <functional>

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "conversion/conversionrun.h"
#include "conversion/editoranswer.h"
#include "conversion/foldergonereply.h"
#include "conversion/jobpreparation.h"
#include "conversion/progressparser.h"
#include "conversion/scriptwriter.h"
#include "conversion/staleanswers.h"
#include "conversion/transcoderjob.h"
#include "conversion/transcoderprocess.h"
#include "filelist/folderwork.h"
#include "filelist/outputpaths.h"
#include "filelist/sourcestamp.h"

class QTreeWidget;
class QTreeWidgetItem;

// The Convert button's run over the file list: the folder checks before it,
// the job tick, each job's start, its transcoder and its end, pause and
// continue through the suspender, the stop and the end of the run. The rows'
// data are read from the list; everything the user sees is told through the
// signals, and what only the window knows is asked through its hooks.
//
// Work on the output folders (a share may stop answering) never runs on this
// thread: it goes through the folder work. What it answers, and what the user
// answers about a folder that has gone, counts only while its ticket is
// current: a stop, or the next Convert, makes the earlier answers stale.
class ConversionController : public QObject {
    Q_OBJECT

public:
    // What a job's start needs of the window, asked on this thread unless
    // said otherwise.
    struct WindowHooks {
        // A folder that has gone may be made again without asking.
        std::function<bool(const QString &folder)> mayMakeUnasked;
        // The source has changed since its probe, and was probed again
        // (probeText: the transcoder's text); true when its row now shows
        // the new probe.
        std::function<bool(QTreeWidgetItem *row, const SourceStamp &now,
                           const QByteArray &probeText)>
            reprobeChangedSource;
        // The first free name for the row's output, by the list's taken
        // paths; the check it hands back may run on any thread.
        std::function<std::function<QString(const QString &wanted, const QString &plainName)>(
            const QTreeWidgetItem *row)>
            freeOutputCheck;
        // What the row's edit script is written from, should it have to be
        // written again before its job.
        std::function<EditorRow(const QTreeWidgetItem *row)> editorRow;
        std::function<void(QTreeWidgetItem *row, const QString &path)> setRowOutputPath;
    };

    explicit ConversionController(QObject *parent = nullptr);
    // Whatever runs is ended, its whole group, before the process goes.
    ~ConversionController() override;

    void attach(QTreeWidget *list, WindowHooks hooks);

    // Convert: the folders of these outputs are looked at away from this
    // thread, once the rows' scripts are on disk; outputFoldersReady(),
    // folderGone() or problem() answers. An earlier Convert's answers still
    // to come are no longer heard.
    void checkOutputFolders(const QStringList &outputPaths);
    bool isCheckingFolders() const;

    // Starts the run over the list's checked rows; false (nothing started)
    // when none is checked. destination: the folder the run writes into,
    // asked for free space when a write fails without a row to go by.
    bool start(const QString &destination);
    void stop(ConversionRun::StopReason reason = ConversionRun::StopReason::User);
    // The suspender's listing is read for our transcoder, which is then held;
    // neither waits for the suspender: pauseAnswered() tells how it went.
    void pause();
    void resume();
    // A pause holds our transcoder.
    bool isPaused() const;
    bool isActive() const;

    // What the window's slots of the same meaning hand on.
    void tick();
    void readTranscoderOutput();
    void readPauseListing();

    // The program goes: the transcoder is asked to end (it ends its ffmpeg
    // and removes its part file), not waited for.
    void askTranscoderToEnd();

    const ConversionRun &run() const;
    // Where the rows' scripts are written; a run reads them.
    ScriptWriter &scripts();
    TranscoderJob &job();
    const TranscoderJob &job() const;

Q_SIGNALS:
    // Convert's folders are being looked at (true), or no longer.
    void checkingFolders(bool checking);
    void outputFoldersReady();
    // A folder the user chose has gone: the reply says whether it is made
    // again. Until it is answered, or its last copy goes, the run's start or
    // the job's waits.
    void folderGone(const QString &folder, const FolderGoneReply &reply);
    // A problem for the user that ends what met it.
    void problem(const QString &text);
    void logged(const QString &text);
    void jobStarted(int row, bool indeterminate);
    void jobAtWork();
    void jobEnded(const JobEnd &end);
    // A job stopped once its publish had begun ended with its output there:
    // its row is done after all.
    void stoppedJobFinished(const JobEnd &end);
    void progressed(const ProgressUpdate &update);
    // transcoderEnding: a stopped transcoder is still on its way out.
    void runStopped(bool transcoderEnding);
    void runFinished(const QList<int> &rowsToUncheck);
    void diskFull();
    // A pause or resume has been answered: whether the job is held now.
    // One that failed is told through problem() as well.
    void pauseAnswered(bool held);

private:
    struct JobStartFacts {
        OutputPaths::FolderState state = OutputPaths::FolderState::Unusable;
        QString problem;
        QString freeOutput; // empty: every numbered name is taken
        SourceStamp sourceNow;
        bool sourceChanged = false; // since its probe: probed again
        QByteArray probeText;
    };
    struct FolderCheck {
        OutputPaths::FolderState state = OutputPaths::FolderState::Ready;
        QString folder;
        QString problem;
        int next = 0; // the first folder not yet looked at
    };

    // The rows as the run sees them, kept in step with the list.
    QVector<RunRow> runRows();
    RunRow runRowAt(int index) const;
    static bool feedsRunRows(int firstColumn, int lastColumn, const QList<int> &roles);
    QTreeWidgetItem *rowAt(int index) const;
    void setCheckingFolders(bool checking);
    void checkFolders(const QStringList &folders, int from, bool makeFirst);
    void foldersChecked(const QStringList &folders, const FolderCheck &check,
                        const StaleAnswers::Ticket &ticket);
    void runStartAnswered(const QStringList &folders, const StaleAnswers::Ticket &ticket,
                          bool makeAgain);
    void launchJob(const TickDecision &decision);
    void checkJobFolder(int row, bool mayMake);
    void jobFolderChecked(int row, const JobStartFacts &facts, const StaleAnswers::Ticket &ticket);
    void jobStartAnswered(int row, const StaleAnswers::Ticket &ticket, bool makeAgain);
    // A reply whose answer reaches this controller while it is there.
    FolderGoneReply replyTo(std::function<void(bool makeAgain)> answered);
    // The job's launch is prepared, and its script written again when it
    // must be, away from this thread; the job runs once the script is on disk.
    void startJob(int row, const JobStartFacts &facts, const StaleAnswers::Ticket &ticket);
    // takenOutput: the output name the row kept, every numbered name being
    // taken; empty when it has a free one.
    void runJob(int row, const QString &takenOutput, JobPreparation::LaunchPlan plan,
                const QString &scriptProblem, const StaleAnswers::Ticket &ticket);
    void refuseJobFolder(const QString &problem);
    void endJob(const JobEnd &end);
    void settlePartFile(bool jobFailed);
    void transcoderFinished(int exitCode, QProcess::ExitStatus status);
    // stoppedRowOutput: the stopped row's output as the stop found it; empty
    // for a job of the run.
    void confirmOutput(const JobEnd &end, const QString &output, const QString &stoppedRowOutput);
    void outputConfirmed(JobEnd end, const QString &output, const QString &stoppedRowOutput,
                         const QString &problem, const StaleAnswers::Ticket &ticket);
    void transcoderFailed(QProcess::ProcessError error);
    void followJobOutput(const QByteArray &text);
    void followSavedOutput(int row, const QString &fileName);
    void checkOutputDriveInBackground();
    void finish(const TickDecision &decision);
    void pauseListingEnded(const QString &why);
    void stopPauseListing();

    QTreeWidget *m_list = nullptr;
    WindowHooks m_hooks;
    QVector<RunRow> m_runRows;
    bool m_runRowsKnown = false;
    TranscoderProcess m_transcoder;
    QProcess m_pauseTool;
    TranscoderJob m_job{m_transcoder};
    ConversionRun m_run;
    QTimer m_jobTimer{this};
    FolderWork m_folderWork;
    ScriptWriter m_scripts;
    QString m_destination;
    // A job's folder is being looked at; the tick waits for it as for a job.
    bool m_jobStarting = false;
    // An ended job's output is being looked for; the tick waits for it too.
    bool m_checkingOutput = false;
    // The row a stop marked while its transcoder still ran, until the
    // transcoder's end tells whether its publish had already begun.
    struct StoppedJob {
        int row = -1;
        QString output;
        ProgressParser text;
        ProgressReport said;
    };
    StoppedJob m_stopped;
    bool m_checkingFolders = false;
    // The folder work's answers and the user's; stop() makes all of them stale.
    StaleAnswers m_answers;
    // Convert's look at the folders, with the question it may lead to.
    StaleAnswers::Ticket m_runStart;
    // The suspender's listing as it arrives; looked through for our transcoder.
    QByteArray m_pauseListing;
    // Our transcoder's id once the listing showed it: the pause holds it.
    QString m_pausedPid;
    // The listing under way: the end of one that was dropped is not heard.
    StaleAnswers::Ticket m_pauseListingTicket;
};
