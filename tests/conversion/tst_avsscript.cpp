#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "../support/smalldisk.h"
#include "conversion/avsscript.h"
#include "conversion/scriptwriter.h"

namespace {

QString golden(const QString &name) {
    QFile file(qEnvironmentVariable("QUILLORA_SOURCE_DIR") + "/tests/conversion/golden/" + name);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("missing golden file ") + name;
    return QString::fromUtf8(file.readAll());
}

AvsScriptInput firstInput() {
    AvsScriptInput in;
    in.pluginPath = "/opt/quillora/plugins/ffms2.so";
    in.importPath = "/opt/quillora/plugins/FFMS2.avsi";
    in.headerPath = "/opt/quillora/HEADER.avs";
    in.sourcePath = "/media/in/clip.mts";
    in.sourceSize = "720x576";
    in.outputSize = "322x242";
    in.channelsText = "5.1";
    in.sampleRateText = "48000";
    in.displayRatio = "1.778";
    in.exactDuration = "83.4";
    return in;
}

QStringList userParameters(const QString &script) {
    const QStringList lines = script.split('\n');
    const int marker = lines.indexOf("#User parameters");
    return marker < 0 ? QStringList() : lines.mid(marker + 1, 5);
}

QString lineStarting(const QString &script, const QString &start) {
    for (const QString &line : script.split('\n')) {
        if (line.startsWith(start))
            return line;
    }
    return QString();
}

} // namespace

class TestAvsScript : public QObject {
    Q_OBJECT

private slots:
    void goldenFirstScript();
    void goldenDirectShowAndFallbacks();
    void channelsFollowTheChannelText_data();
    void channelsFollowTheChannelText();
    void sourceChoiceIsCaseSensitive();
    void sizesAndCrop_data();
    void sizesAndCrop();
    void trimFrames_data();
    void trimFrames();
    void quoting_data();
    void quoting();
    void unquotablePathIsRefused();
    void numbering();
    void writingIsAtomic();
    void fullDiskKeepsTheOldScript();
};

void TestAvsScript::goldenFirstScript() {
    const auto text = AvsScript::text(firstInput());
    QVERIFY(text);
    QCOMPARE(*text, golden("first-script.avs"));
}

void TestAvsScript::goldenDirectShowAndFallbacks() {
    AvsScriptInput in;
    in.headerPath = "/opt/quillora/HEADER.avs";
    in.sourcePath = "/media/vcd/say \"cheese\".dat";
    in.sourceSize = "352x288";
    in.channelsText = "Joint";
    const auto text = AvsScript::text(in);
    QVERIFY(text);
    QCOMPARE(*text, golden("vcd-quoted-script.avs"));
}

void TestAvsScript::channelsFollowTheChannelText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("count");
    QTest::newRow("mono") << "Mono" << "1";
    QTest::newRow("stereo") << "Stereo" << "2";
    QTest::newRow("5.1 is six, not three") << "5.1" << "6";
    QTest::newRow("unknown") << "Quad" << "2";
    QTest::newRow("empty") << "" << "2";
}

void TestAvsScript::channelsFollowTheChannelText() {
    QFETCH(QString, text);
    QFETCH(QString, count);
    AvsScriptInput in = firstInput();
    in.channelsText = text;
    QCOMPARE(userParameters(*AvsScript::text(in)).at(3), "OutputChannels = " + count);
}

void TestAvsScript::sourceChoiceIsCaseSensitive() {
    AvsScriptInput in = firstInput();
    in.sourcePath = "/media/vcd/AVSEQ01.DAT";
    const QString script = *AvsScript::text(in);
    QCOMPARE(script.count("FFmpegSource2("), 2);
    QCOMPARE(script.count("DirectShowSource("), 0);
    in.sourcePath = "/media/my.data/clip.avi"; // ".dat" anywhere in the path
    QCOMPARE(AvsScript::text(in)->count("DirectShowSource("), 2);
}

