#include <cerrno>
#include <csignal>
#include <cstring>

#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <QtTest>

#include "argumenttranslator.h"
#include "conversion/partfilename.h"
#include "fieldcounter.h"
#include "fielddetector.h"
#include "job.h"
#include "jobrequest.h"
#include "korvextestsupport.h"
#include "probe.h"
#include "testfsmount.h"
#include "../../support/mediaprograms.h"
#include "../../support/hostilemedia.h"
#include "../../support/processstate.h"
#include "../../support/smalldisk.h"

using namespace KorvexTest;

namespace {

// Waits that end as soon as korvex or ffmpeg gets there; a busy machine may
// take many seconds to.
constexpr int kEventTimeoutMs = 30000;
constexpr int kJobTimeoutMs = 120000;

QStringList hiddenParts(const QString &folder) {
    return QDir(folder).entryList({".*.part"}, QDir::Files | QDir::Hidden);
}

// The mean of each channel over an area of one picture ("gray": one channel,
// "rgb24": three), decoded by ffmpeg itself; empty when nothing was decoded.
QList<double> meanLevels(const QString &file, double at, QRect area, const QString &format) {
    const QString filter = QString("crop=%1:%2:%3:%4,format=%5")
                               .arg(area.width())
                               .arg(area.height())
                               .arg(area.x())
                               .arg(area.y())
                               .arg(format);
    QProcess p;
    p.start(MediaPrograms::ffmpeg(),
            {"-v", "error", "-nostdin", "-ss", QString::number(at), "-i", "file:" + file,
             "-frames:v", "1", "-vf", filter, "-f", "rawvideo", "-"});
    p.waitForFinished(30000);
    const QByteArray pixels = p.readAllStandardOutput();
    const int channels = format == "gray" ? 1 : 3;
    const int count = pixels.size() / channels;
    if (count == 0)
        return {};
    QList<double> sums(channels, 0.0);
    for (int i = 0; i < count * channels; ++i)
        sums[i % channels] += quint8(pixels.at(i));
    for (double &sum : sums)
        sum /= count;
    return sums;
}

double meanLuma(const QString &file, double at, QRect area) {
    return meanLevels(file, at, area, "gray").value(0, -1);
}

// A 320x240 script over the source, keeping frames `trim` of it.
Script smallScript(const QString &source, const QString &trim) {
    Script s;
    s.source = source;
    s.width = "320";
    s.height = "240";
    s.crop = "0, 0, 320, 240";
    s.firstTrim = trim;
    return s;
}

bool writeFile(const QString &path, const QString &text) {
    QFile f(path);
    const QByteArray bytes = text.toUtf8();
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The id of a process that has ended and been collected.
qint64 endedProcessId() {
    QProcess ended;
    ended.start("true");
    ended.waitForStarted();
    const qint64 pid = ended.processId();
    ended.waitForFinished();
    return pid;
}

// A part file's name as korvex gave it before names told boots apart.
QString olderPartName(const QString &output, qint64 pid) {
    const QFileInfo info(output);
    return info.absolutePath() + "/." + info.fileName() + ".korvex-" + PartFileName::thisHost() +
           "-" + QString::number(pid) + "." + PartFileName::thisMachine() + ".part";
}

// Unchanged for more than a week.
bool makeOld(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadWrite) &&
           file.setFileTime(QDateTime::currentDateTime().addDays(-8),
                            QFileDevice::FileModificationTime);
}

QByteArray digest(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1);
}

// The first child of a running process; 0 when it has none.
pid_t firstChild(pid_t pid) {
    QFile children(QString("/proc/%1/task/%1/children").arg(pid));
    if (!children.open(QIODevice::ReadOnly))
        return 0;
    return pid_t(children.readAll().trimmed().split(' ').value(0).toInt());
}

// Starts a 720p job of the twelve-second clip and waits for its first
// progress line; returns what it wrote until then.
QByteArray startBigJob(QProcess &p, const QString &out, const QStringList &x264Options = {},
                       const QString &source = media("long.mp4")) {
    p.setReadChannel(QProcess::StandardError);
    p.start(korvex(), job(source,
                          QStringList{"-s", "1280x720", "-vcodec", "libx264"} + x264Options +
                              QStringList{"-acodec", "libfaac"},
                          out));
    QByteArray seen;
    if (!p.waitForStarted())
        return seen;
    while (!seen.contains("time=") && p.state() == QProcess::Running &&
           p.waitForReadyRead(kEventTimeoutMs))
        seen += p.readAllStandardError();
    return seen;
}

} // namespace

class TestKorvexJob : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void convertsIntoEveryFormat_data();
    void convertsIntoEveryFormat();
    void appliesEveryOption_data();
    void appliesEveryOption();
    void honoursBitrates();
    void looksAtFieldsOnlyWhereTheyCanShow_data();
    void looksAtFieldsOnlyWhereTheyCanShow();
    void appliesTheScript();
    void readsAwkwardNames();
    void neverWritesOverTheSource();
    void failsWithoutLeavingAFile_data();
    void failsWithoutLeavingAFile();
    void reportsAnUnwritableOutput();
    void runsOnlyItsOwnFfmpeg();
    void fullDriveIsToldInTheSystemsWords();
    void refusesForeignScripts();
    void stopLeavesNothing();
    void killTakesFfmpegAlong();
    void sweepsOnlyThisComputersParts();
    void leavesAnotherUsersPartFile();
    void keepsTheLivePartSeenThroughAnotherMount();
    void sweepsOnADriveWithoutLocks();
    void finishesTheClaimOfAKilledJob();
    void keepsThePartOfAJobOutOfSight();
    void survivesPauseAndResume();
    void keepsAFileThatComesUnderTheName_data();
    void keepsAFileThatComesUnderTheName();
    void twoJobsIntoOneNameKeepBoth();
    void anotherUsersFileInASharedFolder();
    void publishesOnADriveWithoutLinks();
    void outputIsOnTheDriveBeforeItsName();
    void stopBeforeTheNameLeavesNothing();
    void convertsAFileOnlyByItself_data();
    void convertsAFileOnlyByItself();

private:
    QTemporaryDir m_dir;
};

void TestKorvexJob::initTestCase() {
    QVERIFY(QFileInfo(korvex()).isExecutable());
    QVERIFY(QFileInfo::exists(media(".complete")));
    QVERIFY(m_dir.isValid());
    QVERIFY(HostileMedia::make(QDir(m_dir.filePath("hostile"))));
}

