#include <signal.h>

#include <QCoreApplication>
#include <QProcess>
#include <QSharedMemory>
#include <QUuid>
#include <QtTest>

namespace {

// Waits that end as soon as the other process answers; a busy machine may
// take many seconds to.
constexpr int kEventTimeoutMs = 30000;

} // namespace

// The single-instance guard across real processes: a second start hands its
// message over, an owner that died does not lock everybody out, and every
// user has a guard of their own.
class tst_SingleApplication : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void secondStartHandsOverItsMessage();
    void longMessageArrivesWhole();
    void laterMessageWins();
    void killedOwnerDoesNotBlock();
    void namelessLockIsTakenOverOnceItsOwnerHasGone_data();
    void namelessLockIsTakenOverOnceItsOwnerHasGone();
    void otherUserHasAGuardOfItsOwn();
    void lockAloneKeepsSecondCopyOut();
    void otherComputerRunsItsOwnCopy();

private:
    QString probePath() const;
    bool startOwner(QProcess &owner, const QStringList &user = {});
    int send(const QString &message, const QStringList &user = {});
    QString readMessage(QProcess &owner, int timeoutMs = kEventTimeoutMs);
    QString nativeKeyOf(const QStringList &user = {});

    QString key;
    QProcess owner;
    QString plantedKeyFile;
};

namespace {

QStringList asUser(uint id)
{
    return {QStringLiteral("--user"), QString::number(id)};
}

} // namespace

QString tst_SingleApplication::probePath() const
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/singleapp_probe");
}

