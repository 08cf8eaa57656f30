#include <QtTest>

#include "filelist/filelistrules.h"

using namespace FileListRules;

class tst_FileListRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void rejectedExtensions_data();
    void rejectedExtensions();
    void openDialogFilterLines();
    void textBeforeCutsAtFirst();
    void outputNamesKeptApart_data();
    void outputNamesKeptApart();
    void checkedRowQueries();
    void durationTexts_data();
    void durationTexts();
    void editorValuesFromRow();
};

void tst_FileListRules::rejectedExtensions_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<bool>("rejected");
    QTest::newRow("jpg upper case") << "JPG" << true;
    QTest::newRow("no extension") << "" << true;
    QTest::newRow("script") << "avs" << true;
    QTest::newRow("text") << "txt" << true;
    QTest::newRow("png") << "png" << true;
    QTest::newRow("mp4 upper case") << "MP4" << false;
    QTest::newRow("mkv") << "mkv" << false;
    QTest::newRow("jpeg is not on the list") << "jpeg" << false;
}

void tst_FileListRules::rejectedExtensions()
{
    QFETCH(QString, extension);
    QFETCH(bool, rejected);
    QCOMPARE(isRejectedExtension(extension), rejected);
}

void tst_FileListRules::openDialogFilterLines()
{
    // One filter a line, each as the open dialog reads it: a name, then
    // its patterns in parentheses; no empty filter.
    const QRegularExpression shape(
        QStringLiteral("^[^()\\n]+ \\((\\*|\\*\\.\\w+)( \\*\\.\\w+)*\\)$"));
    const QStringList lines = openDialogFilter().split(QLatin1Char('\n'));
    // Every name, those without a dot too.
    QCOMPARE(lines.first(), QStringLiteral("All Files (*)"));
    for (const QString &line : lines)
        QVERIFY2(shape.match(line).hasMatch(), qPrintable(line));
}

void tst_FileListRules::textBeforeCutsAtFirst()
{
    QCOMPARE(textBefore(QStringLiteral("128K"), QLatin1Char('K')), QStringLiteral("128"));
    QCOMPARE(textBefore(QStringLiteral("25fps"), QLatin1Char('f')), QStringLiteral("25"));
    QCOMPARE(textBefore(QStringLiteral("29.97"), QLatin1Char('f')), QStringLiteral("29.97"));
    QCOMPARE(textBefore(QStringLiteral("Auto"), QLatin1Char('K')), QStringLiteral("Auto"));
}

void tst_FileListRules::outputNamesKeptApart_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("expected");
    QTest::newRow("dialog, empty list") << "clip.avi" << QStringList() << "clip.avi";
    QTest::newRow("dialog, no clash") << "z.avi" << QStringList{"x.avi"} << "z.avi";
    // One pass: after the match the numbered name is compared further on.
    QTest::newRow("drop, numbered name met later")
        << "a.avi" << QStringList{"a.avi", "a3.avi", "b.avi"} << "a3.avi";
    QTest::newRow("name with several dots")
        << "a.b.avi" << QStringList{"a.b.avi"} << "a.b1.avi";
    // 255 bytes is the most a file name may have: the number takes the room
    // of the stem's last characters, whole ones.
    const QString ascii = QString(251, QLatin1Char('y')) + ".avi";
    QTest::newRow("255 bytes, one digit")
        << ascii << QStringList{ascii} << QString(250, QLatin1Char('y')) + "1.avi";
    QTest::newRow("255 bytes, two digits")
        << ascii << QStringList(10, ascii) << QString(249, QLatin1Char('y')) + "10.avi";
    const QString kanji = QString::fromUtf8("日");
    const QString kanjiName = "ab" + kanji.repeated(83) + ".avi";
    QTest::newRow("255 bytes ending in 3-byte letters")
        << kanjiName << QStringList{kanjiName} << "ab" + kanji.repeated(82) + "1.avi";
    // One letter of four bytes, two QChars.
    const QString face = QString::fromUtf8("\xF0\x9F\x98\x80");
    const QString faceName = "abc" + face.repeated(62) + ".avi";
    QTest::newRow("255 bytes ending in 4-byte letters")
        << faceName << QStringList{faceName} << "abc" + face.repeated(61) + "1.avi";
}

void tst_FileListRules::outputNamesKeptApart()
{
    QFETCH(QString, name);
    QFETCH(QStringList, names);
    QFETCH(QString, expected);
    // The number: as many as the names counted.
    QCOMPARE(outputNameAmong(name, QSet<QString>(names.cbegin(), names.cend()), int(names.size())),
             expected);
}

void tst_FileListRules::checkedRowQueries()
{
    // The list's own rows are read in tst_listoperations; here the ends.
    QCOMPARE(lastCheckedRow({}), 0);
    QCOMPARE(lastCheckedRow({{false, {}}, {false, {}}}), 0);
    QCOMPARE(lastCheckedRow({{false, {}}, {true, {}}, {false, {}}}), 1);
    QCOMPARE(totalCheckedDuration({}), 0);
    QCOMPARE(totalCheckedDuration({{true, "00:00:10"}, {false, "02:00:00"}, {true, "bad"}}), 10);
}

void tst_FileListRules::durationTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("seconds");
    QTest::newRow("full") << "01:02:03" << 3723;
    QTest::newRow("hundred hours") << "100:00:00" << 360000;
    QTest::newRow("one colon") << "1:2" << 0;
    QTest::newRow("no colon") << "5" << 0;
    QTest::newRow("not numbers") << "N/A, start" << 0;
    QTest::newRow("parts that are not numbers") << "aa:01:bb" << 60;
}

void tst_FileListRules::durationTexts()
{
    QFETCH(QString, text);
    QFETCH(int, seconds);
    QCOMPARE(durationTextSeconds(text), seconds);
}

void tst_FileListRules::editorValuesFromRow()
{
    const QStringList neutral = {"1", "0", "1", "/a/clip.mp4", "/tmp/avsifile0.avs", ""};
    const QStringList plain = {"-i", "/a/clip.mp4", "-y", "-acodec", "mp3", "/o/clip.avi"};
    QCOMPARE(editorValues(plain, neutral),
             QStringList({"0", "0", "0", "0", "0", "0", "0", "0", "-1", "20"}));
    // Without an effect list the placeholders stand.
    QCOMPARE(editorValues(plain, {}).mid(4, 3), QStringList({"1", "2", "3"}));

    const QStringList edited = {"-ss", "5", "-t", "10", "-i", "/a/clip.mp4", "-cropleft", "8",
                                "-cropbottom", "4", "-y", "-acodec", "mp3", "/o/clip.avi"};
    const QStringList effects = {"10", "255", "0", "/a/clip.mp4", "/tmp/avsifile0.avs", ""};
    QCOMPARE(editorValues(edited, effects),
             QStringList({"8", "0", "0", "4", "100", "100", "-100", "5", "15", "20"}));
    // A start kept as typed still gives its end.
    const QStringList typed = {"-ss", "2.5", "-t", "3", "-i", "/a/c.mp4", "-y", "/o/c.avi"};
    QCOMPARE(editorValues(typed, neutral).mid(7, 2), QStringList({"2.5", "5"}));
}

QTEST_APPLESS_MAIN(tst_FileListRules)
#include "tst_filelistrules.moc"
