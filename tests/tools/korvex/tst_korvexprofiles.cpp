// What the main program hands korvex, built by the program's own code: the
// job of every output profile as a new row gets it, and the wrapper scripts
// its writers produce. Every such job must run and give a whole file with the
// streams its profile promises, and every such script must be read.

#include <sched.h>

extern "C" {
#include <libavutil/log.h>
}

#include <QtTest>

#include "conversion/editedscript.h"
#include "conversion/jobpreparation.h"
#include "conversion/rowjobbuilder.h"
#include "korvextestsupport.h"
#include "probe.h"
#include "filelist/optionrules.h"
#include "profiles/profilecatalogue.h"
#include "profiles/profileloader.h"
#include "../../support/mediaprograms.h"

using namespace KorvexTest;

namespace {

// Jobs run side by side, each on a processor of its own (their ffmpeg then
// takes one thread where the job leaves the number to it), so that they
// leave the rest of the machine to the tests beside them.
constexpr int kParallelJobs = 6;
// A job of two seconds, on a machine that may be busy with other work.
constexpr int kJobTimeoutMs = 120000;
// Every profile's job converts a clip this long: each of them costs little,
// and a clip of a second still shows a job that loses or doubles its end.
constexpr double kProfileClipSeconds = 1.0;
constexpr double kProfileClipSlack = 0.3;

struct ProfileJob {
    QString name;
    QStringList arguments;
    QString output;
    bool audioOnly = false;
};

// The file list's facts for av.mp4.
MediaInfo sourceInfo() {
    MediaInfo info = FileRow::emptyMediaInfo();
    info[FileRow::InputFormat] = "mp4";
    info[FileRow::InputSize] = "320x240";
    info[FileRow::InputFrameRate] = "25";
    info[FileRow::InputBitrate] = "805";
    info[FileRow::DurationSeconds] = "2";
    info[FileRow::DisplayRatio] = "1.333";
    info[FileRow::ExactDuration] = "2";
    return info;
}

// A new row's job input for the profile's own choices, as the main window
// fills its boxes from the loaded file.
RowJobInput newRowInput(const ProfileEntry &entry, const QString &source, const QString &folder) {
    const ProfileSelection s = ProfileLoader::load(stage(), entry.fileName);
    RowJobInput in;
    in.deviceIndex = entry.categoryIndex;
    in.profileIndex = entry.detailIndex;
    in.profileDetails = {ProfileCatalogue::descriptions(entry.categoryIndex), entry.detailIndex};
    in.vcodec = s.vcodec;
    in.vsize = s.vsize;
    in.vbitrate = s.vbitrate;
    in.vframeRate = s.vframeRate;
    if (!ProfileCatalogue::isAudioOnly(entry.categoryIndex))
        in.vaspect = {OptionRules::aspectItems(), 0};
    in.acodec = s.acodec;
    in.asamplerate = s.asamplerate;
    in.abitrate = s.abitrate;
    in.achannels = s.achannels;
    in.newInputPath = source;
    in.mediaInfo = sourceInfo();
    in.scriptFolder = folder + "/scripts";
    return in;
}

// The combo boxes of one codec choice of a group: the codec entry and its
// three option lists with their defaults.
struct Choice {
    ComboFill codec;
    ComboFill lists[3];
};

Choice choose(const CodecGroup &group, int codecIndex, bool video) {
    Choice c;
    c.codec = ProfileLoader::codecChoices(group);
    c.codec.current = codecIndex;
    const std::optional<CodecOption> option = ProfileLoader::codecOption(group, codecIndex);
    if (!option)
        return c;
    // size, bitrate, frame_rate; or sample_rate, bitrate, channels.
    const ProfileLoader::ListRule rules[3] = {
        ProfileLoader::ListRule::Substring, ProfileLoader::ListRule::Substring,
        video ? ProfileLoader::ListRule::FrameRate : ProfileLoader::ListRule::Channels};
    for (int i = 0; i < 3 && i < option->lists.size(); ++i)
        c.lists[i] = ProfileLoader::optionChoices(option->lists.at(i), rules[i]);
    return c;
}

// Every profile's new-row job; with everyCodec also one job per further codec
// entry of each group (the other group at its default).
QVector<ProfileJob> profileJobs(const QString &folder, const QString &source, bool everyCodec,
                                QStringList *problems) {
    QVector<ProfileJob> jobs;
    for (const ProfileEntry &entry : ProfileCatalogue::entries()) {
        QFile file(ProfileLoader::profilePath(stage(), entry.fileName));
        const std::optional<ProfileDocument> doc =
            file.open(QIODevice::ReadOnly) ? ProfileLoader::parse(file.readAll()) : std::nullopt;
        if (!doc) {
            *problems << "cannot read the profile " + entry.fileName;
            continue;
        }
        const ComboFill videoCodecs = ProfileLoader::codecChoices(doc->video);
        const ComboFill audioCodecs = ProfileLoader::codecChoices(doc->audio);
        QVector<QPair<int, int>> variants = {{videoCodecs.current, audioCodecs.current}};
        if (everyCodec) {
            for (int v = 0; v < videoCodecs.items.size(); ++v)
                if (v != videoCodecs.current)
                    variants.append({v, audioCodecs.current});
            for (int a = 0; a < audioCodecs.items.size(); ++a)
                if (a != audioCodecs.current)
                    variants.append({videoCodecs.current, a});
        }
        for (const auto &[v, a] : variants) {
            RowJobInput input = newRowInput(entry, source, folder);
            if (v != videoCodecs.current || a != audioCodecs.current) {
                const Choice video = choose(doc->video, v, true);
                const Choice audio = choose(doc->audio, a, false);
                input.vcodec = video.codec;
                input.vsize = video.lists[0];
                input.vbitrate = video.lists[1];
                input.vframeRate = video.lists[2];
                input.acodec = audio.codec;
                input.asamplerate = audio.lists[0];
                input.abitrate = audio.lists[1];
                input.achannels = audio.lists[2];
            }
            ProfileJob job;
            job.name =
                QString("%1 %2 [%3 / %4]")
                    .arg(entry.key)
                    .arg(entry.description, input.vcodec.currentText(), input.acodec.currentText());
            job.output = QString("%1/%2-%3-%4.%5")
                             .arg(folder)
                             .arg(entry.key)
                             .arg(v)
                             .arg(a)
                             .arg(ProfileCatalogue::extension(entry.formatLabel));
            input.outputPath = job.output;
            const RowJob row = RowJobBuilder::build(input);
            const JobPreparation::LaunchPlan plan =
                JobPreparation::prepare(row.arguments, row.effects, "1.333");
            if (!row.valid || !plan.problem.isEmpty()) {
                *problems << job.name + ": the program builds no job: " + row.error + plan.problem;
                continue;
            }
            // Nothing the transcoder cannot take: no empty value, no "Auto".
            for (const QString &argument : row.arguments) {
                if (argument.isEmpty() || argument == "Auto" || argument == "default")
                    *problems << job.name + ": '" + argument + "' in " + row.arguments.join(' ');
            }
            job.arguments = plan.arguments;
            job.audioOnly = ProfileCatalogue::isAudioOnly(entry.categoryIndex);
            jobs.append(job);
        }
    }
    return jobs;
}

// Why a finished job is no good; empty when its file is whole: sound, and a
// picture unless the profile is for sound only, nothing else, and the
// source's length.
QString faultOf(const ProfileJob &job, const QProcess &process, double seconds = 2.0,
                double slack = 0.4) {
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QString("exit %1").arg(process.exitCode());
    const Probe::Media m = Probe::read(job.output);
    if (!m.opened)
        return "the output cannot be read: " + m.error;
    QStringList kinds;
    for (const Probe::Stream &stream : m.streams)
        kinds << (stream.kind == Probe::Stream::Video   ? "video"
                  : stream.kind == Probe::Stream::Audio ? "audio"
                                                        : "other");
    kinds.removeDuplicates();
    kinds.sort();
    const QStringList expected =
        job.audioOnly ? QStringList{"audio"} : QStringList{"audio", "video"};
    if (kinds != expected)
        return QString("streams %1, expected %2").arg(kinds.join('+'), expected.join('+'));
    if (qAbs(m.duration - seconds) > slack)
        return QString("lasts %1 s").arg(m.duration);
    return {};
}

// The sound of a file decoded by ffmpeg: its length and when it first gets
// loud, in seconds (-1 when it never does).
struct Sound {
    double length = -1;
    double firstLoud = -1;
};

Sound decodeSound(const QString &file) {
    constexpr int kRate = 8000;
    constexpr int kLoud = 8000; // a quarter of full scale
    QProcess p;
    p.start(MediaPrograms::ffmpeg(),
            {"-v", "error", "-nostdin", "-i", "file:" + file, "-map", "0:a", "-ac", "1", "-ar",
             QString::number(kRate), "-f", "s16le", "-"});
    p.waitForFinished(kJobTimeoutMs);
    const QByteArray pcm = p.readAllStandardOutput();
    const auto *samples = reinterpret_cast<const qint16 *>(pcm.constData());
    const qsizetype count = pcm.size() / 2;
    Sound sound;
    sound.length = double(count) / kRate;
    for (qsizetype i = 0; i < count && sound.firstLoud < 0; ++i) {
        if (qAbs(int(samples[i])) > kLoud)
            sound.firstLoud = double(i) / kRate;
    }
    return sound;
}

// The processors this test may run on.
QList<int> allowedProcessors() {
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    QList<int> processors;
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) {
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
            if (CPU_ISSET(cpu, &allowed))
                processors << cpu;
        }
    }
    return processors;
}

