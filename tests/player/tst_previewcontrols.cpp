#include <chrono>
#include <thread>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSlider>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

#include "app/version.h"
#include "filelist/filerow.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/settingsfile.h"
#include "platform/platform.h"
#include "player/playerthreads.h"
#include "profiles/argumentlist.h"
#include "playertestutil.h"
#include "testfsmount.h"
#include "ui_mainwindow.h"

using namespace PlayerTest;

namespace {

const QRect kPreviewRect(542, 139, 297, 237);

// Answers every modal dialog and message box while it lives, so that no
// test hangs on one, and keeps the texts of the message boxes.
class ModalAnswerer : public QObject {
public:
    ModalAnswerer() {
        connect(&poll, &QTimer::timeout, this, [this] { answer(); });
        poll.start(20);
    }

    QStringList messages;

private:
    void answer() {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            messages << box->text();
            box->close();
            return;
        }
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
    }

    QTimer poll;
};

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

// The preview's controls and snapshot commands on the real main window, over
// rows that the add flow makes from the generated clips.
class tst_PreviewControls : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void previewAreaPaintsTheFrameLetterboxed();
    void playShowsPicturesAndTime_data();
    void playShowsPicturesAndTime();
    void bareStreamTimeRuns();
    void soundOnlyFileShowsSpectrum_data();
    void soundOnlyFileShowsSpectrum();
    void pauseThenPlayStartsAgain();
    void sliderDragSeeksToHalf();
    void stopResetsTheWindow();
    void sliderActsOnTheRowOnShow();
    void playAfterRemovalOrCleanPlays();
    void nextAndPreviousPlayTheNeighbour();
    void prevNextButtonsAtTheEnds();
    void muteAndVolume();
    void spaceKeepsTheFileOnShow();
    void playToTheEndStopsTheWindow();
    void endSeenDuringStopRestsAtTheStart();
    void snapshotsInEveryFormat();
    void secondSnapshotIsNotLost();
    void snapshotNeedsACurrentRow();
    void snapshotFolderFromTheDialog();
    void snapshotFolderThatIsGone();
    void snapshotNeverWaitsOnTheFolder();
    void aPlayerHeldByTheShareEndsWhenLeft();
    void snapshotMenuPausesAndPlaysAgain();
    void noSoundDevicePlaysSilentlyAfterOneMessage();
    void unplayableFileIsReportedOnce_data();
    void unplayableFileIsReportedOnce();
    void closeWhilePlayingShutsThePlayerDown();

private:
    Ui::MainWindow *ui() { return window->form(); }
    QTreeWidget *list() { return ui()->treeWidget; }
    QTreeWidgetItem *row(int index) { return list()->topLevelItem(index); }
    void add(const QStringList &names);
    void play(int index);
    // The camera is offered for a file with a picture only.
    bool showsPlayingLook(bool withPicture = true);
    bool showsStoppedLook();
    QTimer *timer(const char *name) {
        return window->findChild<QTimer *>(QLatin1String(name), Qt::FindDirectChildrenOnly);
    }
    // The format list of the snapshot menu, in its order.
    QList<QAction *> snapshotFormats();

    MainWindow *window = nullptr;
    QTemporaryDir *snapshots = nullptr;
};

void tst_PreviewControls::initTestCase() {
    QVERIFY(QFile::exists(mediaPath(QStringLiteral("av.mp4"))));
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QLatin1String(kOrganizationName));
    QCoreApplication::setApplicationName(QLatin1String(kProductName));
    const QString stage = qEnvironmentVariable("QUILLORA_STAGE_DIR");
    Platform::setInstallDir(stage);
    QDir::setCurrent(stage);
}

void tst_PreviewControls::init() {
    SettingsFile::flush();
    QFile::remove(Platform::settingsFile());
    snapshots = new QTemporaryDir;
    window = new MainWindow;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    window->snapshotChoices().setFolder(snapshots->path());
}

void tst_PreviewControls::cleanup() {
    delete window;
    window = nullptr;
    // The window leaves the player to the close path; a test window that is
    // only deleted closes it here.
    closePlayer();
    QCOMPARE(livePlayerThreads(), 0);
    clearSnapshotRequests();
    previewFrame.clear();
    delete snapshots;
    snapshots = nullptr;
}

void tst_PreviewControls::add(const QStringList &names) {
    ModalAnswerer answerer;
    QStringList paths;
    for (const QString &name : names)
        paths << mediaPath(name);
    window->addPickedFiles(paths);
    QCOMPARE(list()->topLevelItemCount(), names.size());
    QVERIFY2(answerer.messages.isEmpty(), qPrintable(answerer.messages.join('\n')));
}

void tst_PreviewControls::play(int index) {
    list()->setCurrentItem(row(index));
    // The interface poll hands the controls to the checked rows.
    QTRY_VERIFY_WITH_TIMEOUT(ui()->PlayButton->isEnabled(), kEventTimeoutMs);
    QTest::mouseClick(ui()->PlayButton, Qt::LeftButton);
    QVERIFY(isPlayerOpen());
}

bool tst_PreviewControls::showsPlayingLook(bool withPicture) {
    return !ui()->PlayButton->isVisible() && ui()->PauseButton->isVisible() &&
           ui()->StopButton->isEnabled() && ui()->captureButton->isEnabled() == withPicture &&
           ui()->MovieWidget->isVisible() && ui()->widgetTryMovie->isEnabled();
}

