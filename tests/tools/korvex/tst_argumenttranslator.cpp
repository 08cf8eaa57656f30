#include <QtTest>

#include "argumenttranslator.h"
#include "wrapperscript.h"
#include "jobrequest.h"

namespace {

SourceFacts avSource(int width = 320, int height = 240, int rate = 44100, int channels = 2) {
    SourceFacts s;
    s.hasVideo = true;
    s.hasAudio = true;
    s.videoIndex = 0;
    s.audioIndex = 1;
    s.width = width;
    s.height = height;
    s.sampleRate = rate;
    s.channels = channels;
    s.duration = 10;
    s.videoDuration = 10;
    s.audioDuration = 10;
    return s;
}

bool translateList(const QStringList &list, const SourceFacts &source, FfmpegCommand *command,
                   QString *error = nullptr, const WrapperScript *script = nullptr) {
    JobRequest request;
    QString why;
    if (!JobRequest::parse(list, &request, &why))
        return false;
    ArgumentTranslator translator(request, source);
    if (script)
        translator.setScript(*script);
    const bool ok = translator.translate("/src/in.mp4", "/out/.x.part", command, &why);
    if (error)
        *error = why;
    return ok;
}

QString valueAfter(const QStringList &args, const QString &word) {
    const int i = args.indexOf(word);
    return i >= 0 && i + 1 < args.size() ? args.at(i + 1) : QString("<absent>");
}

QStringList job(const QStringList &options, const QString &output) {
    return QStringList{"-i", "/src/in.mp4", "-y"} + options + QStringList{output};
}

QStringList words(const char *text) {
    return QString(text).split(' ', Qt::SkipEmptyParts);
}

} // namespace

class TestArgumentTranslator : public QObject {
    Q_OBJECT

private slots:
    void mapsTheVocabulary();
    void leavesOutAutoAndEmptyValues();
    void replacesEncodersThisFfmpegLacks_data();
    void replacesEncodersThisFfmpegLacks();
    void fitsTheSoundToTheEncoder_data();
    void fitsTheSoundToTheEncoder();
    void fitsThePictureToTheEncoder_data();
    void fitsThePictureToTheEncoder();
    void refusesImpossibleJobs_data();
    void refusesImpossibleJobs();
    void trimsWithSeekAndLength();
    void leavesThePictureOutWhenAsked();
    void passesPathsAsPlainFiles();
    void choosesTheProgramStreamForMpeg2();
    void readsBitratesAndTimes_data();
    void readsBitratesAndTimes();
    void buildsTheScriptGraph();
    void scriptKeepsSoundAndPictureTogether();
};

void TestArgumentTranslator::mapsTheVocabulary() {
    FfmpegCommand c;
    QVERIFY(translateList(job(words("-s 320x240 -b 768K -r 25 -aspect 4:3 -vcodec libx264 -fpre "
                                    "x264/libx264-veryfast.ffpreset -threads 0 -acodec libfaac "
                                    "-ar 44100 -ab 128K -ac 2"),
                              "/out/clip.mp4"),
                          avSource(), &c));
    const QStringList &a = c.arguments;
    QVERIFY(a.contains("-nostdin"));
    QCOMPARE(valueAfter(a, "-c:v"), QString("libx264"));
    QCOMPARE(valueAfter(a, "-preset"), QString("veryfast"));
    QCOMPARE(valueAfter(a, "-b:v"), QString("768000"));
    QCOMPARE(valueAfter(a, "-r"), QString("25/1"));
    QCOMPARE(valueAfter(a, "-aspect"), QString("4:3"));
    QCOMPARE(valueAfter(a, "-threads"), QString("0"));
    QCOMPARE(valueAfter(a, "-pix_fmt"), QString("yuv420p"));
    QCOMPARE(valueAfter(a, "-c:a"), QString("aac"));
    QCOMPARE(valueAfter(a, "-b:a"), QString("128000"));
    QCOMPARE(valueAfter(a, "-ar"), QString("44100"));
    QCOMPARE(valueAfter(a, "-ac"), QString("2"));
    QCOMPARE(valueAfter(a, "-f"), QString("mp4"));
    // The size is the source's already; the rate goes by the nearest frame.
    QCOMPARE(valueAfter(a, "-vf"), QString("fps=25/1"));
    for (const char *old : {"-vcodec", "-acodec", "-ab", "-b", "-fpre", "-croptop"})
        QVERIFY2(!a.contains(old), old);
    QCOMPARE(a.last(), QString("file:/out/.x.part"));
    QVERIFY(c.writesVideo && c.writesAudio);
    QCOMPARE(c.expectedDuration, 10.0);
}

