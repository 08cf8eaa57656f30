#include <QtTest>

#include "conversion/probeparser.h"
#include "korvextestsupport.h"

using namespace KorvexTest;

// The staged korvex's probe text, read by the main program's own reader: the
// fields it pulls out are the contract, not korvex's idea of them.
class TestKorvexProbe : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void givesTheReaderEveryField_data();
    void givesTheReaderEveryField();
    void readsAHundredHoursAndMore();
    void turnsAwayWhatIsNotMedia_data();
    void turnsAwayWhatIsNotMedia();
};

void TestKorvexProbe::initTestCase() {
    QVERIFY(QFileInfo(korvex()).isExecutable());
    QVERIFY(QFileInfo::exists(media(".complete")));
}

void TestKorvexProbe::givesTheReaderEveryField_data() {
    QTest::addColumn<QString>("clip");
    QTest::addColumn<QString>("seconds");
    QTest::addColumn<QString>("videoCodec");
    QTest::addColumn<QString>("frameSize");
    QTest::addColumn<QString>("frameRate");
    QTest::addColumn<QString>("ratio");
    QTest::addColumn<QString>("audioCodec");
    const QString no;
    // clang-format off
    QTest::newRow("mp4")              << "av.mp4"            << "2"  << "h264"       << "320x240" << "25" << "1.333" << "aac";
    QTest::newRow("avi")              << "av.avi"            << "2"  << "mpeg4"      << "320x240" << "25" << "1.333" << "mp3";
    QTest::newRow("mkv")              << "av.mkv"            << "2"  << "h264"       << "320x240" << "25" << "1.333" << "vorbis";
    QTest::newRow("flv, sound first") << "av.flv"            << "2"  << "flv1"       << "320x240" << "25" << "1.333" << "mp3";
    QTest::newRow("wmv")              << "av.wmv"            << "2"  << "wmv2"       << "320x240" << "25" << "1.333" << "wmav2";
    QTest::newRow("mpg")              << "av.mpg"            << "2"  << "mpeg2video" << "320x240" << "25" << "1.333" << "mp2";
    QTest::newRow("mov")              << "av.mov"            << "2"  << "mpeg4"      << "320x240" << "25" << "1.333" << "aac";
    QTest::newRow("wide")             << "wide.mp4"          << "2"  << "h264"       << "640x360" << "25" << "1.778" << "aac";
    QTest::newRow("long")             << "long.mp4"          << "12" << "h264"       << "320x240" << "25" << "1.333" << "aac";
    QTest::newRow("mp3")              << "audio.mp3"         << "2"  << no << no << no << no << "mp3";
    QTest::newRow("wav mono")         << "audio.wav"         << "2"  << no << no << no << no << "pcm_s16le";
    QTest::newRow("ogg")              << "audio.ogg"         << "2"  << no << no << no << no << "vorbis";
    QTest::newRow("m4a")              << "audio.m4a"         << "2"  << no << no << no << no << "aac";
    QTest::newRow("ac3 5.1")          << "surround.ac3"      << "2"  << no << no << no << no << "ac3";
    QTest::newRow("mp4 5.1")          << "surround.mp4"      << "2"  << "h264"       << "320x240" << "25" << "1.333" << "aac";
    QTest::newRow("picture only")     << "video-only.mp4"    << "2"  << "h264"       << "320x240" << "25" << "1.333" << no;
    QTest::newRow("odd avi")          << "odd.avi"           << "2"  << "mjpeg"      << "175x97"  << "25" << "1.804" << "pcm_s16le";
    QTest::newRow("odd mp4")          << "odd.mp4"           << "2"  << "h264"       << "174x98"  << "30" << "1.776" << no;
    QTest::newRow("late start")       << "offset.ts"         << "2"  << "mpeg2video" << "320x240" << "25" << "1.333" << "mp2";
    QTest::newRow("two tracks: the default one, not the one with more channels")
                                      << "two-tracks.mkv"    << "2"  << "h264"       << "160x120" << "25" << "1.333" << "flac";
    QTest::newRow("blank")            << "with space.mp4"    << "2"  << "h264"       << "320x240" << "25" << "1.333" << "aac";
    QTest::newRow("single quote")     << "quote'single.mp4"  << "2"  << "h264"       << "320x240" << "25" << "1.333" << "aac";
    QTest::newRow("double quote")     << "quote\"double.mp4" << "2"  << "h264"       << "320x240" << "25" << "1.333" << "aac";
    QTest::newRow("non-Latin")        << "日本語 ファイル.mp4" << "2"  << "h264"       << "320x240" << "25" << "1.333" << "aac";
    // clang-format on
}

