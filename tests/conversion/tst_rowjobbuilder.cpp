#include <QFile>
#include <QTemporaryDir>
#include <QTreeWidgetItem>
#include <QtTest>

#include "conversion/avsscript.h"
#include "conversion/rowjobbuilder.h"
#include "profiles/argumentlist.h"

namespace {

const QString kSource = QStringLiteral("/media/in/clip.mts");

ComboState combo(const QStringList &items, int current) {
    return ComboState{items, current};
}

// The combo boxes as the AVI profile leaves them, with one row's probe facts.
RowJobInput aviInput(const QString &scriptFolder) {
    RowJobInput in;
    in.deviceIndex = 0;
    in.profileIndex = 0;
    in.profileDetails =
        combo({"AVI - Audio-Video Interleaved(*.avi)", "MP4 - MPEG-4 Video(*.mp4)"}, 0);
    in.vcodec = combo({"MPEG-4", "Xvid"}, 0);
    in.vsize = combo({"Auto", "320x240"}, 0);
    in.vbitrate = combo({"Auto", "1200K"}, 1);
    in.vframeRate = combo({"Auto", "25fps"}, 0);
    in.vaspect = combo({"default", "4:3", "16:9"}, 0);
    in.acodec = combo({"MP3", "ac3"}, 0);
    in.asamplerate = combo({"22050", "44100"}, 1);
    in.abitrate = combo({"96K", "128K"}, 1);
    in.achannels = combo({"Mono", "Stereo"}, 1);
    in.newInputPath = kSource;
    in.mediaInfo = FileRow::emptyMediaInfo();
    in.mediaInfo[FileRow::InputSize] = "720x576";
    in.mediaInfo[FileRow::DisplayRatio] = "1.250";
    in.mediaInfo[FileRow::ExactDuration] = "83.4";
    in.outputPath = "/media/out/clip.avi";
    in.scriptFolder = scriptFolder;
    in.avsHeaderPath = "/opt/quillora/HEADER.avs";
    return in;
}

QByteArray contents(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestRowJobBuilder : public QObject {
    Q_OBJECT

private slots:
    void newRow();
    void rebuildKeepsInputEffectsAndScript();
    void rebuildCarriesTrimAndCrop();
    void emptyCombos();
    void rowsGetTheirOwnScripts();
    void xvidAspectOnTheRowBeingBuilt();
    void noInput();
    void unquotableSource();
    void storeIntoTheRow();
};

void TestRowJobBuilder::newRow() {
    QTemporaryDir dir;
    const QString folder = dir.path() + "/tmp"; // made on the first script
    const RowJob job = RowJobBuilder::buildAndWrite(aviInput(folder));
    QVERIFY(job.valid);
    QVERIFY2(job.error.isEmpty(), qPrintable(job.error));
    QCOMPARE(job.arguments,
             (QStringList{"-i", kSource, "-y", "-s", "720x576", "-b", "1200K", "-vcodec", "mpeg4",
                          "-acodec", "libmp3lame", "-ar", "44100", "-ab", "128K", "-ac", "2",
                          "/media/out/clip.avi"}));
    QCOMPARE(job.settingsIndexes,
             (QStringList{"0", "0", "0", "0", "1", "0", "0", "0", "1", "1", "1"}));
    QCOMPARE(job.optionItems.at(FileRow::VcodecItems), (QStringList{"MPEG-4", "Xvid"}));
    QCOMPARE(job.optionItems.at(FileRow::VaspectItems), (QStringList{"default", "4:3", "16:9"}));
    QCOMPARE(job.optionItems.at(FileRow::ProfileDetailsItems).size(), 2);
    QVERIFY(job.seedsEffects);
    QCOMPARE(job.effects, (QStringList{"1", "0", "1", kSource, folder + "/avsifile0.avs",
                                       folder + "/avsifile0.png"}));
    const QString script = QString::fromUtf8(contents(job.scriptPath));
    QVERIFY(script.contains("clip = FFmpegSource2(\"/media/in/clip.mts\""));
    QVERIFY(script.contains("OutputChannels = 2\nOutputSamplesPerSec = 44100\n"));
    QVERIFY(script.contains("clip = clip.Crop(0, 0, 720, 576)"));
    QVERIFY(script.contains("clip = clip.DisplayRatio(1.250)"));
    QVERIFY(script.contains("clip = clip.Trim(0, 1751)"));
}

void TestRowJobBuilder::rebuildKeepsInputEffectsAndScript() {
    QTemporaryDir dir;
    RowJobInput in = aviInput(dir.path());
    const RowJob first = RowJobBuilder::buildAndWrite(in);
    const QByteArray script = contents(first.scriptPath);

    // A profile choice: no file is being added, the combo boxes show MP4.
    in.newInputPath.clear();
    in.previousArguments = first.arguments;
    in.previousEffects = first.effects;
    in.outputPath = "/media/out/clip.mp4";
    in.profileIndex = 1;
    in.vcodec = combo({"H.264/MPEG-4 AVC", "MPEG-4"}, 0);
    in.achannels = combo({"Mono", "Stereo"}, 0);
    const RowJob second = RowJobBuilder::buildAndWrite(in);
    QCOMPARE(Arguments::inputPath(second.arguments), kSource);
    QCOMPARE(second.arguments.last(), QString("/media/out/clip.mp4"));
    QCOMPARE(Arguments::value(second.arguments, "-vcodec"), QString("libx264"));
    QCOMPARE(second.settingsIndexes.at(FileRow::ProfileIndex), QString("1"));
    QVERIFY(!second.seedsEffects);
    QCOMPARE(second.effects, first.effects);
    QCOMPARE(contents(first.scriptPath), script);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"avsifile0.avs"});
}

