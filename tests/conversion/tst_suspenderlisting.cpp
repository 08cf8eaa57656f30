#include <QtTest>

#include "conversion/suspenderlisting.h"

class TestSuspenderListing : public QObject {
    Q_OBJECT

private slots:
    void findsTheIdentifier_data();
    void findsTheIdentifier();
    void readsTheResumeCount_data();
    void readsTheResumeCount();
    void findsAProcessInTheRealListing();
};

namespace {

// The suspender's line: "PID", the identifier right-aligned in seven
// columns, the name glued to it.
QString line(int pid, const QString &name) {
    return QStringLiteral("PID %1%2\n").arg(pid, 7).arg(name);
}

} // namespace

void TestSuspenderListing::findsTheIdentifier_data() {
    QTest::addColumn<QString>("listing");
    QTest::addColumn<QString>("pid");

    const QString before = line(1, "systemd") + line(412, "bash");
    QTest::newRow("four digits") << before + line(4242, "korvex") << "4242";
    QTest::newRow("five digits") << before + line(48213, "korvex") << "48213";
    QTest::newRow("six digits") << before + line(123456, "korvex") << "123456";
    QTest::newRow("seven digits") << before + line(4194304, "korvex") << "4194304";
    QTest::newRow("one digit") << line(7, "korvex") << "7";
    QTest::newRow("first in the listing") << line(1234567, "korvex") + before << "1234567";
    QTest::newRow("at the very start, no key") << "1234567korvex\n"
                                               << "1234567";
    QTest::newRow("blank-separated, Windows name") << "Image Name  PID\nPID 4096 korvex.exe\n"
                                                   << "4096";
    QTest::newRow("look-alike names are not the transcoder")
        << before + line(3000, "tst_korvex") + line(3001, "korvex_core") + line(3002, "korvex")
        << "3002";
    QTest::newRow("no transcoder") << before << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestSuspenderListing::findsTheIdentifier() {
    QFETCH(QString, listing);
    QTEST(Suspender::findTranscoderPid(listing), "pid");
}

void TestSuspenderListing::readsTheResumeCount_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("count");
    QTest::newRow("one") << "1\n" << 1;
    QTest::newRow("three") << " 3 \n" << 3;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("text") << "haltwick: no such process\n" << 0;
    QTest::newRow("nothing") << "" << 0;
}

void TestSuspenderListing::readsTheResumeCount() {
    QFETCH(QString, text);
    QTEST(Suspender::resumeCount(text), "count");
}

void TestSuspenderListing::findsAProcessInTheRealListing() {
    const QString haltwick = qEnvironmentVariable("QUILLORA_STAGE_DIR") + "/haltwick";
    if (!QFileInfo(haltwick).isExecutable())
        QSKIP("the suspender is not staged");

    QProcess sleeper;
    sleeper.start("sleep", {"30"});
    QVERIFY(sleeper.waitForStarted());

    QProcess listing;
    listing.start(haltwick, QStringList());
    QVERIFY(listing.waitForFinished(30000));
    QCOMPARE(listing.exitCode(), 0);
    const QString text = QString::fromLocal8Bit(listing.readAllStandardOutput());
    const QStringList pids = Suspender::findPids(text, "sleep");
    QVERIFY2(pids.contains(QString::number(sleeper.processId())), qPrintable(pids.join(' ')));

    sleeper.kill();
    sleeper.waitForFinished();
}

QTEST_GUILESS_MAIN(TestSuspenderListing)
#include "tst_suspenderlisting.moc"
