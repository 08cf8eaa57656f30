#include <QtTest>

extern "C" {
#include <libavutil/avutil.h>
}

#include "player/playertiming.h"

using namespace PlayerTiming;
using namespace PreviewGeometry;

class TestPlayerTiming : public QObject {
    Q_OBJECT

private slots:
    void audioClockSubtractsWhatIsNotYetPlayed();
    void deviceClockCountsWhatTheDeviceHolds();
    void syncTable_data();
    void syncTable();
    void nominalDelayFallsBack_data();
    void nominalDelayFallsBack();
    void firstPictureAfterFlushIsDueAtOnce();
    void withoutSoundNothingIsCorrected();
    void skipRatioDropsPictures_data();
    void skipRatioDropsPictures();
    void skipRatioShrinksToFloor();
    void pictureStampChoice();
    void frameDelayCountsRepeats();
    void resumeShift_data();
    void resumeShift();
    void publishedPositionFollowsPicturesWhenSoundLeads_data();
    void publishedPositionFollowsPicturesWhenSoundLeads();
    void positionUpdatesAtMostEvery30ms();
    void displayPositionTakesTheStartOff_data();
    void displayPositionTakesTheStartOff();
    void sliderPercent_data();
    void sliderPercent();
    void sliderSeekAddsStartTime_data();
    void sliderSeekAddsStartTime();
    void previewTargetRect_data();
    void previewTargetRect();
    void previewPictureSizeMatchesPainting_data();
    void previewPictureSizeMatchesPainting();
};

void TestPlayerTiming::audioClockSubtractsWhatIsNotYetPlayed() {
    // 44100 Hz stereo: 176400 bytes a second.
    QCOMPARE(audioClockAt(10.0, 17640, 0, 176400), 9.9);
    QCOMPARE(audioClockAt(10.0, 17640, 17640, 176400), 10.0);
    QCOMPARE(audioClockAt(10.0, 17640, 0, 0), 10.0);
}

void TestPlayerTiming::deviceClockCountsWhatTheDeviceHolds() {
    // At 8 kHz a device buffer is short enough for the picture to follow.
    QCOMPARE(deviceSamples(8000), 256);
    QCOMPARE(deviceSamples(22050), 512);
    QCOMPARE(deviceSamples(44100), 1024);
    QCOMPARE(deviceSamples(96000), 1024);
    const double held = 256 / 8000.0;
    // Right after the callback the device still plays what it was handed;
    // it plays on at the wall clock's pace, and no further than it was given.
    QCOMPARE(deviceClockAt(10.0, held, 100.0, 100.0, true), 10.0 - held);
    QVERIFY(qAbs(deviceClockAt(10.0, held, 100.0, 100.016, true) - (10.016 - held)) < 1e-9);
    QCOMPARE(deviceClockAt(10.0, held, 100.0, 101.0, true), 10.0);
    // Silence handed over (paused, nothing decoded) does not move it.
    QCOMPARE(deviceClockAt(10.0, held, 100.0, 100.016, false), 10.0 - held);
    // A device that has not asked for a while has stopped taking sound.
    QVERIFY(!deviceStalled(100.0, 100.0 + held, held));
    QVERIFY(deviceStalled(100.0, 100.5, held));
    QVERIFY(!deviceStalled(0.0, 100.5, held));
}

void TestPlayerTiming::syncTable_data() {
    QTest::addColumn<double>("delay");
    QTest::addColumn<double>("diff");
    QTest::addColumn<double>("expected");
    QTest::newRow("video behind: show at once") << 0.04 << -0.2 << 0.0;
    QTest::newRow("video ahead: wait twice") << 0.04 << 0.05 << 0.08;
    QTest::newRow("within threshold") << 0.04 << 0.02 << 0.04;
    QTest::newRow("too far apart to correct") << 0.04 << 12.0 << 0.04;
    QTest::newRow("far behind, not corrected") << 0.04 << -10.0 << 0.04;
    QTest::newRow("short delay, below minimum threshold") << 0.004 << 0.008 << 0.004;
    QTest::newRow("short delay, at minimum threshold") << 0.004 << 0.01 << 0.008;
    QTest::newRow("behind by exactly the threshold") << 0.04 << -0.04 << 0.0;
}