// Runs the jobs a few at a time; returns one message per job that failed.
QStringList runAll(const QVector<ProfileJob> &jobs) {
    QStringList failures;
    const QList<int> processors = allowedProcessors();
    int next = 0;
    int done = 0;
    std::function<void(int)> start;
    const auto finish = [&](QProcess *p, int index, int processor) {
        const ProfileJob &job = jobs.at(index);
        const QString text = QString::fromUtf8(p->readAllStandardError());
        const QString why = faultOf(job, *p, kProfileClipSeconds, kProfileClipSlack);
        if (!why.isEmpty())
            failures << job.name + ": " + why + "\n  korvex " + job.arguments.join(' ') + "\n" +
                            text;
        p->deleteLater();
        ++done;
        start(processor);
    };
    start = [&](int processor) {
        if (next >= jobs.size())
            return;
        const int index = next++;
        auto *p = new QProcess;
        // As the main program starts it: from the installation folder,
        // where the x264 preset the jobs name lies.
        p->setWorkingDirectory(stage());
        if (processor >= 0) {
            p->setChildProcessModifier([processor] {
                cpu_set_t one;
                CPU_ZERO(&one);
                CPU_SET(processor, &one);
                sched_setaffinity(0, sizeof one, &one);
            });
        }
        QObject::connect(p, &QProcess::finished, p,
                         [&finish, p, index, processor] { finish(p, index, processor); });
        QObject::connect(p, &QProcess::errorOccurred, p,
                         [&finish, p, index, processor](QProcess::ProcessError error) {
                             if (error == QProcess::FailedToStart)
                                 finish(p, index, processor);
                         });
        p->start(korvex(), jobs.at(index).arguments);
    };
    for (int slot = 0; slot < kParallelJobs; ++slot)
        start(processors.isEmpty() ? -1 : processors.at(slot % processors.size()));
    if (!QTest::qWaitFor([&] { return done == jobs.size(); },
                         TestTime::bound(kJobTimeoutMs) * int(jobs.size()) / kParallelJobs))
        failures << QString("%1 of %2 jobs did not end").arg(jobs.size() - done).arg(jobs.size());
    return failures;
}

