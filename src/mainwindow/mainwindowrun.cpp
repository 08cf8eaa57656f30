// MainWindow's conversion runs: Convert, pause, stop, the job tick, and opening the editor tool.
// Leans on mainwindowlist.cpp for the rows' selection, mainwindowoptions.cpp for output paths.

#include "mainwindow.h"

#include "ui_mainwindow.h"

#include <memory>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>
#include <QTextEdit>
#include <QTreeWidget>

#include "app/version.h"
#include "conversion/argumentlist.h"
#include "conversion/avsscript.h"
#include "conversion/editedscript.h"
#include "conversion/editoranswer.h"
#include "conversion/editorsession.h"
#include "conversion/jobpreparation.h"
#include "conversion/partfilename.h"
#include "conversion/suspenderlisting.h"
#include "conversion/tooltext.h"
#include "filelist/filerow.h"
#include "filelist/outputpaths.h"
#include "filelist/processwait.h"
#include "filelist/statuscell.h"
#include "mainwindow/maxdriverdialog.h"
#include "mainwindow/settingsfile.h"
#include "platform/platform.h"
#include "profiles/profileloader.h"

namespace {

// Conversion runs.
constexpr int kJobTickMs = 100;
constexpr int kPollNowMs = 100;
constexpr int kPollAfterStopMs = 500;
constexpr int kShutdownDelayMs = 500;
constexpr int kToolTimeoutMs = 30000;
constexpr int kPercentMax = 100;
// Below this many free bytes on the output drive a write failure means a full disk.
constexpr qint64 kDiskFullBytes = 5 * 1024;
constexpr int kShutDownAfterRun = 1;
const QString kTranscoderName = QStringLiteral("korvex");
const QString kSuspenderName = QStringLiteral("haltwick");

QString outputFolderOf(const QTreeWidgetItem *row)
{
    return QFileInfo(Arguments::outputPath(FileRow::arguments(row))).absolutePath();
}

} // namespace

void MainWindow::on_ConvertePushButton_clicked()
{
    QTreeWidget *list = ui->treeWidget;
    // A remembered folder may have gone since the rows were made: asked
    // about and made again, or the user hears once why nothing starts.
    QStringList outputs;
    for (int index = 0; index < list->topLevelItemCount(); ++index) {
        const QTreeWidgetItem *item = list->topLevelItem(index);
        if (item->checkState(FileRow::CheckColumn) == Qt::Checked)
            outputs << Arguments::outputPath(FileRow::arguments(item));
    }
    if (!readyOutputFolders(outputs))
        return;
    const int previousRunMode = runMode;
    jobNumber = 0;
    if (ui->StopButton->isEnabled())
        on_StopButton_clicked();
    runMode = 2;
    // While the run lasts, picking a row must not load its options.
    disconnectSelectionHandler();
    ui->StopConvertePushButton->setEnabled(true);
    ui->PausePushButton->setEnabled(true);
    ui->progressAll->setValue(0);

    QVector<RunRow> rows;
    rows.reserve(list->topLevelItemCount());
    for (int index = 0; index < list->topLevelItemCount(); ++index) {
        QTreeWidgetItem *item = list->topLevelItem(index);
        RunRow row;
        row.checked = item->checkState(FileRow::CheckColumn) == Qt::Checked;
        row.seconds = JobPreparation::outputSeconds(FileRow::arguments(item),
                                                    item->text(FileRow::SourceDurationColumn));
        rows << row;
        if (!row.checked)
            continue;
        StatusCell::showWaiting(item);
        setJobControlsEnabled(false);
        ui->editVideo->setEnabled(false);
        ui->editVideo_Trim->setEnabled(false);
        ui->editVideo_Effect->setEnabled(false);
        list->setAcceptDrops(false);
        setAcceptDrops(false);
        ui->AddFile->setEnabled(false);
        // The folder shown is where the run's rows go: it holds still.
        ui->browsePushButton->setEnabled(false);
        ui->PathLine->setEnabled(false);
    }
    // A stopped job still on its way out: ended now, and the tick waits for
    // its end rather than this click.
    if (transcoderJob.isRunning())
        transcoderJob.requestStop(0);

    uiPollTimer.stop();
    totalSeconds = totalCheckedDuration();
    conversionClock.start();
    // Rows of unknown length still convert (their bars are busy bars); only a
    // run without any checked row has nothing to do.
    if (!conversionRun.start(rows)) {
        rollBackRunStart(previousRunMode);
        return;
    }
    jobTimer.start(kJobTickMs);
}