QList<QAction *> tst_PreviewControls::snapshotFormats() {
    for (QAction *entry : ui()->setCaptureButton->menu()->actions()) {
        if (QMenu *formats = entry->menu())
            return formats->actions();
    }
    return {};
}

bool tst_PreviewControls::showsStoppedLook() {
    return ui()->PlayButton->isVisible() && !ui()->PauseButton->isVisible() &&
           !ui()->StopButton->isEnabled() && !ui()->captureButton->isEnabled() &&
           !ui()->MovieWidget->isVisible() && !ui()->widgetTryMovie->isEnabled();
}

void tst_PreviewControls::previewAreaPaintsTheFrameLetterboxed() {
    // The box the window paints is where the preview widget lies.
    QCOMPARE(QRect(ui()->MovieWidget->mapTo(window, QPoint(0, 0)), ui()->MovieWidget->size()),
             kPreviewRect);

    // A 640x360 frame is 297 wide and 167.06 high, from y 174 on.
    QImage frame(640, 360, QImage::Format_RGB32);
    frame.fill(Qt::red);
    previewFrame.setImage(frame);
    QTRY_VERIFY_WITH_TIMEOUT(repaintArmed == 1, kEventTimeoutMs);
    const QImage shot = window->grab(kPreviewRect).toImage();
    QCOMPARE(shot.size(), kPreviewRect.size());
    QCOMPARE(shot.pixelColor(148, 20), QColor(Qt::black));
    QCOMPARE(shot.pixelColor(148, 118), QColor(Qt::red));
    QCOMPARE(shot.pixelColor(5, 40), QColor(Qt::red));
    QCOMPARE(shot.pixelColor(148, 230), QColor(Qt::black));

    // The window repaints the preview about every 30 ms by itself, with no
    // preview open.
    QCOMPARE(timer("repaintTimer")->interval(), 30);
    PaintCounter counter;
    window->installEventFilter(&counter);
    QTRY_VERIFY_WITH_TIMEOUT(counter.paints >= 5, kEventTimeoutMs);
    window->removeEventFilter(&counter);
}

void tst_PreviewControls::playShowsPicturesAndTime_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("video and sound") << "av.mp4";
    QTest::newRow("picture only") << "video-only.mp4";
    QTest::newRow("5.1 sound") << "surround.mp4";
    QTest::newRow("odd size") << "odd.avi";
    // Starts at 5 s: the label counts from the stream's own start.
    QTest::newRow("start offset") << "offset.ts";
    QTest::newRow("subtitles") << "subtitled.mkv";
    QTest::newRow("non-Latin name") << "日本語 ファイル.mp4";
    QTest::newRow("quote in name") << "quote\"double.mp4";
}

void tst_PreviewControls::playShowsPicturesAndTime() {
    QFETCH(QString, file);
    add({file});
    play(0);
    QVERIFY(showsPlayingLook());
    QVERIFY(timer("previewPollTimer")->isActive());
    QVERIFY(waitForPicture());
    // Every clip lasts two seconds.
    QTRY_COMPARE_WITH_TIMEOUT(ui()->labelTime->text(), QStringLiteral("00:00:01 / 00:00:02"),
                              kEventTimeoutMs);
    QVERIFY(ui()->horizontalSlider->value() >= 50);
    // The window paints what the player shows.
    QVERIFY(showsSomething(window->grab(kPreviewRect).toImage()));
    QVERIFY(!QFile::exists(QStringLiteral("acd.bmp")));
}

void tst_PreviewControls::bareStreamTimeRuns() {
    // A bare H.264 stream tells no length.
    add({QStringLiteral("raw.h264")});
    play(0);
    QVERIFY(waitForPicture());
    QTRY_COMPARE_WITH_TIMEOUT(ui()->labelTime->text(), QStringLiteral("00:00:01 / 00:00:00"),
                              kEventTimeoutMs);
}

void tst_PreviewControls::soundOnlyFileShowsSpectrum_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("mp3") << "audio.mp3";
    QTest::newRow("mono wav") << "audio.wav";
}

void tst_PreviewControls::soundOnlyFileShowsSpectrum() {
    QFETCH(QString, file);
    add({file});
    play(0);
    QVERIFY(showsPlayingLook(false));
    QTRY_VERIFY_WITH_TIMEOUT(currentPlayerState.load()->audio_display_mode == kAudioDisplaySpectrum,
                             kEventTimeoutMs);
    QVERIFY(waitForPicture());
    QCOMPARE(previewFrame.image().size(), QSize(297, 237));
    QTRY_COMPARE_WITH_TIMEOUT(ui()->labelTime->text(), QStringLiteral("00:00:01 / 00:00:02"),
                              kEventTimeoutMs);
}

