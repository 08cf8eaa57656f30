#include <chrono>
#include <climits>
#include <future>
#include <thread>

#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "../support/processstate.h"
#include "platform/filecalls.h"
#include "testfsmount.h"

// The calls a folder-work thread hands to the helper process answer as the
// same calls made directly, and a channel that is ended gives its thread
// back at once, whatever the helper waits on.
class tst_FileCalls : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void helperAnswersAsTheCallsDo_data();
    void helperAnswersAsTheCallsDo();
    void readsAFileThroughTheHelper();
    void anEndedChannelGivesItsThreadBack();
    void finishesTheClaimOfAKilledWriter();
    void writesFilesOfTheLongestNames();
    void noHelperStaysAsAZombie();
    void aGoneHelperIsNotBypassed();

private:
    QString helper() const;
    QTemporaryDir dir;
};

namespace {

QString describe(const FileCalls::Look &look) {
    return QStringLiteral("answered=%1 exists=%2 link=%3 dir=%4 file=%5 size=%6 ms=%7 error=%8")
        .arg(look.answered)
        .arg(look.exists)
        .arg(look.isLink)
        .arg(look.isDir)
        .arg(look.isFile)
        .arg(look.size)
        .arg(look.modifiedMs)
        .arg(look.error);
}

QString describe(const WriterLock::Facts &facts) {
    return QStringLiteral("lock=%1 ours=%2 ms=%3")
        .arg(int(facts.lock))
        .arg(facts.ours)
        .arg(facts.modifiedMs);
}

// Everything a piece of folder work may ask about path, as one text.
QString everyAnswer(const QString &path) {
    return QStringList{describe(FileCalls::look(path)),
                       FileCalls::canonicalPath(path),
                       FileCalls::hiddenFilesEndingWith(path, QStringLiteral(".part")).join('|'),
                       describe(FileCalls::writerState(path)),
                       QString::number(FileCalls::freeBytes(path) > 0),
                       QString::number(FileCalls::canWriteInto(path))}
        .join('\n');
}

// The children of this process that have ended and are not reaped.
QList<qint64> zombieChildren() {
    QList<qint64> zombies;
    const QDir proc(QStringLiteral("/proc"));
    for (const QString &id : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(proc.filePath(id + QStringLiteral("/stat")));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1).toLongLong() == ::getpid() &&
            processState(id.toLongLong()) == 'Z')
            zombies << id.toLongLong();
    }
    return zombies;
}

// The processes started as program.
QList<qint64> runsOf(const QString &program) {
    QList<qint64> found;
    const QDir proc(QStringLiteral("/proc"));
    for (const QString &id : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile cmdline(proc.filePath(id + QStringLiteral("/cmdline")));
        if (cmdline.open(QIODevice::ReadOnly) &&
            cmdline.readAll().split('\0').value(0) == QFile::encodeName(program))
            found << id.toLongLong();
    }
    return found;
}

// The process that has the file at path open.
qint64 holderOf(const QString &path) {
    const QDir proc(QStringLiteral("/proc"));
    for (const QString &id : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QDir fds(proc.filePath(id + QStringLiteral("/fd")));
        for (const QString &fd :
             fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
            if (QFile::symLinkTarget(fds.filePath(fd)) == path)
                return id.toLongLong();
        }
    }
    return 0;
}

} // namespace

QString tst_FileCalls::helper() const {
    return qEnvironmentVariable("QUILLORA_STAGE_DIR") + QStringLiteral("/foldercalls");
}

void tst_FileCalls::initTestCase() {
    QVERIFY(dir.isValid());
    QVERIFY2(QFileInfo(helper()).isExecutable(), qPrintable(helper()));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("folder")));
    QFile file(dir.filePath(QStringLiteral("folder/.clip.avi.korvex-x.part")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("part");
    file.close();
    QVERIFY(
        QFile::link(dir.filePath(QStringLiteral("folder")), dir.filePath(QStringLiteral("link"))));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone")),
                        dir.filePath(QStringLiteral("dangling"))));
}

void tst_FileCalls::helperAnswersAsTheCallsDo_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("folder") << "folder";
    QTest::newRow("file") << "folder/.clip.avi.korvex-x.part";
    QTest::newRow("link to a folder") << "link";
    QTest::newRow("dangling link") << "dangling";
    QTest::newRow("missing") << "missing/deeper";
    QTest::newRow("non-Latin, spaces and quotes") << "fold\u00e9r \"\u65e5\u672c\"";
}

