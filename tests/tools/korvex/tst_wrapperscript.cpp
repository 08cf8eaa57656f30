#include <QtTest>

#include "conversion/avsscript.h"
#include "conversion/editedscript.h"
#include "conversion/scriptlines.h"
#include "korvextestsupport.h"
#include "wrapperscript.h"

using KorvexTest::Script;

namespace {

// The script as the row builder writes it first.
QString firstVersion(const QString &source) {
    Script script;
    script.source = source;
    return script.text();
}

// The script as the editor answer rewrites it.
QString rewritten(const QString &source, const QString &logo = QString()) {
    Script script;
    script.source = source;
    script.width = "722";
    script.height = "481";
    script.ratio = "1.501";
    script.crop = "2, 0, 716, 480";
    script.tweak = "0.0,5.5,-51,0.5";
    script.firstTrim = "0, 272";
    script.logo = logo;
    script.secondTrim = "210, 840";
    return script.text();
}

} // namespace

class TestWrapperScript : public QObject {
    Q_OBJECT

private slots:
    void readsTheFirstVersion();
    void readsTheRewrittenVersionWithLogo();
    void readsTheProgramsScripts_data();
    void readsTheProgramsScripts();
    void readsBackEveryLineWritten();
    void takesEmptyUserParameters();
    void acceptsWindowsLineEnds();
    void refusesAnythingElse_data();
    void refusesAnythingElse();
    void composesTrims_data();
    void composesTrims();
};

void TestWrapperScript::readsTheFirstVersion() {
    WrapperScript s;
    QString error;
    QVERIFY2(WrapperScript::parse(firstVersion("/media/clip.mp4"), "/tmp", &s, &error),
             qPrintable(error));
    QCOMPARE(s.sourcePath, QString("/media/clip.mp4"));
    QCOMPARE(s.outputWidth, 640);
    QCOMPARE(s.outputHeight, 480);
    QCOMPARE(s.frameRate, 21.0);
    QCOMPARE(s.displayRatio, 1.333);
    QCOMPARE(s.cropWidth, 640);
    QCOMPARE(s.saturation, 1.0);
    QCOMPARE(s.brightness, 0.0);
    QCOMPARE(s.trims.size(), 1);
    QVERIFY(s.logoPath.isEmpty());
    qint64 first = -1;
    qint64 last = -1;
    QVERIFY(s.keptFrames(&first, &last));
    QCOMPARE(first, qint64(0));
    QCOMPARE(last, qint64(1751));
}

void TestWrapperScript::readsTheRewrittenVersionWithLogo() {
    WrapperScript s;
    QString error;
    QVERIFY2(WrapperScript::parse(rewritten("/media/clip.mp4", "/opt/quillora/tmp/avsifile0.png"),
                                  "/tmp", &s, &error),
             qPrintable(error));
    QCOMPARE(s.outputWidth, 720); // 722/4*4
    QCOMPARE(s.outputHeight, 480);
    QCOMPARE(s.cropLeft, 2);
    QCOMPARE(s.cropTop, 0);
    QCOMPARE(s.cropWidth, 716);
    QCOMPARE(s.cropHeight, 480);
    QCOMPARE(s.hue, 0.0);
    QCOMPARE(s.saturation, 5.5);
    QCOMPARE(s.brightness, -51.0);
    QCOMPARE(s.contrast, 0.5);
    QCOMPARE(s.logoPath, QString("/opt/quillora/tmp/avsifile0.png"));
    qint64 first = -1;
    qint64 last = -1;
    QVERIFY(s.keptFrames(&first, &last));
    QCOMPARE(first, qint64(210));
    QCOMPARE(last, qint64(272)); // the first trim ends the clip before the second does

    QVERIFY(WrapperScript::parse(rewritten("/media/clip.mp4"), "/tmp", &s, &error));
    QVERIFY(s.logoPath.isEmpty());

    // Relative paths count from the script's folder.
    QVERIFY(WrapperScript::parse(rewritten("clips/a.mp4", "clips/a.png"), "/scripts", &s, &error));
    QCOMPARE(s.sourcePath, QString("/scripts/clips/a.mp4"));
    QCOMPARE(s.logoPath, QString("/scripts/clips/a.png"));
}

