#include <QGuiApplication>
#include <QImageReader>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include "player/playerthreads.h"
#include "playertestutil.h"
#include "../support/hostilemedia.h"

using namespace PlayerTest;

// Plays the generated clips through the whole engine: read, decode and
// refresh threads, the sound device (SDL's dummy driver, and none at all) and
// the refresh handling on the Qt event loop.
class TestPreviewPlayer : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void showsPictures_data();
    void showsPictures();
    void soundOnlyShowsSpectrum_data();
    void soundOnlyShowsSpectrum();
    void pauseHoldsThePictureAndResumes();
    void sliderSeekToHalf();
    void pauseBeforeFirstPictureStillPlays();
    void playToEndSetsEndFlagOnce();
    void soundEndingFirstLeavesTheTimeToPictures();
    void truncatedFilePlaysItsPartAndEnds();
    void rawStreamPlaysFromItsStart_data();
    void rawStreamPlaysFromItsStart();
    void sliderSeekOnOffsetStream_data();
    void sliderSeekOnOffsetStream();
    void secondFileJoinsFirstPlayersThreads();
    void unplayableFileIsReportedOnGuiThread_data();
    void unplayableFileIsReportedOnGuiThread();
    void failureOfAReplacedPlayerIsNotShown();
    void snapshotsInEveryFormat();
    void stopFlagEndsRefreshing();
    void withoutSoundDevicePicturesSetThePace();
    void refusesAFileThatNamesOthers_data();
    void refusesAFileThatNamesOthers();

private:
    QTemporaryDir m_dir;
    QStringList m_messages;
    QList<QThread *> m_messageThreads;
};

void TestPreviewPlayer::initTestCase() {
    QVERIFY(QFile::exists(mediaPath("av.mp4")));
    QVERIFY(initPreviewAudio());
    connect(PlayerController::instance(), &PlayerController::playerMessage, this,
            [this](const QString &text) {
                m_messages << text;
                m_messageThreads << QThread::currentThread();
            });
    // The window has painted: snapshots are served.
    repaintArmed = 1;
    QVERIFY(HostileMedia::make(QDir(m_dir.path())));
}

void TestPreviewPlayer::init() {
    m_messages.clear();
    m_messageThreads.clear();
    playEndFlag = 0;
    playStopFlag = 0;
    playVolume = 128;
    previewFrame.clear();
}

void TestPreviewPlayer::cleanup() {
    closePlayer();
    QCOMPARE(livePlayerThreads(), 0);
    QVERIFY(!isPlayerOpen());
}

void TestPreviewPlayer::cleanupTestCase() {
    shutdownPlayer();
    QCOMPARE(livePlayerThreads(), 0);
}

void TestPreviewPlayer::showsPictures_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("withSound");
    QTest::addColumn<QSize>("pictureSize");
    const QSize fourThree(297, 223);
    QTest::newRow("mp4") << "av.mp4" << true << fourThree;
    QTest::newRow("avi") << "av.avi" << true << fourThree;
    QTest::newRow("mkv") << "av.mkv" << true << fourThree;
    QTest::newRow("flv") << "av.flv" << true << fourThree;
    QTest::newRow("wmv") << "av.wmv" << true << fourThree;
    QTest::newRow("mpg") << "av.mpg" << true << fourThree;
    QTest::newRow("mov") << "av.mov" << true << fourThree;
    QTest::newRow("16:9") << "wide.mp4" << true << QSize(297, 167);
    // 720x576 pixels of a 16:9 picture.
    QTest::newRow("16:9 DVD") << "dvd-wide.mpg" << true << QSize(297, 167);
    QTest::newRow("video only") << "video-only.mp4" << false << fourThree;
    QTest::newRow("5.1") << "surround.mp4" << true << fourThree;
    QTest::newRow("odd avi") << "odd.avi" << true << QSize(297, 165);
    QTest::newRow("odd mp4") << "odd.mp4" << false << QSize(297, 167);
    QTest::newRow("start offset") << "offset.ts" << true << fourThree;
    QTest::newRow("subtitles") << "subtitled.mkv" << true << fourThree;
    QTest::newRow("space") << "with space.mp4" << true << fourThree;
    QTest::newRow("single quote") << "quote'single.mp4" << true << fourThree;
    QTest::newRow("double quote") << "quote\"double.mp4" << true << fourThree;
    QTest::newRow("non-Latin") << "日本語 ファイル.mp4" << true << fourThree;
}

