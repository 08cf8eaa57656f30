#include <QtTest>

#include "conversion/progressparser.h"
#include "filelist/outputname.h"

class TestProgressParser : public QObject {
    Q_OBJECT

private slots:
    void readsTime_data();
    void readsTime();
    void readsLineKinds_data();
    void readsLineKinds();
    void joinsLinesSplitAcrossPieces();
    void takesTheLastReadingOfAPiece();
    void flushesTheUnterminatedLastLine();
    void readsTheNameTheOutputWasSavedAs();
};

void TestProgressParser::readsTime_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("found");
    QTest::addColumn<double>("seconds");

    QTest::newRow("seconds") << "frame=  250 fps= 50 q=2.0 size=    1024kB time=10.00 "
                                "bitrate= 838.9kbits/s"
                             << true << 10.0;
    QTest::newRow("fraction") << "size=  12kB time=49.36 bitrate= 1.0kbits/s" << true << 49.36;
    QTest::newRow("audio only, no frame=")
        << "size=     313kB time=1234.56 bitrate= 2.1kbits/s" << true << 1234.56;
    QTest::newRow("clock style") << "frame=  124 fps=0.0 q=28.0 size=       0kB "
                                    "time=00:01:05.22 bitrate=   0.1kbits/s speed=9.89x"
                                 << true << 65.22;
    QTest::newRow("at the line's end") << "size=  1kB time=7.50" << true << 7.5;
    QTest::newRow("last of two") << "time=1.00 time=2.50 bitrate=1" << true << 2.5;
    QTest::newRow("not available") << "size=N/A time=N/A bitrate=N/A" << false << 0.0;
    QTest::newRow("negative clock") << "time=-00:00:00.04 bitrate=N/A" << true << 0.0;
    QTest::newRow("no time") << "Press [q] to stop, [?] for help" << false << 0.0;
}

void TestProgressParser::readsTime() {
    QFETCH(QString, line);
    QFETCH(bool, found);
    double read = -1.0;
    QCOMPARE(ProgressParser::readTime(line, &read), found);
    if (found) {
        QFETCH(double, seconds);
        QVERIFY2(qAbs(read - seconds) < 1e-6, qPrintable(QString::number(read)));
    }
    const ProgressReport report = ProgressParser::readLine(line);
    QCOMPARE(report.hasTime, found);
}

void TestProgressParser::readsLineKinds_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("fileEnded");
    QTest::addColumn<bool>("decodeError");
    QTest::addColumn<bool>("writeFailed");
    QTest::addColumn<bool>("diskFull");

    QTest::newRow("summary") << "video:1800kB audio:400kB global headers:0kB muxing overhead 1.234%"
                             << true << false << false << false;
    QTest::newRow("summary, current shape")
        << "video:126kB audio:313kB subtitle:0kB other streams:0kB global headers:0kB muxing "
           "overhead: 4.049134%"
        << true << false << false << false;
    QTest::newRow("three words beside a progress reading")
        << "time=10.00 video:1800kB audio:400kB muxing overhead 1.234%" << false << false << false
        << false;
    QTest::newRow("overhead alone")
        << "muxing overhead: unknown" << true << false << false << false;
    QTest::newRow("decoding error")
        << "Error while decoding stream #0:1: Invalid data found when processing input" << false
        << true << false << false;
    QTest::newRow("write refused") << "av_interleaved_write_frame(): Operation not permitted"
                                   << false << false << true << false;
    QTest::newRow("disk full") << "Error writing trailer of /out/x.mp4: No space left on device"
                               << false << false << true << true;
    QTest::newRow("progress") << "frame= 25 fps=0.0 q=2.0 size= 10kB time=1.00 bitrate=81.9kbits/s"
                              << false << false << false << false;
}

void TestProgressParser::readsLineKinds() {
    QFETCH(QString, line);
    const ProgressReport report = ProgressParser::readLine(line);
    QTEST(report.fileEnded, "fileEnded");
    QTEST(report.decodeError, "decodeError");
    QTEST(report.writeFailed, "writeFailed");
    QTEST(report.diskFull, "diskFull");
}

void TestProgressParser::joinsLinesSplitAcrossPieces() {
    const QByteArray text = "frame=  1 fps=0.0 q=2.0 size= 1kB time=0.04 bitrate=1.0kbits/s\r"
                            "frame= 50 fps=0.0 q=2.0 size= 9kB time=12.34 bitrate=1.0kbits/s\r"
                            "video:10kB audio:3kB subtitle:0kB other streams:0kB global "
                            "headers:0kB muxing overhead: 4.0%\n";
    // Every cut into two pieces and a stream of three-byte pieces.
    for (int cut = 1; cut < text.size(); ++cut) {
        ProgressParser parser;
        ProgressReport report = parser.feed(text.left(cut));
        report.merge(parser.feed(text.mid(cut)));
        QVERIFY2(report.fileEnded, qPrintable(QString::number(cut)));
        QCOMPARE(report.seconds, 12.34);
    }
    ProgressParser parser;
    ProgressReport report;
    for (int at = 0; at < text.size(); at += 3)
        report.merge(parser.feed(text.mid(at, 3)));
    QVERIFY(report.fileEnded);
    QCOMPARE(report.seconds, 12.34);

    // A piece that ends inside a reading gives no reading of a half number.
    ProgressParser half;
    QVERIFY(!half.feed("frame= 50 time=12.3").hasTime);
    const ProgressReport rest = half.feed("4 bitrate=1.0\r");
    QVERIFY(rest.hasTime);
    QCOMPARE(rest.seconds, 12.34);
}

void TestProgressParser::takesTheLastReadingOfAPiece() {
    ProgressParser parser;
    const ProgressReport report =
        parser.feed("size= 1kB time=3.00 bitrate=1\rsize= 2kB time=4.50 bitrate=1\r"
                    "Error while decoding stream #0:0: Invalid data\n");
    QVERIFY(report.hasTime);
    QCOMPARE(report.seconds, 4.5);
    QVERIFY(report.decodeError);
}

void TestProgressParser::flushesTheUnterminatedLastLine() {
    ProgressParser parser;
    QVERIFY(!parser.feed("video:1kB audio:1kB global headers:0kB muxing overhead 1%").fileEnded);
    QVERIFY(parser.flush().fileEnded);
    QVERIFY(!parser.flush().fileEnded);

    parser.feed("time=5.00");
    parser.reset();
    QVERIFY(!parser.flush().hasTime);
}

void TestProgressParser::readsTheNameTheOutputWasSavedAs() {
    // A name may hold line breaks, "%" and the words of a failure: still one
    // line, still only a name.
    const QString name = "No space left on device 50%0A\r\nx.avi";
    ProgressParser parser;
    const QByteArray summary = "video:1kB audio:1kB global headers:0kB muxing overhead 1%\n";
    const ProgressReport report =
        parser.feed(OutputName::savedAsLine(name).toUtf8() + "\n" + summary);
    QCOMPARE(report.savedAs, name);
    QVERIFY(report.fileEnded);
    QVERIFY(!report.writeFailed && !report.diskFull);
    // Never a path elsewhere.
    QCOMPARE(ProgressParser::readLine(OutputName::savedAsLine("../x.avi")).savedAs, QString());
}

QTEST_APPLESS_MAIN(TestProgressParser)
#include "tst_progressparser.moc"
