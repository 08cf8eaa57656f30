#include <QtTest>

#include "conversion/editedscript.h"
#include "conversion/editoranswer.h"

class TestEditorAnswer : public QObject {
    Q_OBJECT

private slots:
    void readsAnAnswer_data();
    void readsAnAnswer();
    void refusesIncompleteAnswers_data();
    void refusesIncompleteAnswers();
    void writesTrimAndCropIntoTheList();
    void appliesTheSampleAnswer();
    void convertsEffectsAndShowsTheTrimmedLength();
    void cropsToEvenSizes();
    void choosesTheSourceReader();
    void keepsTheUserParameterLines();
    void refusesARowWithoutScript();
    void writesTheScriptWhole();
    void quotesPathsAsTheFirstScriptDoes();

private:
    static EditorRow row(const QStringList &arguments);
};

namespace {

const QString kSample = QStringLiteral("x -ss 10 -t 30 -cropleft 0 -croptop 0 -cropright 0 "
                                       "-cropbottom 0 -saturation 0 -brightness 0 -contrast 0 "
                                       "-drop 0");
const QString kSource = QStringLiteral("/media/my clip.mp4");
const QString kScript = QStringLiteral("/opt/quillora/tmp/avsifile3.avs");
const QString kLogo = QStringLiteral("/opt/quillora/tmp/avsifile3.png");
const QStringList kPlainList = {"-i", kSource, "-y", "-vcodec", "mpeg4", "-acodec", "aac",
                                "/out/my clip.avi"};

QString answer(const QString &start, const QString &length, const QString &crops,
               const QString &effects, const QString &tail = QString()) {
    return QStringLiteral("-ss %1 -t %2 %3 %4 -drop 0%5").arg(start, length, crops, effects, tail);
}

const QString kNoCrop = QStringLiteral("-cropleft 0 -croptop 0 -cropright 0 -cropbottom 0");
const QString kNoEffects = QStringLiteral("-saturation 0 -brightness 0 -contrast 0");

QStringList scriptLines(const QString &text) {
    return text.split(QLatin1Char('\n'));
}

} // namespace

EditorRow TestEditorAnswer::row(const QStringList &arguments) {
    EditorRow row;
    row.arguments = arguments;
    row.effects = QStringList{"1", "0", "1", kSource, kScript, kLogo};
    row.sourceSize = QStringLiteral("640x480");
    row.displayRatio = QStringLiteral("1.333");
    row.trimDuration = QStringLiteral("83.4");
    row.sourceDurationText = QStringLiteral("00:01:23");
    row.pluginPath = QStringLiteral("/opt/quillora/plugins/ffms2.so");
    row.importPath = QStringLiteral("/opt/quillora/plugins/a.avsi");
    row.headerPath = QStringLiteral("/opt/quillora/HEADER.avs");
    row.channels = QStringLiteral("2");
    row.sampleRate = QStringLiteral("44100");
    return row;
}

void TestEditorAnswer::readsAnAnswer_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("watermark");

    QTest::newRow("sample") << kSample << QStringList{"10", "30", "0", "0", "0", "0", "0", "0", "0"}
                            << "";
    QTest::newRow("starting with -ss")
        << answer("5", "20", "-cropleft 4 -croptop 2 -cropright 6 -cropbottom 8",
                  "-saturation 50 -brightness -20 -contrast -50")
        << QStringList{"5", "20", "4", "2", "6", "8", "50", "-20", "-50"} << "";
    QTest::newRow("tabs and line breaks")
        << QStringLiteral("editor says:\n-ss\t1\n-t  2\r\n-cropleft 3 -croptop 4 -cropright 5 "
                          "-cropbottom 6\t-saturation 7 -brightness 8 -contrast 9 -drop 0\n")
        << QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9"} << "";
    QTest::newRow("logo tail")
        << answer("0", "0", kNoCrop, kNoEffects, " -watermark  \"/tmp/my   logo.png\"\t-pos 10 20 ")
        << QStringList(9, "0") << "-watermark /tmp/my logo.png -pos 10 20";
}