void TestWrapperScript::readsTheProgramsScripts_data() {
    QTest::addColumn<QString>("source");
    QTest::newRow("plain") << "/media/clip.mp4";
    QTest::newRow("blanks") << "/media/my clip (1).mp4";
    QTest::newRow("single quote") << "/media/it's.mp4";
    QTest::newRow("double quote") << "/media/say \"hi\".mp4";
    QTest::newRow("non-Latin") << "/media/日本語 ファイル.mp4";
    QTest::newRow("hash and comma") << "/media/#1, take 2.mkv";
    QTest::newRow("video CD") << "/vcd/avseq01.dat";
}

void TestWrapperScript::readsTheProgramsScripts() {
    QFETCH(QString, source);
    AvsScriptInput first;
    first.pluginPath = "/opt/quillora/plugins/ffms2.dll";
    first.importPath = "/opt/quillora/plugins/a.avsi";
    first.headerPath = "/opt/quillora/HEADER.avs";
    first.sourcePath = source;
    first.sourceSize = "720x576";
    first.outputSize = "720x576";
    first.channelsText = "Stereo";
    first.sampleRateText = "44100";
    first.displayRatio = "1.333";
    first.exactDuration = "83.4";
    QString error;
    const std::optional<QString> firstText = AvsScript::text(first, &error);
    QVERIFY2(firstText, qPrintable(error));
    WrapperScript s;
    QVERIFY2(WrapperScript::parse(*firstText, "/tmp", &s, &error),
             qPrintable(error + "\n" + *firstText));
    QCOMPARE(s.sourcePath, source);
    qint64 firstFrame = -1;
    qint64 lastFrame = -1;
    QVERIFY(s.keptFrames(&firstFrame, &lastFrame));
    QCOMPARE(lastFrame, qint64(1751));

    EditedScriptInput edited;
    edited.pluginPath = first.pluginPath;
    edited.importPath = first.importPath;
    edited.headerPath = first.headerPath;
    edited.sourceSize = "722x481";
    edited.channels = "2";
    edited.sampleRate = "44100";
    edited.displayRatio = "1.501";
    edited.trimDuration = "83.4";
    // The logo line quotes its path as the source line does.
    // clang-format off
    edited.arguments = {"-ss", "10", "-t", "30", "-i", source,
                        "-cropleft", "3", "-croptop", "1", "-cropright", "2", "-cropbottom", "0",
                        "-y", "/out/clip.avi"};
    edited.effects = {"5.5", "-51", "0.5", source, "/opt/quillora/tmp/avsifile0.avs", source + ".png"};
    // clang-format on
    edited.withLogo = true;
    const std::optional<QString> editedText = EditedScript::build(edited, &error);
    QVERIFY2(editedText, qPrintable(error));
    QVERIFY2(WrapperScript::parse(*editedText, "/tmp", &s, &error),
             qPrintable(error + "\n" + *editedText));
    QCOMPARE(s.sourcePath, source);
    QCOMPARE(s.logoPath, source + ".png");
    QCOMPARE(s.cropLeft, 2);
    QCOMPARE(s.cropWidth, 716);
    QCOMPARE(s.cropHeight, 480);
    QCOMPARE(s.saturation, 5.5);
    QCOMPARE(s.brightness, -51.0);
    QCOMPARE(s.contrast, 0.5);
    QVERIFY(s.keptFrames(&firstFrame, &lastFrame));
    QCOMPARE(firstFrame, qint64(210));
    QCOMPARE(lastFrame, qint64(840));
}