void TestPreviewPlayer::showsPictures() {
    QFETCH(QString, file);
    QFETCH(bool, withSound);
    QFETCH(QSize, pictureSize);

    QCOMPARE(playFile(mediaPath(file), kPreviewSize), 0);
    PlayerState *is = currentPlayerState;
    QVERIFY(is);
    // The black picture of the preview's size comes first.
    QCOMPARE(previewFrame.image().size(), kPreviewSize);
    QVERIFY(waitForPicture());
    QCOMPARE(previewFrame.image().size(), pictureSize);
    QVERIFY(isPlayerRunning());
    QCOMPARE(is->audio_display_mode.load(), 0);
    QCOMPARE(is->audio_stream != nullptr, withSound);

    // Pictures keep coming and the position runs on from the start.
    const double start =
        is->media_start_time != AV_NOPTS_VALUE ? is->media_start_time / 1000000.0 : 0.0;
    QVERIFY2(waitForPosition(start + 0.5), qPrintable(QString::number(playPosition)));
    const QImage earlier = previewFrame.image();
    QVERIFY(waitForNewPicture(earlier));
    QVERIFY(!playEndFlag);
    QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.join(' ')));
}

void TestPreviewPlayer::soundOnlyShowsSpectrum_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("channels");
    QTest::newRow("mp3") << "audio.mp3" << 2;
    QTest::newRow("mono wav") << "audio.wav" << 1;
    QTest::newRow("ogg") << "audio.ogg" << 2;
    QTest::newRow("m4a") << "audio.m4a" << 2;
    QTest::newRow("5.1 ac3") << "surround.ac3" << 2;
}

void TestPreviewPlayer::soundOnlyShowsSpectrum() {
    QFETCH(QString, file);
    QFETCH(int, channels);
    playFile(mediaPath(file), kPreviewSize);
    PlayerState *is = currentPlayerState;
    QVERIFY(QTest::qWaitFor([is] { return is->audio_display_mode == kAudioDisplaySpectrum; },
                            kEventTimeoutMs));
    QVERIFY(!is->video_stream);
    QCOMPARE(is->audio_out_channels, channels);
    QVERIFY(waitForPicture());
    QCOMPARE(previewFrame.image().size(), kPreviewSize);
    QVERIFY(waitForPosition(0.5));
    // The spectrum scrolls one column a refresh.
    const int column = is->spectrum_column;
    QVERIFY(
        QTest::qWaitFor([is, column] { return is->spectrum_column != column; }, kEventTimeoutMs));
    QVERIFY(m_messages.isEmpty());
}

void TestPreviewPlayer::pauseHoldsThePictureAndResumes() {
    playFile(mediaPath("long.mp4"), kPreviewSize);
    PlayerState *is = currentPlayerState;
    QVERIFY(waitForPosition(1.0));
    // The queues run dry now and then while playing; that is not the end.
    QVERIFY(!playEndFlag);

    togglePlayerPause(is);
    runFor(300);
    const double pausedAt = playPosition;
    const QImage pausedPicture = previewFrame.image();
    runFor(500);
    QVERIFY(qAbs(playPosition - pausedAt) < 0.05);
    QCOMPARE(previewFrame.image(), pausedPicture);
    QVERIFY(isPlayerPaused());

    togglePlayerPause(is);
    QVERIFY(waitForPosition(pausedAt + 0.5));
    QVERIFY(playPosition < pausedAt + 2.0); // resumed, did not jump
    QVERIFY(!playEndFlag);
    QVERIFY(m_messages.isEmpty());
}

void TestPreviewPlayer::sliderSeekToHalf() {
    // mpeg4 with a key frame every twelve pictures, so the seek can land
    // near its target.
    playFile(mediaPath("av.avi"), kPreviewSize);
    PlayerState *is = currentPlayerState;
    QVERIFY(waitForPicture());
    // The way a slider drag does it: paused at the press, running after the
    // release.
    togglePlayerPause(is);
    QVERIFY(seekToSliderValue(50));
    QVERIFY(!seekToSliderValue(60)); // dropped while the first is pending
    togglePlayerPause(is);
    QVERIFY(QTest::qWaitFor([is] { return !is->seek_pending; }, kEventTimeoutMs));
    QVERIFY(QTest::qWaitFor(
        [] {
            const PreviewPosition p = previewPosition();
            return p.seconds > 0.8 && p.seconds < 1.6;
        },
        kEventTimeoutMs));
    QVERIFY(qAbs(previewPosition().percent - 50) <= 25);
    QVERIFY(waitForPicture());
    QVERIFY(m_messages.isEmpty());
}

