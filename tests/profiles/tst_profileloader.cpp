#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include "profiles/codectables.h"
#include "profiles/profilecatalogue.h"
#include "profiles/profileloader.h"

using Rule = ProfileLoader::ListRule;

class TestProfileLoader : public QObject {
    Q_OBJECT

private slots:
    void listSelection_data();
    void listSelection();
    void codecSelection_data();
    void codecSelection();
    void missingGroups();
    void commentsDoNotShiftEntries();
    void unreadableFiles();
    void workingDirectoryStays();
    void namesStayInsideTheFolder();
    void shippedProfiles();

private:
    static ProfileSelection loadText(const QByteArray &xml);
};

ProfileSelection TestProfileLoader::loadText(const QByteArray &xml) {
    const auto document = ProfileLoader::parse(xml);
    return document ? ProfileLoader::select(*document) : ProfileSelection();
}

void TestProfileLoader::listSelection_data() {
    QTest::addColumn<QString>("items");
    QTest::addColumn<QString>("defaultText");
    QTest::addColumn<int>("rule");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("count");

    const int sub = int(Rule::Substring);
    const int fps = int(Rule::FrameRate);
    const int ch = int(Rule::Channels);
    // clang-format off
    QTest::newRow("substring")                << "320x240,640x480"   << "640"   << sub << 1  << 2;
    QTest::newRow("last match wins")          << "320x240,640x480"   << "40"    << sub << 1  << 2;
    QTest::newRow("empty default takes last") << "320x240,640x480"   << ""      << sub << 1  << 2;
    QTest::newRow("no match keeps first")     << "320x240,640x480"   << "800"   << sub << 0  << 2;
    QTest::newRow("case sensitive")           << "Auto,128K"         << "128k"  << sub << 0  << 2;
    // The bitrate list is tested to its end, the last entry included.
    QTest::newRow("bitrate last entry")       << "256K,512K,768K"    << "768"   << sub << 2  << 3;
    QTest::newRow("single entry")             << "Auto"              << "none"  << sub << 0  << 1;
    QTest::newRow("trailing comma")           << "22050,44100,"      << "44100" << sub << 1  << 3;
    QTest::newRow("blank is part of entry")   << "a, b"              << " b"    << sub << 1  << 2;
    QTest::newRow("fps cut")                  << "15fps,25fps,30fps" << "30"    << fps << 2  << 3;
    QTest::newRow("fps middle")               << "15fps,25fps,30fps" << "25"    << fps << 1  << 3;
    QTest::newRow("fps unit only in last")    << "15fps,25fps,30fps" << "f"     << fps << 2  << 3;
    QTest::newRow("fps auto first")           << "Auto,15fps,30fps"  << "Auto"  << fps << 0  << 3;
    QTest::newRow("fps short entry whole")    << "ab,25fps,30fps"    << "ab"    << fps << 0  << 3;
    QTest::newRow("fps three letters")        << "fps,25fps,30fps"   << ""      << fps << 2  << 3;
    QTest::newRow("channels 2")               << "Mono,Stereo,5.1"   << "2"     << ch  << 1  << 3;
    QTest::newRow("channels 1")               << "Mono,Stereo,5.1"   << "1"     << ch  << 0  << 3;
    QTest::newRow("channels 5.1")             << "Mono,Stereo,5.1"   << "5.1"   << ch  << 2  << 3;
    QTest::newRow("channels 6")               << "Mono,Stereo,5.1"   << "6"     << ch  << 0  << 3;
    QTest::newRow("channels exact")           << "Mono,Stereo,5.1"   << "2 "    << ch  << 0  << 3;
    QTest::newRow("channels single")          << "Stereo"            << "2"     << ch  << 0  << 1;
    QTest::newRow("channels 5.1 of two")      << "Mono,Stereo"       << "5.1"   << ch  << 0  << 2;
    QTest::newRow("no items")                 << ""                  << "44100" << sub << -1 << 0;
    // clang-format on
}