void TestKorvexJob::convertsIntoEveryFormat_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("video");
    QTest::addColumn<QString>("audio");
    const QString x264 = "-vcodec libx264 -fpre x264/libx264-veryfast.ffpreset -threads 0 ";
    const QString faac = "-acodec libfaac -ar 44100 -ab 128K -ac 2";
    const QString lame = "-acodec libmp3lame -ar 44100 -ab 128K -ac 2";
    const QString sized = "-s 320x240 -b 768K -r 25 ";
    auto add = [](const char *name, const QString &source, const QString &options,
                  const QString &output, const QString &video, const QString &audio) {
        QTest::newRow(name) << source << options.split(' ', Qt::SkipEmptyParts) << output << video
                            << audio;
    };
    // clang-format off
    add("AVI mpeg4",      "av.mp4",       sized + "-vcodec mpeg4 " + lame,                     "a.avi",  "mpeg4",      "mp3");
    add("AVI xvid",       "av.mov",       "-aspect 4:3 -vcodec libxvid -threads 8 " + lame,    "b.avi",  "mpeg4",      "mp3");
    add("AVI divx",       "av.mkv",       "-vcodec msmpeg4 " + lame,                           "c.avi",  "msmpeg4v3",  "mp3");
    add("AVI msmpeg4 v1", "av.wmv",       "-vcodec msmpeg4v1 " + lame,                         "d.avi",  "msmpeg4v2",  "mp3");
    add("AVI mjpeg",      "odd.avi",      "-vcodec mjpeg -acodec pcm_s16le",                   "e.avi",  "mjpeg",      "pcm_s16le");
    add("ASF",            "av.mp4",       sized + "-vcodec msmpeg4 -acodec wmav2 -ab 64K",     "a.asf",  "msmpeg4v3",  "wmav2");
    add("WMV 8",          "av.avi",       "-vcodec wmv2 -acodec wmav2",                        "a.wmv",  "wmv2",       "wmav2");
    add("WMV 7",          "av.flv",       "-vcodec wmv1 -acodec wmav1",                        "b.wmv",  "wmv1",       "wmav1");
    add("WMV from 5.1",   "surround.mp4", "-vcodec wmv2 -acodec wmav2 -ac 6",                  "c.wmv",  "wmv2",       "wmav2");
    add("MP4 h264",       "av.avi",       sized + x264 + faac,                                 "a.mp4",  "h264",       "aac");
    add("MP4 mpeg4",      "odd.mp4",      "-s 175x97 -vcodec mpeg4 " + faac,                   "b.mp4",  "mpeg4",      "");
    add("MOV",            "av.mpg",       x264 + faac,                                         "a.mov",  "h264",       "aac");
    add("MOV mpeg4",      "av.mp4",       "-vcodec mpeg4 " + faac,                             "b.mov",  "mpeg4",      "aac");
    add("M4V",            "av.mp4",       "-s 320x240 -vcodec mpeg4 " + faac,                  "a.m4v",  "mpeg4",      "aac");
    add("MPG mpeg1",      "av.mp4",       sized + "-vcodec mpeg1video -acodec mp2 -ab 100K",   "a.mpg",  "mpeg1video", "mp2");
    add("MPG mpeg2",      "surround.mp4", "-r 15 -vcodec mpeg2video -acodec ac3",              "b.mpg",  "mpeg2video", "ac3");
    add("TS",             "offset.ts",    "-vcodec mpeg2video -acodec mp2",                    "a.ts",   "mpeg2video", "mp2");
    add("TS h264",        "av.mp4",       x264 + faac,                                         "b.ts",   "h264",       "aac");
    add("FLV",            "av.mp4",       "-vcodec flv -acodec libmp3lame -ar 48000",          "a.flv",  "flv1",       "mp3");
    add("MKV",            "wide.mp4",     x264 + faac,                                         "a.mkv",  "h264",       "aac");
    add("3GP h263 amr",   "av.mp4",       "-s 320x240 -vcodec h263 -acodec libopencore_amrnb -ar 44100 -ac 2", "a.3gp", "h263", "amr_nb");
    add("3GP mpeg4 aac",  "wide.mp4",     "-s 176x144 -vcodec mpeg4 " + faac,                  "b.3gp",  "mpeg4",      "aac");
    add("3G2 h263 aac",   "av.mkv",       "-vcodec h263 " + faac,                              "a.3g2",  "h263",       "aac");
    add("3G2 mpeg4 amr",  "av.mp4",       "-vcodec mpeg4 -acodec libopencore_amrnb",           "b.3g2",  "mpeg4",      "amr_nb");
    add("AAC",            "av.mp4",       "-vn " + faac,                                       "a.aac",  "",           "aac");
    add("AC3",            "surround.mp4", "-vn -acodec ac3 -ac 6",                             "a.ac3",  "",           "ac3");
    add("AIFF",           "audio.mp3",    "-vn -acodec pcm_s16be",                             "a.aiff", "",           "pcm_s16be");
    add("AMR",            "audio.ogg",    "-vn -acodec libopencore_amrnb -ar 44100 -ab 12.2K", "a.amr",  "",           "amr_nb");
    add("AU",             "audio.wav",    "-vn -acodec pcm_mulaw",                             "a.au",   "",           "pcm_mulaw");
    add("FLAC",           "surround.ac3", "-vn -acodec flac",                                  "a.flac", "",           "flac");
    add("M4A",            "av.flv",       "-vn -acodec libfaac",                               "a.m4a",  "",           "aac");
    add("MP2",            "audio.m4a",    "-vn -acodec mp2 -ar 22050 -ab 192K",                "a.mp2",  "",           "mp2");
    add("MP3",            "surround.mp4", "-s 320x240 -vn -acodec libmp3lame -ac 6",           "a.mp3",  "",           "mp3");
    add("MP3 from video", "av.wmv",       lame,                                                "b.mp3",  "",           "mp3");
    add("WAV",            "av.mp4",       "-vn -acodec pcm_s16le",                             "a.wav",  "",           "pcm_s16le");
    add("WAV adpcm",      "surround.ac3", "-vn -acodec adpcm_ms",                              "b.wav",  "",           "adpcm_ms");
    add("WMA",            "surround.ac3", "-vn -acodec wmav2 -ab 8K",                          "a.wma",  "",           "wmav2");
    // clang-format on
}

void TestKorvexJob::convertsIntoEveryFormat() {
    QFETCH(QString, source);
    QFETCH(QStringList, options);
    QFETCH(QString, output);
    QFETCH(QString, video);
    QFETCH(QString, audio);

    const QString out = m_dir.filePath("formats/" + output);
    QDir().mkpath(m_dir.filePath("formats"));
    const Run run = runKorvex(job(media(source), options, out));
    QVERIFY2(run.exitCode == 0, qPrintable(run.text));
    QVERIFY(hiddenParts(m_dir.filePath("formats")).isEmpty());

    const Probe::Media m = Probe::read(out, true);
    QVERIFY2(m.opened, qPrintable(m.error));
    QCOMPARE(m.firstVideo() ? m.firstVideo()->codec : QString(), video);
    QCOMPARE(m.firstAudio() ? m.firstAudio()->codec : QString(), audio);
    QVERIFY2(m.duration > 1.8 && m.duration < 2.4, qPrintable(QString::number(m.duration)));
    if (m.firstVideo())
        QVERIFY(m.firstVideo()->width >= 128 && m.firstVideo()->height >= 96);

    // The text as the progress reader takes it: times in seconds, no probe
    // words, and a last line pair carrying the time and the summary words.
    QVERIFY(!run.text.contains("Duration:") && !run.text.contains("Video:") &&
            !run.text.contains("Audio:"));
    const QStringList lines = run.text.split('\n', Qt::SkipEmptyParts);
    double previous = 0;
    for (const QString &line : lines) {
        if (!line.contains("time=") || line.contains("Lsize="))
            continue;
        const double t = readTime(line);
        QVERIFY2(t >= previous - 0.05, qPrintable(line));
        previous = t;
    }
    QVERIFY(lines.size() >= 2);
    QVERIFY2(lines.at(lines.size() - 2).contains("time="), qPrintable(run.text));
    QVERIFY(qAbs(readTime(lines.at(lines.size() - 2)) - m.duration) < 0.3);
    const QString summary = lines.last();
    for (const char *word : {"video:", "audio:", "headers:", "overhead"})
        QVERIFY2(summary.contains(word), qPrintable(summary));
}

