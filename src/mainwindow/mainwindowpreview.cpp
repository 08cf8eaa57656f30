// MainWindow's preview player and snapshots: play, pause, stop, steps, position poll, snapshots.
// Leans on mainwindowlist.cpp for the selection handler, mainwindowoptions.cpp for the current row.

#include "mainwindow.h"

#include "ui_mainwindow.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPainter>
#include <QTreeWidget>

#include "app/focushandover.h"
#include "app/version.h"
#include "conversion/timetext.h"
#include "filelist/filerow.h"
#include "filelist/folderpath.h"
#include "mainwindow/foldergonequestion.h"
#include "mainwindow/settingsfile.h"
#include "player/playercontroller.h"
#include "player/previewplayer.h"
#include "profiles/argumentlist.h"

namespace {

// The position poll runs as a re-armed single shot.
constexpr int kPlayPollMs = 300;
constexpr int kSteppedPollMs = 150;
// After the stop command's seek to the start, the player runs this long
// before NowStop pauses it; a paused player needs a little longer.
constexpr int kStopDelayPlayingMs = 70;
constexpr int kStopDelayPausedMs = 80;
// How long a stop may wait for a picture from the start to be shown, so
// that a busy machine still stops on the first picture.
constexpr int kStopSeekWaitMs = 20000;
constexpr int kStopSeekWaits = kStopSeekWaitMs / kStopDelayPlayingMs;
constexpr int kRepaintMs = 30;
// The preview area in the window's own coordinates, where MovieWidget lies.
const QRectF kPreviewBox(542, 139, 297, 237);
const QString kNoTimeText = QStringLiteral("00:00:00 / 00:00:00");
constexpr int kLastSliderPercent = 99;

void showPlayingLook(Ui::MainWindow *ui)
{
    FocusHandOver::replace(ui->PlayButton, ui->PauseButton);
    ui->StopButton->setEnabled(true);
    ui->captureButton->setEnabled(true);
}

void showPausedLook(Ui::MainWindow *ui)
{
    FocusHandOver::replace(ui->PauseButton, ui->PlayButton);
    FocusHandOver::pass(ui->StopButton, ui->PlayButton);
    ui->StopButton->setEnabled(false);
    ui->captureButton->setEnabled(false);
}

// Choosing another row leaves the open player on the old file (its sound
// closed) until Play: the slider must not move that one.
bool playerPlaysRow(const QTreeWidgetItem *row)
{
    const PlayerState *is = currentPlayerState;
    return is && row && is->display_name == Arguments::inputPath(FileRow::arguments(row));
}

bool rowHasPicture(const QTreeWidgetItem *row)
{
    return row && !FileRow::mediaInfo(row).value(FileRow::InputSize).isEmpty();
}

} // namespace

int MainWindow::playFile(const QString &file)
{
    // A press of Play asks for playback, whatever ended the last one: a
    // removal or a clean leaves the stop flag set, an end the end flag.
    playStopFlag = 0;
    playEndFlag = 0;
    // A stop's pending pause belongs to the file it stopped.
    stopDelayTimer.stop();
    // A snapshot the last file never served would otherwise get this file's
    // first picture.
    clearSnapshotRequests();
    return ::playFile(file, ui->MovieWidget->size());
}

void MainWindow::on_PlayButton_clicked()
{
    const QTreeWidgetItem *row = currentRowItem();
    ui->widgetTryMovie->setEnabled(true);
    showPlayingLook(ui);
    // A snapshot needs a picture: a file of sound alone has none.
    ui->captureButton->setEnabled(rowHasPicture(row));
    ui->MovieWidget->setVisible(true);
    if (!previewPollTimer.isActive())
        previewPollTimer.start(kPlayPollMs);

    if (!row)
        return;
    const QString file = Arguments::inputPath(FileRow::arguments(row));
    if (file.isEmpty())
        return;
    playFile(file);
}

void MainWindow::on_PauseButton_clicked()
{
    FocusHandOver::replace(ui->PauseButton, ui->PlayButton);
    previewPollTimer.stop();
    if (isPlayerRunning() && isPlayerOpen()) {
        // The button is offered only while the preview plays; other callers
        // (delete, the Advance button) must not wake a paused preview.
        if (!isPlayerPaused())
            togglePlayerPause(currentPlayerState);
        ui->StopButton->setEnabled(false);
        ui->captureButton->setEnabled(false);
    }
    previewPollTimer.start(kPlayPollMs);
}

void MainWindow::on_StopButton_clicked()
{
    ui->widgetTryMovie->setEnabled(false);
    previewStepped = false;
    connect(&stopDelayTimer, &QTimer::timeout, this, &MainWindow::NowStop, Qt::UniqueConnection);
    updatePlayTimeLabel(0.0);
    showPausedLook(ui);
    ui->MovieWidget->setVisible(false);
    if (!isPlayerRunning())
        return;

    int delay = kStopDelayPlayingMs;
    if (isPlayerPaused()) {
        togglePlayerPause(currentPlayerState);
        delay = kStopDelayPausedMs;
    }
    requestSeek(currentPlayerState, 0);
    stopSeekWaitsLeft = kStopSeekWaits;
    stopDelayTimer.start(delay);
}

