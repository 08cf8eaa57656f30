// What the main program hands korvex, built by the program's own code: the
// job of every output profile, and the wrapper scripts its writers produce.
// Every such job must run, and every such script must be read.

extern "C" {
#include <libavutil/log.h>
}

#include <QtTest>

#include "conversion/editedscript.h"
#include "conversion/jobpreparation.h"
#include "conversion/rowjobbuilder.h"
#include "korvextestsupport.h"
#include "probe.h"
#include "profiles/profilecatalogue.h"
#include "profiles/profileloader.h"

using namespace KorvexTest;

namespace {

// Jobs run side by side; the clips are short, the machine has cores to spare.
constexpr int kParallelJobs = 6;

struct ProfileJob {
    QString name;
    QStringList arguments;
    QString output;
    bool audioOnly = false;
};

MediaInfo sourceInfo() {
    MediaInfo info = FileRow::emptyMediaInfo();
    info[FileRow::InputSize] = "320x240";
    info[FileRow::InputFrameRate] = "25";
    info[FileRow::InputBitrate] = "805";
    info[FileRow::DurationSeconds] = "2";
    info[FileRow::DisplayRatio] = "1.333";
    info[FileRow::ExactDuration] = "2";
    return info;
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

// Every profile's default job; with everyCodec also one job per further codec
// entry of each group (the other group at its default).
QVector<ProfileJob> profileJobs(const QString &folder, bool everyCodec, QStringList *problems) {
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
        const bool audioOnly = ProfileCatalogue::isAudioOnly(entry.categoryIndex);
        for (const auto &[v, a] : variants) {
            const Choice video = choose(doc->video, v, true);
            const Choice audio = choose(doc->audio, a, false);
            RowJobInput input;
            input.deviceIndex = entry.categoryIndex;
            input.profileIndex = entry.detailIndex;
            input.profileDetails = {ProfileCatalogue::descriptions(entry.categoryIndex),
                                    entry.detailIndex};
            input.vcodec = video.codec;
            input.vsize = video.lists[0];
            input.vbitrate = video.lists[1];
            input.vframeRate = video.lists[2];
            if (!audioOnly)
                input.vaspect = {{"default", "4:3", "16:9"}, 0};
            input.acodec = audio.codec;
            input.asamplerate = audio.lists[0];
            input.abitrate = audio.lists[1];
            input.achannels = audio.lists[2];
            input.newInputPath = media("av.mp4");
            input.mediaInfo = sourceInfo();
            ProfileJob job;
            job.name =
                QString("%1 %2 [%3 / %4]")
                    .arg(entry.key)
                    .arg(entry.description, video.codec.currentText(), audio.codec.currentText());
            job.output = QString("%1/%2-%3-%4.%5")
                             .arg(folder)
                             .arg(entry.key)
                             .arg(v)
                             .arg(a)
                             .arg(ProfileCatalogue::extension(entry.formatLabel));
            input.outputPath = job.output;
            input.scriptFolder = folder + "/scripts";
            const RowJob row = RowJobBuilder::build(input);
            const JobPreparation::LaunchPlan plan =
                JobPreparation::prepare(row.arguments, row.effects, "1.333");
            if (!row.valid || !plan.problem.isEmpty()) {
                *problems << job.name + ": the program builds no job: " + row.error + plan.problem;
                continue;
            }
            job.arguments = plan.arguments;
            job.audioOnly = audioOnly;
            jobs.append(job);
        }
    }
    return jobs;
}

// Runs the jobs a few at a time; returns one message per job that failed.
QStringList runAll(const QVector<ProfileJob> &jobs) {
    QStringList failures;
    QVector<QProcess *> running(jobs.size(), nullptr);
    int next = 0;
    int active = 0;
    int done = 0;
    auto check = [&](int i) {
        QProcess *p = running.at(i);
        const ProfileJob &job = jobs.at(i);
        const QString text = QString::fromUtf8(p->readAllStandardError());
        const Probe::Media m = Probe::read(job.output);
        QString why;
        if (p->exitStatus() != QProcess::NormalExit || p->exitCode() != 0)
            why = QString("exit %1").arg(p->exitCode());
        else if (!m.opened || !m.hasAudio() || m.hasVideo() == job.audioOnly)
            why = "the output lacks a stream";
        else if (qAbs(m.duration - 2.0) > 0.4)
            why = QString("lasts %1 s").arg(m.duration);
        if (!why.isEmpty())
            failures << job.name + ": " + why + "\n  korvex " + job.arguments.join(' ') + "\n" +
                            text;
        delete p;
        running[i] = nullptr;
    };
    while (done < jobs.size()) {
        while (active < kParallelJobs && next < jobs.size()) {
            auto *p = new QProcess;
            p->start(korvex(), jobs.at(next).arguments);
            running[next++] = p;
            ++active;
        }
        for (int i = 0; i < next; ++i) {
            QProcess *p = running.at(i);
            if (p && (p->state() == QProcess::NotRunning || p->waitForFinished(20))) {
                if (p->state() != QProcess::NotRunning)
                    continue;
                check(i);
                --active;
                ++done;
            }
        }
    }
    return failures;
}

} // namespace

class TestKorvexProfiles : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void runsEveryProfilesJob();
    void runsAnEditedScript();

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
    QStringList problems;
    const QVector<ProfileJob> jobs = profileJobs(m_dir.path(), everyCodec, &problems);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    QVERIFY(jobs.size() >= ProfileCatalogue::kProfileCount - 1); // two keys share one file
    const QStringList failures = runAll(jobs);
    QVERIFY2(failures.isEmpty(),
             qPrintable(QString("%1 of %2 jobs failed:\n").arg(failures.size()).arg(jobs.size()) +
                        failures.join('\n')));
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
    EditedScriptInput edited;
    edited.sourceSize = "320x240";
    edited.channels = "2";
    edited.sampleRate = "44100";
    edited.displayRatio = "1.333";
    edited.trimDuration = "12";
    edited.arguments = arguments;
    edited.effects = effects;
    QString error;
    const std::optional<QString> text = EditedScript::build(edited, &error);
    QVERIFY2(text && EditedScript::write(script, *text, &error), qPrintable(error));
    const JobPreparation::LaunchPlan plan = JobPreparation::prepare(arguments, effects, "1.333");
    QVERIFY2(plan.readsScript && plan.problem.isEmpty(), qPrintable(plan.problem));

    const Run run = runKorvex(plan.arguments);
    QVERIFY2(run.exitCode == 0, qPrintable(run.text));
    const Probe::Media m = Probe::read(m_dir.filePath("edited.mp4"));
    QCOMPARE(m.firstVideo()->width, 320);
    QCOMPARE(m.firstVideo()->height, 240);
    QVERIFY2(qAbs(m.duration - 64 / 21.0) < 0.15, qPrintable(QString::number(m.duration)));
}

QTEST_GUILESS_MAIN(TestKorvexProfiles)
#include "tst_korvexprofiles.moc"
