#include <QtTest>

#include "profiles/codectables.h"

class TestCodecTables : public QObject {
    Q_OBJECT

private slots:
    void videoCodecTexts_data();
    void videoCodecTexts();
    void audioCodecTexts_data();
    void audioCodecTexts();
};

// The groups themselves are checked where lists are built (tst_argumentlist)
// and run (tst_korvexprofiles); here the comparison rules.
void TestCodecTables::videoCodecTexts_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("group");
    QTest::addColumn<bool>("forcesAspect");
    // clang-format off
    QTest::newRow("Xvid")           << "Xvid"   << QStringList{"libxvid", "-threads", "8"} << true;
    QTest::newRow("wmv3 is wmv2")   << "wmv3"   << QStringList{"wmv2"}                     << false;
    QTest::newRow("MPEG-4")         << "MPEG-4" << QStringList{"mpeg4"}                    << false;
    QTest::newRow("other case")     << "xvid"   << QStringList()                           << false;
    QTest::newRow("XVID")           << "XVID"   << QStringList()                           << false;
    QTest::newRow("trailing blank") << "FLV "   << QStringList()                           << false;
    QTest::newRow("part of a key")  << "MPEG"   << QStringList()                           << false;
    QTest::newRow("empty")          << ""       << QStringList()                           << false;
    // clang-format on
}

void TestCodecTables::videoCodecTexts() {
    QFETCH(QString, text);
    QFETCH(bool, forcesAspect);
    QTEST(CodecTables::videoCodecArgs(text), "group");
    // The source's own shape: an aspect item that writes no "-aspect" pair.
    QCOMPARE(CodecTables::forcedAspect(text), forcesAspect ? QString("default") : QString());
}

void TestCodecTables::audioCodecTexts_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("encoder");
    // clang-format off
    QTest::newRow("mp3")           << "mp3"       << "libmp3lame";
    QTest::newRow("MP3")           << "MP3"       << "libmp3lame";
    QTest::newRow("Mp3")           << "Mp3"       << "";
    QTest::newRow("leading blank") << " mp3"      << "";
    QTest::newRow("amr")           << "amr"       << "libopencore_amrnb";
    QTest::newRow("libamr_nb")     << "libamr_nb" << "libopencore_amrnb";
    QTest::newRow("empty")         << ""          << "";
    // clang-format on
}

void TestCodecTables::audioCodecTexts() {
    QFETCH(QString, text);
    QTEST(CodecTables::audioEncoderName(text), "encoder");
}

QTEST_APPLESS_MAIN(TestCodecTables)
#include "tst_codectables.moc"