// Writes the script of an edited 320x240 stereo row as the program does and
// runs the job the program launches for it.
void runEditedJob(const QStringList &arguments, const QStringList &effects, const QString &script,
                  const QString &trimDuration) {
    EditedScriptInput edited;
    edited.sourceSize = "320x240";
    edited.channels = "2";
    edited.sampleRate = "44100";
    edited.displayRatio = "1.333";
    edited.trimDuration = trimDuration;
    edited.arguments = arguments;
    edited.effects = effects;
    QString error;
    const std::optional<QString> text = EditedScript::build(edited, &error);
    QVERIFY2(text && EditedScript::write(script, *text, &error), qPrintable(error));
    const JobPreparation::LaunchPlan plan = JobPreparation::prepare(arguments, effects, "1.333");
    QVERIFY2(plan.readsScript && plan.problem.isEmpty(), qPrintable(plan.problem));

    const Run run = runKorvex(plan.arguments);
    QVERIFY2(run.exitCode == 0, qPrintable(run.text));
}

} // namespace

class TestKorvexProfiles : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void runsEveryProfilesJob();
    void runsTheFirstScript_data();
    void runsTheFirstScript();
    void runsAnEditedScript();
    void keepsEditedSoundInStep_data();
    void keepsEditedSoundInStep();