bool MainWindow::readyOutputFolders(const QStringList &outputPaths)
{
    QSet<QString> tried;
    for (const QString &path : outputPaths) {
        const QString folder = QFileInfo(path).absolutePath();
        if (tried.contains(folder))
            continue;
        tried.insert(folder);
        QString problem;
        OutputPaths::FolderState state =
            OutputPaths::prepareFolder(folder, mayMakeUnasked(folder), &problem);
        if (state == OutputPaths::FolderState::Missing) {
            if (!askToMakeFolderAgain(folder))
                return false;
            state = OutputPaths::prepareFolder(folder, true, &problem);
        }
        if (state == OutputPaths::FolderState::Unusable) {
            showProblem(problem);
            return false;
        }
    }
    return true;
}

bool MainWindow::mayMakeUnasked(const QString &folder) const
{
    const QString home = QDir::cleanPath(SettingsFile::defaultHomeFolder());
    const QString path = QDir::cleanPath(folder);
    return path == home || path.startsWith(home + QLatin1Char('/'));
}

bool MainWindow::askToMakeFolderAgain(const QString &folder)
{
    QMessageBox box(QMessageBox::Question, QLatin1String(kProductName),
                    tr("The folder %1 is not there any more. It may be on a drive or a network "
                       "share that is not connected now.\n\nMake the folder again, or stop with "
                       "nothing written?")
                        .arg(QDir::toNativeSeparators(QDir::cleanPath(folder))),
                    QMessageBox::NoButton, this);
    QPushButton *make = box.addButton(tr("Make It Again"), QMessageBox::AcceptRole);
    QPushButton *stop = box.addButton(tr("Stop"), QMessageBox::RejectRole);
    box.setDefaultButton(stop);
    box.setEscapeButton(stop);
    box.exec();
    return box.clickedButton() == make;
}

void MainWindow::rollBackRunStart(int previousRunMode)
{
    // Nothing was queued or locked: only what the click set up goes back.
    runMode = previousRunMode;
    jobTimer.stop();
    ui->StopConvertePushButton->setEnabled(false);
    ui->PausePushButton->setEnabled(false);
    connectSelectionHandler();
    uiPollTimer.start(kPollNowMs);
}

void MainWindow::on_StopConvertePushButton_clicked()
{
    stopRun(ConversionRun::StopReason::User);
}

void MainWindow::on_PausePushButton_clicked()
{
    if (transcoderPid.isEmpty()) {
        listProcessesForPause();
        ui->PauseContinue->setVisible(true);
        ui->ConvertePushButton->setVisible(false);
        ui->PausePushButton->setEnabled(false);
        return;
    }
    // An identifier held from an earlier pause: let that transcoder go on.
    stopPauseListing();
    transcoderJob.resume(Platform::toolPath(kSuspenderName));
    if (!transcoderJob.isPaused())
        conversionRun.resume();
    transcoderPid.clear();
    runMode = 2;
}

void MainWindow::on_PauseContinue_clicked()
{
    if (transcoderPid.isEmpty()) {
        // Nothing was suspended: look for the transcoder again.
        listProcessesForPause();
        return;
    }
    stopPauseListing();
    transcoderJob.resume(Platform::toolPath(kSuspenderName));
    if (!transcoderJob.isPaused())
        conversionRun.resume();
    transcoderPid.clear();
    runMode = 2;
    ui->PauseContinue->setVisible(false);
    ui->ConvertePushButton->setVisible(true);
    ui->PausePushButton->setEnabled(true);
}
void MainWindow::on_editVideo_clicked()
{
    launchEditor(QStringLiteral("0"));
}

void MainWindow::on_editVideo_Trim_clicked()
{
    launchEditor(QStringLiteral("1"));
}

void MainWindow::on_editVideo_Effect_clicked()
{
    launchEditor(QStringLiteral("2"));
}

