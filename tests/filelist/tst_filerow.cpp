#include <QTreeWidgetItem>
#include <QtTest>

#include "filelist/filerow.h"

class TestFileRow : public QObject {
    Q_OBJECT

private slots:
    void sizeText_data();
    void sizeText();
    void estimate_data();
    void estimate();
    void estimateInMediaInfo();
    void rolesPerColumn();
};

void TestFileRow::sizeText_data() {
    QTest::addColumn<QString>("estimatedMB");
    QTest::addColumn<QString>("text");
    // clang-format off
    QTest::newRow("zero")             << "0.000"    << "0MB";
    QTest::newRow("cut, not rounded") << "12.346"   << "12.3MB";
    QTest::newRow("whole")            << "12.000"   << "12MB";
    QTest::newRow("binary tenths")    << "8.200"    << "8.2MB";
    QTest::newRow("just under 1000")  << "999.950"  << "999.9MB";
    QTest::newRow("999.96")           << "999.960"  << "999.9MB";
    QTest::newRow("1000 is 0.9GB")    << "1000.000" << "0.9GB";
    QTest::newRow("2048")             << "2048.000" << "2GB";
    QTest::newRow("1536")             << "1536.000" << "1.5GB";
    QTest::newRow("not a number")     << "abc"      << "";
    // clang-format on
}

void TestFileRow::sizeText() {
    QFETCH(QString, estimatedMB);
    QFETCH(QString, text);
    QCOMPARE(FileRow::sizeText(estimatedMB), text);
}

void TestFileRow::estimate_data() {
    QTest::addColumn<QString>("duration");
    QTest::addColumn<QString>("video");
    QTest::addColumn<QString>("audio");
    QTest::addColumn<QString>("mb");
    QTest::addColumn<QString>("text");
    // clang-format off
    QTest::newRow("zero duration")   << "0"    << "1200"   << "128"  << "0.000"    << "0MB";
    QTest::newRow("typical")         << "100"  << "1200"   << "128"  << "16.211"   << "16.2MB";
    QTest::newRow("audio only")      << "61"   << ""       << "128"  << "0.953"    << "0.9MB";
    QTest::newRow("word counts 0")   << "60"   << "fast"   << "128K" << "0.000"    << "0MB";
    QTest::newRow("two hours HD")    << "7200" << "8000"   << "192"  << "7200.000" << "7GB";
    QTest::newRow("just under 1000") << "8192" << "999.95" << ""     << "999.950"  << "999.9MB";
    QTest::newRow("unknown length")  << ""     << "1200"   << "128"  << ""         << "";
    // clang-format on
}

void TestFileRow::estimate() {
    QFETCH(QString, duration);
    QFETCH(QString, video);
    QFETCH(QString, audio);
    QFETCH(QString, mb);
    QFETCH(QString, text);
    const FileRow::SizeEstimate e = FileRow::estimateSize(duration, video, audio);
    QCOMPARE(e.estimatedMB, mb);
    QCOMPARE(e.text, text);
}

void TestFileRow::estimateInMediaInfo() {
    MediaInfo info; // short lists are padded
    QCOMPARE(FileRow::updateSizeEstimate(info), QString());
    QCOMPARE(info.size(), int(FileRow::MediaInfoCount));
    info[FileRow::DurationSeconds] = "83";
    info[FileRow::OutputVideoBitrate] = "768";
    info[FileRow::OutputAudioBitrate] = "128";
    QCOMPARE(FileRow::updateSizeEstimate(info), QString("9MB"));
    QCOMPARE(info[FileRow::EstimatedMB], QString("9.078"));
}

void TestFileRow::rolesPerColumn() {
    // Role 33 means three things, one per column: none overwrites another.
    QTreeWidgetItem item;
    FileRow::setSettingsIndexes(&item, FileRow::emptySettingsIndexList());
    item.setData(FileRow::StatusColumn, FileRow::StatusWordRole, FileRow::kStatusFinished);
    MediaInfo info;
    for (int k = 0; k < FileRow::MediaInfoCount; ++k)
        info << QString::number(k * 10);
    FileRow::setMediaInfo(&item, info);
    FileRow::setOptionItems(&item, FileRow::AChannelsItems, {"Mono", "Stereo"});
    QCOMPARE(FileRow::settingsIndexes(&item), QStringList(11, "-1"));
    QCOMPARE(item.data(2, 33).toString(), QString("finished"));
    QCOMPARE(FileRow::mediaInfo(&item), info);
    // The numbers stored rows and the per-file settings dialog rely on.
    QCOMPARE(item.data(1, 33).toStringList(), QStringList(11, "-1"));
    QCOMPARE(item.data(3, 33).toString(), QString("0"));
    QCOMPARE(item.data(3, 33 + 17).toString(), QString("170"));
    QCOMPARE(item.data(1, 42).toStringList(), (QStringList{"Mono", "Stereo"}));

    // No item reads as empty data of the full length.
    QCOMPARE(FileRow::mediaInfo(nullptr).size(), int(FileRow::MediaInfoCount));
    QVERIFY(FileRow::arguments(nullptr).isEmpty());
}

QTEST_APPLESS_MAIN(TestFileRow)
#include "tst_filerow.moc"
