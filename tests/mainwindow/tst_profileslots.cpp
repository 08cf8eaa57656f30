#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include "app/version.h"
#include "filelist/filerow.h"
#include "filelist/optionrules.h"
#include "filelist/outputnaming.h"
#include "filelist/outputpaths.h"
#include "filelist/probeparser.h"
#include "mainwindow/videoinfo.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/settingsfile.h"
#include "platform/platform.h"
#include "profiles/argumentlist.h"
#include "profiles/codectables.h"
#include "profiles/profilecatalogue.h"
#include "profiles/profileloader.h"
#include "ui_mainwindow.h"
#include "windowtestsupport.h"

using namespace WindowTestSupport;

// The main window's profile, option and output-folder slots, driven on rows
// made the way the add flow makes them, and the jobs they leave behind run
// through the staged transcoder.
namespace {

constexpr int kJobTimeoutMs = 120000;
constexpr int kProbeTimeoutMs = 30000;

// What a probe tells the add flow about a file.
struct Facts {
    QString duration = QStringLiteral("00:00:02");
    QString seconds = QStringLiteral("2");
    QString exact = QStringLiteral("2.0");
    QString bitrate = QStringLiteral("283");
    QString size = QStringLiteral("320x240");
    QString videoCodec = QStringLiteral("h264");
    QString frameRate = QStringLiteral("25");
    QString ratio = QStringLiteral("1.333");
    QString audioCodec = QStringLiteral("aac");
    QString audioBitrate = QStringLiteral("96");
};

Facts factsFrom(const ProbeResult &probe)
{
    Facts facts;
    facts.duration = probe.probedDuration;
    facts.seconds = probe.probedSeconds;
    facts.exact = probe.probedSecondsExact;
    facts.bitrate = probe.probedBitrate;
    facts.size = probe.probedFrameSize;
    facts.videoCodec = probe.probedVideoCodec;
    facts.frameRate = probe.probedFrameRate;
    facts.ratio = probe.probedDisplayRatio;
    facts.audioCodec = probe.probedAudioCodec;
    facts.audioBitrate = probe.probedAudioBitrate;
    return facts;
}

bool showsFill(const QComboBox *box, const ComboFill &fill)
{
    return comboItems(box) == fill.items && box->currentIndex() == fill.current;
}

void choose(QComboBox *box, const QString &text)
{
    const int index = box->findText(text);
    QVERIFY2(index >= 0, qPrintable(text));
    box->setCurrentIndex(index);
}

QString readText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

// The window keeps its media-information dialog as a window of its own; null
// unless there is exactly one.
videoInfo *mediaInfoDialog()
{
    QList<videoInfo *> found;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *dialog = qobject_cast<videoInfo *>(widget))
            found << dialog;
    }
    return found.size() == 1 ? found.first() : nullptr;
}

} // namespace

class tst_ProfileSlots : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void startsWithGeneralVideoAvi();
    void devicePictureFromInstallation();
    void newRowGetsWholeJob();
    void videoSlotsEditInPlace_data();
    void videoSlotsEditInPlace();
    void audioSlotsEditInPlace_data();
    void audioSlotsEditInPlace();
    void missingPairsGoAfterOverwrite();
    void autoTextsAndSizeEstimate();
    void noCurrentRowChangesNothing();
    void widgetSignalsReachSlots();
    void profileChoiceRebuildsCurrentRow();
    void profileChoiceKeepsOutputsApart();
    void generalAudioDropsVideo();
    void categoryWithoutRowsProfileShowsItsFirst();
    void categoryWithoutRowSetsProfileOnShow();
    void xvidAspectTouchesOnlyBuiltRow();
    void chosenOutputFolderMovesEveryRow();
    void typedOutputFolderMovesEveryRow();
    void unsafeScriptNameIsReported();
    void mediaInfoDialogShowsRow();
    void mediaInfoSizeText_data();
    void mediaInfoSizeText();
    void builtJobsRunThroughTranscoder_data();
    void builtJobsRunThroughTranscoder();

private:
    Ui::MainWindow *ui() { return window->form(); }
    QTreeWidgetItem *row(int index) { return ui()->treeWidget->topLevelItem(index); }
    int addRow(const QString &sourcePath, const Facts &facts = Facts());
    void makeCurrent(int index) { ui()->treeWidget->setCurrentItem(row(index)); }
    // Folders and names are looked at away from the window: true once
    // every answer has come.
    bool namesAnswered();
    void chooseProfile(int category, int detail);
    void trimAndCrop(int index);

    QString stage;
    QTemporaryDir *work = nullptr;
    MainWindow *window = nullptr;
};

void tst_ProfileSlots::initTestCase()
{
    actAsTheProgram();
    stage = stageDir();
    QVERIFY2(QFileInfo::exists(stage + QStringLiteral("/profile/avi.format.xml")),
             "the staged installation is missing");
}

void tst_ProfileSlots::init()
{
    work = new QTemporaryDir;
    QVERIFY(work->isValid());
    QDir(work->path()).mkpath(QStringLiteral("out"));
    QDir(work->path()).mkpath(QStringLiteral("src"));
    useInstallation(stage);
    QDir(Platform::tempDir()).removeRecursively();
    window = new MainWindow;
}

void tst_ProfileSlots::cleanup()
{
    delete window;
    window = nullptr;
    leaveInstallation();
    delete work;
    work = nullptr;
}

// A row as the add flow leaves it: the columns and media information of a new
// row from the probe facts and the option boxes, then the row's job.
bool tst_ProfileSlots::namesAnswered()
{
    return QTest::qWaitFor([this] { return window->outputNaming().isSettled(); }, 30000);
}

int tst_ProfileSlots::addRow(const QString &sourcePath, const Facts &facts)
{
    const QFileInfo source(sourcePath);
    OptionState &options = window->options();
    options.inputFolder = source.absolutePath() + QLatin1Char('/');
    options.inputName = source.fileName();
    options.inputExtension = source.suffix();
    options.outputFolder = work->path() + QStringLiteral("/out/");
    options.outputName = OutputPaths::fileNameFor(source.fileName(), options.formatLabel);
    options.outputAudioBitrate = OptionRules::kilobits(ui()->ABitrate->currentText());

    auto *item = new QTreeWidgetItem(QStringList{QString(), options.inputName,
                                                 FileRow::kStatusReady, facts.duration,
                                                 facts.duration, QString(), options.outputName});
    item->setCheckState(FileRow::CheckColumn, Qt::Checked);
    MediaInfo info = FileRow::emptyMediaInfo();
    info[FileRow::InputFormat] = options.inputExtension;
    info[FileRow::InputSize] = facts.size;
    info[FileRow::InputVideoCodec] = facts.videoCodec;
    info[FileRow::InputAudioCodec] = facts.audioCodec;
    info[FileRow::InputFrameRate] = facts.frameRate;
    info[FileRow::InputBitrate] = facts.bitrate;
    info[FileRow::InputFileMB] = QStringLiteral("0.125");
    info[FileRow::DurationSeconds] = facts.seconds;
    info[FileRow::InputAudioBitrate] = facts.audioBitrate;
    info[FileRow::OutputAudioBitrate] = options.outputAudioBitrate;
    info[FileRow::DisplayRatio] = facts.ratio;
    info[FileRow::ExactDuration] = facts.exact;
    OptionRules::OutputTexts texts;
    texts.formatLabel = options.formatLabel;
    texts.vcodec = ui()->Vcodec->currentText();
    texts.acodec = ui()->Acodec->currentText();
    texts.vframeRate = ui()->VframeRate->currentText();
    texts.vsize = ui()->VSize->currentText();
    texts.vbitrate = ui()->VBitrate->currentText();
    item->setText(FileRow::SizeColumn, OptionRules::recordOutput(info, texts));
    FileRow::setMediaInfo(item, info);

    QTreeWidget *list = ui()->treeWidget;
    list->addTopLevelItem(item);
    const int index = list->indexOfTopLevelItem(item);
    window->buildItemArguments(index);
    // The end of an add operation.
    options.finishAdd();
    // The script goes to disk away from the window; the checks read it.
    if (!QTest::qWaitFor([this] { return window->conversion().scripts().isSettled(); }, 30000))
        return -1;
    return index;
}

