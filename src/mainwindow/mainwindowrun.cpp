// MainWindow's conversion runs: the Convert, pause and stop buttons, what ConversionController
// tells of the run, and opening the editor tool. Leans on mainwindowlist.cpp for the rows'
// selection and the re-probe, mainwindowoptions.cpp for output paths.

#include "mainwindow.h"

#include "ui_mainwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>

#include "app/focushandover.h"
#include "app/version.h"
#include "conversion/avsscript.h"
#include "conversion/editoranswer.h"
#include "conversion/editorsession.h"
#include "filelist/addflow.h"
#include "filelist/tooltext.h"
#include "filelist/filerow.h"
#include "filelist/outputnaming.h"
#include "filelist/statuscell.h"
#include "mainwindow/foldergonequestion.h"
#include "mainwindow/maxdriverdialog.h"
#include "mainwindow/settingsfile.h"
#include "platform/platform.h"
#include "profiles/argumentlist.h"

namespace {

// Conversion runs.
constexpr int kPollNowMs = 100;
constexpr int kPollAfterStopMs = 500;
constexpr int kShutdownDelayMs = 500;
constexpr int kPercentMax = 100;
constexpr int kShutDownAfterRun = 1;
constexpr int kCheckToldAfterMs = 300;
// The editor's command line: "-fileNa", then the clip.
constexpr int kEditorFileArgument = 1;

} // namespace

void MainWindow::connectConversion()
{
    ConversionController::WindowHooks hooks;
    hooks.mayMakeUnasked = &SettingsFile::isInDefaultHome;
    hooks.reprobeChangedSource = [this](QTreeWidgetItem *row, const SourceStamp &now,
                                        const QByteArray &probeText) {
        return reprobeChangedSource(row, now, probeText);
    };
    hooks.freeOutputCheck = [this](const QTreeWidgetItem *row) {
        return naming->freeNameCheck(row);
    };
    hooks.editorRow = [this](const QTreeWidgetItem *row) { return editorRowFor(row); };
    hooks.setRowOutputPath = [this](QTreeWidgetItem *row, const QString &path) {
        setRowOutputPath(row, path);
    };
    ConversionController *run = &conversionController;
    run->attach(ui->treeWidget, std::move(hooks));
    connect(run, &ConversionController::checkingFolders, this, &MainWindow::showFolderCheck);
    connect(run, &ConversionController::outputFoldersReady, this, &MainWindow::beginRun);
    connect(run, &ConversionController::folderGone, this,
            [this](const QString &folder, const FolderGoneReply &reply) {
                reply.answer(FolderGoneQuestion::ask(this, folder));
            });
    connect(run, &ConversionController::problem, this, &MainWindow::showProblem);
    connect(&run->scripts(), &ScriptWriter::failed, this, &MainWindow::showProblem);
    connect(run, &ConversionController::logged, ui->textEdit, &QTextEdit::append);
    connect(run, &ConversionController::jobStarted, this, [this](int row, bool indeterminate) {
        StatusCell::showProgress(ui->treeWidget->topLevelItem(row), indeterminate);
    });
    connect(run, &ConversionController::jobAtWork, this,
            [this] { ui->ConvertePushButton->setEnabled(false); });
    connect(run, &ConversionController::jobEnded, this, &MainWindow::showJobEnd);
    connect(run, &ConversionController::stoppedJobFinished, this, [this](const JobEnd &end) {
        showJobEnd(end);
        if (QTreeWidgetItem *row = ui->treeWidget->topLevelItem(end.row))
            row->setCheckState(FileRow::CheckColumn, Qt::Unchecked);
    });
    connect(run, &ConversionController::progressed, this, &MainWindow::showRunProgress);
    connect(run, &ConversionController::runStopped, this, &MainWindow::showRunStopped);
    connect(run, &ConversionController::runFinished, this, &MainWindow::finishRun);
    connect(run, &ConversionController::pauseAnswered, this, &MainWindow::showPauseAnswer);
    connect(run, &ConversionController::diskFull, this, [this] {
        maxDriverDialog notice(this);
        notice.exec();
    });
}

ConversionController &MainWindow::conversion()
{
    return conversionController;
}

