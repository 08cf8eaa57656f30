#include <QtTest>

#include "profiles/argumentlist.h"

using namespace Arguments;

namespace {

const QString kIn = QStringLiteral("/media/in/clip.mts");
const QString kOut = QStringLiteral("/media/out/clip.avi");

OptionTexts profileTexts() {
    OptionTexts t;
    t.vcodec = "MPEG-4";
    t.vsize = "640x480";
    t.vbitrate = "1200K";
    t.vframeRate = "25fps";
    t.vaspect = "16:9";
    t.acodec = "MP3";
    t.asamplerate = "44100";
    t.abitrate = "128K";
    t.achannels = "Stereo";
    return t;
}

} // namespace

class TestArgumentList : public QObject {
    Q_OBJECT

private slots:
    void fullProfile();
    void sourceValuesAndEmptyTexts();
    void oddTexts_data();
    void oddTexts();
    void videoCodecTexts();
    void carryOverTrimAndCrop();
    void readingAndPlaces();
    void editingNeverTakesTheOutput();
    void trimming();
};

void TestArgumentList::fullProfile() {
    QCOMPARE(build(profileTexts(), kIn, kOut, "720x576"),
             (QStringList{"-i", kIn, "-y", "-s", "640x480", "-b", "1200K", "-r", "25", "-aspect",
                          "16:9", "-vcodec", "mpeg4", "-acodec", "libmp3lame", "-ar", "44100",
                          "-ab", "128K", "-ac", "2", kOut}));
    OptionTexts t = profileTexts();
    t.vcodec = "H.264/MPEG-4 AVC";
    const ArgumentList list = build(t, kIn, kOut, "720x576");
    QCOMPARE(list.mid(list.indexOf("-vcodec"), 7),
             (QStringList{"-vcodec", "libx264", "-fpre", "x264/libx264-veryfast.ffpreset",
                          "-threads", "0", "-acodec"}));
}

void TestArgumentList::sourceValuesAndEmptyTexts() {
    OptionTexts t;
    t.vsize = "Auto";
    t.vbitrate = "";
    t.vframeRate = "Auto";
    t.vaspect = "default";
    t.vcodec = "";
    t.acodec = "MP3";
    t.asamplerate = "44100";
    t.abitrate = "128K";
    t.achannels = "Stereo";
    QCOMPARE(build(t, kIn, kOut, "720x576"),
             (QStringList{"-i", kIn, "-y", "-s", "720x576", "-vn", "-acodec", "libmp3lame", "-ar",
                          "44100", "-ab", "128K", "-ac", "2", kOut}));

    // "Auto" bitrates keep the source's rate: the pairs are left out.
    t.vcodec = "MPEG-4";
    t.vbitrate = "Auto";
    t.abitrate = "Auto";
    t.asamplerate = "";
    t.achannels = "";
    QCOMPARE(build(t, kIn, kOut, "720x576"),
             (QStringList{"-i", kIn, "-y", "-s", "720x576", "-vcodec", "mpeg4", "-acodec",
                          "libmp3lame", kOut}));

    // Every box empty (no profile could be read): only the frame of the list,
    // and the "-acodec" pair the audio options hang on.
    QCOMPARE(build(OptionTexts(), kIn, kOut, "720x576"),
             (QStringList{"-i", kIn, "-y", "-vn", "-acodec", "", kOut}));

    // An audio source has no size to keep.
    t = OptionTexts();
    t.vsize = "Auto";
    t.vcodec = "MPEG-4";
    t.acodec = "AAC";
    QCOMPARE(build(t, kIn, kOut, ""),
             (QStringList{"-i", kIn, "-y", "-vcodec", "mpeg4", "-acodec", "libfaac", kOut}));
}