void tst_ProfileSlots::chooseProfile(int category, int detail)
{
    ui()->ProfileDevice->setCurrentIndex(category);
    window->on_ProfileDevice_activated(ui()->ProfileDevice->currentText());
    ui()->ProfileDetails->setCurrentIndex(detail);
    window->on_ProfileDetails_activated(detail);
}

// What the editor answer leaves in a row: the trim pairs in front of "-i" and
// a crop pair in front of "-y".
void tst_ProfileSlots::trimAndCrop(int index)
{
    ArgumentList list = FileRow::arguments(row(index));
    list = QStringList{"-ss", "12", "-t", "30"} + list;
    list.insert(list.indexOf("-y"), "-cropleft");
    list.insert(list.indexOf("-y"), "8");
    FileRow::setArguments(row(index), list);
}

void tst_ProfileSlots::startsWithGeneralVideoAvi()
{
    QCOMPARE(comboItems(ui()->ProfileDevice), ProfileCatalogue::deviceCategoryList());
    QCOMPARE(ui()->ProfileDevice->currentText(), QStringLiteral("General Video"));
    QCOMPARE(comboItems(ui()->ProfileDetails), ProfileCatalogue::descriptions(0));
    QCOMPARE(ui()->ProfileDetails->currentText(),
             QStringLiteral("AVI - Audio-Video Interleaved(*.avi)"));
    QCOMPARE(window->options().formatLabel, QStringLiteral("AVI"));
    QCOMPARE(window->options().profileFile, QStringLiteral("avi.format.xml"));
    QCOMPARE(window->options().currentProfileFile, window->options().profileFile);

    const ProfileSelection avi = ProfileLoader::load(stage, QStringLiteral("avi.format.xml"));
    QVERIFY(avi.loaded);
    QVERIFY(showsFill(ui()->Vcodec, avi.vcodec));
    QVERIFY(showsFill(ui()->VSize, avi.vsize));
    QVERIFY(showsFill(ui()->VBitrate, avi.vbitrate));
    QVERIFY(showsFill(ui()->VframeRate, avi.vframeRate));
    QVERIFY(showsFill(ui()->Acodec, avi.acodec));
    QVERIFY(showsFill(ui()->ASamplerate, avi.asamplerate));
    QVERIFY(showsFill(ui()->ABitrate, avi.abitrate));
    QVERIFY(showsFill(ui()->AChannels, avi.achannels));
    QCOMPARE(comboItems(ui()->Vaspect), (QStringList{"default", "4:3", "16:9"}));
    QCOMPARE(ui()->Vaspect->currentIndex(), 0);
    QVERIFY(ui()->Vcodec->isEnabledTo(ui()->Vcodec->parentWidget()));
}

void tst_ProfileSlots::devicePictureFromInstallation()
{
    // The working folder is not the installation: the pictures still load.
    QDir::setCurrent(work->path());
    const auto shows = [this](const QString &picture) {
        const QImage expected(stage + QLatin1Char('/') + picture);
        const QImage shown = ui()->label_pic->pixmap().toImage();
        return !expected.isNull() && shown.convertToFormat(expected.format()) == expected;
    };
    window->updateDevicePicture(7);
    QVERIFY(shows(QStringLiteral("images/xbox.png")));
    window->updateDevicePicture(15);
    QVERIFY(shows(QStringLiteral("images/default.png")));

    // The iPod picture follows the profile on show.
    ui()->ProfileDevice->setCurrentIndex(4);
    window->on_ProfileDevice_activated(QStringLiteral("iPod"));
    QVERIFY(shows(QStringLiteral("images/Apple_IPod_classic.png")));
    ui()->ProfileDetails->setCurrentIndex(11);
    window->updateDevicePicture(4);
    QVERIFY(shows(QStringLiteral("images/Apple_IPod_touch.png")));
}

void tst_ProfileSlots::newRowGetsWholeJob()
{
    const QString source = work->path() + QStringLiteral("/src/clip.mts");
    const int index = addRow(source);
    QTreeWidgetItem *item = row(index);

    const QString output = work->path() + QStringLiteral("/out/clip.avi");
    QCOMPARE(FileRow::arguments(item),
             (QStringList{"-i", source, "-y", "-s", "320x240", "-b", "1200K", "-vcodec", "mpeg4",
                          "-acodec", "libmp3lame", "-ar", "44100", "-ab", "128K", "-ac", "2",
                          output}));

    const QStringList expectedIndexes{"0",
                                      "0",
                                      QString::number(ui()->Vcodec->currentIndex()),
                                      QString::number(ui()->VSize->currentIndex()),
                                      QString::number(ui()->VBitrate->currentIndex()),
                                      QString::number(ui()->VframeRate->currentIndex()),
                                      "0",
                                      QString::number(ui()->Acodec->currentIndex()),
                                      QString::number(ui()->ASamplerate->currentIndex()),
                                      QString::number(ui()->ABitrate->currentIndex()),
                                      QString::number(ui()->AChannels->currentIndex())};
    QCOMPARE(FileRow::settingsIndexes(item), expectedIndexes);
    QCOMPARE(FileRow::optionItems(item, FileRow::VSizeItems), comboItems(ui()->VSize));
    QCOMPARE(FileRow::optionItems(item, FileRow::VaspectItems), comboItems(ui()->Vaspect));
    QCOMPARE(FileRow::optionItems(item, FileRow::ProfileDetailsItems),
             comboItems(ui()->ProfileDetails));

    const EffectList effects = FileRow::effects(item);
    QCOMPARE(effects.size(), 6);
    QCOMPARE(effects.mid(0, 4), (QStringList{"1", "0", "1", source}));
    QCOMPARE(effects.at(4), Platform::tempDir() + QStringLiteral("/avsifile0.avs"));
    QCOMPARE(effects.at(5), Platform::tempDir() + QStringLiteral("/avsifile0.png"));
    const QString script = readText(effects.at(4));
    QVERIFY(script.contains(QStringLiteral("FFmpegSource2(\"%1\"").arg(source)));
    QVERIFY(script.contains(QStringLiteral("OutputChannels = 2\n")));
    QVERIFY(script.contains(QStringLiteral("clip = clip.Trim(0, 42)\n")));

    // A rebuild keeps the row's source and output, whatever file was added last.
    window->options().outputName = QStringLiteral("stale.avi");
    window->buildItemArguments(index);
    QCOMPARE(FileRow::arguments(item).last(), output);
    QCOMPARE(FileRow::effects(item), effects);
    window->buildItemArguments(99); // no such row: nothing happens

    // The next row takes the next script number; its script follows the
    // channel count on show.
    choose(ui()->AChannels, QStringLiteral("Mono"));
    const int second = addRow(work->path() + QStringLiteral("/src/other.mts"));
    QCOMPARE(FileRow::effects(row(second)).at(4),
             Platform::tempDir() + QStringLiteral("/avsifile1.avs"));
    QVERIFY(readText(FileRow::effects(row(second)).at(4))
                .contains(QStringLiteral("OutputChannels = 1\n")));
    QCOMPARE(Arguments::value(FileRow::arguments(row(second)), "-ac"), QStringLiteral("1"));
}

