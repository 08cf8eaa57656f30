#include <QtTest>

extern "C" {
#include <libavformat/avformat.h>
}

#include "player/audiooutput.h"
#include "player/playerclock.h"
#include "player/playerstate.h"
#include "player/previewplayer.h"
#include "player/readthread.h"
#include "player/videodecoder.h"

// The frame timing driven by hand: a clock that only moves when told to, and
// a player state with its picture queue filled directly.
namespace {

double fakeTime = 0.0;
double fakeNow() {
    return fakeTime;
}

QImage picture(QRgb colour) {
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// A state that looks like a file with video (and optionally sound), without
// any thread or decoder behind it.
struct FakePlayer {
    AVFormatContext *context = avformat_alloc_context();
    AVStream *video = avformat_new_stream(context, nullptr);
    AVStream *audio = avformat_new_stream(context, nullptr);
    PlayerState state;

    explicit FakePlayer(bool withAudio = false) {
        state.video_stream = video;
        if (withAudio) {
            state.audio_stream = audio;
            state.audio_bytes_per_second = 176400;
        }
    }
    ~FakePlayer() {
        state.video_stream = nullptr;
        state.audio_stream = nullptr;
        avformat_free_context(context);
    }
    void queue(double pts, double target, QRgb colour) {
        const int index = (state.picture_read_index + state.picture_count) % kPictureQueueSize;
        state.pictures[index].pts = pts;
        state.pictures[index].target_clock = target;
        state.pictures[index].image = picture(colour);
        // Decoded after the last seek.
        state.pictures[index].serial = packetQueueSerial(&state.video_queue);
        ++state.picture_count;
    }
};

QRgb shownColour() {
    const QImage image = previewFrame.image();
    return image.isNull() ? 0 : image.pixel(0, 0);
}

} // namespace

class TestPlayerClock : public QObject {
    Q_OBJECT

private slots:
    void init();
    void pictureNotYetDueChangesNothing();
    void latePictureIsDroppedWhenAnotherWaits();
    void singleLatePictureShownUpToHalfASecond();
    void outOfOrderTargetIsLoggedNotFatal();
    void emptyQueueStillPublishesPosition();
    void positionWaitsForAPictureFromAfterTheSeek();
    void endedSoundHandsTheTimeToThePictures();
    void soundCatchesUpToTheSampleAfterAStall();
    void pauseAndResumeMoveTheFrameTimer();
    void pauseBeforeFirstPictureKeepsTimerNear();
    void inputThatCannotPauseKeepsPictureTime();
    void positionPollLeavesSharedPositionAlone();
    void endOfMediaNeedsTheDecodersDrained();
};

void TestPlayerClock::init() {
    fakeTime = 1000.0;
    previewFrame.clear();
    playPosition = 0.0;
}

void TestPlayerClock::pictureNotYetDueChangesNothing() {
    FakePlayer player;
    player.queue(2.0, 1000.5, qRgb(255, 0, 0));
    playPosition = -7.0;
    refreshVideo(&player.state, fakeNow);
    QCOMPARE(player.state.picture_count, 1);
    QVERIFY(previewFrame.isNull());
    QCOMPARE(playPosition.load(), -7.0);
}

void TestPlayerClock::latePictureIsDroppedWhenAnotherWaits() {
    FakePlayer player;
    player.queue(2.0, 999.90, qRgb(255, 0, 0));
    player.queue(2.04, 999.94, qRgb(0, 255, 0));
    player.state.video_pts = 2.08;
    refreshVideo(&player.state, fakeNow);
    // The first was dropped unseen; the second is shown in the same turn.
    QCOMPARE(shownColour(), qRgb(0, 255, 0));
    QCOMPARE(player.state.picture_count, 0);
    QCOMPARE(player.state.shown_pts.load(), 2.04);
    QVERIFY(player.state.skip_ratio > 1.0f);
}

void TestPlayerClock::singleLatePictureShownUpToHalfASecond() {
    {
        FakePlayer player;
        player.queue(2.0, 999.66, qRgb(255, 0, 0));
        player.state.video_pts = 2.04; // next due at 999.70, 0.3 s ago
        refreshVideo(&player.state, fakeNow);
        QCOMPARE(shownColour(), qRgb(255, 0, 0));
        QVERIFY(qFuzzyCompare(player.state.skip_ratio, 1.05f));
    }
    previewFrame.clear();
    {
        FakePlayer player;
        player.queue(2.0, 999.36, qRgb(255, 0, 0));
        player.state.video_pts = 2.04; // next due 0.6 s ago
        refreshVideo(&player.state, fakeNow);
        QVERIFY(previewFrame.isNull());
        QCOMPARE(player.state.picture_count, 0);
        QCOMPARE(playPosition.load(), 2.0); // published in the same call
    }
}

void TestPlayerClock::outOfOrderTargetIsLoggedNotFatal() {
    FakePlayer player;
    player.queue(2.0, 999.95, qRgb(255, 0, 0));
    player.queue(2.04, 999.90, qRgb(0, 255, 0));
    player.state.video_pts = 2.08;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("picture due at .* queued after"));
    refreshVideo(&player.state, fakeNow);
    QCOMPARE(shownColour(), qRgb(0, 255, 0));
}

