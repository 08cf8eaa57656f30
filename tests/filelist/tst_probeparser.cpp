#include <QtTest>

#include "filelist/probeparser.h"

// The probe reader on the transcoder's stream-line shapes. The real
// transcoder's text for real clips is checked in tst_transcodertext.
class TestProbeParser : public QObject {
    Q_OBJECT

private slots:
    void readsFields_data();
    void readsFields();
    void keepsFrameSizeOnItsLine();
    void judgesTheWholeTextOverAllPieces();
    void startsEveryProbeAfresh();
    void keepsTextIntact();
};

namespace {

const char *const kSample = "Input #0, avi, from 'clip.avi':\n"
                            "  Duration: 00:01:23.45, start: 0.000000, bitrate: 1234 kb/s\n"
                            "    Stream #0.0: Video: mpeg4, yuv420p, 640x480 [PAR 1:1 DAR 4:3], "
                            "25 tbr, 25 tbn, 25 tbc\n"
                            "    Stream #0.1: Audio: mp3, 44100 Hz, 2 channels, s16, 128 kb/s\n"
                            "At least one output file must be specified\n";

QString videoLine(const QString &fields) {
    return QStringLiteral("  Duration: 00:00:10.00, start: 0.000000, bitrate: 900 kb/s\n"
                          "    Stream #0.0: Video: ") +
           fields + QLatin1Char('\n');
}

} // namespace

void TestProbeParser::readsFields_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("hasVideo");
    QTest::addColumn<bool>("audioOnly");
    // duration, seconds, exact seconds, bitrate, video codec, frame size,
    // frame rate, display ratio, audio codec, audio bitrate
    QTest::addColumn<QStringList>("fields");

    const auto video = [](const char *codec, const char *size, const char *rate,
                          const char *ratio) {
        return QStringList{"00:00:10", "10", "10", "900", codec, size, rate, ratio, "", ""};
    };
    const QStringList nothing(10);
    // clang-format off
    QTest::newRow("video and audio") << QString::fromLatin1(kSample) << true << false
        << QStringList{"00:01:23", "83", "83.4", "1234", "mpeg4", "640x480", "25", "1.333", "mp3", "128"};
    QTest::newRow("16:9 bracket")
        << videoLine("h264, yuv420p, 1280x720 [PAR 1:1 DAR 16:9], 29.97 tbr, 90k tbn") << true << false
        << video("h264", "1280x720", "29.97", "1.778");
    QTest::newRow("no bracket")
        << videoLine("mpeg2video, yuv420p, 720x480, 29.97 tbr, 29.97 tbn, 59.94 tbc") << true << false
        << video("mpeg2video", "720x480", "29.97", "1.500");
    QTest::newRow("rate 100") << videoLine("mjpeg, yuvj422p, 320x240, 100 tbr, 100 tbn") << true << false
        << video("mjpeg", "320x240", "100", "1.333");
    QTest::newRow("rate 5") << videoLine("mjpeg, yuvj422p, 320x240, 5 tbr, 5 tbn") << true << false
        << video("mjpeg", "320x240", "5", "1.333");
    QTest::newRow("picture only leaves the sound fields empty")
        << videoLine("h264, yuv420p, 320x240 [PAR 1:1 DAR 4:3], 25 tbr, 12800 tbn") << true << false
        << video("h264", "320x240", "25", "1.333");
    QTest::newRow("unknown duration")
        << QStringLiteral("  Duration: N/A, start: 0.000000, bitrate: N/A\n"
                          "    Stream #0.0: Audio: mp2, 48000 Hz, 2 channels, s16p, 192 kb/s\n")
        << false << true << QStringList{"N/A", "", "", "N/A", "", "", "", "", "mp2", "192"};
    QTest::newRow("audio line without kb/s")
        << QStringLiteral("  Duration: 00:00:02.00, start: 0.000000, bitrate: 705 kb/s\n"
                          "    Stream #0.0: Audio: pcm_s16le, 44100 Hz, 1 channels, s16\n")
        << false << true << QStringList{"00:00:02", "2", "2", "705", "", "", "", "", "pcm_s16le", "705"};
    QTest::newRow("several streams with video: the last of each")
        << QStringLiteral("  Duration: 00:00:05.50, start: 0.000000, bitrate: 500 kb/s\n"
                          "    Stream #0.0: Video: h264, yuv420p, 320x240 [PAR 1:1 DAR 4:3], 25 tbr, 25 tbn\n"
                          "    Stream #0.1: Audio: aac, 44100 Hz, 2 channels, fltp, 96 kb/s\n"
                          "    Stream #0.2: Video: mpeg4, yuv420p, 640x360 [PAR 1:1 DAR 16:9], 30 tbr, 30 tbn\n"
                          "    Stream #0.3: Audio: ac3, 48000 Hz, 6 channels, fltp, 384 kb/s\n")
        << true << false
        << QStringList{"00:00:05", "5", "5.5", "500", "mpeg4", "640x360", "30", "1.778", "ac3", "384"};
    QTest::newRow("several sound tracks: the one marked default")
        << QStringLiteral("  Duration: 00:00:05.50, start: 0.000000, bitrate: 500 kb/s\n"
                          "    Stream #0.0: Video: h264, yuv420p, 320x240 [PAR 1:1 DAR 4:3], 25 tbr, 25 tbn\n"
                          "    Stream #0.1: Audio: aac, 44100 Hz, stereo, fltp, 96 kb/s (default)\n"
                          "    Stream #0.2: Audio: ac3, 48000 Hz, 5.1, fltp, 384 kb/s\n")
        << true << false
        << QStringList{"00:00:05", "5", "5.5", "500", "h264", "320x240", "25", "1.333", "aac", "96"};
    QTest::newRow("a hundred hours and more")
        << QStringLiteral("  Duration: 125:00:00.50, start: 0.000000, bitrate: 900 kb/s\n"
                          "    Stream #0.0: Video: h264, yuv420p, 320x240, 25 tbr\n")
        << true << false
        << QStringList{"125:00:00", "450000", "450000.5", "900", "h264", "320x240", "25", "1.333", "", ""};
    QTest::newRow("several streams, sound only: the first")
        << QStringLiteral("  Duration: 00:00:03.00, start: 0.000000, bitrate: 300 kb/s\n"
                          "    Stream #0.0: Audio: vorbis, 44100 Hz, 2 channels, fltp, 112 kb/s\n"
                          "    Stream #0.1: Audio: opus, 48000 Hz, 2 channels, fltp, 64 kb/s\n")
        << false << true << QStringList{"00:00:03", "3", "3", "300", "", "", "", "", "vorbis", "112"};
    QTest::newRow("not media")
        << QStringLiteral("notmedia.mp4: Invalid data found when processing input\n") << false << false << nothing;
    QTest::newRow("streams but no duration")
        << QStringLiteral("    Stream #0.0: Video: h264, yuv420p, 320x240, 25 tbr\n") << false << false << nothing;
    QTest::newRow("empty") << QString() << false << false << nothing;
    // clang-format on
}