void MainWindow::NowStop()
{
    stopDelayTimer.stop();
    // The end of the media may have been seen while this stop was on its way
    // (a long file reaches the slider's end at its very last moment): the
    // player then paused itself and its loop ended, so the picture from the
    // start would never be shown. The stop's seek makes that end stale.
    if (playEndFlag && stopSeekWaitsLeft-- > 0) {
        if (!PlayerController::instance()->isLoopRunning()) {
            playEndFlag = 0;
            if (PlayerState *is = currentPlayerState)
                is->paused = 0;
            resumePlayerRefreshes();
        }
        stopDelayTimer.start(kStopDelayPlayingMs);
        return;
    }
    // Until a picture from the start is on show, pausing would hold the old
    // picture and position.
    if (!isSeekShown() && stopSeekWaitsLeft-- > 0) {
        stopDelayTimer.start(kStopDelayPlayingMs);
        return;
    }
    ui->horizontalSlider->setValue(0);
    if (isPlayerOpen() && !isPlayerPaused())
        togglePlayerPause(currentPlayerState);
}

void MainWindow::on_NextButton_clicked()
{
    stepPreview(true);
}

void MainWindow::on_PreviousButton_clicked()
{
    stepPreview(false);
}

void MainWindow::stepPreview(bool forward)
{
    on_StopButton_clicked();
    previewStepped = true;

    QTreeWidget *list = ui->treeWidget;
    const int rows = list->topLevelItemCount();
    const QModelIndex from = list->currentIndex();
    const int target = forward ? qMin(from.row() + 1, rows - 1) : qMax(from.row() - 1, 0);

    ui->MovieWidget->setVisible(true);
    ui->widgetTryMovie->setEnabled(true);
    if (!ui->StopButton->isEnabled())
        showPlayingLook(ui);
    previewPollTimer.start(kSteppedPollMs);

    disconnectSelectionHandler();
    list->clearSelection();
    connectSelectionHandler();
    // Past either end the current row stays where it is: a window without a
    // current row would play a file that its label and snapshots do not know.
    QModelIndex to = forward ? list->indexBelow(from) : list->indexAbove(from);
    if (!to.isValid())
        to = list->model()->index(target, 0);
    list->setCurrentIndex(to);
    QTreeWidgetItem *item = list->topLevelItem(target);
    if (!item)
        return;
    item->setSelected(true);
    // The selection handler has taken the new row; it does not play it.
    on_PlayButton_clicked();
}

void MainWindow::on_horizontalSlider_sliderPressed()
{
    if (!isPlayerRunning() || !playerPlaysRow(currentRowItem()))
        return;
    previewPollTimer.stop();
    if (wasPausedLatch == -1)
        wasPausedLatch = isPlayerPaused() ? 1 : 0;
    if (!isPlayerPaused())
        togglePlayerPause(currentPlayerState);
}

void MainWindow::on_horizontalSlider_sliderMoved(int position)
{
    if (!isPlayerRunning() || !playerPlaysRow(currentRowItem()))
        return;
    seekToSliderValue(position);
    // A drag that began on a paused preview lets it run once, so that the
    // new position is decoded and shown.
    if (wasPausedLatch != 0 && seekLatch == 0) {
        togglePlayerPause(currentPlayerState);
        seekLatch = 1;
    }
}

void MainWindow::on_horizontalSlider_sliderReleased()
{
    if (!isPlayerRunning() || !playerPlaysRow(currentRowItem()))
        return;
    previewPollTimer.start(kPlayPollMs);
    togglePlayerPause(currentPlayerState);
    seekLatch = 0;
    wasPausedLatch = -1;
}

void MainWindow::scanTimer()
{
    previewPollTimer.stop();
    if (!isPlayerRunning()) {
        previewPollTimer.start(kPlayPollMs);
        return;
    }

    const PreviewPosition position = previewPosition();
    if (position.valid && !playEndFlag && ui->horizontalSlider->isEnabled()
        && ui->StopButton->isEnabled()) {
        ui->horizontalSlider->setValue(position.percent);
        updatePlayTimeLabel(position.seconds);
    }

    // The end is taken once the player's loop has seen it and ended (it does
    // so at its next refresh); taken earlier, the loop would run on unaware.
    if (playEndFlag && !previewStepped && !PlayerController::instance()->isLoopRunning()) {
        playEndFlag = 0;
        // The player paused itself at the end; the stop command wants it
        // running so that it can send it back to the start.
        if (PlayerState *is = currentPlayerState)
            is->paused = 0;
        // The loop ended with the media; the stop must see its seek to the
        // start shown, or the last picture would stay under a 0 position.
        resumePlayerRefreshes();
        ui->horizontalSlider->setValue(0);
        on_StopButton_clicked();
    }

    if (ui->horizontalSlider->value() > kLastSliderPercent) {
        on_StopButton_clicked();
        return;
    }
    previewPollTimer.start(kPlayPollMs);
}