void MainWindow::on_ConvertePushButton_clicked()
{
    if (conversionController.isCheckingFolders() || convertWhenNamed)
        return;
    // Files being added become rows once probed: Convert follows the add.
    if (adder->isAdding()) {
        convertWhenNamed = connect(
            adder, &AddFlow::finished, this,
            [this] {
                disconnect(convertWhenNamed);
                convertWhenNamed = {};
                on_ConvertePushButton_clicked();
            },
            Qt::QueuedConnection);
        return;
    }
    // A Destination just given, or files just added, may still wait for
    // their folder to answer: the rows' outputs are known once it has.
    if (!naming->isSettled()) {
        showFolderCheck(true);
        convertWhenNamed = connect(naming, &OutputNaming::settled, this, [this] {
            disconnect(convertWhenNamed);
            convertWhenNamed = {};
            showFolderCheck(false);
            on_ConvertePushButton_clicked();
        });
        return;
    }
    QTreeWidget *list = ui->treeWidget;
    // A remembered folder may have gone since the rows were made: asked
    // about and made again, or the user hears once why nothing starts. It
    // is looked at away from this thread: a share that stops answering
    // holds the run's start, never the window.
    QStringList outputs;
    for (int index = 0; index < list->topLevelItemCount(); ++index) {
        const QTreeWidgetItem *item = list->topLevelItem(index);
        if (item->checkState(FileRow::CheckColumn) == Qt::Checked)
            outputs << Arguments::outputPath(FileRow::arguments(item));
    }
    conversionController.checkOutputFolders(outputs);
}

void MainWindow::beginRun()
{
    // Files being added or an editor opened while the folders were looked
    // at: those have the rows now, and the click is void.
    if (rowsLocked())
        return;
    QTreeWidget *list = ui->treeWidget;
    if (ui->StopButton->isEnabled())
        on_StopButton_clicked();
    // While the run lasts, picking a row must not load its options.
    disconnectSelectionHandler();
    ui->StopConvertePushButton->setEnabled(true);
    ui->PausePushButton->setEnabled(true);
    ui->progressAll->setValue(0);

    for (int index = 0; index < list->topLevelItemCount(); ++index) {
        QTreeWidgetItem *item = list->topLevelItem(index);
        if (item->checkState(FileRow::CheckColumn) != Qt::Checked)
            continue;
        StatusCell::showWaiting(item);
        setJobControlsEnabled(false);
        lockEditButtons();
        list->setAcceptDrops(false);
        setAcceptDrops(false);
        ui->AddFile->setEnabled(false);
        // The folder shown is where the run's rows go: it holds still.
        ui->browsePushButton->setEnabled(false);
        ui->PathLine->setEnabled(false);
    }

    uiPollTimer.stop();
    if (!conversionController.start(ui->PathLine->text()))
        rollBackRunStart();
}

void MainWindow::rollBackRunStart()
{
    // Nothing was queued or locked: only what the click set up goes back.
    ui->StopConvertePushButton->setEnabled(false);
    ui->PausePushButton->setEnabled(false);
    connectSelectionHandler();
    uiPollTimer.start(kPollNowMs);
}

void MainWindow::on_StopConvertePushButton_clicked()
{
    if (editor->isWaitingForClip()) {
        editor->giveUpOpening();
        return;
    }
    if (convertWhenNamed) {
        disconnect(convertWhenNamed);
        convertWhenNamed = {};
        showFolderCheck(false);
        return;
    }
    conversionController.stop(ConversionRun::StopReason::User);
}

void MainWindow::showFolderCheck(bool checking)
{
    // A run that has begun shows itself.
    if (conversionController.isActive())
        return;
    ui->StopConvertePushButton->setEnabled(checking);
    if (!checking) {
        ui->labelShowState->clear();
        return;
    }
    // A folder that answers at once is not worth a word.
    QTimer::singleShot(kCheckToldAfterMs, this, [this] {
        if (conversionController.isCheckingFolders() || convertWhenNamed)
            ui->labelShowState->setText(tr("Checking the output folder..."));
    });
}

void MainWindow::on_PausePushButton_clicked()
{
    // The buttons change once the suspender has answered (showPauseAnswer);
    // until then the job goes on as it was. The button stays as it is, with
    // the focus on it: a disabled one would pass the focus on along the
    // chain, to Stop. The controller takes one pause at a time.
    if (!conversionController.isPaused()) {
        conversionController.pause();
        return;
    }
    // A transcoder held from an earlier pause: let it go on.
    conversionController.resume();
}