void TestKorvexJob::appliesEveryOption_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<double>("rate");
    QTest::addColumn<double>("ratio");
    QTest::addColumn<int>("sampleRate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<double>("duration");
    const QSize any;
    const QSize none(0, 0); // no picture at all
    auto add = [](const char *name, const QString &source, const QString &options,
                  const QString &output, QSize size, double rate, double ratio, int sampleRate,
                  int channels, double duration) {
        QTest::newRow(name) << source << options.split(' ') << output << size << rate << ratio
                            << sampleRate << channels << duration;
    };
    // clang-format off
    add("-s",         "av.mp4",   "-s 176x144 -vcodec mpeg4",        "s.avi",      QSize(176, 144), 0,  0,        0,     0, 2);
    // A size the encoder cannot make: the nearest it can, with square pixels.
    add("odd -s",     "av.mp4",   "-s 321x181 -vcodec libx264",      "odd.mp4",    QSize(320, 180), 0,  16 / 9.0, 0,     0, 2);
    add("-r",         "av.mp4",   "-r 15 -vcodec mpeg4",             "r.avi",      any,             15, 0,        0,     0, 2);
    add("-aspect",    "av.mp4",   "-aspect 16:9 -vcodec mpeg4",      "aspect.mp4", QSize(320, 240), 0,  16 / 9.0, 0,     0, 2);
    add("crop pairs", "av.mp4",   "-cropleft 40 -croptop 20 -cropright 40 -cropbottom 20 -vcodec mpeg4",
                                                                     "crop.avi",   QSize(240, 200), 0,  0,        0,     0, 2);
    add("-ar -ac",    "av.mp4",   "-vn -acodec libmp3lame -ar 22050 -ac 1", "arac.mp3", any,        0,  0,        22050, 1, 2);
    add("-ss -t",     "long.mp4", "-ss 3 -t 4 -vcodec mpeg4 -acodec mp2", "sst.mpg", any,           0,  0,        0,     0, 4);
    add("-f",         "av.mp4",   "-f avi -vcodec mpeg4 -acodec libmp3lame", "named.bin", QSize(320, 240), 0, 0,  0,     0, 2);
    add("-vn",        "av.mp4",   "-vn -acodec libfaac",             "vn.mkv",     none,            0,  0,        44100, 2, 2);
    // clang-format on
}

void TestKorvexJob::appliesEveryOption() {
    QFETCH(QString, source);
    QFETCH(QStringList, options);
    QFETCH(QString, output);
    QFETCH(QSize, size);
    QFETCH(double, rate);
    QFETCH(double, ratio);
    QFETCH(int, sampleRate);
    QFETCH(int, channels);
    QFETCH(double, duration);

    const QString out = m_dir.filePath(output);
    const Run run = runKorvex(job(media(source), options, out));
    QVERIFY2(run.exitCode == 0, qPrintable(run.text));
    const Probe::Media m = Probe::read(out, true);
    QVERIFY2(m.opened, qPrintable(m.error));
    const Probe::Stream *v = m.firstVideo();
    const Probe::Stream *a = m.firstAudio();
    if (size == QSize(0, 0))
        QVERIFY(!v);
    else if (size.isValid())
        QCOMPARE(QSize(v->width, v->height), size);
    if (rate > 0)
        QCOMPARE(qRound(v->frameRate), qRound(rate));
    if (ratio > 0)
        QVERIFY(qAbs(double(v->width) * v->sarNum / (double(v->height) * v->sarDen) - ratio) <
                0.01);
    if (sampleRate > 0)
        QCOMPARE(a->sampleRate, sampleRate);
    if (channels > 0)
        QCOMPARE(a->channels, channels);
    QVERIFY2(qAbs(m.duration - duration) < 0.3, qPrintable(QString::number(m.duration)));
}

void TestKorvexJob::honoursBitrates() {
    auto overallKbps = [&](const QString &name, const QStringList &options) {
        const QString out = m_dir.filePath(name);
        const Run run = runKorvex(job(media("long.mp4"), options, out));
        const Probe::Media m = Probe::read(out);
        return run.exitCode == 0 && m.duration > 0 ? m.fileSize * 8 / m.duration / 1000 : -1.0;
    };
    const double low = overallKbps(
        "low.avi", {"-vn", "-b", "100K", "-vcodec", "mpeg4", "-acodec", "mp2", "-ab", "64K"});
    const double lowVideo =
        overallKbps("lowv.avi", {"-b", "100K", "-vcodec", "mpeg4", "-acodec", "mp2", "-ab", "64K"});
    const double highVideo = overallKbps(
        "highv.avi", {"-b", "1500K", "-vcodec", "mpeg4", "-acodec", "mp2", "-ab", "64K"});
    QVERIFY2(low > 50 && low < 80, qPrintable(QString::number(low)));
    QVERIFY2(lowVideo > 0 && lowVideo < 300, qPrintable(QString::number(lowVideo)));
    QVERIFY2(highVideo > 900, qPrintable(QString::number(highVideo)));
    // Constant-rate MP3 says its rate in every frame.
    const QString mp3 = m_dir.filePath("rate.mp3");
    QCOMPARE(runKorvex(job(media("av.mp4"), {"-acodec", "libmp3lame", "-ab", "96K"}, mp3)).exitCode,
             0);
    QCOMPARE(Probe::read(mp3).firstAudio()->bitRate, qint64(96000));
}

void TestKorvexJob::looksAtFieldsOnlyWhereTheyCanShow_data() {
    QTest::addColumn<QString>("source");   // a shared clip, or one made of the picture below
    QTest::addColumn<QStringList>("made"); // the picture's size, seconds and codec
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("mostFrames"); // 0: no look at all
    // None of these streams says how its frames were scanned.
    QTest::newRow("too low for two fields")
        << media("av.avi") << QStringList() << QStringList{"-vcodec", "mpeg4"} << 0;
    QTest::newRow("a codec without fields")
        << m_dir.filePath("sd.mpg") << QStringList{"720x576", "1", "mpeg1video"}
        << QStringList{"-vcodec", "mpeg4"} << 0;
    QTest::newRow("a second of a longer clip")
        << m_dir.filePath("sd.avi") << QStringList{"720x576", "6", "mpeg4"}
        << QStringList{"-t", "1", "-vcodec", "mpeg4"} << 25;
}