void TestEditorAnswer::readsAnAnswer() {
    QFETCH(QString, text);
    QFETCH(QStringList, values);
    QFETCH(QString, watermark);

    const std::optional<EditorAnswer> parsed = EditorAnswer::parse(text);
    QVERIFY(parsed.has_value());
    QCOMPARE((QStringList{parsed->start, parsed->length, parsed->cropLeft, parsed->cropTop,
                          parsed->cropRight, parsed->cropBottom, parsed->saturation,
                          parsed->brightness, parsed->contrast}),
             values);
    QCOMPARE(parsed->hasWatermark, !watermark.isEmpty());
    QCOMPARE(parsed->watermark, watermark);
    QVERIFY(parsed->logText.startsWith(QStringLiteral("-ss")));
}

void TestEditorAnswer::refusesIncompleteAnswers_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("nothing") << QString();
    QTest::newRow("cancelled") << QStringLiteral("editor closed\n");
    QTest::newRow("first piece only") << kSample.left(40);
    QTest::newRow("a key missing") << QString(kSample).remove(QStringLiteral("-croptop 0 "));
    QTest::newRow("a value missing") << answer("", "30", kNoCrop, kNoEffects);
    QTest::newRow("keys out of order")
        << answer("1", "2", "-croptop 0 -cropleft 0 -cropright 0 -cropbottom 0", kNoEffects);
}

void TestEditorAnswer::refusesIncompleteAnswers() {
    QFETCH(QString, text);
    QVERIFY(!EditorAnswer::parse(text).has_value());
}

void TestEditorAnswer::writesTrimAndCropIntoTheList() {
    const EditorAnswer first = *EditorAnswer::parse(
        answer("10", "30", "-cropleft 4 -croptop 2 -cropright 6 -cropbottom 8", kNoEffects));
    const QStringList once = withEditorArguments(kPlainList, first);
    QCOMPARE(once, (QStringList{"-ss", "10", "-t", "30", "-i", kSource, "-cropleft", "4",
                                "-croptop", "2", "-cropright", "6", "-cropbottom", "8", "-y",
                                "-vcodec", "mpeg4", "-acodec", "aac", "/out/my clip.avi"}));

    // A second edit replaces the values in place.
    const EditorAnswer second = *EditorAnswer::parse(answer("0", "12", kNoCrop, kNoEffects));
    QStringList twice = once;
    twice[1] = "0";
    twice[3] = "12";
    for (int value : {7, 9, 11, 13})
        twice[value] = "0";
    QCOMPARE(withEditorArguments(once, second), twice);
}

void TestEditorAnswer::appliesTheSampleAnswer() {
    const EditorEdit edit = applyEditorAnswer(*EditorAnswer::parse(kSample), row(kPlainList));
    QVERIFY(edit.problem.isEmpty());
    QCOMPARE(edit.arguments.mid(0, 6), (QStringList{"-ss", "10", "-t", "30", "-i", kSource}));
    QCOMPARE(edit.arguments.indexOf("-cropbottom") + 2, edit.arguments.indexOf("-y"));
    QCOMPARE(edit.effects, (QStringList{"1", "0", "1", kSource, kScript, kLogo}));
    QCOMPARE(edit.outputDurationText, QStringLiteral("00:00:30"));
    QCOMPARE(edit.scriptPath, kScript);
    QVERIFY(!edit.hasWatermark);

    const QStringList lines = scriptLines(edit.scriptText);
    QVERIFY(lines.contains("clip = clip.Crop(0, 0, 640, 480)"));
    QVERIFY(lines.contains("clip = clip.Tweak(0.0,1,0,1)"));
    QVERIFY(lines.contains("clip = clip.Trim(0, 1751)"));
    QVERIFY(lines.contains("clip = clip.Trim(210, 840)"));
    QVERIFY(!edit.scriptText.contains("Logo2"));
    QCOMPARE(lines.last(), QString()); // every line ends with a line feed
    QCOMPARE(lines.at(lines.size() - 2), QStringLiteral("return clip"));
    QVERIFY(!edit.scriptText.contains('\r'));

    const EditorEdit logo = applyEditorAnswer(
        *EditorAnswer::parse(answer("0", "0", kNoCrop, kNoEffects, " -watermark \"a.png\"")),
        row(kPlainList));
    QVERIFY(logo.hasWatermark);
    QCOMPARE(logo.watermark, QStringLiteral("-watermark a.png"));
    QVERIFY(scriptLines(logo.scriptText).contains("clip = clip.Logo2(\"" + kLogo + "\")"));
    QCOMPARE(scriptLines(logo.scriptText).indexOf("clip = clip.Logo2(\"" + kLogo + "\")") + 1,
             scriptLines(logo.scriptText).indexOf("clip = clip.Trim(0, 0)"));
}