void tst_PreviewControls::pauseThenPlayStartsAgain() {
    add({QStringLiteral("long.mp4")});
    play(0);
    QVERIFY(waitForPosition(1.5));

    QTest::mouseClick(ui()->PauseButton, Qt::LeftButton);
    QVERIFY(isPlayerPaused());
    QVERIFY(ui()->PlayButton->isVisible());
    QVERIFY(!ui()->PauseButton->isVisible());
    QVERIFY(!ui()->StopButton->isEnabled());
    QVERIFY(!ui()->captureButton->isEnabled());
    QVERIFY(ui()->MovieWidget->isVisible());
    const double heldAt = playPosition;
    runFor(600);
    QVERIFY(qAbs(playPosition - heldAt) < 0.1);
    // The poll goes on while paused, and a second pause keeps it paused.
    QVERIFY(timer("previewPollTimer")->isActive());
    window->on_PauseButton_clicked();
    QVERIFY(isPlayerPaused());

    // Play opens the file again from its beginning.
    QTest::mouseClick(ui()->PlayButton, Qt::LeftButton);
    QVERIFY(showsPlayingLook());
    QVERIFY(!isPlayerPaused());
    QTRY_VERIFY_WITH_TIMEOUT(playPosition > 0.2, kEventTimeoutMs);
    QVERIFY(playPosition < heldAt);
    QVERIFY(waitForPosition(heldAt + 0.3));
}