void TestProfileLoader::listSelection() {
    QFETCH(QString, items);
    QFETCH(QString, defaultText);
    QFETCH(int, rule);
    QFETCH(int, current);
    QFETCH(int, count);
    const ComboFill fill = ProfileLoader::optionChoices({items, defaultText}, Rule(rule));
    QCOMPARE(fill.items.size(), count);
    QCOMPARE(fill.current, current);
    if (count > 0)
        QCOMPARE(fill.items.join(QLatin1Char(',')), items);
}

void TestProfileLoader::codecSelection_data() {
    QTest::addColumn<QString>("defaultName");
    QTest::addColumn<QString>("codecs");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<int>("current");
    QTest::addColumn<QString>("sizeText");

    const QStringList three = {"preset", "first", "second"};
    // clang-format off
    QTest::newRow("default names a codec") << "second" << "first,second" << three << 2 << "2x2";
    QTest::newRow("default names nothing") << "third"  << "first,second" << three << 0 << "0x0";
    QTest::newRow("preset only")           << "x"      << ""             << QStringList{"preset"} << 0 << "0x0";
    QTest::newRow("two of the same name")  << "same"   << "same,same"    << QStringList{"preset", "same", "same"} << 2 << "2x2";
    // clang-format on
}

void TestProfileLoader::codecSelection() {
    QFETCH(QString, defaultName);
    QFETCH(QString, codecs);
    QFETCH(QStringList, entries);
    QFETCH(int, current);
    QFETCH(QString, sizeText);

    // Each codec element's size list defaults to its own position.
    QString xml = QStringLiteral("<p><vcodec default=\"%1\">"
                                 "<preset name=\"preset\"><size items=\"0x0,1x1,2x2\">0x0</size>"
                                 "<bitrate items=\"Auto,768K\">768</bitrate>"
                                 "<frame_rate items=\"Auto,25fps\">25</frame_rate></preset>")
                      .arg(defaultName);
    int position = 1;
    for (const QString &name : codecs.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        xml += QStringLiteral("<c name=\"%1\"><size items=\"0x0,1x1,2x2\">%2x%2</size></c>")
                   .arg(name)
                   .arg(position++);
    }
    xml += QStringLiteral("</vcodec></p>");

    const ProfileSelection s = loadText(xml.toUtf8());
    QVERIFY(s.loaded);
    QCOMPARE(s.vcodec.items, entries);
    QCOMPARE(s.vcodec.current, current);
    QCOMPARE(s.vsize.currentText(), sizeText);
    if (current == 0) {
        QCOMPARE(s.vbitrate.currentText(), QString("768K"));
        QCOMPARE(s.vframeRate.currentText(), QString("25fps"));
    } else {
        // A codec element without these lists leaves the boxes empty.
        QVERIFY(s.vbitrate.items.isEmpty());
        QCOMPARE(s.vbitrate.current, -1);
    }
}

void TestProfileLoader::missingGroups() {
    const ProfileSelection s =
        loadText("<profile><acodec default=\"AAC\"><preset name=\"AAC\">"
                 "<sample_rate items=\"22050,44100,48000\">44100</sample_rate>"
                 "<bitrate items=\"64K,128K\"/>"
                 "<channels items=\"Mono,Stereo\">2</channels></preset></acodec></profile>");
    QVERIFY(s.loaded);
    // No video group: one empty codec entry and empty lists, an audio-only job.
    QCOMPARE(s.vcodec.items, QStringList{QString()});
    QCOMPARE(s.vcodec.current, 0);
    QVERIFY(s.vsize.items.isEmpty() && s.vbitrate.items.isEmpty() && s.vframeRate.items.isEmpty());
    QCOMPARE(s.acodec.currentText(), QString("AAC"));
    QCOMPARE(s.asamplerate.currentText(), QString("44100"));
    // A list element without text selects its last entry.
    QCOMPARE(s.abitrate.currentText(), QString("128K"));
    QCOMPARE(s.achannels.currentText(), QString("Stereo"));

    const ProfileSelection noPreset =
        loadText("<p><vcodec default=\"b\"><codec name=\"a\"/><codec name=\"b\">"
                 "<size items=\"1x1\">1x1</size></codec></vcodec></p>");
    QCOMPARE(noPreset.vcodec.items, (QStringList{QString(), "b"}));
    QCOMPARE(noPreset.vcodec.current, 1);
    QCOMPARE(noPreset.vsize.currentText(), QString("1x1"));
}

