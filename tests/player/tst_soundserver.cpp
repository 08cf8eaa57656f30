#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include "app/version.h"
#include "mainwindow/mainwindow.h"
#include "platform/platform.h"
#include "player/playerthreads.h"
#include "playertestutil.h"
#include "ui_mainwindow.h"

using namespace PlayerTest;

namespace {

// How long the sink stays suspended, and how far the picture must have come
// meanwhile to be at the wall clock's pace (it stood still before).
constexpr int kSuspendMs = 1500;
constexpr double kWallPaceShare = 0.5;
// Picture and sound in step once the sink plays again.
constexpr double kInStep = 0.1;

// A PulseAudio server of the test's own, in a folder of its own, with one
// null sink ("nul") that takes the sound like a real device.
class SoundServer {
public:
    SoundServer() {
        const QString run = m_dir.filePath(QStringLiteral("run"));
        m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), run);
        m_env.insert(QStringLiteral("HOME"), m_dir.filePath(QStringLiteral("home")));
        m_env.insert(QStringLiteral("PULSE_RUNTIME_PATH"), run + QStringLiteral("/pulse"));
        m_env.insert(QStringLiteral("PULSE_STATE_PATH"), m_dir.filePath(QStringLiteral("state")));
        m_env.insert(QStringLiteral("PULSE_SERVER"),
                     QStringLiteral("unix:") + run + QStringLiteral("/pulse/native"));
        QDir().mkpath(run);
        QDir().mkpath(m_dir.filePath(QStringLiteral("home")));
        // SDL's sound reaches the server through these.
        for (const char *name : {"PULSE_SERVER", "PULSE_RUNTIME_PATH", "PULSE_STATE_PATH"})
            qputenv(name, m_env.value(QLatin1String(name)).toLocal8Bit());
        QFile config(m_dir.filePath(QStringLiteral("server.pa")));
        if (config.open(QIODevice::WriteOnly))
            config.write("load-module module-native-protocol-unix auth-anonymous=1\n"
                         "load-module module-null-sink sink_name=nul rate=48000 channels=2\n"
                         "set-default-sink nul\n");
    }
    ~SoundServer() { stop(); }

    // Empty when the server answers, else why it does not.
    QString start() {
        if (QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("pactl")).isEmpty())
            return QStringLiteral("pulseaudio and pactl are not installed");
        m_server.setProcessEnvironment(m_env);
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.start(QStringLiteral("pulseaudio"),
                       {QStringLiteral("-n"), QStringLiteral("-F"),
                        m_dir.filePath(QStringLiteral("server.pa")),
                        QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--daemonize=no")});
        if (!m_server.waitForStarted())
            return QStringLiteral("pulseaudio does not start: ") + m_server.errorString();
        const bool answers = QTest::qWaitFor(
            [this] {
                return m_server.state() != QProcess::Running || pactl({QStringLiteral("info")});
            },
            kEventTimeoutMs);
        if (!answers || m_server.state() != QProcess::Running) {
            const QString log = QString::fromLocal8Bit(m_server.readAll());
            stop();
            return QStringLiteral("pulseaudio does not answer: ") + log;
        }
        return QString();
    }

    // The server ends at once, as if it had crashed.
    void stop() {
        if (m_server.state() == QProcess::NotRunning)
            return;
        m_server.kill();
        m_server.waitForFinished();
    }

    bool pactl(const QStringList &arguments, QByteArray *output = nullptr) {
        QProcess process;
        process.setProcessEnvironment(m_env);
        process.start(QStringLiteral("pactl"), arguments);
        if (!process.waitForFinished() || process.exitCode() != 0)
            return false;
        if (output)
            *output = process.readAllStandardOutput();
        return true;
    }

    // A stream plays into the sink.
    bool hasStream() {
        QByteArray streams;
        return pactl({QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sink-inputs")},
                     &streams) &&
               !streams.trimmed().isEmpty();
    }

    bool suspend(bool on) {
        return pactl({QStringLiteral("suspend-sink"), QStringLiteral("nul"),
                      on ? QStringLiteral("1") : QStringLiteral("0")});
    }

private:
    QTemporaryDir m_dir{QStringLiteral("/tmp/quillora-pulse-XXXXXX")};
    QProcessEnvironment m_env = QProcessEnvironment::systemEnvironment();
    QProcess m_server;
};

// Keeps and closes every message box, so that no test waits on one.
class MessageAnswerer : public QObject {
public:
    MessageAnswerer() {
        connect(&m_poll, &QTimer::timeout, this, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                messages << box->text();
                box->close();
            }
        });
        m_poll.start(20);
    }
    QStringList messages;

private:
    QTimer m_poll;
};

} // namespace

// The preview through a real sound server: the stream reaches its sink, a
// server that comes late or goes away is dealt with, and a sink that stops
// taking sound does not hold the pictures.
class tst_SoundServer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void serverStartedLaterIsUsed();
    void suspendedSinkKeepsTheWallClockPace();
    void lostServerIsToldAndFoundAgain();

