#include <QtTest>

#include "conversion/conversionrun.h"
#include "conversion/editedscript.h"
#include "conversion/jobpreparation.h"
#include "filelist/probeparser.h"
#include "../support/mediaprograms.h"

// The readers on the real transcoder's text: probes of real clips in several
// containers, and real conversions whose text reaches the run in odd pieces.
class TestTranscoderText : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void probesRealClips_data();
    void probesRealClips();
    void followsARealConversion();
    void reportsAFailingConversion();
    void convertsATrimmedScriptJob();

private:
    QString clip(const QString &name) const { return m_media + QLatin1Char('/') + name; }
    ProbeResult probe(const QString &path);
    // Runs one job, feeding its text to the run in pieces of the given sizes
    // in turn; returns how the job ended.
    JobEnd convert(ConversionRun &run, const QStringList &arguments, const QList<int> &pieceSizes,
                   QList<ProgressUpdate> *updates);
    double mediaSeconds(const QString &path);

    QString m_korvex;
    QString m_media;
    QTemporaryDir m_out;
};

void TestTranscoderText::initTestCase() {
    m_korvex = qEnvironmentVariable("QUILLORA_STAGE_DIR") + QStringLiteral("/korvex");
    m_media = qEnvironmentVariable("QUILLORA_TEST_MEDIA");
    if (!QFileInfo(m_korvex).isExecutable())
        QSKIP("the transcoder is not staged yet");
    QVERIFY2(QFile::exists(clip("av.mp4")), "test clips missing");
    QVERIFY(m_out.isValid());
}

ProbeResult TestTranscoderText::probe(const QString &path) {
    ProbeParser parser;
    QProcess process;
    connect(&process, &QProcess::readyReadStandardError, this,
            [&] { parser.append(process.readAllStandardError()); });
    process.start(m_korvex, {QStringLiteral("-i"), path});
    if (!process.waitForFinished(30000))
        process.kill();
    parser.append(process.readAllStandardError());
    return parser.result();
}

void TestTranscoderText::probesRealClips_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("videoCodec");
    QTest::addColumn<QString>("frameSize");
    QTest::addColumn<QString>("ratio");
    QTest::addColumn<QString>("frameRate");
    QTest::addColumn<QString>("audioCodec"); // no codec at all: not media

    // clang-format off
    QTest::newRow("mp4")            << "av.mp4"              << "h264"       << "320x240" << "1.333" << "25" << "aac";
    QTest::newRow("avi")            << "av.avi"              << "mpeg4"      << "320x240" << "1.333" << "25" << "mp3";
    QTest::newRow("mkv")            << "av.mkv"              << "h264"       << "320x240" << "1.333" << "25" << "vorbis";
    QTest::newRow("flv")            << "av.flv"              << "flv1"       << "320x240" << "1.333" << "25" << "mp3";
    QTest::newRow("wmv")            << "av.wmv"              << "wmv2"       << "320x240" << "1.333" << "25" << "wmav2";
    QTest::newRow("mpg")            << "av.mpg"              << "mpeg2video" << "320x240" << "1.333" << "25" << "mp2";
    QTest::newRow("mov")            << "av.mov"              << "mpeg4"      << "320x240" << "1.333" << "25" << "aac";
    QTest::newRow("16:9")           << "wide.mp4"            << "h264"       << "640x360" << "1.778" << "25" << "aac";
    QTest::newRow("odd size")       << "odd.avi"             << "mjpeg"      << "175x97"  << "1.804" << "25" << "pcm_s16le";
    QTest::newRow("odd, 30 fps")    << "odd.mp4"             << "h264"       << "174x98"  << "1.776" << "30" << "";
    QTest::newRow("late start")     << "offset.ts"           << "mpeg2video" << "320x240" << "1.333" << "25" << "mp2";
    QTest::newRow("5.1 sound")      << "surround.mp4"        << "h264"       << "320x240" << "1.333" << "25" << "aac";
    QTest::newRow("picture only")   << "video-only.mp4"      << "h264"       << "320x240" << "1.333" << "25" << "";
    QTest::newRow("ogg")            << "audio.ogg"           << ""           << ""        << ""      << ""   << "vorbis";
    QTest::newRow("mp3")            << "audio.mp3"           << ""           << ""        << ""      << ""   << "mp3";
    QTest::newRow("wav")            << "audio.wav"           << ""           << ""        << ""      << ""   << "pcm_s16le";
    QTest::newRow("not media")      << "notmedia.mp4"        << ""           << ""        << ""      << ""   << "";
    QTest::newRow("truncated")      << "broken.mp4"          << ""           << ""        << ""      << ""   << "";
    QTest::newRow("empty file")     << "empty.mp4"           << ""           << ""        << ""      << ""   << "";
    // clang-format on
}

