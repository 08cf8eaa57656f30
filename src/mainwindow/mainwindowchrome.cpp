// MainWindow's chrome: dragging, the system menu, preferences, updates, shutdown, the close path.
// Leans on mainwindowrun.cpp to stop a run and mainwindowoptions.cpp for the output folder.

#include "mainwindow.h"

#include "ui_mainwindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDate>
#include <QMessageBox>
#include <QMouseEvent>

#include "app/version.h"
#include "app/windowdrag.h"
#include "conversion/editorsession.h"
#include "mainwindow/exitdialog.h"
#include "mainwindow/ownfilesworker.h"
#include "mainwindow/preferencedialog.h"
#include "mainwindow/settingsfile.h"
#include "mainwindow/temppurge.h"
#include "mainwindow/updateschedule.h"
#include "platform/filecalls.h"
#include "platform/platform.h"
#include "player/previewplayer.h"
#include "profiles/argumentlist.h"

void MainWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        dragOrigin = event->position().toPoint();
        WindowDrag::begin(this, dragOrigin, WindowDrag::mainWindowDrags(dragOrigin, dragOrigin));
    }
}

void MainWindow::mouseMoveEvent(QMouseEvent *event)
{
    // Moves without a button come only from children that track the mouse;
    // they must not drag the window.
    if (event->buttons() == Qt::NoButton)
        return;
    if (WindowDrag::mainWindowDrags(dragOrigin, event->position().toPoint()))
        WindowDrag::follow(this, event->globalPosition().toPoint() - dragOrigin);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // A close from the desktop (Alt+F4, the task bar, the window manager's
    // own button) is the user's as much as the title strip's: it asks the
    // same question first. The program's own closes, after that question or
    // as the session ends, are never spontaneous.
    if (event->spontaneous()) {
        event->ignore();
        QMetaObject::invokeMethod(this, &MainWindow::on_closeAll_clicked, Qt::QueuedConnection);
        return;
    }
    // Off the screen at once: ending the preview's sound may take a second.
    hide();
    // A script written after the purge would stay behind.
    conversion().scripts().drop();
    purgeDirectory(Platform::tempDir());

    editorSession().close();

    if (playStopFlag == 0)
        playStopFlag = playEndFlag.load();

    if (ui->StopConvertePushButton->isEnabled())
        on_StopConvertePushButton_clicked();

    if (isPlayerRunning() || isPlayerOpen() || playStopFlag != 0) {
        previewPollTimer.stop();
        stopDelayTimer.stop();
        // Joins the player's threads; the close then ends the event loop as usual.
        shutdownPlayer();
    }
    event->accept();
}

bool MainWindow::purgeDirectory(const QString &path)
{
    // The folder lies in the home folder: the close goes on without waiting
    // for it, and the end of the program gives the purge a moment.
    OwnFilesWorker::instance().post([path] {
        // The folder itself goes too, but never a parent: those are not ours.
        if (TempPurge::emptyFolder(path))
            FileCalls::removeFolder(path);
    });
    return true;
}

void MainWindow::on_actionExit_X_triggered()
{
    // The key that elsewhere cuts text must never end a conversion and lose
    // the list unasked: it is the title strip's close button.
    on_closeAll_clicked();
}

void MainWindow::on_sysInfo_clicked()
{
    ui->sysInfo->showMenu();
}

void MainWindow::on_minimaziAll_clicked()
{
    showMinimized();
}

void MainWindow::on_closeAll_clicked()
{
    // A second close asked for while the question is open is the same one.
    if (findChild<exitDialog *>(QString(), Qt::FindDirectChildrenOnly))
        return;
    if (ui->treeWidget->topLevelItemCount() < 1) {
        close();
        return;
    }
    exitDialog question(this);
    if (question.exec() == QDialog::Accepted)
        close();
}

void MainWindow::on_openPushButton_clicked()
{
    Platform::openFolder(ui->PathLine->text());
}

void MainWindow::supportFun()
{
    Platform::openUrl(QLatin1String(kHomePageUrl));
}

void MainWindow::homepage()
{
    Platform::openUrl(QLatin1String(kHomePageUrl));
}

void MainWindow::aboutFun()
{
    aboutDialog.exec();
}

void MainWindow::openSnapshotFolder()
{
    Platform::openFolder(snapshots.folder());
}