void tst_ProfileSlots::videoSlotsEditInPlace_data()
{
    QTest::addColumn<bool>("edited");
    QTest::newRow("plain row") << false;
    QTest::newRow("trimmed and cropped row") << true;
}

void tst_ProfileSlots::videoSlotsEditInPlace()
{
    QFETCH(bool, edited);
    const int index = addRow(work->path() + QStringLiteral("/src/clip.mp4"));
    if (edited)
        trimAndCrop(index);
    makeCurrent(index);
    QTreeWidgetItem *item = row(index);
    const ArgumentList before = FileRow::arguments(item);
    const int sizeAt = before.indexOf("-s");
    const int bitrateAt = before.indexOf("-b");

    choose(ui()->VSize, QStringLiteral("640x480"));
    window->on_VSize_activated(ui()->VSize->currentIndex());
    choose(ui()->VBitrate, QStringLiteral("768K"));
    window->on_VBitrate_activated(QStringLiteral("ignored"));

    ArgumentList expected = before;
    expected[sizeAt + 1] = "640x480";
    expected[bitrateAt + 1] = "768K";
    QCOMPARE(FileRow::arguments(item), expected);

    const SettingsIndexList indexes = FileRow::settingsIndexes(item);
    QCOMPARE(indexes.at(FileRow::VSizeIndex), QString::number(ui()->VSize->currentIndex()));
    QCOMPARE(indexes.at(FileRow::VBitrateIndex), QString::number(ui()->VBitrate->currentIndex()));
    const MediaInfo info = FileRow::mediaInfo(item);
    QCOMPARE(info.at(FileRow::OutputSize), QStringLiteral("640x480"));
    QCOMPARE(info.at(FileRow::OutputVideoBitrate), QStringLiteral("768"));
    // 2 s × (768 + 128) kb/s ÷ 8192
    QCOMPARE(info.at(FileRow::EstimatedMB), QStringLiteral("0.219"));
    QCOMPARE(item->text(FileRow::SizeColumn), QStringLiteral("0.2MB"));
    QCOMPARE(ui()->lab_VideoSize->text(), QStringLiteral("640x480"));
    QCOMPARE(ui()->lab_VodecBitrate->text(), QStringLiteral("768kbps"));

    // The codec: a whole H.264 group in, then out again for another codec.
    choose(ui()->Vcodec, QStringLiteral("H.264/MPEG-4 AVC"));
    window->on_Vcodec_activated(ui()->Vcodec->currentIndex());
    ArgumentList list = FileRow::arguments(item);
    const int codecAt = list.indexOf("-vcodec");
    QCOMPARE(list.mid(codecAt, 7),
             (QStringList{"-vcodec", "libx264", "-fpre", "x264/libx264-veryfast.ffpreset",
                          "-threads", "0", "-acodec"}));
    QCOMPARE(FileRow::mediaInfo(item).at(FileRow::OutputVideoCodec),
             QStringLiteral("H.264/MPEG-4 AVC"));
    QCOMPARE(ui()->lab_VideoCodec->text(), QStringLiteral("H.264/MPEG-4 AVC"));
    choose(ui()->Vcodec, QStringLiteral("Microsoft MPEG-4 v2"));
    window->on_Vcodec_activated(ui()->Vcodec->currentIndex());
    QCOMPARE(FileRow::arguments(item), expected.replaceInStrings(QStringLiteral("mpeg4"),
                                                                 QStringLiteral("msmpeg4v2")));

    if (edited) {
        list = FileRow::arguments(item);
        QCOMPARE(list.mid(0, 5), (QStringList{"-ss", "12", "-t", "30", "-i"}));
        QCOMPARE(list.mid(list.indexOf("-y") - 2, 3), (QStringList{"-cropleft", "8", "-y"}));
    }
}

void tst_ProfileSlots::audioSlotsEditInPlace_data()
{
    QTest::addColumn<bool>("edited");
    QTest::newRow("plain row") << false;
    QTest::newRow("trimmed and cropped row") << true;
}

void tst_ProfileSlots::audioSlotsEditInPlace()
{
    QFETCH(bool, edited);
    const int index = addRow(work->path() + QStringLiteral("/src/clip.mp4"));
    if (edited)
        trimAndCrop(index);
    makeCurrent(index);
    QTreeWidgetItem *item = row(index);
    ArgumentList expected = FileRow::arguments(item);

    choose(ui()->Acodec, QStringLiteral("ac3"));
    window->on_Acodec_activated(ui()->Acodec->currentIndex());
    expected[expected.indexOf("-acodec") + 1] = "ac3";
    choose(ui()->ASamplerate, QStringLiteral("48000"));
    window->on_ASamplerate_activated(ui()->ASamplerate->currentIndex());
    expected[expected.indexOf("-ar") + 1] = "48000";
    choose(ui()->ABitrate, QStringLiteral("64K"));
    window->on_ABitrate_activated(ui()->ABitrate->currentIndex());
    expected[expected.indexOf("-ab") + 1] = "64K";
    choose(ui()->AChannels, QStringLiteral("Mono"));
    window->on_AChannels_activated(ui()->AChannels->currentIndex());
    expected[expected.indexOf("-ac") + 1] = "1";
    QCOMPARE(FileRow::arguments(item), expected);

    const SettingsIndexList indexes = FileRow::settingsIndexes(item);
    QCOMPARE(indexes.at(FileRow::AcodecIndex), QString::number(ui()->Acodec->currentIndex()));
    QCOMPARE(indexes.at(FileRow::AChannelsIndex), QStringLiteral("0"));
    const MediaInfo info = FileRow::mediaInfo(item);
    QCOMPARE(info.at(FileRow::OutputAudioCodec), QStringLiteral("ac3"));
    QCOMPARE(info.at(FileRow::OutputAudioBitrate), QStringLiteral("64"));
    // 2 s × (1200 + 64) kb/s ÷ 8192
    QCOMPARE(info.at(FileRow::EstimatedMB), QStringLiteral("0.309"));
    QCOMPARE(item->text(FileRow::SizeColumn), QStringLiteral("0.3MB"));
    QCOMPARE(ui()->lab_AudioCodec->text(), QStringLiteral("ac3"));

    // "MP3" is recorded as its encoder and shown as "mp3".
    choose(ui()->Acodec, QStringLiteral("MP3"));
    window->on_Acodec_activated(ui()->Acodec->currentIndex());
    QCOMPARE(FileRow::mediaInfo(item).at(FileRow::OutputAudioCodec),
             QStringLiteral("libmp3lame"));
    QCOMPARE(ui()->lab_AudioCodec->text(), QStringLiteral("mp3"));
    QVERIFY(ui()->treeWidget->hasFocus() || !window->isActiveWindow());
}