void TestTranscoderText::probesRealClips() {
    QFETCH(QString, file);
    QFETCH(QString, videoCodec);
    QFETCH(QString, audioCodec);
    const ProbeResult result = probe(clip(file));
    QCOMPARE(result.hasVideo, !videoCodec.isEmpty());
    QCOMPARE(result.audioOnly, videoCodec.isEmpty() && !audioCodec.isEmpty());
    QCOMPARE(result.isMedia(), !videoCodec.isEmpty() || !audioCodec.isEmpty());
    QCOMPARE(result.probedVideoCodec, videoCodec);
    QTEST(result.probedFrameSize, "frameSize");
    QTEST(result.probedDisplayRatio, "ratio");
    QTEST(result.probedFrameRate, "frameRate");
    QCOMPARE(result.probedAudioCodec, audioCodec);
    if (!result.isMedia()) {
        QCOMPARE(result.probedSeconds, QString());
        return;
    }
    // Every clip is two seconds long.
    QCOMPARE(result.probedSeconds, QStringLiteral("2"));
    QCOMPARE(result.probedDuration, QStringLiteral("00:00:02"));
    QVERIFY(qAbs(result.probedSecondsExact.toDouble() - 2) <= 0.11);
    bool ok = false;
    QVERIFY2(result.probedBitrate.toInt(&ok) > 0 && ok, qPrintable(result.probedBitrate));
    if (!audioCodec.isEmpty()) {
        QVERIFY2(result.probedAudioBitrate.toInt(&ok) > 0 && ok,
                 qPrintable(result.probedAudioBitrate));
    }
}

JobEnd TestTranscoderText::convert(ConversionRun &run, const QStringList &arguments,
                                   const QList<int> &pieceSizes, QList<ProgressUpdate> *updates) {
    int piece = 0;
    QProcess process;
    auto feed = [&](const QByteArray &bytes) {
        for (qsizetype at = 0; at < bytes.size();) {
            const int size = pieceSizes.at(piece++ % pieceSizes.size());
            updates->append(run.feed(bytes.mid(at, size)));
            at += size;
        }
    };
    connect(&process, &QProcess::readyReadStandardError, this,
            [&] { feed(process.readAllStandardError()); });
    process.start(m_korvex, arguments);
    if (!process.waitForStarted(30000))
        return run.jobFailedToStart();
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
    }
    feed(process.readAllStandardError());
    return run.jobFinished(process.exitCode(), process.exitStatus() == QProcess::CrashExit);
}

