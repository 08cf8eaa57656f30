#include <QtTest>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "mainwindow/temppurge.h"

// Emptying the program's temporary folder must stay inside that folder.
class tst_TempPurge : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void emptiesTreeAndKeepsRoot();
    void leavesParentAndSiblingAlone();
    void doesNotFollowLinksOut();
    void rootThatIsALinkIsLeftAlone();
    void missingRootIsNoFolder();

private:
    static void touch(const QString &path);

    QTemporaryDir *box = nullptr;
    QString parent;
    QString root;
    QString sibling;
};

void tst_TempPurge::touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("x");
}

void tst_TempPurge::init()
{
    box = new QTemporaryDir;
    QVERIFY(box->isValid());
    parent = box->filePath(QStringLiteral("cache"));
    root = parent + QStringLiteral("/tmp");
    sibling = parent + QStringLiteral("/handoff");
    touch(sibling + QStringLiteral("/tessaline"));
    touch(parent + QStringLiteral("/keep.txt"));
    touch(root + QStringLiteral("/avsifile1.avs"));
    touch(root + QStringLiteral("/.hidden"));
    touch(root + QStringLiteral("/sub/deeper/avsifile2.avs"));
    touch(root + QStringLiteral("/with space/日本語.png"));
    QDir().mkpath(root + QStringLiteral("/empty"));
}

void tst_TempPurge::cleanup()
{
    delete box;
    box = nullptr;
}

void tst_TempPurge::emptiesTreeAndKeepsRoot()
{
    QVERIFY(TempPurge::emptyFolder(root));
    QVERIFY(QDir(root).exists());
    QCOMPARE(QDir(root).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                  | QDir::NoDotAndDotDot),
             QStringList());
}

void tst_TempPurge::leavesParentAndSiblingAlone()
{
    // The sub-folders empty one after another; their parents must not go
    // with them.
    QVERIFY(TempPurge::emptyFolder(root));
    QVERIFY(QDir(parent).exists());
    QVERIFY(QFile::exists(parent + QStringLiteral("/keep.txt")));
    QVERIFY(QFile::exists(sibling + QStringLiteral("/tessaline")));
}

void tst_TempPurge::doesNotFollowLinksOut()
{
    QVERIFY(QFile::link(sibling, root + QStringLiteral("/to-folder")));
    QVERIFY(QFile::link(parent + QStringLiteral("/keep.txt"), root + QStringLiteral("/to-file")));
    QVERIFY(QFile::link(parent + QStringLiteral("/gone"), root + QStringLiteral("/broken")));

    QVERIFY(TempPurge::emptyFolder(root));
    QVERIFY(QFile::exists(sibling + QStringLiteral("/tessaline")));
    QVERIFY(QFile::exists(parent + QStringLiteral("/keep.txt")));
    QVERIFY(!QFileInfo(root + QStringLiteral("/to-folder")).isSymLink());
    QVERIFY(!QFileInfo(root + QStringLiteral("/to-file")).isSymLink());
    QVERIFY(!QFileInfo(root + QStringLiteral("/broken")).isSymLink());
}

void tst_TempPurge::rootThatIsALinkIsLeftAlone()
{
    const QString link = parent + QStringLiteral("/tmp-link");
    QVERIFY(QFile::link(sibling, link));
    QVERIFY(!TempPurge::emptyFolder(link));
    QVERIFY(QFile::exists(sibling + QStringLiteral("/tessaline")));
}

void tst_TempPurge::missingRootIsNoFolder()
{
    QVERIFY(!TempPurge::emptyFolder(parent + QStringLiteral("/nothing")));
    QVERIFY(!TempPurge::emptyFolder(parent + QStringLiteral("/keep.txt")));
    QVERIFY(!TempPurge::emptyFolder(QString()));
    QVERIFY(QFile::exists(parent + QStringLiteral("/keep.txt")));
}

QTEST_APPLESS_MAIN(tst_TempPurge)
#include "tst_temppurge.moc"