void MainWindow::launchEditor(const QString &mode)
{
    if (ui->StopButton->isEnabled())
        on_StopButton_clicked();

    const QModelIndex current = ui->treeWidget->currentIndex();
    if (!current.isValid() || !ui->treeWidget->topLevelItem(current.row()))
        return;
    editor->open(current.row(), mode);
    for (const QString &argument : editor->arguments())
        ui->textEdit->append(argument);
}

void MainWindow::connectEditorSession()
{
    editor->setRowFacts([this](const QTreeWidgetItem *row) { return editorRowFor(row); });
    connect(editor, &EditorSession::opening, this, [this] {
        setMainControlsEnabled(false);
        uiPollTimer.stop();
    });
    connect(editor, &EditorSession::controlsFreed, this, &MainWindow::giveControlsBackFromEditor);
    connect(editor, &EditorSession::logText, ui->textEdit, &QTextEdit::append);
    connect(editor, &EditorSession::failedToStart, this, [this](const QString &reason) {
        ui->textEdit->append(reason);
        showProblem(tr("The editor could not be started.\n%1").arg(reason));
    });
    connect(editor, &EditorSession::problem, this, &MainWindow::showProblem);
}

void MainWindow::giveControlsBackFromEditor()
{
    setMainControlsEnabled(true);
    ui->treeWidget->setFocus();
    // With the interval it last had.
    uiPollTimer.start();
}

void MainWindow::outputCommand()
{
    // Standard output carries nothing we read; it is taken so the pipe never fills.
    transcoderProcess.readAllStandardOutput();
    const QByteArray text = transcoderProcess.readAllStandardError();
    ui->textEdit->append(decodeToolText(text));
    if (runMode == 2)
        followJobOutput(text);
}

void MainWindow::slotTimer()
{
    jobTimer.stop();
    const TickDecision decision =
        conversionRun.tick(transcoderJob.isRunning() || jobStarting, runRows());
    showJobEnd(decision.vanishedJob);
    switch (decision.action) {
    case TickDecision::Action::Idle:
        return;
    case TickDecision::Action::Wait:
        // A job at work is left alone, whatever its bar shows: only its exit
        // tells how it went.
        ui->ConvertePushButton->setEnabled(false);
        jobTimer.start(kJobTickMs);
        return;
    case TickDecision::Action::Launch:
        launchJob(decision);
        return;
    case TickDecision::Action::Finish:
        finishRun(decision);
        return;
    }
}

void MainWindow::pauseCommand()
{
    pauseListing += pauseToolProcess.readAllStandardOutput();
    pauseToolProcess.readAllStandardError();
    // Only the transcoder this window started is ever suspended: the listing
    // confirms that it still runs under its name.
    const QString ours = QString::number(transcoderJob.processId());
    if (transcoderPid.isEmpty() && transcoderJob.processId() > 0
        && Suspender::findPids(decodeToolText(pauseListing), kTranscoderName).contains(ours))
        transcoderPid = ours;
    if (transcoderPid != ours || transcoderJob.isPaused())
        return;
    if (transcoderJob.pause(Platform::toolPath(kSuspenderName)))
        conversionRun.pause();
}

QVector<RunRow> MainWindow::runRows() const
{
    const QTreeWidget *list = ui->treeWidget;
    QVector<RunRow> rows;
    rows.reserve(list->topLevelItemCount());
    for (int index = 0; index < list->topLevelItemCount(); ++index) {
        const QTreeWidgetItem *item = list->topLevelItem(index);
        RunRow row;
        row.checked = item->checkState(FileRow::CheckColumn) == Qt::Checked;
        // A trimmed row is measured by what it will output.
        row.seconds = JobPreparation::outputSeconds(FileRow::arguments(item),
                                                    item->text(FileRow::SourceDurationColumn));
        rows << row;
    }
    return rows;
}

void MainWindow::launchJob(const TickDecision &decision)
{
    takeJobCounters(decision);
    StatusCell::showProgress(ui->treeWidget->topLevelItem(decision.row), decision.indeterminate);
    jobTimer.start(kJobTickMs);
    const QTreeWidgetItem *row = ui->treeWidget->topLevelItem(decision.row);
    checkJobFolder(decision.row, mayMakeUnasked(outputFolderOf(row)));
}

