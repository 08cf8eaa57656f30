#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include "parlanetestsupport.h"

using namespace ParlaneTest;

namespace {

constexpr int kSkipExitCode = 77;
// Waits that end as soon as the tool or the X server gets there; a busy
// machine may take many seconds to.
constexpr int kTimeoutMs = 30000;

QString xdotool(const QStringList &arguments) {
    QProcess tool;
    tool.start("xdotool", arguments);
    if (!tool.waitForFinished(kTimeoutMs)) {
        tool.kill();
        tool.waitForFinished();
        return {};
    }
    return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
}

// The real program on a real X server, driven the way a user would: keys and
// the mouse go through the X server to whichever window has them.
class Editor {
public:
    explicit Editor(const QString &file) { process.start(parlane(), commandLine(file)); }
    ~Editor() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }

    // The window's X identifier once it is on screen and has the keyboard.
    QString window() {
        if (!process.waitForStarted(kTimeoutMs))
            return {};
        const QString id = xdotool({"search", "--sync", "--onlyvisible", "--pid",
                                    QString::number(process.processId())})
                               .section('\n', 0, 0);
        if (!id.isEmpty())
            xdotool({"windowfocus", "--sync", id});
        return id;
    }

    QProcess process;
};

QPoint windowPosition(const QString &id) {
    const QString geometry = xdotool({"getwindowgeometry", id});
    const QRegularExpressionMatch match =
        QRegularExpression("Position: (-?\\d+),(-?\\d+)").match(geometry);
    return match.hasMatch() ? QPoint(match.captured(1).toInt(), match.captured(2).toInt())
                            : QPoint(-10000, -10000);
}

} // namespace

class TestParlaneWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void enterAnswersOnStandardError();
    void escapeAnswersNothing();
    void titleStripDragsTheWindow();
};

void TestParlaneWindow::initTestCase() {
    if (QStandardPaths::findExecutable("xdotool").isEmpty())
        QSKIP("xdotool is not installed");
}

void TestParlaneWindow::enterAnswersOnStandardError() {
    Editor editor(media("日本語 ファイル.mp4"));
    QVERIFY(!editor.window().isEmpty());
    xdotool({"key", "Return"});
    QVERIFY(editor.process.waitForFinished(kTimeoutMs));
    QCOMPARE(editor.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(editor.process.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(editor.process.readAllStandardError()), untouchedAnswer(2));
}

void TestParlaneWindow::escapeAnswersNothing() {
    Editor editor(media("av.mp4"));
    QVERIFY(!editor.window().isEmpty());
    xdotool({"key", "Escape"});
    QVERIFY(editor.process.waitForFinished(kTimeoutMs));
    QCOMPARE(editor.process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(editor.process.exitCode(), 1);
    QVERIFY(editor.process.readAllStandardError().isEmpty());
}

void TestParlaneWindow::titleStripDragsTheWindow() {
    Editor editor(media("av.mp4"));
    const QString id = editor.window();
    QVERIFY(!id.isEmpty());
    const QPoint before = windowPosition(id);

    xdotool({"mousemove", "--window", id, "80", "12"});
    xdotool({"mousedown", "1"});
    // A hand's drag, step by step: the window follows each one.
    for (int step = 1; step <= 5; ++step) {
        xdotool({"mousemove_relative", "--", "8", "6"});
        QTRY_COMPARE_WITH_TIMEOUT(windowPosition(id), before + step * QPoint(8, 6), kTimeoutMs);
    }
    xdotool({"mouseup", "1"});
    QTRY_COMPARE_WITH_TIMEOUT(windowPosition(id), before + QPoint(40, 30), kTimeoutMs);

    // The window still answers normally after the move.
    xdotool({"key", "Escape"});
    QVERIFY(editor.process.waitForFinished(kTimeoutMs));
    QCOMPARE(editor.process.exitCode(), 1);
}

int main(int argc, char *argv[]) {
    // A real X server is needed; CI runs this under xvfb-run.
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return kSkipExitCode;
    QCoreApplication app(argc, argv);
    TestParlaneWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_parlanewindow.moc"
