#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "conversion/avsscript.h"
#include "settingsdialog/scriptparameters.h"

using ScriptParameters::Outcome;
Q_DECLARE_METATYPE(ScriptParameters::Outcome)

// The four user-parameter lines that the Advance button rewrites in a row's
// AviSynth script, and the scripts it must leave alone.
class tst_ScriptParameters : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void valuesFollowTheScriptWriter_data();
    void valuesFollowTheScriptWriter();
    void patchesTheFourLinesOfAWrittenScript();
    void shorterTextLeavesNoOldTail();
    void unreadableSizeKeepsTheSizeLines();
    void onlyTheFirstMarkerCounts();
    void keepsOtherBytesAndLineEnds();
    void leavesUnsuitableScriptsUntouched_data();
    void leavesUnsuitableScriptsUntouched();
    void missingOrUnnamedScript();

private:
    QString writeScript(const QByteArray &text);
    static QByteArray read(const QString &path);
    static QByteArray block(const QByteArray &lines);

    QTemporaryDir *folder = nullptr;
};

void tst_ScriptParameters::init() {
    folder = new QTemporaryDir;
    QVERIFY(folder->isValid());
}

void tst_ScriptParameters::cleanup() {
    delete folder;
    folder = nullptr;
}

QString tst_ScriptParameters::writeScript(const QByteArray &text) {
    const QString path = folder->filePath(QStringLiteral("avsifile0.avs"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QByteArray tst_ScriptParameters::read(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray tst_ScriptParameters::block(const QByteArray &lines) {
    return QByteArrayLiteral("LoadPlugin(\"/opt/p/ffms2.so\")\n\n#User parameters\n") + lines;
}

void tst_ScriptParameters::valuesFollowTheScriptWriter_data() {
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("channels");
    QTest::addColumn<QString>("rate");
    QTest::addColumn<int>("width");  // -1: no value
    QTest::addColumn<int>("height"); // -1: no value
    QTest::addColumn<QString>("channelCount");
    QTest::addColumn<QString>("sampleRate");

    // clang-format off
    QTest::newRow("stereo") << "640x480" << "Stereo" << "44100" << 640 << 480 << "2" << "44100";
    QTest::newRow("mono") << "176x144" << "Mono" << "8000" << 176 << 144 << "1" << "8000";
    QTest::newRow("5.1") << "1920x1080" << "5.1" << "48000" << 1920 << 1080 << "6" << "48000";
    QTest::newRow("blanks around numbers") << " 720x576 " << "Stereo" << "32000" << 720 << 576 << "2" << "32000";
    QTest::newRow("no x") << "640" << "Stereo" << "44100" << -1 << -1 << "2" << "44100";
    QTest::newRow("empty size") << "" << "Stereo" << "44100" << -1 << -1 << "2" << "44100";
    QTest::newRow("script text in size") << "640x480)\nreturn(0" << "Stereo" << "44100" << -1 << -1 << "2" << "44100";
    // The channel and rate rules are the script writer's own: a text that
    // names no count gives stereo, a rate that is not a number 44100.
    QTest::newRow("other case") << "640x480" << "mono" << "Auto" << 640 << 480 << "2" << "44100";
    QTest::newRow("empty boxes") << "640x480" << "" << "" << 640 << 480 << "2" << "44100";
    // clang-format on
}

void tst_ScriptParameters::valuesFollowTheScriptWriter() {
    QFETCH(QString, size);
    QFETCH(QString, channels);
    QFETCH(QString, rate);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QString, channelCount);
    QFETCH(QString, sampleRate);

    const ScriptParameterValues values = ScriptParameters::valuesFor(size, channels, rate);
    QCOMPARE(values.width.value_or(-1), width);
    QCOMPARE(values.height.value_or(-1), height);
    QCOMPARE(values.channels, channelCount);
    QCOMPARE(values.sampleRate, sampleRate);
}

void tst_ScriptParameters::patchesTheFourLinesOfAWrittenScript() {
    AvsScriptInput input;
    input.pluginPath = QStringLiteral("/opt/quillora/plugins/ffms2.so");
    input.importPath = QStringLiteral("/opt/quillora/plugins/a.avsi");
    input.headerPath = QStringLiteral("/opt/quillora/HEADER.avs");
    input.sourcePath = QStringLiteral("/home/u/clip.mp4");
    input.sourceSize = QStringLiteral("1280x720");
    input.outputSize = QStringLiteral("1280x720");
    input.channelsText = QStringLiteral("5.1");
    input.sampleRateText = QStringLiteral("48000");
    input.displayRatio = QStringLiteral("1.778");
    input.exactDuration = QStringLiteral("12.0");
    const QString original = *AvsScript::text(input);
    const QString path = writeScript(original.toUtf8());

    const ScriptParameters::Report report = ScriptParameters::patchFile(
        path, ScriptParameters::valuesFor(QStringLiteral("640x480"), QStringLiteral("Stereo"),
                                          QStringLiteral("44100")));
    QCOMPARE(report.outcome, Outcome::Patched);
    QVERIFY(report.message.isEmpty());

    const QStringList before = original.split(QLatin1Char('\n'));
    const QStringList after = QString::fromUtf8(read(path)).split(QLatin1Char('\n'));
    QCOMPARE(after.size(), before.size());
    const int marker = after.indexOf(QStringLiteral("#User parameters"));
    QVERIFY(marker > 0);
    QCOMPARE(after.mid(marker + 1, 6),
             QStringList({"OutputWidth = 640/4*4", "OutputHeight = 480/2*2", "OutputFrameRate = 21",
                          "OutputChannels = 2", "OutputSamplesPerSec = 44100",
                          "OutputBitsPerSample = 16"}));
    for (int i = 0; i < before.size(); ++i) {
        if (i < marker + 1 || i > marker + 5 || i == marker + 3)
            QCOMPARE(after.at(i), before.at(i));
    }
    // Nothing of the write is left beside the script.
    QCOMPARE(QDir(folder->path()).entryList(QDir::Files), QStringList({"avsifile0.avs"}));
}

void tst_ScriptParameters::shorterTextLeavesNoOldTail() {
    const QString path = writeScript(block("OutputWidth = 1920/4*4\n"
                                           "OutputHeight = 1080/2*2\n"
                                           "OutputFrameRate = 21\n"
                                           "OutputChannels = 6\n"
                                           "OutputSamplesPerSec = 48000\n"
                                           "OutputBitsPerSample = 16\n"
                                           "\n"
                                           "return clip\n"));
    const auto report = ScriptParameters::patchFile(
        path, ScriptParameters::valuesFor(QStringLiteral("64x48"), QStringLiteral("Mono"),
                                          QStringLiteral("8000")));
    QCOMPARE(report.outcome, Outcome::Patched);
    QCOMPARE(read(path), block("OutputWidth = 64/4*4\n"
                               "OutputHeight = 48/2*2\n"
                               "OutputFrameRate = 21\n"
                               "OutputChannels = 1\n"
                               "OutputSamplesPerSec = 8000\n"
                               "OutputBitsPerSample = 16\n"
                               "\n"
                               "return clip\n"));
}

void tst_ScriptParameters::unreadableSizeKeepsTheSizeLines() {
    const QByteArray lines = "OutputWidth = 720/4*4\n"
                             "OutputHeight = 576/2*2\n"
                             "OutputFrameRate = 21\n"
                             "OutputChannels = 2\n"
                             "OutputSamplesPerSec = 44100\n"
                             "OutputBitsPerSample = 16\n";
    const auto patched = ScriptParameters::patchedText(
        block(lines),
        ScriptParameters::valuesFor(QString(), QStringLiteral("5.1"), QStringLiteral("48000")));
    QVERIFY(patched);
    QCOMPARE(*patched, block("OutputWidth = 720/4*4\n"
                             "OutputHeight = 576/2*2\n"
                             "OutputFrameRate = 21\n"
                             "OutputChannels = 6\n"
                             "OutputSamplesPerSec = 48000\n"
                             "OutputBitsPerSample = 16\n"));
}

void tst_ScriptParameters::onlyTheFirstMarkerCounts() {
    const QByteArray six = "W\nH\nOutputFrameRate = 21\nC\nS\nB\n";
    const auto patched = ScriptParameters::patchedText(
        block(six) + "#User parameters\n" + six,
        ScriptParameters::valuesFor(QStringLiteral("320x240"), QStringLiteral("Stereo"),
                                    QStringLiteral("22050")));
    QVERIFY(patched);
    QCOMPARE(*patched, block("OutputWidth = 320/4*4\nOutputHeight = 240/2*2\n"
                             "OutputFrameRate = 21\nOutputChannels = 2\n"
                             "OutputSamplesPerSec = 22050\nB\n") +
                           "#User parameters\n" + six);
}

void tst_ScriptParameters::keepsOtherBytesAndLineEnds() {
    // A Windows-made script keeps its line ends, a source path in another
    // encoding its bytes, and a script without a final line end stays so.
    const QByteArray text = "clip = FFmpegSource2(\"/m/caf\xe9.mp4\")\r\n"
                            "#User parameters\r\n"
                            "OutputWidth = 1/4*4\r\n"
                            "OutputHeight = 1/2*2\r\n"
                            "OutputFrameRate = 21\r\n"
                            "OutputChannels = 1\r\n"
                            "OutputSamplesPerSec = 1\r\n"
                            "OutputBitsPerSample = 16";
    Outcome outcome = Outcome::NoMarker;
    const auto patched = ScriptParameters::patchedText(
        text,
        ScriptParameters::valuesFor(QStringLiteral("640x360"), QStringLiteral("Stereo"),
                                    QStringLiteral("44100")),
        &outcome);
    QCOMPARE(outcome, Outcome::Patched);
    QVERIFY(patched);
    QCOMPARE(*patched, QByteArray("clip = FFmpegSource2(\"/m/caf\xe9.mp4\")\r\n"
                                  "#User parameters\r\n"
                                  "OutputWidth = 640/4*4\r\n"
                                  "OutputHeight = 360/2*2\r\n"
                                  "OutputFrameRate = 21\r\n"
                                  "OutputChannels = 2\r\n"
                                  "OutputSamplesPerSec = 44100\r\n"
                                  "OutputBitsPerSample = 16"));
}

void tst_ScriptParameters::leavesUnsuitableScriptsUntouched_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<Outcome>("outcome");

    QTest::newRow("no marker") << QByteArray("OutputWidth = 1/4*4\nOutputHeight = 1/2*2\n"
                                             "OutputFrameRate = 21\nOutputChannels = 1\n"
                                             "OutputSamplesPerSec = 1\nreturn clip\n")
                               << Outcome::NoMarker;
    QTest::newRow("marker in other case")
        << QByteArray("#user parameters\na\nb\nc\nd\ne\nf\n") << Outcome::NoMarker;
    QTest::newRow("marker with a trailing blank")
        << QByteArray("#User parameters \na\nb\nc\nd\ne\nf\n") << Outcome::NoMarker;
    QTest::newRow("four lines after the marker")
        << block("OutputWidth = 1/4*4\nOutputHeight = 1/2*2\nOutputFrameRate = 21\n"
                 "OutputChannels = 1\n")
        << Outcome::TooFewLines;
    QTest::newRow("marker is the last line") << block("") << Outcome::TooFewLines;
    QTest::newRow("empty file") << QByteArray() << Outcome::NoMarker;
}

void tst_ScriptParameters::leavesUnsuitableScriptsUntouched() {
    QFETCH(QByteArray, text);
    QFETCH(Outcome, outcome);

    const QString path = writeScript(text);
    const ScriptParameters::Report report = ScriptParameters::patchFile(
        path, ScriptParameters::valuesFor(QStringLiteral("640x480"), QStringLiteral("Stereo"),
                                          QStringLiteral("44100")));
    QCOMPARE(report.outcome, outcome);
    QCOMPARE(read(path), text);
    // The user is told, with the script's name.
    QVERIFY(report.message.contains(path));
    QVERIFY(report.message.contains(QStringLiteral("#User parameters")));
}

void tst_ScriptParameters::missingOrUnnamedScript() {
    const QString missing = folder->filePath(QStringLiteral("avsifile7.avs"));
    const auto values = ScriptParameters::valuesFor(
        QStringLiteral("640x480"), QStringLiteral("Stereo"), QStringLiteral("44100"));
    const ScriptParameters::Report report = ScriptParameters::patchFile(missing, values);
    QCOMPARE(report.outcome, Outcome::Unreadable);
    QVERIFY(report.message.contains(missing));
    QVERIFY(!QFile::exists(missing));

    // A row without a script has nothing to patch and nothing to report.
    const ScriptParameters::Report none = ScriptParameters::patchFile(QString(), values);
    QCOMPARE(none.outcome, Outcome::NoScript);
    QVERIFY(none.message.isEmpty());
}

QTEST_APPLESS_MAIN(tst_ScriptParameters)
#include "tst_scriptparameters.moc"