void tst_PreviewControls::sliderDragSeeksToHalf() {
    add({QStringLiteral("seekable.mp4")});
    play(0);
    QVERIFY(waitForPosition(0.5));

    // A drag of a playing preview pauses it at the press and plays on at the
    // release.
    QSlider *slider = ui()->horizontalSlider;
    QSignalSpy pressed(slider, &QSlider::sliderPressed);
    slider->setSliderDown(true);
    QCOMPARE(pressed.count(), 1);
    QVERIFY(isPlayerPaused());
    slider->setSliderPosition(50);
    slider->setSliderDown(false);
    QVERIFY(!isPlayerPaused());
    QCOMPARE(seekLatch.load(), 0);
    QCOMPARE(wasPausedLatch.load(), -1);

    QTRY_VERIFY_WITH_TIMEOUT(playPosition >= 5.5, kEventTimeoutMs);
    QVERIFY(playPosition < 8.0);
    QTRY_VERIFY_WITH_TIMEOUT(ui()->horizontalSlider->value() >= 45, kEventTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(ui()->labelTime->text() == QStringLiteral("00:00:06 / 00:00:12") ||
                                 ui()->labelTime->text() == QStringLiteral("00:00:07 / 00:00:12"),
                             kEventTimeoutMs);

    // On a paused preview a drag runs it while it moves and pauses it again.
    QTest::mouseClick(ui()->PauseButton, Qt::LeftButton);
    QVERIFY(isPlayerPaused());
    slider->setSliderDown(true);
    QVERIFY(isPlayerPaused());
    slider->setSliderPosition(20);
    QVERIFY(!isPlayerPaused());
    // A hand's drag lasts a moment: the new position is shown meanwhile.
    QTRY_VERIFY_WITH_TIMEOUT(qAbs(playPosition - 2.4) < 1.0, kEventTimeoutMs);
    slider->setSliderDown(false);
    QVERIFY(isPlayerPaused());
    const double heldAt = playPosition;
    runFor(500);
    QVERIFY(qAbs(playPosition - heldAt) < 0.1);
}

void tst_PreviewControls::stopResetsTheWindow() {
    add({QStringLiteral("long.mp4")});
    play(0);
    QVERIFY(waitForPosition(2.0));
    QTRY_VERIFY_WITH_TIMEOUT(ui()->horizontalSlider->value() > 0, kEventTimeoutMs);

    window->on_StopButton_clicked();
    QVERIFY(showsStoppedLook());
    QCOMPARE(ui()->labelTime->text(), QStringLiteral("00:00:00 / 00:00:12"));
    // On a busy machine the stop delay may run out once the seek has been
    // taken, before a picture from the start is on show (no event is handled
    // while this waits).
    PlayerState *is = currentPlayerState;
    QVERIFY(waitWithoutEvents([is] { return !is->seek_pending; }));
    window->NowStop();
    // Back to the start, then paused there.
    QTRY_VERIFY_WITH_TIMEOUT(isPlayerPaused(), kEventTimeoutMs);
    QCOMPARE(ui()->horizontalSlider->value(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(playPosition < 0.5, kEventTimeoutMs);
    QVERIFY(is->shown_pts < 0.5);
    runFor(400);
    QVERIFY(isPlayerPaused());
    QCOMPARE(ui()->labelTime->text(), QStringLiteral("00:00:00 / 00:00:12"));

    // Stopping a paused preview ends the same way.
    play(0);
    QVERIFY(waitForPosition(1.0));
    QTest::mouseClick(ui()->PauseButton, Qt::LeftButton);
    window->on_StopButton_clicked();
    QVERIFY(!isPlayerPaused());
    QVERIFY(timer("stopDelayTimer")->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(isPlayerPaused(), kEventTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(playPosition < 0.5, kEventTimeoutMs);
    QVERIFY(showsStoppedLook());
}

void tst_PreviewControls::sliderActsOnTheRowOnShow() {
    add({QStringLiteral("long.mp4"), QStringLiteral("av.mp4")});
    play(0);
    QVERIFY(waitForPosition(0.5));
    // Choosing another row stops the preview; its player stays on the old
    // file until Play.
    list()->setCurrentItem(row(1));
    QTRY_VERIFY_WITH_TIMEOUT(isPlayerPaused(), kEventTimeoutMs);
    // Its pictures are not shown under the new name.
    QVERIFY(previewFrame.isNull());
    runFor(300);
    QVERIFY(previewFrame.isNull());

    QSlider *slider = ui()->horizontalSlider;
    slider->setSliderDown(true);
    slider->setSliderPosition(50);
    QVERIFY(isPlayerPaused());
    slider->setSliderDown(false);
    QVERIFY(isPlayerPaused());
    QCOMPARE(ui()->labelTime->text(), QStringLiteral("00:00:00 / 00:00:02"));
}

void tst_PreviewControls::playAfterRemovalOrCleanPlays() {
    add({QStringLiteral("av.mp4"), QStringLiteral("long.mp4"), QStringLiteral("audio.mp3")});
    play(1);
    QVERIFY(waitForPosition(0.5));

    // Removing a row ends its player; Play on the row that is current now
    // plays that one.
    window->on_DelFile_clicked();
    QCOMPARE(list()->topLevelItemCount(), 2);
    QVERIFY(!isPlayerOpen());
    QVERIFY(list()->currentIndex().isValid());
    // The row now current is shown chosen, and the preview is its own.
    QCOMPARE(list()->selectedItems(), QList<QTreeWidgetItem *>{list()->currentItem()});
    QCOMPARE(ui()->labelFileName->text(), QStringLiteral("av.mp4"));
    QCOMPARE(ui()->labelTime->text(), QStringLiteral("00:00:00 / 00:00:02"));
    QVERIFY(previewFrame.isNull());
    window->on_PlayButton_clicked();
    QCOMPARE(currentPlayerState.load()->display_name, mediaPath(QStringLiteral("av.mp4")));
    QVERIFY(showsPlayingLook());
    QVERIFY(waitForPicture());
    QTRY_VERIFY_WITH_TIMEOUT(ui()->labelTime->text().startsWith(QStringLiteral("00:00:01")),
                             kEventTimeoutMs);

    // The same after the end flag that a clean leaves behind.
    playEndFlag = 1;
    window->on_PlayButton_clicked();
    QVERIFY(waitForPicture());
    QTRY_VERIFY_WITH_TIMEOUT(ui()->labelTime->text().startsWith(QStringLiteral("00:00:01")),
                             kEventTimeoutMs);

    // A clean leaves no picture behind.
    window->on_CleanFile_clicked();
    QVERIFY(previewFrame.isNull());
    runFor(300);
    QVERIFY(previewFrame.isNull());
}

void tst_PreviewControls::nextAndPreviousPlayTheNeighbour() {
    add({QStringLiteral("av.mp4"), QStringLiteral("audio.mp3"), QStringLiteral("odd.avi")});
    play(0);
    QVERIFY(waitForPicture());

    QTRY_VERIFY_WITH_TIMEOUT(ui()->NextButton->isEnabled(), kEventTimeoutMs);
    QTest::mouseClick(ui()->NextButton, Qt::LeftButton);
    QCOMPARE(list()->currentIndex().row(), 1);
    QCOMPARE(list()->selectedItems(), QList<QTreeWidgetItem *>({row(1)}));
    QVERIFY(showsPlayingLook(false));
    QVERIFY(isPlayerOpen());
    QCOMPARE(currentPlayerState.load()->display_name, mediaPath(QStringLiteral("audio.mp3")));
    QTRY_VERIFY_WITH_TIMEOUT(currentPlayerState.load()->audio_display_mode == kAudioDisplaySpectrum,
                             kEventTimeoutMs);
    QCOMPARE(ui()->labelFileName->text(), QStringLiteral("audio.mp3"));

    QTest::mouseClick(ui()->NextButton, Qt::LeftButton);
    QCOMPARE(list()->currentIndex().row(), 2);
    QCOMPARE(currentPlayerState.load()->display_name, mediaPath(QStringLiteral("odd.avi")));
    QVERIFY(waitForPosition(0.3));

    // Past the last row the last row plays again and stays current.
    window->on_NextButton_clicked();
    QCOMPARE(list()->currentIndex().row(), 2);
    QCOMPARE(list()->selectedItems(), QList<QTreeWidgetItem *>({row(2)}));
    QVERIFY(showsPlayingLook());
    QVERIFY(isPlayerOpen());

    QTRY_VERIFY_WITH_TIMEOUT(ui()->PreviousButton->isEnabled(), kEventTimeoutMs);
    QTest::mouseClick(ui()->PreviousButton, Qt::LeftButton);
    QCOMPARE(list()->currentIndex().row(), 1);
    QTest::mouseClick(ui()->PreviousButton, Qt::LeftButton);
    QCOMPARE(list()->currentIndex().row(), 0);
    QCOMPARE(currentPlayerState.load()->display_name, mediaPath(QStringLiteral("av.mp4")));
    previewFrame.clear();
    QVERIFY(waitForPicture());
    window->on_PreviousButton_clicked();
    QCOMPARE(list()->currentIndex().row(), 0);
    QVERIFY(showsPlayingLook());
}

void tst_PreviewControls::prevNextButtonsAtTheEnds() {
    // An empty list offers no Next, whatever was on before the poll.
    ui()->NextButton->setEnabled(true);
    window->checkTimer();
    QVERIFY(!ui()->NextButton->isEnabled());

    add({QStringLiteral("av.mp4"), QStringLiteral("audio.wav")});
    list()->setCurrentItem(row(0));
    // The interface poll enables the job controls, then takes back what
    // cannot move. A poll that ran before the row was current left both
    // enabled: wait for the one that follows.
    QTRY_VERIFY_WITH_TIMEOUT(ui()->NextButton->isEnabled() && !ui()->PreviousButton->isEnabled(),
                             kEventTimeoutMs);
    list()->setCurrentItem(row(1));
    QTRY_VERIFY_WITH_TIMEOUT(ui()->PreviousButton->isEnabled(), kEventTimeoutMs);
    QVERIFY(!ui()->NextButton->isEnabled());
}

void tst_PreviewControls::muteAndVolume() {
    QSlider *volume = ui()->volumeHSlider;
    QCOMPARE(volume->value(), 128);
    volume->setValue(70);
    QCOMPARE(playVolume.load(), 70);

    QTest::mouseClick(ui()->MuteButton, Qt::LeftButton);
    QCOMPARE(playVolume.load(), 0);
    QVERIFY(!ui()->MuteButton->isVisible());
    QVERIFY(ui()->unMuteButton->isVisible());
    QVERIFY(!volume->isEnabled());
    QCOMPARE(volume->value(), 70);

    QTest::mouseClick(ui()->unMuteButton, Qt::LeftButton);
    QCOMPARE(playVolume.load(), 70);
    QVERIFY(ui()->MuteButton->isVisible());
    QVERIFY(!ui()->unMuteButton->isVisible());
    QVERIFY(volume->isEnabled());
    volume->setValue(128);
    QCOMPARE(playVolume.load(), 128);
}

// Space pressed again and again where the focus is: Play and Pause take
// turns (as Mute and Unmute do), Stop leaves the focus on Play, and the
// file on show never changes.
void tst_PreviewControls::spaceKeepsTheFileOnShow() {
    add({QStringLiteral("long.mp4"), QStringLiteral("av.mp4"), QStringLiteral("audio.mp3")});
    list()->setCurrentItem(row(1));
    QTRY_VERIFY_WITH_TIMEOUT(ui()->PlayButton->isEnabled(), kEventTimeoutMs);
    ui()->PlayButton->setFocus(Qt::TabFocusReason);
    for (int press = 0; press < 4; ++press) {
        QTest::keyClick(window->focusWidget(), Qt::Key_Space);
        QCOMPARE(window->focusWidget(), press % 2 == 0 ? ui()->PauseButton : ui()->PlayButton);
        QCOMPARE(list()->currentIndex().row(), 1);
    }
    QTest::keyClick(window->focusWidget(), Qt::Key_Space);
    QTest::keyClick(ui()->StopButton, Qt::Key_Space);
    QCOMPARE(window->focusWidget(), ui()->PlayButton);
    QCOMPARE(currentPlayerState.load()->display_name, mediaPath(QStringLiteral("av.mp4")));

    ui()->MuteButton->setFocus(Qt::TabFocusReason);
    QTest::keyClick(ui()->MuteButton, Qt::Key_Space);
    QCOMPARE(window->focusWidget(), ui()->unMuteButton);
    QTest::keyClick(ui()->unMuteButton, Qt::Key_Space);
    QCOMPARE(window->focusWidget(), ui()->MuteButton);
    QCOMPARE(playVolume.load(), 128);
}

void tst_PreviewControls::playToTheEndStopsTheWindow() {
    // A fresh window: nothing has stepped its preview, so its poll takes the end.
    add({QStringLiteral("av.mp4")});
    // The end flag lives until the window's next poll, which takes it only
    // once the player's loop has ended on it: look at it as the loop ends.
    // A timer that watched for it lost to the poll on a busy machine.
    bool endSeen = false;
    QObject watch;
    connect(PlayerController::instance(), &PlayerController::loopEnded, &watch,
            [&] { endSeen = endSeen || playEndFlag == 1; });
    QSignalSpy loopEnded(PlayerController::instance(), &PlayerController::loopEnded);
    play(0);
    QVERIFY(waitForPicture());

    QTRY_VERIFY_WITH_TIMEOUT(showsStoppedLook(), kEventTimeoutMs);
    QVERIFY(endSeen);
    QTRY_COMPARE_WITH_TIMEOUT(loopEnded.count(), 1, kEventTimeoutMs);
    QCOMPARE(playEndFlag.load(), 0);
    QCOMPARE(ui()->labelTime->text(), QStringLiteral("00:00:00 / 00:00:02"));
    QTRY_VERIFY_WITH_TIMEOUT(isPlayerPaused(), kEventTimeoutMs);
    QCOMPARE(ui()->horizontalSlider->value(), 0);
    // The picture on show is one from the beginning, as after Stop.
    QVERIFY(currentPlayerState.load()->shown_pts < 0.5);

    // And it plays again from the button.
    QTest::mouseClick(ui()->PlayButton, Qt::LeftButton);
    previewFrame.clear();
    QVERIFY(waitForPicture());
    QTRY_COMPARE_WITH_TIMEOUT(ui()->labelTime->text(), QStringLiteral("00:00:01 / 00:00:02"),
                              kEventTimeoutMs);
}

void tst_PreviewControls::endSeenDuringStopRestsAtTheStart() {
    add({QStringLiteral("av.mp4")});
    play(0);
    QVERIFY(waitForPicture());
    // The poll's own stop at the slider's end leaves the poll off; the end of
    // the media then comes while that stop is on its way.
    timer("previewPollTimer")->stop();
    QTRY_VERIFY_WITH_TIMEOUT(playEndFlag == 1 && !PlayerController::instance()->isLoopRunning(),
                             kEventTimeoutMs);
    window->on_StopButton_clicked();
    QTRY_VERIFY_WITH_TIMEOUT(!timer("stopDelayTimer")->isActive(), kEventTimeoutMs);
    QVERIFY(isPlayerPaused());
    QVERIFY(currentPlayerState.load()->shown_pts < 0.5);
    QVERIFY(pictureIsCurrent(currentPlayerState));
}

void tst_PreviewControls::snapshotsInEveryFormat() {
    add({QStringLiteral("long.mp4")});
    play(0);
    QVERIFY(waitForPicture());

    QTemporaryDir scratch;
    const QList<QAction *> formats = snapshotFormats();
    QCOMPARE(formats.size(), 6);
    QVERIFY(formats.at(1)->isChecked());
    QCOMPARE(snapshotQuality.load(), -1);

    struct Expected {
        QString name;
        QByteArray format;
        int quality;
    };
    const QList<Expected> expected = {
        {QStringLiteral("pic0.tiff"), "tiff", -1}, {QStringLiteral("pic0.bmp"), "bmp", -1},
        {QStringLiteral("pic0.png"), "png", -1},   {QStringLiteral("pic0.jpg"), "jpeg", 100},
        {QStringLiteral("pic1.jpg"), "jpeg", 90},  {QStringLiteral("pic2.jpg"), "jpeg", 60},
    };
    for (int index = 0; index < formats.size(); ++index) {
        formats.at(index)->trigger();
        QCOMPARE(window->snapshotChoices().format(), index);
        if (expected.at(index).quality != -1)
            QCOMPARE(snapshotQuality.load(), expected.at(index).quality);
        QTest::mouseClick(ui()->captureButton, Qt::LeftButton);
        const QString path = QDir(snapshots->path()).filePath(expected.at(index).name);
        QTRY_COMPARE_WITH_TIMEOUT(capturePath(), path, kEventTimeoutMs);
        QVERIFY(waitForSnapshotsSaved(scratch.path()));
        QVERIFY2(QFile::exists(path), qPrintable(path));
        QImageReader reader(path);
        QCOMPARE(reader.format(), expected.at(index).format);
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(image.size(), QSize(320, 240));
        QVERIFY(showsSomething(image));
    }
    // The lower the quality, the smaller the file.
    const QDir folder(snapshots->path());
    QVERIFY(QFileInfo(folder.filePath("pic0.jpg")).size() >
            QFileInfo(folder.filePath("pic2.jpg")).size());
    // The log view hears of each capture made while a picture shows.
    QVERIFY(ui()->textEdit->toPlainText().contains(QStringLiteral("true")));

    // "JPG(Low Quality)" then "PNG" keeps 60, which PNG does not use.
    formats.at(2)->trigger();
    QCOMPARE(snapshotQuality.load(), 60);
    QCOMPARE(window->snapshotChoices().suffix(), QStringLiteral(".png"));
}

void tst_PreviewControls::secondSnapshotIsNotLost() {
    add({QStringLiteral("long.mp4")});
    play(0);
    QVERIFY(waitForPicture());
    snapshotFormats().at(2)->trigger();
    window->on_captureButton_clicked();
    window->on_captureButton_clicked();
    window->on_captureButton_clicked();
    const QDir folder(snapshots->path());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(folder.filePath("pic2.png")), kEventTimeoutMs);
    QVERIFY(QFile::exists(folder.filePath("pic0.png")));
    QVERIFY(QFile::exists(folder.filePath("pic1.png")));
    QCOMPARE(folder.entryList(QDir::Files).size(), 3);
}

void tst_PreviewControls::snapshotNeedsACurrentRow() {
    window->on_captureButton_clicked();
    QCOMPARE(pendingSnapshotCount(), 0);
    QCOMPARE(captureRequested.load(), 0);
}

void tst_PreviewControls::snapshotFolderFromTheDialog() {
    QTemporaryDir chosen;
    const QString folder = chosen.path() + QStringLiteral("/with space");
    QVERIFY(QDir().mkpath(folder));

    // Cancelled: nothing changes.
    const QString before = window->snapshotChoices().folder();
    QTimer::singleShot(100, this, [] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget()))
            dialog->reject();
    });
    window->setSnapshotFolder();
    QCOMPARE(window->snapshotChoices().folder(), before);
    QVERIFY(!SettingsFile::contains(SettingsFile::kSnapshot));

    QTimer::singleShot(100, this, [folder] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->setDirectory(folder);
        static_cast<QDialog *>(dialog)->accept();
    });
    window->setSnapshotFolder();
    QCOMPARE(window->snapshotChoices().folder(), folder + QLatin1Char('/'));
    QCOMPARE(SettingsFile::value(SettingsFile::kSnapshot).toString(), folder + QLatin1Char('/'));

    // The snapshot lands in it, with no doubled separator.
    add({QStringLiteral("av.mp4")});
    play(0);
    QVERIFY(waitForPicture());
    window->on_captureButton_clicked();
    QTRY_COMPARE_WITH_TIMEOUT(capturePath(), folder + QStringLiteral("/pic0.bmp"), kEventTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(folder + QStringLiteral("/pic0.bmp")), kEventTimeoutMs);
}