void TestArgumentList::oddTexts_data() {
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("value"); // empty: the pair is left out

    // clang-format off
    QTest::newRow("size with blanks")      << "-s"      << "640 x 480"  << "";
    QTest::newRow("size zero")             << "-s"      << "0x480"      << "";
    QTest::newRow("size word")             << "-s"      << "Large"      << "";
    QTest::newRow("size auto lower case")  << "-s"      << "auto"       << "";
    QTest::newRow("bitrate lower k")       << "-b"      << "768k"       << "768k";
    QTest::newRow("bitrate plain")         << "-b"      << "768"        << "768";
    QTest::newRow("bitrate word")          << "-b"      << "High"       << "";
    QTest::newRow("bitrate zero")          << "-b"      << "0K"         << "";
    QTest::newRow("bitrate decimal comma") << "-b"      << "1,5M"       << "";
    QTest::newRow("rate fps")              << "-r"      << "29.97fps"   << "29.97";
    QTest::newRow("rate number")           << "-r"      << "120"        << "120";
    QTest::newRow("rate fps only")         << "-r"      << "fps"        << "";
    QTest::newRow("rate fraction")         << "-r"      << "30000/1001" << "30000/1001";
    QTest::newRow("rate zero")             << "-r"      << "0fps"       << "";
    QTest::newRow("aspect ratio")          << "-aspect" << "4:3"        << "4:3";
    QTest::newRow("aspect decimal")        << "-aspect" << "1.778"      << "1.778";
    QTest::newRow("aspect default")        << "-aspect" << "default"    << "";
    QTest::newRow("aspect Default")        << "-aspect" << "Default"    << "";
    QTest::newRow("aspect zero")           << "-aspect" << "0:1"        << "";
    QTest::newRow("sample rate")           << "-ar"     << "22050"      << "22050";
    QTest::newRow("sample rate unit")      << "-ar"     << "44.1kHz"    << "";
    QTest::newRow("sample rate auto")      << "-ar"     << "Auto"       << "";
    QTest::newRow("audio bitrate amr")     << "-ab"     << "12.2K"      << "12.2K";
    QTest::newRow("audio bitrate auto")    << "-ab"     << "Auto"       << "";
    QTest::newRow("channels lower case")   << "-ac"     << "stereo"     << "";
    QTest::newRow("channels number")       << "-ac"     << "2"          << "";
    QTest::newRow("channels 5.1")          << "-ac"     << "5.1"        << "6";
    QTest::newRow("channels mono")         << "-ac"     << "Mono"       << "1";
    // clang-format on
}

void TestArgumentList::oddTexts() {
    QFETCH(QString, word);
    QFETCH(QString, text);
    QFETCH(QString, value);
    const QHash<QString, QString OptionTexts::*> field{
        {"-s", &OptionTexts::vsize},       {"-b", &OptionTexts::vbitrate},
        {"-r", &OptionTexts::vframeRate},  {"-aspect", &OptionTexts::vaspect},
        {"-ar", &OptionTexts::asamplerate}, {"-ab", &OptionTexts::abitrate},
        {"-ac", &OptionTexts::achannels}};
    OptionTexts t = profileTexts();
    t.*field.value(word) = text;
    const ArgumentList list = build(t, kIn, kOut, "720x576");
    if (value.isEmpty())
        QCOMPARE(list.indexOf(word), -1);
    else
        QCOMPARE(Arguments::value(list, word), value);
    // Nothing the transcoder cannot take.
    for (const QString &element : list)
        QVERIFY(!element.isEmpty() && element != "Auto" && element != "default");
    QCOMPARE(list.last(), kOut);
}

void TestArgumentList::videoCodecTexts() {
    OptionTexts t = profileTexts();
    t.vcodec = "Xvid";
    ArgumentList list = build(t, kIn, kOut, "");
    QCOMPARE(list.mid(list.indexOf("-vcodec"), 5),
             (QStringList{"-vcodec", "libxvid", "-threads", "8", "-acodec"}));
    // A codec the table does not hold never leaves "-vcodec" without a value.
    t.vcodec = "h.264/mpeg-4 avc";
    list = build(t, kIn, kOut, "");
    QCOMPARE(list.indexOf("-vcodec"), -1);
    QCOMPARE(list.indexOf("-vn"), -1);
    QVERIFY(list.contains("-acodec"));
}