void TestKorvexProbe::givesTheReaderEveryField() {
    QFETCH(QString, clip);
    QFETCH(QString, seconds);
    QFETCH(QString, videoCodec);
    QFETCH(QString, audioCodec);

    const Run probe = runKorvex({"-i", media(clip)}, 30000);
    QCOMPARE(probe.exitCode, 0);
    // One write below the pipe's atomic size: the reader gets it in one chunk.
    QVERIFY(probe.text.toUtf8().size() < 4096);
    const ProbeResult r = ProbeParser::parse(probe.text);
    QCOMPARE(r.hasVideo, !videoCodec.isEmpty());
    QCOMPARE(r.audioOnly, videoCodec.isEmpty());
    QCOMPARE(r.probedSeconds, seconds);
    QCOMPARE(r.probedDuration, QString("00:00:%1").arg(seconds.toInt(), 2, 10, QChar('0')));
    QVERIFY2(qAbs(r.probedSecondsExact.toDouble() - seconds.toDouble()) <= 0.1,
             qPrintable(r.probedSecondsExact));
    QVERIFY2(r.probedBitrate.toInt() > 0, qPrintable(probe.text));
    QCOMPARE(r.probedVideoCodec, videoCodec);
    QTEST(r.probedFrameSize, "frameSize");
    QTEST(r.probedFrameRate, "frameRate");
    QTEST(r.probedDisplayRatio, "ratio");
    if (!audioCodec.isEmpty() || videoCodec.isEmpty()) {
        QCOMPARE(r.probedAudioCodec, audioCodec);
        // Where the stream does not say, the overall bitrate stands in.
        QVERIFY2(r.probedAudioBitrate.toInt() > 0, qPrintable(probe.text));
    }
}

void TestKorvexProbe::readsAHundredHoursAndMore() {
    const Run probe = runKorvex({"-i", media("hours.mkv")}, 30000);
    QCOMPARE(probe.exitCode, 0);
    const ProbeResult r = ProbeParser::parse(probe.text);
    QCOMPARE(r.probedDuration, QString("125:00:01"));
    QCOMPARE(r.probedSeconds, QString("450001"));
    QCOMPARE(r.probedSecondsExact.toDouble(), 450001.0);
}

void TestKorvexProbe::turnsAwayWhatIsNotMedia_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message");
    QTest::newRow("text") << media("notmedia.mp4") << "Invalid data found when processing input";
    QTest::newRow("empty") << media("empty.mp4") << "Invalid data found when processing input";
    // Cut short behind an intact header: its own index points past its end.
    QTest::newRow("truncated") << media("broken.mp4") << "partial file";
    QTest::newRow("missing") << media("no such clip.mp4") << "No such file or directory";
    QTest::newRow("folder") << media("") << "Is a directory";
}

void TestKorvexProbe::turnsAwayWhatIsNotMedia() {
    QFETCH(QString, path);
    QFETCH(QString, message);
    const Run probe = runKorvex({"-i", path}, 30000);
    QCOMPARE(probe.exitCode, 1);
    QVERIFY2(probe.text.contains(path + ": " + message), qPrintable(probe.text));
    QVERIFY(!probe.text.contains("Duration:"));
    QVERIFY(!ProbeParser::parse(probe.text).isMedia());
}

QTEST_GUILESS_MAIN(TestKorvexProbe)
#include "tst_korvexprobe.moc"