void tst_PreviewControls::snapshotFolderThatIsGone() {
    add({QStringLiteral("long.mp4")});
    play(0);
    QVERIFY(waitForPicture());
    const QDir base(snapshots->path());
    window->snapshotChoices().setFolder(base.filePath(QStringLiteral("gone/deeper")));
    // A chosen folder that has gone (a share not mounted) is asked about:
    // first kept gone, then made again.
    for (const QString &button : {QStringLiteral("Stop"), QStringLiteral("Make It Again")}) {
        QTimer poll;
        bool answered = false;
        QObject::connect(&poll, &QTimer::timeout, &poll, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            for (QAbstractButton *choice : box ? box->buttons() : QList<QAbstractButton *>()) {
                if (choice->text() == button) {
                    answered = true;
                    choice->click();
                }
            }
        });
        poll.start(20);
        window->on_captureButton_clicked();
        QTRY_VERIFY_WITH_TIMEOUT(answered, kEventTimeoutMs);
        if (button == QStringLiteral("Stop")) {
            QCOMPARE(pendingSnapshotCount(), 0);
            QVERIFY(!base.exists(QStringLiteral("gone")));
        }
    }
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(base.filePath(QStringLiteral("gone/deeper/pic0.bmp"))),
                             kEventTimeoutMs);

    // A file stands where the folder would be made: the user is told.
    QFile blocker(base.filePath(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    window->snapshotChoices().setFolder(base.filePath(QStringLiteral("blocker/shots")));
    window->on_captureButton_clicked();
    QMessageBox *box = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((box = window->findChild<QMessageBox *>()) && box->isVisible(),
                             kEventTimeoutMs);
    QCOMPARE(pendingSnapshotCount(), 0);
    QVERIFY2(box->text().contains(QStringLiteral("blocker/shots")), qPrintable(box->text()));
    box->close();
}

// The snapshot folder is on a share that does not answer: the camera gives
// the window back at once, and the picture is saved once the share answers.
void tst_PreviewControls::snapshotNeverWaitsOnTheFolder() {
    QTemporaryDir dir;
    TestFsMount share(dir.path(), {}, TestFsMount::WithGate);
    if (!share.isMounted())
        QSKIP(qPrintable(share.whyNot()));
    add({QStringLiteral("long.mp4")});
    play(0);
    QVERIFY(waitForPicture());
    window->snapshotChoices().setFolder(share.path());
    share.closeGate();
    // A window that waits for the share gets it back after a while.
    constexpr int kShareHangsMs = 3000;
    const TestFsMount::LateOpener answerLater(share, kShareHangsMs);
    QElapsedTimer clock;
    clock.start();
    window->on_captureButton_clicked();
    constexpr int kAtOnceMs = 2000;
    QVERIFY2(clock.elapsed() < kAtOnceMs, qPrintable(QString::number(clock.elapsed())));
    share.openGate();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(share.backing() + QStringLiteral("/pic0.bmp")),
                             kEventTimeoutMs);
}