void TestArgumentList::carryOverTrimAndCrop() {
    const ArgumentList previous{"-ss", "12", "-t", "30", "-i", kIn, "-cropleft", "8", "-croptop",
                                "2", "-cropright", "4", "-cropbottom", "6", "-y", "-vcodec", "flv",
                                "-acodec", "libmp3lame", "/old/out.flv"};
    const ArgumentList fresh = build(profileTexts(), kIn, kOut, "720x576");
    const ArgumentList list = carryOver(previous, fresh);
    QCOMPARE(list.mid(0, 15),
             (QStringList{"-ss", "12", "-t", "30", "-i", kIn, "-cropleft", "8", "-croptop", "2",
                          "-cropright", "4", "-cropbottom", "6", "-y"}));
    QCOMPARE(list.mid(15), fresh.mid(3));

    // Only what was there is carried.
    const ArgumentList cropped{"-i", kIn, "-croptop", "16", "-y", "-vn", "-acodec", "", kOut};
    QCOMPARE(carryOver(cropped, fresh).mid(0, 5), (QStringList{"-i", kIn, "-croptop", "16", "-y"}));
    QCOMPARE(carryOver(cropped, fresh).size(), fresh.size() + 2);
    QCOMPARE(carryOver(ArgumentList(), fresh), fresh);

    // Trim pairs are taken by their words, wherever an older list kept them.
    const ArgumentList moved{"-i", kIn, "-y", "-ss", "5", "-t", "10", "-acodec", "", kOut};
    QCOMPARE(carryOver(moved, fresh).mid(0, 6), (QStringList{"-ss", "5", "-t", "10", "-i", kIn}));
}

void TestArgumentList::readingAndPlaces() {
    ArgumentList list{"-i", kIn, "-y", "-vn", "-acodec", "mp2", kOut};
    QCOMPARE(inputPath(list), kIn);
    QCOMPARE(outputPath(list), kOut);
    QCOMPARE(find(list, "-acodec"), 4);
    QCOMPARE(find(list, "-ACODEC"), -1);
    QCOMPARE(value(list, "-ss"), QString());

    QVERIFY(setOption(list, "-ar", "44100", Place::AfterOverwrite));
    QVERIFY(setOption(list, "-ab", "192K", Place::AfterAudioCodec));
    QVERIFY(setOption(list, "-cropleft", "4", Place::BeforeOverwrite));
    QVERIFY(!setOption(list, "-s", "320x240", Place::Nowhere));
    QVERIFY(!setOption(list, "-ar", "44100", Place::AfterOverwrite));
    QCOMPARE(list, (QStringList{"-i", kIn, "-cropleft", "4", "-y", "-ar", "44100", "-vn", "-acodec",
                                "mp2", "-ab", "192K", kOut}));
    QVERIFY(setOption(list, "-ar", "", Place::AfterOverwrite));
    QCOMPARE(list.indexOf("-ar"), -1);

    setOutputPath(list, "/elsewhere/clip.mp2");
    QCOMPARE(list.last(), QString("/elsewhere/clip.mp2"));
    QCOMPARE(list.size(), 11);
}

void TestArgumentList::editingNeverTakesTheOutput() {
    // A list that lost its anchors still keeps the output path last.
    ArgumentList list{"-i", kIn, kOut};
    setOption(list, "-ar", "44100", Place::AfterOverwrite);
    setOption(list, "-ab", "128K", Place::AfterAudioCodec);
    QCOMPARE(list.last(), kOut);
    ArgumentList x264{"-i", kIn, "-y", "-vcodec", "libx264", "-threads", "0", kOut};
    replaceVideoCodec(x264, {"flv"});
    QCOMPARE(x264, (QStringList{"-i", kIn, "-y", "-vcodec", "flv", kOut}));
    ArgumentList dangling{"-i", kIn, "-y", "-ac", kOut};
    removeOption(dangling, "-ac");
    QCOMPARE(dangling.last(), kOut);
}

void TestArgumentList::trimming() {
    ArgumentList list{"-i", kIn, "-y", "-vn", "-acodec", "mp2", kOut};
    QVERIFY(!isTrimmed(list));
    setTrim(list, "10", "30");
    QCOMPARE(list.mid(0, 6), (QStringList{"-ss", "10", "-t", "30", "-i", kIn}));
    setTrim(list, "12", "20");
    QCOMPARE(list.mid(0, 6), (QStringList{"-ss", "12", "-t", "20", "-i", kIn}));
    QVERIFY(isTrimmed(list));
}

QTEST_APPLESS_MAIN(TestArgumentList)
#include "tst_argumentlist.moc"