// Pairs that a row lacks go to their fixed places, never between another
// pair's word and value.
void tst_ProfileSlots::missingPairsGoAfterOverwrite()
{
    const int index = addRow(work->path() + QStringLiteral("/src/clip.mp4"));
    trimAndCrop(index);
    makeCurrent(index);
    QTreeWidgetItem *item = row(index);
    ArgumentList list = FileRow::arguments(item);
    for (const char *word : {"-s", "-b", "-ar", "-ab", "-ac"})
        Arguments::removeOption(list, word);
    FileRow::setArguments(item, list);
    const ArgumentList bare = list;
    const int y = bare.indexOf("-y");

    choose(ui()->VSize, QStringLiteral("352x288"));
    window->on_VSize_activated(ui()->VSize->currentIndex());
    QCOMPARE(FileRow::arguments(item).mid(y, 3), (QStringList{"-y", "-s", "352x288"}));
    choose(ui()->VframeRate, QStringLiteral("25fps"));
    window->on_VframeRate_activated(ui()->VframeRate->currentIndex());
    QCOMPARE(FileRow::arguments(item).mid(y, 3), (QStringList{"-y", "-r", "25"}));
    QCOMPARE(FileRow::mediaInfo(item).at(FileRow::OutputFrameRate), QStringLiteral("25"));
    QCOMPARE(ui()->lab_FrameRate->text(), QStringLiteral("25fps"));
    ui()->Vaspect->setCurrentIndex(2);
    window->on_Vaspect_activated(QStringLiteral("4:3"));
    QCOMPARE(FileRow::arguments(item).mid(y, 3), (QStringList{"-y", "-aspect", "16:9"}));
    QCOMPARE(FileRow::settingsIndexes(item).at(FileRow::VaspectIndex), QStringLiteral("2"));
    choose(ui()->VBitrate, QStringLiteral("512K"));
    window->on_VBitrate_activated(QString());
    QCOMPARE(FileRow::arguments(item).mid(y, 3), (QStringList{"-y", "-b", "512K"}));

    choose(ui()->ASamplerate, QStringLiteral("22050"));
    window->on_ASamplerate_activated(ui()->ASamplerate->currentIndex());
    QCOMPARE(FileRow::arguments(item).mid(y, 3), (QStringList{"-y", "-ar", "22050"}));
    choose(ui()->AChannels, QStringLiteral("Stereo"));
    window->on_AChannels_activated(ui()->AChannels->currentIndex());
    QCOMPARE(FileRow::arguments(item).mid(y, 3), (QStringList{"-y", "-ac", "2"}));
    choose(ui()->ABitrate, QStringLiteral("96K"));
    window->on_ABitrate_activated(ui()->ABitrate->currentIndex());
    list = FileRow::arguments(item);
    QCOMPARE(list.mid(list.indexOf("-acodec"), 4),
             (QStringList{"-acodec", "libmp3lame", "-ab", "96K"}));

    QCOMPARE(list.mid(0, 6), (QStringList{"-ss", "12", "-t", "30", "-i", bare.at(5)}));
    QCOMPARE(list.mid(6, 2), (QStringList{"-cropleft", "8"}));
    QCOMPARE(list.last(), bare.last());
}

// "Auto" keeps the source's value: it never reaches the list as a value, and
// the output entries and the estimate take the source's.
void tst_ProfileSlots::autoTextsAndSizeEstimate()
{
    const int index = addRow(work->path() + QStringLiteral("/src/clip.mp4"));
    makeCurrent(index);
    QTreeWidgetItem *item = row(index);

    choose(ui()->VBitrate, QStringLiteral("Auto"));
    window->on_VBitrate_activated(QStringLiteral("Auto"));
    QCOMPARE(Arguments::find(FileRow::arguments(item), "-b"), -1);
    QCOMPARE(FileRow::mediaInfo(item).at(FileRow::OutputVideoBitrate), QStringLiteral("283"));
    // 2 s × (283 + 128) kb/s ÷ 8192
    QCOMPARE(FileRow::mediaInfo(item).at(FileRow::EstimatedMB), QStringLiteral("0.100"));
    QCOMPARE(item->text(FileRow::SizeColumn), QStringLiteral("0.1MB"));
    QCOMPARE(ui()->lab_VodecBitrate->text(), QStringLiteral("283kbps"));

    choose(ui()->VframeRate, QStringLiteral("Auto"));
    window->on_VframeRate_activated(ui()->VframeRate->currentIndex());
    QCOMPARE(Arguments::value(FileRow::arguments(item), "-r"), QStringLiteral("25"));
    QCOMPARE(FileRow::mediaInfo(item).at(FileRow::OutputFrameRate), QStringLiteral("25"));

    choose(ui()->VSize, QStringLiteral("Auto"));
    window->on_VSize_activated(ui()->VSize->currentIndex());
    QCOMPARE(Arguments::value(FileRow::arguments(item), "-s"), QStringLiteral("320x240"));
    QCOMPARE(FileRow::mediaInfo(item).at(FileRow::OutputSize), QStringLiteral("320x240"));

    ui()->Vaspect->setCurrentIndex(1);
    window->on_Vaspect_activated(QString());
    ui()->Vaspect->setCurrentIndex(0);
    window->on_Vaspect_activated(QString());
    QCOMPARE(Arguments::find(FileRow::arguments(item), "-aspect"), -1);

    // A long source: the estimate goes over to GB.
    MediaInfo info = FileRow::mediaInfo(item);
    info[FileRow::DurationSeconds] = QStringLiteral("8000");
    FileRow::setMediaInfo(item, info);
    choose(ui()->VBitrate, QStringLiteral("1000K"));
    window->on_VBitrate_activated(QString());
    // 8000 s × (1000 + 128) kb/s ÷ 8192 = 1101.5625 MB
    QCOMPARE(item->text(FileRow::SizeColumn), QStringLiteral("1GB"));
    QCOMPARE(FileRow::mediaInfo(item).at(FileRow::EstimatedMB), QStringLiteral("1101.563"));

    for (const QString &value : FileRow::arguments(item))
        QVERIFY2(value != QLatin1String("Auto") && value != QLatin1String("default"),
                 qPrintable(FileRow::arguments(item).join(' ')));
}

