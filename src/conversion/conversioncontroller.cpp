#include "conversioncontroller.h"

#include <memory>

#include <QAbstractItemModel>
#include <QFileInfo>
#include <QPointer>
#include <QSet>
#include <QTreeWidget>

#include "conversion/editedscript.h"
#include "conversion/jobpreparation.h"
#include "conversion/partfilename.h"
#include "conversion/suspenderlisting.h"
#include "filelist/filerow.h"
#include "filelist/outputpaths.h"
#include "filelist/probepool.h"
#include "filelist/processwait.h"
#include "filelist/tooltext.h"
#include "platform/filecalls.h"
#include "platform/platform.h"
#include "profiles/argumentlist.h"
#include "profiles/profileloader.h"

namespace {

constexpr int kJobTickMs = 100;
// Below this many free bytes on the output drive a write failure means a full disk.
constexpr qint64 kDiskFullBytes = 5 * 1024;
// What a transcoder still running when its controller goes is waited for.
constexpr int kEndAtCloseMs = 3000;
const QString kTranscoderName = QStringLiteral("korvex");
const QString kSuspenderName = QStringLiteral("haltwick");

QString outputFolderOf(const QTreeWidgetItem *row) {
    return QFileInfo(Arguments::outputPath(FileRow::arguments(row))).absolutePath();
}

// Empty when a finished job's output is at its name with something in it;
// else why the job failed after all.
QString outputProblem(const QString &output) {
    const FileCalls::Look written = FileCalls::look(output);
    if (!written.isFile)
        return QStringLiteral("The transcoder ended without writing %1.").arg(output);
    if (written.size == 0)
        return QStringLiteral("The transcoder ended with %1 empty.").arg(output);
    return QString();
}

} // namespace

ConversionController::ConversionController(QObject *parent) : QObject(parent) {
    m_jobTimer.setObjectName(QStringLiteral("jobTimer"));
    connect(&m_jobTimer, &QTimer::timeout, this, &ConversionController::tick);
    connect(&m_transcoder, &QProcess::readyReadStandardOutput, this,
            &ConversionController::readTranscoderOutput);
    connect(&m_transcoder, &QProcess::readyReadStandardError, this,
            &ConversionController::readTranscoderOutput);
    connect(&m_transcoder, &QProcess::finished, this, &ConversionController::transcoderFinished);
    connect(&m_transcoder, &QProcess::errorOccurred, this, &ConversionController::transcoderFailed);
}

ConversionController::~ConversionController() {
    // Nothing of a half-destroyed controller may hear the end.
    m_transcoder.disconnect(this);
    // The listing's end included.
    m_pauseTool.disconnect();
    // Asked to end, it ends its ffmpeg and removes its part file; one that
    // cannot yet, as its share does not answer, does so once it answers.
    if (m_job.isRunning() && !m_job.askToEndWithin(kEndAtCloseMs))
        m_transcoder.letGo();
}

void ConversionController::attach(QTreeWidget *list, WindowHooks hooks) {
    m_list = list;
    m_hooks = std::move(hooks);
    // The tick reads the rows ten times a second: it keeps them as they
    // change rather than reading the whole list each time.
    const QAbstractItemModel *model = list->model();
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &from, const QModelIndex &to, const QList<int> &roles) {
                if (from.parent().isValid() || !feedsRunRows(from.column(), to.column(), roles))
                    return;
                for (int index = from.row(); index <= to.row() && index < m_runRows.size(); ++index)
                    m_runRows[index] = runRowAt(index);
            });
    const auto forget = [this] { m_runRowsKnown = false; };
    connect(model, &QAbstractItemModel::rowsInserted, this, forget);
    connect(model, &QAbstractItemModel::rowsRemoved, this, forget);
    connect(model, &QAbstractItemModel::rowsMoved, this, forget);
    connect(model, &QAbstractItemModel::modelReset, this, forget);
    connect(model, &QAbstractItemModel::layoutChanged, this, forget);
}

// Whether a change of these cells can change what runRowAt() reads: a run's
// progress and status cells change many times a second and read nothing.
bool ConversionController::feedsRunRows(int firstColumn, int lastColumn, const QList<int> &roles) {
    const auto changes = [&](int column, int role) {
        return firstColumn <= column && column <= lastColumn &&
               (roles.isEmpty() || roles.contains(role));
    };
    return changes(FileRow::CheckColumn, Qt::CheckStateRole) ||
           changes(FileRow::NameColumn, FileRow::ArgumentListRole) ||
           changes(FileRow::SourceDurationColumn, Qt::DisplayRole);
}