void MainWindow::on_PauseContinue_clicked()
{
    if (!conversionController.isPaused()) {
        // Nothing was suspended: look for the transcoder again.
        conversionController.pause();
        return;
    }
    conversionController.resume();
}

void MainWindow::showPauseAnswer(bool held)
{
    // A stop may have come first: its look stands.
    if (!conversionController.isActive())
        return;
    ui->PauseContinue->setEnabled(true);
    ui->PausePushButton->setEnabled(true);
    if (held) {
        ui->PauseContinue->setVisible(true);
        FocusHandOver::pass(ui->PausePushButton, ui->PauseContinue);
    } else {
        FocusHandOver::pass(ui->PauseContinue, ui->PausePushButton);
        ui->PauseContinue->setVisible(false);
    }
    ui->ConvertePushButton->setVisible(!held);
    ui->PausePushButton->setEnabled(!held);
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
    connect(editor, &EditorSession::waitingForClip, this, [this](bool waiting) {
        // Stop gives the wait up, as it gives up a wait for the output folder.
        ui->StopConvertePushButton->setEnabled(waiting);
        if (!waiting) {
            ui->labelShowState->clear();
            return;
        }
        // A clip that answers at once is not worth a word.
        const QString clip = QFileInfo(editor->arguments().value(kEditorFileArgument)).fileName();
        QTimer::singleShot(kCheckToldAfterMs, this, [this, clip] {
            if (editor->isWaitingForClip())
                ui->labelShowState->setText(tr("Waiting for the drive of %1...").arg(clip));
        });
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
    conversionController.readTranscoderOutput();
}

void MainWindow::slotTimer()
{
    conversionController.tick();
}

void MainWindow::pauseCommand()
{
    conversionController.readPauseListing();
}

void MainWindow::showJobEnd(const JobEnd &end)
{
    if (QTreeWidgetItem *row = ui->treeWidget->topLevelItem(end.row))
        StatusCell::showStatus(row, end.statusWord, end.picture, end.reason);
}

void MainWindow::showRunProgress(const ProgressUpdate &update)
{
    if (update.row >= 0) {
        StatusCell::setProgress(ui->treeWidget->topLevelItem(update.row), update.rowPercent);
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

void MainWindow::showRunStopped(bool transcoderEnding)
{
    if (transcoderEnding)
        uiPollTimer.start(kPollAfterStopMs);
    // Rows still queued wait for the next Convert after a stop of the user's;
    // a run that a full or unusable drive ended shows them as they were.
    StatusCell::showSkippedAsBefore(ui->treeWidget, conversionController.run().stopReason() ==
                                                        ConversionRun::StopReason::User);
    restoreRunControls();
    if (!uiPollTimer.isActive())
        uiPollTimer.start(kPollNowMs);
    connectSelectionHandler();
}

void MainWindow::restoreRunControls()
{
    ui->labelShowState->setText(QString());
    ui->progressAll->setRange(0, kPercentMax);
    ui->progressAll->setValue(0);
    ui->StopConvertePushButton->setEnabled(false);
    ui->PausePushButton->setEnabled(false);
    ui->PauseContinue->setVisible(false);
    ui->ConvertePushButton->setVisible(true);
    ui->treeWidget->setAcceptDrops(true);
    setAcceptDrops(true);
    ui->AddFile->setEnabled(true);
    ui->browsePushButton->setEnabled(true);
    ui->PathLine->setEnabled(true);
}

void MainWindow::finishRun(const QList<int> &rowsToUncheck)
{
    // Only rows whose own job finished are done; a failed row stays checked
    // with its error picture.
    for (const int index : rowsToUncheck) {
        if (QTreeWidgetItem *row = ui->treeWidget->topLevelItem(index))
            row->setCheckState(FileRow::CheckColumn, Qt::Unchecked);
    }
    StatusCell::showSkippedAsBefore(ui->treeWidget, false);
    restoreRunControls();
    armShutdown();

    checkAllBox->setCheckState(Qt::Unchecked);
    resetFileTreeFlags();
    ui->ConvertePushButton->setEnabled(false);
    uiPollTimer.start(kPollNowMs);
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
