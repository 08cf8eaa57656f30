#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "filelist/probeparser.h"
#include "player/playerthreads.h"
#include "player/previewplayer.h"

// Damaged copies of the clips (scripts/make-broken-media.sh) through every
// reader of a file: the transcoder's probe, a transcoder job, and the preview
// opened, played, sought, snapshot and closed. Whatever the damage, nothing
// crashes or hangs, a failed job leaves nothing under its output name, the
// preview says at most one thing about the file and leaves no thread behind.
//
// QUILLORA_BROKEN_MEDIA names the folder of copies; QUILLORA_BROKEN_SHARD
// ("2/8") takes every eighth file from the third on, so that a large set runs
// as several tests side by side.

namespace {

constexpr int kProbeBoundMs = 60000;
constexpr int kJobBoundMs = 120000;
constexpr double kPlaySeconds = 2.0;
constexpr int kPlayBoundMs = 20000;
constexpr int kStepBoundMs = 10000;
// A picture comes every 40 ms: a snapshot not served in this long waits for
// pictures that the damage left undecodable, and is dropped.
constexpr int kSnapshotBoundMs = 2000;
// The probe's text must reach the main program as one chunk of its pipe.
constexpr int kProbeChunkBytes = 4096;

QString stage() {
    return qEnvironmentVariable("QUILLORA_STAGE_DIR");
}

struct Run {
    int exitCode = -1; // -1: crashed or did not end within its bound
    QString text;
};

Run runKorvex(const QStringList &arguments, int boundMs) {
    QProcess p;
    p.start(stage() + "/korvex", arguments);
    Run run;
    if (!p.waitForFinished(boundMs)) {
        p.kill();
        p.waitForFinished();
        return run;
    }
    run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.text = QString::fromUtf8(p.readAllStandardError());
    return run;
}

int processThreads() {
    return int(QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

// A step on the GUI thread that blocks (closing the player joins its
// threads) cannot be bounded by an event loop: this ends the process, naming
// the file, when such a step outlasts its bound.
class Deadline {
public:
    Deadline(const QString &what, int boundMs)
        : m_what(what.toLocal8Bit()), m_thread([this, boundMs] { watch(boundMs); }) {}
    ~Deadline() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_done = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }

private:
    void watch(int boundMs) {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_wake.wait_for(lock, std::chrono::milliseconds(boundMs), [this] { return m_done; })) {
            std::fprintf(stderr, "HANG: %s did not return within %d ms\n", m_what.constData(),
                         boundMs);
            std::abort();
        }
    }

    QByteArray m_what;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_done = false;
    std::thread m_thread;
};

} // namespace

class TestBrokenMedia : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void survivesTheDamage_data();
    void survivesTheDamage();

private:
    void probe(const QString &file);
    void convert(const QString &file);
    void preview(const QString &file);

    QTemporaryDir m_dir;
    QStringList m_messages;
};

void TestBrokenMedia::initTestCase() {
    QVERIFY(QFileInfo(stage() + "/korvex").isExecutable());
    QVERIFY2(QFileInfo::exists(qEnvironmentVariable("QUILLORA_BROKEN_MEDIA") + "/.complete"),
             "the damaged copies are missing");
    QVERIFY(m_dir.isValid());
    // The libraries' complaints about the damage would bury a failure's
    // own words.
    av_log_set_level(AV_LOG_FATAL);
    QVERIFY(initPreviewAudio());
    connect(PlayerController::instance(), &PlayerController::playerMessage, this,
            [this](const QString &text) { m_messages << text; });
    // The window has painted: snapshots are served.
    repaintArmed = 1;
}

void TestBrokenMedia::cleanupTestCase() {
    shutdownPlayer();
}

void TestBrokenMedia::survivesTheDamage_data() {
    QTest::addColumn<QString>("file");
    const QDir folder(qEnvironmentVariable("QUILLORA_BROKEN_MEDIA"));
    const QStringList shard = qEnvironmentVariable("QUILLORA_BROKEN_SHARD").split('/');
    const int index = shard.size() == 2 ? shard[0].toInt() : 0;
    const int count = shard.size() == 2 ? std::max(1, shard[1].toInt()) : 1;
    const QStringList names = folder.entryList(QDir::Files, QDir::Name);
    for (int i = index; i < names.size(); i += count)
        QTest::newRow(qPrintable(names[i])) << folder.filePath(names[i]);
}