// How many frames a job's look at the fields takes, and that the look costs
// no ffmpeg of its own: the job's is the only one korvex starts.
void TestKorvexJob::looksAtFieldsOnlyWhereTheyCanShow() {
    QFETCH(QString, source);
    QFETCH(QStringList, made);
    QFETCH(QStringList, options);
    QFETCH(int, mostFrames);
    if (!made.isEmpty()) {
        QProcess ff;
        ff.start(MediaPrograms::ffmpeg(),
                 {"-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                  QString("testsrc2=size=%1:rate=25:duration=%2").arg(made[0], made[1]), "-c:v",
                  made[2], "-q:v", "10", source});
        QVERIFY(ff.waitForFinished(kEventTimeoutMs) && ff.exitCode() == 0);
    }
    const QStringList arguments = job(source, options, m_dir.filePath("fields.avi"));
    JobRequest request;
    QString error;
    QVERIFY(JobRequest::parse(arguments, &request, &error));
    const SourceFacts facts = SourceFacts::from(Probe::read(source));
    FfmpegCommand command;
    QVERIFY(ArgumentTranslator(request, facts)
                .translate(source, m_dir.filePath(".fields.part"), &command, &error));
    const int frames = FieldDetector::sampleFrames(facts, command);
    QVERIFY2(mostFrames > 0 ? frames >= 1 && frames <= mostFrames : frames == 0,
             qPrintable(QString::number(frames)));

    const QString runs = m_dir.filePath("ffmpeg-runs.txt");
    QFile::remove(runs);
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KORVEX_TEST_FFMPEG_RUNS", runs);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(KORVEX_LOGGED_FFMPEG), arguments);
    QVERIFY(p.waitForFinished(kJobTimeoutMs));
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
    QFile file(runs);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList started = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    QVERIFY2(started.size() == 1, qPrintable(started.join('\n')));
}

void TestKorvexJob::appliesTheScript() {
    const QString folder = m_dir.filePath("script");
    QDir().mkpath(folder);
    // A red, half-transparent logo in the top-left corner.
    const QString logo = folder + "/avsifile0.png";
    QProcess ff;
    ff.start(MediaPrograms::ffmpeg(),
             {"-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
              "color=c=red@0.9:s=64x48,format=rgba", "-frames:v", "1", logo});
    QVERIFY(ff.waitForFinished(30000) && ff.exitCode() == 0);

    Script script = smallScript(media("long.mp4"), "0, 252");
    script.crop = "40, 20, 240, 200";
    script.tweak = "0.0,1,0,1";
    script.secondTrim = "42, 126";
    const QString plain = folder + "/plain.avs";
    QVERIFY(writeFile(plain, script.text()));
    script.tweak = "0.0,1,100,1";
    script.logo = logo;
    const QString edited = folder + "/avsifile0.avs";
    QVERIFY(writeFile(edited, script.text()));
    const QStringList options = {"-s",      "320x240",    "-vcodec", "mpeg4",
                                 "-acodec", "libmp3lame", "-ab",     "128K"};
    const Run a = runKorvex(job(plain, options, folder + "/plain.avi"));
    QVERIFY2(a.exitCode == 0, qPrintable(a.text));
    const Run b = runKorvex(job(edited, options, folder + "/edited.avi"));
    QVERIFY2(b.exitCode == 0, qPrintable(b.text));

    const Probe::Media m = Probe::read(folder + "/edited.avi", true);
    QVERIFY(m.firstVideo() && m.firstAudio());
    QCOMPARE(m.firstVideo()->width, 320);
    QCOMPARE(m.firstVideo()->height, 240);
    // Frames 42 to 126 at 21 per second.
    QVERIFY2(qAbs(m.duration - 85 / 21.0) < 0.15, qPrintable(QString::number(m.duration)));
    QVERIFY(qAbs(m.durationOf(Probe::Stream::Audio) - 85 / 21.0) < 0.15);

    // The 240x200 crop is letterboxed to 4:3 with black side bars.
    QVERIFY(meanLuma(folder + "/plain.avi", 1.0, QRect(0, 60, 12, 120)) < 30);
    // Brightness +100 makes the picture visibly lighter; the logo covers the corner.
    const double before = meanLuma(folder + "/plain.avi", 1.0, QRect(100, 100, 120, 100));
    const double after = meanLuma(folder + "/edited.avi", 1.0, QRect(100, 100, 120, 100));
    QVERIFY2(after > before + 40, qPrintable(QString("%1 -> %2").arg(before).arg(after)));
    const QList<double> cornerPlain =
        meanLevels(folder + "/plain.avi", 1.0, {20, 8, 32, 32}, "rgb24");
    const QList<double> cornerLogo =
        meanLevels(folder + "/edited.avi", 1.0, {20, 8, 32, 32}, "rgb24");
    QVERIFY(cornerPlain.size() == 3 && cornerLogo.size() == 3);
    QVERIFY2(cornerPlain[0] < 150 && cornerLogo[0] > 200 && cornerLogo[1] < 80,
             qPrintable(QString("red %1 -> %2, green %3")
                            .arg(cornerPlain[0])
                            .arg(cornerLogo[0])
                            .arg(cornerLogo[1])));

    // The script as first written: no second trim, so the whole clip.
    const QString first = folder + "/first.avs";
    QVERIFY(writeFile(first, smallScript(media("long.mp4"), "0, 252").text()));
    const Run c =
        runKorvex(job(first, {"-vcodec", "libx264", "-acodec", "libfaac"}, folder + "/first.mp4"));
    QVERIFY2(c.exitCode == 0, qPrintable(c.text));
    QVERIFY(qAbs(Probe::read(folder + "/first.mp4").duration - 12.0) < 0.2);
}

void TestKorvexJob::readsAwkwardNames() {
    const QString folder = m_dir.filePath("names");
    QDir().mkpath(folder);
    const QStringList sources = {"with space.mp4", "quote'single.mp4", "quote\"double.mp4",
                                 "日本語 ファイル.mp4"};
    const QStringList outputs = {"out put.avi", "it's.avi", "say \"hi\".avi", "出力 ファイル.avi",
                                 "-dash:colon.avi"};
    for (int i = 0; i < outputs.size(); ++i) {
        const QString source = media(sources.at(i % sources.size()));
        const QString out = folder + "/" + outputs.at(i);
        const Run run = runKorvex(job(source, {"-vcodec", "mpeg4", "-acodec", "libmp3lame"}, out));
        QVERIFY2(run.exitCode == 0, qPrintable(outputs.at(i) + ": " + run.text));
        QVERIFY2(Probe::read(out).hasVideo(), qPrintable(out));
    }
    // A script naming a source with a double quote, in AviSynth's triple quotes.
    const QString script = folder + "/quoted.avs";
    QVERIFY(writeFile(script, smallScript(media("quote\"double.mp4"), "0, 20").text()));
    const Run run = runKorvex(
        job(script, {"-vcodec", "mpeg4", "-acodec", "libmp3lame"}, folder + "/from script.avi"));
    QVERIFY2(run.exitCode == 0, qPrintable(run.text));
    QVERIFY(qAbs(Probe::read(folder + "/from script.avi").duration - 1.0) < 0.1);
    QVERIFY(hiddenParts(folder).isEmpty());
}

void TestKorvexJob::neverWritesOverTheSource() {
    const QString folder = m_dir.filePath("same");
    QDir().mkpath(folder);
    const QString source = folder + "/clip.mp4";
    QVERIFY(QFile::copy(media("av.mp4"), source));
    QVERIFY(QFile::link(source, folder + "/link.mp4"));
    const QByteArray original = digest(source);
    const QString script = folder + "/avsifile1.avs";
    QVERIFY(writeFile(script, smallScript(source, "0, 20").text()));

    const QStringList outputs = {source, folder + "/./clip.mp4", folder + "/link.mp4"};
    for (const QString &out : outputs) {
        const Run run = runKorvex(job(source, {"-vcodec", "libx264", "-acodec", "libfaac"}, out));
        QCOMPARE(run.exitCode, int(Job::Refused));
        QVERIFY2(run.text.contains("is the source"), qPrintable(run.text));
    }
    const Run viaScript =
        runKorvex(job(script, {"-vcodec", "libx264", "-acodec", "libfaac"}, source));
    QCOMPARE(viaScript.exitCode, int(Job::Refused));
    QCOMPARE(digest(source), original);
    QVERIFY(hiddenParts(folder).isEmpty());
}