void TestArgumentTranslator::leavesOutAutoAndEmptyValues() {
    FfmpegCommand c;
    QVERIFY(
        translateList(job({"-s", "", "-b", "Auto", "-r", "", "-aspect", "default", "-vcodec",
                           "mpeg4", "-acodec", "libmp3lame", "-ar", "", "-ab", "Auto", "-ac", ""},
                          "/out/clip.avi"),
                      avSource(), &c));
    for (const char *word : {"-b:v", "-r", "-aspect", "-b:a", "-ac", "-vf"})
        QVERIFY2(!c.arguments.contains(word), word);
    // The encoder's own list of rates: the source's 44100 is asked for explicitly.
    QCOMPARE(valueAfter(c.arguments, "-ar"), QString("44100"));
    for (const QString &arg : c.arguments)
        QVERIFY2(!arg.isEmpty(), "an empty value reached ffmpeg");
}

void TestArgumentTranslator::replacesEncodersThisFfmpegLacks_data() {
    QTest::addColumn<QString>("vcodec");
    QTest::addColumn<QString>("acodec");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("video");
    QTest::addColumn<QString>("audio");
    // clang-format off
    QTest::newRow("faac in mp4")          << "libx264"    << "libfaac"    << "a.mp4" << "libx264"    << "aac";
    QTest::newRow("msmpeg4 v1")           << "msmpeg4v1"  << "libmp3lame" << "a.avi" << "msmpeg4v2"  << "libmp3lame";
    QTest::newRow("h263p in 3gp")         << "h263p"      << "libfaac"    << "a.3gp" << "h263"       << "aac";
    QTest::newRow("mpeg4 in flv")         << "mpeg4"      << "libmp3lame" << "a.flv" << "flv"        << "libmp3lame";
    QTest::newRow("mp3 in 3gp")           << "mpeg4"      << "libmp3lame" << "a.3gp" << "mpeg4"      << "aac";
    QTest::newRow("mp3 in m4a")           << ""           << "libmp3lame" << "a.m4a" << ""           << "aac";
    QTest::newRow("mp3 in aac")           << ""           << "libmp3lame" << "a.aac" << ""           << "aac";
    QTest::newRow("little-endian in au")  << ""           << "pcm_s16le"  << "a.au"  << ""           << "pcm_s16be";
    QTest::newRow("no audio name in 3gp") << "h263"       << ""           << "a.3gp" << "h263"       << "libopencore_amrnb";
    QTest::newRow("mp2 in mpg")           << "mpeg1video" << "mp2"        << "a.mpg" << "mpeg1video" << "mp2";
    QTest::newRow("aac in mpg")           << "mpeg2video" << "libfaac"    << "a.mpg" << "mpeg2video" << "mp2";
    // clang-format on
}

void TestArgumentTranslator::replacesEncodersThisFfmpegLacks() {
    QFETCH(QString, vcodec);
    QFETCH(QString, acodec);
    QFETCH(QString, output);
    QFETCH(QString, video);
    QFETCH(QString, audio);
    QStringList options;
    if (!vcodec.isEmpty())
        options << "-vcodec" << vcodec;
    options << "-acodec" << acodec;
    FfmpegCommand c;
    QString error;
    QVERIFY2(translateList(job(options, "/out/" + output), avSource(), &c, &error),
             qPrintable(error));
    QCOMPARE(valueAfter(c.arguments, "-c:v"), video.isEmpty() ? QString("<absent>") : video);
    QCOMPARE(valueAfter(c.arguments, "-c:a"), audio);
    QCOMPARE(c.writesVideo, !video.isEmpty());
}

