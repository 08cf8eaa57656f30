#include <QtTest>

#include "probereading.h"

namespace {

struct Run {
    int exitCode = -1;
    QString text;
};

Run probe(const QString &path) {
    QProcess p;
    p.start(qEnvironmentVariable("QUILLORA_STAGE_DIR") + "/korvex", {"-i", path});
    Run run;
    if (!p.waitForFinished(30000))
        return run;
    run.exitCode = p.exitCode();
    run.text = QString::fromUtf8(p.readAllStandardError());
    return run;
}

QString media(const QString &name) {
    return qEnvironmentVariable("QUILLORA_TEST_MEDIA") + "/" + name;
}

bool isPositiveInteger(const QString &text) {
    bool ok = false;
    return text.toInt(&ok) > 0 && ok;
}

} // namespace

class TestKorvexProbe : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void givesTheReaderEveryField_data();
    void givesTheReaderEveryField();
    void turnsAwayWhatIsNotMedia_data();
    void turnsAwayWhatIsNotMedia();
};

void TestKorvexProbe::initTestCase() {
    QVERIFY(QFileInfo(qEnvironmentVariable("QUILLORA_STAGE_DIR") + "/korvex").isExecutable());
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
    const QString none;
    QTest::newRow("mp4") << "av.mp4"
                         << "2"
                         << "h264"
                         << "320x240"
                         << "25"
                         << "1.333"
                         << "aac";
    QTest::newRow("avi") << "av.avi"
                         << "2"
                         << "mpeg4"
                         << "320x240"
                         << "25"
                         << "1.333"
                         << "mp3";
    QTest::newRow("mkv") << "av.mkv"
                         << "2"
                         << "h264"
                         << "320x240"
                         << "25"
                         << "1.333"
                         << "vorbis";
    QTest::newRow("flv, sound first") << "av.flv"
                                      << "2"
                                      << "flv1"
                                      << "320x240"
                                      << "25"
                                      << "1.333"
                                      << "mp3";
    QTest::newRow("wmv") << "av.wmv"
                         << "2"
                         << "wmv2"
                         << "320x240"
                         << "25"
                         << "1.333"
                         << "wmav2";
    QTest::newRow("mpg") << "av.mpg"
                         << "2"
                         << "mpeg2video"
                         << "320x240"
                         << "25"
                         << "1.333"
                         << "mp2";
    QTest::newRow("mov") << "av.mov"
                         << "2"
                         << "mpeg4"
                         << "320x240"
                         << "25"
                         << "1.333"
                         << "aac";
    QTest::newRow("wide") << "wide.mp4"
                          << "2"
                          << "h264"
                          << "640x360"
                          << "25"
                          << "1.778"
                          << "aac";
    QTest::newRow("long") << "long.mp4"
                          << "12"
                          << "h264"
                          << "320x240"
                          << "25"
                          << "1.333"
                          << "aac";
    QTest::newRow("mp3") << "audio.mp3"
                         << "2" << none << none << none << none << "mp3";
    QTest::newRow("wav mono") << "audio.wav"
                              << "2" << none << none << none << none << "pcm_s16le";
    QTest::newRow("ogg") << "audio.ogg"
                         << "2" << none << none << none << none << "vorbis";
    QTest::newRow("m4a") << "audio.m4a"
                         << "2" << none << none << none << none << "aac";
    QTest::newRow("ac3 5.1") << "surround.ac3"
                             << "2" << none << none << none << none << "ac3";
    QTest::newRow("mp4 5.1") << "surround.mp4"
                             << "2"
                             << "h264"
                             << "320x240"
                             << "25"
                             << "1.333"
                             << "aac";
    QTest::newRow("picture only") << "video-only.mp4"
                                  << "2"
                                  << "h264"
                                  << "320x240"
                                  << "25"
                                  << "1.333" << none;
    QTest::newRow("odd avi") << "odd.avi"
                             << "2"
                             << "mjpeg"
                             << "175x97"
                             << "25"
                             << "1.804"
                             << "pcm_s16le";
    QTest::newRow("odd mp4") << "odd.mp4"
                             << "2"
                             << "h264"
                             << "174x98"
                             << "30"
                             << "1.776" << none;
    QTest::newRow("late start") << "offset.ts"
                                << "2"
                                << "mpeg2video"
                                << "320x240"
                                << "25"
                                << "1.333"
                                << "mp2";
    QTest::newRow("blank") << "with space.mp4"
                           << "2"
                           << "h264"
                           << "320x240"
                           << "25"
                           << "1.333"
                           << "aac";
    QTest::newRow("single quote") << "quote'single.mp4"
                                  << "2"
                                  << "h264"
                                  << "320x240"
                                  << "25"
                                  << "1.333"
                                  << "aac";
    QTest::newRow("double quote") << "quote\"double.mp4"
                                  << "2"
                                  << "h264"
                                  << "320x240"
                                  << "25"
                                  << "1.333"
                                  << "aac";
    QTest::newRow("non-Latin") << "日本語 ファイル.mp4"
                               << "2"
                               << "h264"
                               << "320x240"
                               << "25"
                               << "1.333"
                               << "aac";
}

void TestKorvexProbe::givesTheReaderEveryField() {
    QFETCH(QString, clip);
    QFETCH(QString, seconds);
    QFETCH(QString, videoCodec);
    QFETCH(QString, frameSize);
    QFETCH(QString, frameRate);
    QFETCH(QString, ratio);
    QFETCH(QString, audioCodec);

    const Run run = probe(media(clip));
    QCOMPARE(run.exitCode, 0);
    // One write below the pipe's atomic size: the reader gets it in one chunk.
    QVERIFY(run.text.toUtf8().size() < 4096);
    const ProbeReading r = ProbeReader::read(run.text);
    QCOMPARE(r.hasVideo, !videoCodec.isEmpty());
    QCOMPARE(r.audioOnly, videoCodec.isEmpty());
    QCOMPARE(r.seconds, seconds);
    QCOMPARE(r.duration, QString("00:00:%1").arg(seconds.toInt(), 2, 10, QChar('0')));
    QVERIFY2(qAbs(r.secondsExact.toDouble() - seconds.toDouble()) <= 0.1,
             qPrintable(r.secondsExact));
    QVERIFY2(isPositiveInteger(r.bitrate), qPrintable(run.text));
    QCOMPARE(r.videoCodec, videoCodec);
    QCOMPARE(r.frameSize, frameSize);
    QCOMPARE(r.frameRate, frameRate);
    QCOMPARE(r.displayRatio, ratio);
    if (!audioCodec.isEmpty() || videoCodec.isEmpty()) {
        QCOMPARE(r.audioCodec, audioCodec);
        // Where the stream does not say, the overall bitrate stands in.
        QVERIFY2(isPositiveInteger(r.audioBitrate), qPrintable(run.text));
    }
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
    const Run run = probe(path);
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.text.contains(path + ": " + message), qPrintable(run.text));
    QVERIFY(!run.text.contains("Duration:"));
    const ProbeReading r = ProbeReader::read(run.text);
    QVERIFY(!r.hasVideo && !r.audioOnly);
}

QTEST_GUILESS_MAIN(TestKorvexProbe)
#include "tst_korvexprobe.moc"
