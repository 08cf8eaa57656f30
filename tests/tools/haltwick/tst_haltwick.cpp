#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <signal.h>
#include <unistd.h>

#include "groupsignal.h"
#include "processtable.h"

namespace {

// Waits end as soon as the tool or the process does what is awaited; a busy
// machine may take many seconds to get there.
constexpr int kToolTimeoutMs = 30000;

QString haltwickPath() {
    return qEnvironmentVariable("QUILLORA_STAGE_DIR") + "/haltwick";
}

// The main window's search for the transcoder's identifier in the listing:
// the nine characters before the first occurrence of the image name, then the
// text after "PID" (or, without one, after the window's first two characters)
// up to the name, trimmed and simplified.
QString identifierFromListing(const QByteArray &output, const QString &image) {
    const QString text =
        QString::fromLatin1(output.contains('\0') ? output.left(output.indexOf('\0')) : output);
    const int at = text.indexOf(image);
    if (at < 0)
        return {};
    const int from = qMax(0, at - 9);
    const QString window = text.mid(from, at - from) + image;
    const int p = window.indexOf("PID");
    const int start = p + 3;
    return window.mid(start, window.length() - image.length() - start).simplified();
}

QChar stateOf(qint64 pid) {
    haltwick::ProcStat stat;
    if (!haltwick::readStat(int(pid), &stat))
        return QChar('?');
    return QChar(stat.state);
}

// A stop sent to the process that it has not taken yet: the kernel shows it
// pending until the process is stopped.
bool stopPending(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    constexpr quint64 kStopBit = quint64(1) << (SIGSTOP - 1);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if ((line.startsWith("SigPnd:") || line.startsWith("ShdPnd:")) &&
            (line.mid(7).trimmed().toULongLong(nullptr, 16) & kStopBit))
            return true;
    }
    return false;
}

struct ToolRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

ToolRun runHaltwick(const QStringList &arguments) {
    QProcess tool;
    tool.start(haltwickPath(), arguments);
    ToolRun run;
    if (!tool.waitForFinished(kToolTimeoutMs)) {
        tool.kill();
        tool.waitForFinished();
        return run;
    }
    run.exitCode = tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    run.out = tool.readAllStandardOutput();
    run.err = tool.readAllStandardError();
    return run;
}

// The transcoder is started as the leader of a group of its own, with
// ffmpeg as its child: a shell waiting for a sleep stands in for both.
class ProcessGroup {
public:
    explicit ProcessGroup(const QString &program = "/bin/sh") {
        process.setChildProcessModifier([] { setpgid(0, 0); });
        process.start(program, {"-c", "sleep 30 & wait"});
    }
    ~ProcessGroup() {
        if (process.state() != QProcess::NotRunning) {
            kill(-pid(), SIGKILL);
            process.waitForFinished();
        }
    }
    qint64 pid() const { return process.processId(); }
    bool started() { return process.waitForStarted(); }

    qint64 childPid() const {
        const QStringList entries = QDir("/proc").entryList(QDir::Dirs);
        for (const QString &entry : entries) {
            haltwick::ProcStat stat;
            if (haltwick::readStat(entry.toInt(), &stat) && stat.ppid == pid())
                return stat.pid;
        }
        return 0;
    }

    QProcess process;
};

} // namespace

class TestHaltwick : public QObject {
    Q_OBJECT

private slots:
    void statLine_data();
    void statLine();
    void pidText_data();
    void pidText();
    void identifierFoundInListing_data();
    void identifierFoundInListing();
    void realListingNamesAProcess();
    void suspendAndResumeTheWholeGroup();
    void refusesProcessesOutsideTheirOwnGroup();
    void badArguments_data();
    void badArguments();
};