void TestArgumentTranslator::fitsTheSoundToTheEncoder_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("sourceChannels");
    QTest::addColumn<QString>("rate");
    QTest::addColumn<QString>("channels");
    QTest::addColumn<QString>("bitrate");
    const QString none("<absent>");
    // clang-format off
    QTest::newRow("mp3 of 5.1")         << words("-acodec libmp3lame -ac 6")  << "a.mp3" << 6 << "44100" << "2"  << none;
    QTest::newRow("wma of 5.1 unasked") << words("-acodec wmav2 -ab 8K")      << "a.wma" << 6 << "44100" << "2"  << "24000";
    QTest::newRow("flash mp3")          << words("-acodec libmp3lame -ar 48000") << "a.flv" << 2 << "44100" << none << none;
    QTest::newRow("amr")                << words("-acodec libopencore_amrnb -ar 44100 -ac 2 -ab 64K") << "a.amr" << 2 << "8000" << "1" << "12200";
    QTest::newRow("amr unasked")        << words("-acodec libopencore_amrnb") << "a.3gp" << 2 << "8000"  << "1"  << "12200";
    QTest::newRow("mp2 bitrate")        << words("-acodec mp2 -ab 100K")      << "a.mp2" << 2 << "44100" << none << "96000";
    QTest::newRow("mp2 half rate")      << words("-acodec mp2 -ar 22050 -ab 320K") << "a.mp2" << 2 << "22050" << none << "160000";
    QTest::newRow("ac3 rate")           << words("-acodec ac3 -ar 22050")     << "a.ac3" << 6 << "32000" << none << none;
    QTest::newRow("pcm has no bitrate") << words("-acodec pcm_s16le -ab 128K") << "a.wav" << 2 << none  << none << none;
    QTest::newRow("aac keeps 5.1")      << words("-acodec libfaac -ac 6")     << "a.m4a" << 6 << "44100" << "6"  << none;
    // clang-format on
}

void TestArgumentTranslator::fitsTheSoundToTheEncoder() {
    QFETCH(QStringList, options);
    QFETCH(QString, output);
    QFETCH(int, sourceChannels);
    QFETCH(QString, rate);
    QFETCH(QString, channels);
    QFETCH(QString, bitrate);
    FfmpegCommand c;
    QString error;
    QVERIFY2(translateList(job(options, "/out/" + output),
                           avSource(320, 240, 44100, sourceChannels), &c, &error),
             qPrintable(error));
    QCOMPARE(valueAfter(c.arguments, "-ar"), rate);
    QCOMPARE(valueAfter(c.arguments, "-ac"), channels);
    QCOMPARE(valueAfter(c.arguments, "-b:a"), bitrate);
}

