#include <QProcess>
#include <QTest>

#include "parlanetestsupport.h"

using namespace ParlaneTest;

namespace {

// Waits that end as soon as the tool gets there; a busy machine may take many
// seconds to.
constexpr int kStartTimeoutMs = 30000;
// Long enough for the dialog to decode its frame and settle.
constexpr int kOpenTimeMs = 1500;

} // namespace

// The real program, as the main window starts it. The window itself is
// driven in tst_editordialog; here the process's side of the exchange.
class TestParlaneProcess : public QObject {
    Q_OBJECT

private slots:
    void badCommandLineAnswersNothing_data();
    void badCommandLineAnswersNothing();
    void opensForAnyFileName_data();
    void opensForAnyFileName();
};

void TestParlaneProcess::badCommandLineAnswersNothing_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("nothing") << QStringList();
    QTest::newRow("no switch") << QStringList{media("av.mp4")};
}

void TestParlaneProcess::badCommandLineAnswersNothing() {
    QFETCH(QStringList, arguments);
    QProcess tool;
    tool.start(parlane(), arguments);
    QVERIFY(tool.waitForFinished(kStartTimeoutMs));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), 2);
    // Standard error is the answer channel: a message there could be read as one.
    QVERIFY(tool.readAllStandardError().isEmpty());
    QVERIFY(tool.readAllStandardOutput().contains("No file to edit"));
}

void TestParlaneProcess::opensForAnyFileName_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("blank") << media("with space.mp4");
    QTest::newRow("double quote") << media("quote\"double.mp4");
    QTest::newRow("non-Latin letters") << media("日本語 ファイル.mp4");
    QTest::newRow("not media") << media("notmedia.mp4");
    QTest::newRow("key in the name") << media("no such clip -ss -t.mp4");
}

void TestParlaneProcess::opensForAnyFileName() {
    QFETCH(QString, file);
    QProcess tool;
    tool.start(parlane(), commandLine(file));
    QVERIFY(tool.waitForStarted(kStartTimeoutMs));
    // The dialog waits for the user: the process is still there, and has
    // said nothing on its answer channel.
    QVERIFY(!tool.waitForFinished(kOpenTimeMs));
    QVERIFY(tool.readAllStandardError().isEmpty());
    tool.terminate();
    QVERIFY(tool.waitForFinished(kStartTimeoutMs));
    QVERIFY(tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0);
    QVERIFY(tool.readAllStandardError().isEmpty());
}

QTEST_GUILESS_MAIN(TestParlaneProcess)
#include "tst_parlaneprocess.moc"