void TestPlayerTiming::syncTable() {
    QFETCH(double, delay);
    QFETCH(double, diff);
    QFETCH(double, expected);
    QCOMPARE(correctedDelay(delay, diff), expected);
}

void TestPlayerTiming::nominalDelayFallsBack_data() {
    QTest::addColumn<double>("nextPts");
    QTest::addColumn<double>("expectedDelay");
    QTest::newRow("normal") << 1.04 << 0.04;
    QTest::newRow("same time stamp") << 1.0 << 0.05;
    QTest::newRow("backwards") << 0.5 << 0.05;
    QTest::newRow("ten seconds") << 11.0 << 0.05;
}

void TestPlayerTiming::nominalDelayFallsBack() {
    QFETCH(double, nextPts);
    QFETCH(double, expectedDelay);
    FrameSchedule schedule;
    schedule.frame_timer = 100.0;
    schedule.last_frame_pts = 1.0;
    schedule.last_frame_delay = 0.05;
    const double target = targetClock(schedule, nextPts, false, 0.0, 0.0);
    QVERIFY(qFuzzyCompare(target, 100.0 + expectedDelay));
    QCOMPARE(schedule.last_frame_pts, nextPts);
}

void TestPlayerTiming::firstPictureAfterFlushIsDueAtOnce() {
    FrameSchedule schedule;
    resetSchedule(schedule, 500.0);
    QCOMPARE(targetClock(schedule, 3.0, false, 0.0, 0.0), 500.0);
    QVERIFY(qFuzzyCompare(targetClock(schedule, 3.04, false, 0.0, 0.0), 500.04));
}

void TestPlayerTiming::withoutSoundNothingIsCorrected() {
    FrameSchedule schedule;
    schedule.last_frame_pts = 1.0;
    schedule.frame_timer = 10.0;
    // The clocks are far apart but there is no sound to follow.
    QVERIFY(qFuzzyCompare(targetClock(schedule, 1.04, false, 5.0, 1.0), 10.04));
    QVERIFY(qFuzzyCompare(targetClock(schedule, 1.08, true, 1.5, 1.0), 10.12));
}

void TestPlayerTiming::skipRatioDropsPictures_data() {
    QTest::addColumn<float>("ratio");
    QTest::addColumn<QString>("pattern"); // x = dropped, o = shown
    QTest::newRow("1.0") << 1.0f << "oooooo";
    QTest::newRow("0.95") << 0.95f << "oooooo";
    QTest::newRow("2.0") << 2.0f << "xoxoxo";
    QTest::newRow("1.5") << 1.5f << "xooxoo";
}

void TestPlayerTiming::skipRatioDropsPictures() {
    QFETCH(float, ratio);
    QFETCH(QString, pattern);
    float counter = 0.0f;
    QString seen;
    for (int i = 0; i < pattern.size(); ++i)
        seen += skipPicture(counter, ratio) ? QLatin1Char('x') : QLatin1Char('o');
    QCOMPARE(seen, pattern);
}

void TestPlayerTiming::skipRatioShrinksToFloor() {
    QCOMPARE(lowerSkipRatio(1.0f), 0.95f);
    QCOMPARE(lowerSkipRatio(0.95f), 0.95f);
    QVERIFY(qFuzzyCompare(lowerSkipRatio(2.0f), 1.9f));
}

void TestPlayerTiming::pictureStampChoice() {
    StampTracker tracker;
    // No dts: the carried time stamp.
    QCOMPARE(choosePictureStamp(tracker, 10, AV_NOPTS_VALUE), int64_t(10));
    // Neither: 0.
    QCOMPARE(choosePictureStamp(tracker, AV_NOPTS_VALUE, AV_NOPTS_VALUE), int64_t(0));

    // Carried stamps that go backwards more often than dts: the dts wins.
    StampTracker reordered;
    QCOMPARE(choosePictureStamp(reordered, 3, 1), int64_t(1)); // equal counts: dts
    QCOMPARE(choosePictureStamp(reordered, 2, 2), int64_t(2)); // pts went back
    QCOMPARE(reordered.faulty_pts_count, int64_t(1));
    QCOMPARE(choosePictureStamp(reordered, 4, 3), int64_t(3));

    // Dts that go backwards: the carried stamps win.
    StampTracker broken;
    choosePictureStamp(broken, 1, 5);
    QCOMPARE(choosePictureStamp(broken, 2, 4), int64_t(2));
    QCOMPARE(broken.faulty_dts_count, int64_t(1));

    broken.reset();
    QCOMPARE(broken.last_pts_seen, AV_NOPTS_VALUE);
    QCOMPARE(broken.faulty_dts_count, int64_t(1)); // the counts survive a flush
}

