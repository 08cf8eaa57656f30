#include "mainwindow/jobcontrols.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>

#include "app/focushandover.h"
#include "conversion/avsscript.h"
#include "conversion/editorsession.h"
#include "filelist/addflow.h"
#include "filelist/filerow.h"
#include "filelist/outputnaming.h"
#include "filelist/probeparser.h"
#include "filelist/statuscell.h"
#include "filelist/tooltext.h"
#include "mainwindow/foldergonequestion.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/maxdriverdialog.h"
#include "mainwindow/settingsfile.h"
#include "profiles/argumentlist.h"
#include "ui_mainwindow.h"

namespace {

constexpr int kPollNowMs = 100;
constexpr double kBytesPerMegabyte = 1048576.0;
constexpr int kPollAfterStopMs = 500;
constexpr int kShutdownDelayMs = 500;
constexpr int kPercentMax = 100;
constexpr int kShutDownAfterRun = 1;
constexpr int kCheckToldAfterMs = 300;
// The editor's command line: "-fileNa", then the clip.
constexpr int kEditorFileArgument = 1;

} // namespace

JobControls::JobControls(MainWindow &window, QTimer &listPoll, QTimer &shutdownTimer,
                         WindowHooks hooks)
    : QObject(&window)
    , window(window)
    , ui(window.form())
    , listPoll(listPoll)
    , shutdownTimer(shutdownTimer)
    , hooks(std::move(hooks))
    , editor(new EditorSession(ui->treeWidget, &controller.scripts(), this))
{
    connectEditorSession();
    connectConversion();
}

void JobControls::connectConversion()
{
    ConversionController::WindowHooks run = hooks.run;
    run.mayMakeUnasked = &SettingsFile::isInDefaultHome;
    run.reprobeChangedSource = [this](QTreeWidgetItem *row, const SourceStamp &now,
                                      const QByteArray &probeText) {
        return reprobeChangedSource(row, now, probeText);
    };
    run.editorRow = [this](const QTreeWidgetItem *row) { return editorRowFor(row); };
    controller.attach(ui->treeWidget, std::move(run));
    connect(&controller, &ConversionController::checkingFolders, this,
            &JobControls::showFolderCheck);
    connect(&controller, &ConversionController::outputFoldersReady, this, &JobControls::beginRun);
    // The questions and notices are the window's own, asked of the user
    // over it.
    connect(&controller, &ConversionController::folderGone, &window,
            [this](const QString &folder, const FolderGoneReply &reply) {
                reply.answer(FolderGoneQuestion::ask(&window, folder));
            });
    connect(&controller, &ConversionController::problem, this,
            [this](const QString &text) { hooks.problem(text); });
    connect(&controller.scripts(), &ScriptWriter::failed, this,
            [this](const QString &text) { hooks.problem(text); });
    connect(&controller, &ConversionController::logged, ui->textEdit, &QTextEdit::append);
    connect(&controller, &ConversionController::jobStarted, this,
            [this](int row, bool indeterminate) {
                StatusCell::showProgress(ui->treeWidget->topLevelItem(row), indeterminate);
            });
    connect(&controller, &ConversionController::jobAtWork, this,
            [this] { ui->ConvertePushButton->setEnabled(false); });
    connect(&controller, &ConversionController::jobEnded, this, &JobControls::showJobEnd);
    connect(&controller, &ConversionController::stoppedJobFinished, this,
            [this](const JobEnd &end) {
                showJobEnd(end);
                if (QTreeWidgetItem *row = ui->treeWidget->topLevelItem(end.row))
                    row->setCheckState(FileRow::CheckColumn, Qt::Unchecked);
            });
    connect(&controller, &ConversionController::progressed, this,
            &JobControls::showRunProgress);
    connect(&controller, &ConversionController::runStopped, this, &JobControls::showRunStopped);
    connect(&controller, &ConversionController::runFinished, this, &JobControls::finishRun);
    connect(&controller, &ConversionController::pauseAnswered, this,
            &JobControls::showPauseAnswer);
    connect(&controller, &ConversionController::diskFull, &window, [this] {
        maxDriverDialog notice(&window);
        notice.exec();
    });
}