void TestPreviewPlayer::pauseBeforeFirstPictureStillPlays() {
    playFile(mediaPath("long.mp4"), kPreviewSize);
    PlayerState *is = currentPlayerState;
    togglePlayerPause(is);
    runFor(200);
    togglePlayerPause(is);
    QVERIFY(waitForPicture());
    QVERIFY(waitForPosition(1.0));
    const QImage earlier = previewFrame.image();
    QVERIFY(waitForNewPicture(earlier));
}

void TestPreviewPlayer::playToEndSetsEndFlagOnce() {
    QSignalSpy ended(PlayerController::instance(), &PlayerController::loopEnded);
    QElapsedTimer timer;
    timer.start();
    playFile(mediaPath("av.mp4"), kPreviewSize);
    PlayerState *is = currentPlayerState;
    QVERIFY(QTest::qWaitFor([] { return playEndFlag == 1; }, kEventTimeoutMs));
    QVERIFY2(timer.elapsed() > 1500, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(playPosition > 1.5);
    // The loop sees the flag at its next refresh.
    QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, kEventTimeoutMs);
    QVERIFY(!PlayerController::instance()->isLoopRunning());
    // One drain per end of the input, however long the player stays open.
    runFor(300);
    QCOMPARE(is->drain_markers_queued.load(), 1);
    QCOMPARE(is->video_queue.packet_count.load(), 0);
    QVERIFY(isPlayerRunning()); // the player stays open at the end
}

void TestPreviewPlayer::soundEndingFirstLeavesTheTimeToPictures() {
    // Four seconds of pictures, one of sound.
    playFile(mediaPath("short-sound.mp4"), kPreviewSize);
    PlayerState *is = currentPlayerState;
    QVERIFY(waitForPicture());
    QVERIFY(is->audio_stream);
    QVERIFY2(waitForPosition(3.5), qPrintable(QString::number(playPosition)));
    QVERIFY(QTest::qWaitFor([] { return playEndFlag == 1; }, kEventTimeoutMs));
}

void TestPreviewPlayer::truncatedFilePlaysItsPartAndEnds() {
    playFile(mediaPath("broken.mp4"), kPreviewSize);
    QVERIFY(waitForPicture());
    QVERIFY(QTest::qWaitFor([] { return playEndFlag == 1; }, kEventTimeoutMs));
    QVERIFY(playPosition > 1.0);
}

void TestPreviewPlayer::rawStreamPlaysFromItsStart_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("H.264") << "raw.h264";
    QTest::newRow("HEVC") << "raw.hevc";
}

void TestPreviewPlayer::rawStreamPlaysFromItsStart() {
    // A bare stream cannot seek by time, not even to its start.
    QFETCH(QString, file);
    playFile(mediaPath(file), kPreviewSize);
    PlayerState *is = currentPlayerState;
    QVERIFY(waitForPicture());
    QVERIFY(waitForPosition(1.0));
    QVERIFY(QTest::qWaitFor([] { return playEndFlag == 1; }, kEventTimeoutMs));
    QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.join(' ')));

    // The stop's seek to the start plays it again.
    playEndFlag = 0;
    is->paused = 0;
    resumePlayerRefreshes();
    QVERIFY(requestSeek(is, 0));
    QVERIFY(QTest::qWaitFor([is] { return !is->seek_pending && isSeekShown(); }, kEventTimeoutMs));
    QVERIFY(QTest::qWaitFor([is] { return is->shown_pts < 0.5; }, kEventTimeoutMs));
    QVERIFY(m_messages.isEmpty());

    // A seek elsewhere is told to fail once, by the file's name.
    for (int i = 0; i < 2; ++i) {
        QVERIFY(QTest::qWaitFor([is] { return requestSeek(is, 1000000); }, kEventTimeoutMs));
        QVERIFY(QTest::qWaitFor([is] { return !is->seek_pending; }, kEventTimeoutMs));
    }
    runFor(100);
    QCOMPARE(m_messages, QStringList{mediaPath(file) + ": error while seeking.\n"});
}

