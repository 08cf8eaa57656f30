#include <QtTest>

#include "profiles/codectables.h"

class TestCodecTables : public QObject {
    Q_OBJECT

private slots:
    void videoGroups_data();
    void videoGroups();
    void audioEncoders_data();
    void audioEncoders();
    void onlyXvidForcesTheAspect();
    void displayNames();
};

void TestCodecTables::videoGroups_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("group");
    QTest::newRow("h264") << "H.264/MPEG-4 AVC"
                          << QStringList{"libx264", "-fpre", "x264/libx264-veryfast.ffpreset",
                                         "-threads", "0"};
    QTest::newRow("xvid") << "Xvid" << QStringList{"libxvid", "-threads", "8"};
    QTest::newRow("wmv3 is wmv2") << "wmv3" << QStringList{"wmv2"};
    QTest::newRow("other case") << "xvid" << QStringList();
    QTest::newRow("trailing blank") << "FLV " << QStringList();
    QTest::newRow("part of a key") << "MPEG" << QStringList();
    QTest::newRow("empty") << "" << QStringList();
}

void TestCodecTables::videoGroups() {
    QFETCH(QString, text);
    QFETCH(QStringList, group);
    QCOMPARE(CodecTables::videoCodecArgs(text), group);
}

void TestCodecTables::audioEncoders_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("encoder");
    QTest::newRow("mp3") << "mp3"
                         << "libmp3lame";
    QTest::newRow("MP3") << "MP3"
                         << "libmp3lame";
    QTest::newRow("Mp3") << "Mp3"
                         << "";
    QTest::newRow("leading blank") << " mp3"
                                   << "";
    QTest::newRow("AAC") << "AAC"
                         << "libfaac";
    QTest::newRow("AMR") << "AMR"
                         << "libopencore_amrnb";
    QTest::newRow("amr") << "amr"
                         << "libopencore_amrnb";
    QTest::newRow("libamr_nb") << "libamr_nb"
                               << "libopencore_amrnb";
    QTest::newRow("wma8") << "Windows Media Audio V8"
                          << "wmav2";
    QTest::newRow("empty") << ""
                           << "";
}

void TestCodecTables::audioEncoders() {
    QFETCH(QString, text);
    QFETCH(QString, encoder);
    QCOMPARE(CodecTables::audioEncoderName(text), encoder);
}

void TestCodecTables::onlyXvidForcesTheAspect() {
    // The source's own shape: an aspect item that writes no "-aspect" pair.
    QCOMPARE(CodecTables::forcedAspect("Xvid"), QString("default"));
    QVERIFY(CodecTables::forcedAspect("MPEG-4").isEmpty());
    QVERIFY(CodecTables::forcedAspect("XVID").isEmpty());
    QVERIFY(CodecTables::forcedAspect("").isEmpty());
}

void TestCodecTables::displayNames() {
    QCOMPARE(CodecTables::audioCodecDisplayName("libmp3lame"), QString("mp3"));
    QCOMPARE(CodecTables::audioCodecDisplayName("libfaac"), QString("AAC"));
    QCOMPARE(CodecTables::audioCodecDisplayName("mp2"), QString("mp2"));
    QCOMPARE(CodecTables::audioCodecDisplayName(""), QString(""));
}

QTEST_APPLESS_MAIN(TestCodecTables)
#include "tst_codectables.moc"
