#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include <signal.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include "app/version.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/settingsfile.h"
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
// The window answers a click within this, and closes within this, while the
// sound server does not answer; a fault that holds them is released after
// the longer time.
constexpr int kAnswersMs = 1000;
constexpr int kClosesMs = 3000;
constexpr auto kHeldRelease = std::chrono::milliseconds(8000);
// Pictures move this soon after Play while the sound device does not answer.
const int kMovesMs = TestTime::bound(4000);
// The window goes from the screen this soon after the close is asked for.
const int kHidesMs = TestTime::bound(300);

// A sound server of the test's own, in a folder of its own, with one sink
// that takes the sound like a real device: PulseAudio with a null sink
// ("nul"), or a PipeWire session (its own bus, WirePlumber, and its
// PulseAudio service, whose stand-in sink takes the sound).
class SoundServer {
public:
    enum class Kind {
        PulseAudio,
        PipeWire,
    };

    SoundServer() {
        const QString run = m_dir.filePath(QStringLiteral("run"));
        m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), run);
        m_env.insert(QStringLiteral("HOME"), m_dir.filePath(QStringLiteral("home")));
        m_env.insert(QStringLiteral("PULSE_RUNTIME_PATH"), run + QStringLiteral("/pulse"));
        m_env.insert(QStringLiteral("PULSE_STATE_PATH"), m_dir.filePath(QStringLiteral("state")));
        m_env.insert(QStringLiteral("PULSE_SERVER"),
                     QStringLiteral("unix:") + run + QStringLiteral("/pulse/native"));
        m_env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                     QStringLiteral("unix:path=") + run + QStringLiteral("/bus"));
        // PipeWire's clients of this process look for its socket here.
        m_env.insert(QStringLiteral("PIPEWIRE_RUNTIME_DIR"), run);
        QDir().mkpath(run);
        QFile::setPermissions(run, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QDir().mkpath(m_dir.filePath(QStringLiteral("home")));
        // SDL's sound reaches the server through these.
        for (const char *name :
             {"PULSE_SERVER", "PULSE_RUNTIME_PATH", "PULSE_STATE_PATH", "PIPEWIRE_RUNTIME_DIR"})
            qputenv(name, m_env.value(QLatin1String(name)).toLocal8Bit());
        QFile config(m_dir.filePath(QStringLiteral("server.pa")));
        if (config.open(QIODevice::WriteOnly))
            config.write("load-module module-native-protocol-unix auth-anonymous=1\n"
                         "load-module module-null-sink sink_name=nul rate=48000 channels=2\n"
                         "set-default-sink nul\n");
    }
    ~SoundServer() { stop(); }

    // Empty when the server answers, else why it does not.
    QString start(Kind kind = Kind::PulseAudio) {
        QStringList programs{QStringLiteral("pactl")};
        if (kind == Kind::PulseAudio)
            programs << QStringLiteral("pulseaudio");
        else
            programs << QStringLiteral("dbus-daemon") << QStringLiteral("pipewire")
                     << QStringLiteral("wireplumber") << QStringLiteral("pipewire-pulse");
        for (const QString &program : programs) {
            if (QStandardPaths::findExecutable(program).isEmpty())
                return program + QStringLiteral(" is not installed");
        }
        if (kind == Kind::PulseAudio) {
            run(QStringLiteral("pulseaudio"),
                {QStringLiteral("-n"), QStringLiteral("-F"),
                 m_dir.filePath(QStringLiteral("server.pa")), QStringLiteral("--exit-idle-time=-1"),
                 QStringLiteral("--daemonize=no")});
        } else {
            // The bus first: WirePlumber ends when it finds none. A killed
            // bus leaves its socket behind, and a listening one prints its
            // address.
            QFile::remove(m_dir.filePath(QStringLiteral("run/bus")));
            QProcess *bus = run(QStringLiteral("dbus-daemon"),
                                {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                 QStringLiteral("--print-address"),
                                 QStringLiteral("--address=") +
                                     m_env.value(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"))});
            const bool listens =
                bus->waitForStarted() &&
                QTest::qWaitFor(
                    [bus] { return bus->canReadLine() || bus->state() != QProcess::Running; },
                    kEventTimeoutMs) &&
                bus->canReadLine();
            if (!listens)
                return QStringLiteral("dbus-daemon does not listen: ") +
                       QString::fromLocal8Bit(bus->readAll());
            // Then PipeWire itself, which the others connect to at once.
            const QString socket = m_dir.filePath(QStringLiteral("run/pipewire-0"));
            QFile::remove(socket);
            run(QStringLiteral("pipewire"), {});
            const bool up = QTest::qWaitFor(
                [&socket] {
                    QLocalSocket probe;
                    probe.connectToServer(socket);
                    return probe.waitForConnected(100);
                },
                kEventTimeoutMs);
            if (!up)
                return QStringLiteral("pipewire does not listen");
            run(QStringLiteral("wireplumber"), {});
            run(QStringLiteral("pipewire-pulse"), {});
        }
        for (QProcess *process : m_processes) {
            if (!process->waitForStarted())
                return process->program() + QStringLiteral(" does not start: ") +
                       process->errorString();
        }
        // Up once a sink takes sound.
        const bool answers = QTest::qWaitFor(
            [this] {
                QByteArray sinks;
                return !running() || (pactl({QStringLiteral("list"), QStringLiteral("short"),
                                             QStringLiteral("sinks")},
                                            &sinks) &&
                                      !sinks.trimmed().isEmpty());
            },
            kEventTimeoutMs);
        if (!answers || !running()) {
            QString log;
            for (QProcess *process : m_processes)
                log += QString::fromLocal8Bit(process->readAll());
            stop();
            return QStringLiteral("the server does not answer: ") + log;
        }
        return QString();
    }

    // The server ends at once, as if it had crashed.
    void stop() {
        freeze(false);
        while (!m_processes.isEmpty()) {
            QProcess *process = m_processes.takeLast();
            process->kill();
            process->waitForFinished();
            delete process;
        }
    }

    // The server stops answering (its process is stopped), or answers again.
    void freeze(bool on) {
        for (QProcess *process : m_processes) {
            if (process->state() == QProcess::Running)
                ::kill(pid_t(process->processId()), on ? SIGSTOP : SIGCONT);
        }
    }

    // A PipeWire session without its session manager takes a new stream
    // but never starts it.
    void endSessionManager() {
        for (QProcess *process : m_processes) {
            if (process->program() == QStringLiteral("wireplumber")) {
                process->kill();
                process->waitForFinished();
            }
        }
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
        return pactl(
                   {QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sink-inputs")},
                   &streams) &&
               !streams.trimmed().isEmpty();
    }

    bool suspend(bool on) {
        return pactl({QStringLiteral("suspend-sink"), QStringLiteral("nul"),
                      on ? QStringLiteral("1") : QStringLiteral("0")});
    }

private:
    QProcess *run(const QString &program, const QStringList &arguments) {
        auto *process = new QProcess;
        process->setProcessEnvironment(m_env);
        process->setProcessChannelMode(QProcess::MergedChannels);
        process->start(program, arguments);
        m_processes << process;
        return process;
    }

    bool running() const {
        for (const QProcess *process : m_processes) {
            if (process->state() != QProcess::Running)
                return false;
        }
        return !m_processes.isEmpty();
    }

    QTemporaryDir m_dir{QStringLiteral("/tmp/quillora-pulse-XXXXXX")};
    QProcessEnvironment m_env = QProcessEnvironment::systemEnvironment();
    QList<QProcess *> m_processes;
};

// Does `action` on a thread of its own after `delay`, or at the end of its
// scope if that comes first: a fault that holds the GUI thread until the
// server answers again still ends.
class Deadline {
public:
    Deadline(std::chrono::milliseconds delay, std::function<void()> action)
        : m_action(std::move(action)), m_thread([this, delay] {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_cond.wait_for(lock, delay, [this] { return m_ended; });
            m_action();
        }) {}
    ~Deadline() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_ended = true;
        }
        m_cond.notify_all();
        m_thread.join();
    }

private:
    std::function<void()> m_action;
    std::mutex m_mutex;
    std::condition_variable m_cond;
    bool m_ended = false;
    std::thread m_thread;
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

// When the window was hidden, in milliseconds of a clock that runs.
class HideClock : public QObject {
public:
    explicit HideClock(QWidget *widget) { widget->installEventFilter(this); }
    qint64 at(const QElapsedTimer &clock) const {
        return m_hidden.isValid() ? m_hidden.msecsSinceReference() - clock.msecsSinceReference()
                                  : -1;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::Hide && !m_hidden.isValid())
            m_hidden.start();
        return QObject::eventFilter(watched, event);
    }

private:
    QElapsedTimer m_hidden;
};

} // namespace

