#include <signal.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QSharedMemory>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

#include "app/singleapplication.h"
#include "platform/platform.h"
#include "platform/processowner.h"

namespace {

// Waits that end as soon as the program gets there; a busy machine may take
// many seconds to.
constexpr int kEventTimeoutMs = 30000;

} // namespace

// The installed program itself: started from a folder that is not its own, it
// finds its installation, builds its window, hands a second start's message
// over, and starts again after being killed.
class tst_ProgramStart : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void startsFromAnotherFolder();
    void secondStartExitsAndFirstHears();
    void otherTempFolderStillFindsTheFirst();
    void killedInstanceDoesNotBlockNextStart();
    void endOfSessionRunsTheClosePath_data();
    void endOfSessionRunsTheClosePath();
    void nextStartRemovesWhatKilledCopiesLeft();

private:
    QString recordPath() const;
    // The folder of edit scripts of the copy with that process id.
    QString scriptFolderOf(const QProcess &process) const;
    // True once the main window has been built (it writes the product record).
    bool waitForWindow(QProcess &process, int timeoutMs = kEventTimeoutMs);
    void start(QProcess &process);
    void secondStartReachesTheFirst(QProcess &second);

    QString program;
    QProcess first;
};

void tst_ProgramStart::initTestCase()
{
    program = qEnvironmentVariable("QUILLORA_STAGE_DIR") + QStringLiteral("/quillora");
    QVERIFY2(QFile::exists(program), qPrintable(program));
}

void tst_ProgramStart::cleanup()
{
    if (first.state() != QProcess::NotRunning) {
        first.kill();
        first.waitForFinished();
    }
}

QString tst_ProgramStart::recordPath() const
{
    return qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/FennVideo/Quillora.conf");
}

QString tst_ProgramStart::scriptFolderOf(const QProcess &process) const {
    return qEnvironmentVariable("XDG_CACHE_HOME") +
           QStringLiteral("/FennVideo/Quillora/tmp/%1-%2-%3")
               .arg(QSysInfo::machineHostName())
               .arg(process.processId())
               .arg(ProcessOwner::computerTag());
}

void tst_ProgramStart::start(QProcess &process)
{
    QFile::remove(recordPath());
    process.setWorkingDirectory(QDir::rootPath());
    process.start(program, {});
    QVERIFY(process.waitForStarted());
}

bool tst_ProgramStart::waitForWindow(QProcess &process, int timeoutMs)
{
    // The window writes the product record as it is made.
    bool ended = false;
    const bool settled = QTest::qWaitFor(
        [&] {
            ended = process.state() == QProcess::NotRunning;
            return ended || QFile::exists(recordPath());
        },
        timeoutMs);
    if (!settled || ended)
        return false;
    QSettings record(recordPath(), QSettings::NativeFormat);
    return record.value(QStringLiteral("ver")).toString() == QLatin1String("2.1.2.367")
           && record.value(QStringLiteral("product")).toString() == QLatin1String("Quillora");
}

void tst_ProgramStart::startsFromAnotherFolder()
{
    start(first);
    QVERIFY2(waitForWindow(first), first.readAllStandardError().constData());
}

void tst_ProgramStart::secondStartExitsAndFirstHears()
{
    start(first);
    QVERIFY(waitForWindow(first));

    QProcess second;
    second.setWorkingDirectory(QDir::tempPath());
    secondStartReachesTheFirst(second);
}

// The second start ends at once and its message reaches the first.
void tst_ProgramStart::secondStartReachesTheFirst(QProcess &second)
{
    second.start(program, {});
    QVERIFY(second.waitForFinished(kEventTimeoutMs));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);

    QByteArray heard;
    QElapsedTimer clock;
    clock.start();
    while (!heard.contains("message from other instance.") && clock.elapsed() < kEventTimeoutMs) {
        first.waitForReadyRead(100);
        heard += first.readAllStandardError();
    }
    QVERIFY2(heard.contains("message from other instance."), heard.constData());
}