void TestEditorAnswer::convertsEffectsAndShowsTheTrimmedLength() {
    const EditorEdit edit =
        applyEditorAnswer(*EditorAnswer::parse(answer(
                              "0", "0", kNoCrop, "-saturation 50 -brightness -20 -contrast -50")),
                          row(kPlainList));
    QCOMPARE(edit.effects.mid(0, 3), (QStringList{"5.5", "-51", "0.5"}));
    QVERIFY(scriptLines(edit.scriptText).contains("clip = clip.Tweak(0.0,5.5,-51,0.5)"));
    // No trim length: the output keeps the source's length.
    QCOMPARE(edit.outputDurationText, QStringLiteral("00:01:23"));

    EditorRow shortRow = row(kPlainList);
    shortRow.trimDuration = "12.99";
    const EditorEdit trimmed =
        applyEditorAnswer(*EditorAnswer::parse(answer("3", "3700", kNoCrop, kNoEffects)), shortRow);
    QCOMPARE(trimmed.outputDurationText, QStringLiteral("01:01:40"));
    QVERIFY(scriptLines(trimmed.scriptText).contains("clip = clip.Trim(0, 272)"));
    QVERIFY(scriptLines(trimmed.scriptText).contains("clip = clip.Trim(63, 77763)"));
}

void TestEditorAnswer::cropsToEvenSizes() {
    EditorRow odd = row(kPlainList);
    odd.sourceSize = "722x481";
    const EditorEdit edit = applyEditorAnswer(
        *EditorAnswer::parse(
            answer("0", "0", "-cropleft 3 -croptop 1 -cropright 2 -cropbottom 0", kNoEffects)),
        odd);
    const QStringList lines = scriptLines(edit.scriptText);
    QVERIFY(lines.contains("clip = clip.Crop(2, 0, 716, 480)"));
    QVERIFY(lines.contains("OutputWidth = 722/4*4"));
    QVERIFY(lines.contains("OutputHeight = 481/2*2"));
}

void TestEditorAnswer::choosesTheSourceReader() {
    EditorRow vcd = row(kPlainList);
    vcd.effects[3] = "/media/AVSEQ01.dat";
    QString text = applyEditorAnswer(*EditorAnswer::parse(kSample), vcd).scriptText;
    QVERIFY(text.contains("clip = DirectShowSource(\"/media/AVSEQ01.dat\")\n"));
    QVERIFY(text.contains("audio = DirectShowSource(\"/media/AVSEQ01.dat\").KillVideo()\n"));

    vcd.effects[3] = "/media/AVSEQ01.DAT";
    text = applyEditorAnswer(*EditorAnswer::parse(kSample), vcd).scriptText;
    QVERIFY(!text.contains("DirectShowSource"));
    QVERIFY(text.contains("clip = FFmpegSource2(\"/media/AVSEQ01.DAT\",atrack = -1, seekmode = "
                          "1,colorspace = \"yv12\")\n"));
    QVERIFY(text.contains("audio = FFmpegSource2(\"/media/AVSEQ01.DAT\", atrack = -1)"
                          ".KillVideo()\n"));
}