QTreeWidgetItem *ConversionController::rowAt(int index) const {
    return m_list && index >= 0 ? m_list->topLevelItem(index) : nullptr;
}

const ConversionRun &ConversionController::run() const {
    return m_run;
}

ScriptWriter &ConversionController::scripts() {
    return m_scripts;
}

TranscoderJob &ConversionController::job() {
    return m_job;
}

const TranscoderJob &ConversionController::job() const {
    return m_job;
}

bool ConversionController::isActive() const {
    return m_run.isActive();
}

bool ConversionController::isPaused() const {
    return m_job.isPaused();
}

bool ConversionController::isCheckingFolders() const {
    return m_checkingFolders;
}

void ConversionController::checkOutputFolders(const QStringList &outputPaths) {
    QStringList folders;
    QSet<QString> seen;
    for (const QString &path : outputPaths) {
        const QString folder = QFileInfo(path).absolutePath();
        if (!seen.contains(folder)) {
            seen.insert(folder);
            folders << folder;
        }
    }
    m_runStart.drop();
    m_runStart = m_answers.issue();
    // The jobs read the rows' scripts: a stop ends the wait for them.
    if (!m_scripts.isSettled()) {
        setCheckingFolders(true);
        connect(
            &m_scripts, &ScriptWriter::settled, this,
            [this, outputPaths, ticket = m_runStart] {
                if (ticket.isCurrent())
                    checkOutputFolders(outputPaths);
            },
            Qt::SingleShotConnection);
        return;
    }
    if (folders.isEmpty()) {
        setCheckingFolders(false);
        Q_EMIT outputFoldersReady();
        return;
    }
    checkFolders(folders, 0, false);
}

void ConversionController::setCheckingFolders(bool checking) {
    if (checking == m_checkingFolders)
        return;
    m_checkingFolders = checking;
    Q_EMIT checkingFolders(checking);
}

void ConversionController::checkFolders(const QStringList &folders, int from, bool makeFirst) {
    // Whether a folder may be made unasked is the window's to say, here.
    QList<bool> mayMake;
    for (int index = 0; index < folders.size(); ++index)
        mayMake << ((makeFirst && index == from) || m_hooks.mayMakeUnasked(folders.at(index)));
    setCheckingFolders(true);
    const auto check = std::make_shared<FolderCheck>();
    // Stop ends the wait: an answer after it is no longer asked for.
    const StaleAnswers::Ticket ticket = m_runStart;
    m_folderWork.run(
        [check, folders, from, mayMake] {
            for (check->next = from; check->next < folders.size(); ++check->next) {
                check->folder = folders.at(check->next);
                check->state = OutputPaths::prepareFolder(check->folder, mayMake.at(check->next),
                                                          &check->problem);
                if (check->state != OutputPaths::FolderState::Ready)
                    return;
            }
        },
        this,
        [this, check, folders, ticket] {
            if (ticket.isCurrent())
                foldersChecked(folders, *check, ticket);
        });
}

void ConversionController::foldersChecked(const QStringList &folders, const FolderCheck &check,
                                          const StaleAnswers::Ticket &ticket) {
    switch (check.state) {
    case OutputPaths::FolderState::Ready:
        setCheckingFolders(false);
        Q_EMIT outputFoldersReady();
        return;
    case OutputPaths::FolderState::Missing: {
        // Made again, the gone folder is looked at again with those after it.
        const QStringList rest = folders.mid(check.next);
        Q_EMIT folderGone(check.folder, replyTo([this, rest, ticket](bool makeAgain) {
                              runStartAnswered(rest, ticket, makeAgain);
                          }));
        return;
    }
    case OutputPaths::FolderState::Unusable:
        setCheckingFolders(false);
        Q_EMIT problem(check.problem);
        return;
    }
}

void ConversionController::runStartAnswered(const QStringList &folders,
                                            const StaleAnswers::Ticket &ticket, bool makeAgain) {
    // A stop or a later Convert has settled the check already.
    if (!ticket.isCurrent())
        return;
    if (!makeAgain) {
        setCheckingFolders(false);
        return;
    }
    checkFolders(folders, 0, true);
}