void tst_ProfileSlots::noCurrentRowChangesNothing()
{
    const int index = addRow(work->path() + QStringLiteral("/src/clip.mp4"));
    QTreeWidgetItem *item = row(index);
    ui()->treeWidget->setCurrentItem(nullptr);
    QCOMPARE(ui()->treeWidget->currentIndex().row(), -1);
    const ArgumentList arguments = FileRow::arguments(item);
    const SettingsIndexList indexes = FileRow::settingsIndexes(item);
    const MediaInfo info = FileRow::mediaInfo(item);
    const QString sizeText = item->text(FileRow::SizeColumn);
    ui()->lab_VideoSize->setText(QStringLiteral("untouched"));

    ui()->VSize->setCurrentIndex(3);
    window->on_VSize_activated(3);
    ui()->VBitrate->setCurrentIndex(3);
    window->on_VBitrate_activated(QString());
    ui()->VframeRate->setCurrentIndex(3);
    window->on_VframeRate_activated(3);
    ui()->Vaspect->setCurrentIndex(2);
    window->on_Vaspect_activated(QString());
    ui()->Vcodec->setCurrentIndex(1);
    window->on_Vcodec_activated(1);
    ui()->Acodec->setCurrentIndex(1);
    window->on_Acodec_activated(1);
    ui()->ASamplerate->setCurrentIndex(0);
    window->on_ASamplerate_activated(0);
    ui()->ABitrate->setCurrentIndex(0);
    window->on_ABitrate_activated(0);
    ui()->AChannels->setCurrentIndex(0);
    window->on_AChannels_activated(0);
    window->applyOutputFolder(work->path() + QStringLiteral("/src"));
    QVERIFY(namesAnswered());
    // The profile choice reloads the boxes, but no row.
    ui()->ProfileDetails->setCurrentIndex(2);
    window->on_ProfileDetails_activated(2);
    QCOMPARE(window->options().formatLabel, QStringLiteral("MP4"));

    // Only the output folder reaches the row: it is every row's.
    ArgumentList moved = arguments;
    moved.last() = work->path() + QStringLiteral("/src/clip.avi");
    QCOMPARE(FileRow::arguments(item), moved);
    QCOMPARE(FileRow::settingsIndexes(item), indexes);
    QCOMPARE(FileRow::mediaInfo(item), info);
    QCOMPARE(item->text(FileRow::SizeColumn), sizeText);
    QCOMPARE(ui()->lab_VideoSize->text(), QStringLiteral("untouched"));
    QCOMPARE(window->currentMediaInfo(), QStringList(17, QString()));
}

// The combo boxes' own signals, as a user's pick emits them.
void tst_ProfileSlots::widgetSignalsReachSlots()
{
    const int index = addRow(work->path() + QStringLiteral("/src/clip.mp4"));
    makeCurrent(index);
    QTreeWidgetItem *item = row(index);

    choose(ui()->VSize, QStringLiteral("720x576"));
    emit ui()->VSize->activated(ui()->VSize->currentIndex());
    QCOMPARE(Arguments::value(FileRow::arguments(item), "-s"), QStringLiteral("720x576"));
    choose(ui()->VBitrate, QStringLiteral("2000K"));
    emit ui()->VBitrate->textActivated(ui()->VBitrate->currentText());
    QCOMPARE(Arguments::value(FileRow::arguments(item), "-b"), QStringLiteral("2000K"));
    ui()->Vaspect->setCurrentIndex(1);
    emit ui()->Vaspect->textActivated(ui()->Vaspect->currentText());
    QCOMPARE(Arguments::value(FileRow::arguments(item), "-aspect"), QStringLiteral("4:3"));
    choose(ui()->AChannels, QStringLiteral("Mono"));
    emit ui()->AChannels->activated(ui()->AChannels->currentIndex());
    QCOMPARE(Arguments::value(FileRow::arguments(item), "-ac"), QStringLiteral("1"));

    ui()->ProfileDetails->setCurrentIndex(9);
    emit ui()->ProfileDetails->activated(9);
    QVERIFY(FileRow::arguments(item).last().endsWith(QLatin1String("/clip.mkv")));
    ui()->ProfileDevice->setCurrentIndex(1);
    emit ui()->ProfileDevice->textActivated(QStringLiteral("General Audio"));
    QVERIFY(FileRow::arguments(item).contains("-vn"));
}

void tst_ProfileSlots::profileChoiceRebuildsCurrentRow()
{
    const QString source = work->path() + QStringLiteral("/src/clip.part1.mp4");
    const int index = addRow(source);
    trimAndCrop(index);
    makeCurrent(index);
    QTreeWidgetItem *item = row(index);
    const EffectList effects = FileRow::effects(item);
    const QString script = readText(effects.at(FileRow::ScriptPathEntry));
    QVERIFY(!script.isEmpty());

    // "MP4 - MPEG-4 Video(*.mp4)"
    ui()->ProfileDetails->setCurrentIndex(2);
    window->on_ProfileDetails_activated(2);
    const ProfileSelection mp4 = ProfileLoader::load(stage, QStringLiteral("mp4.format.xml"));
    QVERIFY(showsFill(ui()->Vcodec, mp4.vcodec));
    QVERIFY(showsFill(ui()->ABitrate, mp4.abitrate));
    QCOMPARE(comboItems(ui()->ProfileDetails), ProfileCatalogue::descriptions(0));

    const ArgumentList list = FileRow::arguments(item);
    QCOMPARE(list.last(), work->path() + QStringLiteral("/out/clip.part1.mp4"));
    QCOMPARE(item->text(FileRow::OutputFileColumn), QStringLiteral("clip.part1.mp4"));
    QCOMPARE(window->options().outputName, QStringLiteral("clip.part1.mp4"));
    QCOMPARE(list.mid(0, 6), (QStringList{"-ss", "12", "-t", "30", "-i", source}));
    QCOMPARE(list.mid(list.indexOf("-y") - 2, 3), (QStringList{"-cropleft", "8", "-y"}));
    QCOMPARE(Arguments::value(list, "-acodec"),
             CodecTables::audioEncoderName(ui()->Acodec->currentText()));
    QCOMPARE(FileRow::settingsIndexes(item).at(FileRow::ProfileIndex), QStringLiteral("2"));
    QCOMPARE(FileRow::optionItems(item, FileRow::VcodecItems), comboItems(ui()->Vcodec));
    // An edited row keeps its effects and its script.
    QCOMPARE(FileRow::effects(item), effects);
    QCOMPARE(readText(effects.at(FileRow::ScriptPathEntry)), script);

    const MediaInfo info = FileRow::mediaInfo(item);
    QCOMPARE(info.at(FileRow::OutputFormat), QStringLiteral("MP4"));
    QCOMPARE(info.at(FileRow::OutputVideoCodec), ui()->Vcodec->currentText());
    QCOMPARE(info.at(FileRow::OutputAudioCodec), ui()->Acodec->currentText());
    QCOMPARE(ui()->lab_OutputFormat->text(), QStringLiteral("MP4"));

    // Choosing it again gives the same row.
    window->on_ProfileDetails_activated(2);
    QCOMPARE(FileRow::arguments(item), list);
    QCOMPARE(FileRow::mediaInfo(item), info);

    // The label, not the description, decides the extension.
    chooseProfile(7, 6);
    QCOMPARE(window->options().formatLabel, QStringLiteral("TS"));
    QVERIFY(FileRow::arguments(item).last().endsWith(QLatin1String("/clip.part1.ts")));
    QCOMPARE(FileRow::settingsIndexes(item).mid(0, 2), (QStringList{"7", "6"}));
}

