#include <atomic>
#include <thread>
#include <vector>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "conversion/rowjobbuilder.h"
#include "profiles/optionrules.h"
#include "profiles/profilecatalogue.h"
#include "profiles/profileloader.h"

// Builds every profile's default job for a real clip, exactly as the main
// window builds a new row, and converts it with the staged transcoder.
namespace {

constexpr int kJobTimeoutMs = 120000;
constexpr int kProbeTimeoutMs = 30000;

struct WalkResult {
    ProfileEntry entry;
    ArgumentList arguments;
    bool ok = false;
    QString failure;
};

QString transcoder() {
    const QString override = qEnvironmentVariable("QUILLORA_WALK_TRANSCODER");
    return override.isEmpty() ? qEnvironmentVariable("QUILLORA_STAGE_DIR") + "/korvex" : override;
}

// The clip's probe facts, as the file list records them for av.mp4.
MediaInfo clipFacts() {
    MediaInfo info = FileRow::emptyMediaInfo();
    info[FileRow::InputFormat] = "mp4";
    info[FileRow::InputSize] = "320x240";
    info[FileRow::InputFrameRate] = "25";
    info[FileRow::DurationSeconds] = "2";
    info[FileRow::DisplayRatio] = "1.333";
    info[FileRow::ExactDuration] = "2.0";
    return info;
}

// A new row's job input for the profile's default choices, as the main
// window fills it from the loaded profile.
RowJobInput defaultInput(const ProfileEntry &entry, const QString &stage, const QString &source,
                         const QString &outFolder) {
    const ProfileSelection s = ProfileLoader::load(stage, entry.fileName);
    RowJobInput in;
    in.deviceIndex = entry.categoryIndex;
    in.profileIndex = entry.detailIndex;
    in.profileDetails =
        ComboState{ProfileCatalogue::descriptions(entry.categoryIndex), entry.detailIndex};
    in.vcodec = s.vcodec;
    in.vsize = s.vsize;
    in.vbitrate = s.vbitrate;
    in.vframeRate = s.vframeRate;
    if (!ProfileCatalogue::isAudioOnly(entry.categoryIndex))
        in.vaspect = ComboState{OptionRules::aspectItems(), 0};
    in.acodec = s.acodec;
    in.asamplerate = s.asamplerate;
    in.abitrate = s.abitrate;
    in.achannels = s.achannels;
    in.newInputPath = source;
    in.mediaInfo = clipFacts();
    in.outputPath = QStringLiteral("%1/%2.%3")
                        .arg(outFolder)
                        .arg(entry.key)
                        .arg(ProfileCatalogue::extension(entry.formatLabel));
    in.scriptFolder = outFolder + "/tmp";
    return in;
}

QStringList streamTypes(const QString &path, QString *error) {
    QProcess probe;
    probe.start("ffprobe", {"-v", "error", "-show_entries", "stream=codec_type", "-of", "csv=p=0",
                            "file:" + path});
    if (!probe.waitForFinished(kProbeTimeoutMs) || probe.exitCode() != 0) {
        *error = QString::fromUtf8(probe.readAllStandardError()).trimmed();
        return {};
    }
    QStringList types =
        QString::fromUtf8(probe.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    for (QString &type : types)
        type = type.trimmed().remove(',');
    types.removeDuplicates();
    types.sort();
    return types;
}

void convert(WalkResult &result, const QString &stage) {
    QProcess process;
    process.setWorkingDirectory(stage);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(transcoder(), result.arguments);
    if (!process.waitForStarted()) {
        result.failure = "cannot start " + transcoder();
        return;
    }
    process.closeWriteChannel();
    const bool finished = process.waitForFinished(kJobTimeoutMs);
    const QString text = QString::fromUtf8(process.readAll());
    const QStringList lines = text.split(QRegularExpression("[\r\n]"), Qt::SkipEmptyParts);
    const QString tail = lines.mid(qMax(0, int(lines.size()) - 6)).join(" | ");
    if (!finished || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        process.kill();
        result.failure = QStringLiteral("exit %1: %2").arg(process.exitCode()).arg(tail);
        return;
    }
    const QString output = result.arguments.last();
    const QFileInfo info(output);
    if (!info.exists() || info.size() == 0) {
        result.failure = "no output file: " + tail;
        return;
    }
    QString probeError;
    const QStringList types = streamTypes(output, &probeError);
    const QStringList expected = ProfileCatalogue::isAudioOnly(result.entry.categoryIndex)
                                     ? QStringList{"audio"}
                                     : QStringList{"audio", "video"};
    if (types != expected) {
        result.failure = QStringLiteral("streams %1, expected %2 %3")
                             .arg(types.join('+'), expected.join('+'), probeError);
        return;
    }
    result.ok = true;
}

} // namespace

class TestProfileWalk : public QObject {
    Q_OBJECT

private slots:
    void everyProfileConverts();
    void wrapperScriptConverts_data();
    void wrapperScriptConverts();
};

void TestProfileWalk::everyProfileConverts() {
    const QString stage = qEnvironmentVariable("QUILLORA_STAGE_DIR");
    const QString source = qEnvironmentVariable("QUILLORA_TEST_MEDIA") + "/av.mp4";
    QVERIFY2(QFileInfo::exists(source), qPrintable(source));
    QVERIFY2(QFileInfo(transcoder()).isExecutable(), qPrintable(transcoder() + " is missing"));
    QTemporaryDir out;
    QVERIFY(out.isValid());

    std::vector<WalkResult> results;
    for (const ProfileEntry &entry : ProfileCatalogue::entries()) {
        const RowJob job = RowJobBuilder::build(defaultInput(entry, stage, source, out.path()));
        QVERIFY2(job.valid && job.error.isEmpty(), qPrintable(entry.fileName));
        // Nothing the transcoder cannot take: no empty value, no "Auto".
        for (const QString &argument : job.arguments)
            QVERIFY2(!argument.isEmpty() && argument != "Auto" && argument != "default",
                     qPrintable(entry.fileName + ": " + job.arguments.join(' ')));
        WalkResult result;
        result.entry = entry;
        result.arguments = job.arguments;
        results.push_back(result);
    }
    QCOMPARE(int(results.size()), ProfileCatalogue::kProfileCount);

    std::atomic<size_t> next{0};
    const auto work = [&] {
        for (size_t i = next++; i < results.size(); i = next++)
            convert(results[i], stage);
    };
    std::vector<std::thread> workers;
    const int count = qBound(2, QThread::idealThreadCount(), 8);
    for (int i = 0; i < count; ++i)
        workers.emplace_back(work);
    for (std::thread &worker : workers)
        worker.join();

    int passed = 0;
    for (const WalkResult &result : results) {
        if (result.ok) {
            ++passed;
            continue;
        }
        qWarning().noquote() << result.entry.key << result.entry.fileName << "\n   "
                             << result.arguments.join(' ') << "\n   " << result.failure;
    }
    qInfo().noquote() << passed << "of" << results.size() << "profiles converted";
    QCOMPARE(passed, int(results.size()));
}

void TestProfileWalk::wrapperScriptConverts_data() {
    QTest::addColumn<QString>("clip");
    QTest::newRow("plain") << "av.mp4";
    QTest::newRow("double quote") << "quote\"double.mp4";
    QTest::newRow("non-Latin") << "日本語 ファイル.mp4";
}

// The first script a row gets must be one the transcoder reads: the
// scheduler hands it over in place of the source once a row is edited.
void TestProfileWalk::wrapperScriptConverts() {
    QFETCH(QString, clip);
    const QString stage = qEnvironmentVariable("QUILLORA_STAGE_DIR");
    const QString source = qEnvironmentVariable("QUILLORA_TEST_MEDIA") + "/" + clip;
    QVERIFY2(QFileInfo(transcoder()).isExecutable(), qPrintable(transcoder() + " is missing"));
    QTemporaryDir out;
    const QStringList plugins =
        QDir(stage + "/plugins").entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    QVERIFY(plugins.size() >= 2);

    const ProfileEntry entry = *ProfileCatalogue::entry(0, 0);
    RowJobInput in = defaultInput(entry, stage, source, out.path());
    in.avsImportPath = stage + "/plugins/" + plugins.at(0);
    in.avsPluginPath = stage + "/plugins/" + plugins.at(1);
    in.avsHeaderPath = stage + "/HEADER.avs";
    const RowJob job = RowJobBuilder::buildAndWrite(in);
    QVERIFY2(job.valid && job.error.isEmpty(), qPrintable(job.error));
    QVERIFY(QFileInfo::exists(job.scriptPath));

    WalkResult result;
    result.entry = entry;
    result.arguments = job.arguments;
    result.arguments[result.arguments.indexOf("-i") + 1] = job.scriptPath;
    convert(result, stage);
    QVERIFY2(result.ok, qPrintable(result.failure));
}

QTEST_GUILESS_MAIN(TestProfileWalk)
#include "tst_profilewalk.moc"