void TestAvsScript::sizesAndCrop_data() {
    QTest::addColumn<QString>("sourceSize");
    QTest::addColumn<QString>("outputSize");
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::addColumn<QString>("crop");
    // clang-format off
    QTest::newRow("scaled")         << "720x576" << "322x242" << "720" << "576" << "320, 242";
    QTest::newRow("odd output")     << "720x576" << "175x97"  << "720" << "576" << "172, 96";
    QTest::newRow("no -s")          << "720x576" << ""        << "720" << "576" << "0, 0";
    QTest::newRow("size without x") << "640"     << "640x480" << "640" << "640" << "640, 480";
    QTest::newRow("not numbers")    << "wide"    << "axb"     << "0"   << "0"   << "0, 0";
    // A size that reached the script from an edited box cannot inject a line.
    QTest::newRow("injection") << "640\nreturn 0x480" << "" << "0" << "480" << "0, 0";
    // clang-format on
}

void TestAvsScript::sizesAndCrop() {
    QFETCH(QString, sourceSize);
    QFETCH(QString, outputSize);
    QFETCH(QString, width);
    QFETCH(QString, height);
    QFETCH(QString, crop);
    AvsScriptInput in = firstInput();
    in.sourceSize = sourceSize;
    in.outputSize = outputSize;
    const QString script = *AvsScript::text(in);
    QCOMPARE(lineStarting(script, "OutputWidth"), "OutputWidth = " + width + "/4*4");
    QCOMPARE(lineStarting(script, "OutputHeight"), "OutputHeight = " + height + "/2*2");
    QCOMPARE(lineStarting(script, "clip = clip.Crop"), "clip = clip.Crop(0, 0, " + crop + ")");
    QCOMPARE(script.count("return "), 1);
    QCOMPARE(script.split('\n').size(), 26); // 25 lines and the final line end
}

void TestAvsScript::trimFrames_data() {
    QTest::addColumn<QString>("duration");
    QTest::addColumn<QString>("frames");
    QTest::newRow("83.4") << "83.4" << "1751";
    QTest::newRow("12.99") << "12.99" << "272";
    QTest::newRow("empty") << "" << "0";
    QTest::newRow("word") << "long" << "0";
    QTest::newRow("decimal comma") << "83,4" << "0";
    // A header that claims ten years: the whole file.
    QTest::newRow("past a frame number") << "320000002.05" << "0";
}

void TestAvsScript::trimFrames() {
    QFETCH(QString, duration);
    QFETCH(QString, frames);
    AvsScriptInput in = firstInput();
    in.exactDuration = duration;
    QCOMPARE(lineStarting(*AvsScript::text(in), "clip = clip.Trim"),
             "clip = clip.Trim(0, " + frames + ")");
}

void TestAvsScript::quoting_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("literal"); // empty: refused
    // clang-format off
    QTest::newRow("plain")                << "/a/b.mp4"             << "\"/a/b.mp4\"";
    QTest::newRow("blank and apostrophe") << "/a/it's here.mp4"     << "\"/a/it's here.mp4\"";
    QTest::newRow("non-Latin")            << "/a/日本語 ファイル.mp4" << "\"/a/日本語 ファイル.mp4\"";
    QTest::newRow("double quote")         << "/a/quote\"double.mp4" << "\"\"\"/a/quote\"double.mp4\"\"\"";
    QTest::newRow("two quotes apart")     << "/a/\"x\" y.mp4"       << "\"\"\"/a/\"x\" y.mp4\"\"\"";
    QTest::newRow("empty")                << ""                     << "\"\"";
    QTest::newRow("line feed")            << "/a/b\nreturn 0.mp4"   << "";
    QTest::newRow("carriage return")      << "/a/b\r.mp4"           << "";
    QTest::newRow("tab")                  << "/a/b\t.mp4"           << "";
    QTest::newRow("three quotes")         << "/a/\"\"\"x.mp4"       << "";
    QTest::newRow("ends with quote")      << "/a/x\""               << "";
    // clang-format on
}