// The clip is on a share that stops answering while it plays: when the
// next clip plays, every thread of the first one's player ends all the same,
// while the share still hangs, rather than wait in the kernel for as long as
// the share does (and keep the program from ending meanwhile).
void tst_PreviewControls::aPlayerHeldByTheShareEndsWhenLeft() {
    QTemporaryDir dir;
    TestFsMount share(dir.path(), {}, TestFsMount::WithGate);
    if (!share.isMounted())
        QSKIP(qPrintable(share.whyNot()));
    const QString clip = share.path() + QStringLiteral("/long.mp4");
    QVERIFY(QFile::copy(mediaPath(QStringLiteral("long.mp4")), clip));
    window->addPickedFiles({clip, mediaPath(QStringLiteral("av.mp4"))});
    QTRY_COMPARE_WITH_TIMEOUT(list()->topLevelItemCount(), 2, kEventTimeoutMs);
    play(0);
    QVERIFY(waitForPicture());
    const quint64 held = currentPlayerState.load()->player_id;
    // The player may have read the whole clip already: what the kernel
    // keeps of it is let go, and a seek makes the player read it again.
    const int file = ::open(QFile::encodeName(clip).constData(), O_RDONLY | O_CLOEXEC);
    QVERIFY(file >= 0);
    QCOMPARE(::posix_fadvise(file, 0, 0, POSIX_FADV_DONTNEED), 0);
    ::close(file);
    share.closeGate();
    QVERIFY(seekToSliderValue(50));
    QTRY_VERIFY_WITH_TIMEOUT(share.callsHeld(), kEventTimeoutMs);

    play(1);
    QTRY_COMPARE_WITH_TIMEOUT(livePlayerThreads(held), 0, kEventTimeoutMs);
}