void TestPlayerClock::emptyQueueStillPublishesPosition() {
    FakePlayer player;
    player.queue(5.0, 1000.0, qRgb(255, 0, 0));
    player.state.video_pts = 5.04;
    refreshVideo(&player.state, fakeNow);
    QCOMPARE(player.state.picture_count, 0);
    QCOMPARE(playPosition.load(), 5.0);
    // Ten milliseconds later: too soon for another update.
    fakeTime += 0.010;
    refreshVideo(&player.state, fakeNow);
    QCOMPARE(playPosition.load(), 5.0);
    fakeTime += 0.025;
    refreshVideo(&player.state, fakeNow);
    QVERIFY(qFuzzyCompare(playPosition.load(), 5.035));
}

void TestPlayerClock::positionWaitsForAPictureFromAfterTheSeek() {
    FakePlayer player;
    // Nothing shown yet: the video clock would tell the time since the epoch.
    refreshVideo(&player.state, fakeNow);
    QCOMPARE(playPosition.load(), 0.0);
    player.queue(2.0, 1000.0, qRgb(255, 0, 0));
    player.state.video_pts = 2.04;
    refreshVideo(&player.state, fakeNow);
    QCOMPARE(playPosition.load(), 2.0);

    // A seek back to the start: the picture on show is from before it.
    packetQueueFlush(&player.state.video_queue);
    fakeTime += 0.1;
    refreshVideo(&player.state, fakeNow);
    QCOMPARE(playPosition.load(), 2.0);
    player.queue(0.0, fakeTime, qRgb(0, 255, 0));
    player.state.video_pts = 0.04;
    refreshVideo(&player.state, fakeNow);
    QCOMPARE(playPosition.load(), 0.0);
}

void TestPlayerClock::endedSoundHandsTheTimeToThePictures() {
    // The video thread reads the wall clock itself.
    fakeTime = playerNow();
    FakePlayer player(true);
    packetQueueInit(&player.state.audio_queue);
    AVPacket *packet = av_packet_alloc();
    QueuedPacket info;
    packetQueueGet(&player.state.audio_queue, packet, &info);
    player.state.audio_clock_serial = info.serial;
    player.state.audio_pts = 1.0;
    player.queue(3.0, fakeTime, qRgb(255, 0, 0));
    player.state.video_pts = 3.04;
    refreshVideo(&player.state, fakeNow);
    QCOMPARE(playPosition.load(), 1.0); // the sound sets the time while it plays

    // The sound ends after one second; the pictures go on at their own pace.
    packetQueuePutDrain(&player.state.audio_queue);
    packetQueueGet(&player.state.audio_queue, packet, &info);
    packetQueueMarkFinished(&player.state.audio_queue, info.serial);
    fakeTime += 0.5;
    refreshVideo(&player.state, fakeNow);
    QVERIFY(qAbs(playPosition - 3.5) < 0.001);

    player.state.schedule = {fakeTime, 3.0, 0.04};
    AVFrame *frame = av_frame_alloc();
    frame->width = 16;
    frame->height = 16;
    frame->format = AV_PIX_FMT_YUV420P;
    QCOMPARE(av_frame_get_buffer(frame, 0), 0);
    QCOMPARE(queuePicture(&player.state, frame, 3.04, 0), 0);
    // Not held back to twice its delay by the silent sound's clock.
    QVERIFY(qAbs(player.state.schedule.frame_timer - fakeTime - 0.04) < 0.001);

    av_frame_free(&frame);
    av_packet_free(&packet);
    packetQueueDestroy(&player.state.audio_queue);
}

void TestPlayerClock::soundCatchesUpToTheSampleAfterAStall() {
    // The device took nothing for a second, while the pictures went on: they
    // are 30 ms past the sound held up meanwhile now. The pictures are not
    // corrected for less than a frame, so that the sound has to drop it all.
    FakePlayer player(true);
    PlayerState &is = player.state;
    is.audio_clock_serial = packetQueueSerial(&is.audio_queue);
    QByteArray sound(2 * 176400, '\x10'); // two seconds from 0 s
    is.audio_data = reinterpret_cast<uint8_t *>(sound.data());
    is.audio_data_size = int(sound.size());
    is.audio_pts = 2.0;
    is.audio_out_channels = 2;
    is.audio_buffer_seconds = 1024 / 44100.0;
    const double now = playerNow();
    is.audio_callback_time = int64_t((now - 1.0) * 1000000.0);
    is.shown_pts_pinned = true;
    is.shown_pts_drift = 0.03 - now;

    uint8_t buffer[4096];
    audioCallback(&is, buffer, int(sizeof buffer));
    const double dropped = double(is.audio_data_index - int(sizeof buffer)) / 176400;
    QVERIFY2(dropped > 0.0299 && dropped < 0.1, qPrintable(QString::number(dropped)));
    is.audio_data = nullptr;
}