void TestRowJobBuilder::rebuildCarriesTrimAndCrop() {
    QTemporaryDir dir;
    RowJobInput in = aviInput(dir.path());
    in.newInputPath.clear();
    in.previousArguments =
        QStringList{"-ss", "12", "-t",      "30",  "-i",      kSource,      "-cropleft",
                    "8",   "-y", "-vcodec", "flv", "-acodec", "libmp3lame", "/o/a.flv"};
    in.previousEffects = QStringList{
        "2.5", "10", "1", kSource, dir.path() + "/avsifile7.avs", dir.path() + "/avsifile7.png"};
    const RowJob job = RowJobBuilder::buildAndWrite(in);
    QCOMPARE(job.arguments.mid(0, 9),
             (QStringList{"-ss", "12", "-t", "30", "-i", kSource, "-cropleft", "8", "-y"}));
    QCOMPARE(job.effects, in.previousEffects);
    QVERIFY(!QFile::exists(dir.path() + "/avsifile7.avs")); // the editor's to write
}

void TestRowJobBuilder::emptyCombos() {
    QTemporaryDir dir;
    RowJobInput in;
    in.deviceIndex = 1;
    in.profileIndex = 3;
    in.newInputPath = kSource;
    in.outputPath = "/media/out/clip.amr";
    in.scriptFolder = dir.path();
    const RowJob job = RowJobBuilder::build(in);
    QVERIFY(job.valid);
    QCOMPARE(job.settingsIndexes,
             (QStringList{"1", "3", "-1", "-1", "-1", "-1", "-1", "-1", "-1", "-1", "-1"}));
    for (const QStringList &items : job.optionItems)
        QVERIFY(items.isEmpty());
    QCOMPARE(job.arguments,
             (QStringList{"-i", kSource, "-y", "-vn", "-acodec", "", "/media/out/clip.amr"}));
}

void TestRowJobBuilder::rowsGetTheirOwnScripts() {
    QTemporaryDir dir;
    const RowJob a = RowJobBuilder::buildAndWrite(aviInput(dir.path()));
    RowJobInput next = aviInput(dir.path());
    next.scriptNumber = 1;
    const RowJob b = RowJobBuilder::buildAndWrite(next);
    QCOMPARE(a.scriptPath, dir.path() + "/avsifile0.avs");
    QCOMPARE(b.scriptPath, dir.path() + "/avsifile1.avs");
    QVERIFY(QFile::exists(a.scriptPath) && QFile::exists(b.scriptPath));
}

