#include <QtTest>

#include "filelist/folderpath.h"

// Folder names put together with "/" and without stray separators.
class tst_FolderPath : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void join_data();
    void join();
    void trailingSeparator_data();
    void trailingSeparator();
};

void tst_FolderPath::join_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("joined");
    // clang-format off
    QTest::newRow("plain") << "/home/ana/Documents" << "Quillora" << "/home/ana/Documents/Quillora";
    QTest::newRow("folder with separator") << "/home/ana/Documents/" << "Quillora" << "/home/ana/Documents/Quillora";
    QTest::newRow("doubled separators") << "/home/ana//" << "//snap/" << "/home/ana/snap";
    QTest::newRow("root") << "/" << "tmp" << "/tmp";
    QTest::newRow("root twice") << "//" << "/tmp" << "/tmp";
    QTest::newRow("no folder") << "" << "snap" << "snap";
    QTest::newRow("no name") << "/home/ana/" << "" << "/home/ana";
    QTest::newRow("spaces and letters") << "/home/ana/Мои файлы" << "output" << "/home/ana/Мои файлы/output";
    // clang-format on
}

void tst_FolderPath::join()
{
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QFETCH(QString, joined);
    QCOMPARE(FolderPath::join(folder, name), joined);
}

void tst_FolderPath::trailingSeparator_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("stored");
    QTest::newRow("chosen folder") << "/media/pics" << "/media/pics/";
    QTest::newRow("already has one") << "/media/pics/" << "/media/pics/";
    QTest::newRow("root") << "/" << "/";
    QTest::newRow("not a path") << "pics" << "pics";
    QTest::newRow("backslash is a letter here") << "C:\\pics" << "C:\\pics";
    QTest::newRow("nothing") << "" << "";
}

void tst_FolderPath::trailingSeparator()
{
    QFETCH(QString, folder);
    QFETCH(QString, stored);
    QCOMPARE(FolderPath::withTrailingSeparator(folder), stored);
}

QTEST_APPLESS_MAIN(tst_FolderPath)
#include "tst_folderpath.moc"