void TestAvsScript::quoting() {
    QFETCH(QString, path);
    QFETCH(QString, literal);
    QString error;
    const auto quoted = AvsScript::quoted(path, &error);
    if (literal.isEmpty()) {
        QVERIFY(!quoted);
        QVERIFY(error.contains("cannot be written"));
    } else {
        QVERIFY(quoted);
        QCOMPARE(*quoted, literal);
    }
}

void TestAvsScript::unquotablePathIsRefused() {
    using Path = QString AvsScriptInput::*;
    for (Path field : {&AvsScriptInput::pluginPath, &AvsScriptInput::importPath,
                       &AvsScriptInput::headerPath, &AvsScriptInput::sourcePath}) {
        AvsScriptInput in = firstInput();
        in.*field = "/media/in/two\nlines.mp4";
        QString error;
        QVERIFY(!AvsScript::text(in, &error));
        QVERIFY2(error.contains(in.*field), qPrintable(error));
    }
}

void TestAvsScript::numbering() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.path();
    // The numbers the window gives its rows' scripts, counted from what a
    // copy of the program left in the folder.
    QVERIFY(AvsScript::write(AvsScript::scriptPath(folder, 0), "x"));
    QVERIFY(AvsScript::write(AvsScript::scriptPath(folder, 1), "x"));
    QVERIFY(AvsScript::write(AvsScript::scriptPath(folder, 3), "x"));
    // A logo picture alone does not take a number.
    QFile logo(AvsScript::logoPath(folder, 2));
    QVERIFY(logo.open(QIODevice::WriteOnly));
    logo.close();
    ScriptWriter scripts;
    scripts.countTaken(folder);
    QTRY_COMPARE(scripts.nextNumber(), 2);
    // A number a row holds stays taken, its script written or not.
    scripts.takeNumber();
    QCOMPARE(scripts.nextNumber(), 4);

    ScriptWriter elsewhere;
    elsewhere.countTaken(folder + "/missing");
    QCOMPARE(elsewhere.nextNumber(), 0);
    elsewhere.takeNumber();
    QCOMPARE(elsewhere.nextNumber(), 1);
}

void TestAvsScript::writingIsAtomic() {
    QTemporaryDir dir;
    const QString path = dir.path() + "/tmp/avsifile0.avs"; // the folder is made
    const QString script = *AvsScript::text(firstInput());
    QString error;
    QVERIFY2(AvsScript::write(path, script, &error), qPrintable(error));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(file.readAll()), script);
    file.close();
    // A shorter text leaves no tail of the old one.
    QVERIFY(AvsScript::write(path, "return clip\n"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("return clip\n"));
    file.close();

    // A folder that cannot be made: a failure with a message, not a crash.
    QFile blocker(dir.path() + "/blocker");
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QVERIFY(!AvsScript::write(dir.path() + "/blocker/avsifile0.avs", script, &error));
    QVERIFY(!error.isEmpty());
}

void TestAvsScript::fullDiskKeepsTheOldScript() {
    QTemporaryDir dir;
    SmallDisk disk;
    if (!disk.mount(dir.path()))
        QSKIP("A size-limited folder needs root and a private mount namespace.");
    const QString path = dir.path() + "/avsifile0.avs";
    QVERIFY(AvsScript::write(path, "return clip\n"));
    QVERIFY(disk.fillUpTo(0));
    QString error;
    QVERIFY(!AvsScript::write(path, *AvsScript::text(firstInput()), &error));
    QVERIFY2(error.contains("No space left"), qPrintable(error));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("return clip\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList({"avsifile0.avs", "filler"}));
}

QTEST_GUILESS_MAIN(TestAvsScript)
#include "tst_avsscript.moc"
