#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "filelist/outputname.h"
#include "filelist/outputpaths.h"
#include "filelist/takenpaths.h"
#include "platform/filecalls.h"

class tst_TakenPaths : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void samePlaceUnderAnotherName();
    void freeCountsUpFromTheFirstNumber();
    void filesOnDiskAreTaken();
    void noFreeNameLeftIsRefused();
    void aSearchWaitsForTheHelperAFewTimes();
};

namespace {

// path as the source of a row of its own.
void list(TakenPaths &taken, const QString &path)
{
    static TakenPaths::RowKey next = 1;
    taken.setRow(next++, path, QString());
}

// How often this thread has waited (for the helper's answers, among others).
qint64 waitsOfThisThread()
{
    QFile status(QStringLiteral("/proc/thread-self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("voluntary_ctxt_switches:"))
            return line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
    }
    return -1;
}

} // namespace

void tst_TakenPaths::samePlaceUnderAnotherName()
{
    QTemporaryDir root;
    QDir(root.path()).mkpath(QStringLiteral("out"));
    QVERIFY(QFile::link(root.filePath(QStringLiteral("out")), root.filePath(QStringLiteral("link"))));
    QFile source(root.filePath(QStringLiteral("out/clip.mp4")));
    QVERIFY(source.open(QIODevice::WriteOnly));
    source.close();

    TakenPaths taken;
    list(taken, root.filePath(QStringLiteral("out/clip.mp4")));
    list(taken, root.filePath(QStringLiteral("out/other.avi")));
    list(taken, QString());
    QVERIFY(!taken.isFree(root.filePath(QStringLiteral("link/clip.mp4"))));
    QVERIFY(!taken.isFree(root.filePath(QStringLiteral("out/../link/other.avi"))));
    QVERIFY(taken.isFree(root.filePath(QStringLiteral("link/clip.avi"))));
}

void tst_TakenPaths::freeCountsUpFromTheFirstNumber()
{
    TakenPaths taken;
    list(taken, QStringLiteral("/nowhere/out/a.b.avi"));
    list(taken, QStringLiteral("/nowhere/out/a.b3.avi"));
    QCOMPARE(taken.free(QStringLiteral("/nowhere/out/z.avi"), 3), QStringLiteral("/nowhere/out/z.avi"));
    QCOMPARE(taken.free(QStringLiteral("/nowhere/out/a.b.avi"), 3),
             QStringLiteral("/nowhere/out/a.b4.avi"));
    // Dots in folder names stay as they are.
    list(taken, QStringLiteral("/no.where/clip"));
    QCOMPARE(taken.free(QStringLiteral("/no.where/clip"), 1), QStringLiteral("/no.where/clip1"));
}

// When every number is in use the answer is no name at all, never a taken
// one that a job would write over.
void tst_TakenPaths::noFreeNameLeftIsRefused()
{
    const QString wanted = QStringLiteral("/nowhere/out/clip.avi");
    constexpr int kFirst = 2;
    TakenPaths taken;
    list(taken, wanted);
    for (int number = kFirst; number < kFirst + OutputName::kMaxNumber; ++number)
        list(taken, QStringLiteral("/nowhere/out/clip%1.avi").arg(number));
    QVERIFY(taken.free(wanted, kFirst).isEmpty());
    // One number lower is still free: the cap counts tries, not numbers.
    QCOMPARE(taken.free(wanted, kFirst - 1), QStringLiteral("/nowhere/out/clip1.avi"));
}

void tst_TakenPaths::filesOnDiskAreTaken()
{
    QTemporaryDir root;
    for (const char *name : {"clip.avi", "clip1.avi"}) {
        QFile file(root.filePath(QLatin1String(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(QFile::link(root.filePath(QStringLiteral("gone")),
                        root.filePath(QStringLiteral("link.avi"))));

    const TakenPaths taken;
    QVERIFY(!taken.isFree(root.filePath(QStringLiteral("clip.avi"))));
    // A link that leads nowhere would still be written through.
    QVERIFY(!taken.isFree(root.filePath(QStringLiteral("link.avi"))));
    QCOMPARE(taken.free(root.filePath(QStringLiteral("clip.avi")), 1),
             root.filePath(QStringLiteral("clip2.avi")));
    // A numbered name is numbered again from its plain name, not once more.
    QCOMPARE(taken.free(root.filePath(QStringLiteral("clip1.avi")), 1, QStringLiteral("clip.avi")),
             root.filePath(QStringLiteral("clip2.avi")));
}

// A folder full of numbered outputs: the search through it on a folder
// work's thread asks the helper about many names at a time, not about each
// name on its own.
void tst_TakenPaths::aSearchWaitsForTheHelperAFewTimes()
{
    constexpr int kOnDisk = 300;
    constexpr qint64 kFewWaits = 50;
    QTemporaryDir root;
    for (int number = 0; number <= kOnDisk; ++number) {
        QFile file(root.filePath(number == 0 ? QStringLiteral("clip.avi")
                                             : QStringLiteral("clip%1.avi").arg(number)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const TakenPaths taken;
    const QString wanted = root.filePath(QStringLiteral("clip.avi"));
    const QString free = root.filePath(QStringLiteral("clip%1.avi").arg(kOnDisk + 1));
    const QString helper =
        qEnvironmentVariable("QUILLORA_STAGE_DIR") + QLatin1Char('/') + FileCalls::kHelperName;
    QVERIFY2(QFileInfo(helper).isExecutable(), qPrintable(helper));
    FileCalls::Channel channel(helper);
    FileCalls::Channel::setForThisThread(&channel);
    const auto unset = qScopeGuard([] { FileCalls::Channel::setForThisThread(nullptr); });
    // The first call may wait for the helper to start.
    QVERIFY(!taken.isFree(wanted));
    const qint64 before = waitsOfThisThread();
    QCOMPARE(taken.free(wanted, 1), free);
    const qint64 waits = waitsOfThisThread() - before;
    QVERIFY2(waits < kFewWaits, qPrintable(QString::number(waits)));
}

QTEST_APPLESS_MAIN(tst_TakenPaths)
#include "tst_takenpaths.moc"