void ConversionController::jobStartAnswered(int row, const StaleAnswers::Ticket &ticket,
                                            bool makeAgain) {
    // A stop has ended the job's start already.
    if (!ticket.isCurrent())
        return;
    if (!makeAgain) {
        m_jobStarting = false;
        stop(ConversionRun::StopReason::User);
        return;
    }
    checkJobFolder(row, true);
}

FolderGoneReply ConversionController::replyTo(std::function<void(bool makeAgain)> answered) {
    // The last copy of a reply may outlive this controller, in a window's
    // slot or a queued call.
    return FolderGoneReply([alive = QPointer<ConversionController>(this),
                            answered = std::move(answered)](bool makeAgain) {
        if (alive)
            answered(makeAgain);
    });
}

RunRow ConversionController::runRowAt(int index) const {
    const QTreeWidgetItem *item = rowAt(index);
    RunRow row;
    if (!item)
        return row;
    row.checked = item->checkState(FileRow::CheckColumn) == Qt::Checked;
    // A trimmed row is measured by what it will output.
    row.seconds = JobPreparation::outputSeconds(FileRow::arguments(item),
                                                item->text(FileRow::SourceDurationColumn));
    return row;
}

QVector<RunRow> ConversionController::runRows() {
    if (!m_list)
        return {};
    if (!m_runRowsKnown || m_runRows.size() != m_list->topLevelItemCount()) {
        m_runRows.resize(m_list->topLevelItemCount());
        for (int index = 0; index < m_runRows.size(); ++index)
            m_runRows[index] = runRowAt(index);
        m_runRowsKnown = true;
    }
    return m_runRows;
}

bool ConversionController::start(const QString &destination) {
    // A stopped job still on its way out: ended now, and the tick waits for
    // its end rather than this click.
    if (m_job.isRunning())
        m_job.requestStop(0);
    m_destination = destination;
    // Rows of unknown length still convert (their bars are busy bars); only a
    // run without any checked row has nothing to do.
    if (!m_run.start(runRows()))
        return false;
    m_jobTimer.start(kJobTickMs);
    return true;
}

void ConversionController::tick() {
    m_jobTimer.stop();
    const TickDecision decision =
        m_run.tick(m_job.isRunning() || m_jobStarting || m_checkingOutput, runRows());
    endJob(decision.vanishedJob);
    switch (decision.action) {
    case TickDecision::Action::Idle:
        return;
    case TickDecision::Action::Wait:
        // A job at work is left alone, whatever its bar shows: only its exit
        // tells how it went.
        Q_EMIT jobAtWork();
        m_jobTimer.start(kJobTickMs);
        return;
    case TickDecision::Action::Launch:
        launchJob(decision);
        return;
    case TickDecision::Action::Finish:
        finish(decision);
        return;
    }
}

void ConversionController::launchJob(const TickDecision &decision) {
    Q_EMIT jobStarted(decision.row, decision.indeterminate);
    m_jobTimer.start(kJobTickMs);
    const QTreeWidgetItem *row = rowAt(decision.row);
    if (!row)
        return;
    checkJobFolder(decision.row, m_hooks.mayMakeUnasked(outputFolderOf(row)));
}

void ConversionController::checkJobFolder(int row, bool mayMake) {
    const QTreeWidgetItem *item = rowAt(row);
    if (!item)
        return;
    const QString folder = outputFolderOf(item);
    const ArgumentList arguments = FileRow::arguments(item);
    const QString source = Arguments::inputPath(arguments);
    const QString wanted = Arguments::outputPath(arguments);
    const auto freeName = m_hooks.freeOutputCheck(item);
    const SourceStamp probed = FileRow::sourceStamp(item);
    const QString prober = Platform::toolPath(kTranscoderName);
    const auto answer = std::make_shared<JobStartFacts>();
    const StaleAnswers::Ticket ticket = m_answers.issue();
    m_jobStarting = true;
    m_folderWork.run(
        [answer, folder, mayMake, source, wanted, freeName, probed, prober] {
            answer->state = OutputPaths::prepareFolder(folder, mayMake, &answer->problem);
            if (answer->state != OutputPaths::FolderState::Ready)
                return;
            // What this machine's ended jobs left there: a job that lost
            // its share could not take its part file along.
            PartFileName::sweep(folder);
            // A file may have come under the row's output name since the
            // name was chosen: the row takes the next free name rather than
            // replace it.
            answer->freeOutput = freeName(wanted, OutputPaths::plainName(source, wanted));
            answer->sourceNow = SourceStamp::of(source);
            // A source that changed since its probe is probed again here,
            // where a share that hangs holds up this job and not the window.
            answer->sourceChanged =
                probed.isKnown() && answer->sourceNow.isKnown() && answer->sourceNow != probed;
            if (answer->sourceChanged) {
                answer->probeText =
                    ProbePool::probeOne(prober, source, ProcessWait::Waiting::Blocking)
                        .standardError;
            }
        },
        this,
        [this, answer, ticket, row] {
            if (ticket.isCurrent())
                jobFolderChecked(row, *answer, ticket);
        });
}