void TestKorvexJob::failsWithoutLeavingAFile_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("codecs");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    const QString usual = "-vcodec libx264 -acodec libfaac";
    const QString unknown = "-vcodec nosuchencoder -acodec mp2";
    const int failed = Job::Failed;
    const int refused = Job::Refused;
    // clang-format off
    QTest::newRow("not media")       << "notmedia.mp4"     << usual   << failed  << "Invalid data found when processing input";
    QTest::newRow("empty")           << "empty.mp4"        << usual   << failed  << "Invalid data found when processing input";
    QTest::newRow("truncated")       << "broken.mp4"       << usual   << failed  << "Error while decoding stream";
    QTest::newRow("missing")         << "no such clip.mp4" << usual   << failed  << "No such file or directory";
    QTest::newRow("unknown encoder") << "av.mp4"           << unknown << refused << "no video encoder 'nosuchencoder'";
    QTest::newRow("too wide")        << "too-wide.mp4"     << "-vcodec mpeg4 -acodec libmp3lame" << refused
                                     << "the picture of 16384x16 is too large for the mpeg4 encoder";
    // clang-format on
}

void TestKorvexJob::failsWithoutLeavingAFile() {
    QFETCH(QString, source);
    QFETCH(QString, codecs);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const QString folder = m_dir.filePath("fail");
    QDir().mkpath(folder);
    const QString out = folder + "/result.mp4";
    // An earlier good result under that name stays as it was.
    QFile::remove(out);
    QVERIFY(QFile::copy(media("av.mp4"), out));
    const QByteArray earlier = digest(out);
    const Run run = runKorvex(job(media(source), codecs.split(' '), out));
    QCOMPARE(run.exitCode, exitCode);
    const QStringList lines = run.text.split('\n', Qt::SkipEmptyParts);
    QVERIFY2(!lines.isEmpty() && lines.last().contains(message), qPrintable(run.text));
    QVERIFY(!run.text.contains("muxing overhead"));
    QCOMPARE(digest(out), earlier);
    QVERIFY(hiddenParts(folder).isEmpty());
}

void TestKorvexJob::reportsAnUnwritableOutput() {
    // The words the main program takes for a write failure (and a reason to
    // look at the free space).
    const Run run =
        runKorvex(job(media("av.mp4"), {"-vcodec", "mpeg4"}, "/proc/no-such-folder/out.avi"));
    QCOMPARE(run.exitCode, int(Job::Failed));
    QVERIFY2(run.text.contains("cannot write '/proc/no-such-folder/out.avi'") &&
                 run.text.contains("Operation not permitted"),
             qPrintable(run.text));
}

// The ffmpeg korvex is built for runs, by its full path: not one first in
// PATH, nor one in the working folder that an empty PATH entry finds. A
// korvex whose ffmpeg is missing says so and leaves nothing.
void TestKorvexJob::runsOnlyItsOwnFfmpeg() {
    const QString folder = m_dir.filePath("own");
    const QString planted = folder + "/planted";
    QVERIFY(QDir().mkpath(planted));
    const QString ran = folder + "/planted-ran";
    QVERIFY(writeFile(planted + "/ffmpeg", "#!/bin/sh\ntouch '" + ran + "'\nexit 1\n"));
    QVERIFY(QFile::setPermissions(planted + "/ffmpeg",
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QString path = qEnvironmentVariable("PATH");
    const QString out = folder + "/out.avi";
    const QStringList options = {"-vcodec", "mpeg4", "-acodec", "libmp3lame"};
    for (const QString &searched : {planted + ":" + path, ":" + path}) {
        QProcess p;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PATH", searched);
        p.setProcessEnvironment(environment);
        p.setWorkingDirectory(planted);
        p.start(korvex(), job(media("av.mp4"), options, out));
        QVERIFY(p.waitForFinished(kJobTimeoutMs));
        QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
        QVERIFY(!QFileInfo::exists(ran));
        QVERIFY(QFile::remove(out));
    }

    QProcess missing;
    missing.start(KORVEX_WITHOUT_FFMPEG, job(media("av.mp4"), options, out));
    QVERIFY(missing.waitForFinished(kJobTimeoutMs));
    const QString said = QString::fromUtf8(missing.readAllStandardError());
    QCOMPARE(missing.exitCode(), int(Job::Failed));
    QVERIFY2(said.contains("the ffmpeg program " KORVEX_MISSING_FFMPEG " is missing"),
             qPrintable(said));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList());
}

// ffmpeg's last words on an MP4 whose header finds no room name no reason:
// the job's are the system's, from the line that told of the failed write.
void TestKorvexJob::fullDriveIsToldInTheSystemsWords() {
    SmallDisk disk;
    const QString folder = m_dir.filePath("full");
    if (!disk.mount(folder) || !disk.fillUpTo(0))
        QSKIP("A full drive needs root and a private mount namespace.");
    const QString out = folder + "/full.mp4";
    const Run run =
        runKorvex(job(media("av.mp4"), {"-vcodec", "libx264", "-acodec", "libfaac"}, out));
    QCOMPARE(run.exitCode, int(Job::Failed));
    const QStringList lines = run.text.split('\n', Qt::SkipEmptyParts);
    const QString last = lines.isEmpty() ? QString() : lines.last();
    QVERIFY2(last.startsWith("korvex: cannot write '" + out + "': " + std::strerror(ENOSPC)),
             qPrintable(run.text));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"filler"});
}

void TestKorvexJob::refusesForeignScripts() {
    const QString folder = m_dir.filePath("foreign");
    QDir().mkpath(folder);
    QString text = smallScript(media("av.mp4"), "0, 20").text();
    text.replace("return clip\n", "clip = Eval(\"BlankClip()\")\nreturn clip\n");
    QVERIFY(writeFile(folder + "/evil.avs", text));
    Run run = runKorvex(job(folder + "/evil.avs", {"-vcodec", "mpeg4"}, folder + "/out.avi"));
    QCOMPARE(run.exitCode, int(Job::Refused));
    QVERIFY2(run.text.contains("line 25: not a line of a Quillora script: clip = Eval(") &&
                 run.text.contains("refused"),
             qPrintable(run.text));
    QVERIFY(!QFileInfo::exists(folder + "/out.avi"));

    QVERIFY(writeFile(folder + "/gone.avs", smallScript(folder + "/missing.mp4", "0, 20").text()));
    run = runKorvex(job(folder + "/gone.avs", {"-vcodec", "mpeg4"}, folder + "/out.avi"));
    QCOMPARE(run.exitCode, int(Job::Failed));
    QVERIFY2(run.text.contains("missing.mp4: No such file or directory"), qPrintable(run.text));
}

void TestKorvexJob::stopLeavesNothing() {
    const QString folder = m_dir.filePath("stop");
    QDir().mkpath(folder);
    QProcess p;
    const QByteArray seen = startBigJob(p, folder + "/stopped.mp4", {"-vpre", "veryslow"});
    QVERIFY2(seen.contains("time="), seen.constData());
    QVERIFY(!hiddenParts(folder).isEmpty()); // the job is writing
    p.terminate();
    QVERIFY(p.waitForFinished(kEventTimeoutMs));
    QCOMPARE(p.exitCode(), int(Job::Stopped));
    QVERIFY(!QFileInfo::exists(folder + "/stopped.mp4"));
    QVERIFY(hiddenParts(folder).isEmpty());
}