void tst_PreviewControls::snapshotMenuPausesAndPlaysAgain() {
    add({QStringLiteral("long.mp4")});
    play(0);
    QVERIFY(waitForPosition(1.5));

    bool pausedWhileOpen = false;
    bool menuShown = false;
    QTimer::singleShot(300, this, [&] {
        pausedWhileOpen = isPlayerPaused();
        if (QWidget *menu = QApplication::activePopupWidget()) {
            menuShown = true;
            menu->close();
        }
    });
    window->on_setCaptureButton_pressed();
    QVERIFY(menuShown);
    QVERIFY(pausedWhileOpen);
    // The file opens again from its beginning.
    QVERIFY(showsPlayingLook());
    QVERIFY(!isPlayerPaused());
    QTRY_VERIFY_WITH_TIMEOUT(playPosition > 0.1, kEventTimeoutMs);
    QVERIFY(playPosition < 1.5);

    // A paused preview only gets the menu.
    QTest::mouseClick(ui()->PauseButton, Qt::LeftButton);
    const PlayerState *paused = currentPlayerState;
    QTimer::singleShot(200, this, [] {
        if (QWidget *menu = QApplication::activePopupWidget())
            menu->close();
    });
    window->on_setCaptureButton_pressed();
    QCOMPARE(currentPlayerState.load(), paused);
    QVERIFY(isPlayerPaused());
    QVERIFY(ui()->PlayButton->isVisible());
}