void TestArgumentTranslator::fitsThePictureToTheEncoder_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QSize>("source");
    QTest::addColumn<QString>("filters");
    QTest::addColumn<QString>("pixels");
    const QString none("<absent>");
    const QSize qvga(320, 240);
    // clang-format off
    QTest::newRow("h263 size")       << words("-s 320x240 -vcodec h263")   << "a.3gp" << QSize(640, 360) << "scale=352:288,setsar=1" << "yuv420p";
    QTest::newRow("h263 from wide")  << words("-vcodec h263")              << "a.3gp" << QSize(640, 360) << "scale=704:576" << "yuv420p";
    QTest::newRow("odd source")      << words("-vcodec libx264")           << "a.mp4" << QSize(175, 97)  << "crop=174:96:0:0" << "yuv420p";
    QTest::newRow("odd size asked")  << words("-s 175x97 -vcodec libx264") << "a.mp4" << qvga << "scale=174:96,setsar=1" << "yuv420p";
    QTest::newRow("h263p fours")     << words("-s 175x99 -vcodec h263p")   << "a.avi" << qvga << "scale=172:96,setsar=1" << "yuv420p";
    QTest::newRow("crop pairs")      << words("-cropleft 8 -croptop 4 -cropright 8 -cropbottom 4 -vcodec mpeg4") << "a.avi" << qvga
                                     << "crop=304:232:8:4" << "yuv420p";
    QTest::newRow("crop then size")  << words("-cropleft 10 -cropright 10 -s 320x240 -vcodec mpeg4") << "a.avi" << qvga
                                     << "crop=300:240:10:0,scale=320:240,setsar=1" << "yuv420p";
    QTest::newRow("named size")      << words("-s qcif -vcodec mpeg4")     << "a.avi" << qvga << "scale=176:144,setsar=1" << "yuv420p";
    QTest::newRow("motion jpeg")     << words("-vcodec mjpeg")             << "a.avi" << qvga << none << "yuvj420p";
    // clang-format on
}

void TestArgumentTranslator::fitsThePictureToTheEncoder() {
    QFETCH(QStringList, options);
    QFETCH(QString, output);
    QFETCH(QSize, source);
    QFETCH(QString, filters);
    QFETCH(QString, pixels);
    FfmpegCommand c;
    QString error;
    QVERIFY2(translateList(job(options, "/out/" + output),
                           avSource(source.width(), source.height()), &c, &error),
             qPrintable(error));
    QCOMPARE(valueAfter(c.arguments, "-vf"), filters);
    QCOMPARE(valueAfter(c.arguments, "-pix_fmt"), pixels);
}

void TestArgumentTranslator::refusesImpossibleJobs_data() {
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<bool>("hasVideo");
    // clang-format off
    QTest::newRow("crop eats the picture")     << job(words("-cropleft 200 -cropright 200 -vcodec mpeg4"), "/out/a.avi") << true;
    QTest::newRow("no format from the name")   << job(words("-acodec mp2"), "/out/noextension") << true;
    QTest::newRow("unknown -f")                << job(words("-f nosuchformat"), "/out/a.avi") << true;
    QTest::newRow("unknown video encoder")     << job(words("-vcodec nosuchencoder -acodec mp2"), "/out/a.avi") << true;
    QTest::newRow("unknown audio encoder")     << job(words("-vcodec mpeg4 -acodec nosuch"), "/out/a.avi") << true;
    QTest::newRow("audio encoder for video")   << job(words("-vcodec mp2 -acodec mp2"), "/out/a.avi") << true;
    // The source has no sound here.
    QTest::newRow("picture into a sound file") << job(words("-vcodec mpeg4"), "/out/a.mp3") << false;
    // clang-format on
}

void TestArgumentTranslator::refusesImpossibleJobs() {
    QFETCH(QStringList, list);
    QFETCH(bool, hasVideo);
    SourceFacts source = avSource();
    if (!hasVideo)
        source.hasAudio = false; // a picture-only source
    FfmpegCommand c;
    QString error;
    QVERIFY(!translateList(list, source, &c, &error));
    QVERIFY(!error.isEmpty());
}

void TestArgumentTranslator::trimsWithSeekAndLength() {
    FfmpegCommand c;
    SourceFacts source = avSource();
    source.duration = source.videoDuration = source.audioDuration = 100;
    QVERIFY(translateList(
        QStringList{"-ss", "12", "-t", "30"} + job({"-acodec", "mp2"}, "/out/a.mpg"), source, &c));
    const int ss = c.arguments.indexOf("-ss");
    QVERIFY(ss >= 0 && ss < c.arguments.indexOf("-i")); // seeking in the input is fast
    QCOMPARE(c.arguments.at(ss + 1), QString("12"));
    QVERIFY(c.arguments.indexOf("-t") > c.arguments.indexOf("-i"));
    QCOMPARE(c.expectedDuration, 30.0);

    source.duration = source.videoDuration = source.audioDuration = 20;
    QVERIFY(translateList(QStringList{"-ss", "00:00:12", "-t", "30"} + job({}, "/out/a.mpg"),
                          source, &c));
    QCOMPARE(c.expectedDuration, 8.0);
}