void TestKorvexJob::killTakesFfmpegAlong() {
    const QString folder = m_dir.filePath("kill");
    QDir().mkpath(folder);
    const QString out = folder + "/killed.mp4";
    QProcess p;
    QVERIFY(startBigJob(p, out, {"-vpre", "veryslow"}).contains("time="));
    const pid_t ffmpeg = firstChild(pid_t(p.processId()));
    QVERIFY(ffmpeg > 0);
    p.kill();
    QVERIFY(p.waitForFinished(kEventTimeoutMs));
    // Gone, or dead and waiting for its new parent to collect it.
    QTRY_VERIFY_WITH_TIMEOUT(::kill(ffmpeg, 0) != 0 || processState(ffmpeg) == 'Z',
                             kEventTimeoutMs);
    QVERIFY(!QFileInfo::exists(out));
    // The hidden file of the killed job is no output; the next job clears it away.
    QCOMPARE(hiddenParts(folder).size(), 1);
    const Run run =
        runKorvex(job(media("av.mp4"), {"-vcodec", "mpeg4", "-acodec", "libfaac"}, out));
    QCOMPARE(run.exitCode, 0);
    QVERIFY(hiddenParts(folder).isEmpty());
}

// A folder that other computers write into too: what a korvex of this
// computer left goes, and what nobody can tell the writer of stays until it
// is a week old. A clone of this computer, or a container, shares its host
// name and machine id.
void TestKorvexJob::sweepsOnlyThisComputersParts() {
    const QString folder = m_dir.filePath("shared");
    QDir().mkpath(folder);
    const QString out = folder + "/clip.avi";
    // This test's own process id, as a process that began later would have it.
    const qint64 reused = ::getpid();
    PartFileName::Writer writer =
        PartFileName::writerOf(QFileInfo(PartFileName::forOutput(out, reused)).fileName());
    writer.started = 1;
    const QString mine = folder + "/" + PartFileName::nameFor("clip.avi", writer);
    writer.boot = "0123456789ab";
    const QString cloned = folder + "/" + PartFileName::nameFor("clip.avi", writer);
    writer.started = 2;
    const QString abandoned = folder + "/" + PartFileName::nameFor("clip.avi", writer);
    const QString older = olderPartName(out, reused);
    const QString elsewhere = folder + "/.clip.avi.korvex-" + PartFileName::thisHost() + "x-" +
                              QString::number(reused) + ".part";
    const QString unnamed = folder + "/.clip.avi.korvex-" + QString::number(reused) + ".part";
    for (const QString &part : {mine, cloned, abandoned, older, elsewhere, unnamed})
        QVERIFY(writeFile(part, "unfinished"));
    QVERIFY(makeOld(abandoned));
    const Run run =
        runKorvex(job(media("av.mp4"), {"-vcodec", "mpeg4", "-acodec", "libfaac"}, out));
    QCOMPARE(run.exitCode, 0);
    QStringList left = hiddenParts(folder);
    left.sort();
    QStringList kept;
    for (const QString &part : {cloned, older, elsewhere, unnamed})
        kept << QFileInfo(part).fileName();
    kept.sort();
    QCOMPARE(left, kept);
}

// A folder that everyone writes into: a file that another user made there
// under a part file's name of this computer is theirs, whoever sweeps and
// however old it is.
void TestKorvexJob::leavesAnotherUsersPartFile() {
    if (::geteuid() != 0)
        QSKIP("needs a file of another user");
    const uid_t nobody = 65534;
    const QString folder = m_dir.filePath("everyones");
    QDir().mkpath(folder);
    QVERIFY(::chmod(QFile::encodeName(folder).constData(), 01777) == 0);
    const QString out = folder + "/clip.avi";
    const QString theirs = olderPartName(out, endedProcessId());
    QVERIFY(writeFile(theirs, "theirs"));
    QVERIFY(makeOld(theirs));
    QVERIFY(::chown(QFile::encodeName(theirs).constData(), nobody, nobody) == 0);
    const Run run = runKorvex(job(media("av.mp4"), {"-vcodec", "mpeg4"}, out));
    QVERIFY2(run.exitCode == 0, qPrintable(run.text));
    QVERIFY(QFile::exists(theirs));
}

// One folder reached through two mounts, where a lock taken through one is
// not seen through the other: a job through the second leaves alone the
// part file that a job through the first still writes.
void TestKorvexJob::keepsTheLivePartSeenThroughAnotherMount() {
    QTemporaryDir dir;
    TestFsMount first(dir.filePath("one"), {});
    if (!first.isMounted())
        QSKIP(qPrintable(first.whyNot()));
    QVERIFY(QDir().mkpath(dir.filePath("two")));
    QVERIFY(QFile::link(first.backing(), dir.filePath("two/backing")));
    TestFsMount second(dir.filePath("two"), {});
    QVERIFY2(second.isMounted(), qPrintable(second.whyNot()));

    QProcess writing;
    QVERIFY(startBigJob(writing, first.path() + "/clip.avi").contains("time="));
    // Held while the other job runs, so that it cannot end first.
    const pid_t held = pid_t(writing.processId());
    QCOMPARE(::kill(held, SIGSTOP), 0);
    const QStringList parts = hiddenParts(first.backing());
    QCOMPARE(parts.size(), 1);
    const Run run =
        runKorvex(job(media("av.mp4"), {"-vcodec", "mpeg4"}, second.path() + "/clip.avi"));
    ::kill(held, SIGKILL);
    QVERIFY2(run.exitCode == 0, qPrintable(run.text));
    QCOMPARE(hiddenParts(first.backing()), parts);
    QVERIFY(writing.waitForFinished(kEventTimeoutMs));
}

// On a drive whose locks fail, a killed job's part file still goes with
// the next job: its process is gone from this computer.
void TestKorvexJob::sweepsOnADriveWithoutLocks() {
    QTemporaryDir dir;
    TestFsMount drive(dir.path(), {"--refuse=lock"});
    if (!drive.isMounted())
        QSKIP(qPrintable(drive.whyNot()));
    const QString out = drive.path() + "/killed.mp4";
    QProcess p;
    QVERIFY(startBigJob(p, out).contains("time="));
    p.kill();
    QVERIFY(p.waitForFinished(kEventTimeoutMs));
    QCOMPARE(hiddenParts(drive.backing()).size(), 1);
    const Run run =
        runKorvex(job(media("av.mp4"), {"-vcodec", "mpeg4", "-acodec", "libfaac"}, out));
    QVERIFY2(run.exitCode == 0, qPrintable(run.text));
    QVERIFY(hiddenParts(drive.backing()).isEmpty());
}