void MainWindow::updatePlayTimeLabel(double position)
{
    const QTreeWidget *list = ui->treeWidget;
    const int current = list->currentIndex().row();
    if (current < 0) {
        ui->labelTime->setText(kNoTimeText);
        return;
    }
    const QTreeWidgetItem *row = list->topLevelItem(current);
    if (!row)
        return;
    const int duration = FileRow::mediaInfo(row).value(FileRow::DurationSeconds).toInt();
    // A bare stream tells no length: its time runs on without one.
    const int shown = duration > 0 ? qMin(int(position), duration) : qMax(0, int(position));
    ui->labelTime->setText(formatDuration(shown) + QStringLiteral(" / ")
                           + formatDuration(duration));
}

void MainWindow::on_volumeHSlider_valueChanged(int value)
{
    playVolume = value;
}

void MainWindow::on_MuteButton_clicked()
{
    FocusHandOver::replace(ui->MuteButton, ui->unMuteButton);
    ui->volumeHSlider->setEnabled(false);
    playVolume = 0;
}

void MainWindow::on_unMuteButton_clicked()
{
    FocusHandOver::replace(ui->unMuteButton, ui->MuteButton);
    ui->volumeHSlider->setEnabled(true);
    playVolume = ui->volumeHSlider->value();
}

void MainWindow::on_setCaptureButton_pressed()
{
    if (isPlayerOpen() && !isPlayerPaused()) {
        on_PauseButton_clicked();
        ui->setCaptureButton->showMenu();
        on_PlayButton_clicked();
        return;
    }
    ui->setCaptureButton->showMenu();
}

void MainWindow::paintEvent(QPaintEvent *event)
{
    QMainWindow::paintEvent(event);
    connect(&repaintTimer, &QTimer::timeout, this, &MainWindow::upImage, Qt::UniqueConnection);
    if (!repaintTimer.isActive())
        repaintTimer.start(kRepaintMs);
    QPainter painter(this);
    paintPreview(painter, kPreviewBox);
}

void MainWindow::upImage()
{
    repaintTimer.stop();
    update(kPreviewBox.toAlignedRect());
}

void MainWindow::showPlayerMessage(const QString &text)
{
    // Modal for the user, yet the player's refreshes go on behind it.
    auto *box = new QMessageBox(QMessageBox::Warning, QLatin1String(kProductName), text,
                                QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    box->show();
}

void MainWindow::setSnapshotFolder()
{
    const QString chosen = QFileDialog::getExistingDirectory(
        this, tr("Open Directory"), snapshots.folder(),
        QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (chosen.isEmpty())
        return;
    snapshots.setFolder(FolderPath::withTrailingSeparator(QDir::toNativeSeparators(chosen)));
    SettingsFile::setValue(SettingsFile::kSnapshot, snapshots.folder());
}

void MainWindow::on_captureButton_clicked()
{
    if (!currentRowItem())
        return;
    // The folder may have gone since it was chosen (a share not mounted
    // now), or hang: it is looked at away from this thread, and one the user
    // chose is asked about before it is made again. The video thread saves
    // the next picture it converts; requests queue up, and names promised to
    // waiting requests are not handed out twice.
    const QString folder = snapshots.folder();
    snapshotCapture.capture(folder, snapshots.suffix(), SettingsFile::isInDefaultHome(folder));
}

void MainWindow::connectSnapshotCapture()
{
    connect(&snapshotCapture, &SnapshotCapture::folderGone, this,
            [this](const QString &folder, const QString &suffix) {
                if (FolderGoneQuestion::ask(this, folder))
                    snapshotCapture.capture(folder, suffix, true);
            });
    connect(&snapshotCapture, &SnapshotCapture::problem, this, &MainWindow::showProblem);
    connect(&snapshotCapture, &SnapshotCapture::requested, this, [this] {
        const QImage frame = previewFrame.image();
        if (!frame.isNull()) {
            ui->textEdit->append(QString::number(frame.sizeInBytes()));
            ui->textEdit->append(captureSaved ? QStringLiteral("true") : QStringLiteral("false"));
        }
    });
}

void MainWindow::settiff()
{
    snapshots.setFormat(SnapshotChoices::Tiff);
}

void MainWindow::setbmp()
{
    snapshots.setFormat(SnapshotChoices::Bmp);
}

void MainWindow::setpng()
{
    snapshots.setFormat(SnapshotChoices::Png);
}

void MainWindow::setjpgH()
{
    snapshots.setFormat(SnapshotChoices::JpegHigh);
    snapshotQuality = snapshots.quality();
}

void MainWindow::setjpgS()
{
    snapshots.setFormat(SnapshotChoices::JpegStandard);
    snapshotQuality = snapshots.quality();
}

void MainWindow::setjpgL()
{
    snapshots.setFormat(SnapshotChoices::JpegLow);
    snapshotQuality = snapshots.quality();
}