private:
    QTemporaryDir m_dir;
};

void TestKorvexProfiles::initTestCase() {
    QVERIFY(QFileInfo(korvex()).isExecutable());
    QVERIFY(QFileInfo::exists(media(".complete")));
    QVERIFY(m_dir.isValid());
    av_log_set_level(AV_LOG_ERROR); // reading the results back is no news
}

void TestKorvexProfiles::runsEveryProfilesJob() {
    // KORVEX_EVERY_CODEC=1 also tries each further codec a profile offers
    // (several hundred jobs: for a manual check, too long for every run).
    const bool everyCodec = qEnvironmentVariableIntValue("KORVEX_EVERY_CODEC") == 1;
    const QString clip = m_dir.filePath("profile-clip.mp4");
    const QString length = QString::number(kProfileClipSeconds);
    QProcess ff;
    // clang-format off
    ff.start("ffmpeg", {"-v", "error", "-nostdin",
                        "-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25:duration=" + length,
                        "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=" + length,
                        "-ac", "2", "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p",
                        "-c:a", "aac", clip});
    // clang-format on
    QVERIFY(ff.waitForFinished(kJobTimeoutMs) && ff.exitCode() == 0);
    QStringList problems;
    const QVector<ProfileJob> jobs = profileJobs(m_dir.path(), clip, everyCodec, &problems);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    if (!everyCodec)
        QCOMPARE(jobs.size(), ProfileCatalogue::kProfileCount);
    const QStringList failures = runAll(jobs);
    QVERIFY2(failures.isEmpty(),
             qPrintable(QString("%1 of %2 jobs failed:\n").arg(failures.size()).arg(jobs.size()) +
                        failures.join('\n')));
}

void TestKorvexProfiles::runsTheFirstScript_data() {
    QTest::addColumn<QString>("clip");
    QTest::newRow("plain") << "av.mp4";
    QTest::newRow("double quote") << "quote\"double.mp4";
    QTest::newRow("non-Latin") << "日本語 ファイル.mp4";
}

// The first script a row gets must be one korvex reads: the scheduler hands
// it over in place of the source once a row is edited.
void TestKorvexProfiles::runsTheFirstScript() {
    QFETCH(QString, clip);
    const QString folder = m_dir.filePath(QString("first script %1").arg(QTest::currentDataTag()));
    const QStringList plugins =
        QDir(stage() + "/plugins").entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    QVERIFY(plugins.size() >= 2);
    QVERIFY(QDir().mkpath(folder));

    RowJobInput in = newRowInput(*ProfileCatalogue::entry(0, 0), media(clip), folder);
    in.outputPath = folder + "/out.avi";
    in.avsImportPath = stage() + "/plugins/" + plugins.at(0);
    in.avsPluginPath = stage() + "/plugins/" + plugins.at(1);
    in.avsHeaderPath = stage() + "/HEADER.avs";
    const RowJob row = RowJobBuilder::buildAndWrite(in);
    QVERIFY2(row.valid && row.error.isEmpty(), qPrintable(row.error));
    QVERIFY(QFileInfo::exists(row.scriptPath));

    ProfileJob job;
    job.arguments = row.arguments;
    job.arguments[job.arguments.indexOf("-i") + 1] = row.scriptPath;
    job.output = in.outputPath;
    QProcess p;
    p.setWorkingDirectory(stage());
    p.start(korvex(), job.arguments);
    QVERIFY(p.waitForFinished(kJobTimeoutMs));
    const QString fault = faultOf(job, p);
    QVERIFY2(fault.isEmpty(), qPrintable(fault + "\n" + p.readAllStandardError()));
}