void tst_PreviewControls::noSoundDevicePlaysSilentlyAfterOneMessage() {
    // A machine without sound: SDL's audio does not start at all.
    delete window;
    closePlayer();
    quitPreviewAudio();
    qputenv("SDL_AUDIODRIVER", "nosuchdriver");
    const auto restore = qScopeGuard([] {
        closePlayer();
        quitPreviewAudio();
        qputenv("SDL_AUDIODRIVER", "dummy");
        initPreviewAudio();
    });
    {
        ModalAnswerer answerer;
        window = new MainWindow;
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        runFor(200);
        QVERIFY(answerer.messages.isEmpty());
    }

    add({QStringLiteral("long.mp4"), QStringLiteral("av.mkv")});
    play(0);
    // The message waits for the user while the preview plays on, silently.
    QTRY_VERIFY_WITH_TIMEOUT(qobject_cast<QMessageBox *>(QApplication::activeModalWidget()),
                             kEventTimeoutMs);
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    QVERIFY(box->text().startsWith(QStringLiteral("SDL_OpenAudio: ")));
    QTRY_COMPARE_WITH_TIMEOUT(ui()->labelTime->text(), QStringLiteral("00:00:01 / 00:00:12"),
                              kEventTimeoutMs);
    QVERIFY(box->isVisible());
    QVERIFY(showsPlayingLook());
    box->close();
    QVERIFY(waitForPosition(2.5));
    QVERIFY(showsPlayingLook());

    ModalAnswerer answerer;
    play(1);
    QTRY_COMPARE_WITH_TIMEOUT(ui()->labelTime->text(), QStringLiteral("00:00:01 / 00:00:02"),
                              kEventTimeoutMs);
    QVERIFY(answerer.messages.isEmpty());
}

void tst_PreviewControls::unplayableFileIsReportedOnce_data() {
    QTest::addColumn<bool>("pipe");
    QTest::newRow("not media") << false;
    QTest::newRow("named pipe") << true;
}

void tst_PreviewControls::unplayableFileIsReportedOnce() {
    QFETCH(bool, pipe);
    add({QStringLiteral("av.mp4"), QStringLiteral("long.mp4")});
    // The file went bad after it was listed, or was replaced by a named pipe
    // that nobody writes to.
    QTemporaryDir dir;
    const QString bad =
        pipe ? dir.filePath(QStringLiteral("av.mp4")) : mediaPath(QStringLiteral("notmedia.mp4"));
    if (pipe)
        QCOMPARE(QProcess::execute(QStringLiteral("mkfifo"), {bad}), 0);
    // Lets a reader that waits in the pipe's open go.
    const auto release = qScopeGuard([&] {
        const int writer =
            pipe ? ::open(QFile::encodeName(bad).constData(), O_WRONLY | O_NONBLOCK) : -1;
        if (writer >= 0)
            ::close(writer);
    });
    ArgumentList arguments = FileRow::arguments(row(0));
    arguments[Arguments::find(arguments, Arguments::kInput) + 1] = bad;
    FileRow::setArguments(row(0), arguments);

    ModalAnswerer answerer;
    play(0);
    QTRY_COMPARE_WITH_TIMEOUT(answerer.messages.size(), 1, kEventTimeoutMs);
    QVERIFY(answerer.messages.first().startsWith(bad + QStringLiteral(": ")));
    QTRY_VERIFY_WITH_TIMEOUT(showsStoppedLook(), kEventTimeoutMs);
    QVERIFY(!isPlayerOpen());
    runFor(500);
    QCOMPARE(answerer.messages.size(), 1);

    // The next row plays.
    play(1);
    QVERIFY(waitForPicture());
    QVERIFY(waitForPosition(0.5));
    QCOMPARE(answerer.messages.size(), 1);
}

void tst_PreviewControls::closeWhilePlayingShutsThePlayerDown() {
    add({QStringLiteral("av.mp4")});
    play(0);
    QVERIFY(waitForPicture());
    // The close goes on (the application's loop then ends as usual) with the
    // player's threads joined.
    QVERIFY(window->close());
    QVERIFY(!window->isVisible());
    QVERIFY(!isPlayerOpen());
    QVERIFY(!isPlayerRunning());
    QCOMPARE(livePlayerThreads(), 0);
    // A later preview starts the sound again by itself.
    QVERIFY(initPreviewAudio());
}

QTEST_MAIN(tst_PreviewControls)
#include "tst_previewcontrols.moc"
