#include <signal.h>
#include <sys/prctl.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "testfsmount.h"

// The installed program with the user's home folder on a drive that stops
// answering once the window is up: the window goes on answering while its
// settings are written and its timers read them, and a logout ends it.

namespace {

constexpr int kSkipExitCode = 77;
// Generous: the machine may be busy with a whole test suite.
constexpr int kEventTimeoutMs = 60000;
// The guard polls for a second start's message every second; the rest is
// room for a busy machine. A window held by the drive hears nothing.
constexpr int kHeardWithinMs = 2500;
// The window's first update check, with its reads and writes of the
// settings, comes 11 s after it is made.
constexpr qint64 kPastTheUpdateCheckMs = 13000;
constexpr int kLogoutEndsWithinMs = 5000;
constexpr int kShownOutputBytes = 2000;
const QSize kMainWindowSize(860, 600);
const QPoint kDestination(270, 549);

QString xdotool(const QStringList &arguments) {
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    tool.waitForFinished(kEventTimeoutMs);
    return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
}

QSize windowSize(const QString &id) {
    const QString text =
        xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), id});
    const auto value = [&text](const char *key) {
        return QRegularExpression(QStringLiteral("^%1=(\\d+)$").arg(QLatin1String(key)),
                                  QRegularExpression::MultilineOption)
            .match(text)
            .captured(1)
            .toInt();
    };
    return QSize(value("WIDTH"), value("HEIGHT"));
}

QString mainWindowOf(qint64 pid) {
    const QString ids =
        xdotool({QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--onlyvisible"),
                 QStringLiteral("--pid"), QString::number(pid), QStringLiteral("--name"),
                 QStringLiteral("^Quillora$")});
    for (const QString &id : ids.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (windowSize(id) == kMainWindowSize)
            return id;
    }
    return QString();
}

} // namespace

class tst_HungHome : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void windowAndLogoutOutlastAHungHome();

private:
    // A second start hands a word over, and the window hears it in time.
    bool hears(const QString &word);
    // For a failure's message: what the program said last.
    QByteArray lastWords() const { return said.right(kShownOutputBytes); }

    QProcess program;
    QProcessEnvironment probeEnvironment;
    QByteArray said;
};

bool tst_HungHome::hears(const QString &word) {
    QProcess probe;
    probe.setProcessEnvironment(probeEnvironment);
    probe.start(QCoreApplication::applicationDirPath() + QStringLiteral("/singleapp_probe"),
                {QStringLiteral("some unique key string"), word});
    const bool sent = probe.waitForFinished(kEventTimeoutMs);
    const QByteArray answer = probe.readAllStandardOutput().trimmed();
    if (!sent || answer != "sender sent") {
        said += "\n[the second start: " + answer + "]\n";
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    while (!said.contains(word.toUtf8()) && clock.elapsed() < kHeardWithinMs) {
        program.waitForReadyRead(50);
        said += program.readAll();
    }
    return said.contains(word.toUtf8());
}

void tst_HungHome::windowAndLogoutOutlastAHungHome() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    TestFsMount drive(dir.path(), {}, TestFsMount::WithGate);
    if (!drive.isMounted())
        QSKIP(qPrintable(drive.whyNot()));
    const QString home = drive.path();
    const QString runtime = dir.filePath(QStringLiteral("run"));
    const QString output = dir.filePath(QStringLiteral("out"));
    for (const QString &folder : {runtime, output, dir.filePath(QStringLiteral("tmp")),
                                  dir.filePath(QStringLiteral("probe"))})
        QVERIFY(QDir().mkpath(folder));
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    environment.insert(QStringLiteral("TMPDIR"), dir.filePath(QStringLiteral("tmp")));
    // Qt's own pointer pictures would otherwise be looked for in the home.
    environment.insert(QStringLiteral("XCURSOR_PATH"),
                       QStringLiteral("/usr/share/icons:/usr/share/pixmaps"));
    // The second starts live elsewhere and meet the window in the runtime
    // folder alone.
    probeEnvironment = environment;
    const QString probeHome = dir.filePath(QStringLiteral("probe"));
    for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"})
        probeEnvironment.insert(QLatin1String(name), probeHome);
    probeEnvironment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
    const auto noLeftover = qScopeGuard([this] {
        program.kill();
        program.waitForFinished();
    });
    QElapsedTimer sinceStart;
    sinceStart.start();
    program.start(qEnvironmentVariable("QUILLORA_STAGE_DIR") + QStringLiteral("/quillora"), {});
    QVERIFY(program.waitForStarted());
    QString window;
    QVERIFY2(
        QTest::qWaitFor([&] { return !(window = mainWindowOf(program.processId())).isEmpty(); },
                        kEventTimeoutMs),
        "the main window did not appear");
    QVERIFY2(hears(QStringLiteral("while the home answers")), lastWords().constData());

    // A Destination typed while the home still answers, taken once the home
    // has stopped: its setting is written.
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window,
             QString::number(kDestination.x()), QString::number(kDestination.y()),
             QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("3"),
             QStringLiteral("1")});
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"), output});
    drive.closeGate();
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    QVERIFY2(QTest::qWaitFor([&drive] { return drive.callsHeld(); }, kEventTimeoutMs),
             "the setting was not written");
    for (int word = 1; word == 1 || sinceStart.elapsed() < kPastTheUpdateCheckMs; ++word) {
        const QString tick = QStringLiteral("tick %1").arg(word);
        QVERIFY2(hears(tick), qPrintable(tick + QStringLiteral(" was not heard after:\n") +
                                         QString::fromLocal8Bit(lastWords())));
    }

    // A logout, while the home still does not answer.
    QElapsedTimer sinceLogout;
    sinceLogout.start();
    ::kill(pid_t(program.processId()), SIGTERM);
    QVERIFY2(program.waitForFinished(kLogoutEndsWithinMs), lastWords().constData());
    QVERIFY(sinceLogout.elapsed() < kLogoutEndsWithinMs);
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
}

int main(int argc, char *argv[]) {
    // A real X server and xdotool to type into it; CI runs this under
    // xvfb-run with the packages of scripts/setup.sh.
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return kSkipExitCode;
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
        qWarning("xdotool is not installed");
        return kSkipExitCode;
    }
    QCoreApplication app(argc, argv);
    tst_HungHome test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_hunghome.moc"