void TestProbeParser::readsFields() {
    QFETCH(QString, text);
    const ProbeResult r = ProbeParser::parse(text);
    QTEST(r.hasVideo, "hasVideo");
    QTEST(r.audioOnly, "audioOnly");
    QTEST((QStringList{r.probedDuration, r.probedSeconds, r.probedSecondsExact, r.probedBitrate,
                       r.probedVideoCodec, r.probedFrameSize, r.probedFrameRate,
                       r.probedDisplayRatio, r.probedAudioCodec, r.probedAudioBitrate}),
          "fields");
    QVERIFY(r.probedFileMegabytes.isEmpty());
    QVERIFY(r.targetFrameSize.isEmpty());
}

void TestProbeParser::keepsFrameSizeOnItsLine() {
    // A video line without bracket or closing comma, and a "[" further down:
    // the size must not run over into the next lines.
    const QString text =
        QStringLiteral("  Duration: 00:00:02.00, start: 0.000000, bitrate: 400 kb/s\n"
                       "    Stream #0.0: Video: h264, yuv420p, 320x240\n"
                       "    Stream #0.1: Audio: aac [mp4a], 44100 Hz, 2 channels, fltp, 96 kb/s\n");
    const ProbeResult result = ProbeParser::parse(text);
    QCOMPARE(result.probedFrameSize, QStringLiteral("320x240"));
    QCOMPARE(result.probedDisplayRatio, QStringLiteral("1.333"));
    QCOMPARE(result.probedAudioBitrate, QStringLiteral("96"));
}

void TestProbeParser::judgesTheWholeTextOverAllPieces() {
    const QByteArray text(kSample);
    const ProbeResult whole = ProbeParser::parse(QString::fromLatin1(text));
    for (int cut = 1; cut < text.size(); ++cut) {
        ProbeParser parser;
        parser.append(text.left(cut));
        parser.append(text.mid(cut));
        const ProbeResult pieces = parser.result();
        QVERIFY2(pieces.hasVideo, qPrintable(QString::number(cut)));
        QCOMPARE(pieces.probedDuration, whole.probedDuration);
        QCOMPARE(pieces.probedFrameSize, whole.probedFrameSize);
        QCOMPARE(pieces.probedFrameRate, whole.probedFrameRate);
        QCOMPARE(pieces.probedAudioCodec, whole.probedAudioCodec);
        QCOMPARE(pieces.probedAudioBitrate, whole.probedAudioBitrate);
    }
}

void TestProbeParser::startsEveryProbeAfresh() {
    ProbeParser parser;
    parser.append(kSample);
    QVERIFY(parser.result().hasVideo);

    // A picture-only file after a file with sound: no sound fields carried.
    parser.reset();
    parser.append(videoLine("h264, yuv420p, 320x240, 25 tbr").toLatin1());
    ProbeResult next = parser.result();
    QVERIFY(next.hasVideo);
    QVERIFY(next.probedAudioCodec.isEmpty());
    QVERIFY(next.probedAudioBitrate.isEmpty());

    // A failed probe (nothing at all) keeps nothing of the last file.
    parser.reset();
    next = parser.result();
    QVERIFY(!next.isMedia());
    QVERIFY(next.probedDuration.isEmpty());
    QVERIFY(next.probedSeconds.isEmpty());
    QVERIFY(next.probedSecondsExact.isEmpty());
}

void TestProbeParser::keepsTextIntact() {
    // A non-Latin file name cut in the middle of a character by the pipe,
    // and a NUL byte: neither loses the text behind it.
    const QByteArray head = QStringLiteral("Input #0, mov, from '日本語 ファイル.mp4':\n").toUtf8();
    ProbeParser parser;
    parser.append(head.left(25));
    parser.append(head.mid(25));
    parser.append(QByteArray("\0", 1));
    parser.append(kSample);
    QVERIFY(parser.text().contains(QStringLiteral("日本語 ファイル.mp4")));
    QCOMPARE(parser.result().probedFrameSize, QStringLiteral("640x480"));
}

QTEST_APPLESS_MAIN(TestProbeParser)
#include "tst_probeparser.moc"