// Every form of every line the two writers put out is read back to the value
// it was written with.
void TestWrapperScript::readsBackEveryLineWritten() {
    QSet<QString> formsRead;
    QString error;
    const auto read = [&](const std::optional<QString> &text, WrapperScript *s) {
        if (!text || !WrapperScript::parse(*text, "/tmp", s, &error))
            return false;
        for (const QString &line : text->split('\n')) {
            ScriptLines::CompactLine compact;
            ScriptLines::compact(line, &compact, nullptr);
            for (const ScriptLines::Shape &shape : ScriptLines::shapes()) {
                for (const ScriptLines::Form &form : shape.forms) {
                    if (ScriptLines::pattern(form).match(compact.text).hasMatch())
                        formsRead.insert(form.text);
                }
            }
        }
        return true;
    };
    const auto trimsAre = [](const WrapperScript &s, const QVector<QPair<int, int>> &trims) {
        if (s.trims.size() != trims.size())
            return false;
        for (int i = 0; i < trims.size(); ++i) {
            if (s.trims.at(i).first != trims.at(i).first || s.trims.at(i).last != trims.at(i).second)
                return false;
        }
        return true;
    };

    for (const QString source : {"/media/clip.mp4", "/vcd/avseq01.dat"}) {
        AvsScriptInput first;
        first.pluginPath = "/opt/quillora/plugins/ffms2.dll";
        first.importPath = "/opt/quillora/plugins/a.avsi";
        first.headerPath = "/opt/quillora/HEADER.avs";
        first.sourcePath = source;
        first.sourceSize = "722x481";
        first.outputSize = "642x481";
        first.channelsText = "Stereo";
        first.sampleRateText = "44100";
        first.displayRatio = "1.501";
        first.exactDuration = "83.4";
        WrapperScript s;
        QVERIFY2(read(AvsScript::text(first, &error), &s), qPrintable(error));
        QCOMPARE(s.sourcePath, source);
        QCOMPARE(s.frameRate, double(AvsScript::kFrameRate));
        QCOMPARE(s.outputWidth, 720); // 722/4*4
        QCOMPARE(s.outputHeight, 480);
        QCOMPARE(s.displayRatio, 1.501);
        QCOMPARE(QVector<int>({s.cropLeft, s.cropTop, s.cropWidth, s.cropHeight}),
                 QVector<int>({0, 0, 640, 480}));
        QCOMPARE(QVector<double>({s.hue, s.saturation, s.brightness, s.contrast}),
                 QVector<double>({0, 1, 0, 1}));
        QCOMPARE(s.audioDelay, 0.0);
        QVERIFY(trimsAre(s, {{0, 1751}}));
        QVERIFY(s.logoPath.isEmpty());

        for (const bool withLogo : {false, true}) {
            EditedScriptInput edited;
            edited.pluginPath = first.pluginPath;
            edited.importPath = first.importPath;
            edited.headerPath = first.headerPath;
            edited.sourceSize = "722x481";
            edited.channels = "6";
            edited.sampleRate = "48000";
            edited.displayRatio = "1.778";
            edited.trimDuration = "83.4";
            // clang-format off
            edited.arguments = {"-ss", "10", "-t", "30", "-i", source,
                                "-cropleft", "3", "-croptop", "1", "-cropright", "2",
                                "-cropbottom", "0", "-y", "/out/clip.avi"};
            edited.effects = {"5.5", "-51", "0.5", source, "/tmp/avsifile0.avs", "/tmp/logo.png"};
            // clang-format on
            edited.withLogo = withLogo;
            QVERIFY2(read(EditedScript::build(edited, &error), &s), qPrintable(error));
            QCOMPARE(s.sourcePath, source);
            QCOMPARE(s.displayRatio, 1.778);
            QCOMPARE(QVector<int>({s.cropLeft, s.cropTop, s.cropWidth, s.cropHeight}),
                     QVector<int>({2, 0, 716, 480}));
            QCOMPARE(QVector<double>({s.hue, s.saturation, s.brightness, s.contrast}),
                     QVector<double>({0, 5.5, -51, 0.5}));
            QVERIFY(trimsAre(s, {{0, 1751}, {210, 840}}));
            QCOMPARE(s.logoPath, withLogo ? QString("/tmp/logo.png") : QString());
        }
    }

    QSet<QString> formsWritten;
    for (const ScriptLines::Shape &shape : ScriptLines::shapes()) {
        for (const ScriptLines::Form &form : shape.forms)
            formsWritten.insert(form.text);
    }
    QCOMPARE(formsRead, formsWritten);
}

void TestWrapperScript::takesEmptyUserParameters() {
    // An audio file has no frame size: the block then reads "OutputWidth = /4*4".
    QString text = firstVersion("/media/song.mp3");
    text.replace("OutputWidth = 640/4*4", "OutputWidth = /4*4");
    text.replace("OutputHeight = 480/2*2", "OutputHeight = /2*2");
    text.replace("OutputSamplesPerSec = 44100", "OutputSamplesPerSec = ");
    text.replace("DisplayRatio(1.333)", "DisplayRatio(nan)");
    WrapperScript s;
    QString error;
    QVERIFY2(WrapperScript::parse(text, "/tmp", &s, &error), qPrintable(error));
    QCOMPARE(s.outputWidth, 0);
    QCOMPARE(s.outputHeight, 0);
    QCOMPARE(s.displayRatio, 0.0);
}

void TestWrapperScript::acceptsWindowsLineEnds() {
    QString text = rewritten("/media/clip.mp4");
    text.replace("\n", "\r\n");
    WrapperScript s;
    QString error;
    QVERIFY2(WrapperScript::parse(QChar(0xFEFF) + text, "/tmp", &s, &error), qPrintable(error));
    QCOMPARE(s.sourcePath, QString("/media/clip.mp4"));
}

