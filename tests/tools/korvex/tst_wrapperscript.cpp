#include <QtTest>

#include "wrapperscript.h"

namespace {

// A path as the program's script writer puts it between the parentheses.
QString quoted(const QString &path) {
    return path.contains('"') ? "\"\"\"" + path + "\"\"\"" : "\"" + path + "\"";
}

QString header(const QString &width = "640", const QString &height = "480") {
    return QString("LoadPlugin(\"/opt/quillora/plugins/ffms2.dll\")\n"
                   "Import(\"/opt/quillora/plugins/a.avsi\")\n"
                   "Import(\"/opt/quillora/HEADER.avs\")\n"
                   "\n"
                   "#User parameters\n"
                   "OutputWidth = %1/4*4\n"
                   "OutputHeight = %2/2*2\n"
                   "OutputFrameRate = 21\n"
                   "OutputChannels = 2\n"
                   "OutputSamplesPerSec = 44100\n"
                   "OutputBitsPerSample = 16\n"
                   "\n"
                   "# Parse the media source\n")
        .arg(width, height);
}

QString sourceLines(const QString &source, bool directShow = false) {
    return (directShow ? "clip = DirectShowSource(" + quoted(source) + ")\n"
                       : "clip = FFmpegSource2(" + quoted(source) +
                             ",atrack = -1, seekmode = 1,colorspace = \"yv12\")\n") +
           "clip = (clip.frameRate/OutputFrameRate >= 1.5) ? "
           "clip.SWScale(colorspace=\"YUY2\").ConvertFPS(OutputFrameRate, zone=80)"
           ".SWScale(colorspace=\"YV12\") : clip.ConvertFPS(OutputFrameRate)\n"
           "clip = clip.DelayAudio(0)\n";
}

QString audioLines(const QString &source, bool directShow = false) {
    return (directShow
                ? "audio = DirectShowSource(" + quoted(source) + ").KillVideo()\n"
                : "audio = FFmpegSource2(" + quoted(source) + ", atrack = -1).KillVideo()\n") +
           "audio = audio.DelayAudio(0)\n"
           "clip = AudioDubEx(clip, audio).Trim(0, clip.FrameCount)\n"
           "clip = clip.ResizeLetterBox(OutputWidth, OutputHeight)\n";
}

// The script as the row builder writes it first.
QString firstVersion(const QString &source, bool directShow = false) {
    return header() + sourceLines(source, directShow) + "clip = clip.DisplayRatio(1.333)\n" +
           "clip = clip.Crop(0, 0, 640, 480)\n" + "clip = clip.Tweak(0,1,0,1)\n" +
           audioLines(source, directShow) + "clip = clip.Trim(0, 1751)\n" + "return clip\n";
}

// The script as the editor answer rewrites it.
QString rewritten(const QString &source, const QString &logo = QString()) {
    QString text = header("722", "481") + sourceLines(source) +
                   "clip = clip.DisplayRatio(1.501)\n" + "clip = clip.Crop(2, 0, 716, 480)\n" +
                   "clip = clip.Tweak(0.0,5.5,-51,0.5)\n" + audioLines(source) +
                   "clip = clip.Trim(0, 272)\n";
    if (!logo.isEmpty())
        text += "clip = clip.Logo2(" + quoted(logo) + ")\n";
    return text + "clip = clip.Trim(210, 840)\n" + "return clip\n";
}

} // namespace

class TestWrapperScript : public QObject {
    Q_OBJECT

private slots:
    void readsTheFirstVersion();
    void readsTheRewrittenVersionWithLogo();
    void readsDirectShowSources();
    void readsPathsAsWritten_data();
    void readsPathsAsWritten();
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
}

void TestWrapperScript::readsDirectShowSources() {
    WrapperScript s;
    QString error;
    QVERIFY2(WrapperScript::parse(firstVersion("/vcd/avseq01.dat", true), "/tmp", &s, &error),
             qPrintable(error));
    QCOMPARE(s.sourcePath, QString("/vcd/avseq01.dat"));
}