void TestPreviewPlayer::sliderSeekOnOffsetStream_data() {
    QTest::addColumn<QString>("clip");
    QTest::newRow("transport stream") << "offset.ts";
    // Its duration counts from 0: 7 s for its 2.
    QTest::newRow("matroska") << "offset.mkv";
}

void TestPreviewPlayer::sliderSeekOnOffsetStream() {
    QFETCH(QString, clip);
    playFile(mediaPath(clip), kPreviewSize);
    PlayerState *is = currentPlayerState;
    QVERIFY(waitForPicture());
    const int64_t start = is->media_start_time;
    QVERIFY(start >= 5000000);
    QVERIFY(waitForPosition(start / 1000000.0 + 0.2));
    QVERIFY(seekToSliderValue(50));
    QVERIFY(QTest::qWaitFor([is] { return !is->seek_pending; }, kEventTimeoutMs));
    runFor(300);
    // Half of the two seconds, counted from the stream's start.
    const double position = playPosition - start / 1000000.0;
    QVERIFY2(position > 0.7 && position < 1.9, qPrintable(QString::number(position)));
    QVERIFY(m_messages.isEmpty());
}

void TestPreviewPlayer::secondFileJoinsFirstPlayersThreads() {
    playFile(mediaPath("av.mp4"), kPreviewSize);
    PlayerState *first = currentPlayerState;
    const quint64 firstId = first->player_id;
    QVERIFY(waitForPicture());
    QVERIFY(livePlayerThreads(firstId) >= 3); // read, refresh, video

    playFile(mediaPath("long.mp4"), kPreviewSize);
    QCOMPARE(livePlayerThreads(firstId), 0);
    QVERIFY(currentPlayerState.load()->player_id != firstId);
    QVERIFY(waitForPicture());
    QVERIFY(waitForPosition(0.5));
}

void TestPreviewPlayer::unplayableFileIsReportedOnGuiThread_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("not media") << "notmedia.mp4";
    QTest::newRow("empty") << "empty.mp4";
    QTest::newRow("missing") << "no such file.mp4";
}

void TestPreviewPlayer::unplayableFileIsReportedOnGuiThread() {
    QFETCH(QString, file);
    QSignalSpy failed(PlayerController::instance(), &PlayerController::playerFailed);
    playFile(mediaPath(file), kPreviewSize);
    QVERIFY(failed.wait(kEventTimeoutMs));
    QVERIFY(!isPlayerOpen());
    QCOMPARE(livePlayerThreads(), 0);
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(m_messages.first().contains(file));
    QVERIFY(m_messages.first().endsWith('\n'));
    QCOMPARE(m_messageThreads.first(), qApp->thread());
}

void TestPreviewPlayer::failureOfAReplacedPlayerIsNotShown() {
    QSignalSpy failed(PlayerController::instance(), &PlayerController::playerFailed);
    playFile(mediaPath("notmedia.mp4"), kPreviewSize);
    const quint64 leftId = currentPlayerState.load()->player_id;
    // Its read thread has failed and posted its message before the player is
    // replaced, the way a busy GUI thread gets to them.
    QVERIFY(waitWithoutEvents([leftId] { return livePlayerThreads(leftId) == 0; }));

    playFile(mediaPath("empty.mp4"), kPreviewSize);
    QVERIFY(failed.wait(kEventTimeoutMs));
    runFor(100);
    QCOMPARE(failed.count(), 1);
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages.first().contains("empty.mp4"), qPrintable(m_messages.first()));
}