void MainWindow::takeJobCounters(const TickDecision &decision)
{
    const QVector<RunRow> rows = runRows();
    jobNumber = conversionRun.jobNumber();
    totalSeconds = int(conversionRun.totalSeconds());
    doneSeconds = int(conversionRun.doneSeconds());
    currentFileSeconds = int(qMax<qint64>(0, rows.value(decision.row).seconds));
}

void MainWindow::checkJobFolder(int row, bool mayMake)
{
    const QTreeWidgetItem *item = ui->treeWidget->topLevelItem(row);
    const QString folder = outputFolderOf(item);
    const ArgumentList arguments = FileRow::arguments(item);
    const QString source = Arguments::inputPath(arguments);
    const QString wanted = Arguments::outputPath(arguments);
    const QStringList listed = listedPathsBesides(item);
    const auto answer = std::make_shared<JobStartFacts>();
    const quint64 generation = runGeneration;
    jobStarting = true;
    folderWork.run(
        [answer, folder, mayMake, source, wanted, listed] {
            answer->state = OutputPaths::prepareFolder(folder, mayMake, &answer->problem);
            if (answer->state != OutputPaths::FolderState::Ready)
                return;
            // What this machine's ended jobs left there: a job that lost
            // its share could not take its part file along.
            PartFileName::sweep(folder);
            // A file may have come under the row's output name since the
            // name was chosen: the row takes the next free name rather than
            // replace it.
            answer->freeOutput = freeOutputPath(listed, source, wanted);
            answer->sourceNow = SourceStamp::of(source);
        },
        this,
        [this, answer, generation, row] {
            if (generation == runGeneration)
                jobFolderChecked(row, *answer);
        });
}

void MainWindow::jobFolderChecked(int row, const JobStartFacts &facts)
{
    const QTreeWidgetItem *item = ui->treeWidget->topLevelItem(row);
    if (!item || conversionRun.runningRow() != row) {
        jobStarting = false;
        return;
    }
    switch (facts.state) {
    case OutputPaths::FolderState::Ready: {
        // A changed source is probed again with the window at work: until
        // the transcoder runs, the tick must not take the job for ended.
        const quint64 generation = runGeneration;
        startJob(row, facts);
        if (generation == runGeneration)
            jobStarting = false;
        return;
    }
    case OutputPaths::FolderState::Missing: {
        const QString folder = outputFolderOf(item);
        const quint64 generation = runGeneration;
        if (!askToMakeFolderAgain(folder)) {
            jobStarting = false;
            if (generation == runGeneration)
                stopRun(ConversionRun::StopReason::User);
            return;
        }
        if (generation == runGeneration)
            checkJobFolder(row, true);
        return;
    }
    case OutputPaths::FolderState::Unusable:
        jobStarting = false;
        refuseJobFolder(facts.problem);
        return;
    }
}

void MainWindow::refuseJobFolder(const QString &problem)
{
    // Every later row would fail the same way: the run ends here, told once,
    // as a full disk ends it.
    ui->textEdit->append(problem);
    stopRun(ConversionRun::StopReason::DiskFull);
    showProblem(problem);
}

void MainWindow::startJob(int rowIndex, const JobStartFacts &facts)
{
    QTreeWidgetItem *row = ui->treeWidget->topLevelItem(rowIndex);
    const quint64 generation = runGeneration;
    const bool sourceChanged = reprobeChangedSource(row, facts.sourceNow);
    // A Stop while the source was probed again ends the job here.
    if (generation != runGeneration || conversionRun.runningRow() != rowIndex)
        return;
    // With every numbered name taken the row fails and keeps the name it had.
    const QString output = Arguments::outputPath(FileRow::arguments(row));
    if (!facts.freeOutput.isEmpty())
        setRowOutputPath(row, facts.freeOutput);

    const QString scriptProblem = restoreEditScript(row, sourceChanged);
    JobPreparation::LaunchPlan plan =
        JobPreparation::prepare(FileRow::arguments(row), FileRow::effects(row),
                                FileRow::mediaInfo(row).at(FileRow::DisplayRatio));
    if (plan.problem.isEmpty())
        plan.problem = scriptProblem;
    if (facts.freeOutput.isEmpty())
        plan.problem = noFreeNameText(output);
    // Without its profile the row's options are not what any profile gives:
    // the job would make a file the user never asked for.
    const SettingsIndexList indexes = FileRow::settingsIndexes(row);
    const QString unreadable = ProfileLoader::unreadableFile(
        Platform::installDir(), indexes.value(FileRow::DeviceIndex, QStringLiteral("-1")).toInt(),
        indexes.value(FileRow::ProfileIndex, QStringLiteral("-1")).toInt());
    if (!unreadable.isEmpty())
        plan.problem = ProfileLoader::unreadableMessage(unreadable);
    if (!plan.problem.isEmpty()) {
        ui->textEdit->append(plan.problem);
        JobEnd end = conversionRun.jobFailedToStart();
        end.reason = plan.problem;
        showJobEnd(end);
        jobTimer.start(0);
        return;
    }
    for (const QString &argument : plan.arguments)
        ui->textEdit->append(argument);
    transcoderJob.start(Platform::toolPath(kTranscoderName), plan.arguments);
}