void TestRowJobBuilder::xvidAspectOnTheRowBeingBuilt() {
    QTemporaryDir dir;
    RowJobInput in = aviInput(dir.path());
    in.vcodec = combo({"MPEG-4", "Xvid"}, 1);
    in.vaspect.current = 2; // "16:9" in the box: Xvid takes the source's own shape
    const RowJob job = RowJobBuilder::build(in);
    QCOMPARE(job.settingsIndexes.at(FileRow::VaspectIndex), QString("0"));
    QCOMPARE(job.arguments.indexOf("-aspect"), -1);
    QCOMPARE(job.arguments.mid(job.arguments.indexOf("-vcodec"), 4),
             (QStringList{"-vcodec", "libxvid", "-threads", "8"}));

    // Without aspect entries (an audio category) nothing is forced.
    in.vaspect = ComboState();
    const RowJob plain = RowJobBuilder::build(in);
    QCOMPARE(plain.settingsIndexes.at(FileRow::VaspectIndex), QString("-1"));
    QCOMPARE(plain.arguments.indexOf("-aspect"), -1);
}

void TestRowJobBuilder::noInput() {
    QTemporaryDir dir;
    RowJobInput in = aviInput(dir.path());
    in.newInputPath.clear();
    const RowJob job = RowJobBuilder::buildAndWrite(in);
    QVERIFY(!job.valid);
    QVERIFY(!job.error.isEmpty());
    QVERIFY(job.arguments.isEmpty());
    QVERIFY(QDir(dir.path()).isEmpty());
    QTreeWidgetItem item;
    RowJobBuilder::store(&item, job);
    QVERIFY(FileRow::arguments(&item).isEmpty());
}

void TestRowJobBuilder::unquotableSource() {
    QTemporaryDir dir;
    RowJobInput in = aviInput(dir.path());
    in.newInputPath = "/media/in/two\nlines.mp4";
    const RowJob job = RowJobBuilder::buildAndWrite(in);
    // The row still converts from its source; only the script is refused.
    QVERIFY(job.valid);
    QCOMPARE(Arguments::inputPath(job.arguments), in.newInputPath);
    QVERIFY(job.error.contains("cannot be written"));
    QVERIFY(job.scriptText.isEmpty());
    QVERIFY(!QFile::exists(job.scriptPath));
    QCOMPARE(job.effects.size(), 6);
}

void TestRowJobBuilder::storeIntoTheRow() {
    QTemporaryDir dir;
    const RowJob job = RowJobBuilder::build(aviInput(dir.path()));
    QTreeWidgetItem item;
    RowJobBuilder::store(&item, job);
    QCOMPARE(item.data(1, 32).toStringList(), job.arguments);
    QCOMPARE(item.data(1, 33).toStringList(), job.settingsIndexes);
    QCOMPARE(item.data(1, 34).toStringList(), (QStringList{"MPEG-4", "Xvid"}));
    QCOMPARE(item.data(1, 43).toStringList(), job.optionItems.at(FileRow::ProfileDetailsItems));
    QCOMPARE(item.data(1, 50).toStringList(), job.effects);

    // A rebuild does not touch the effect list an edit has stored.
    const EffectList edited{"5.5", "-51", "0.5", kSource, "/t/avsifile0.avs", "/t/avsifile0.png"};
    FileRow::setEffects(&item, edited);
    RowJob rebuilt = job;
    rebuilt.seedsEffects = false;
    rebuilt.effects = edited;
    RowJobBuilder::store(&item, rebuilt);
    QCOMPARE(FileRow::effects(&item), edited);
}

QTEST_APPLESS_MAIN(TestRowJobBuilder)
#include "tst_rowjobbuilder.moc"