void ConversionController::jobFolderChecked(int row, const JobStartFacts &facts,
                                            const StaleAnswers::Ticket &ticket) {
    const QTreeWidgetItem *item = rowAt(row);
    if (!item || m_run.runningRow() != row) {
        m_jobStarting = false;
        return;
    }
    switch (facts.state) {
    case OutputPaths::FolderState::Ready:
        // A changed source is probed again with the window at work, and the
        // script may have to be written again: until the transcoder runs,
        // the tick must not take the job for ended.
        startJob(row, facts, ticket);
        return;
    case OutputPaths::FolderState::Missing:
        Q_EMIT folderGone(outputFolderOf(item), replyTo([this, row, ticket](bool makeAgain) {
                              jobStartAnswered(row, ticket, makeAgain);
                          }));
        return;
    case OutputPaths::FolderState::Unusable:
        m_jobStarting = false;
        refuseJobFolder(facts.problem);
        return;
    }
}

void ConversionController::refuseJobFolder(const QString &text) {
    // Every later row would fail the same way: the run ends here, told once,
    // as a full disk ends it.
    Q_EMIT logged(text);
    stop(ConversionRun::StopReason::DiskFull);
    Q_EMIT problem(text);
}

void ConversionController::startJob(int rowIndex, const JobStartFacts &facts,
                                    const StaleAnswers::Ticket &ticket) {
    QTreeWidgetItem *row = rowAt(rowIndex);
    if (!row) {
        m_jobStarting = false;
        return;
    }
    const bool sourceChanged =
        facts.sourceChanged && m_hooks.reprobeChangedSource(row, facts.sourceNow, facts.probeText);
    // With every numbered name taken the row fails and keeps the name it had.
    const QString takenOutput =
        facts.freeOutput.isEmpty() ? Arguments::outputPath(FileRow::arguments(row)) : QString();
    if (!facts.freeOutput.isEmpty())
        m_hooks.setRowOutputPath(row, facts.freeOutput);

    // Whether the job reads its script goes by its logo picture, and a script
    // removed from outside (a cleaner, another session) or cut at a length
    // the source no longer has is written again as the edit wrote it: both
    // lie in the program's own folder, looked at and written after whatever
    // else is on its way to the scripts. The row still holds the whole edit.
    const ArgumentList arguments = FileRow::arguments(row);
    const EffectList effects = FileRow::effects(row);
    const QString ratio = FileRow::mediaInfo(row).at(FileRow::DisplayRatio);
    const QString script = effects.value(FileRow::ScriptPathEntry);
    const bool withLogo =
        !row->data(FileRow::NameColumn, FileRow::WatermarkRole).toString().isEmpty();
    const EditedScriptInput input = editedScriptInput(m_hooks.editorRow(row), withLogo);
    const auto plan = std::make_shared<JobPreparation::LaunchPlan>();
    m_scripts.rewrite(
        script,
        [plan, arguments, effects, ratio, input, script, sourceChanged] {
            *plan = JobPreparation::prepare(arguments, effects, ratio);
            return plan->readsScript ? EditedScript::restore(input, script, sourceChanged)
                                     : QString();
        },
        this,
        [this, rowIndex, takenOutput, plan, ticket](const QString &problem) {
            runJob(rowIndex, takenOutput, *plan, problem, ticket);
        });
}