void TestHaltwick::statLine_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("comm");
    QTest::addColumn<QChar>("state");
    QTest::addColumn<int>("ppid");
    QTest::addColumn<int>("pgid");

    // clang-format off
    QTest::newRow("plain")         << "1234 (korvex) S 1200 1234 1200 0 -1" << true << "korvex" << QChar('S') << 1200 << 1234;
    QTest::newRow("blank and parenthesis in the name")
                                   << "77 (a) b (c) T 5 70 70 0"  << true  << "a) b (c" << QChar('T') << 5 << 70;
    QTest::newRow("seven digits")  << "4194304 (x) R 4194000 4194304 1" << true << "x"  << QChar('R') << 4194000 << 4194304;
    QTest::newRow("truncated")     << "12 (x) S"                  << false << ""        << QChar('?') << 0 << 0;
    QTest::newRow("no name")       << "12 S 1 1"                  << false << ""        << QChar('?') << 0 << 0;
    // clang-format on
}

void TestHaltwick::statLine() {
    QFETCH(QString, line);
    QFETCH(bool, ok);
    haltwick::ProcStat stat;
    QCOMPARE(haltwick::parseStatLine(line.toStdString(), &stat), ok);
    if (!ok)
        return;
    QFETCH(QString, comm);
    QFETCH(QChar, state);
    QFETCH(int, ppid);
    QFETCH(int, pgid);
    QCOMPARE(QString::fromStdString(stat.comm), comm);
    QCOMPARE(QChar(stat.state), state);
    QCOMPARE(stat.ppid, ppid);
    QCOMPARE(stat.pgid, pgid);
}

void TestHaltwick::pidText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("pid");

    QTest::newRow("four digits") << "1234" << 1234;
    QTest::newRow("highest") << "4194304" << 4194304;
    QTest::newRow("above the highest") << "4194305" << 0;
    QTest::newRow("eight digits") << "12345678" << 0;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("negative") << "-5" << 0;
    QTest::newRow("plus sign") << "+5" << 0;
    QTest::newRow("blank") << " 5" << 0;
    QTest::newRow("trailing text") << "12a" << 0;
    QTest::newRow("empty") << "" << 0;
}

void TestHaltwick::pidText() {
    QFETCH(QString, text);
    QFETCH(int, pid);
    int parsed = 0;
    QCOMPARE(haltwick::parsePid(text.toStdString(), &parsed), pid != 0);
    if (pid != 0)
        QCOMPARE(parsed, pid);
}

void TestHaltwick::identifierFoundInListing_data() {
    QTest::addColumn<int>("pid");
    QTest::addColumn<bool>("first");

    for (int pid : {1, 42, 1234, 12345, 123456, 1234567, haltwick::kMaxPid}) {
        QTest::addRow("%d after other lines", pid) << pid << false;
        QTest::addRow("%d as the first line", pid) << pid << true;
    }
}

void TestHaltwick::identifierFoundInListing() {
    QFETCH(int, pid);
    QFETCH(bool, first);

    std::vector<haltwick::ProcessEntry> entries;
    if (!first)
        entries = {{1, "systemd"}, {98, "quillora"}, {4000000, "bash"}};
    entries.push_back({pid, "korvex"});
    entries.push_back({4100000, "ffmpeg"});

    const QByteArray listing = QByteArray::fromStdString(haltwick::listing(entries));
    QCOMPARE(identifierFromListing(listing, "korvex"), QString::number(pid));
}

void TestHaltwick::realListingNamesAProcess() {
    // A name of our own, so that no other process (say, a real transcoder of
    // a test running beside this one) is found first.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString image = QString("hw%1lead").arg(getpid());
    const QString program = dir.filePath(image);
    QVERIFY(QFile::link("/bin/sh", program));

    ProcessGroup group(program);
    QVERIFY(group.started());

    const ToolRun run = runHaltwick({});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.err.isEmpty());
    QVERIFY(run.out.contains(
        QByteArray::fromStdString(haltwick::listingLine(int(group.pid()), image.toStdString()))));
    QCOMPARE(identifierFromListing(run.out, image), QString::number(group.pid()));
    // The test itself is listed under its own name too.
    QVERIFY(run.out.contains(QByteArray::fromStdString(
        haltwick::listingLine(getpid(), QCoreApplication::applicationName().toStdString()))));
}