void tst_ProgramStart::otherTempFolderStillFindsTheFirst()
{
    start(first);
    QVERIFY(waitForWindow(first));

    // A terminal that sets a TMPDIR of its own.
    QTemporaryDir elsewhere;
    QVERIFY(elsewhere.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), elsewhere.path());
    QProcess second;
    second.setProcessEnvironment(environment);
    secondStartReachesTheFirst(second);
}

void tst_ProgramStart::killedInstanceDoesNotBlockNextStart()
{
    start(first);
    QVERIFY(waitForWindow(first));
    ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
    QVERIFY(first.waitForFinished());

    start(first);
    QVERIFY2(waitForWindow(first), "the next start must build its window again");
}

void tst_ProgramStart::endOfSessionRunsTheClosePath_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

// As at a logout: the program ends as its window closes, and takes its
// folder and its shared memory along.
void tst_ProgramStart::endOfSessionRunsTheClosePath() {
    QFETCH(int, signal);
    start(first);
    QVERIFY(waitForWindow(first));
    const QString folder = scriptFolderOf(first);
    ::kill(static_cast<pid_t>(first.processId()), signal);
    QVERIFY(first.waitForFinished(kEventTimeoutMs));
    QCOMPARE(first.exitStatus(), QProcess::NormalExit);
    QCOMPARE(first.exitCode(), 0);
    QVERIFY2(!QFileInfo::exists(folder), qPrintable(folder));
    QSharedMemory segment;
    segment.setNativeKey(
        SingleApplication::nativeKey(QStringLiteral("some unique key string"), Platform::userId()));
    QVERIFY(!segment.attach());
}

namespace {

bool writeFile(const QString &path, const QByteArray &bytes = QByteArray()) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

// A start takes away what this computer's killed copies left, and nothing of
// a copy at work on another computer that shares the home folder (its lock
// is not seen from here) unless nothing in it has changed for a week.
void tst_ProgramStart::nextStartRemovesWhatKilledCopiesLeft() {
    start(first);
    QVERIFY(waitForWindow(first));
    const QString killed = scriptFolderOf(first);
    ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
    QVERIFY(first.waitForFinished());
    QVERIFY(QDir().mkpath(killed));
    QVERIFY(writeFile(killed + QStringLiteral("/avsifile0.avs")));
    const QString folders = QFileInfo(killed).absolutePath();
    const QString atWork = folders + QStringLiteral("/otherhost-4242-0badc0de");
    const QString idle = folders + QStringLiteral("/otherhost-77-0badc0de");
    for (const QString &folder : {atWork, idle}) {
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(writeFile(folder + QStringLiteral("/.owner"),
                          "computer=another-boot/pid:[1]\nhost=otherhost\npid=77\nstarted=1\n"));
        // As an older copy claimed it: with a lock that is held over there.
        QVERIFY(writeFile(folder + QStringLiteral("/.claim")));
        QVERIFY(writeFile(folder + QStringLiteral("/avsifile0.avs")));
    }
    QCOMPARE(QProcess::execute(QStringLiteral("touch"),
                               {QStringLiteral("-d"), QStringLiteral("8 days ago"),
                                idle + QStringLiteral("/.owner"), idle + QStringLiteral("/.claim"),
                                idle + QStringLiteral("/avsifile0.avs"), idle}),
                 0);
    // What the update tool left goes after the folders: its end is theirs.
    const QString handoff =
        qEnvironmentVariable("XDG_CACHE_HOME") + QStringLiteral("/FennVideo/Quillora/handoff");
    QVERIFY(QDir().mkpath(handoff));
    QVERIFY(writeFile(handoff + QStringLiteral("/tessaline")));

    start(first);
    QVERIFY(waitForWindow(first));
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(handoff), kEventTimeoutMs);
    QVERIFY2(!QFileInfo::exists(killed), qPrintable(killed));
    QVERIFY(!QFileInfo::exists(idle));
    QVERIFY(QFileInfo::exists(atWork + QStringLiteral("/avsifile0.avs")));
    QVERIFY(QFileInfo::exists(scriptFolderOf(first)));
    QDir(atWork).removeRecursively();
}

QTEST_GUILESS_MAIN(tst_ProgramStart)
#include "tst_programstart.moc"