void tst_SingleApplication::init()
{
    key = QStringLiteral("quillora-test-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

void tst_SingleApplication::cleanup()
{
    owner.kill();
    owner.waitForFinished();
    if (!plantedKeyFile.isEmpty())
        QFile::remove(plantedKeyFile);
    plantedKeyFile.clear();
    // A killed owner leaves its segment behind, and the system names
    // segments by a few bits of their key file's inode: leftovers of earlier
    // runs would stand at the names of later tests' new key files.
    for (const QStringList &user : {QStringList(), asUser(1001), asUser(1002)}) {
        QSharedMemory left;
        left.setNativeKey(nativeKeyOf(user));
        if (left.attach())
            left.detach();
    }
}

QString tst_SingleApplication::nativeKeyOf(const QStringList &user)
{
    QProcess probe;
    probe.start(probePath(), user + QStringList{QStringLiteral("--native-key"), key});
    if (!probe.waitForFinished(kEventTimeoutMs))
        return QString();
    return QString::fromLocal8Bit(probe.readAllStandardOutput().trimmed());
}

bool tst_SingleApplication::startOwner(QProcess &process, const QStringList &user)
{
    process.start(probePath(), user + QStringList{key});
    if (!process.waitForStarted())
        return false;
    if (!process.waitForReadyRead(kEventTimeoutMs))
        return false;
    return process.readLine().trimmed() == "owner";
}

int tst_SingleApplication::send(const QString &message, const QStringList &user)
{
    QProcess sender;
    sender.start(probePath(), user + QStringList{key, message});
    if (!sender.waitForFinished(kEventTimeoutMs))
        return -1;
    if (sender.readAllStandardOutput().trimmed() != "sender sent")
        return -2;
    return sender.exitStatus() == QProcess::NormalExit ? sender.exitCode() : -3;
}

QString tst_SingleApplication::readMessage(QProcess &process, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!process.canReadLine() && clock.elapsed() < timeoutMs)
        process.waitForReadyRead(100);
    const QByteArray line = process.readLine();
    if (!line.startsWith("message:"))
        return QStringLiteral("<none>");
    return QString::fromUtf8(line.mid(8)).chopped(1);
}

void tst_SingleApplication::secondStartHandsOverItsMessage()
{
    QVERIFY(startOwner(owner));
    QCOMPARE(send(QStringLiteral("message from other instance.")), 0);
    QCOMPARE(readMessage(owner), QStringLiteral("message from other instance."));
    // The flag was reset: nothing more arrives.
    QCOMPARE(readMessage(owner, 1500), QStringLiteral("<none>"));
}

void tst_SingleApplication::longMessageArrivesWhole()
{
    QVERIFY(startOwner(owner));
    const QString message = QString(3000, QLatin1Char('x')) + QStringLiteral(" Ünïcødé 名前");
    QCOMPARE(send(message), 0);
    QCOMPARE(readMessage(owner), message);
}

void tst_SingleApplication::laterMessageWins()
{
    QVERIFY(startOwner(owner));
    // Both land within one poll interval; the shorter, later one must not
    // carry the tail of the earlier one.
    QCOMPARE(send(QStringLiteral("a much longer first message")), 0);
    QCOMPARE(send(QStringLiteral("second")), 0);
    const QString first = readMessage(owner);
    if (first != QStringLiteral("second")) {
        // The poll fell between the two sends: then both arrive, in order.
        QCOMPARE(first, QStringLiteral("a much longer first message"));
        QCOMPARE(readMessage(owner), QStringLiteral("second"));
    }
}

void tst_SingleApplication::killedOwnerDoesNotBlock()
{
    QVERIFY(startOwner(owner));
    ::kill(static_cast<pid_t>(owner.processId()), SIGKILL);
    QVERIFY(owner.waitForFinished());

    QProcess next;
    QVERIFY2(startOwner(next), "a start after a crash must become the owner");
    QCOMPARE(send(QStringLiteral("hello")), 0);
    QCOMPARE(readMessage(next), QStringLiteral("hello"));
    next.kill();
    next.waitForFinished();
}

void tst_SingleApplication::namelessLockIsTakenOverOnceItsOwnerHasGone_data() {
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<bool>("ownerRuns");
    // Cut short between its making and its writing, or zeroes after a power cut.
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("zeroes") << QByteArray(4096, '\0') << false;
    QTest::newRow("emptied under a running owner") << QByteArray() << true;
}

void tst_SingleApplication::namelessLockIsTakenOverOnceItsOwnerHasGone() {
    QFETCH(QByteArray, contents);
    QFETCH(bool, ownerRuns);
    if (ownerRuns)
        QVERIFY(startOwner(owner));
    QString lockPath = nativeKeyOf();
    QVERIFY(lockPath.endsWith(QStringLiteral(".key")));
    lockPath.replace(lockPath.size() - 3, 3, QStringLiteral("lock"));
    plantedKeyFile = lockPath;
    QFile lock(lockPath);
    QVERIFY(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
    lock.write(contents);
    lock.close();

    QProcess next;
    if (!ownerRuns) {
        QVERIFY2(startOwner(next), "a lock that names nobody must not keep every start out");
        next.kill();
        next.waitForFinished();
        return;
    }
    // The owner still holds its lock: the file's words are not needed.
    QCOMPARE(send(QStringLiteral("hello")), 0);
    QCOMPARE(readMessage(owner), QStringLiteral("hello"));
}

void tst_SingleApplication::otherUserHasAGuardOfItsOwn()
{
    QVERIFY(startOwner(owner, asUser(1001)));
    QProcess other;
    QVERIFY2(startOwner(other, asUser(1002)), "another user's start must own a guard of its own");
    // That guard keeps the second user's next start out, and only its own
    // owner hears of it.
    QCOMPARE(send(QStringLiteral("hello"), asUser(1002)), 0);
    QCOMPARE(readMessage(other), QStringLiteral("hello"));
    QCOMPARE(readMessage(owner, 1500), QStringLiteral("<none>"));
    other.kill();
    other.waitForFinished();
}

void tst_SingleApplication::lockAloneKeepsSecondCopyOut()
{
    // A key file that is a link to nowhere: no segment can be made.
    plantedKeyFile = nativeKeyOf();
    QVERIFY(!plantedKeyFile.isEmpty());
    QVERIFY(QFile::link(QStringLiteral("/nonexistent/quillora-test"), plantedKeyFile));

    QVERIFY(startOwner(owner));
    QProcess second;
    second.start(probePath(), {key, QStringLiteral("hello")});
    QVERIFY(second.waitForReadyRead(kEventTimeoutMs));
    const QByteArray said = second.readLine().trimmed();
    second.kill();
    second.waitForFinished();
    // It ends without running; its message has no way to travel.
    QCOMPARE(said, QByteArray("sender failed"));
}

// Without a session's runtime folder the guard's files lie in the cache
// folder, which a home shared with other computers shares too; a lock taken
// on one computer is not seen on another, nor can its copy hear this one.
// Another copy there runs on its own. Another PID and IPC namespace of this
// machine stands in for the other computer.
void tst_SingleApplication::otherComputerRunsItsOwnCopy()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    QProcess here;
    here.setProcessEnvironment(environment);
    QVERIFY(startOwner(here));
    QProcess there;
    there.setProcessEnvironment(environment);
    there.start(QStringLiteral("unshare"),
                {QStringLiteral("--pid"), QStringLiteral("--ipc"), QStringLiteral("--fork"),
                 QStringLiteral("--kill-child"), probePath(), key});
    const bool answered = there.waitForReadyRead(kEventTimeoutMs);
    const QByteArray said = there.readLine().trimmed();
    there.kill();
    there.waitForFinished();
    here.kill();
    here.waitForFinished();
    if (!answered)
        QSKIP("No namespaces of its own here (unshare needs root).");
    QCOMPARE(said, QByteArray("owner"));
}

QTEST_GUILESS_MAIN(tst_SingleApplication)
#include "tst_singleapplication.moc"