// Output names stay apart from each other and from the sources, also when a
// profile change makes two of them alike, and a row keeps its own folder.
void tst_ProfileSlots::profileChoiceKeepsOutputsApart()
{
    QDir(work->path()).mkpath(QStringLiteral("src/a"));
    QDir(work->path()).mkpath(QStringLiteral("src/b"));
    const int first = addRow(work->path() + QStringLiteral("/src/a/clip.avi"));
    ui()->treeWidget->setCurrentItem(nullptr);
    chooseProfile(0, 2); // no current row: only the boxes change
    const int second = addRow(work->path() + QStringLiteral("/src/b/clip.avi"));
    QCOMPARE(FileRow::arguments(row(second)).last(), work->path() + "/out/clip.mp4");

    makeCurrent(first);
    window->on_ProfileDetails_activated(2);
    QVERIFY(namesAnswered());
    QCOMPARE(FileRow::arguments(row(first)).last(), work->path() + "/out/clip1.mp4");
    QCOMPARE(row(first)->text(FileRow::OutputFileColumn), QStringLiteral("clip1.mp4"));

    // The source's own folder: back to AVI would name the source itself.
    window->applyOutputFolder(work->path() + QStringLiteral("/src/a"));
    QVERIFY(namesAnswered());
    QCOMPARE(FileRow::arguments(row(first)).last(), work->path() + "/src/a/clip1.mp4");
    ArgumentList list = FileRow::arguments(row(first));
    list.last() = work->path() + QStringLiteral("/src/a/clip.mp4");
    FileRow::setArguments(row(first), list);
    window->on_ProfileDetails_activated(0);
    QVERIFY(namesAnswered());
    QCOMPARE(FileRow::arguments(row(first)).last(), work->path() + "/src/a/clip1.avi");
    QCOMPARE(row(first)->text(FileRow::OutputFileColumn), QStringLiteral("clip1.avi"));
}

void tst_ProfileSlots::generalAudioDropsVideo()
{
    const int index = addRow(work->path() + QStringLiteral("/src/clip.mp4"));
    makeCurrent(index);
    QTreeWidgetItem *item = row(index);

    ui()->ProfileDevice->setCurrentIndex(1);
    window->on_ProfileDevice_activated(QStringLiteral("General Audio"));
    QCOMPARE(comboItems(ui()->ProfileDetails), ProfileCatalogue::descriptions(1));
    // The row's profile index 0 in the new category: AAC.
    QCOMPARE(window->options().formatLabel, QStringLiteral("AAC"));
    const ArgumentList list = FileRow::arguments(item);
    QVERIFY2(list.contains("-vn") && !list.contains("-vcodec") && !list.contains("-s"),
             qPrintable(list.join(' ')));
    QVERIFY(list.last().endsWith(QLatin1String("/clip.aac")));
    QCOMPARE(FileRow::settingsIndexes(item).mid(0, 2), (QStringList{"1", "0"}));
    for (QWidget *video : QList<QWidget *>{ui()->Vaspect, ui()->VBitrate, ui()->Vcodec,
                                           ui()->VframeRate, ui()->VSize})
        QVERIFY2(!video->isEnabledTo(video->parentWidget()), qPrintable(video->objectName()));
    QCOMPARE(ui()->Vaspect->count(), 0);
    QCOMPARE(ui()->lab_OutputFormat->text(), QStringLiteral("AAC"));
    QVERIFY(!ui()->lab_AudioCodec->text().isEmpty());
    for (QLabel *video : {ui()->lab_FrameRate, ui()->lab_VideoCodec, ui()->lab_VideoSize,
                          ui()->lab_VodecBitrate})
        QCOMPARE(video->text(), QString());
    QCOMPARE(FileRow::mediaInfo(item).at(FileRow::OutputFormat), QStringLiteral("AAC"));

    // Back to video: the boxes come back and so does the codec.
    ui()->ProfileDevice->setCurrentIndex(0);
    window->on_ProfileDevice_activated(QStringLiteral("General Video"));
    QVERIFY(ui()->Vcodec->isEnabledTo(ui()->Vcodec->parentWidget()));
    QCOMPARE(ui()->Vaspect->count(), 3);
    QVERIFY(FileRow::arguments(item).contains("-vcodec"));
    QVERIFY(FileRow::arguments(item).last().endsWith(QLatin1String("/clip.avi")));
}

// A row's profile index that names no profile of the new category: the row
// takes the profile on show, so that its job matches what the boxes say.
void tst_ProfileSlots::categoryWithoutRowsProfileShowsItsFirst()
{
    const int index = addRow(work->path() + QStringLiteral("/src/clip.mp4"));
    makeCurrent(index);
    QTreeWidgetItem *item = row(index);
    chooseProfile(11, 20);
    QCOMPARE(FileRow::settingsIndexes(item).mid(0, 2), (QStringList{"11", "20"}));

    ui()->ProfileDevice->setCurrentIndex(10);
    window->on_ProfileDevice_activated(QStringLiteral("Wii"));
    const std::optional<ProfileEntry> wii = ProfileCatalogue::entry(10, 0);
    QVERIFY(wii.has_value());
    QCOMPARE(ui()->ProfileDetails->currentIndex(), 0);
    QCOMPARE(window->options().profileFile, wii->fileName);
    QCOMPARE(FileRow::settingsIndexes(item).mid(0, 2), (QStringList{"10", "0"}));
    QVERIFY(FileRow::arguments(item).last().endsWith(
        QLatin1Char('.') + ProfileCatalogue::extension(wii->formatLabel)));

    // A name that is no category changes neither list nor profile.
    const QStringList details = comboItems(ui()->ProfileDetails);
    window->on_ProfileDevice_activated(QStringLiteral("wii"));
    QCOMPARE(comboItems(ui()->ProfileDetails), details);
    QCOMPARE(window->options().profileFile, wii->fileName);
}

// With no row to carry it, a category choice makes the profile on show the
// one that files added next get.
void tst_ProfileSlots::categoryWithoutRowSetsProfileOnShow()
{
    ui()->ProfileDevice->setCurrentIndex(1);
    window->on_ProfileDevice_activated(QStringLiteral("General Audio"));
    QCOMPARE(ui()->ProfileDetails->currentIndex(), 0);
    QCOMPARE(window->options().formatLabel, QStringLiteral("AAC"));
    QVERIFY(showsFill(ui()->Acodec,
                      ProfileLoader::load(stage, QStringLiteral("aac.format.xml")).acodec));
    QVERIFY(!ui()->Vcodec->isEnabledTo(ui()->Vcodec->parentWidget()));

    const int index = addRow(work->path() + QStringLiteral("/src/clip.mp4"));
    const ArgumentList list = FileRow::arguments(row(index));
    QVERIFY(list.contains("-vn"));
    QVERIFY(list.last().endsWith(QLatin1String("/clip.aac")));
    QCOMPARE(FileRow::settingsIndexes(row(index)).mid(0, 2), (QStringList{"1", "0"}));
}

