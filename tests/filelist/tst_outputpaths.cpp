#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "filelist/outputpaths.h"
#include "filelist/takenpaths.h"

class TestOutputPaths : public QObject {
    Q_OBJECT

private slots:
    void names_data();
    void names();
    void folders();
    void neverTheSourceNorAnotherRow();
    void sourceReachedThroughALink();
};

void TestOutputPaths::names_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("result");
    // clang-format off
    QTest::newRow("new label")          << "/out/clip.avi"       << "MP4" << "/out/clip.mp4";
    QTest::newRow("several dots")       << "/out/clip.part1.avi" << "MP4" << "/out/clip.part1.mp4";
    QTest::newRow("ts")                 << "/out/clip.avi"       << "TS"  << "/out/clip.ts";
    QTest::newRow("dot only in folder") << "/my.films/clip"      << "AVI" << "/my.films/clip.avi";
    QTest::newRow("bare name")          << "a.b.mkv"             << "AVI" << "a.b.avi";
    QTest::newRow("upper-case source")  << "movie.MP4"           << "AVI" << "movie.avi";
    // clang-format on
}

void TestOutputPaths::names() {
    QFETCH(QString, path);
    QFETCH(QString, label);
    QTEST(OutputPaths::withExtension(path, label), "result");
}

void TestOutputPaths::folders() {
    QCOMPARE(OutputPaths::folderFromField("/media/out"), QString("/media/out/"));
    QCOMPARE(OutputPaths::folderFromField("/media/out/"), QString("/media/out/"));
    QCOMPARE(OutputPaths::folderFromField("/"), QString("/"));
    QCOMPARE(OutputPaths::folderFromField(""), QString());
    // A relative text is the user's: in the home folder, not where the
    // program runs from.
    QCOMPARE(OutputPaths::folderFromField("out"), QDir::homePath() + QString("/out/"));
    QCOMPARE(OutputPaths::folderFromField("~"), QDir::homePath() + QString("/"));
    QCOMPARE(OutputPaths::folderFromField("~/films"), QDir::homePath() + QString("/films/"));
    QCOMPARE(OutputPaths::folderFromField("a/~"), QDir::homePath() + QString("/a/~/"));
    QCOMPARE(OutputPaths::withFolder("/e/out/clip.avi", "/d/films"), QString("/d/films/clip.avi"));
    QCOMPARE(OutputPaths::withFolder("/e/out/clip.avi", "/"), QString("/clip.avi"));
    QCOMPARE(OutputPaths::fileName("/e/out/clip.avi"), QString("clip.avi"));
}

void TestOutputPaths::neverTheSourceNorAnotherRow() {
    QTemporaryDir dir;
    const QString source = dir.path() + "/clip.avi";
    // The row being named has its source listed; its own output is no other's.
    TakenPaths taken;
    taken.setRow(1, source, dir.path() + "/clip.mp4");
    QCOMPARE(taken.free(dir.path() + "/clip.mp4", 3, QString(), 1), dir.path() + "/clip.mp4");
    QCOMPARE(taken.free(source, 3, QString(), 1), dir.path() + "/clip3.avi");
    taken.setRow(2, dir.path() + "/other.mp4", dir.path() + "/clip3.avi");
    QCOMPARE(taken.free(source, 3, QString(), 1), dir.path() + "/clip4.avi");
    // Another row's output, written another way, is taken too.
    taken.setRow(3, QString(), dir.path() + "/sub/../clip.mp4");
    QCOMPARE(taken.free(dir.path() + "/clip.mp4", 0, QString(), 1), dir.path() + "/clip0.mp4");
    // A row that goes takes its paths along.
    taken.removeRow(3);
    QCOMPARE(taken.free(dir.path() + "/clip.mp4", 0, QString(), 1), dir.path() + "/clip.mp4");
}

void TestOutputPaths::sourceReachedThroughALink() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("real"));
    const QString source = dir.path() + "/real/clip.avi";
    QVERIFY(QFile::link(dir.path() + "/real", dir.path() + "/link"));
    // The output folder is a link to the source's folder: same file.
    TakenPaths taken;
    taken.setRow(1, source, QString());
    QCOMPARE(taken.free(dir.path() + "/link/clip.avi", 1, QString(), 1),
             dir.path() + "/link/clip1.avi");
}

QTEST_APPLESS_MAIN(TestOutputPaths)
#include "tst_outputpaths.moc"