void TestKorvexProfiles::runsAnEditedScript() {
    // A trimmed, cropped and brightened row as the program launches it.
    const QString source = m_dir.filePath("long \"take\" 2.mp4");
    QVERIFY(QFile::copy(media("long.mp4"), source));
    const QString script = m_dir.filePath("avsifile7.avs");
    // clang-format off
    const QStringList arguments = {"-ss", "2", "-t", "3", "-i", source,
                                   "-cropleft", "40", "-croptop", "20", "-cropright", "40", "-cropbottom", "20",
                                   "-y", "-s", "320x240", "-vcodec", "libx264", "-fpre", "x264/libx264-veryfast.ffpreset",
                                   "-threads", "0", "-acodec", "libfaac", "-ar", "44100", "-ab", "128K", "-ac", "2",
                                   m_dir.filePath("edited.mp4")};
    // clang-format on
    const QStringList effects = {"1", "40", "1", source, script, m_dir.filePath("avsifile7.png")};
    runEditedJob(arguments, effects, script, "12");
    if (QTest::currentTestFailed())
        return;
    const Probe::Media m = Probe::read(m_dir.filePath("edited.mp4"));
    QCOMPARE(m.firstVideo()->width, 320);
    QCOMPARE(m.firstVideo()->height, 240);
    QVERIFY2(qAbs(m.duration - 64 / 21.0) < 0.15, qPrintable(QString::number(m.duration)));
}

void TestKorvexProfiles::keepsEditedSoundInStep_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("length");
    QTest::addColumn<QString>("brightness"); // Tweak units
    QTest::addColumn<double>("beep");        // seconds into the output
    QTest::addColumn<double>("duration");
    // clang-format off
    QTest::newRow("effect") << "0" << "3" << "40" << 1.5 << 3.0;
    QTest::newRow("trim")   << "1" << "2" << "0"  << 0.5 << 2.0;
    // clang-format on
}

// An MPEG-TS clock starts well after 0; an edited row of such a file must
// still give its sound at the picture's time and as long as the picture.
void TestKorvexProfiles::keepsEditedSoundInStep() {
    QFETCH(QString, start);
    QFETCH(QString, length);
    QFETCH(QString, brightness);
    QFETCH(double, beep);
    QFETCH(double, duration);
    const QString source = m_dir.filePath("beep.ts");
    if (!QFileInfo::exists(source)) {
        // Three seconds of picture, and of sound with a beep at 1.5 s.
        QProcess ff;
        ff.start(MediaPrograms::ffmpeg(),
                 {"-v", "error", "-nostdin", "-f", "lavfi", "-i",
                  "testsrc2=size=320x240:rate=25:duration=3", "-f", "lavfi", "-i",
                  "aevalsrc='if(between(t,1.5,1.8),sin(2*PI*1000*t),0)':s=44100:d=3", "-ac", "2",
                  "-c:v", "mpeg2video", "-c:a", "mp2", source});
        QVERIFY(ff.waitForFinished(kJobTimeoutMs) && ff.exitCode() == 0);
        QVERIFY(Probe::read(source).startTime > 0.5);
    }
    const QString tag = QTest::currentDataTag();
    const QString script = m_dir.filePath("avsifile-" + tag + ".avs");
    const QString output = m_dir.filePath("beep-" + tag + ".mp4");
    const QStringList arguments = {"-ss",     start,     "-t",      length,    "-i",
                                   source,    "-y",      "-s",      "320x240", "-vcodec",
                                   "libx264", "-acodec", "libfaac", "-ar",     "44100",
                                   "-ab",     "128K",    "-ac",     "2",       output};
    const QStringList effects = {"1", brightness, "1", source, script, m_dir.filePath("none.png")};
    runEditedJob(arguments, effects, script, "3");
    if (QTest::currentTestFailed())
        return;
    const Probe::Media m = Probe::read(output);
    QVERIFY(m.firstVideo());
    const double picture = m.firstVideo()->duration;
    const Sound sound = decodeSound(output);
    const QString facts = QString("beep at %1 s, %2 s of sound under %3 s of picture")
                              .arg(sound.firstLoud)
                              .arg(sound.length)
                              .arg(picture);
    QVERIFY2(qAbs(sound.firstLoud - beep) < 0.1, qPrintable(facts));
    QVERIFY2(qAbs(picture - duration) < 1 / 21.0, qPrintable(facts));
    QVERIFY2(qAbs(sound.length - picture) < 1 / 21.0, qPrintable(facts));
}

QTEST_GUILESS_MAIN(TestKorvexProfiles)
#include "tst_korvexprofiles.moc"