void tst_FileCalls::helperAnswersAsTheCallsDo() {
    QFETCH(QString, name);
    const QString path = dir.filePath(name);
    const QString direct = everyAnswer(path);
    FileCalls::Channel channel(helper());
    FileCalls::Channel::setForThisThread(&channel);
    const QString helped = everyAnswer(path);
    // Made through the helper, then looked at directly.
    const QString made = path + QStringLiteral("/made");
    const bool madeThere = FileCalls::makePath(made);
    const bool removed = FileCalls::remove(made + QStringLiteral("/none"));
    FileCalls::Channel::setForThisThread(nullptr);
    QCOMPARE(helped, direct);
    QCOMPARE(madeThere, QFileInfo(made).isDir());
    QVERIFY(!removed);
    QDir(made).removeRecursively();
}

void tst_FileCalls::readsAFileThroughTheHelper() {
    const QString path = dir.filePath(QStringLiteral("bytes.bin"));
    QByteArray bytes(300 * 1000, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 7);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();

    FileCalls::Channel channel(helper());
    FileCalls::Channel::setForThisThread(&channel);
    const auto unset = qScopeGuard([] { FileCalls::Channel::setForThisThread(nullptr); });
    QCOMPARE(FileCalls::openForReading(dir.path()), qint64(-EINVAL));
    QCOMPARE(FileCalls::openForReading(path + QStringLiteral(".none")), qint64(-ENOENT));
    const qint64 handle = FileCalls::openForReading(path);
    QVERIFY(handle >= 0);
    QCOMPARE(FileCalls::sizeOf(handle), qint64(bytes.size()));
    QByteArray read(1000, '\0');
    QCOMPARE(FileCalls::readAt(handle, 299500, read.data(), read.size()), qint64(500));
    QCOMPARE(read.left(500), bytes.mid(299500));
    QCOMPARE(FileCalls::readAt(handle, bytes.size(), read.data(), read.size()), qint64(0));
    FileCalls::closeFile(handle);

    const QString written = dir.filePath(QStringLiteral("written.bin"));
    QCOMPARE(FileCalls::writeNew(written, bytes), 0);
    QCOMPARE(FileCalls::writeNew(written, "other"), EEXIST);
    QFile back(written);
    QVERIFY(back.open(QIODevice::ReadOnly));
    QCOMPARE(back.readAll(), bytes);
}

void tst_FileCalls::anEndedChannelGivesItsThreadBack() {
    QTemporaryDir shareFolder;
    TestFsMount share(shareFolder.path(), {}, TestFsMount::WithGate);
    if (!share.isMounted())
        QSKIP(qPrintable(share.whyNot()));
    share.closeGate();
    FileCalls::Channel channel(helper());
    std::promise<FileCalls::Look> answer;
    std::future<FileCalls::Look> looked = answer.get_future();
    std::thread asking([&] {
        FileCalls::Channel::setForThisThread(&channel);
        answer.set_value(FileCalls::look(share.path() + QStringLiteral("/clip.mp4")));
    });
    const auto join = qScopeGuard([&asking] { asking.join(); });
    QTRY_VERIFY(share.callsHeld());
    QCOMPARE(looked.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);

    channel.end();
    QCOMPARE(looked.wait_for(std::chrono::seconds(2)), std::future_status::ready);
    QVERIFY(!looked.get().answered);
}