void TestPlayerClock::pauseAndResumeMoveTheFrameTimer() {
    FakePlayer player;
    player.queue(2.0, 1000.0, qRgb(255, 0, 0));
    player.state.video_pts = 2.04;
    refreshVideo(&player.state, fakeNow); // pins picture time 2.0 at 1000
    player.state.schedule.frame_timer = 1000.04;

    togglePlayerPause(&player.state, fakeNow);
    QCOMPARE(player.state.paused.load(), 1);
    fakeTime = 1010.0;
    QCOMPARE(videoClock(&player.state, fakeNow), 2.0); // stands still
    togglePlayerPause(&player.state, fakeNow);
    QCOMPARE(player.state.paused.load(), 0);
    QVERIFY(qFuzzyCompare(player.state.schedule.frame_timer, 1010.04));
    QVERIFY(qFuzzyCompare(videoClock(&player.state, fakeNow), 12.0));
}

void TestPlayerClock::pauseBeforeFirstPictureKeepsTimerNear() {
    FakePlayer player;
    player.state.schedule.frame_timer = 1000.0;
    togglePlayerPause(&player.state, fakeNow);
    fakeTime = 1002.0;
    togglePlayerPause(&player.state, fakeNow);
    // Moved by the pause, not by the time since the epoch.
    QVERIFY(qFuzzyCompare(player.state.schedule.frame_timer, 1002.0));
    QCOMPARE(player.state.shown_pts.load(), 0.0);
}

void TestPlayerClock::inputThatCannotPauseKeepsPictureTime() {
    FakePlayer player;
    player.queue(2.0, 1000.0, qRgb(255, 0, 0));
    player.state.video_pts = 2.04;
    refreshVideo(&player.state, fakeNow);
    player.state.read_pause_result = AVERROR(ENOSYS);
    togglePlayerPause(&player.state, fakeNow);
    fakeTime = 1004.0;
    togglePlayerPause(&player.state, fakeNow);
    QCOMPARE(player.state.shown_pts.load(), 2.0);
    QCOMPARE(videoClock(&player.state, fakeNow), 2.0);
}

void TestPlayerClock::positionPollLeavesSharedPositionAlone() {
    auto *state = new PlayerState;
    AVFormatContext *context = avformat_alloc_context();
    state->format_context = context;
    state->media_start_time = 5000000;
    state->media_duration = 10000000;
    currentPlayerState = state;
    playPosition = 8.0;

    for (int poll = 0; poll < 3; ++poll) {
        const PreviewPosition position = previewPosition();
        QVERIFY(position.valid);
        QCOMPARE(position.seconds, 3.0);
        QCOMPARE(position.percent, 30);
        QCOMPARE(position.durationSeconds, 10);
    }
    QCOMPARE(playPosition.load(), 8.0);

    // Unknown and short durations leave the slider at 0.
    state->media_duration = AV_NOPTS_VALUE;
    QCOMPARE(previewPosition().percent, 0);
    state->media_duration = 500000;
    QCOMPARE(previewPosition().percent, 0);

    currentPlayerState = nullptr;
    QVERIFY(!previewPosition().valid);
    state->format_context = nullptr;
    avformat_free_context(context);
    delete state;
}

void TestPlayerClock::endOfMediaNeedsTheDecodersDrained() {
    FakePlayer player(true);
    packetQueueInit(&player.state.audio_queue);
    packetQueueInit(&player.state.video_queue);
    AVPacket *packet = av_packet_alloc();
    QueuedPacket info;
    packetQueueGet(&player.state.audio_queue, packet, &info);
    packetQueueGet(&player.state.video_queue, packet, &info);
    // Both queues ran dry, yet the input has not ended: no end.
    QVERIFY(!mediaFinished(&player.state));

    packetQueuePutDrain(&player.state.audio_queue);
    packetQueuePutDrain(&player.state.video_queue);
    packetQueueGet(&player.state.audio_queue, packet, &info);
    packetQueueMarkFinished(&player.state.audio_queue, info.serial);
    packetQueueGet(&player.state.video_queue, packet, &info);
    packetQueueMarkFinished(&player.state.video_queue, info.serial);
    player.queue(3.0, 2000.0, qRgb(1, 2, 3));
    QVERIFY(!mediaFinished(&player.state)); // the last picture is still waiting
    player.state.picture_count = 0;
    QVERIFY(mediaFinished(&player.state));

    av_packet_free(&packet);
    packetQueueDestroy(&player.state.audio_queue);
    packetQueueDestroy(&player.state.video_queue);
}

QTEST_APPLESS_MAIN(TestPlayerClock)
#include "tst_playerclock.moc"