void TestProfileLoader::commentsDoNotShiftEntries() {
    const ProfileSelection s =
        loadText("<p><vcodec default=\"b\"><preset name=\"a\"/><!-- note -->"
                 "<codec name=\"b\"><size items=\"9x9\">9</size></codec></vcodec></p>");
    QCOMPARE(s.vcodec.items, (QStringList{"a", "b"}));
    QCOMPARE(s.vcodec.current, 1);
    QCOMPARE(s.vsize.currentText(), QString("9x9"));
}

void TestProfileLoader::unreadableFiles() {
    QTemporaryDir install;
    QVERIFY(install.isValid());
    QVERIFY(QDir(install.path()).mkdir("profile"));
    QFile broken(install.path() + "/profile/broken.xml");
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("<profile><vcodec>");
    broken.close();

    for (const QString &name : {QString("missing.xml"), QString("broken.xml")}) {
        const ProfileSelection s = ProfileLoader::load(install.path(), name);
        QVERIFY(!s.loaded);
        for (const ComboFill *fill : {&s.vcodec, &s.vsize, &s.vbitrate, &s.vframeRate, &s.acodec,
                                      &s.asamplerate, &s.abitrate, &s.achannels}) {
            QVERIFY(fill->items.isEmpty());
            QCOMPARE(fill->current, -1);
        }
    }
}

void TestProfileLoader::workingDirectoryStays() {
    const QString before = QDir::currentPath();
    const QString source = qEnvironmentVariable("QUILLORA_SOURCE_DIR");
    ProfileLoader::load(source + "/data", "avi.format.xml");
    ProfileLoader::load(source + "/data", "missing.xml");
    QCOMPARE(QDir::currentPath(), before);
}

void TestProfileLoader::namesStayInsideTheFolder() {
    QCOMPARE(ProfileLoader::profilePath("/opt/q", "avi.format.xml"),
             QString("/opt/q/profile/avi.format.xml"));
    QVERIFY(ProfileLoader::profilePath("/opt/q", "../skin.qss").isEmpty());
    QVERIFY(ProfileLoader::profilePath("/opt/q", "..").isEmpty());
    QVERIFY(ProfileLoader::profilePath("/opt/q", "").isEmpty());
    QVERIFY(!ProfileLoader::load("/opt/q", "/etc/passwd").loaded);
}

void TestProfileLoader::shippedProfiles() {
    // Every catalogue file exists, loads, and offers only codecs the tables
    // translate, with a default on every list it has.
    const QString dataDir = qEnvironmentVariable("QUILLORA_SOURCE_DIR") + "/data";
    for (const ProfileEntry &entry : ProfileCatalogue::entries()) {
        const ProfileSelection s = ProfileLoader::load(dataDir, entry.fileName);
        const QByteArray what = entry.fileName.toUtf8();
        QVERIFY2(s.loaded, what);
        const bool audioOnly = ProfileCatalogue::isAudioOnly(entry.categoryIndex);
        QCOMPARE(s.vcodec.currentText().isEmpty(), audioOnly);
        for (const QString &name : s.vcodec.items) {
            if (!audioOnly)
                QVERIFY2(!CodecTables::videoCodecArgs(name).isEmpty(), what + " " + name.toUtf8());
        }
        QVERIFY2(!s.acodec.items.isEmpty(), what);
        for (const QString &name : s.acodec.items)
            QVERIFY2(!CodecTables::audioEncoderName(name).isEmpty(), what + " " + name.toUtf8());
        for (const ComboFill *fill :
             {&s.vsize, &s.vbitrate, &s.vframeRate, &s.asamplerate, &s.abitrate, &s.achannels}) {
            QVERIFY2(fill->items.isEmpty() || fill->current >= 0, what);
        }
        QVERIFY2(!s.achannels.items.isEmpty(), what);
        QVERIFY2(!s.asamplerate.items.isEmpty(), what);
    }
}

QTEST_APPLESS_MAIN(TestProfileLoader)
#include "tst_profileloader.moc"