void TestArgumentTranslator::leavesThePictureOutWhenAsked() {
    FfmpegCommand c;
    QVERIFY(translateList(job({"-vn", "-acodec", "libmp3lame"}, "/out/a.avi"), avSource(), &c));
    QVERIFY(!c.writesVideo);
    QVERIFY(!c.arguments.contains("-c:v"));
    QVERIFY(!c.arguments.contains("0:0"));
    QVERIFY(c.arguments.contains("0:1"));

    // A sound-only format drops the picture even without "-vn".
    QVERIFY(translateList(job({"-vcodec", "mpeg4", "-acodec", "libmp3lame"}, "/out/a.mp3"),
                          avSource(), &c));
    QVERIFY(!c.writesVideo);
    QVERIFY(c.writesAudio);
}

void TestArgumentTranslator::passesPathsAsPlainFiles() {
    JobRequest request;
    QString error;
    QVERIFY(JobRequest::parse(job({}, "/out/-x:y.mp4"), &request, &error));
    ArgumentTranslator translator(request, avSource());
    FfmpegCommand c;
    QVERIFY(
        translator.translate("/src/concat:-odd.mp4", "/out/.-x:y.mp4.korvex-1.part", &c, &error));
    QCOMPARE(valueAfter(c.arguments, "-i"), QString("file:/src/concat:-odd.mp4"));
    QCOMPARE(c.arguments.last(), QString("file:/out/.-x:y.mp4.korvex-1.part"));
    QCOMPARE(valueAfter(c.arguments, "-f"), QString("mp4")); // the hidden name says nothing
}

void TestArgumentTranslator::choosesTheProgramStreamForMpeg2() {
    FfmpegCommand c;
    QVERIFY(translateList(job({"-vcodec", "mpeg2video", "-acodec", "mp2"}, "/out/a.mpg"),
                          avSource(), &c));
    QCOMPARE(valueAfter(c.arguments, "-f"), QString("vob"));
    QVERIFY(translateList(job({"-vcodec", "mpeg1video", "-acodec", "mp2"}, "/out/a.mpg"),
                          avSource(), &c));
    QCOMPARE(valueAfter(c.arguments, "-f"), QString("mpeg"));
    QVERIFY(translateList(job({"-vcodec", "mpeg2video", "-acodec", "mp2"}, "/out/a.ts"), avSource(),
                          &c));
    QCOMPARE(valueAfter(c.arguments, "-f"), QString("mpegts"));
}

void TestArgumentTranslator::readsBitratesAndTimes_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("bits");
    QTest::newRow("K") << "768K" << qint64(768000);
    QTest::newRow("k with unit") << "128 kbps" << qint64(128000);
    QTest::newRow("M") << "1.5M" << qint64(1500000);
    QTest::newRow("plain kb/s") << "128" << qint64(128000);
    QTest::newRow("plain bits") << "64000" << qint64(64000);
    QTest::newRow("decimal K") << "12.2K" << qint64(12200);
    QTest::newRow("Auto") << "Auto" << qint64(0);
    QTest::newRow("empty") << "" << qint64(0);
    QTest::newRow("junk") << "fast" << qint64(0);
}

void TestArgumentTranslator::readsBitratesAndTimes() {
    QFETCH(QString, text);
    QFETCH(qint64, bits);
    QCOMPARE(ArgumentTranslator::parseBitrate(text), bits);
    QCOMPARE(ArgumentTranslator::parseTime("12"), 12.0);
    QCOMPARE(ArgumentTranslator::parseTime("00:01:30.5"), 90.5);
    QVERIFY(ArgumentTranslator::parseTime("soon") < 0);
}