void TestPlayerTiming::frameDelayCountsRepeats() {
    QVERIFY(qFuzzyCompare(frameDelay(25.0, 0), 0.04));
    QVERIFY(qFuzzyCompare(frameDelay(25.0, 1), 0.06));
    QVERIFY(qFuzzyCompare(frameDelay(0.0, 0), 0.04)); // unknown rate
}

void TestPlayerTiming::resumeShift_data() {
    QTest::addColumn<double>("now");
    QTest::addColumn<double>("shownPts");
    QTest::addColumn<double>("drift");
    QTest::addColumn<bool>("pinned");
    QTest::addColumn<double>("pauseStart");
    QTest::addColumn<double>("expected");
    // A picture pinned at wall time 1000 (pts 5): ten seconds later.
    QTest::newRow("after ten seconds") << 1010.0 << 5.0 << -995.0 << true << 1000.5 << 10.0;
    // Nothing shown yet: the pause itself, not the time since the epoch.
    QTest::newRow("before first picture") << 1010.0 << 0.0 << 0.0 << false << 1008.0 << 2.0;
    QTest::newRow("before first picture, no start") << 1010.0 << 0.0 << 0.0 << false << 0.0 << 0.0;
}

void TestPlayerTiming::resumeShift() {
    QFETCH(double, now);
    QFETCH(double, shownPts);
    QFETCH(double, drift);
    QFETCH(bool, pinned);
    QFETCH(double, pauseStart);
    QFETCH(double, expected);
    QCOMPARE(PlayerTiming::resumeShift(now, shownPts, drift, pinned, pauseStart), expected);
}

void TestPlayerTiming::publishedPositionFollowsPicturesWhenSoundLeads_data() {
    QTest::addColumn<bool>("hasAudio");
    QTest::addColumn<bool>("hasVideo");
    QTest::addColumn<double>("audio");
    QTest::addColumn<double>("video");
    QTest::addColumn<double>("expected");
    QTest::newRow("sound 1.5 s ahead") << true << true << 11.5 << 10.0 << 10.0;
    QTest::newRow("sound 0.9 s ahead") << true << true << 10.9 << 10.0 << 10.9;
    QTest::newRow("sound only") << true << false << 11.5 << 10.0 << 11.5;
    QTest::newRow("pictures only") << false << true << 0.0 << 10.0 << 10.0;
}

void TestPlayerTiming::publishedPositionFollowsPicturesWhenSoundLeads() {
    QFETCH(bool, hasAudio);
    QFETCH(bool, hasVideo);
    QFETCH(double, audio);
    QFETCH(double, video);
    QFETCH(double, expected);
    QVERIFY(qFuzzyCompare(publishedPosition(hasAudio, hasVideo, audio, video), expected));
}

void TestPlayerTiming::positionUpdatesAtMostEvery30ms() {
    QVERIFY(positionUpdateDue(0, 5));
    QVERIFY(!positionUpdateDue(1000000, 1010000));
    QVERIFY(positionUpdateDue(1000000, 1030000));
    QVERIFY(!positionUpdateDue(1000000, 900000)); // the clock went back
}

void TestPlayerTiming::displayPositionTakesTheStartOff_data() {
    QTest::addColumn<qint64>("start");
    QTest::addColumn<double>("expected");
    QTest::newRow("1.5 s") << qint64(1500000) << 8.5;
    QTest::newRow("0.53 s") << qint64(530000) << 9.47;
    QTest::newRow("5 s") << qint64(5000000) << 5.0;
    QTest::newRow("unknown") << qint64(AV_NOPTS_VALUE) << 10.0;
}

void TestPlayerTiming::displayPositionTakesTheStartOff() {
    QFETCH(qint64, start);
    QFETCH(double, expected);
    QCOMPARE(displayPosition(10.0, start), expected);
}