void MainWindow::transcoderFinished(int exitCode, QProcess::ExitStatus status)
{
    showJobEnd(conversionRun.jobFinished(exitCode, status == QProcess::CrashExit));
    // A stopped job ends after its run: what it left is no output.
    settleJobPartFile(true);
    doneSeconds = int(conversionRun.doneSeconds());
    // The next job starts now rather than at the next tick.
    if (conversionRun.isActive())
        jobTimer.start(0);
}

void MainWindow::transcoderFailed(QProcess::ProcessError error)
{
    // A crash ends through finished(); a transcoder that never ran does not.
    if (error != QProcess::FailedToStart)
        return;
    JobEnd end = conversionRun.jobFailedToStart();
    if (end.row < 0)
        return;
    end.reason = transcoderProcess.errorString();
    ui->textEdit->append(end.reason);
    showJobEnd(end);
    jobTimer.start(0);
}

void MainWindow::showJobEnd(const JobEnd &end)
{
    if (end.row >= 0)
        settleJobPartFile(end.statusWord != FileRow::kStatusFinished);
    if (QTreeWidgetItem *row = ui->treeWidget->topLevelItem(end.row))
        StatusCell::showStatus(row, end.statusWord, end.picture, end.reason);
}

void MainWindow::settleJobPartFile(bool jobFailed)
{
    const QString stale = transcoderJob.takeStalePartFile(jobFailed);
    if (!stale.isEmpty())
        folderWork.run([stale] { QFile::remove(stale); });
}

void MainWindow::followJobOutput(const QByteArray &text)
{
    const ProgressUpdate update = conversionRun.feed(text);
    for (const QString &line : update.logLines)
        ui->textEdit->append(line);
    showRunProgress(update);
    if (!update.savedAs.isEmpty())
        followSavedOutput(update.row, update.savedAs);
    if (update.diskFull) {
        stopRun(ConversionRun::StopReason::DiskFull);
        maxDriverDialog notice;
        notice.exec();
    } else if (update.writeFailed) {
        checkOutputDriveInBackground();
    }
}

void MainWindow::followSavedOutput(int index, const QString &fileName)
{
    // A file came under the row's output name while it converted, and the
    // transcoder saved the output beside it: the row names what was written,
    // so that showing the folder and the next names go by it.
    QTreeWidgetItem *row = ui->treeWidget->topLevelItem(index);
    if (!row)
        return;
    const QString output = Arguments::outputPath(FileRow::arguments(row));
    setRowOutputPath(row, output.left(output.lastIndexOf(QLatin1Char('/')) + 1) + fileName);
}

void MainWindow::showRunProgress(const ProgressUpdate &update)
{
    if (update.row >= 0) {
        StatusCell::setProgress(StatusCell::progressBar(ui->treeWidget->topLevelItem(update.row)),
                                update.rowPercent);
    }
    if (update.totalPercent >= 0) {
        ui->progressAll->setRange(0, kPercentMax);
        ui->progressAll->setValue(update.totalPercent);
    } else if (update.row >= 0) {
        // Nothing in the run has a known length.
        ui->progressAll->setRange(0, 0);
    }
    ui->labelShowState->setText(update.totalLine);
}