void JobControls::convert()
{
    if (controller.isCheckingFolders() || convertWhenNamed)
        return;
    AddFlow *adder = &window.addFlow();
    OutputNaming *naming = &window.outputNaming();
    // Files being added become rows once probed: Convert follows the add.
    if (adder->isAdding()) {
        convertWhenNamed = connect(
            adder, &AddFlow::finished, this,
            [this] {
                disconnect(convertWhenNamed);
                convertWhenNamed = {};
                convert();
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
            convert();
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
    controller.checkOutputFolders(outputs);
}

void JobControls::beginRun()
{
    // Files being added or an editor opened while the folders were looked
    // at: those have the rows now, and the click is void.
    if (hooks.rowsLocked())
        return;
    QTreeWidget *list = ui->treeWidget;
    if (ui->StopButton->isEnabled())
        window.on_StopButton_clicked();
    // While the run lasts, picking a row must not load its options.
    hooks.followSelection(false);
    ui->StopConvertePushButton->setEnabled(true);
    ui->PausePushButton->setEnabled(true);
    ui->progressAll->setValue(0);

    for (int index = 0; index < list->topLevelItemCount(); ++index) {
        QTreeWidgetItem *item = list->topLevelItem(index);
        if (item->checkState(FileRow::CheckColumn) != Qt::Checked)
            continue;
        StatusCell::showWaiting(item);
        window.setJobControlsEnabled(false);
        window.lockEditButtons();
        list->setAcceptDrops(false);
        window.setAcceptDrops(false);
        ui->AddFile->setEnabled(false);
        // The folder shown is where the run's rows go: it holds still.
        ui->browsePushButton->setEnabled(false);
        ui->PathLine->setEnabled(false);
    }

    listPoll.stop();
    if (!controller.start(ui->PathLine->text()))
        rollBackRunStart();
}

void JobControls::rollBackRunStart()
{
    // Nothing was queued or locked: only what the click set up goes back.
    ui->StopConvertePushButton->setEnabled(false);
    ui->PausePushButton->setEnabled(false);
    hooks.followSelection(true);
    listPoll.start(kPollNowMs);
}

void JobControls::stopRun()
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
    controller.stop(ConversionRun::StopReason::User);
}

void JobControls::showFolderCheck(bool checking)
{
    // A run that has begun shows itself.
    if (controller.isActive())
        return;
    ui->StopConvertePushButton->setEnabled(checking);
    if (!checking) {
        ui->labelShowState->clear();
        return;
    }
    // A folder that answers at once is not worth a word.
    QTimer::singleShot(kCheckToldAfterMs, this, [this] {
        if (controller.isCheckingFolders() || convertWhenNamed)
            ui->labelShowState->setText(MainWindow::tr("Checking the output folder..."));
    });
}

void JobControls::pauseOrContinue()
{
    // The buttons change once the suspender has answered (showPauseAnswer);
    // until then the job goes on as it was. The button stays as it is, with
    // the focus on it: a disabled one would pass the focus on along the
    // chain, to Stop. The controller takes one pause at a time.
    if (!controller.isPaused()) {
        // Nothing was suspended: look for the transcoder.
        controller.pause();
        return;
    }
    // A transcoder held from an earlier pause: let it go on.
    controller.resume();
}

void JobControls::showPauseAnswer(bool held)
{
    // A stop may have come first: its look stands.
    if (!controller.isActive())
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

void JobControls::edit(const QString &mode)
{
    if (ui->StopButton->isEnabled())
        window.on_StopButton_clicked();

    const QModelIndex current = ui->treeWidget->currentIndex();
    if (!current.isValid() || !ui->treeWidget->topLevelItem(current.row()))
        return;
    editor->open(current.row(), mode);
    for (const QString &argument : editor->arguments())
        ui->textEdit->append(argument);
}

void JobControls::connectEditorSession()
{
    editor->setRowFacts([this](const QTreeWidgetItem *row) { return editorRowFor(row); });
    connect(editor, &EditorSession::opening, this, [this] {
        window.setMainControlsEnabled(false);
        listPoll.stop();
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
                ui->labelShowState->setText(
                    MainWindow::tr("Waiting for the drive of %1...").arg(clip));
        });
    });
    connect(editor, &EditorSession::controlsFreed, this,
            &JobControls::giveControlsBackFromEditor);
    connect(editor, &EditorSession::logText, ui->textEdit, &QTextEdit::append);
    connect(editor, &EditorSession::failedToStart, this, [this](const QString &reason) {
        ui->textEdit->append(reason);
        hooks.problem(MainWindow::tr("The editor could not be started.\n%1").arg(reason));
    });
    connect(editor, &EditorSession::problem, this,
            [this](const QString &text) { hooks.problem(text); });
}

void JobControls::giveControlsBackFromEditor()
{
    window.setMainControlsEnabled(true);
    ui->treeWidget->setFocus();
    // With the interval it last had.
    listPoll.start();
}

void JobControls::showJobEnd(const JobEnd &end)
{
    if (QTreeWidgetItem *row = ui->treeWidget->topLevelItem(end.row))
        StatusCell::showStatus(row, end.statusWord, end.picture, end.reason);
}

void JobControls::showRunProgress(const ProgressUpdate &update)
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

void JobControls::showRunStopped(bool transcoderEnding)
{
    if (transcoderEnding)
        listPoll.start(kPollAfterStopMs);
    // Rows still queued wait for the next Convert after a stop of the user's;
    // a run that a full or unusable drive ended shows them as they were.
    StatusCell::showSkippedAsBefore(ui->treeWidget, controller.run().stopReason() ==
                                                        ConversionRun::StopReason::User);
    restoreRunControls();
    if (!listPoll.isActive())
        listPoll.start(kPollNowMs);
    hooks.followSelection(true);
}

void JobControls::restoreRunControls()
{
    ui->labelShowState->setText(QString());
    ui->progressAll->setRange(0, kPercentMax);
    ui->progressAll->setValue(0);
    ui->StopConvertePushButton->setEnabled(false);
    ui->PausePushButton->setEnabled(false);
    ui->PauseContinue->setVisible(false);
    ui->ConvertePushButton->setVisible(true);
    ui->treeWidget->setAcceptDrops(true);
    window.setAcceptDrops(true);
    ui->AddFile->setEnabled(true);
    ui->browsePushButton->setEnabled(true);
    ui->PathLine->setEnabled(true);
}

void JobControls::finishRun(const QList<int> &rowsToUncheck)
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

    hooks.showRowsUnchecked();
    window.resetFileTreeFlags();
    ui->ConvertePushButton->setEnabled(false);
    listPoll.start(kPollNowMs);
    hooks.followSelection(true);
}

