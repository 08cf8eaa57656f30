#include <QtTest>

#include "korvextestsupport.h"
#include "transcoderlog.h"

using KorvexTest::readTime;

namespace {

QByteArray joined(const QList<QByteArray> &lines) {
    QByteArray all;
    for (const QByteArray &l : lines)
        all += l;
    return all;
}

} // namespace

class TestTranscoderLog : public QObject {
    Q_OBJECT

private slots:
    void rewritesTheClock_data();
    void rewritesTheClock();
    void rewritesTheSummary();
    void passesOnWhatTheReaderNeeds();
    void joinsLinesSplitAcrossReads();
    void countsTheFailures();
};

void TestTranscoderLog::rewritesTheClock_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("expected");
    // clang-format off
    QTest::newRow("seconds")
        << QByteArray("frame=  124 fps=0.0 q=28.0 size=       0kB time=00:00:05.22 bitrate=   0.1kbits/s speed=9.89x    ")
        << QByteArray("frame=  124 fps=0.0 q=28.0 size=       0kB time=5.22 bitrate=   0.1kbits/s speed=9.89x");
    QTest::newRow("hours")
        << QByteArray("size=    1024kB time=01:02:03.40 bitrate= 838.9kbits/s")
        << QByteArray("size=    1024kB time=3723.40 bitrate= 838.9kbits/s");
    QTest::newRow("before zero")
        << QByteArray("frame=    0 fps=0.0 q=0.0 size=       0kB time=-00:00:00.04 bitrate=N/A")
        << QByteArray("frame=    0 fps=0.0 q=0.0 size=       0kB time=0.00 bitrate=N/A");
    QTest::newRow("no time yet")
        << QByteArray("frame=    0 fps=0.0 q=0.0 size=       0kB time=N/A bitrate=N/A") << QByteArray();
    // clang-format on
}

void TestTranscoderLog::rewritesTheClock() {
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, expected);
    const QByteArray rewritten = TranscoderLog::rewriteProgress(line);
    QCOMPARE(rewritten, expected);
    if (!expected.isEmpty()) {
        const double seconds =
            QString::fromLatin1(expected).section("time=", 1).section(' ', 0, 0).toDouble();
        QVERIFY(qAbs(readTime(rewritten) - seconds) < 0.001);
    }
}

void TestTranscoderLog::rewritesTheSummary() {
    QCOMPARE(TranscoderLog::rewriteSummary("video:126kB audio:313kB subtitle:0kB other streams:0kB "
                                           "global headers:0kB muxing overhead: 4.049134%"),
             QByteArray("video:126kB audio:313kB global headers:0kB muxing overhead 4.049134%"));
}

void TestTranscoderLog::passesOnWhatTheReaderNeeds() {
    TranscoderLog log;
    const QByteArray text =
        "[info] Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'file:/media/a.mp4':\n"
        "[info]   Duration: 00:00:02.00, start: 0.000000, bitrate: 805 kb/s\n"
        "[info]   Stream #0:0[0x1](und): Video: h264 (High) (avc1 / 0x31637661), "
        "yuv420p(progressive)\n"
        "[mpeg @ 0x5563] [warning] VBV buffer size not set, using default size of 230KB\n"
        "Like DVD, VCD or others, make sure you set the correct buffer size\n"
        "[info] frame=    1 fps=0.0 q=3.5 size=       0kB time=00:00:00.27 bitrate=   1.3kbits/s "
        "speed=4.42x    \r"
        "[info] frame=   50 fps=0.0 q=14.2 Lsize=     151kB time=00:00:02.02 bitrate= 610.7kbits/s "
        "speed=12x    \n"
        "[info] video:116kB audio:32kB subtitle:0kB other streams:0kB global headers:0kB muxing "
        "overhead: 1.812900%\n"
        "[aac @ 0x5564ec25d700] [info] Qavg: 919.854\n";
    const QList<QByteArray> lines = log.feed(text.constData(), text.size());
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(0),
             QByteArray("[mpeg @ 0x5563] VBV buffer size not set, using default size of 230KB\n"));
    QCOMPARE(lines.at(1),
             QByteArray("Like DVD, VCD or others, make sure you set the correct buffer size\n"));
    QCOMPARE(lines.at(2), QByteArray("frame=    1 fps=0.0 q=3.5 size=       0kB time=0.27 bitrate= "
                                     "  1.3kbits/s speed=4.42x\n"));
    // The stream descriptions would read as probe text: nothing of them passes.
    const QByteArray all = joined(lines);
    QVERIFY(!all.contains("Duration:") && !all.contains("Video:"));
    QCOMPARE(log.finalProgress(), QByteArray("frame=   50 fps=0.0 q=14.2 Lsize=     151kB "
                                             "time=2.02 bitrate= 610.7kbits/s speed=12x"));
    QVERIFY(qAbs(readTime(log.finalProgress()) - 2.02) < 0.001);
    QCOMPARE(log.summary(),
             QByteArray("video:116kB audio:32kB global headers:0kB muxing overhead 1.812900%"));
    QCOMPARE(log.decodeErrors(), 0);
}

void TestTranscoderLog::joinsLinesSplitAcrossReads() {
    TranscoderLog log;
    auto feed = [&](const QByteArray &bytes) { return log.feed(bytes.constData(), bytes.size()); };
    QList<QByteArray> out = feed("[info] frame=  12 fps=0.0 q=2.0 size=  10kB ti");
    QVERIFY(out.isEmpty());
    out = feed("me=00:00:00.48 bitrate= 170.7kbits/s\r[err");
    QCOMPARE(out.size(), 1);
    QVERIFY(qAbs(readTime(out.first()) - 0.48) < 0.001);
    out = feed("or] Conversion failed!");
    QVERIFY(out.isEmpty());
    out = log.finish();
    QCOMPARE(out, QList<QByteArray>{"Conversion failed!\n"});
}

void TestTranscoderLog::countsTheFailures() {
    TranscoderLog log;
    const QByteArray text =
        "[mov,mp4,m4a,3gp,3g2,mj2 @ 0x56] [error] stream 0, offset 0x6b5ac: partial file\n"
        "[error] Error while decoding stream #0:0: Invalid data found when processing input\n"
        "[error] Error while decoding stream #0:1: Invalid data found when processing input\n"
        "[mp4 @ 0x77] [error] Error writing trailer of file:/out/.a.mp4.korvex-9.part: No space "
        "left on device\n";
    const QList<QByteArray> lines = log.feed(text.constData(), text.size());
    QCOMPARE(lines.size(), 4); // errors pass through as ffmpeg wrote them
    QCOMPARE(
        lines.at(1),
        QByteArray("Error while decoding stream #0:0: Invalid data found when processing input\n"));
    QVERIFY(log.partialFile());
    QCOMPARE(log.decodeErrors(), 2);
    QVERIFY(log.writeFailure());
    QVERIFY(log.writeError().contains("No space left on device"));
}

QTEST_APPLESS_MAIN(TestTranscoderLog)
#include "tst_transcoderlog.moc"