Q_DECLARE_METATYPE(SoundServer::Kind)

// The preview through a real sound server: the stream reaches its sink, a
// server that comes late, goes away or stops answering is dealt with, and a
// sink that stops taking sound holds neither the pictures nor the window.
class tst_SoundServer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void serverStartedLaterIsUsed();
    void suspendedSinkKeepsTheWallClockPace();
    void suspendedSinkHoldsNoClickNorTheClose();
    void frozenServerHoldsNoClick();
    void closeHidesTheWindowAtOnce();
    void lostServerIsToldAndFoundAgain_data();
    void lostServerIsToldAndFoundAgain();
    // Last: the open that its server never ends stays with SDL.
    void unstartedStreamHoldsNoPicture_data();
    void unstartedStreamHoldsNoPicture();

private:
    void select(int row);
    void play(int row = 0);

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
    SettingsFile::flush();
    QFile::remove(Platform::settingsFile());
    const bool pipeWire = qstrcmp(QTest::currentDataTag(), "PipeWire") == 0;
    // SDL takes its driver when its sound starts.
    const QByteArray driver = pipeWire ? "pipewire" : "pulseaudio";
    if (qgetenv("SDL_AUDIODRIVER") != driver) {
        quitPreviewAudio();
        qputenv("SDL_AUDIODRIVER", driver);
    }
    // One test starts its server only after the window.
    if (qstrcmp(QTest::currentTestFunction(), "serverStartedLaterIsUsed") != 0) {
        const QString why =
            server->start(pipeWire ? SoundServer::Kind::PipeWire : SoundServer::Kind::PulseAudio);
        if (pipeWire && !why.isEmpty())
            QSKIP(qPrintable(QStringLiteral("no PipeWire session can start here: ") + why));
        QCOMPARE(why, QString());
    }
    answerer = new MessageAnswerer;
    window = new MainWindow;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    window->addPickedFiles(
        {mediaPath(QStringLiteral("long.mp4")), mediaPath(QStringLiteral("av.mp4"))});
    QCOMPARE(window->form()->treeWidget->topLevelItemCount(), 2);
}