// Xvid resets the aspect of the row whose job is made (its job then keeps the
// source's shape); no other row is touched.
void tst_ProfileSlots::xvidAspectTouchesOnlyBuiltRow()
{
    const int shown = addRow(work->path() + QStringLiteral("/src/shown.mp4"));
    makeCurrent(shown);
    ui()->Vaspect->setCurrentIndex(2);
    window->on_Vaspect_activated(QString());
    const ArgumentList shownList = FileRow::arguments(row(shown));
    const SettingsIndexList shownIndexes = FileRow::settingsIndexes(row(shown));
    QCOMPARE(Arguments::value(shownList, "-aspect"), QStringLiteral("16:9"));

    // The boxes show Xvid and 16:9 while another row is built.
    choose(ui()->Vcodec, QStringLiteral("Xvid"));
    const int added = addRow(work->path() + QStringLiteral("/src/added.mp4"));
    const ArgumentList addedList = FileRow::arguments(row(added));
    QCOMPARE(Arguments::find(addedList, "-aspect"), -1);
    const int codecAt = addedList.indexOf("-vcodec");
    QCOMPARE(addedList.mid(codecAt, 4), (QStringList{"-vcodec", "libxvid", "-threads", "8"}));
    QCOMPARE(FileRow::settingsIndexes(row(added)).at(FileRow::VaspectIndex),
             QString::number(CodecTables::kForcedAspectIndex));
    QCOMPARE(FileRow::arguments(row(shown)), shownList);
    QCOMPARE(FileRow::settingsIndexes(row(shown)), shownIndexes);
    QCOMPARE(ui()->Vaspect->currentIndex(), 2);

    // Choosing Xvid for the row on show resets its aspect, and the box says so.
    window->on_Vcodec_activated(ui()->Vcodec->currentIndex());
    const ArgumentList list = FileRow::arguments(row(shown));
    QCOMPARE(Arguments::find(list, "-aspect"), -1);
    QCOMPARE(Arguments::value(list, "-vcodec"), QStringLiteral("libxvid"));
    QCOMPARE(FileRow::settingsIndexes(row(shown)).at(FileRow::VaspectIndex),
             QString::number(CodecTables::kForcedAspectIndex));
    QCOMPARE(ui()->Vaspect->currentIndex(), CodecTables::kForcedAspectIndex);
    QCOMPARE(FileRow::arguments(row(added)), addedList);
}