void JobControls::armShutdown()
{
    shutdownTimer.stop();
    if (SettingsFile::value(SettingsFile::kDown, 0).toInt() == kShutDownAfterRun) {
        // One connection however many runs end: one countdown.
        connect(&shutdownTimer, &QTimer::timeout, &window, &MainWindow::shutTimer,
                Qt::UniqueConnection);
        shutdownTimer.start(kShutdownDelayMs);
    } else {
        disconnect(&shutdownTimer, &QTimer::timeout, &window, &MainWindow::shutTimer);
    }
}

bool JobControls::reprobeChangedSource(QTreeWidgetItem *row, const SourceStamp &now,
                                       const QByteArray &probeText)
{
    if (!row)
        return false;
    const QString text = decodeToolText(probeText);
    ui->textEdit->append(text);
    const ProbeResult result = ProbeParser::parse(text);
    // Unreadable now: the row keeps what it knew, and the job says why.
    if (!result.isMedia())
        return false;
    showReprobedSource(row, result, now.size);
    FileRow::setSourceStamp(row, now);
    return true;
}

void JobControls::showReprobedSource(QTreeWidgetItem *row, const ProbeResult &result, qint64 bytes)
{
    // A trimmed row's output keeps its trim's length.
    const ArgumentList arguments = FileRow::arguments(row);
    if (row->text(FileRow::OutputDurationColumn) == row->text(FileRow::SourceDurationColumn)
        && Arguments::value(arguments, Arguments::kTrimLength).toInt() <= 0)
        row->setText(FileRow::OutputDurationColumn, result.probedDuration);
    row->setText(FileRow::SourceDurationColumn, result.probedDuration);

    MediaInfo info = FileRow::mediaInfo(row);
    info[FileRow::InputFileMB] =
        bytes > 0 ? QString::number(double(bytes) / kBytesPerMegabyte, 'f', 3) : QString();
    info[FileRow::InputBitrate] = result.probedBitrate;
    info[FileRow::DurationSeconds] = result.probedSeconds;
    info[FileRow::ExactDuration] = result.probedSecondsExact;
    const QString size = FileRow::updateSizeEstimate(info);
    if (!size.isEmpty())
        row->setText(FileRow::SizeColumn, size);
    FileRow::setMediaInfo(row, info);
}

EditorRow JobControls::editorRowFor(const QTreeWidgetItem *row) const
{
    EditorRow job;
    job.arguments = FileRow::arguments(row);
    job.effects = FileRow::effects(row);
    const MediaInfo info = FileRow::mediaInfo(row);
    job.sourceSize = info.at(FileRow::InputSize);
    job.displayRatio = info.at(FileRow::DisplayRatio);
    job.trimDuration = info.at(FileRow::ExactDuration);
    job.sourceDurationText = row->text(FileRow::SourceDurationColumn);
    job.pluginPath = window.avsPluginPath;
    job.importPath = window.avsImportPath;
    job.headerPath = window.avsHeaderPath;
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