void ConversionController::runJob(int rowIndex, const QString &takenOutput,
                                  JobPreparation::LaunchPlan plan, const QString &scriptProblem,
                                  const StaleAnswers::Ticket &ticket) {
    // A stop has ended the job's start already.
    if (!ticket.isCurrent())
        return;
    m_jobStarting = false;
    QTreeWidgetItem *row = rowAt(rowIndex);
    if (!row || m_run.runningRow() != rowIndex)
        return;
    if (plan.problem.isEmpty())
        plan.problem = scriptProblem;
    if (!takenOutput.isEmpty())
        plan.problem = OutputPaths::noFreeNameText(takenOutput);
    // Without its profile the row's options are not what any profile gives:
    // the job would make a file the user never asked for.
    const SettingsIndexList indexes = FileRow::settingsIndexes(row);
    const QString unreadable = ProfileLoader::unreadableFile(
        Platform::installDir(), indexes.value(FileRow::DeviceIndex, QStringLiteral("-1")).toInt(),
        indexes.value(FileRow::ProfileIndex, QStringLiteral("-1")).toInt());
    if (!unreadable.isEmpty())
        plan.problem = ProfileLoader::unreadableMessage(unreadable);
    if (!plan.problem.isEmpty()) {
        Q_EMIT logged(plan.problem);
        JobEnd end = m_run.jobFailedToStart();
        end.reason = plan.problem;
        endJob(end);
        m_jobTimer.start(0);
        return;
    }
    for (const QString &argument : plan.arguments)
        Q_EMIT logged(argument);
    m_job.start(Platform::toolPath(kTranscoderName), plan.arguments);
}

void ConversionController::transcoderFinished(int exitCode, QProcess::ExitStatus status) {
    const bool succeeded = exitCode == 0 && status == QProcess::NormalExit;
    if (m_stopped.row >= 0) {
        // The row a stop marked: a transcoder that still ended well had
        // begun its publish before the stop reached it, and its row is done
        // after all once the file is found.
        StoppedJob stopped = std::move(m_stopped);
        m_stopped = StoppedJob();
        stopped.said.merge(stopped.text.flush());
        if (succeeded) {
            QString output = stopped.output;
            if (!stopped.said.savedAs.isEmpty())
                output = QFileInfo(output).absolutePath() + QLatin1Char('/') + stopped.said.savedAs;
            JobEnd end;
            end.row = stopped.row;
            end.statusWord = FileRow::kStatusFinished;
            end.picture = FileRow::statusPicture(end.statusWord);
            settlePartFile(false);
            confirmOutput(end, output, stopped.output);
        }
    } else {
        const JobEnd end = m_run.jobFinished(exitCode, status == QProcess::CrashExit);
        const QTreeWidgetItem *row = rowAt(end.row);
        if (end.statusWord == FileRow::kStatusFinished && row) {
            settlePartFile(false);
            confirmOutput(end, Arguments::outputPath(FileRow::arguments(row)), QString());
        } else {
            endJob(end);
        }
    }
    // A stopped job ends after its run: what it left is no output.
    settlePartFile(true);
    // The next job starts now rather than at the next tick.
    if (m_run.isActive())
        m_jobTimer.start(0);
}

void ConversionController::confirmOutput(const JobEnd &end, const QString &output,
                                         const QString &stoppedRowOutput) {
    // Only a file at its name with something in it is finished; the drive
    // may hang as long as its share does.
    m_checkingOutput = true;
    const auto problem = std::make_shared<QString>();
    const StaleAnswers::Ticket ticket = m_answers.issue();
    m_folderWork.run([problem, output] { *problem = outputProblem(output); }, this,
                     [this, end, output, stoppedRowOutput, problem, ticket] {
                         outputConfirmed(end, output, stoppedRowOutput, *problem, ticket);
                     });
}

void ConversionController::outputConfirmed(JobEnd end, const QString &output,
                                           const QString &stoppedRowOutput, const QString &problem,
                                           const StaleAnswers::Ticket &ticket) {
    m_checkingOutput = false;
    // A new run has the rows now: what an earlier run's job left is not shown.
    if (!ticket.isCurrent() && m_run.isActive())
        return;
    if (!stoppedRowOutput.isEmpty()) {
        QTreeWidgetItem *row = rowAt(end.row);
        if (!problem.isEmpty() || !row || m_run.isActive() ||
            Arguments::outputPath(FileRow::arguments(row)) != stoppedRowOutput)
            return;
        if (output != stoppedRowOutput)
            m_hooks.setRowOutputPath(row, output);
        Q_EMIT stoppedJobFinished(end);
        return;
    }
    if (!problem.isEmpty()) {
        Q_EMIT logged(problem);
        end = m_run.outputMissing(end, problem);
    }
    endJob(end);
    if (m_run.isActive())
        m_jobTimer.start(0);
}