void TestWrapperScript::refusesAnythingElse_data() {
    QTest::addColumn<QString>("text");
    const QString good = rewritten("/media/clip.mp4");
    auto replaced = [&](const QString &from, const QString &to) {
        QString t = good;
        t.replace(from, to);
        return t;
    };
    const QString source = "FFmpegSource2(\"/media/clip.mp4\",";
    const QString crop = "clip = clip.Crop(2, 0, 716, 480)\n";
    const QString tweak = "clip = clip.Tweak(0.0,5.5,-51,0.5)\n";
    const QString delay = "clip = clip.DelayAudio(0)\n";
    // clang-format off
    QTest::newRow("a function of its own")   << replaced("return clip\n", "clip = Eval(\"BlankClip()\")\nreturn clip\n");
    QTest::newRow("a file read")             << replaced(delay, delay + "Import(\"/etc/passwd\")\n");
    QTest::newRow("after return")            << good + "clip = clip.Blur(1)\n";
    QTest::newRow("no return")               << replaced("return clip\n", "");
    QTest::newRow("lines swapped")           << replaced(crop + tweak, tweak + crop);
    QTest::newRow("two sources")             << replaced("audio = FFmpegSource2(\"/media/clip.mp4\"", "audio = FFmpegSource2(\"/media/other.mp4\"");
    QTest::newRow("open quote")              << replaced(source, "FFmpegSource2(\"/media/clip.mp4,");
    QTest::newRow("quote inside plain quotes") << replaced(source, "FFmpegSource2(\"/media/cl\"ip.mp4\",");
    QTest::newRow("expression for a number") << replaced("Crop(2, 0, 716, 480)", "Crop(2, 0, 716+4, 480)");
    QTest::newRow("fraction for a crop")     << replaced("Crop(2, 0, 716, 480)", "Crop(2.5, 0, 716, 480)");
    QTest::newRow("trims leave nothing")     << replaced("Trim(210, 840)", "Trim(400, 840)");
    QTest::newRow("empty source")            << replaced(source, "FFmpegSource2(\"\",");
    QTest::newRow("other colour space")      << replaced("colorspace = \"yv12\"", "colorspace = \"rgb32\"");
    QTest::newRow("zero frame rate")         << replaced("OutputFrameRate = 21", "OutputFrameRate = 0");
    QTest::newRow("continued line")          << replaced(delay, "clip = clip.\\\nDelayAudio(0)\n");
    QTest::newRow("empty text")              << QString();
    // clang-format on
}

void TestWrapperScript::refusesAnythingElse() {
    QFETCH(QString, text);
    WrapperScript s;
    QString error;
    QVERIFY(!WrapperScript::parse(text, "/tmp", &s, &error));
    QVERIFY(!error.isEmpty());
}

void TestWrapperScript::composesTrims_data() {
    QTest::addColumn<QVector<WrapperScript::Trim>>("trims");
    QTest::addColumn<bool>("kept");
    QTest::addColumn<qint64>("first");
    QTest::addColumn<qint64>("last");
    using T = WrapperScript::Trim;
    // clang-format off
    QTest::newRow("whole clip")        << QVector<T>{{0, 0}}               << true  << qint64(0)   << qint64(-1);
    QTest::newRow("length then part")  << QVector<T>{{0, 1751}, {210, 840}} << true  << qint64(210) << qint64(840);
    QTest::newRow("untrimmed rewrite") << QVector<T>{{0, 272}, {0, 0}}     << true  << qint64(0)   << qint64(272);
    QTest::newRow("frame count")       << QVector<T>{{10, -5}}             << true  << qint64(10)  << qint64(14);
    QTest::newRow("nested")            << QVector<T>{{100, 0}, {10, 20}}   << true  << qint64(110) << qint64(120);
    QTest::newRow("beyond the end")    << QVector<T>{{0, 50}, {60, 70}}    << false << qint64(0)   << qint64(0);
    // clang-format on
}

void TestWrapperScript::composesTrims() {
    QFETCH(QVector<WrapperScript::Trim>, trims);
    QFETCH(bool, kept);
    QFETCH(qint64, first);
    QFETCH(qint64, last);
    WrapperScript s;
    s.trims = trims;
    qint64 f = -2;
    qint64 l = -2;
    QCOMPARE(s.keptFrames(&f, &l), kept);
    if (kept) {
        QCOMPARE(f, first);
        QCOMPARE(l, last);
    }
}

QTEST_APPLESS_MAIN(TestWrapperScript)
#include "tst_wrapperscript.moc"