void tst_SoundServer::cleanup() {
    // Closing a device on a suspended sink waits for the sink.
    server->suspend(false);
    delete window;
    window = nullptr;
    closePlayer();
    // A player that was left to end by itself ends once the server answers.
    QTRY_COMPARE_WITH_TIMEOUT(livePlayerThreads(), 0, kEventTimeoutMs);
    previewFrame.clear();
    delete answerer;
    answerer = nullptr;
    server->stop();
}

void tst_SoundServer::select(int row) {
    Ui::MainWindow *ui = window->form();
    ui->treeWidget->setCurrentItem(ui->treeWidget->topLevelItem(row));
}

void tst_SoundServer::play(int row) {
    Ui::MainWindow *ui = window->form();
    select(row);
    QTRY_VERIFY_WITH_TIMEOUT(ui->PlayButton->isEnabled(), kEventTimeoutMs);
    QTest::mouseClick(ui->PlayButton, Qt::LeftButton);
    QVERIFY(isPlayerOpen());
}

void tst_SoundServer::serverStartedLaterIsUsed() {
    // The window came up before any server: the first Play is silent and
    // says so once.
    play();
    QVERIFY(waitForPicture());
    QTRY_COMPARE_WITH_TIMEOUT(answerer->messages.size(), 1, kEventTimeoutMs);
    QVERIFY(answerer->messages.first().startsWith(QStringLiteral("SDL_OpenAudio: ")));

    QCOMPARE(server->start(), QString());
    play();
    QVERIFY(waitForPicture());
    QTRY_VERIFY_WITH_TIMEOUT(server->hasStream(), kEventTimeoutMs);
    QVERIFY(waitForPosition(1.0));
    QCOMPARE(answerer->messages.size(), 1);
}

void tst_SoundServer::suspendedSinkKeepsTheWallClockPace() {
    play();
    QVERIFY(waitForPicture());
    QTRY_VERIFY_WITH_TIMEOUT(server->hasStream(), kEventTimeoutMs);
    QVERIFY(waitForPosition(1.0));

    QVERIFY(server->suspend(true));
    const double before = playPosition;
    QElapsedTimer wall;
    wall.start();
    QVERIFY2(
        waitForPosition(before + kWallPaceShare * kSuspendMs / 1000.0, kSuspendMs),
        qPrintable(QStringLiteral("%1 s in %2 ms").arg(playPosition - before).arg(wall.elapsed())));

    // In step again as soon as the sink plays.
    QVERIFY(server->suspend(false));
    PlayerState *is = currentPlayerState;
    QTRY_VERIFY_WITH_TIMEOUT(soundIsMaster(is) && qAbs(audioClock(is) - videoClock(is)) < kInStep,
                             kEventTimeoutMs);
    QVERIFY(answerer->messages.isEmpty());
}