void MainWindow::checkOutputDriveInBackground()
{
    // A write that failed for want of space stops the run like a full disk;
    // asking the drive may hang as long as its share does.
    const QTreeWidgetItem *row = ui->treeWidget->topLevelItem(conversionRun.runningRow());
    const QString output = row ? Arguments::outputPath(FileRow::arguments(row)) : QString();
    const QString folder = output.isEmpty() ? ui->PathLine->text() : QFileInfo(output).absolutePath();
    const auto free = std::make_shared<qint64>(-1);
    const quint64 generation = runGeneration;
    folderWork.run([free, folder] { *free = Platform::freeBytes(folder); }, this,
                   [this, free, generation] {
                       if (generation != runGeneration || !conversionRun.isActive() ||
                           *free < 0 || *free >= kDiskFullBytes)
                           return;
                       stopRun(ConversionRun::StopReason::DiskFull);
                       maxDriverDialog notice;
                       notice.exec();
                   });
}

void MainWindow::stopRun(ConversionRun::StopReason reason)
{
    runMode = 0;
    // A job start whose folder is still being looked at never starts.
    ++runGeneration;
    jobStarting = false;
    const JobEnd end = conversionRun.stop(reason);
    if (transcoderJob.isRunning()) {
        jobTimer.stop();
        uiPollTimer.start(kPollAfterStopMs);
        // Our own transcoder and its ffmpeg, paused or not; nothing else of
        // that name. Not waited for: a transcoder whose folder hangs would
        // hold the window; its end and its part file are seen to later.
        transcoderJob.requestStop();
    }
    showJobEnd(end);
    StatusCell::showSkippedAsBefore(ui->treeWidget, true);
    ui->labelShowState->setText(QString());

    ui->progressAll->setRange(0, kPercentMax);
    ui->progressAll->setValue(0);
    totalSeconds = 0;
    currentFileSeconds = 0;
    doneSeconds = 0;
    ui->StopConvertePushButton->setEnabled(false);
    ui->PausePushButton->setEnabled(false);
    if (!uiPollTimer.isActive())
        uiPollTimer.start(kPollNowMs);
    jobTimer.stop();
    ui->treeWidget->setAcceptDrops(true);
    setAcceptDrops(true);
    ui->AddFile->setEnabled(true);
    ui->browsePushButton->setEnabled(true);
    ui->PathLine->setEnabled(true);
    ui->PauseContinue->setVisible(false);
    ui->ConvertePushButton->setVisible(true);
    stopPauseListing();
    transcoderPid.clear();
    connectSelectionHandler();
}

void MainWindow::finishRun(const TickDecision &decision)
{
    // Only rows whose own job finished are done; a failed row stays checked
    // with its error picture.
    for (const int index : decision.rowsToUncheck) {
        if (QTreeWidgetItem *row = ui->treeWidget->topLevelItem(index))
            row->setCheckState(FileRow::CheckColumn, Qt::Unchecked);
    }
    StatusCell::showSkippedAsBefore(ui->treeWidget, false);
    ui->labelShowState->setText(QString());
    jobNumber = 0;
    totalSeconds = 0;
    currentFileSeconds = 0;
    doneSeconds = 0;
    runMode = 1;
    ui->StopConvertePushButton->setEnabled(false);
    ui->PauseContinue->setVisible(false);
    ui->PausePushButton->setEnabled(false);
    ui->ConvertePushButton->setVisible(true);
    ui->treeWidget->setAcceptDrops(true);
    setAcceptDrops(true);
    ui->AddFile->setEnabled(true);
    ui->browsePushButton->setEnabled(true);
    ui->PathLine->setEnabled(true);
    armShutdown();

    checkAllBox->setCheckState(Qt::Unchecked);
    resetFileTreeFlags();
    ui->ConvertePushButton->setEnabled(false);
    ui->progressAll->setRange(0, kPercentMax);
    ui->progressAll->setValue(0);
    jobTimer.stop();
    uiPollTimer.start(kPollNowMs);
    stopPauseListing();
    transcoderPid.clear();
    connectSelectionHandler();
}

