#include <sys/mount.h>
#include <unistd.h>

#include <QImageReader>
#include <QtTest>

#include "player/snapshot.h"

class TestSnapshot : public QObject {
    Q_OBJECT

private slots:
    void init();
    void fileNameCountsFromFirstFree();
    void fileNameGetsASeparator_data();
    void fileNameGetsASeparator();
    void qualityOnlyForJpg_data();
    void qualityOnlyForJpg();
    void requestsQueueUp();
    void savesEveryFormat_data();
    void savesEveryFormat();
    void failedSaveIsRecorded();
    void fullDriveLeavesNoCutPicture();
};

void TestSnapshot::init() {
    clearSnapshotRequests();
    snapshotQuality = -1;
    captureSaved = false;
}

void TestSnapshot::fileNameCountsFromFirstFree() {
    QTemporaryDir dir;
    const QString folder = dir.path() + "/";
    QCOMPARE(snapshotFileName(folder, ".bmp"), folder + "pic0.bmp");

    QFile(folder + "pic1.bmp").open(QIODevice::WriteOnly);
    QCOMPARE(snapshotFileName(folder, ".bmp"), folder + "pic0.bmp");
    QFile(folder + "pic0.bmp").open(QIODevice::WriteOnly);
    QCOMPARE(snapshotFileName(folder, ".bmp"), folder + "pic2.bmp");
    // Another format does not block the name.
    QFile(folder + "pic0.jpg").open(QIODevice::WriteOnly);
    QCOMPARE(snapshotFileName(folder, ".png"), folder + "pic0.png");

    // A second capture before the first is saved gets a name of its own.
    requestSnapshot(snapshotFileName(folder, ".png"));
    QCOMPARE(snapshotFileName(folder, ".png"), folder + "pic1.png");
    // Taken by the video thread and still being written: the name stays taken
    // until the write is over.
    SnapshotRequest taken;
    QVERIFY(takeSnapshotRequest(&taken));
    QCOMPARE(taken.path, folder + "pic0.png");
    QCOMPARE(snapshotFileName(folder, ".png"), folder + "pic1.png");
    QVERIFY(!saveSnapshot(QImage(), taken));
    QCOMPARE(snapshotFileName(folder, ".png"), folder + "pic0.png");
}

void TestSnapshot::fileNameGetsASeparator_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("expected");
    // clang-format off
    QTest::newRow("no trailing slash")   << "/nonexistent/u/shots"  << ".png"  << "/nonexistent/u/shots/pic0.png";
    QTest::newRow("trailing slash")      << "/nonexistent/u/shots/" << ".bmp"  << "/nonexistent/u/shots/pic0.bmp";
    QTest::newRow("name with spaces")    << "/nonexistent/my shots" << ".tiff" << "/nonexistent/my shots/pic0.tiff";
    QTest::newRow("backslash in a name") << "/nonexistent/a\\b"     << ".png"  << "/nonexistent/a\\b/pic0.png";
    // clang-format on
}

void TestSnapshot::fileNameGetsASeparator() {
    QFETCH(QString, folder);
    QFETCH(QString, suffix);
    QFETCH(QString, expected);
    QCOMPARE(snapshotFileName(folder, suffix), expected);
}

void TestSnapshot::qualityOnlyForJpg_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("expected");
    QTest::newRow("jpg") << "/tmp/pic0.jpg" << 60;
    QTest::newRow("upper-case JPG") << "/tmp/pic0.JPG" << -1;
    QTest::newRow("png") << "/tmp/pic0.png" << -1;
    QTest::newRow("tiff") << "/tmp/pic0.tiff" << -1;
}

void TestSnapshot::qualityOnlyForJpg() {
    QFETCH(QString, path);
    QFETCH(int, expected);
    QCOMPARE(snapshotSaveQuality(path, 60), expected);
}

void TestSnapshot::requestsQueueUp() {
    snapshotQuality = 90;
    requestSnapshot("/tmp/a/pic0.jpg");
    snapshotQuality = 60;
    requestSnapshot("/tmp/a/pic1.jpg");
    QCOMPARE(captureRequested.load(), 1);
    QCOMPARE(capturePath(), QString("/tmp/a/pic1.jpg"));
    QCOMPARE(pendingSnapshotCount(), 2);

    SnapshotRequest request;
    QVERIFY(takeSnapshotRequest(&request));
    QCOMPARE(request.path, QString("/tmp/a/pic0.jpg"));
    QCOMPARE(request.quality, 90);
    QCOMPARE(captureRequested.load(), 1); // the second still waits
    QVERIFY(takeSnapshotRequest(&request));
    QCOMPARE(request.path, QString("/tmp/a/pic1.jpg"));
    QCOMPARE(request.quality, 60);
    QCOMPARE(captureRequested.load(), 0);
    QVERIFY(!takeSnapshotRequest(&request));
}

void TestSnapshot::savesEveryFormat_data() {
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<int>("quality");
    QTest::addColumn<QByteArray>("format");
    QTest::newRow("TIFF") << ".tiff" << -1 << QByteArray("tiff");
    QTest::newRow("BMP") << ".bmp" << -1 << QByteArray("bmp");
    QTest::newRow("PNG") << ".png" << -1 << QByteArray("png");
    QTest::newRow("JPG high") << ".jpg" << 100 << QByteArray("jpeg");
    QTest::newRow("JPG standard") << ".jpg" << 90 << QByteArray("jpeg");
    QTest::newRow("JPG low") << ".jpg" << 60 << QByteArray("jpeg");
}

void TestSnapshot::savesEveryFormat() {
    QFETCH(QString, suffix);
    QFETCH(int, quality);
    QFETCH(QByteArray, format);
    QTemporaryDir dir;
    QImage image(175, 97, QImage::Format_RGB32);
    image.fill(qRgb(200, 40, 10));
    const QString path = snapshotFileName(dir.path(), suffix);
    QVERIFY(saveSnapshot(image, {path, quality}));
    QVERIFY(captureSaved);
    QImageReader reader(path);
    QCOMPARE(reader.format(), format);
    const QImage back = reader.read();
    QCOMPARE(back.size(), image.size());
    QVERIFY(qAbs(qRed(back.pixel(10, 10)) - 200) < 12);
}

void TestSnapshot::failedSaveIsRecorded() {
    captureSaved = true;
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::white);
    QVERIFY(!saveSnapshot(image, {"/nonexistent/folder/pic0.bmp", -1}));
    QVERIFY(!captureSaved);
}

// A picture larger than the room left on the drive: nothing of it stays,
// under its name or beside it.
void TestSnapshot::fullDriveLeavesNoCutPicture() {
    QTemporaryDir small;
    const QByteArray folder = QFile::encodeName(small.path());
    // Mounted where the file-call helpers started ahead of need see it too.
    if (::geteuid() != 0 || ::mount("tmpfs", folder.constData(), "tmpfs", 0, "size=1m") != 0)
        QSKIP("A size-limited folder needs root.");
    const auto unmount = qScopeGuard([&folder] { ::umount2(folder.constData(), MNT_DETACH); });
    QImage image(1280, 720, QImage::Format_RGB32);
    image.fill(qRgb(20, 200, 90));
    QVERIFY(!saveSnapshot(image, {small.filePath("pic0.bmp"), -1}));
    QVERIFY(!captureSaved);
    QCOMPARE(QDir(small.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

QTEST_GUILESS_MAIN(TestSnapshot)
#include "tst_snapshot.moc"