void MainWindow::preferenceFun()
{
    const int action = SettingsFile::value(SettingsFile::kDown, 0).toInt();
    preferenceDialog dialog(this);
    dialog.setShutdownAction(action);
    dialog.setSnapshotFolder(snapshots.folder());
    dialog.setOutputFolder(ui->PathLine->text());
    dialog.setSnapFormat(snapshots.format());
    if (dialog.exec() != QDialog::Accepted)
        return;

    // The dialog's output folder counts as one given to Destination: the
    // same checks and message, every row follows it, and it is stored only
    // when it is taken.
    if (dialog.outputFolder() != ui->PathLine->text())
        applyOutputFolder(dialog.outputFolder());
    if (dialog.snapshotFolder() != snapshots.folder()) {
        snapshots.setFolder(dialog.snapshotFolder());
        SettingsFile::setValue(SettingsFile::kSnapshot, snapshots.folder());
    }
    const QList<QAction *> formats = fileFormatMenu->actions();
    const int format = dialog.snapFormat();
    if (format >= 0 && format < formats.size()) {
        formats.at(format)->activate(QAction::Trigger);
        SettingsFile::setValue(SettingsFile::kSnapshotFormat, format);
    }

    constexpr int kShutDown = 1;
    constexpr int kRunComplete = 100;
    if (dialog.shutdownAction() != kShutDown || ui->progressAll->value() != kRunComplete) {
        // Calls off a shutdown armed at the end of a run that has not begun yet.
        shutdownTimer.stop();
        disconnect(&shutdownTimer, &QTimer::timeout, this, &MainWindow::shutTimer);
    } else {
        // Armed, not started: the end of the next run starts it.
        connect(&shutdownTimer, &QTimer::timeout, this, &MainWindow::shutTimer,
                Qt::UniqueConnection);
    }
}

void MainWindow::checkupFun()
{
    // The hand-off folder lies in the home folder: made, and the tool
    // started after it, away from this thread.
    const QString handoff = Platform::handoffDir();
    const QString tool = Platform::toolPath(QStringLiteral("skelbrin"));
    const QStringList arguments = UpdateSchedule::toolArguments(handoff);
    const QString folder = Platform::installDir();
    OwnFilesWorker::instance().post([handoff, tool, arguments, folder] {
        FileCalls::makePath(handoff);
        QProcess::startDetached(tool, arguments, folder);
    });
}

void MainWindow::updateTimer()
{
    updateCheckTimer.stop();
    autoUpdateEnabled = SettingsFile::value(SettingsFile::kUpdateEnabled, true).toBool();
    if (autoUpdateEnabled) {
        const QDate today = QDate::currentDate();

        int cycle = SettingsFile::value(SettingsFile::kUpdateCycle, -1).toInt();
        if (cycle == -1) {
            cycle = UpdateSchedule::EveryDay;
            SettingsFile::setValue(SettingsFile::kUpdateCycle, cycle);
        }

        QDate lastCheck = UpdateSchedule::lastCheck(
            SettingsFile::value(SettingsFile::kLastCheckDate),
            SettingsFile::value(SettingsFile::kLastCheck), today);
        const auto recordCheck = [](QDate day) {
            SettingsFile::setValue(SettingsFile::kLastCheck, day.dayOfYear());
            SettingsFile::setValue(SettingsFile::kLastCheckDate, UpdateSchedule::dateText(day));
        };
        if (!lastCheck.isValid()) {
            lastCheck = today;
            recordCheck(today);
        }

        if (UpdateSchedule::isDue(cycle, lastCheck, today)) {
            recordCheck(today);
            checkupFun();
        }
    }
    updateDevicePicture(0);
}

void MainWindow::shutTimer()
{
    shutdownTimer.stop();
    openProgress countdown(this);
    countdown.startShutdownCountdown();
    const int answer = countdown.exec();
    disconnect(&shutdownTimer, &QTimer::timeout, this, &MainWindow::shutTimer);
    countdown.close();
    if (answer != QDialog::Accepted)
        return;

    QString problem;
    if (Platform::powerOff(&problem))
        return;
    auto *box = new QMessageBox(QMessageBox::Warning, QLatin1String(kProductName),
                                tr("The computer could not be switched off.\n%1").arg(problem),
                                QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

// These serve the old table widget and the move buttons, which stay hidden.
void MainWindow::on_MoveUpButton_clicked() {}
void MainWindow::on_MoveDownButton_clicked() {}
void MainWindow::on_tableWidget_currentCellChanged(int, int, int, int) {}
void MainWindow::on_tableWidget_customContextMenuRequested(const QPoint &) {}
void MainWindow::item_selectChanged() {}
void MainWindow::updateFileName(int, int) {}
