#include <memory>
#include <vector>

#include <QElapsedTimer>
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

// Opened side by side, one for each awkward name: each is watched for the
// same while.
void TestParlaneProcess::opensForAnyFileName() {
    const QStringList files = {
        media("with space.mp4"),
        media("quote\"double.mp4"),
        media("日本語 ファイル.mp4"),
        media("notmedia.mp4"),
        media("no such clip -ss -t.mp4"),
    };
    std::vector<std::unique_ptr<QProcess>> tools;
    for (const QString &file : files) {
        tools.push_back(std::make_unique<QProcess>());
        tools.back()->start(parlane(), commandLine(file));
        QVERIFY2(tools.back()->waitForStarted(kStartTimeoutMs), qPrintable(file));
    }
    // The dialog waits for the user: the process is still there, and has
    // said nothing on its answer channel.
    QElapsedTimer watched;
    watched.start();
    for (size_t i = 0; i < tools.size(); ++i) {
        QProcess &tool = *tools.at(i);
        const int left = int(qMax<qint64>(1, kOpenTimeMs - watched.elapsed()));
        QVERIFY2(!tool.waitForFinished(left), qPrintable(files.at(i)));
        QVERIFY2(tool.readAllStandardError().isEmpty(), qPrintable(files.at(i)));
    }
    for (size_t i = 0; i < tools.size(); ++i) {
        QProcess &tool = *tools.at(i);
        tool.terminate();
        QVERIFY2(tool.waitForFinished(kStartTimeoutMs), qPrintable(files.at(i)));
        QVERIFY2(tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0,
                 qPrintable(files.at(i)));
        QVERIFY2(tool.readAllStandardError().isEmpty(), qPrintable(files.at(i)));
    }
}

QTEST_GUILESS_MAIN(TestParlaneProcess)
#include "tst_parlaneprocess.moc"
