#include <memory>
#include <optional>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "conversion/transcoderjob.h"
#include "../support/processstate.h"

// The running job with the real transcoder and suspender: a pause holds the
// transcoder and its ffmpeg, a stop ends them and nothing else.
class TestTranscoderJob : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void pauseHoldsTheWholeGroup();
    void stopEndsOnlyOurOwnTranscoder();
    void stopWhilePausedEndsIt();

private:
    QStringList slowJob(const QString &output) const;
    static bool waitForProgress(QProcess &process, QByteArray *text);

    QString m_korvex;
    QString m_haltwick;
    QString m_media;
};

namespace {

constexpr int kJobTimeoutMs = 120000;
constexpr int kProgressTimeoutMs = 30000;
// A wait for a process to change state: it ends as soon as that happens, and a
// busy machine may take many seconds to get there.
constexpr int kEventTimeoutMs = 30000;
// The pipe is taken for quiet once no text has come for this long.
constexpr int kSettleMs = 300;
// Text already on its way when the job was held comes in a few pieces at most.
constexpr int kMaxLateChunks = 20;
// How long a held job is watched for progress.
constexpr int kHeldMs = 700;

qint64 parentOf(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() : 0;
}

QList<qint64> childrenOf(qint64 pid) {
    QList<qint64> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool number = false;
        const qint64 candidate = entry.toLongLong(&number);
        if (number && parentOf(candidate) == pid)
            children << candidate;
    }
    return children;
}

QStringList filesIn(const QString &folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

// A pause or resume, and the suspender's answer: whether it did.
enum class Ask {
    Pause,
    Resume,
};

bool answer(TranscoderJob &job, Ask ask, const QString &suspender) {
    const auto done = std::make_shared<std::optional<bool>>();
    const TranscoderJob::Answer hear = [done](bool ok, const QString &) { *done = ok; };
    if (ask == Ask::Pause)
        job.pause(suspender, hear);
    else
        job.resume(suspender, hear);
    return QTest::qWaitFor([&done] { return done->has_value(); }, kEventTimeoutMs) && **done;
}

} // namespace

void TestTranscoderJob::initTestCase() {
    const QString stage = qEnvironmentVariable("QUILLORA_STAGE_DIR");
    m_korvex = stage + QStringLiteral("/korvex");
    m_haltwick = stage + QStringLiteral("/haltwick");
    m_media = qEnvironmentVariable("QUILLORA_TEST_MEDIA");
    QVERIFY2(QFileInfo(m_korvex).isExecutable(), qPrintable(m_korvex));
    QVERIFY2(QFileInfo(m_haltwick).isExecutable(), qPrintable(m_haltwick));
    QVERIFY(QFileInfo::exists(m_media + QStringLiteral("/long.mp4")));
}

// Twelve seconds blown up to 1080p: several seconds of work, long enough to
// catch the job at it.
QStringList TestTranscoderJob::slowJob(const QString &output) const {
    return {QStringLiteral("-i"),        m_media + QStringLiteral("/long.mp4"),
            QStringLiteral("-y"),        QStringLiteral("-s"),
            QStringLiteral("1920x1080"), QStringLiteral("-vcodec"),
            QStringLiteral("libx264"),   QStringLiteral("-acodec"),
            QStringLiteral("aac"),       output};
}

bool TestTranscoderJob::waitForProgress(QProcess &process, QByteArray *text) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < kProgressTimeoutMs) {
        process.waitForReadyRead(200);
        *text += process.readAllStandardError();
        if (text->contains("time=") && !childrenOf(process.processId()).isEmpty())
            return true;
        if (process.state() == QProcess::NotRunning)
            return false;
    }
    return false;
}