private:
    void play();

    SoundServer *server = nullptr;
    MainWindow *window = nullptr;
    MessageAnswerer *answerer = nullptr;
};

void tst_SoundServer::initTestCase() {
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QLatin1String(kOrganizationName));
    QCoreApplication::setApplicationName(QLatin1String(kProductName));
    const QString stage = qEnvironmentVariable("QUILLORA_STAGE_DIR");
    Platform::setInstallDir(stage);
    QDir::setCurrent(stage);
    qputenv("SDL_AUDIODRIVER", "pulseaudio");
    server = new SoundServer;
    // Whether a server can run here at all.
    const QString why = server->start();
    if (!why.isEmpty())
        QSKIP(qPrintable(QStringLiteral("no PulseAudio server can start here: ") + why));
    server->stop();
}

void tst_SoundServer::cleanupTestCase() {
    delete server;
    server = nullptr;
}

void tst_SoundServer::init() {
    QFile::remove(Platform::settingsFile());
    // One test starts its server only after the window.
    if (qstrcmp(QTest::currentTestFunction(), "serverStartedLaterIsUsed") != 0)
        QCOMPARE(server->start(), QString());
    answerer = new MessageAnswerer;
    window = new MainWindow;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    window->addPickedFiles({mediaPath(QStringLiteral("long.mp4"))});
    QCOMPARE(window->form()->treeWidget->topLevelItemCount(), 1);
}

void tst_SoundServer::cleanup() {
    // Closing a device on a suspended sink waits for the sink.
    server->suspend(false);
    delete window;
    window = nullptr;
    closePlayer();
    QCOMPARE(livePlayerThreads(), 0);
    previewFrame.clear();
    delete answerer;
    answerer = nullptr;
    server->stop();
}

void tst_SoundServer::play() {
    Ui::MainWindow *ui = window->form();
    ui->treeWidget->setCurrentItem(ui->treeWidget->topLevelItem(0));
    QTRY_VERIFY_WITH_TIMEOUT(ui->PlayButton->isEnabled(), kEventTimeoutMs);
    QTest::mouseClick(ui->PlayButton, Qt::LeftButton);
    QVERIFY(isPlayerOpen());
    QVERIFY(waitForPicture());
}

void tst_SoundServer::serverStartedLaterIsUsed() {
    // The window came up before any server: the first Play is silent and
    // says so once.
    play();
    QTRY_COMPARE_WITH_TIMEOUT(answerer->messages.size(), 1, kEventTimeoutMs);
    QVERIFY(answerer->messages.first().startsWith(QStringLiteral("SDL_OpenAudio: ")));

    QCOMPARE(server->start(), QString());
    play();
    QTRY_VERIFY_WITH_TIMEOUT(server->hasStream(), kEventTimeoutMs);
    QVERIFY(waitForPosition(1.0));
    QCOMPARE(answerer->messages.size(), 1);
}

void tst_SoundServer::suspendedSinkKeepsTheWallClockPace() {
    play();
    QTRY_VERIFY_WITH_TIMEOUT(server->hasStream(), kEventTimeoutMs);
    QVERIFY(waitForPosition(1.0));

    QVERIFY(server->suspend(true));
    const double before = playPosition;
    QElapsedTimer wall;
    wall.start();
    QTest::qWait(kSuspendMs);
    const double moved = playPosition - before;
    QVERIFY2(moved > kWallPaceShare * wall.elapsed() / 1000.0,
             qPrintable(QStringLiteral("%1 s in %2 ms").arg(moved).arg(wall.elapsed())));

    // In step again as soon as the sink plays.
    QVERIFY(server->suspend(false));
    PlayerState *is = currentPlayerState;
    QTRY_VERIFY_WITH_TIMEOUT(soundIsMaster(is) && qAbs(audioClock(is) - videoClock(is)) < kInStep,
                             kEventTimeoutMs);
    QVERIFY(answerer->messages.isEmpty());
}

void tst_SoundServer::lostServerIsToldAndFoundAgain() {
    play();
    QTRY_VERIFY_WITH_TIMEOUT(server->hasStream(), kEventTimeoutMs);

    server->stop();
    QTRY_COMPARE_WITH_TIMEOUT(answerer->messages.size(), 1, kEventTimeoutMs);
    QVERIFY(answerer->messages.first().contains(QStringLiteral("lost its sound")));
    // The pictures go on by themselves.
    const double after = playPosition;
    QVERIFY(waitForPosition(after + 1.0));
    QCOMPARE(answerer->messages.size(), 1);

    // A server that is back is used by the next Play.
    QCOMPARE(server->start(), QString());
    play();
    QTRY_VERIFY_WITH_TIMEOUT(server->hasStream(), kEventTimeoutMs);
    QCOMPARE(answerer->messages.size(), 1);
}

QTEST_MAIN(tst_SoundServer)
#include "tst_soundserver.moc"
