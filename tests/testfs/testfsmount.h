#pragma once

// A drive that behaves otherwise, for a test: quillora-testfs (testfs.c)
// mounted over a folder of the test's own, ended and unmounted with the
// object. Link the test with quillora_testfs.
//
//   TestFsMount drive(dir.path(), {"--refuse=link,rename-flags"});
//   if (!drive.isMounted())
//       QSKIP(qPrintable(drive.whyNot()));
//   ... drive.path() is the drive; drive.backing() the same files, directly
//
//   TestFsMount share(dir.path(), {}, TestFsMount::WithGate);
//   share.closeGate();  // every call on the drive now waits
//   share.openGate();   // and goes on
//
//   Two mounts of one folder: a second TestFsMount over a folder whose
//   "backing" is a link to the first one's backing().
//
//   TestFsMount::LateOpener opener(share, 5000); // opens it in 5 s at the latest
//
// Options of testfs.c: "--refuse=link,rename-flags,rename-over,rename,lock",
// "--gated=rename,..." (only those calls wait at the gate), "--log=FILE"
// (the calls that change something or sync, in order).

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>

class TestFsMount {
public:
    enum Gate {
        NoGate,
        WithGate,
    };

    // Mounts the drive at folder/drive over folder/backing (both made here).
    TestFsMount(const QString &folder, const QStringList &options, Gate gate = NoGate)
        : m_backing(folder + QStringLiteral("/backing"))
        , m_path(folder + QStringLiteral("/drive"))
        , m_gate(gate == WithGate ? folder + QStringLiteral("/gate") : QString()) {
        if (!QFileInfo::exists(QStringLiteral("/dev/fuse"))) {
            m_whyNot = QStringLiteral("no /dev/fuse on this machine");
            return;
        }
        QDir().mkpath(m_backing);
        QDir().mkpath(m_path);
        QStringList arguments = options;
        if (!m_gate.isEmpty())
            arguments << QStringLiteral("--gate=") + m_gate;
        arguments << m_backing << m_path << QStringLiteral("-f") << QStringLiteral("-o")
                  << QStringLiteral("max_idle_threads=10");
        m_process.setProcessChannelMode(QProcess::ForwardedChannels);
        m_process.start(QStringLiteral(QUILLORA_TESTFS), arguments);
        if (!m_process.waitForStarted()) {
            m_whyNot = m_process.errorString();
            return;
        }
        waitForMountTable(kMountTimeoutMs);
        if (!isMounted())
            m_whyNot = QStringLiteral("quillora-testfs did not mount %1").arg(m_path);
    }

    ~TestFsMount() {
        openGate();
        if (m_process.state() == QProcess::Running) {
            // Calls let through the gate a moment ago keep the drive busy
            // for that moment; the drive ends once it is unmounted.
            QElapsedTimer busy;
            busy.start();
            while (QProcess::execute(QStringLiteral("fusermount3"),
                                     {QStringLiteral("-u"), QStringLiteral("-q"), m_path}) != 0 &&
                   busy.elapsed() < kBusyTimeoutMs && !m_process.waitForFinished(kRetryUnmountMs)) {
            }
            if (!m_process.waitForFinished(kUnmountTimeoutMs)) {
                QProcess::execute(QStringLiteral("fusermount3"), {QStringLiteral("-uz"), m_path});
                m_process.kill();
                m_process.waitForFinished();
            }
        }
    }

    TestFsMount(const TestFsMount &) = delete;
    TestFsMount &operator=(const TestFsMount &) = delete;

    bool isMounted() const {
        constexpr long kFuseMagic = 0x65735546;
        struct statfs info;
        return m_process.state() == QProcess::Running &&
               ::statfs(QFile::encodeName(m_path).constData(), &info) == 0 &&
               long(info.f_type) == kFuseMagic;
    }
    QString whyNot() const { return m_whyNot; }

    QString path() const { return m_path; }
    QString backing() const { return m_backing; }

    // While the gate is closed every call on the drive waits, as on a share
    // that does not answer. Calls already waiting go on once it opens.
    void closeGate() {
        if (m_gate.isEmpty())
            return;
        QFile::remove(m_gate + QStringLiteral(".held"));
        QFile gate(m_gate);
        gate.open(QIODevice::WriteOnly);
    }
    void openGate() {
        if (!m_gate.isEmpty())
            QFile::remove(m_gate);
    }
    // True once a call has come to the closed gate.
    bool callsHeld() const { return QFileInfo::exists(m_gate + QStringLiteral(".held")); }

    // Opens the gate once `ms` have passed, or at once when it goes. A test
    // whose own thread waits on the closed drive (the fault it looks for)
    // gets its thread back then, and can tell how long it was held.
    class LateOpener {
    public:
        LateOpener(TestFsMount &drive, int ms)
            : m_drive(drive), m_thread([this, ms] { openLate(ms); }) {}
        ~LateOpener() {
            {
                const std::lock_guard<std::mutex> lock(m_mutex);
                m_gone = true;
            }
            m_wake.notify_all();
            m_thread.join();
        }
        LateOpener(const LateOpener &) = delete;
        LateOpener &operator=(const LateOpener &) = delete;

    private:
        void openLate(int ms) {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_gone; });
            m_drive.openGate();
        }

        TestFsMount &m_drive;
        std::mutex m_mutex;
        std::condition_variable m_wake;
        bool m_gone = false;
        std::thread m_thread;
    };

private:
    static constexpr int kMountTimeoutMs = 10000;
    static constexpr int kBusyTimeoutMs = 5000;
    static constexpr int kRetryUnmountMs = 50;
    static constexpr int kUnmountTimeoutMs = 10000;

    // The kernel tells a change of the mount table to whoever polls it; a
    // drive that fails to mount ends its process instead, looked at between.
    void waitForMountTable(int timeoutMs) const {
        constexpr int kLookAtProcessMs = 50;
        const int table = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
        QElapsedTimer clock;
        clock.start();
        while (table >= 0 && !isMounted() && m_process.state() == QProcess::Running &&
               clock.elapsed() < timeoutMs) {
            pollfd change = {table, POLLPRI, 0};
            ::poll(&change, 1, kLookAtProcessMs);
        }
        if (table >= 0)
            ::close(table);
    }

    QString m_backing;
    QString m_path;
    QString m_gate;
    QString m_whyNot;
    QProcess m_process;
};