void TestTranscoderJob::pauseHoldsTheWholeGroup() {
    QTemporaryDir out;
    QVERIFY(out.isValid());
    const QString output = out.filePath(QStringLiteral("paused.mp4"));
    QProcess process;
    TranscoderJob job(process);
    QVERIFY(!answer(job, Ask::Pause, m_haltwick)); // nothing runs yet

    // A third of it: held at once, it needs little more than a progress
    // line's time once it goes on, and is then waited for to its end.
    job.start(m_korvex, QStringList{QStringLiteral("-t"), QStringLiteral("4")} + slowJob(output));
    QByteArray text;
    QVERIFY2(waitForProgress(process, &text), text.constData());
    const qint64 pid = job.processId();
    const QList<qint64> children = childrenOf(pid);
    QVERIFY(!children.isEmpty());

    QVERIFY(!answer(job, Ask::Pause, QStringLiteral("/nonexistent/haltwick")));
    QVERIFY(!job.isPaused());

    QVERIFY(answer(job, Ask::Pause, m_haltwick));
    QVERIFY(job.isPaused());
    QTRY_COMPARE_WITH_TIMEOUT(processState(pid), 'T', kEventTimeoutMs);
    for (const qint64 child : children)
        QTRY_COMPARE_WITH_TIMEOUT(processState(child), 'T', kEventTimeoutMs);
    // It stays held: no progress is written while paused. Text written just
    // before the stop is still on its way: it is read until the pipe is quiet,
    // after what came while the suspender's answer was awaited.
    process.readAllStandardError();
    for (int chunk = 0; chunk < kMaxLateChunks && process.waitForReadyRead(kSettleMs); ++chunk)
        process.readAllStandardError();
    QVERIFY(!process.waitForReadyRead(kHeldMs));
    QVERIFY(process.readAllStandardError().isEmpty());
    // Held, not done: a job that had ended would be quiet too.
    QCOMPARE(process.state(), QProcess::Running);
    QCOMPARE(processState(pid), 'T');

    QVERIFY(answer(job, Ask::Resume, m_haltwick));
    QVERIFY(!job.isPaused());
    QTRY_VERIFY_WITH_TIMEOUT(processState(pid) != 'T', kEventTimeoutMs);
    for (const qint64 child : children)
        QTRY_VERIFY_WITH_TIMEOUT(processState(child) != 'T', kEventTimeoutMs);
    // And it goes on from where it was held.
    QByteArray after;
    QVERIFY2(waitForProgress(process, &after), after.constData());
    QVERIFY(!answer(job, Ask::Resume, m_haltwick)); // nothing left to resume

    QVERIFY(process.waitForFinished(kJobTimeoutMs));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(QFileInfo(output).size() > 0);
}

void TestTranscoderJob::stopEndsOnlyOurOwnTranscoder() {
    QTemporaryDir out;
    QVERIFY(out.isValid());
    const QString ours = out.filePath(QStringLiteral("ours.mp4"));
    const QString theirs = out.filePath(QStringLiteral("theirs.mp4"));

    // Another transcoder of the same name, not started by the job.
    QProcess bystander;
    bystander.start(m_korvex, slowJob(theirs));
    QByteArray bystanderText;
    QVERIFY2(waitForProgress(bystander, &bystanderText), bystanderText.constData());

    QProcess process;
    TranscoderJob job(process);
    job.start(m_korvex, slowJob(ours));
    QByteArray text;
    QVERIFY2(waitForProgress(process, &text), text.constData());
    const QList<qint64> children = childrenOf(job.processId());

    job.stop();
    QCOMPARE(process.state(), QProcess::NotRunning);
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 255); // stopped, not killed
    for (const qint64 child : children)
        QTRY_COMPARE_WITH_TIMEOUT(processState(child), char(0), kEventTimeoutMs);
    QVERIFY(!QFile::exists(ours));

    QCOMPARE(bystander.state(), QProcess::Running);
    QVERIFY(processState(bystander.processId()) != 'T');
    bystander.kill();
    bystander.waitForFinished(kJobTimeoutMs);
}

void TestTranscoderJob::stopWhilePausedEndsIt() {
    QTemporaryDir out;
    QVERIFY(out.isValid());
    const QString output = out.filePath(QStringLiteral("stopped.mp4"));
    QProcess process;
    TranscoderJob job(process);
    job.start(m_korvex, slowJob(output));
    QByteArray text;
    QVERIFY2(waitForProgress(process, &text), text.constData());
    const QList<qint64> children = childrenOf(job.processId());
    QVERIFY(answer(job, Ask::Pause, m_haltwick));
    QTRY_COMPARE_WITH_TIMEOUT(processState(job.processId()), 'T', kEventTimeoutMs);

    QElapsedTimer clock;
    clock.start();
    job.stop();
    // Ended by its own stop, long before the kill after the grace time.
    QVERIFY(clock.elapsed() < TranscoderJob::kStopGraceMs);
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 255);
    QVERIFY(!job.isPaused());
    for (const qint64 child : children)
        QTRY_COMPARE_WITH_TIMEOUT(processState(child), char(0), kEventTimeoutMs);
    // No file under the output's name, and no unfinished one beside it.
    QCOMPARE(filesIn(out.path()), QStringList());
}

QTEST_GUILESS_MAIN(TestTranscoderJob)
#include "tst_transcoderjob.moc"