void tst_SoundServer::suspendedSinkHoldsNoClickNorTheClose() {
    play();
    QVERIFY(waitForPicture());
    QTRY_VERIFY_WITH_TIMEOUT(server->hasStream(), kEventTimeoutMs);
    QVERIFY(waitForPosition(1.0));
    QVERIFY(server->suspend(true));
    const Deadline release(kHeldRelease, [this] { server->suspend(false); });

    // Choosing the other row stops the sound of the first; playing it closes
    // the first player.
    QElapsedTimer clock;
    clock.start();
    select(1);
    QVERIFY2(clock.elapsed() < kAnswersMs, qPrintable(QString::number(clock.elapsed())));
    clock.restart();
    play(1);
    QVERIFY2(clock.elapsed() < kAnswersMs, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(waitForPicture());

    clock.restart();
    QVERIFY(window->close());
    QVERIFY2(clock.elapsed() < kClosesMs, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!isPlayerOpen());
    QVERIFY(answerer->messages.isEmpty());
}

void tst_SoundServer::frozenServerHoldsNoClick() {
    // A server that stops answering holds the player that opens its sound.
    server->freeze(true);
    const Deadline release(kHeldRelease, [this] { server->freeze(false); });
    play();
    QTest::qWait(300);

    // Another Play does not wait for that player; the other row plays,
    // without sound, and says so once.
    QElapsedTimer clock;
    clock.start();
    play(1);
    QVERIFY2(clock.elapsed() < kAnswersMs, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(waitForPicture());
    QTRY_COMPARE_WITH_TIMEOUT(answerer->messages.size(), 1, kEventTimeoutMs);
    QVERIFY(answerer->messages.first().startsWith(QStringLiteral("SDL_OpenAudio: ")));
}

void tst_SoundServer::unstartedStreamHoldsNoPicture_data() {
    QTest::addColumn<SoundServer::Kind>("kind");
    QTest::newRow("PipeWire") << SoundServer::Kind::PipeWire;
}

void tst_SoundServer::unstartedStreamHoldsNoPicture() {
    server->endSessionManager();
    QElapsedTimer wall;
    wall.start();
    play();
    QVERIFY(waitForPicture(kMovesMs));
    QVERIFY(waitForNewPicture(previewFrame.image(), kMovesMs));
    QVERIFY2(wall.elapsed() < kMovesMs, qPrintable(QString::number(wall.elapsed())));
    QTRY_COMPARE_WITH_TIMEOUT(answerer->messages.size(), 1, kEventTimeoutMs);
    QVERIFY2(answerer->messages.first().contains(QStringLiteral("does not answer")),
             qPrintable(answerer->messages.first()));
}

void tst_SoundServer::closeHidesTheWindowAtOnce() {
    play();
    QVERIFY(waitForPicture());
    QTRY_VERIFY_WITH_TIMEOUT(server->hasStream(), kEventTimeoutMs);
    QVERIFY(waitForPosition(1.0));

    HideClock hidden(window);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(window->close());
    QVERIFY2(hidden.at(clock) >= 0 && hidden.at(clock) < kHidesMs,
             qPrintable(QString::number(hidden.at(clock))));
}

void tst_SoundServer::lostServerIsToldAndFoundAgain_data() {
    QTest::addColumn<SoundServer::Kind>("kind");
    QTest::newRow("PulseAudio") << SoundServer::Kind::PulseAudio;
    // SDL's own driver for it does not tell that its server went away.
    QTest::newRow("PipeWire") << SoundServer::Kind::PipeWire;
}

void tst_SoundServer::lostServerIsToldAndFoundAgain() {
    QFETCH(SoundServer::Kind, kind);
    play();
    QVERIFY(waitForPicture());
    QTRY_VERIFY_WITH_TIMEOUT(server->hasStream(), kEventTimeoutMs);

    server->stop();
    QTRY_COMPARE_WITH_TIMEOUT(answerer->messages.size(), 1, kEventTimeoutMs);
    QVERIFY(answerer->messages.first().contains(QStringLiteral("lost its sound")));
    // The pictures go on by themselves.
    const double after = playPosition;
    QVERIFY(waitForPosition(after + 1.0));
    QCOMPARE(answerer->messages.size(), 1);

    // A server that is back is used by the next Play.
    QCOMPARE(server->start(kind), QString());
    play();
    QVERIFY(waitForPicture());
    QTRY_VERIFY_WITH_TIMEOUT(server->hasStream(), kEventTimeoutMs);
    QCOMPARE(answerer->messages.size(), 1);
}

QTEST_MAIN(tst_SoundServer)
#include "tst_soundserver.moc"