void ConversionController::transcoderFailed(QProcess::ProcessError error) {
    // A crash ends through finished(); a transcoder that never ran does not.
    if (error != QProcess::FailedToStart)
        return;
    JobEnd end = m_run.jobFailedToStart();
    if (end.row < 0)
        return;
    end.reason = m_transcoder.errorString();
    Q_EMIT logged(end.reason);
    endJob(end);
    m_jobTimer.start(0);
}

void ConversionController::endJob(const JobEnd &end) {
    if (end.row < 0)
        return;
    settlePartFile(end.statusWord != FileRow::kStatusFinished);
    Q_EMIT jobEnded(end);
}

void ConversionController::settlePartFile(bool jobFailed) {
    const QString stale = m_job.takeStalePartFile(jobFailed);
    if (!stale.isEmpty())
        m_folderWork.run([stale] { FileCalls::remove(stale); });
}

void ConversionController::readTranscoderOutput() {
    // Standard output carries nothing we read; it is taken so the pipe never fills.
    m_transcoder.readAllStandardOutput();
    const QByteArray text = m_transcoder.readAllStandardError();
    Q_EMIT logged(decodeToolText(text));
    if (m_stopped.row >= 0)
        m_stopped.said.merge(m_stopped.text.feed(text));
    else if (m_run.isActive())
        followJobOutput(text);
}

void ConversionController::followJobOutput(const QByteArray &text) {
    const ProgressUpdate update = m_run.feed(text);
    for (const QString &line : update.logLines)
        Q_EMIT logged(line);
    Q_EMIT progressed(update);
    if (!update.savedAs.isEmpty())
        followSavedOutput(update.row, update.savedAs);
    if (update.diskFull) {
        stop(ConversionRun::StopReason::DiskFull);
        Q_EMIT diskFull();
    } else if (update.writeFailed) {
        checkOutputDriveInBackground();
    }
}

void ConversionController::followSavedOutput(int index, const QString &fileName) {
    // A file came under the row's output name while it converted, and the
    // transcoder saved the output beside it: the row names what was written,
    // so that showing the folder and the next names go by it.
    QTreeWidgetItem *row = rowAt(index);
    if (!row)
        return;
    const QString output = Arguments::outputPath(FileRow::arguments(row));
    m_hooks.setRowOutputPath(row, output.left(output.lastIndexOf(QLatin1Char('/')) + 1) + fileName);
}

void ConversionController::checkOutputDriveInBackground() {
    // A write that failed for want of space stops the run like a full disk;
    // asking the drive may hang as long as its share does.
    const QTreeWidgetItem *row = rowAt(m_run.runningRow());
    const QString output = row ? Arguments::outputPath(FileRow::arguments(row)) : QString();
    const QString folder = output.isEmpty() ? m_destination : QFileInfo(output).absolutePath();
    const auto free = std::make_shared<qint64>(-1);
    const StaleAnswers::Ticket ticket = m_answers.issue();
    m_folderWork.run([free, folder] { *free = Platform::freeBytes(folder); }, this,
                     [this, free, ticket] {
                         if (!ticket.isCurrent() || !m_run.isActive() || *free < 0 ||
                             *free >= kDiskFullBytes)
                             return;
                         stop(ConversionRun::StopReason::DiskFull);
                         Q_EMIT diskFull();
                     });
}

void ConversionController::stop(ConversionRun::StopReason reason) {
    // A job start whose folder is still being looked at never starts, nor
    // a run whose folders are, whatever the folder work or the user answers
    // later.
    m_answers.makeAllStale();
    m_jobStarting = false;
    setCheckingFolders(false);
    const JobEnd end = m_run.stop(reason);
    const bool ending = m_job.isRunning();
    if (ending && end.row >= 0 && rowAt(end.row)) {
        m_stopped = StoppedJob();
        m_stopped.row = end.row;
        m_stopped.output = Arguments::outputPath(FileRow::arguments(rowAt(end.row)));
    }
    if (ending) {
        // Our own transcoder and its ffmpeg, paused or not; nothing else of
        // that name. Not waited for: a transcoder whose folder hangs would
        // hold the window; its end and its part file are seen to later.
        m_job.requestStop();
    }
    m_jobTimer.stop();
    endJob(end);
    stopPauseListing();
    m_pausedPid.clear();
    Q_EMIT runStopped(ending);
}