// Browse chooses the folder the way typing does: every row goes where the
// field says, and a folder that cannot be used is refused.
void tst_ProfileSlots::chosenOutputFolderMovesEveryRow()
{
    const int first = addRow(work->path() + QStringLiteral("/src/one.mp4"));
    const int second = addRow(work->path() + QStringLiteral("/src/two.mp4"));
    makeCurrent(first);
    const QString chosen = work->path() + QStringLiteral("/chosen");
    QDir().mkpath(chosen);

    window->applyOutputFolder(chosen);
    QVERIFY(namesAnswered());
    QCOMPARE(ui()->PathLine->text(), chosen);
    QCOMPARE(SettingsFile::value(SettingsFile::kOutput).toString(), chosen);
    QCOMPARE(FileRow::arguments(row(first)).last(), chosen + QStringLiteral("/one.avi"));
    QCOMPARE(row(first)->text(FileRow::OutputFileColumn), QStringLiteral("one.avi"));
    QCOMPARE(FileRow::arguments(row(second)).last(), chosen + QStringLiteral("/two.avi"));

    QFile blocker(work->path() + QStringLiteral("/blocker"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    window->applyOutputFolder(blocker.fileName() + QStringLiteral("/sub"));
    QVERIFY(namesAnswered());
    QCOMPARE(ui()->PathLine->text(), chosen);
    QCOMPARE(FileRow::arguments(row(second)).last(), chosen + QStringLiteral("/two.avi"));
    QCOMPARE(SettingsFile::value(SettingsFile::kOutput).toString(), chosen);
    QMessageBox *told = window->findChild<QMessageBox *>();
    QVERIFY(told);
    QVERIFY2(told->text().contains(blocker.fileName()), qPrintable(told->text()));
    told->close();

    // The file system's root keeps a single separator.
    if (QFileInfo(QStringLiteral("/")).isWritable()) {
        window->applyOutputFolder(QStringLiteral("/"));
        QVERIFY(namesAnswered());
        QCOMPARE(FileRow::arguments(row(first)).last(), QStringLiteral("/one.avi"));
    }
}

void tst_ProfileSlots::typedOutputFolderMovesEveryRow()
{
    const int first = addRow(work->path() + QStringLiteral("/src/one.mp4"));
    const int second = addRow(work->path() + QStringLiteral("/src/two.mp4"));
    makeCurrent(first);
    window->checkTimer(); // checked rows: the field takes typing
    QLineEdit *field = ui()->PathLine;
    const auto type = [this, field](const QString &text) {
        field->selectAll();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
        return namesAnswered();
    };

    // A folder that is not there yet is made.
    const QString typed = work->path() + QStringLiteral("/typed/deeper");
    QVERIFY(type(typed));
    QVERIFY(QFileInfo(typed).isDir());
    QCOMPARE(field->text(), typed);
    QCOMPARE(SettingsFile::value(SettingsFile::kOutput).toString(), typed);
    QCOMPARE(FileRow::arguments(row(first)).last(), typed + QStringLiteral("/one.avi"));
    QCOMPARE(FileRow::arguments(row(second)).last(), typed + QStringLiteral("/two.avi"));

    // One that cannot be made is refused, and the field shows the folder in use.
    QFile blocker(work->path() + QStringLiteral("/blocker"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QVERIFY(type(blocker.fileName() + QStringLiteral("/sub")));
    QCOMPARE(field->text(), typed);
    QCOMPARE(FileRow::arguments(row(second)).last(), typed + QStringLiteral("/two.avi"));
    QCOMPARE(SettingsFile::value(SettingsFile::kOutput).toString(), typed);
    QMessageBox *told = window->findChild<QMessageBox *>();
    QVERIFY(told);
    QVERIFY2(told->text().contains(blocker.fileName()), qPrintable(told->text()));
    told->close();
}

// A source name that no script can quote safely: the user is told, and the
// row still gets its job (it converts from the source).
void tst_ProfileSlots::unsafeScriptNameIsReported()
{
    const QString source = work->path() + QStringLiteral("/src/bad\"\"\"name.mp4");
    const int index = addRow(source);
    QCOMPARE(Arguments::inputPath(FileRow::arguments(row(index))), source);
    QCOMPARE(FileRow::effects(row(index)).size(), 6);
    QVERIFY(!QFile::exists(FileRow::effects(row(index)).at(FileRow::ScriptPathEntry)));

    QMessageBox *box = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *candidate = qobject_cast<QMessageBox *>(widget); candidate && candidate->isVisible())
            box = candidate;
    }
    QVERIFY(box);
    QVERIFY2(box->text().contains(QStringLiteral("bad\"\"\"name.mp4")), qPrintable(box->text()));
    box->close();

    // A single quote character is fine. The unwritten script's number stays
    // the first row's: no two rows share a script or a logo picture.
    const int quoted = addRow(work->path() + QStringLiteral("/src/say \"hi\".mp4"));
    QVERIFY(QFile::exists(FileRow::effects(row(quoted)).at(FileRow::ScriptPathEntry)));
    QVERIFY(FileRow::effects(row(quoted)).at(FileRow::ScriptPathEntry)
            != FileRow::effects(row(index)).at(FileRow::ScriptPathEntry));
    QVERIFY(FileRow::effects(row(quoted)).at(FileRow::LogoPathEntry)
            != FileRow::effects(row(index)).at(FileRow::LogoPathEntry));
}

void tst_ProfileSlots::mediaInfoDialogShowsRow()
{
    const int index = addRow(work->path() + QStringLiteral("/src/clip.mp4"));
    makeCurrent(index);
    choose(ui()->Acodec, QStringLiteral("MP3"));
    window->on_Acodec_activated(ui()->Acodec->currentIndex());

    const QStringList info = window->currentMediaInfo();
    QCOMPARE(info.size(), 17);
    QCOMPARE(info, FileRow::mediaInfo(row(index)).mid(0, 17));

    videoInfo *dialog = mediaInfoDialog();
    QVERIFY(dialog);
    const auto label = [dialog](const char *name) {
        const auto *shownLabel = dialog->findChild<QLabel *>(QLatin1String(name));
        return shownLabel ? shownLabel->text() : QStringLiteral("(no label %1)").arg(name);
    };
    bool shown = false;
    QTimer::singleShot(0, this, [&] {
        shown = dialog->isVisible();
        dialog->findChild<QPushButton *>(QStringLiteral("closePushButton"))->click();
    });
    window->fileInfo();
    QVERIFY(shown);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(label("labelInputFileFormat"), QStringLiteral("mp4"));
    QCOMPARE(label("labelInputFileResolution"), QStringLiteral("320x240"));
    QCOMPARE(label("labelInputVideoCodec"), QStringLiteral("h264"));
    QCOMPARE(label("labelInputAudioCodec"), QStringLiteral("aac"));
    QCOMPARE(label("labelInputVideoFrame"), QStringLiteral("25fps"));
    QCOMPARE(label("labelInputFileSize"), QStringLiteral("0.12MB"));
    QCOMPARE(label("labelOutputFileFormat"), QStringLiteral("AVI"));
    QCOMPARE(label("labelOutputFileResolution"), QStringLiteral("320x240"));
    QCOMPARE(label("labelOutputVideoCodec"), ui()->Vcodec->currentText());
    QCOMPARE(label("labelOutputAudioCodec"), QStringLiteral("mp3"));
    QCOMPARE(label("labelOutputVideoFrame"), QStringLiteral("25fps"));
    QCOMPARE(label("labelOutputFileSize"), videoInfo::sizeText(info.at(FileRow::EstimatedMB)));
    // Closing the dialog changes nothing in the row.
    QCOMPARE(window->currentMediaInfo(), info);

    // A value the file does not have shows empty, not the last file's.
    QStringList audioOnly = info;
    audioOnly[FileRow::InputFrameRate] = QString();
    audioOnly[FileRow::OutputFrameRate] = QString();
    dialog->setInfo(audioOnly);
    QCOMPARE(label("labelInputVideoFrame"), QString());
    QCOMPARE(label("labelOutputVideoFrame"), QString());

    // Without a row there is nothing to show: no dialog.
    ui()->treeWidget->setCurrentItem(nullptr);
    // Goes with the test: a timer left queued would fire in the next one.
    QTimer closer;
    closer.setSingleShot(true);
    connect(&closer, &QTimer::timeout, this, [&] {
        if (dialog->isVisible()) {
            shown = true;
            dialog->close();
        }
    });
    closer.start(0);
    shown = false;
    window->fileInfo();
    QVERIFY(!shown);
}

void tst_ProfileSlots::mediaInfoSizeText_data()
{
    QTest::addColumn<QString>("megabytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("cut to hundredths") << "12.3456" << "12.34MB";
    QTest::newRow("just below 1000") << "999.999" << "999.99MB";
    QTest::newRow("1000") << "1000" << "0.97GB";
    QTest::newRow("1536") << "1536" << "1.5GB";
    QTest::newRow("empty: unknown") << "" << "";
    QTest::newRow("not a number") << "abc" << "0MB";
    QTest::newRow("binary rounding") << "8.2" << "8.2MB";
    QTest::newRow("huge") << "30000000" << "29296.9GB";
}

void tst_ProfileSlots::mediaInfoSizeText()
{
    QFETCH(QString, megabytes);
    QFETCH(QString, text);
    QCOMPARE(videoInfo::sizeText(megabytes), text);
}

void tst_ProfileSlots::builtJobsRunThroughTranscoder_data()
{
    QTest::addColumn<int>("category");
    QTest::addColumn<int>("detail");
    QTest::addColumn<QString>("clip");
    QTest::newRow("AVI") << 0 << 0 << "av.mp4";
    QTest::newRow("Xvid") << 0 << 5 << "with space.mp4";
    QTest::newRow("MP4 H.264") << 2 << 0 << "quote\"double.mp4";
    QTest::newRow("MP3 from video") << 1 << 8 << "av.mkv";
    QTest::newRow("WMA from audio") << 1 << 10 << "audio.wav";
}

// The window's jobs, not just the engine's: probe a real clip, add its row,
// choose the profile for it, change an option, and let the transcoder run
// the row's list.
void tst_ProfileSlots::builtJobsRunThroughTranscoder()
{
    QFETCH(int, category);
    QFETCH(int, detail);
    QFETCH(QString, clip);
    const QString source = WindowTestSupport::clip(clip);
    QVERIFY2(QFile::exists(source), qPrintable(source));
    const QString transcoder = stage + QStringLiteral("/korvex");

    QProcess probe;
    probe.start(transcoder, {QStringLiteral("-i"), source});
    QVERIFY(probe.waitForFinished(kProbeTimeoutMs));
    const ProbeResult facts = ProbeParser::parse(QString::fromUtf8(probe.readAllStandardError()));
    QVERIFY(facts.isMedia());

    const int index = addRow(source, factsFrom(facts));
    makeCurrent(index);
    chooseProfile(category, detail);
    if (ui()->ABitrate->count() > 1) {
        ui()->ABitrate->setCurrentIndex(0);
        window->on_ABitrate_activated(0);
    }
    const ArgumentList list = FileRow::arguments(row(index));
    const QString output = list.last();
    QVERIFY(output.startsWith(work->path() + QStringLiteral("/out/")));
    QVERIFY(output.endsWith(QLatin1Char('.')
                            + ProfileCatalogue::extension(ProfileCatalogue::entry(category, detail)
                                                              ->formatLabel)));

    QProcess job;
    job.setProcessChannelMode(QProcess::MergedChannels);
    job.start(transcoder, list);
    job.closeWriteChannel();
    QVERIFY(job.waitForFinished(kJobTimeoutMs));
    const QString text = QString::fromUtf8(job.readAll());
    QVERIFY2(job.exitStatus() == QProcess::NormalExit && job.exitCode() == 0,
             qPrintable(list.join(QLatin1Char(' ')) + QLatin1Char('\n') + text.right(2000)));
    QVERIFY2(QFileInfo(output).size() > 0, qPrintable(output));
    QVERIFY(QFileInfo(source).size() > 0);
}

QTEST_MAIN(tst_ProfileSlots)
#include "tst_profileslots.moc"