void TestEditorAnswer::keepsTheUserParameterLines() {
    const QStringList lines =
        scriptLines(applyEditorAnswer(*EditorAnswer::parse(kSample), row(kPlainList)).scriptText);
    QCOMPARE(lines.mid(0, 12), (QStringList{"LoadPlugin(\"/opt/quillora/plugins/ffms2.so\")",
                                            "Import(\"/opt/quillora/plugins/a.avsi\")",
                                            "Import(\"/opt/quillora/HEADER.avs\")", "",
                                            "#User parameters", "OutputWidth = 640/4*4",
                                            "OutputHeight = 480/2*2", "OutputFrameRate = 21",
                                            "OutputChannels = 2", "OutputSamplesPerSec = 44100",
                                            "OutputBitsPerSample = 16", ""}));
    QCOMPARE(lines.size(), 26 + 1); // no logo line
}

void TestEditorAnswer::refusesARowWithoutScript() {
    EditorRow bare = row(kPlainList);
    bare.effects = QStringList{"1", "0", "1"};
    QVERIFY(!applyEditorAnswer(*EditorAnswer::parse(kSample), bare).problem.isEmpty());
}

void TestEditorAnswer::writesTheScriptWhole() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("avsifile0.avs");
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old script, longer than the new one ................................\n");
    old.close();

    QVERIFY(EditedScript::write(path, "return clip\n"));
    QFile written(path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), QByteArray("return clip\n"));

    QString error;
    QVERIFY(!EditedScript::write(dir.filePath("missing/avsifile1.avs"), "x\n", &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!QFile::exists(dir.filePath("missing/avsifile1.avs")));
}

void TestEditorAnswer::quotesPathsAsTheFirstScriptDoes() {
    const auto edited = [this](const QString &source, const QString &tail = QString()) {
        EditorRow named = row(kPlainList);
        named.effects[3] = source;
        return applyEditorAnswer(*EditorAnswer::parse(kSample + tail), named);
    };

    const EditorEdit quote = edited("/media/say \"hi\".mp4");
    QVERIFY(quote.problem.isEmpty());
    QVERIFY(quote.scriptText.contains(
        "clip = FFmpegSource2(\"\"\"/media/say \"hi\".mp4\"\"\",atrack = -1, seekmode = 1,"));
    QVERIFY(quote.scriptText.contains(
        "audio = FFmpegSource2(\"\"\"/media/say \"hi\".mp4\"\"\", atrack = -1).KillVideo()"));

    // A name no AviSynth string can hold: refused with the name, nothing to write.
    const EditorEdit broken = edited("/media/two\nlines.mp4");
    QVERIFY(broken.problem.contains("/media/two\nlines.mp4"));
    QVERIFY(broken.scriptText.isEmpty());
    EditorRow badLogo = row(kPlainList);
    badLogo.effects[5] = "/tmp/logo\".png\"";
    QVERIFY(!applyEditorAnswer(*EditorAnswer::parse(kSample + " -watermark x"), badLogo)
                 .problem.isEmpty());

    // Non-Latin names reach the file as UTF-8, whatever the locale.
    const QString source = QStringLiteral("/media/日本語 ファイル.mp4");
    const EditorEdit wide = edited(source, " -watermark logo");
    QVERIFY(wide.problem.isEmpty());
    QVERIFY(wide.scriptText.contains("clip = clip.Logo2(\"" + kLogo + "\")"));
    QTemporaryDir dir;
    const QString path = dir.filePath("avsifile0.avs");
    QVERIFY(EditedScript::write(path, wide.scriptText));
    QFile written(path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QByteArray bytes = written.readAll();
    QVERIFY(bytes.contains(("clip = FFmpegSource2(\"" + source + "\"").toUtf8()));
    QCOMPARE(QString::fromUtf8(bytes), wide.scriptText);
}

QTEST_APPLESS_MAIN(TestEditorAnswer)
#include "tst_editoranswer.moc"