void ConversionController::finish(const TickDecision &decision) {
    m_jobTimer.stop();
    stopPauseListing();
    m_pausedPid.clear();
    Q_EMIT runFinished(decision.rowsToUncheck);
}

void ConversionController::pause() {
    // Nothing is waited for here: a suspender that hangs must not hold the
    // window. The listing's output is read as it comes, and its end says
    // whether it named our transcoder.
    if (m_pauseTool.state() != QProcess::NotRunning || m_job.isSuspending())
        return;
    connect(&m_pauseTool, &QProcess::readyReadStandardOutput, this,
            &ConversionController::readPauseListing, Qt::UniqueConnection);
    connect(&m_pauseTool, &QProcess::readyReadStandardError, this,
            &ConversionController::readPauseListing, Qt::UniqueConnection);
    m_pauseListing.clear();
    m_pauseListingTicket = m_answers.issue();
    const StaleAnswers::Ticket ticket = m_pauseListingTicket;
    ProcessWait::start(m_pauseTool, Platform::toolPath(kSuspenderName), QStringList(),
                       TranscoderJob::kToolTimeoutMs, this,
                       [this, ticket](const ProcessWait::Ended &ended) {
                           if (ticket.isCurrent())
                               pauseListingEnded(ended.problem);
                       });
}

void ConversionController::pauseListingEnded(const QString &why) {
    readPauseListing();
    stopPauseListing();
    if (!m_pausedPid.isEmpty())
        return;
    // Nothing was held: the buttons stay as the job is, and the user hears why.
    Q_EMIT pauseAnswered(false);
    Q_EMIT problem(tr("The conversion could not be paused: the suspender did not list "
                      "the running transcoder. %1")
                       .arg(why)
                       .trimmed());
}

void ConversionController::readPauseListing() {
    m_pauseListing += m_pauseTool.readAllStandardOutput();
    m_pauseTool.readAllStandardError();
    // Only the transcoder this program started is ever suspended: the listing
    // confirms that it still runs under its name.
    const QString ours = QString::number(m_job.processId());
    if (!m_pausedPid.isEmpty() || m_job.processId() <= 0 ||
        !Suspender::findPids(decodeToolText(m_pauseListing), kTranscoderName).contains(ours))
        return;
    m_pausedPid = ours;
    const StaleAnswers::Ticket ticket = m_answers.issue();
    m_job.pause(
        Platform::toolPath(kSuspenderName), [this, ticket](bool held, const QString &problem) {
            if (!ticket.isCurrent())
                return;
            if (held)
                m_run.pause();
            else
                m_pausedPid.clear();
            Q_EMIT pauseAnswered(held);
            if (!held)
                Q_EMIT this->problem(tr("The conversion could not be paused: %1").arg(problem));
        });
}

void ConversionController::resume() {
    if (!m_job.isPaused() || m_job.isSuspending())
        return;
    const StaleAnswers::Ticket ticket = m_answers.issue();
    m_job.resume(
        Platform::toolPath(kSuspenderName), [this, ticket](bool goingOn, const QString &problem) {
            if (!ticket.isCurrent())
                return;
            if (goingOn) {
                m_run.resume();
                m_pausedPid.clear();
            }
            // A job still held keeps the paused look, so that the
            // user can try again.
            Q_EMIT pauseAnswered(!goingOn);
            if (!goingOn)
                Q_EMIT this->problem(
                    tr("The conversion could not be continued and stays paused: %1").arg(problem));
        });
}

void ConversionController::stopPauseListing() {
    disconnect(&m_pauseTool, &QProcess::readyReadStandardOutput, this,
               &ConversionController::readPauseListing);
    disconnect(&m_pauseTool, &QProcess::readyReadStandardError, this,
               &ConversionController::readPauseListing);
    m_pauseListing.clear();
    // A listing still under way is not heard of any more.
    m_pauseListingTicket.drop();
    if (m_pauseTool.state() != QProcess::NotRunning)
        m_pauseTool.kill();
}

void ConversionController::askTranscoderToEnd() {
    if (!m_job.isRunning())
        return;
    Platform::signalProcessGroup(m_transcoder.processId(), Platform::GroupSignal::Terminate);
    m_transcoder.terminate();
}