void TestHaltwick::suspendAndResumeTheWholeGroup() {
    ProcessGroup group;
    QVERIFY(group.started());
    QTRY_VERIFY_WITH_TIMEOUT(group.childPid() != 0, kToolTimeoutMs);
    const qint64 leader = group.pid();
    const qint64 child = group.childPid();
    const QString id = QString::number(leader);

    ToolRun run = runHaltwick({id});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.err.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(stateOf(leader), QChar('T'), kToolTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(stateOf(child), QChar('T'), kToolTimeoutMs);

    // The main window may suspend twice for one pause; one resume must do.
    QCOMPARE(runHaltwick({id}).exitCode, 0);

    run = runHaltwick({id, "/r"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err, QByteArray("1"));
    QTRY_VERIFY_WITH_TIMEOUT(stateOf(leader) != QChar('T'), kToolTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(stateOf(child) != QChar('T'), kToolTimeoutMs);

    // The main window resumes once more and repeats while the count is above 1.
    run = runHaltwick({id, "/r"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.err.toInt(), 0);
    QVERIFY(stateOf(child) != QChar('T'));
}

void TestHaltwick::refusesProcessesOutsideTheirOwnGroup() {
    ProcessGroup group;
    QVERIFY(group.started());
    QTRY_VERIFY_WITH_TIMEOUT(group.childPid() != 0, kToolTimeoutMs);
    const qint64 child = group.childPid();

    // The child shares its parent's group: stopping that group is not what
    // the caller asked for.
    ToolRun run = runHaltwick({QString::number(child)});
    QCOMPARE(run.exitCode, 4);
    QVERIFY(run.err.contains(QByteArray::number(group.pid())));
    // Neither stopped nor about to be: a stop the tool sent before it ended
    // shows as one or the other (pending first: once taken, it is stopped).
    QVERIFY(!stopPending(child) && stateOf(child) != QChar('T'));
    QVERIFY(!stopPending(group.pid()) && stateOf(group.pid()) != QChar('T'));

    // A leader whose group holds the tool itself would stop the tool (and
    // whoever waits for it): the shell leads a new group and becomes haltwick.
    QProcess self;
    self.setChildProcessModifier([] { setpgid(0, 0); });
    self.start("/bin/sh", {"-c", "exec \"$0\" $$", haltwickPath()});
    const bool finished = self.waitForFinished(kToolTimeoutMs);
    if (!finished) {
        kill(-self.processId(), SIGKILL);
        self.waitForFinished();
    }
    QVERIFY(finished);
    QCOMPARE(self.exitCode(), 4);
    QVERIFY(self.readAllStandardError().contains("leads the group that haltwick itself runs in"));

    // Signalling group 1 would mean every process: never. (Resume, so that a
    // fault here could not stop the machine.)
    run = runHaltwick({"1", "/r"});
    QCOMPARE(run.exitCode, 4);

    // A transcoder that has ended meanwhile.
    QProcess gone;
    gone.start("/bin/true");
    QVERIFY(gone.waitForStarted());
    const qint64 gonePid = gone.processId();
    QVERIFY(gone.waitForFinished());
    run = runHaltwick({QString::number(gonePid)});
    QCOMPARE(run.exitCode, 3);
    QVERIFY(run.err.contains("there is no process"));
}

void TestHaltwick::badArguments_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");

    QTest::newRow("not a number") << QStringList{"abc"} << 2 << "not a process identifier";
    QTest::newRow("negative") << QStringList{"-1"} << 2 << "not a process identifier";
    QTest::newRow("too large") << QStringList{"99999999"} << 2 << "not a process identifier";
    QTest::newRow("unknown switch") << QStringList{"123", "/x"} << 2 << "usage";
    QTest::newRow("too many") << QStringList{"123", "/r", "x"} << 2 << "usage";
}

void TestHaltwick::badArguments() {
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const ToolRun run = runHaltwick(arguments);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(message.toUtf8()), run.err.constData());
}

QTEST_GUILESS_MAIN(TestHaltwick)
#include "tst_haltwick.moc"