void MainWindow::armShutdown()
{
    shutdownTimer.stop();
    if (SettingsFile::value(SettingsFile::kDown, 0).toInt() == kShutDownAfterRun) {
        // One connection however many runs end: one countdown.
        connect(&shutdownTimer, &QTimer::timeout, this, &MainWindow::shutTimer,
                Qt::UniqueConnection);
        shutdownTimer.start(kShutdownDelayMs);
    } else {
        disconnect(&shutdownTimer, &QTimer::timeout, this, &MainWindow::shutTimer);
    }
}

void MainWindow::listProcessesForPause()
{
    connect(&pauseToolProcess, &QProcess::readyReadStandardOutput, this,
            &MainWindow::pauseCommand, Qt::UniqueConnection);
    connect(&pauseToolProcess, &QProcess::readyReadStandardError, this,
            &MainWindow::pauseCommand, Qt::UniqueConnection);
    pauseListing.clear();
    // The listing's output runs pauseCommand during this wait.
    ProcessWait::run(pauseToolProcess, Platform::toolPath(kSuspenderName), QStringList(),
                     kToolTimeoutMs, ProcessWait::Waiting::Blocking);
}

void MainWindow::stopPauseListing()
{
    disconnect(&pauseToolProcess, &QProcess::readyReadStandardOutput, this,
               &MainWindow::pauseCommand);
    disconnect(&pauseToolProcess, &QProcess::readyReadStandardError, this,
               &MainWindow::pauseCommand);
    pauseListing.clear();
}
void MainWindow::output()
{
    editor->readAnswer();
}

EditorRow MainWindow::editorRowFor(const QTreeWidgetItem *row) const
{
    EditorRow job;
    job.arguments = FileRow::arguments(row);
    job.effects = FileRow::effects(row);
    const MediaInfo info = FileRow::mediaInfo(row);
    job.sourceSize = info.at(FileRow::InputSize);
    job.displayRatio = info.at(FileRow::DisplayRatio);
    job.trimDuration = info.at(FileRow::ExactDuration);
    job.sourceDurationText = row->text(FileRow::SourceDurationColumn);
    job.pluginPath = avsPluginPath;
    job.importPath = avsImportPath;
    job.headerPath = avsHeaderPath;
    // The row's own audio choices, as its first script took them.
    const SettingsIndexList indexes = FileRow::settingsIndexes(row);
    const auto rowChoice = [&](FileRow::OptionItems items, int entry, const QComboBox *box) {
        bool known = false;
        const int index = indexes.value(entry).toInt(&known);
        const QString text = known ? FileRow::optionItems(row, items).value(index) : QString();
        return text.isEmpty() ? box->currentText() : text;
    };
    job.channels = AvsScript::channelCount(
        rowChoice(FileRow::AChannelsItems, FileRow::AChannelsIndex, ui->AChannels));
    job.sampleRate = AvsScript::sampleRate(
        rowChoice(FileRow::ASamplerateItems, FileRow::ASamplerateIndex, ui->ASamplerate));
    return job;
}

QString MainWindow::restoreEditScript(const QTreeWidgetItem *row, bool sourceChanged) const
{
    const ArgumentList arguments = FileRow::arguments(row);
    const EffectList effects = FileRow::effects(row);
    const QString path = effects.value(FileRow::ScriptPathEntry);
    // The script lives in the program's own folder, where a look costs nothing.
    if (!JobPreparation::needsScript(arguments, effects) || path.isEmpty()
        || (!sourceChanged && QFileInfo::exists(path)))
        return QString();
    // Removed from outside (a cleaner, another session), or cut at a length
    // the source no longer has: the row still holds the whole edit, so the
    // script is written again as the edit wrote it.
    const bool withLogo =
        !row->data(FileRow::NameColumn, FileRow::WatermarkRole).toString().isEmpty()
        && QFileInfo(effects.value(FileRow::LogoPathEntry)).size() > 0;
    QString problem;
    const std::optional<QString> text =
        EditedScript::build(editedScriptInput(editorRowFor(row), withLogo), &problem);
    if (text && QDir().mkpath(QFileInfo(path).absolutePath())
        && EditedScript::write(path, *text, &problem))
        return QString();
    return tr("The file's edit script %1 is missing and could not be written again: %2")
        .arg(path, problem);
}