void TestWrapperScript::readsPathsAsWritten_data() {
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("expected");
    QTest::newRow("blanks") << "/media/my clip (1).mp4"
                            << "/media/my clip (1).mp4";
    QTest::newRow("single quote") << "/media/quote'single.mp4"
                                  << "/media/quote'single.mp4";
    QTest::newRow("double quote") << "/media/quote\"double.mp4"
                                  << "/media/quote\"double.mp4";
    QTest::newRow("non-Latin") << "/media/日本語 ファイル.mp4"
                               << "/media/日本語 ファイル.mp4";
    QTest::newRow("hash and comma") << "/media/#1, take 2.mp4"
                                    << "/media/#1, take 2.mp4";
    QTest::newRow("relative") << "clips/a.mp4"
                              << "/scripts/clips/a.mp4";
}

void TestWrapperScript::readsPathsAsWritten() {
    QFETCH(QString, written);
    QFETCH(QString, expected);
    WrapperScript s;
    QString error;
    QVERIFY2(WrapperScript::parse(rewritten(written, written + ".png"), "/scripts", &s, &error),
             qPrintable(error));
    QCOMPARE(s.sourcePath, expected);
    QCOMPARE(s.logoPath, expected + ".png");
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
    QTest::newRow("a function of its own")
        << replaced("return clip\n", "clip = Eval(\"BlankClip()\")\nreturn clip\n");
    QTest::newRow("a file read") << replaced(
        "clip = clip.DelayAudio(0)\n", "clip = clip.DelayAudio(0)\nImport(\"/etc/passwd\")\n");
    QTest::newRow("after return") << good + "clip = clip.Blur(1)\n";
    QTest::newRow("no return") << replaced("return clip\n", "");
    QTest::newRow("lines swapped")
        << replaced("clip = clip.Crop(2, 0, 716, 480)\nclip = clip.Tweak(0.0,5.5,-51,0.5)\n",
                    "clip = clip.Tweak(0.0,5.5,-51,0.5)\nclip = clip.Crop(2, 0, 716, 480)\n");
    QTest::newRow("two sources") << replaced("audio = FFmpegSource2(\"/media/clip.mp4\"",
                                             "audio = FFmpegSource2(\"/media/other.mp4\"");
    QTest::newRow("open quote") << replaced("FFmpegSource2(\"/media/clip.mp4\",",
                                            "FFmpegSource2(\"/media/clip.mp4,");
    QTest::newRow("quote inside plain quotes")
        << replaced("FFmpegSource2(\"/media/clip.mp4\",", "FFmpegSource2(\"/media/cl\"ip.mp4\",");
    QTest::newRow("expression for a number")
        << replaced("Crop(2, 0, 716, 480)", "Crop(2, 0, 716+4, 480)");
    QTest::newRow("fraction for a crop")
        << replaced("Crop(2, 0, 716, 480)", "Crop(2.5, 0, 716, 480)");
    QTest::newRow("trims leave nothing") << replaced("Trim(210, 840)", "Trim(400, 840)");
    QTest::newRow("empty source") << replaced("FFmpegSource2(\"/media/clip.mp4\",",
                                              "FFmpegSource2(\"\",");
    QTest::newRow("other colour space")
        << replaced("colorspace = \"yv12\"", "colorspace = \"rgb32\"");
    QTest::newRow("zero frame rate") << replaced("OutputFrameRate = 21", "OutputFrameRate = 0");
    QTest::newRow("continued line")
        << replaced("clip = clip.DelayAudio(0)\n", "clip = clip.\\\nDelayAudio(0)\n");
    QTest::newRow("empty text") << QString();
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
    QTest::newRow("whole clip") << QVector<T>{{0, 0}} << true << qint64(0) << qint64(-1);
    QTest::newRow("length then part")
        << QVector<T>{{0, 1751}, {210, 840}} << true << qint64(210) << qint64(840);
    QTest::newRow("untrimmed rewrite")
        << QVector<T>{{0, 272}, {0, 0}} << true << qint64(0) << qint64(272);
    QTest::newRow("frame count") << QVector<T>{{10, -5}} << true << qint64(10) << qint64(14);
    QTest::newRow("nested") << QVector<T>{{100, 0}, {10, 20}} << true << qint64(110) << qint64(120);
    QTest::newRow("beyond the end")
        << QVector<T>{{0, 50}, {60, 70}} << false << qint64(0) << qint64(0);
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