// A helper killed as it writes a new file on a drive that needs the claim
// of a name, its hidden file taken on by hand to where it would have been
// killed between the claim and the rename over it: the next new file in the
// folder gives the claim the whole file left beside it.
void tst_FileCalls::finishesTheClaimOfAKilledWriter() {
    QTemporaryDir stickFolder;
    TestFsMount stick(stickFolder.path(), {"--refuse=link,rename-flags", "--gated=write"},
                      TestFsMount::WithGate);
    if (!stick.isMounted())
        QSKIP(qPrintable(stick.whyNot()));
    const QByteArray picture(1000, 'p');
    stick.closeGate();
    FileCalls::Channel channel(helper());
    std::thread writing([&] {
        FileCalls::Channel::setForThisThread(&channel);
        FileCalls::writeNew(stick.path() + QStringLiteral("/pic3.bmp"), picture);
    });
    const auto join = qScopeGuard([&] {
        stick.openGate();
        writing.join();
    });
    QTRY_VERIFY(stick.callsHeld());
    const QStringList hidden = QDir(stick.backing()).entryList(QDir::Files | QDir::Hidden);
    QCOMPARE(hidden.size(), 1);
    const qint64 writer = holderOf(stick.path() + QLatin1Char('/') + hidden.first());
    QVERIFY(writer > 0);
    QCOMPARE(::kill(pid_t(writer), SIGKILL), 0);
    stick.openGate();
    QTRY_VERIFY(processState(writer) == 0 || processState(writer) == 'Z');
    // Where it would have got to next: its whole file, and the claim.
    QCOMPARE(QFileInfo(stick.backing() + QLatin1Char('/') + hidden.first()).size(),
             qint64(picture.size()));
    QFile claim(stick.backing() + QStringLiteral("/pic3.bmp"));
    QVERIFY(claim.open(QIODevice::NewOnly));
    claim.close();

    QCOMPARE(FileCalls::writeNew(stick.path() + QStringLiteral("/pic4.bmp"), picture), 0);
    QCOMPARE(QDir(stick.backing()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{"pic3.bmp", "pic4.bmp"}));
    QVERIFY(claim.open(QIODevice::ReadOnly));
    QCOMPARE(claim.readAll(), picture);
}

// A program that lives long makes few calls at times: every process a
// helper's start leaves is reaped all the same, without another call.
// The hidden file beside one whose name fills all the drive allows still
// fits the drive: the write neither fails nor leaves anything.
void tst_FileCalls::writesFilesOfTheLongestNames() {
    QTemporaryDir folder;
    const QString name(NAME_MAX, QLatin1Char('n'));
    const QString replaced = folder.filePath(name);
    QVERIFY(FileCalls::replace(replaced, "old"));
    QVERIFY(FileCalls::replace(replaced, "new"));
    QCOMPARE(FileCalls::writeNewUnsynced(folder.filePath(name.left(NAME_MAX - 1)), "other"), 0);
    QFile back(replaced);
    QVERIFY(back.open(QIODevice::ReadOnly));
    QCOMPARE(back.readAll(), QByteArray("new"));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

void tst_FileCalls::noHelperStaysAsAZombie() {
    FileCalls::Channel channel(helper());
    FileCalls::Channel::setForThisThread(&channel);
    const auto unset = qScopeGuard([] { FileCalls::Channel::setForThisThread(nullptr); });
    QVERIFY(FileCalls::look(dir.path()).isDir);
    QTRY_COMPARE(zombieChildren(), QList<qint64>());
}

// Helpers killed and their program gone (an installation replaced, say):
// the call that finds no helper gets no answer, and is not made on its
// thread, where a share that does not answer would hold it.
void tst_FileCalls::aGoneHelperIsNotBypassed() {
    QTemporaryDir shareFolder;
    TestFsMount share(shareFolder.path(), {}, TestFsMount::WithGate);
    if (!share.isMounted())
        QSKIP(qPrintable(share.whyNot()));
    QTemporaryDir programFolder;
    const QString program = programFolder.filePath(QStringLiteral("foldercalls"));
    QVERIFY(QFile::copy(helper(), program));
    FileCalls::Channel channel(program);
    QVERIFY(!channel.makesCallsDirectly());
    FileCalls::Channel::setForThisThread(&channel);
    QVERIFY(FileCalls::look(dir.path()).isDir);
    FileCalls::Channel::setForThisThread(nullptr);
    QVERIFY(QFile::remove(program));
    QTRY_VERIFY(!runsOf(program).isEmpty());
    for (const qint64 run : runsOf(program))
        ::kill(pid_t(run), SIGKILL);
    QTRY_COMPARE(runsOf(program), QList<qint64>());

    share.closeGate();
    std::promise<FileCalls::Look> answer;
    std::future<FileCalls::Look> looked = answer.get_future();
    std::thread asking([&] {
        FileCalls::Channel::setForThisThread(&channel);
        answer.set_value(FileCalls::look(share.path() + QStringLiteral("/clip.mp4")));
    });
    const auto join = qScopeGuard([&] {
        share.openGate();
        asking.join();
    });
    QCOMPARE(looked.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    QVERIFY(!looked.get().answered);
}

QTEST_APPLESS_MAIN(tst_FileCalls)

#include "tst_filecalls.moc"