void TestArgumentTranslator::buildsTheScriptGraph() {
    WrapperScript script;
    script.sourcePath = "/src/in.mp4";
    script.outputWidth = 320;
    script.outputHeight = 240;
    script.displayRatio = 1.333;
    script.cropLeft = 40;
    script.cropTop = 20;
    script.cropWidth = 240;
    script.cropHeight = 200;
    script.brightness = 100;
    script.trims = {{0, 252}, {42, 126}};
    script.logoPath = "/tmp/logo.png";

    FfmpegCommand c;
    QString error;
    QVERIFY2(translateList(job({"-vcodec", "mpeg4", "-acodec", "libmp3lame"}, "/out/a.avi"),
                           avSource(), &c, &error, &script),
             qPrintable(error));
    const QString graph = valueAfter(c.arguments, "-filter_complex");
    QVERIFY2(graph.startsWith("[0:0]fps=21,trim=start_frame=42:end_frame=127,setpts=PTS-STARTPTS,"
                              "crop=240:200:40:20,eq=contrast=1:brightness=0.392157:saturation=1,"
                              "scale=288:240,setsar=1,pad=320:240:16:0:black[base];"
                              "[base][1:v]overlay=0:0[vout];"),
             qPrintable(graph));
    QVERIFY2(graph.endsWith("[0:1]atrim=start=2:end=6.047619,asetpts=PTS-2/TB[aout]"),
             qPrintable(graph));
    QCOMPARE(c.arguments.count("-i"), 2);
    QVERIFY(c.arguments.contains("file:/tmp/logo.png"));
    QCOMPARE(c.arguments.count("-map"), 2);
    QVERIFY(!c.arguments.contains("-vf"));
    QCOMPARE(c.expectedDuration, 85 / 21.0);
}

void TestArgumentTranslator::scriptKeepsSoundAndPictureTogether() {
    // ffmpeg counts from the file's start; a picture that begins 0.5 s after
    // the sound moves both streams by the same amount, so that the first trim
    // counts from the first picture.
    WrapperScript script;
    script.sourcePath = "/src/in.ts";
    script.trims = {{0, 41}};
    SourceFacts source = avSource();
    source.videoOffset = 0.5;
    FfmpegCommand c;
    const QStringList list =
        job({"-s", "176x144", "-vcodec", "h263", "-acodec", "libfaac"}, "/out/a.3gp");
    QVERIFY(translateList(list, source, &c, nullptr, &script));
    QString graph = valueAfter(c.arguments, "-filter_complex");
    QVERIFY2(graph.startsWith("[0:0]setpts=PTS-0.5/TB,fps=21,trim=start_frame=0:end_frame=42"),
             qPrintable(graph));
    QVERIFY2(graph.contains("[0:1]asetpts=PTS-0.5/TB,atrim=start=0:end=2,asetpts=PTS[aout]"),
             qPrintable(graph));
    // No letterbox size in the block: the picture keeps its size, then "-s" applies.
    QVERIFY2(graph.contains("setpts=PTS-STARTPTS,scale=176:144,setsar=1[vout]"), qPrintable(graph));
    QCOMPARE(c.expectedDuration, 2.0);

    // Sound that begins 0.3 s after the picture is preceded by silence.
    source.videoOffset = 0;
    source.audioOffset = 0.3;
    QVERIFY(translateList(list, source, &c, nullptr, &script));
    graph = valueAfter(c.arguments, "-filter_complex");
    QVERIFY2(graph.startsWith("[0:0]fps=21,"), qPrintable(graph));
    QVERIFY2(graph.contains("[0:1]asetpts=PTS-STARTPTS,adelay=delays=300:all=1,atrim=start=0:"),
             qPrintable(graph));
}

QTEST_APPLESS_MAIN(TestArgumentTranslator)
#include "tst_argumenttranslator.moc"