void TestPlayerTiming::sliderPercent_data() {
    QTest::addColumn<double>("position");
    QTest::addColumn<qint64>("duration");
    QTest::addColumn<int>("expected");
    QTest::newRow("half") << 60.0 << qint64(120000000) << 50;
    QTest::newRow("whole seconds of duration") << 1.0 << qint64(2900000) << 50;
    QTest::newRow("past the end") << 125.7 << qint64(120000000) << 100;
    QTest::newRow("negative") << -1.0 << qint64(120000000) << 0;
    QTest::newRow("under one second") << 0.4 << qint64(900000) << 0;
    QTest::newRow("zero") << 0.4 << qint64(0) << 0;
    QTest::newRow("unknown") << 3.0 << qint64(AV_NOPTS_VALUE) << 0;
}

void TestPlayerTiming::sliderPercent() {
    QFETCH(double, position);
    QFETCH(qint64, duration);
    QFETCH(int, expected);
    QCOMPARE(PlayerTiming::sliderPercent(position, duration), expected);
}

void TestPlayerTiming::sliderSeekAddsStartTime_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<qint64>("duration");
    QTest::addColumn<qint64>("start");
    QTest::addColumn<qint64>("expected");
    const qint64 unknown = AV_NOPTS_VALUE;
    // clang-format off
    QTest::newRow("no offset")        << 50 << qint64(12000000) << qint64(0)       << qint64(6000000);
    QTest::newRow("starts at 5 s")    << 50 << qint64(2000000)  << qint64(5000000) << qint64(6000000);
    QTest::newRow("unknown start")    << 25 << qint64(4000000)  << unknown         << qint64(1000000);
    QTest::newRow("unknown duration") << 50 << unknown          << qint64(1400000) << qint64(1400000);
    // clang-format on
}

void TestPlayerTiming::sliderSeekAddsStartTime() {
    QFETCH(int, value);
    QFETCH(qint64, duration);
    QFETCH(qint64, start);
    QFETCH(qint64, expected);
    QCOMPARE(sliderSeekTarget(value, duration, start), expected);
}

void TestPlayerTiming::previewTargetRect_data() {
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<QRectF>("expected");
    QTest::newRow("640x360") << QSize(640, 360) << QRectF(542, 174, 297, 167.0625);
    QTest::newRow("640x480") << QSize(640, 480) << QRectF(542, 146.5, 297, 222.75);
    QTest::newRow("480x640 fills the box") << QSize(480, 640) << QRectF(542, 139, 297, 237);
    QTest::newRow("no frame") << QSize() << QRectF(542, 139, 297, 237);
}

void TestPlayerTiming::previewTargetRect() {
    QFETCH(QSize, frame);
    QFETCH(QRectF, expected);
    QCOMPARE(PreviewGeometry::previewTargetRect(frame, QRectF(542, 139, 297, 237)), expected);
}

void TestPlayerTiming::previewPictureSizeMatchesPainting_data() {
    QTest::addColumn<QSize>("source");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("wide") << QSize(1280, 720) << QSize(297, 167);
    QTest::newRow("4:3") << QSize(320, 240) << QSize(297, 223);
    QTest::newRow("odd") << QSize(175, 97) << QSize(297, 165);
    QTest::newRow("portrait") << QSize(480, 640) << QSize(297, 237);
    QTest::newRow("no source") << QSize(0, 0) << QSize(297, 237);
}

void TestPlayerTiming::previewPictureSizeMatchesPainting() {
    QFETCH(QSize, source);
    QFETCH(QSize, expected);
    const QSize box(297, 237);
    const QSize size = previewPictureSize(source, box);
    QCOMPARE(size, expected);
    // The window paints the converted picture where it would have painted
    // the original one.
    if (!source.isEmpty()) {
        const QRectF boxRect(542, 139, 297, 237);
        const QRectF original = PreviewGeometry::previewTargetRect(source, boxRect);
        const QRectF converted = PreviewGeometry::previewTargetRect(size, boxRect);
        QVERIFY(qAbs(original.height() - converted.height()) < 1.0);
        QVERIFY(qAbs(original.y() - converted.y()) <= 1.0);
    }
}

QTEST_APPLESS_MAIN(TestPlayerTiming)
#include "tst_playertiming.moc"