void TestBrokenMedia::survivesTheDamage() {
    QFETCH(QString, file);
    probe(file);
    if (QTest::currentTestFailed())
        return;
    convert(file);
    if (QTest::currentTestFailed())
        return;
    preview(file);
}

void TestBrokenMedia::probe(const QString &file) {
    const Run run = runKorvex({"-i", file}, kProbeBoundMs);
    QVERIFY2(run.exitCode == 0 || run.exitCode == 1,
             qPrintable(QString("probe exit %1: %2").arg(run.exitCode).arg(run.text)));
    QVERIFY2(run.text.toUtf8().size() < kProbeChunkBytes, qPrintable(run.text));
    const ProbeResult r = ProbeParser::parse(run.text);
    if (run.exitCode == 0)
        QVERIFY2(r.hasVideo || r.audioOnly, qPrintable(run.text));
}

void TestBrokenMedia::convert(const QString &file) {
    const QString folder = m_dir.filePath(QFileInfo(file).fileName());
    QVERIFY(QDir().mkpath(folder));
    const QString output = folder + "/out.avi";
    const Run run = runKorvex({"-i", file, "-y", "-vcodec", "mpeg4", "-acodec", "libmp3lame", "-ab",
                               "128K", "-ar", "44100", "-ac", "2", output},
                              kJobBoundMs);
    QVERIFY2(run.exitCode >= 0 && run.exitCode <= 2,
             qPrintable(QString("job exit %1: %2").arg(run.exitCode).arg(run.text)));
    QCOMPARE(QFileInfo::exists(output), run.exitCode == 0);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
             run.exitCode == 0 ? QStringList{"out.avi"} : QStringList{});
    QStringList verdicts;
    for (const QString &line : run.text.split('\n')) {
        if (line.startsWith("korvex: ") && !line.startsWith("korvex: note: "))
            verdicts << line;
    }
    QVERIFY2(verdicts.size() <= 1, qPrintable(verdicts.join('\n')));
}

void TestBrokenMedia::preview(const QString &file) {
    const int threadsBefore = processThreads();
    m_messages.clear();
    playEndFlag = 0;
    playStopFlag = 0;

    playFile(file, QSize(297, 237));
    // Plays for two seconds, to its end, or gives up on the file.
    QVERIFY2(QTest::qWaitFor(
                 [] { return !isPlayerOpen() || playEndFlag || playPosition >= kPlaySeconds; },
                 kPlayBoundMs),
             qPrintable(QString("stuck at %1 s").arg(playPosition.load())));
    if (PlayerState *is = currentPlayerState) {
        if (playEndFlag) {
            // What the window does at the end before its stop command.
            playEndFlag = 0;
            is->paused = 0;
        }
        if (seekToSliderValue(50))
            QVERIFY2(QTest::qWaitFor([is] { return !is->seek_pending; }, kStepBoundMs),
                     "the seek was not served");
        requestSnapshot(snapshotFileName(m_dir.path(), ".png"));
        // A file without pictures has nothing to snapshot, and damaged
        // pictures may never decode: a request left waiting is dropped.
        if (is->video_stream)
            (void)QTest::qWaitFor([] { return pendingSnapshotCount() == 0; }, kSnapshotBoundMs);
        clearSnapshotRequests();
    }
    {
        const Deadline deadline(file + ": closing the preview", kStepBoundMs);
        closePlayer();
    }
    // The window does not wait for a player that is slow to end; it ends
    // by itself soon after, and what it posted is delivered then.
    QTRY_COMPARE_WITH_TIMEOUT(livePlayerThreads(), 0, kStepBoundMs);
    QCoreApplication::processEvents();

    QVERIFY2(m_messages.size() <= 1, qPrintable(m_messages.join("")));
    QVERIFY2(QTest::qWaitFor([threadsBefore] { return processThreads() <= threadsBefore; },
                             kStepBoundMs),
             qPrintable(QString("%1 threads, %2 before").arg(processThreads()).arg(threadsBefore)));
}

QTEST_MAIN(TestBrokenMedia)
#include "tst_brokenmedia.moc"