// Killed once it has claimed its name on a drive that needs the claim, and
// before the rename over it: the next job into the folder gives the claim
// the whole file, and no empty file stays under the name.
void TestKorvexJob::finishesTheClaimOfAKilledJob() {
    QTemporaryDir dir;
    TestFsMount stick(dir.path(), {"--refuse=link,rename-flags", "--gated=create"},
                      TestFsMount::WithGate);
    if (!stick.isMounted())
        QSKIP(qPrintable(stick.whyNot()));
    const QString out = stick.path() + "/long.avi";
    QProcess p;
    QVERIFY(startBigJob(p, out).contains("time="));
    // The next file made on the drive is the claim.
    stick.closeGate();
    QTRY_VERIFY_WITH_TIMEOUT(stick.callsHeld(), kJobTimeoutMs);
    p.kill();
    stick.openGate();
    QVERIFY(p.waitForFinished(kEventTimeoutMs));
    QCOMPARE(QFileInfo(stick.backing() + "/long.avi").size(), 0);
    QCOMPARE(hiddenParts(stick.backing()).size(), 1);

    const Run run = runKorvex(job(media("av.mp4"), {"-vcodec", "mpeg4"}, stick.path() + "/av.avi"));
    QVERIFY2(run.exitCode == 0, qPrintable(run.text));
    QCOMPARE(QDir(stick.backing()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{"av.avi", "long.avi"}));
    QVERIFY(qAbs(Probe::read(out).duration - 12.0) < 0.2);
}

// A job in another PID namespace (a container, a sandbox) writes into the
// folder: its process cannot be seen from there, and its part file stays all
// the same while it works.
void TestKorvexJob::keepsThePartOfAJobOutOfSight() {
    if (::geteuid() != 0)
        QSKIP("a PID namespace of its own needs root");
    const QString folder = m_dir.filePath("unseen");
    QDir().mkpath(folder);
    const QString out = folder + "/clip.avi";
    QProcess unseen;
    QVERIFY(startBigJob(unseen, out).contains("time="));

    // The second job's /proc shows only its own namespace.
    QProcess inside;
    inside.start("unshare", QStringList{"--pid", "--fork", "--mount-proc", korvex()} +
                                job(media("av.mp4"), {"-vcodec", "mpeg4"}, out));
    QVERIFY(inside.waitForFinished(kJobTimeoutMs));
    if (inside.exitCode() != 0 && !inside.readAllStandardError().contains("time="))
        QSKIP("no PID namespace can be made here");
    QCOMPARE(inside.exitCode(), 0);

    QVERIFY(unseen.waitForFinished(kJobTimeoutMs));
    QVERIFY2(unseen.exitCode() == 0, unseen.readAllStandardError().constData());
    QList<int> seconds;
    for (const QString &name : QDir(folder).entryList({"*.avi"}, QDir::Files))
        seconds << qRound(Probe::read(folder + "/" + name).duration);
    std::sort(seconds.begin(), seconds.end());
    QCOMPARE(seconds, (QList<int>{2, 12}));
}

void TestKorvexJob::survivesPauseAndResume() {
    const QString out = m_dir.filePath("paused.mp4");
    QProcess p;
    // Started as the main program does: in a process group of its own, which
    // is stopped and continued as a whole.
    p.setChildProcessModifier([] { ::setpgid(0, 0); });
    QVERIFY(startBigJob(p, out).contains("time="));
    const pid_t group = pid_t(p.processId());
    QVERIFY(group > 0); // kill(-0) would stop this test's own group
    QVERIFY2(p.state() == QProcess::Running, "the job ended before it could be paused");
    const pid_t ffmpeg = firstChild(group);
    QVERIFY(ffmpeg > 0);
    QCOMPARE(::kill(-group, SIGSTOP), 0);
    // Continued once the whole job, its ffmpeg too, has come to a halt.
    QTRY_COMPARE_WITH_TIMEOUT(processState(group), 'T', kEventTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(processState(ffmpeg), 'T', kEventTimeoutMs);
    QCOMPARE(::kill(-group, SIGCONT), 0);
    QVERIFY(p.waitForFinished(kJobTimeoutMs));
    QCOMPARE(p.exitCode(), 0);
    QVERIFY(qAbs(Probe::read(out).duration - 12.0) < 0.2);
}

void TestKorvexJob::keepsAFileThatComesUnderTheName_data() {
    QTest::addColumn<QString>("stem");
    QTest::addColumn<QString>("numbered");
    QTest::newRow("short name") << "party" << "party1";
    // The output's name already has the 255 bytes a name may have.
    const QString kanji = QString::fromUtf8("日");
    QTest::newRow("longest name") << "ab" + kanji.repeated(83) << "ab" + kanji.repeated(82) + "1";
}

void TestKorvexJob::keepsAFileThatComesUnderTheName() {
    QFETCH(QString, stem);
    QFETCH(QString, numbered);
    const QString folder = m_dir.filePath("taken-" + QString::number(stem.size()));
    QDir().mkpath(folder);
    const QString source = folder + "/" + stem + ".mp4";
    QVERIFY(QFile::copy(media("long.mp4"), source));
    const QString out = folder + "/" + stem + ".avi";
    QProcess p;
    QByteArray seen = startBigJob(p, out, {}, source);
    QVERIFY2(seen.contains("time="), seen.constData());

    // Saved by someone else while the job runs (and before it is done, or
    // this file could not be made new).
    QFile mine(out);
    QVERIFY(mine.open(QIODevice::WriteOnly | QIODevice::NewOnly));
    mine.write("mine");
    mine.close();
    QVERIFY(p.waitForFinished(kJobTimeoutMs));
    seen += p.readAllStandardError();
    QCOMPARE(p.exitCode(), 0);
    QFile kept(out);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("mine"));
    const QString saved = numbered + ".avi";
    QVERIFY(qAbs(Probe::read(folder + "/" + saved).duration - 12.0) < 0.2);
    // The main program learns the name from the text, before the summary.
    const QString text = QString::fromUtf8(seen);
    const qsizetype told = text.indexOf("the output is saved as: " + saved + "\n");
    QVERIFY2(told >= 0 && told < text.indexOf("muxing overhead"), qPrintable(text));
    QVERIFY(hiddenParts(folder).isEmpty());
}

void TestKorvexJob::twoJobsIntoOneNameKeepBoth() {
    const QString folder = m_dir.filePath("twice");
    QDir().mkpath(folder);
    const QString out = folder + "/av.avi";
    QProcess first;
    QProcess second;
    for (QProcess *p : {&first, &second})
        p->start(korvex(),
                 job(media("av.mp4"), {"-vcodec", "mpeg4", "-acodec", "libmp3lame"}, out));
    for (QProcess *p : {&first, &second}) {
        QVERIFY(p->waitForFinished(kJobTimeoutMs));
        QCOMPARE(p->exitCode(), 0);
    }
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
             (QStringList{"av.avi", "av1.avi"}));
    QVERIFY(Probe::read(out).hasVideo());
    QVERIFY(Probe::read(folder + "/av1.avi").hasVideo());
}

// A folder that everyone writes into, where only a file's owner may remove
// or replace it: the second user's job takes the next name, not an error.
void TestKorvexJob::anotherUsersFileInASharedFolder() {
    if (::geteuid() != 0)
        QSKIP("needs to run the job as another user");
    const uid_t nobody = 65534;
    const QString folder = m_dir.filePath("shared");
    QDir().mkpath(folder);
    // The test's own folder is the user's alone; the other user must get in.
    QVERIFY(::chmod(QFile::encodeName(m_dir.path()).constData(), 0711) == 0);
    QVERIFY(::chmod(QFile::encodeName(folder).constData(), 01777) == 0);
    QVERIFY(QFile::copy(media("av.mp4"), folder + "/av.mp4"));
    QVERIFY(writeFile(folder + "/av.avi", "mine"));

    QProcess p;
    p.setChildProcessModifier([nobody] {
        if (::setgid(nobody) != 0 || ::setuid(nobody) != 0)
            ::_exit(120);
    });
    p.start(korvex(), job(folder + "/av.mp4", {"-vcodec", "mpeg4"}, folder + "/av.avi"));
    QVERIFY(p.waitForFinished(kJobTimeoutMs));
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
    QFile kept(folder + "/av.avi");
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("mine"));
    QVERIFY(Probe::read(folder + "/av1.avi").hasVideo());
}