double TestTranscoderText::mediaSeconds(const QString &path) {
    QProcess probe;
    probe.start(MediaPrograms::ffprobe(),
                {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", path});
    probe.waitForFinished(30000);
    return QString::fromLatin1(probe.readAllStandardOutput()).trimmed().toDouble();
}

void TestTranscoderText::followsARealConversion() {
    const QString output = m_out.filePath("long out.avi");
    const QStringList arguments = {"-i",      clip("long.mp4"), "-y",  "-vcodec", "mpeg4",
                                   "-acodec", "libmp3lame",     "-ab", "128",     output};
    const QVector<RunRow> rows = {{true, JobPreparation::outputSeconds(arguments, "00:00:12")}};
    ConversionRun run;
    QVERIFY(run.start(rows));
    const TickDecision launch = run.tick(false, rows);
    QCOMPARE(launch.action, TickDecision::Action::Launch);

    QList<ProgressUpdate> updates;
    const JobEnd end = convert(run, arguments, {7, 1, 13, 2, 31}, &updates);
    QCOMPARE(end.row, 0);
    QCOMPARE(end.statusWord, QStringLiteral("finished"));

    int lastPercent = -1;
    bool sawLine = false;
    for (const ProgressUpdate &update : qAsConst(updates)) {
        QCOMPARE(update.row, 0);
        QVERIFY(update.rowPercent >= lastPercent); // never runs backwards
        lastPercent = update.rowPercent;
        QVERIFY(update.totalPercent <= 99);
        sawLine = sawLine || update.totalLine.startsWith(QStringLiteral("Total progress:  "));
        QVERIFY(!update.writeFailed);
    }
    QCOMPARE(lastPercent, 100); // the summary (or the last reading) filled the bar
    QVERIFY(sawLine);
    QVERIFY(qAbs(mediaSeconds(output) - 12.0) < 0.5);
    QCOMPARE(run.tick(false, rows).action, TickDecision::Action::Finish);
}

void TestTranscoderText::reportsAFailingConversion() {
    const QVector<RunRow> rows = {{true, 2}, {true, 2}};
    ConversionRun run;
    run.start(rows);
    QCOMPARE(run.tick(false, rows).row, 0);
    QList<ProgressUpdate> updates;
    JobEnd end = convert(run,
                         {"-i", clip("notmedia.mp4"), "-y", "-vcodec", "mpeg4", "-acodec", "aac",
                          m_out.filePath("notmedia.avi")},
                         {5}, &updates);
    QCOMPARE(end.statusWord, QStringLiteral("error"));
    QVERIFY(!QFile::exists(m_out.filePath("notmedia.avi")));

    // The run goes on with the next row.
    QCOMPARE(run.tick(false, rows).row, 1);
    end = convert(run,
                  {"-i", clip("av.avi"), "-y", "-vcodec", "mpeg4", "-acodec", "aac",
                   m_out.filePath("av.mp4")},
                  {64}, &updates);
    QCOMPARE(end.statusWord, QStringLiteral("finished"));
    const TickDecision finish = run.tick(false, rows);
    QCOMPARE(finish.action, TickDecision::Action::Finish);
    QCOMPARE(finish.rowsToUncheck, QList<int>{1});
}

void TestTranscoderText::convertsATrimmedScriptJob() {
    const QString stage = qEnvironmentVariable("QUILLORA_STAGE_DIR");
    const QString source = clip("long.mp4");
    const QString script = m_out.filePath("avsifile0.avs");
    const QStringList stored = {
        "-ss",        "2",         "-t",          "3",        "-i",
        source,       "-cropleft", "0",           "-croptop", "0",
        "-cropright", "0",         "-cropbottom", "0",        "-y",
        "-vcodec",    "mpeg4",     "-acodec",     "aac",      m_out.filePath("trimmed.mp4")};
    const QStringList effects = {"1", "0", "1", source, script, m_out.filePath("avsifile0.png")};

    EditedScriptInput input;
    QDir plugins(stage + "/plugins");
    const QStringList pluginFiles = plugins.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    input.importPath = pluginFiles.isEmpty() ? QString() : plugins.filePath(pluginFiles.value(0));
    input.pluginPath = pluginFiles.size() < 2 ? QString() : plugins.filePath(pluginFiles.value(1));
    input.headerPath = stage + "/HEADER.avs";
    input.sourceSize = "320x240";
    input.channels = "2";
    input.sampleRate = "44100";
    input.displayRatio = "1.333";
    input.trimDuration = "12";
    input.arguments = stored;
    input.effects = effects;
    const std::optional<QString> text = EditedScript::build(input);
    QVERIFY(text);
    QVERIFY(EditedScript::write(script, *text));

    const JobPreparation::LaunchPlan plan = JobPreparation::prepare(stored, effects, "1.333");
    QVERIFY(plan.readsScript);
    const QVector<RunRow> rows = {{true, JobPreparation::outputSeconds(stored, "00:00:12")}};
    QCOMPARE(rows.first().seconds, 3);
    ConversionRun run;
    run.start(rows);
    run.tick(false, rows);
    QList<ProgressUpdate> updates;
    const JobEnd end = convert(run, plan.arguments, {3, 11}, &updates);
    QCOMPARE(end.statusWord, QStringLiteral("finished"));
    QVERIFY(qAbs(mediaSeconds(m_out.filePath("trimmed.mp4")) - 3.0) < 0.5);
    QVERIFY(!updates.isEmpty());
    QCOMPARE(updates.last().rowPercent, 100);
}

QTEST_GUILESS_MAIN(TestTranscoderText)
#include "tst_transcodertext.moc"