void TestPreviewPlayer::snapshotsInEveryFormat() {
    QTemporaryDir dir;
    playFile(mediaPath("long.mp4"), kPreviewSize);
    QVERIFY(waitForPicture());

    struct Format {
        QString suffix;
        int quality;
        QByteArray reader;
    };
    const QList<Format> formats = {{".tiff", -1, "tiff"}, {".bmp", -1, "bmp"},
                                   {".png", -1, "png"},   {".jpg", 100, "jpeg"},
                                   {".jpg", 90, "jpeg"},  {".jpg", 60, "jpeg"}};
    QStringList paths;
    // All raised before the first is saved: none may be lost.
    for (const Format &format : formats) {
        snapshotQuality = format.quality;
        const QString path = snapshotFileName(dir.path(), format.suffix);
        requestSnapshot(path);
        paths << path;
    }
    QCOMPARE(QSet<QString>(paths.begin(), paths.end()).size(), paths.size()); // six names
    QVERIFY(QTest::qWaitFor([] { return pendingSnapshotCount() == 0; }, kEventTimeoutMs));
    QCOMPARE(captureRequested.load(), 0);
    QTemporaryDir scratch;
    QVERIFY(waitForSnapshotsSaved(scratch.path()));
    for (int i = 0; i < formats.size(); ++i) {
        QImageReader reader(paths[i]);
        QCOMPARE(reader.format(), formats[i].reader);
        const QImage image = reader.read();
        QCOMPARE(image.size(), QSize(320, 240)); // the picture's own size
        QVERIFY(showsSomething(image));
    }
    QVERIFY(QFileInfo(paths[3]).size() > QFileInfo(paths[5]).size()); // quality 100 vs 60
    QVERIFY(paths[3].endsWith("pic0.jpg") && paths[5].endsWith("pic2.jpg"));
}

void TestPreviewPlayer::stopFlagEndsRefreshing() {
    playFile(mediaPath("long.mp4"), kPreviewSize);
    QVERIFY(waitForPosition(0.5));
    playStopFlag = 1;
    QVERIFY(QTest::qWaitFor([] { return !PlayerController::instance()->isLoopRunning(); },
                            kEventTimeoutMs));
    const double stoppedAt = playPosition;
    const QImage picture = previewFrame.image();
    runFor(400);
    // Nothing is shown or published while the loop does not run.
    QCOMPARE(playPosition.load(), stoppedAt);
    QCOMPARE(previewFrame.image(), picture);
    // A new file starts a new loop.
    playStopFlag = 0;
    playFile(mediaPath("av.mp4"), kPreviewSize);
    QVERIFY(PlayerController::instance()->isLoopRunning());
    QVERIFY(waitForPosition(0.5));
}

void TestPreviewPlayer::withoutSoundDevicePicturesSetThePace() {
    // A machine without sound: SDL's audio does not start at all.
    quitPreviewAudio();
    qputenv("SDL_AUDIODRIVER", "no-such-driver");
    const auto restore = qScopeGuard([] {
        closePlayer();
        qputenv("SDL_AUDIODRIVER", "dummy");
        initPreviewAudio();
    });
    QVERIFY(!initPreviewAudio());

    for (const char *file : {"av.mp4", "av.mkv"}) {
        QCOMPARE(playFile(mediaPath(file), kPreviewSize), 0);
        QVERIFY(waitForPicture());
        QVERIFY(waitForPosition(0.8));
        QVERIFY(!currentPlayerState.load()->audio_stream);
        const QImage earlier = previewFrame.image();
        QVERIFY(waitForNewPicture(earlier));
    }
    QCOMPARE(m_messages.size(), 1);
    QVERIFY(m_messages.first().startsWith("SDL_OpenAudio: "));

    // Sound alone has nothing to play on.
    QSignalSpy failed(PlayerController::instance(), &PlayerController::playerFailed);
    playFile(mediaPath("audio.mp3"), kPreviewSize);
    QVERIFY(failed.wait(kEventTimeoutMs));
    QCOMPARE(m_messages.size(), 2);
    QVERIFY2(m_messages.last().endsWith(": no sound device to play it on\n"),
             qPrintable(m_messages.last()));
}

// A playlist or a list under a media name is refused, not played as what it
// names.
void TestPreviewPlayer::refusesAFileThatNamesOthers_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("playlist named .mp4, relative") << HostileMedia::kRelativePlaylist;
    QTest::newRow("playlist named .m3u8, absolute") << HostileMedia::kAbsolutePlaylist;
    QTest::newRow("concat list") << HostileMedia::kConcatList;
}

void TestPreviewPlayer::refusesAFileThatNamesOthers() {
    QFETCH(QString, file);
    const QString path = m_dir.filePath(file);
    QSignalSpy failed(PlayerController::instance(), &PlayerController::playerFailed);
    playFile(path, kPreviewSize);
    QVERIFY(failed.wait(kEventTimeoutMs));
    QCOMPARE(m_messages.size(), 1);
    QVERIFY2(m_messages.first().startsWith(path + ": the file is ") &&
                 m_messages.first().endsWith("refused\n"),
             qPrintable(m_messages.first()));
}

QTEST_MAIN(TestPreviewPlayer)
#include "tst_previewplayer.moc"