// FAT and exFAT through FUSE and many desktop mounts have neither a rename
// that never replaces nor hard links: the output gets its name, or the next
// free one, all the same. A drive that cannot even rename onto a name that
// is ours is refused before anything is converted.
void TestKorvexJob::publishesOnADriveWithoutLinks() {
    QTemporaryDir dir;
    TestFsMount stick(dir.path(), {"--refuse=link,rename-flags"});
    if (!stick.isMounted())
        QSKIP(qPrintable(stick.whyNot()));
    const QString out = stick.path() + "/av.avi";
    const QStringList options = {"-vcodec", "mpeg4", "-acodec", "libmp3lame"};
    for (int run = 0; run < 2; ++run) {
        const Run done = runKorvex(job(media("av.mp4"), options, out));
        QVERIFY2(done.exitCode == 0, qPrintable(done.text));
    }
    QCOMPARE(QDir(stick.backing()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{"av.avi", "av1.avi"}));
    QVERIFY(Probe::read(out).hasVideo());
    QVERIFY(Probe::read(stick.path() + "/av1.avi").hasVideo());

    QTemporaryDir other;
    TestFsMount phone(other.path(), {"--refuse=link,rename-flags,rename-over"});
    QVERIFY2(phone.isMounted(), qPrintable(phone.whyNot()));
    const Run refused = runKorvex(job(media("long.mp4"), options, phone.path() + "/long.avi"));
    QCOMPARE(refused.exitCode, int(Job::Refused));
    QVERIFY2(refused.text.contains("cannot write '" + phone.path() + "/long.avi'") &&
                 refused.text.contains("Operation not permitted") &&
                 !refused.text.contains("time="),
             qPrintable(refused.text));
    QCOMPARE(QDir(phone.backing()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

// A stick pulled, or the power lost, after the job has ended finds the whole
// file under its name: its data reach the drive before the name does, and
// the folder's new entry right after.
void TestKorvexJob::outputIsOnTheDriveBeforeItsName() {
    QTemporaryDir dir;
    const QString log = dir.filePath("calls");
    TestFsMount drive(dir.path(), {"--log=" + log});
    if (!drive.isMounted())
        QSKIP(qPrintable(drive.whyNot()));
    const Run run = runKorvex(job(media("av.mp4"), {"-vcodec", "mpeg4"}, drive.path() + "/av.avi"));
    QVERIFY2(run.exitCode == 0, qPrintable(run.text));
    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList calls = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    const qsizetype named =
        calls.indexOf(QRegularExpression("^rename /\\.av\\.avi\\..* /av\\.avi$"));
    QVERIFY2(named > 0, qPrintable(calls.join('\n')));
    // Between them, only the part file's own hidden names.
    qsizetype synced = named - 1;
    while (synced > 0 && calls.at(synced).startsWith("rename /.av.avi.korvex-"))
        --synced;
    QVERIFY2(calls.at(synced).startsWith("fsync /.av.avi.korvex-"), qPrintable(calls.join('\n')));
    QVERIFY2(calls.mid(named + 1).contains("fsyncdir /"), qPrintable(calls.join('\n')));
}

// The stop comes once the conversion has ended, while the file is read back
// before it gets its name: the stop still wins, and nothing is left.
void TestKorvexJob::stopBeforeTheNameLeavesNothing() {
    QTemporaryDir dir;
    TestFsMount share(dir.path(), {"--gated=open"}, TestFsMount::WithGate);
    if (!share.isMounted())
        QSKIP(qPrintable(share.whyNot()));
    const QString out = share.path() + "/late.mp4";
    QProcess p;
    QVERIFY(startBigJob(p, out).contains("time="));
    // ffmpeg writes on; the next open on the drive is korvex's read-back.
    share.closeGate();
    QTRY_VERIFY_WITH_TIMEOUT(share.callsHeld(), kJobTimeoutMs);
    p.terminate();
    share.openGate();
    QVERIFY(p.waitForFinished(kEventTimeoutMs));
    QVERIFY2(p.exitCode() == int(Job::Stopped), p.readAllStandardError().constData());
    QCOMPARE(QDir(share.backing()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

// Neither the job's ffmpeg nor its look at the fields reads another file in
// the source's place, or in the logo's.
void TestKorvexJob::convertsAFileOnlyByItself_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("asLogo");
    QTest::addColumn<bool>("refused");
    // clang-format off
    QTest::newRow("playlist named .mp4, relative")  << HostileMedia::kRelativePlaylist << false << true;
    QTest::newRow("playlist named .m3u8, absolute") << HostileMedia::kAbsolutePlaylist << false << true;
    QTest::newRow("concat list")                    << HostileMedia::kConcatList       << false << true;
    QTest::newRow("pattern name")                   << HostileMedia::kPattern          << false << false;
    QTest::newRow("playlist as the logo")           << HostileMedia::kRelativePlaylist << true  << true;
    // clang-format on
}

void TestKorvexJob::convertsAFileOnlyByItself() {
    QFETCH(QString, file);
    QFETCH(bool, asLogo);
    QFETCH(bool, refused);
    const QDir folder(m_dir.filePath("hostile"));
    const QString path = folder.filePath(file);
    QString input = path;
    if (asLogo) {
        Script script = smallScript(media("av.mp4"), "0, 20");
        script.logo = path;
        input = folder.filePath("logo.avs");
        QVERIFY(writeFile(input, script.text()));
    }
    const QString out = folder.filePath("out.avi");
    QFile::remove(out);
    const Run run = runKorvex(job(input, {"-vcodec", "mpeg4", "-acodec", "libmp3lame"}, out));
    if (refused) {
        QCOMPARE(run.exitCode, int(Job::Failed));
        const QString last = run.text.split('\n', Qt::SkipEmptyParts).last();
        QVERIFY2(last.contains(path) && last.contains(": the file is ") &&
                     last.endsWith("refused") && last.contains("logo") == asLogo,
                 qPrintable(run.text));
        QVERIFY(!QFileInfo::exists(out));
        QVERIFY(hiddenParts(folder.path()).isEmpty());
        return;
    }
    QVERIFY2(run.exitCode == 0, qPrintable(run.text));
    const QList<double> rgb = meanLevels(out, 0, QRect(0, 0, 64, 64), "rgb24");
    QVERIFY2(rgb.size() == 3 && rgb[0] > 200 && rgb[2] < 60, qPrintable(run.text));
    FieldDetector::Counts counts;
    // However many frames it asks for, one picture is all there is.
    QVERIFY(FieldCounter::count(path, SourceFacts::from(Probe::read(path)), 120, &counts));
    QCOMPARE(counts.topFirst + counts.bottomFirst + counts.progressive + counts.undetermined, 1);
}

QTEST_GUILESS_MAIN(TestKorvexJob)
#include "tst_korvexjob.moc"
