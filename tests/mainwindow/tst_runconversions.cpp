#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include <signal.h>
#include <sys/mount.h>
#include <sys/ptrace.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include "app/version.h"
#include "conversion/editorsession.h"
#include "conversion/transcoderjob.h"
#include "filelist/filerow.h"
#include "filelist/folderwork.h"
#include "mainwindow/openprogress.h"
#include "filelist/statuscell.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/maxdriverdialog.h"
#include "mainwindow/preferencedialog.h"
#include "mainwindow/settingsfile.h"
#include "platform/platform.h"
#include "profiles/argumentlist.h"
#include "profiles/profilecatalogue.h"
#include "testfsmount.h"
#include "ui_mainwindow.h"
#include "windowtestsupport.h"
#include "../support/mediaprograms.h"
#include "../support/processstate.h"

using namespace WindowTestSupport;

// Conversion runs through the main window with the real transcoder,
// suspender and clips: files are added and given their profiles as a user
// does, the Convert button starts the run, and the outputs are checked with
// ffprobe.
class tst_RunConversions : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void convertsEveryCheckedRow();
    void failedJobsDoNotStopTheRun();
    void failedRowSaysWhy();
    void finishedOnlyWithItsOutput();
    void sourceThatChangedIsProbedAgain();
    void transcoderThatCannotStart();
    void unreadableProfileConvertsNothing();
    void stopEndsTheRunningJob();
    void rowUncheckedDuringTheRunIsSkipped();
    void killedTranscoderLeavesNoPartFile();
    void outputNeverReplacesAListedSource();
    void outputNeverReplacesAFileOnDisk();
    void fileSavedUnderTheNameDuringTheJobIsKept();
    void missingOutputFolderIsMadeAgain();
    void folderGoneAnswerNeverHoldsConvert();
    void convertNeverWaitsOnTheFolder();
    void stopEndsTheFolderCheck();
    void outputFolderGoneAtAJobsStart();
    void stopNeverWaitsOnTheFolder();
    void stopDuringThePublishIsNotLost();
    void closingOnAFrozenShareLeavesNoPartFile();
    void windowAnswersWhileTheDestinationHangs_data();
    void windowAnswersWhileTheDestinationHangs();
    void partFilesLeftInTheFolderGo();
    void pauseHoldsTheJobAndItsClock();
    void keysLeaveTheJobAlone();
    void stopWhilePaused();
    void hungSuspenderLeavesTheWindowAnswering();
    void failedContinueIsToldAndTheJobStaysPaused();
    void fullBarDoesNotEndAWorkingJob();
    void unknownLengthShowsABusyBar();
    void fullDiskStopsTheRun();
    void editorAnswerReachesItsRow_data();
    void editorAnswerReachesItsRow();
    void editorAnswerGoesToTheRowItWasOpenedFor();
    void editorOnAHungShareCanBeGivenUp();
    void removedEditScriptIsWrittenAgain();
    void shutdownAfterTheRun();

private:
    struct Facts {
        double seconds = 0.0;
        QString videoCodec;
        QString audioCodec;
        int width = 0;
        int height = 0;
        QString displayRatio;
    };

    Ui::MainWindow *ui() { return window->form(); }
    ConversionController &run() { return window->conversion(); }
    QTimer *jobTick() { return run().findChild<QTimer *>(QStringLiteral("jobTimer")); }
    QTimer *shutdownTimer() { return window->findChild<QTimer *>(QStringLiteral("shutdownTimer")); }
    static QString media(const QString &name) { return clip(name); }
    QTreeWidgetItem *row(int index) { return ui()->treeWidget->topLevelItem(index); }
    QString statusOf(int index) { return row(index)->data(2, FileRow::StatusWordRole).toString(); }

    // Adds a file and gives it a profile, as the user does.
    void addClip(const QString &path, int profileKey);
    void makeSlow(int index); // 1080p: several seconds of work
    void editRow(int index, const QStringList &chunks);
    void startRun();
    bool waitForRunEnd(int timeoutMs = 120000);
    bool waitForProgress(int index);
    Facts facts(const QString &path);
    QString outputOf(int index) { return Arguments::outputPath(FileRow::arguments(row(index))); }

    QString m_stage;
    QTemporaryDir *out = nullptr;
    MainWindow *window = nullptr;
};

namespace {

constexpr int kRunTimeoutMs = 120000;
// A wait for something the transcoder or the editor does: it ends as soon as
// that happens, and a busy machine may take many seconds to get there.
constexpr int kEventTimeoutMs = 30000;
// The pipe is taken for quiet once no text has come for this long.
constexpr int kSettleMs = 300;

// Profiles by their catalogue key (category × 100 + profile).
constexpr int kAvi = 0;     // AVI, MPEG-4
constexpr int kMp4 = 2;     // MP4, H.264
constexpr int kMp3 = 108;   // General Audio, MP3
constexpr int kWmvHd = 608; // WMV HD
constexpr int kXvid = 711;  // Xbox Xvid, 640x480

const QString kSample =
    QStringLiteral("x -ss 10 -t 30 -cropleft 0 -croptop 0 -cropright 0 -cropbottom 0 -saturation 0 "
                   "-brightness 0 -contrast 0 -drop 0");

QString answerFor(int start, int length) {
    return QStringLiteral("Parlane answer -ss %1 -t %2 -cropleft 0 -croptop 0 -cropright 0 "
                          "-cropbottom 0 -saturation 0 -brightness 0 -contrast 0 -drop 0")
        .arg(start)
        .arg(length);
}

QList<qint64> childrenOf(qint64 pid) {
    QList<qint64> children;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1).toLongLong() == pid)
            children << entry.toLongLong();
    }
    return children;
}

QStringList filesIn(const QString &folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

// The picture of how the row's job ended; empty while it shows none.
QString statusPicture(QTreeWidgetItem *item) {
    return StatusCell::picture(item);
}

QByteArray contentOf(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A stand-in for one of the installation's tools.
bool writeTool(const QString &path, const QByteArray &script) {
    return writeFile(path, "#!/bin/sh\n" + script) &&
           QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Stands in for a network share that stops answering: while it is closed,
// every piece of the window's folder work waits.
class FolderGate {
public:
    FolderGate() : m_state(std::make_shared<State>()) {
        const std::shared_ptr<State> state = m_state;
        FolderWork::setBeforeEachHook([state] {
            std::unique_lock<std::mutex> lock(state->mutex);
            state->opened.wait(lock, [&] { return state->open; });
        });
    }
    ~FolderGate() {
        open();
        FolderWork::setBeforeEachHook({});
    }
    void open() {
        {
            std::lock_guard<std::mutex> lock(m_state->mutex);
            m_state->open = true;
        }
        m_state->opened.notify_all();
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable opened;
        bool open = false;
    };
    std::shared_ptr<State> m_state;
};

// Answers the next question box with the button of that text; the flag
// tells once it has been answered.
std::shared_ptr<bool> answerQuestion(const QString &button) {
    const auto answered = std::make_shared<bool>(false);
    whenModalOpens<QMessageBox>(
        [button, answered](QMessageBox *box) {
            for (QAbstractButton *choice : box->buttons()) {
                if (choice->text() == button) {
                    *answered = true;
                    choice->click();
                }
            }
        },
        kEventTimeoutMs);
    return answered;
}

} // namespace

void tst_RunConversions::initTestCase() {
    actAsTheProgram();
    m_stage = stageDir();
    QVERIFY(QFileInfo(m_stage + QStringLiteral("/korvex")).isExecutable());
    QVERIFY(QFileInfo::exists(media(QStringLiteral("long.mp4"))));
}

void tst_RunConversions::init() {
    useInstallation(m_stage);
    out = new QTemporaryDir;
    QVERIFY(out->isValid());
    window = new MainWindow;
    ui()->PathLine->setText(out->path());
}

void tst_RunConversions::cleanup() {
    if (window && run().job().isRunning())
        run().job().stop();
    delete window;
    window = nullptr;
    leaveInstallation();
    Platform::setFreeBytesOverride(-1);
    Platform::setPowerOffOverride({});
    delete out;
    out = nullptr;
}

void tst_RunConversions::addClip(const QString &path, int profileKey) {
    window->addPickedFiles({path});
    const int count = ui()->treeWidget->topLevelItemCount();
    QVERIFY2(count > 0, qPrintable(path));
    QCOMPARE(ui()->treeWidget->currentItem(), row(count - 1));
    const int category = profileKey / ProfileCatalogue::kKeyFactor;
    const int profile = profileKey % ProfileCatalogue::kKeyFactor;
    ui()->ProfileDevice->setCurrentIndex(category);
    window->on_ProfileDevice_activated(ui()->ProfileDevice->currentText());
    ui()->ProfileDetails->setCurrentIndex(profile);
    window->on_ProfileDetails_activated(profile);
    QCOMPARE(FileRow::settingsIndexes(row(count - 1)).value(FileRow::ProfileIndex),
             QString::number(profile));
}

void tst_RunConversions::makeSlow(int index) {
    ui()->treeWidget->setCurrentItem(row(index));
    const int size = ui()->VSize->findText(QStringLiteral("1920x1080"));
    QVERIFY(size >= 0);
    ui()->VSize->setCurrentIndex(size);
    window->on_VSize_activated(size);
    QCOMPARE(Arguments::value(FileRow::arguments(row(index)), QStringLiteral("-s")),
             QStringLiteral("1920x1080"));
}

// Opens the editor on a row through the window's own launch; the installed
// editor is replaced by a script that answers with the given pieces, a
// moment apart.
void tst_RunConversions::editRow(int index, const QStringList &chunks) {
    QTemporaryDir tools;
    QVERIFY(tools.isValid());
    QString script = QStringLiteral("#!/bin/sh\ndir=$(dirname \"$0\")\n");
    for (int i = 0; i < chunks.size(); ++i) {
        QFile chunk(tools.filePath(QStringLiteral("chunk%1").arg(i)));
        QVERIFY(chunk.open(QIODevice::WriteOnly));
        chunk.write(chunks.at(i).toUtf8());
        chunk.close();
        if (i > 0)
            script += QStringLiteral("sleep 0.3\n");
        script += QStringLiteral("cat \"$dir/chunk%1\" >&2\n").arg(i);
    }
    QFile editor(tools.filePath(QStringLiteral("parlane")));
    QVERIFY(editor.open(QIODevice::WriteOnly));
    editor.write(script.toUtf8());
    editor.close();
    editor.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    ui()->treeWidget->setCurrentItem(row(index));
    Platform::setInstallDir(tools.path());
    window->on_editVideo_clicked();
    Platform::setInstallDir(m_stage);
    QVERIFY(!ui()->treeWidget->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!window->editorSession().isOpen(),
                             kEventTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(ui()->treeWidget->isEnabled(), kEventTimeoutMs);
}

// Convert, and the run started once its folders have answered.
void tst_RunConversions::startRun() {
    QSignalSpy ready(&run(), &ConversionController::outputFoldersReady);
    window->on_ConvertePushButton_clicked();
    QVERIFY(!ready.isEmpty() || ready.wait(kEventTimeoutMs));
    QVERIFY(run().isActive());
}

bool tst_RunConversions::waitForRunEnd(int timeoutMs) {
    return QTest::qWaitFor([this] { return !run().isActive() && !run().job().isRunning(); },
                           timeoutMs);
}

bool tst_RunConversions::waitForProgress(int index) {
    bool running = true;
    const bool shown = QTest::qWaitFor(
        [&] {
            running = run().isActive();
            return !running || (StatusCell::progress(row(index)) > 0 &&
                                !childrenOf(run().job().processId()).isEmpty());
        },
        kRunTimeoutMs);
    return shown && running;
}

tst_RunConversions::Facts tst_RunConversions::facts(const QString &path) {
    QProcess probe;
    probe.start(MediaPrograms::ffprobe(),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                 QStringLiteral("format=duration:stream=codec_type,codec_name,width,height,"
                                "display_aspect_ratio"),
                 QStringLiteral("-of"), QStringLiteral("json"), QStringLiteral("file:") + path});
    Facts result;
    if (!probe.waitForFinished(30000) || probe.exitCode() != 0)
        return result;
    const QJsonObject root = QJsonDocument::fromJson(probe.readAllStandardOutput()).object();
    result.seconds = root.value(QStringLiteral("format"))
                         .toObject()
                         .value(QStringLiteral("duration"))
                         .toString()
                         .toDouble();
    for (const QJsonValue &value : root.value(QStringLiteral("streams")).toArray()) {
        const QJsonObject stream = value.toObject();
        if (stream.value(QStringLiteral("codec_type")).toString() == QLatin1String("video")) {
            result.videoCodec = stream.value(QStringLiteral("codec_name")).toString();
            result.width = stream.value(QStringLiteral("width")).toInt();
            result.height = stream.value(QStringLiteral("height")).toInt();
            result.displayRatio = stream.value(QStringLiteral("display_aspect_ratio")).toString();
        } else if (stream.value(QStringLiteral("codec_type")).toString() ==
                   QLatin1String("audio")) {
            result.audioCodec = stream.value(QStringLiteral("codec_name")).toString();
        }
    }
    return result;
}

void tst_RunConversions::convertsEveryCheckedRow() {
    addClip(media(QStringLiteral("av.mp4")), kAvi);
    addClip(media(QStringLiteral("wide.mp4")), kXvid);
    addClip(media(QStringLiteral("audio.wav")), kMp3);
    addClip(media(QStringLiteral("日本語 ファイル.mp4")), kMp4);
    addClip(media(QStringLiteral("av.mkv")), kWmvHd);
    addClip(media(QStringLiteral("long.mp4")), kMp4);
    editRow(5, {answerFor(2, 3)});
    QCOMPARE(row(5)->text(FileRow::OutputDurationColumn), QStringLiteral("00:00:03"));
    // A row left unchecked stays out of the run.
    addClip(media(QStringLiteral("av.avi")), kAvi);
    row(6)->setCheckState(0, Qt::Unchecked);

    QStringList lines;
    QTimer sampler;
    connect(&sampler, &QTimer::timeout, this, [&] {
        const QString line = ui()->labelShowState->text();
        if (!line.isEmpty() && !lines.contains(line))
            lines << line;
    });
    sampler.start(5);
    startRun();
    // The trimmed row counts its three seconds, not the source's twelve.
    QCOMPARE(run().run().totalSeconds(), 2 + 2 + 2 + 2 + 2 + 3);
    QVERIFY(waitForRunEnd());
    sampler.stop();

    struct Expected {
        QString video;
        QString audio;
        int width;
        int height;
        double seconds;
    };
    const QList<Expected> expected = {
        {QStringLiteral("mpeg4"), QString(), 320, 240, 2.0},
        {QStringLiteral("mpeg4"), QString(), 640, 480, 2.0},
        {QString(), QStringLiteral("mp3"), 0, 0, 2.0},
        {QStringLiteral("h264"), QString(), 0, 0, 2.0},
        {QStringLiteral("wmv2"), QString(), 0, 0, 2.0},
        {QStringLiteral("h264"), QString(), 0, 0, 3.0},
    };
    for (int index = 0; index < expected.size(); ++index) {
        const QString output = outputOf(index);
        QCOMPARE(statusOf(index), QStringLiteral("finished"));
        QCOMPARE(row(index)->checkState(0), Qt::Unchecked);
        QVERIFY(!statusPicture(row(index)).isEmpty());
        const Facts got = facts(output);
        QVERIFY2(qAbs(got.seconds - expected[index].seconds) < 0.5,
                 qPrintable(output + QStringLiteral(": %1 s").arg(got.seconds)));
        QCOMPARE(got.videoCodec, expected[index].video);
        if (!expected[index].audio.isEmpty())
            QCOMPARE(got.audioCodec, expected[index].audio);
        else
            QVERIFY2(!got.audioCodec.isEmpty(), qPrintable(output));
        if (expected[index].width > 0) {
            QCOMPARE(got.width, expected[index].width);
            QCOMPARE(got.height, expected[index].height);
        }
    }
    // The Xvid job keeps its 16:9 source's shape in a 640x480 frame.
    QCOMPARE(facts(outputOf(1)).displayRatio, QStringLiteral("16:9"));
    QCOMPARE(row(6)->checkState(0), Qt::Unchecked);
    QVERIFY(!QFile::exists(outputOf(6)));
    QCOMPARE(row(6)->text(2), QStringLiteral("Ready"));

    // The progress line showed sensible times while the run went on.
    QVERIFY(!lines.isEmpty());
    const QRegularExpression shape(QStringLiteral(
        "^Total progress:  (\\d+)%     Elapsed Time:  (\\d\\d):(\\d\\d):(\\d\\d)     "
        "Remaining Time:  (\\d\\d):(\\d\\d):(\\d\\d)$"));
    for (const QString &line : lines) {
        const QRegularExpressionMatch match = shape.match(line);
        QVERIFY2(match.hasMatch(), qPrintable(line));
        QVERIFY(match.captured(1).toInt() <= 99);
        QCOMPARE(match.captured(2), QStringLiteral("00")); // well under an hour
        QCOMPARE(match.captured(5), QStringLiteral("00"));
    }

    // The end of the run.
    QCOMPARE(ui()->labelShowState->text(), QString());
    QCOMPARE(ui()->progressAll->value(), 0);
    QCOMPARE(ui()->progressAll->maximum(), 100);
    QVERIFY(!ui()->StopConvertePushButton->isEnabled());
    QVERIFY(!ui()->PausePushButton->isEnabled());
    QVERIFY(!ui()->PauseContinue->isVisibleTo(window));
    QVERIFY(ui()->ConvertePushButton->isVisibleTo(window));
    QVERIFY(ui()->AddFile->isEnabled());
    QCOMPARE(run().run().jobNumber(), 0);
    QVERIFY(!run().isActive());
    QVERIFY(!jobTick()->isActive());
    QVERIFY(!shutdownTimer()->isActive());
}

void tst_RunConversions::failedJobsDoNotStopTheRun() {
    // A file that went away after it was added.
    const QString gone = out->filePath(QStringLiteral("gone.mp4"));
    QVERIFY(QFile::copy(media(QStringLiteral("av.mp4")), gone));
    addClip(media(QStringLiteral("av.avi")), kAvi);
    addClip(gone, kMp4);
    addClip(media(QStringLiteral("av.mov")), kMp4);
    QVERIFY(QFile::remove(gone));

    startRun();
    QVERIFY(waitForRunEnd());
    QCOMPARE(statusOf(0), QStringLiteral("finished"));
    QCOMPARE(statusOf(1), QStringLiteral("error"));
    QCOMPARE(statusOf(2), QStringLiteral("finished"));
    // The failed row keeps its check and its picture for another try.
    QCOMPARE(row(0)->checkState(0), Qt::Unchecked);
    QCOMPARE(row(1)->checkState(0), Qt::Checked);
    QCOMPARE(row(2)->checkState(0), Qt::Unchecked);
    QVERIFY(!statusPicture(row(1)).isEmpty());
    QVERIFY(!QFile::exists(outputOf(1)));
    QVERIFY(facts(outputOf(2)).seconds > 1.5);

    // A second run converts only what is still checked, and fails it again.
    startRun();
    QVERIFY(waitForRunEnd());
    QCOMPARE(statusOf(0), QStringLiteral("finished"));
    QCOMPARE(statusOf(1), QStringLiteral("error"));
    QCOMPARE(row(1)->checkState(0), Qt::Checked);
}

void tst_RunConversions::failedRowSaysWhy() {
    // A source that went away, and an output name too long for the folder.
    const QString gone = out->filePath(QStringLiteral("gone.mp4"));
    QVERIFY(QFile::copy(media(QStringLiteral("av.mp4")), gone));
    addClip(gone, kMp4);
    QVERIFY(QFile::remove(gone));
    addClip(media(QStringLiteral("av.avi")), kMp4);
    ArgumentList arguments = FileRow::arguments(row(1));
    Arguments::setOutputPath(arguments, out->filePath(QString(300, QLatin1Char('n')) + ".mp4"));
    FileRow::setArguments(row(1), arguments);

    startRun();
    QVERIFY(waitForRunEnd());
    const QStringList reasons = {QStringLiteral("No such file or directory"),
                                 QStringLiteral("File name too long")};
    for (int index = 0; index < reasons.size(); ++index) {
        QCOMPARE(statusOf(index), QStringLiteral("error"));
        const QString tip = row(index)->toolTip(FileRow::StatusColumn);
        QVERIFY2(tip.contains(reasons.at(index)) && !tip.contains('\n'), qPrintable(tip));
        QCOMPARE(statusPicture(row(index)), FileRow::kPictureError);
    }
}

// A transcoder that says it is done and exits 0, but left nothing at the
// output's name, or an empty file: the row failed, and says why.
void tst_RunConversions::finishedOnlyWithItsOutput() {
    QTemporaryDir tools;
    for (const QString &entry : QDir(m_stage).entryList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
        if (entry != QStringLiteral("korvex"))
            QVERIFY(QFile::link(m_stage + QLatin1Char('/') + entry, tools.filePath(entry)));
    }
    QVERIFY(writeFile(tools.filePath(QStringLiteral("korvex")),
                      "#!/bin/sh\n"
                      "for output; do :; done\n"
                      "case \"$output\" in *empty*) : > \"$output\";; esac\n"
                      "echo 'frame=   50 fps=0.0 q=3.5 Lsize=     162kB time=00:00:02.00' >&2\n"
                      "echo 'video:116kB audio:32kB subtitle:0kB global headers:0kB muxing "
                      "overhead 8.6%' >&2\n"));
    QVERIFY(QFile::setPermissions(tools.filePath(QStringLiteral("korvex")),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    addClip(media(QStringLiteral("av.mp4")), kMp4);
    addClip(media(QStringLiteral("av.avi")), kMp4);
    ArgumentList arguments = FileRow::arguments(row(1));
    Arguments::setOutputPath(arguments, out->filePath(QStringLiteral("empty.mp4")));
    FileRow::setArguments(row(1), arguments);
    Platform::setInstallDir(tools.path());

    startRun();
    QVERIFY(waitForRunEnd());
    const QStringList reasons = {QStringLiteral("without writing"), QStringLiteral("empty")};
    for (int index = 0; index < reasons.size(); ++index) {
        QCOMPARE(statusOf(index), QStringLiteral("error"));
        QCOMPARE(row(index)->checkState(0), Qt::Checked);
        const QString tip = row(index)->toolTip(FileRow::StatusColumn);
        QVERIFY2(tip.contains(reasons.at(index)) && tip.contains(outputOf(index)), qPrintable(tip));
    }
}

void tst_RunConversions::sourceThatChangedIsProbedAgain() {
    // Listed while it was still being written: two seconds then, twelve now.
    // The second row's edit (an effect) converts through its script.
    QTemporaryDir sources;
    const QStringList growing = {sources.filePath(QStringLiteral("growing.mp4")),
                                 sources.filePath(QStringLiteral("edited.mp4"))};
    for (const QString &path : growing) {
        QVERIFY(QFile::copy(media(QStringLiteral("av.mp4")), path));
        addClip(path, kMp4);
    }
    editRow(1, {QString(answerFor(0, 0)).replace("-saturation 0", "-saturation 20")});
    QCOMPARE(row(1)->text(FileRow::SourceDurationColumn), QStringLiteral("00:00:02"));
    for (const QString &path : growing) {
        QVERIFY(QFile::remove(path));
        QVERIFY(QFile::copy(media(QStringLiteral("long.mp4")), path));
    }

    startRun();
    QVERIFY(waitForRunEnd());
    for (int index = 0; index < growing.size(); ++index) {
        QCOMPARE(statusOf(index), QStringLiteral("finished"));
        QCOMPARE(row(index)->text(FileRow::SourceDurationColumn), QStringLiteral("00:00:12"));
        QCOMPARE(row(index)->text(FileRow::OutputDurationColumn), QStringLiteral("00:00:12"));
        QCOMPARE(FileRow::mediaInfo(row(index)).at(FileRow::DurationSeconds), QStringLiteral("12"));
        QVERIFY2(qAbs(facts(outputOf(index)).seconds - 12.0) < 0.5, qPrintable(outputOf(index)));
    }
}

void tst_RunConversions::transcoderThatCannotStart() {
    addClip(media(QStringLiteral("av.mp4")), kMp4);
    addClip(media(QStringLiteral("av.avi")), kMp4);
    QTemporaryDir empty;
    Platform::setInstallDir(empty.path()); // no transcoder there
    startRun();
    QVERIFY(waitForRunEnd(10000));
    QCOMPARE(statusOf(0), QStringLiteral("error"));
    QCOMPARE(statusOf(1), QStringLiteral("error"));
    QCOMPARE(row(0)->checkState(0), Qt::Checked);
    QVERIFY(!ui()->StopConvertePushButton->isEnabled());
}

void tst_RunConversions::unreadableProfileConvertsNothing() {
    // The installation's AVI profile is broken while the program runs.
    QTemporaryDir damaged;
    QVERIFY(QDir(damaged.path()).mkpath(QStringLiteral("profile")));
    QVERIFY(QFile::link(m_stage + QStringLiteral("/korvex"), damaged.filePath("korvex")));
    QFile broken(damaged.filePath(QStringLiteral("profile/avi.format.xml")));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("<profile><vcodec default=");
    broken.close();
    Platform::setInstallDir(damaged.path());

    addClip(media(QStringLiteral("av.mp4")), kAvi);
    QStringList told;
    for (const QMessageBox *box : window->findChildren<QMessageBox *>())
        told << box->text();
    QVERIFY2(told.join(QLatin1Char('\n')).contains(QLatin1String("profile/avi.format.xml")),
             qPrintable(told.join(QLatin1Char('\n'))));

    startRun();
    QVERIFY(waitForRunEnd());
    QCOMPARE(statusOf(0), QStringLiteral("error"));
    QVERIFY(!QFile::exists(outputOf(0)));
}

void tst_RunConversions::stopEndsTheRunningJob() {
    addClip(media(QStringLiteral("long.mp4")), kMp4);
    makeSlow(0);
    addClip(media(QStringLiteral("av.mp4")), kMp4);
    startRun();
    QVERIFY(waitForProgress(0));
    QVERIFY(!ui()->labelShowState->text().isEmpty());

    QTest::mouseClick(ui()->StopConvertePushButton, Qt::LeftButton);
    QVERIFY(!run().isActive());
    // The stop does not wait for the transcoder; it ends on its own soon after.
    QTRY_VERIFY_WITH_TIMEOUT(!run().job().isRunning(), kEventTimeoutMs);
    QCOMPARE(ui()->labelShowState->text(), QString());
    QCOMPARE(statusOf(0), QStringLiteral("stopped"));
    QVERIFY(!statusPicture(row(0)).isEmpty());
    QCOMPARE(row(0)->checkState(0), Qt::Checked);
    // No half file, under the output's name or beside it.
    QTRY_COMPARE(filesIn(out->path()), QStringList());
    // The next row never started.
    QCOMPARE(row(1)->text(2), QStringLiteral("waiting"));
    QCOMPARE(StatusCell::progress(row(1)), StatusCell::kNoBar);
    QCOMPARE(ui()->progressAll->value(), 0);
    QVERIFY(!run().isActive());
    QVERIFY(!ui()->StopConvertePushButton->isEnabled());
    QVERIFY(!ui()->PausePushButton->isEnabled());
    // No tick is left to start another job.
    QVERIFY(!jobTick()->isActive());
    QVERIFY(!run().job().isRunning());
}

void tst_RunConversions::rowUncheckedDuringTheRunIsSkipped() {
    addClip(media(QStringLiteral("av.mp4")), kMp4);
    addClip(media(QStringLiteral("av.avi")), kMp4);
    startRun();
    // The folder the run writes into holds still while it lasts.
    QVERIFY(!ui()->browsePushButton->isEnabled());
    row(1)->setCheckState(0, Qt::Unchecked);
    QVERIFY(waitForRunEnd());
    QCOMPARE(statusOf(0), QStringLiteral("finished"));
    // Skipped: as it was before the run, not waiting.
    QCOMPARE(row(1)->text(2), QStringLiteral("Ready"));
    QVERIFY(statusPicture(row(1)).isEmpty());
    QVERIFY(ui()->browsePushButton->isEnabled());

    // A row that showed how an earlier run ended shows that again.
    row(0)->setCheckState(0, Qt::Checked);
    row(1)->setCheckState(0, Qt::Checked);
    startRun();
    row(0)->setCheckState(0, Qt::Unchecked);
    QVERIFY(waitForRunEnd());
    QCOMPARE(statusOf(1), QStringLiteral("finished"));
    QCOMPARE(row(0)->text(2), QString());
    QVERIFY(!statusPicture(row(0)).isEmpty());
    QCOMPARE(statusOf(0), QStringLiteral("finished"));
}

void tst_RunConversions::killedTranscoderLeavesNoPartFile() {
    addClip(media(QStringLiteral("long.mp4")), kMp4);
    makeSlow(0);
    startRun();
    QVERIFY(waitForProgress(0));
    QVERIFY2(filesIn(out->path()).filter(QStringLiteral(".korvex-")).size() == 1,
             qPrintable(filesIn(out->path()).join(QLatin1Char(' '))));

    QVERIFY(::kill(pid_t(run().job().processId()), SIGKILL) == 0);
    QVERIFY(waitForRunEnd());
    QCOMPARE(statusOf(0), QStringLiteral("error"));
    // Removed in the background, as the share it may be on could hang.
    QTRY_COMPARE(filesIn(out->path()), QStringList());
}

// The output folder is the sources' own: party.mp4 would be converted to
// party.avi, which is listed too.
void tst_RunConversions::outputNeverReplacesAListedSource() {
    QTemporaryDir sources;
    const QString mp4 = sources.filePath(QStringLiteral("party.mp4"));
    const QString avi = sources.filePath(QStringLiteral("party.avi"));
    QVERIFY(QFile::copy(media(QStringLiteral("av.mp4")), mp4));
    QVERIFY(QFile::copy(media(QStringLiteral("av.avi")), avi));
    const QByteArray original = contentOf(avi);
    // Typed into the field, as a user does.
    ui()->PathLine->selectAll();
    QTest::keyClicks(ui()->PathLine, sources.path());
    QTest::keyClick(ui()->PathLine, Qt::Key_Return);
    window->addPickedFiles({mp4, avi});
    QCOMPARE(ui()->treeWidget->topLevelItemCount(), 2);

    startRun();
    QVERIFY(waitForRunEnd());
    QCOMPARE(statusOf(0), QStringLiteral("finished"));
    QCOMPARE(statusOf(1), QStringLiteral("finished"));
    QVERIFY(contentOf(avi) == original);
    QVERIFY(outputOf(0) != outputOf(1));
    for (int index = 0; index < 2; ++index) {
        QVERIFY(outputOf(index) != mp4 && outputOf(index) != avi);
        QCOMPARE(row(index)->text(FileRow::OutputFileColumn),
                 QFileInfo(outputOf(index)).fileName());
        QVERIFY(facts(outputOf(index)).seconds > 1.5);
    }
}

// The user's own clip.avi in the output folder, and another that turns up
// there after the row was made: both stay, and each run takes a free name.
void tst_RunConversions::outputNeverReplacesAFileOnDisk() {
    QTemporaryDir sources;
    const QString source = sources.filePath(QStringLiteral("clip.mp4"));
    QVERIFY(QFile::copy(media(QStringLiteral("av.mp4")), source));
    QVERIFY(writeFile(out->filePath(QStringLiteral("clip.avi")), "mine"));
    addClip(source, kAvi);
    QCOMPARE(outputOf(0), out->filePath(QStringLiteral("clip1.avi")));

    QVERIFY(writeFile(out->filePath(QStringLiteral("clip1.avi")), "later"));
    startRun();
    QVERIFY(waitForRunEnd());
    QCOMPARE(statusOf(0), QStringLiteral("finished"));
    QCOMPARE(outputOf(0), out->filePath(QStringLiteral("clip2.avi")));
    QCOMPARE(row(0)->text(FileRow::OutputFileColumn), QStringLiteral("clip2.avi"));
    QCOMPARE(contentOf(out->filePath(QStringLiteral("clip.avi"))), QByteArray("mine"));
    QCOMPARE(contentOf(out->filePath(QStringLiteral("clip1.avi"))), QByteArray("later"));
    QVERIFY(facts(outputOf(0)).seconds > 1.5);

    // Converted again: beside the first run's file.
    row(0)->setCheckState(0, Qt::Checked);
    startRun();
    QVERIFY(waitForRunEnd());
    QCOMPARE(outputOf(0), out->filePath(QStringLiteral("clip3.avi")));
    QVERIFY(facts(out->filePath(QStringLiteral("clip2.avi"))).seconds > 1.5);
    QVERIFY(facts(outputOf(0)).seconds > 1.5);
}

// Someone saves a file under the row's output name while it converts: the
// file stays, and the row names the file the transcoder wrote instead.
void tst_RunConversions::fileSavedUnderTheNameDuringTheJobIsKept() {
    addClip(media(QStringLiteral("long.mp4")), kAvi);
    makeSlow(0);
    startRun();
    QVERIFY(waitForProgress(0));
    QFile mine(outputOf(0));
    QVERIFY(mine.open(QIODevice::WriteOnly | QIODevice::NewOnly));
    mine.write("mine");
    mine.close();
    QVERIFY(waitForRunEnd());
    QCOMPARE(statusOf(0), QStringLiteral("finished"));
    QCOMPARE(contentOf(out->filePath(QStringLiteral("long.avi"))), QByteArray("mine"));
    QCOMPARE(outputOf(0), out->filePath(QStringLiteral("long1.avi")));
    QCOMPARE(row(0)->text(FileRow::OutputFileColumn), QStringLiteral("long1.avi"));
    QVERIFY(facts(outputOf(0)).seconds > 11.5);
}

// A remembered output folder that was deleted since (a share that is not
// mounted): asked about, and made again only when the user says so.
void tst_RunConversions::missingOutputFolderIsMadeAgain() {
    const QString folder = out->filePath(QStringLiteral("gone/deeper"));
    QVERIFY(QDir().mkpath(folder));
    ui()->PathLine->setText(folder);
    addClip(media(QStringLiteral("av.mp4")), kMp4);
    QVERIFY(QDir(out->filePath(QStringLiteral("gone"))).removeRecursively());
    const std::shared_ptr<bool> stopped = answerQuestion(QStringLiteral("Stop"));
    window->on_ConvertePushButton_clicked();
    QTRY_VERIFY_WITH_TIMEOUT(*stopped, kEventTimeoutMs);
    QVERIFY(!run().isActive());
    QVERIFY(!QFileInfo::exists(out->filePath(QStringLiteral("gone"))));
    QCOMPARE(row(0)->text(2), QStringLiteral("Ready"));

    answerQuestion(QStringLiteral("Make It Again"));
    startRun();
    QVERIFY(waitForRunEnd());
    QCOMPARE(statusOf(0), QStringLiteral("finished"));
    QVERIFY(facts(outputOf(0)).seconds > 1.5);

    // One that cannot be made again: told once, and nothing starts.
    QVERIFY(writeFile(out->filePath(QStringLiteral("blocker")), "a file"));
    ui()->PathLine->setText(out->filePath(QStringLiteral("blocker/sub")));
    addClip(media(QStringLiteral("av.avi")), kMp4);
    window->on_ConvertePushButton_clicked();
    QTRY_VERIFY_WITH_TIMEOUT(!window->findChildren<QMessageBox *>().isEmpty(), kEventTimeoutMs);
    QVERIFY(!run().isActive());
    QCOMPARE(row(1)->text(2), QStringLiteral("Ready"));
    const QList<QMessageBox *> told = window->findChildren<QMessageBox *>();
    QCOMPARE(told.size(), 1);
    QVERIFY2(told.first()->text().contains(out->filePath(QStringLiteral("blocker"))),
             qPrintable(told.first()->text()));
    told.first()->close();
}

// The question about a gone Destination always settles Convert's start: an
// answer that a stop has overtaken makes nothing and starts nothing, and a
// receiver that lets the question go unanswered leaves Convert working.
void tst_RunConversions::folderGoneAnswerNeverHoldsConvert() {
    const QString folder = out->filePath(QStringLiteral("gone"));
    QVERIFY(QDir().mkpath(folder));
    ui()->PathLine->setText(folder);
    addClip(media(QStringLiteral("av.mp4")), kMp4);
    QVERIFY(QDir(folder).removeRecursively());
    QSignalSpy ready(&run(), &ConversionController::outputFoldersReady);

    bool answered = false;
    whenModalOpens<QMessageBox>(
        [&](QMessageBox *box) {
            window->on_StopConvertePushButton_clicked();
            QVERIFY(!run().isCheckingFolders());
            for (QAbstractButton *choice : box->buttons()) {
                if (choice->text() == QStringLiteral("Make It Again")) {
                    answered = true;
                    choice->click();
                }
            }
        },
        kEventTimeoutMs);
    window->on_ConvertePushButton_clicked();
    QTRY_VERIFY_WITH_TIMEOUT(answered, kEventTimeoutMs);

    QVERIFY(disconnect(&run(), &ConversionController::folderGone, window, nullptr));
    int asked = 0;
    connect(&run(), &ConversionController::folderGone, this, [&asked] { ++asked; });
    window->on_ConvertePushButton_clicked();
    // The folder work answers in turn: a look that the overtaken answer
    // asked for would have made the folder by now.
    QTRY_COMPARE_WITH_TIMEOUT(asked, 1, kEventTimeoutMs);
    QVERIFY(!QFileInfo::exists(folder));
    QVERIFY(ready.isEmpty());
    QVERIFY(!run().isActive());
    QVERIFY(!run().isCheckingFolders());
    window->on_ConvertePushButton_clicked();
    QTRY_COMPARE_WITH_TIMEOUT(asked, 2, kEventTimeoutMs);
    QCOMPARE(row(0)->text(2), QStringLiteral("Ready"));
}

// The typed Destination has gone, and its share stops answering when Convert
// is clicked: the click gives the window back at once, and the question
// comes once the folder answers.
void tst_RunConversions::convertNeverWaitsOnTheFolder() {
    const QString folder = out->filePath(QStringLiteral("share"));
    QVERIFY(QDir().mkpath(folder));
    ui()->PathLine->setText(folder);
    addClip(media(QStringLiteral("av.mp4")), kMp4);
    QVERIFY(QDir(folder).removeRecursively());
    const std::shared_ptr<bool> asked = answerQuestion(QStringLiteral("Make It Again"));
    QSignalSpy ready(&run(), &ConversionController::outputFoldersReady);
    {
        FolderGate gate;
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(ui()->ConvertePushButton, Qt::LeftButton);
        constexpr int kAtOnceMs = 2000;
        QVERIFY2(clock.elapsed() < kAtOnceMs, qPrintable(QString::number(clock.elapsed())));
        bool ticked = false;
        QTimer::singleShot(50, window, [&] { ticked = true; });
        QTRY_VERIFY_WITH_TIMEOUT(ticked, kEventTimeoutMs);
        QVERIFY(!*asked);
        QVERIFY(!run().isActive());
        QCOMPARE(row(0)->text(2), QStringLiteral("Ready"));
        // A second click while the first is answered starts nothing more.
        window->on_ConvertePushButton_clicked();
        gate.open();
        QTRY_VERIFY_WITH_TIMEOUT(*asked, kEventTimeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(ready.size(), 1, kEventTimeoutMs);
    }
    QVERIFY(waitForRunEnd());
    QCOMPARE(ready.size(), 1);
    QCOMPARE(statusOf(0), QStringLiteral("finished"));
    QVERIFY(facts(outputOf(0)).seconds > 1.5);
}

// Convert on a Destination that does not answer says that the folder is
// being checked, and Stop ends the wait: the answer that comes later
// starts nothing.
void tst_RunConversions::stopEndsTheFolderCheck() {
    addClip(media(QStringLiteral("av.mp4")), kMp4);
    QSignalSpy ready(&run(), &ConversionController::outputFoldersReady);
    {
        FolderGate gate;
        QTest::mouseClick(ui()->ConvertePushButton, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!ui()->labelShowState->text().isEmpty(), kEventTimeoutMs);
        QVERIFY(ui()->StopConvertePushButton->isEnabled());
        QTest::mouseClick(ui()->StopConvertePushButton, Qt::LeftButton);
        QVERIFY(ui()->labelShowState->text().isEmpty());
        QVERIFY(!ui()->StopConvertePushButton->isEnabled());
    }
    // The stale answer has come by the time the next Convert's does.
    startRun();
    QVERIFY(waitForRunEnd());
    QCOMPARE(ready.size(), 1);
    QCOMPARE(statusOf(0), QStringLiteral("finished"));
}

// The folder goes between Convert and the job's start (the share went away
// during the run): asked about again; where it cannot be made, the run ends
// there and says so once.
void tst_RunConversions::outputFolderGoneAtAJobsStart() {
    const QString folder = out->filePath(QStringLiteral("share"));
    QVERIFY(QDir().mkpath(folder));
    ui()->PathLine->setText(folder);
    addClip(media(QStringLiteral("av.mp4")), kMp4);
    bool asked = false;
    {
        // The Convert click's own look found the folder; the job's start
        // waits for the share.
        startRun();
        FolderGate gate;
        QVERIFY(QDir(folder).removeRecursively());
        whenModalOpens<QMessageBox>(
            [&](QMessageBox *box) {
                asked = box->text().contains(folder);
                for (QAbstractButton *choice : box->buttons()) {
                    if (choice->text() == QStringLiteral("Make It Again"))
                        choice->click();
                }
            },
            kEventTimeoutMs);
        gate.open();
        QVERIFY(waitForRunEnd());
    }
    QVERIFY(asked);
    QCOMPARE(statusOf(0), QStringLiteral("finished"));
    QVERIFY(facts(outputOf(0)).seconds > 1.5);

    addClip(media(QStringLiteral("av.avi")), kMp4);
    row(0)->setCheckState(0, Qt::Checked);
    {
        startRun();
        FolderGate gate;
        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(writeFile(folder, "a file where the folder was"));
        gate.open();
        QTRY_VERIFY_WITH_TIMEOUT(!run().isActive(), kEventTimeoutMs);
    }
    QCOMPARE(statusOf(0), QStringLiteral("error"));
    QCOMPARE(row(1)->text(2), QStringLiteral("Ready"));
    QVERIFY(!run().job().isRunning());
    const QList<QMessageBox *> told = window->findChildren<QMessageBox *>();
    QCOMPARE(told.size(), 1);
    QVERIFY2(told.first()->text().contains(folder), qPrintable(told.first()->text()));
    told.first()->close();
}

// A Destination share that stops answering while a job runs: the transcoder
// does not end when asked, and removing its part file would hang. Stop gives
// the window back at once all the same, and the clean-up follows later.
void tst_RunConversions::stopNeverWaitsOnTheFolder() {
    addClip(media(QStringLiteral("long.mp4")), kMp4);
    makeSlow(0);
    startRun();
    QVERIFY(waitForProgress(0));
    const qint64 pid = run().job().processId();
    const QString part = TranscoderJob::partFilePath(outputOf(0), pid);
    QVERIFY2(QFile::exists(part), qPrintable(part));
    // Held by a tracer, the transcoder takes no signal but a kill, like one
    // blocked in the folder of a share that hangs.
    QVERIFY(::ptrace(PTRACE_SEIZE, pid_t(pid), nullptr, nullptr) == 0);
    FolderGate gate;

    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(ui()->StopConvertePushButton, Qt::LeftButton);
    constexpr int kAtOnceMs = 2000;
    QVERIFY2(clock.elapsed() < kAtOnceMs, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(statusOf(0), QStringLiteral("stopped"));
    QVERIFY(!run().isActive());
    QVERIFY(!ui()->StopConvertePushButton->isEnabled());
    QVERIFY(ui()->ConvertePushButton->isVisibleTo(window));
    bool ticked = false;
    QTimer::singleShot(50, window, [&] { ticked = true; });
    QTRY_VERIFY_WITH_TIMEOUT(ticked, kEventTimeoutMs);

    // Ended for good: what it left goes once the folder answers again.
    QVERIFY(::kill(pid_t(pid), SIGKILL) == 0);
    // Its end has been seen to by now; the removal waits for the folder.
    QTRY_VERIFY_WITH_TIMEOUT(!run().job().isRunning(), kEventTimeoutMs);
    QVERIFY(QFile::exists(part));
    gate.open();
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(part), kEventTimeoutMs);
}

// The stop reaches the transcoder once it has begun to give the file its
// name: the file is there, and the row says finished, not stopped.
void tst_RunConversions::stopDuringThePublishIsNotLost() {
    QTemporaryDir dir;
    TestFsMount share(dir.path(), {QStringLiteral("--gated=rename")}, TestFsMount::WithGate);
    if (!share.isMounted())
        QSKIP(qPrintable(share.whyNot()));
    ui()->PathLine->setText(share.path());
    addClip(media(QStringLiteral("long.mp4")), kMp4);
    makeSlow(0);
    startRun();
    QVERIFY(waitForProgress(0));
    share.closeGate();
    QTRY_VERIFY_WITH_TIMEOUT(share.callsHeld(), kRunTimeoutMs);

    QTest::mouseClick(ui()->StopConvertePushButton, Qt::LeftButton);
    QCOMPARE(statusOf(0), QStringLiteral("stopped"));
    share.openGate();
    QTRY_VERIFY_WITH_TIMEOUT(!run().job().isRunning(), kEventTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(statusOf(0), QStringLiteral("finished"), kEventTimeoutMs);
    QCOMPARE(row(0)->checkState(0), Qt::Unchecked);
    QVERIFY(qAbs(facts(outputOf(0)).seconds - 12.0) < 0.5);
}

// The window closes while its job writes onto a share that does not answer:
// the transcoder cannot end at once, and what it wrote goes once the share
// answers again.
void tst_RunConversions::closingOnAFrozenShareLeavesNoPartFile() {
    QTemporaryDir dir;
    TestFsMount share(dir.path(), {}, TestFsMount::WithGate);
    if (!share.isMounted())
        QSKIP(qPrintable(share.whyNot()));
    ui()->PathLine->setText(share.path());
    addClip(media(QStringLiteral("long.mp4")), kMp4);
    makeSlow(0);
    startRun();
    QVERIFY(waitForProgress(0));
    QCOMPARE(filesIn(share.backing()).size(), 1);
    share.closeGate();
    QTRY_VERIFY_WITH_TIMEOUT(share.callsHeld(), kEventTimeoutMs);

    window->close();
    delete window;
    window = nullptr;
    QCOMPARE(filesIn(share.backing()).size(), 1);
    share.openGate();
    QTRY_COMPARE_WITH_TIMEOUT(filesIn(share.backing()), QStringList(), kEventTimeoutMs);
}

void tst_RunConversions::windowAnswersWhileTheDestinationHangs_data() {
    QTest::addColumn<QString>("action");
    for (const char *action : {"type", "add", "browse", "preferences", "open"})
        QTest::newRow(action) << QString::fromLatin1(action);
}

// With the Destination on a share that stops answering, each of these leaves
// the window's thread free: typing the share, a file added, and the folder
// dialogs that would start at the share (Browse, Preferences' Browse, Add
// File at the folder last added from). The rows take their names in that
// folder once it answers.
void tst_RunConversions::windowAnswersWhileTheDestinationHangs() {
    QFETCH(QString, action);
    QTemporaryDir dir;
    TestFsMount share(dir.path(), {}, TestFsMount::WithGate);
    if (!share.isMounted())
        QSKIP(qPrintable(share.whyNot()));
    const auto typeDestination = [this, &share] {
        ui()->PathLine->selectAll();
        QTest::keyClicks(ui()->PathLine, share.path());
        QTest::keyClick(ui()->PathLine, Qt::Key_Return);
    };
    addClip(media(QStringLiteral("av.mp4")), kMp4);
    if (action != QStringLiteral("type")) {
        // Set while the share answers: the Destination, and the last folder
        // a file was added from.
        const QString onShare = share.path() + QStringLiteral("/audio.wav");
        QVERIFY(QFile::copy(media(QStringLiteral("audio.wav")), onShare));
        window->addPickedFiles({onShare});
        typeDestination();
        QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(outputOf(0)).absolutePath(), share.path(),
                                  kEventTimeoutMs);
    }
    share.closeGate();
    // A window that waited on the share would never see the gate open.
    static constexpr int kHeldForMs = 5000;
    const TestFsMount::LateOpener opener(share, kHeldForMs);
    // The share answers once the window has gone on for a few turns while
    // it held a call.
    constexpr int kTurnsWhileHeld = 5;
    QElapsedTimer sinceTick;
    sinceTick.start();
    qint64 longestGap = 0;
    int turnsWhileHeld = 0;
    QTimer tick;
    connect(&tick, &QTimer::timeout, this, [&] {
        longestGap = std::max(longestGap, sinceTick.restart());
        if (share.callsHeld() && ++turnsWhileHeld == kTurnsWhileHeld)
            share.openGate();
    });
    tick.start(20);

    const auto cancelFolderDialog = [] {
        whenModalOpens<QFileDialog>([](QFileDialog *dialog) { dialog->reject(); });
    };
    if (action == QStringLiteral("type")) {
        typeDestination();
    } else if (action == QStringLiteral("add")) {
        window->addPickedFiles({media(QStringLiteral("audio.wav"))});
    } else if (action == QStringLiteral("browse")) {
        cancelFolderDialog();
        QTest::mouseClick(ui()->browsePushButton, Qt::LeftButton);
    } else if (action == QStringLiteral("preferences")) {
        whenModalOpens<preferenceDialog>([&cancelFolderDialog](preferenceDialog *dialog) {
            cancelFolderDialog();
            QTest::mouseClick(
                dialog->findChild<QPushButton *>(QStringLiteral("BrowseOutputButton")),
                Qt::LeftButton);
            QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("pushButtonOK")),
                              Qt::LeftButton);
        });
        window->preferenceFun();
    } else {
        cancelFolderDialog();
        QTest::mouseClick(ui()->AddFile, Qt::LeftButton);
    }
    // The share was asked, and held the asking: not the window's thread.
    QTRY_VERIFY_WITH_TIMEOUT(turnsWhileHeld >= kTurnsWhileHeld, kHeldForMs / 2);
    longestGap = std::max(longestGap, sinceTick.elapsed());
    QVERIFY2(longestGap < kHeldForMs / 2, qPrintable(QStringLiteral("%1 ms").arg(longestGap)));

    const int rows = action == QStringLiteral("type") ? 1 : action == QStringLiteral("add") ? 3 : 2;
    QTRY_COMPARE_WITH_TIMEOUT(ui()->treeWidget->topLevelItemCount(), rows, kEventTimeoutMs);
    for (int index = 0; index < rows; ++index)
        QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(outputOf(index)).absolutePath(), share.path(),
                                  kEventTimeoutMs);
}

// Left by jobs that lost their share, under other names: the next run into
// the folder takes away what this machine's ended jobs left, and nothing of
// another machine's.
void tst_RunConversions::partFilesLeftInTheFolderGo() {
    QProcess ended;
    ended.start(QStringLiteral("true"));
    QVERIFY(ended.waitForStarted());
    const qint64 gone = ended.processId();
    QVERIFY(ended.waitForFinished());
    const QString ours =
        TranscoderJob::partFilePath(out->filePath(QStringLiteral("old.avi")), gone);
    const QString theirs =
        out->filePath(QStringLiteral(".old.avi.korvex-elsewhere-%1.part").arg(gone));
    QVERIFY(writeFile(ours, "unfinished"));
    QVERIFY(writeFile(theirs, "unfinished"));
    addClip(media(QStringLiteral("av.mp4")), kMp4);
    startRun();
    QVERIFY(waitForRunEnd());
    QCOMPARE(statusOf(0), QStringLiteral("finished"));
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(ours), kEventTimeoutMs);
    QVERIFY(QFile::exists(theirs));
}

void tst_RunConversions::pauseHoldsTheJobAndItsClock() {
    addClip(media(QStringLiteral("long.mp4")), kMp4);
    makeSlow(0);
    QElapsedTimer wall;
    wall.start();
    startRun();
    QVERIFY(waitForProgress(0));

    const qint64 pid = run().job().processId();
    const QList<qint64> children = childrenOf(pid);
    QVERIFY(!children.isEmpty());
    QSignalSpy progressed(&run(), &ConversionController::progressed);
    QTest::mouseClick(ui()->PausePushButton, Qt::LeftButton);
    // Held: the transcoder the listing showed is ours.
    QTRY_VERIFY_WITH_TIMEOUT(run().isPaused(), kEventTimeoutMs);
    QVERIFY(run().job().isPaused());
    QCOMPARE(run().job().processId(), pid);
    QTRY_COMPARE_WITH_TIMEOUT(processState(pid), 'T', kEventTimeoutMs);
    for (const qint64 child : children)
        QTRY_COMPARE_WITH_TIMEOUT(processState(child), 'T', kEventTimeoutMs);
    QVERIFY(ui()->PauseContinue->isVisibleTo(window));
    QVERIFY(!ui()->ConvertePushButton->isVisibleTo(window));
    QVERIFY(!ui()->PausePushButton->isEnabled());

    // Progress written just before the stop is still on its way: it lands
    // until the pipe is quiet.
    while (progressed.wait(kSettleMs)) {
    }
    const qint64 elapsedAtPause = run().run().elapsedMs();
    const int barAtPause = StatusCell::progress(row(0));
    constexpr int kPauseMs = 2000;
    // No progress at all while it is held.
    QVERIFY(!progressed.wait(kPauseMs));
    QVERIFY(run().run().elapsedMs() - elapsedAtPause < 100);
    QCOMPARE(StatusCell::progress(row(0)), barAtPause);
    QVERIFY(run().job().isRunning());

    QTest::mouseClick(ui()->PauseContinue, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!run().isPaused(), kEventTimeoutMs);
    QVERIFY(!run().job().isPaused());
    QTRY_VERIFY_WITH_TIMEOUT(processState(pid) != 'T', kEventTimeoutMs);
    for (const qint64 child : children)
        QTRY_VERIFY_WITH_TIMEOUT(processState(child) != 'T', kEventTimeoutMs);
    QVERIFY(!ui()->PauseContinue->isVisibleTo(window));
    QVERIFY(ui()->ConvertePushButton->isVisibleTo(window));
    QVERIFY(ui()->PausePushButton->isEnabled());

    QVERIFY(waitForRunEnd());
    QCOMPARE(statusOf(0), QStringLiteral("finished"));
    QVERIFY(qAbs(facts(outputOf(0)).seconds - 12.0) < 0.5);
    // The run's clock left the pause out.
    QVERIFY2(wall.elapsed() - run().run().elapsedMs() >= kPauseMs - 200,
             qPrintable(QStringLiteral("%1 ms wall, %2 ms counted")
                            .arg(wall.elapsed())
                            .arg(run().run().elapsedMs())));
}

void tst_RunConversions::stopWhilePaused() {
    addClip(media(QStringLiteral("long.mp4")), kMp4);
    makeSlow(0);
    startRun();
    QVERIFY(waitForProgress(0));
    const qint64 pid = run().job().processId();
    const QList<qint64> children = childrenOf(pid);
    QTest::mouseClick(ui()->PausePushButton, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(processState(pid), 'T', kEventTimeoutMs);

    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(ui()->StopConvertePushButton, Qt::LeftButton);
    // Continued and ended by its own stop, not killed after the grace time.
    QTRY_VERIFY_WITH_TIMEOUT(!run().job().isRunning(), kEventTimeoutMs);
    QVERIFY(clock.elapsed() < TranscoderJob::kStopGraceMs);
    QCOMPARE(run().job().process().exitStatus(), QProcess::NormalExit);
    for (const qint64 child : children)
        QTRY_COMPARE_WITH_TIMEOUT(processState(child), char(0), kEventTimeoutMs);
    QCOMPARE(statusOf(0), QStringLiteral("stopped"));
    QTRY_COMPARE(filesIn(out->path()), QStringList());
    QCOMPARE(ui()->labelShowState->text(), QString());
    QVERIFY(!run().isPaused());
    QVERIFY(!ui()->PauseContinue->isVisibleTo(window));
    QVERIFY(ui()->ConvertePushButton->isVisibleTo(window));
}

void tst_RunConversions::hungSuspenderLeavesTheWindowAnswering() {
    addClip(media(QStringLiteral("long.mp4")), kMp4);
    makeSlow(0);
    startRun();
    QVERIFY(waitForProgress(0));
    QTemporaryDir tools;
    QVERIFY(writeTool(tools.filePath(QStringLiteral("haltwick")), "exec sleep 600\n"));
    Platform::setInstallDir(tools.path());
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(ui()->PausePushButton, Qt::LeftButton);
    Platform::setInstallDir(m_stage);
    QVERIFY2(clock.elapsed() < TranscoderJob::kToolTimeoutMs / 3,
             qPrintable(QStringLiteral("%1 ms").arg(clock.elapsed())));
    // The job goes on meanwhile, and the window shows it going on.
    QSignalSpy progressed(&run(), &ConversionController::progressed);
    QVERIFY(progressed.wait(kEventTimeoutMs));
    QVERIFY(!run().isPaused());
    QVERIFY(!ui()->PauseContinue->isVisibleTo(window));
    QVERIFY(ui()->ConvertePushButton->isVisibleTo(window));
}

void tst_RunConversions::failedContinueIsToldAndTheJobStaysPaused() {
    addClip(media(QStringLiteral("long.mp4")), kMp4);
    makeSlow(0);
    startRun();
    QVERIFY(waitForProgress(0));
    const qint64 pid = run().job().processId();
    QTest::mouseClick(ui()->PausePushButton, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(run().isPaused(), kEventTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(processState(pid), 'T', kEventTimeoutMs);

    QTemporaryDir tools;
    QVERIFY(writeTool(tools.filePath(QStringLiteral("haltwick")),
                      "echo 'haltwick: refused.' >&2\nexit 4\n"));
    Platform::setInstallDir(tools.path());
    QTest::mouseClick(ui()->PauseContinue, Qt::LeftButton);
    const auto told = [this] {
        for (const QMessageBox *box : window->findChildren<QMessageBox *>()) {
            if (box->text().contains(QStringLiteral("refused")))
                return true;
        }
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(told(), kEventTimeoutMs);
    Platform::setInstallDir(m_stage);
    QCOMPARE(processState(pid), 'T');
    QVERIFY(run().isPaused());
    QVERIFY(ui()->PauseContinue->isVisibleTo(window));
    QVERIFY(ui()->PauseContinue->isEnabled());
    QVERIFY(!ui()->ConvertePushButton->isVisibleTo(window));
}

// Space on Convert, then again and again on whatever has the focus: Pause
// and Continue take turns, and the job is never stopped.
void tst_RunConversions::keysLeaveTheJobAlone() {
    addClip(media(QStringLiteral("long.mp4")), kMp4);
    makeSlow(0);
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTRY_VERIFY(ui()->ConvertePushButton->isEnabled());
    ui()->ConvertePushButton->setFocus(Qt::TabFocusReason);
    QSignalSpy ready(&run(), &ConversionController::outputFoldersReady);
    QTest::keyClick(ui()->ConvertePushButton, Qt::Key_Space);
    QVERIFY(!ready.isEmpty() || ready.wait(kEventTimeoutMs));
    QVERIFY(waitForProgress(0));
    for (int press = 0; press < 4; ++press) {
        QWidget *focused = window->focusWidget();
        QTest::keyClick(focused, Qt::Key_Space);
        QVERIFY2(run().isActive(), qPrintable(focused->objectName()));
        // The buttons change once the suspender has answered.
        const bool held = press % 2 == 0;
        QTRY_COMPARE_WITH_TIMEOUT(run().isPaused(), held, kEventTimeoutMs);
        QTRY_COMPARE_WITH_TIMEOUT(ui()->PauseContinue->isVisibleTo(window), held,
                                  kEventTimeoutMs);
    }
    QVERIFY(run().job().isRunning());
    QCOMPARE(statusOf(0), QString());

    // Ctrl+O follows the greyed Add File: files picked now could not be listed.
    bool opened = false;
    QTimer answerer;
    connect(&answerer, &QTimer::timeout, &answerer, [&opened] {
        if (auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
            opened = true;
            dialog->reject();
        }
    });
    answerer.start(20);
    QTest::keyClick(window, Qt::Key_O, Qt::ControlModifier);
    answerer.stop();
    QVERIFY(!opened);
    QVERIFY(run().job().isRunning());
}

void tst_RunConversions::fullBarDoesNotEndAWorkingJob() {
    addClip(media(QStringLiteral("long.mp4")), kMp4);
    makeSlow(0);
    startRun();
    QVERIFY(waitForProgress(0));
    const qint64 pid = run().job().processId();
    QSignalSpy ticks(&run(), &ConversionController::jobAtWork);
    StatusCell::setProgress(row(0), 100);
    // The tick has looked at the full bar a few times.
    constexpr int kTicks = 5;
    QTRY_VERIFY_WITH_TIMEOUT(ticks.size() >= kTicks, kEventTimeoutMs);
    QCOMPARE(run().job().processId(), pid);
    QVERIFY(waitForRunEnd());
    QCOMPARE(run().job().process().exitCode(), 0);
    QCOMPARE(statusOf(0), QStringLiteral("finished"));
    QVERIFY(qAbs(facts(outputOf(0)).seconds - 12.0) < 0.5);
}

void tst_RunConversions::unknownLengthShowsABusyBar() {
    addClip(media(QStringLiteral("long.mp4")), kMp4);
    makeSlow(0);
    row(0)->setText(FileRow::SourceDurationColumn, QString()); // the probe found no length
    startRun();
    QTRY_VERIFY_WITH_TIMEOUT(StatusCell::progress(row(0)) != StatusCell::kNoBar &&
                                 run().job().isRunning(),
                             kEventTimeoutMs);
    QCOMPARE(StatusCell::progress(row(0)), StatusCell::kBusy);
    QTRY_COMPARE_WITH_TIMEOUT(ui()->progressAll->maximum(), 0, kEventTimeoutMs);
    QVERIFY(run().job().isRunning());
    QCOMPARE(StatusCell::progress(row(0)), StatusCell::kBusy);
    QVERIFY(waitForRunEnd());
    QCOMPARE(statusOf(0), QStringLiteral("finished"));
    QCOMPARE(ui()->progressAll->maximum(), 100);
    QVERIFY(qAbs(facts(outputOf(0)).seconds - 12.0) < 0.5);
}

void tst_RunConversions::fullDiskStopsTheRun() {
    // A real full disk: one megabyte of memory file system. Mounted where
    // the file-call helpers started ahead of need see it too.
    QTemporaryDir small;
    if (::geteuid() != 0 ||
        ::mount("tmpfs", QFile::encodeName(small.path()).constData(), "tmpfs", 0, "size=1m") != 0)
        QSKIP("A size-limited folder needs root.");
    const auto unmount = qScopeGuard(
        [&small] { ::umount2(QFile::encodeName(small.path()).constData(), MNT_DETACH); });
    ui()->PathLine->setText(small.path());

    addClip(media(QStringLiteral("long.mp4")), kMp4);
    makeSlow(0);
    addClip(media(QStringLiteral("av.mp4")), kMp4);
    QVERIFY(outputOf(0).startsWith(small.path()));

    bool noticeShown = false;
    whenModalOpens<maxDriverDialog>(
        [&](maxDriverDialog *notice) {
            noticeShown = true;
            // However it is closed, the run stays stopped.
            QVERIFY(!run().isActive());
            notice->close();
        },
        kRunTimeoutMs);
    startRun();
    QVERIFY(waitForRunEnd());
    QTRY_VERIFY_WITH_TIMEOUT(noticeShown, kEventTimeoutMs);
    QCOMPARE(statusOf(0), QStringLiteral("error"));
    // The red cross says what the drive answered.
    const QString tip = row(0)->toolTip(FileRow::StatusColumn);
    QVERIFY2(tip.contains(QStringLiteral("No space left on device")), qPrintable(tip));
    // The run is over: the row it never reached shows what it showed before.
    QCOMPARE(row(1)->text(2), QStringLiteral("Ready"));
    QVERIFY(!run().job().isRunning());
    QTRY_COMPARE(filesIn(small.path()), QStringList());
    QCOMPARE(ui()->labelShowState->text(), QString());
    QVERIFY(!ui()->StopConvertePushButton->isEnabled());
    QVERIFY(!run().isActive());
}

void tst_RunConversions::editorAnswerReachesItsRow_data() {
    QTest::addColumn<QStringList>("chunks");
    QTest::addColumn<QString>("logoTail");
    const QString logo = QStringLiteral(" -watermark \"/x/logo.png\"  10 20");
    // clang-format off
    QTest::newRow("sample") << QStringList{kSample} << QString();
    QTest::newRow("-ss first") << QStringList{kSample.mid(2)} << QString();
    QTest::newRow("two pieces") << QStringList{kSample.left(31), kSample.mid(31)} << QString();
    QTest::newRow("logo") << QStringList{kSample + logo} << QStringLiteral("-watermark /x/logo.png 10 20");
    // clang-format on
}

void tst_RunConversions::editorAnswerReachesItsRow() {
    QFETCH(QStringList, chunks);
    QFETCH(QString, logoTail);

    // Long enough for the sample's trim, which starts 10 s in.
    addClip(media(QStringLiteral("long.mp4")), kAvi);
    const QString source = media(QStringLiteral("long.mp4"));
    editRow(0, chunks);

    const ArgumentList list = FileRow::arguments(row(0));
    QCOMPARE(list.mid(0, 6), (QStringList{"-ss", "10", "-t", "30", "-i", source}));
    QCOMPARE(list.mid(6, 9), (QStringList{"-cropleft", "0", "-croptop", "0", "-cropright", "0",
                                          "-cropbottom", "0", "-y"}));
    QCOMPARE(FileRow::effects(row(0)).mid(0, 3), (QStringList{"1", "0", "1"}));
    QCOMPARE(row(0)->text(FileRow::OutputDurationColumn), QStringLiteral("00:00:30"));
    QCOMPARE(row(0)->data(1, FileRow::WatermarkRole).toString(), logoTail);

    QFile script(FileRow::effects(row(0)).value(FileRow::ScriptPathEntry));
    QVERIFY(script.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(script.readAll()).split(QLatin1Char('\n'));
    QVERIFY(lines.contains(QStringLiteral("clip = clip.Crop(0, 0, 320, 240)")));
    QVERIFY(lines.contains(QStringLiteral("clip = clip.Tweak(0.0,1,0,1)")));
    QVERIFY(lines.contains(QStringLiteral("clip = clip.Trim(210, 840)")));
    QVERIFY2(
        lines.contains(
            QStringLiteral("audio = FFmpegSource2(\"%1\", atrack = -1).KillVideo()").arg(source)),
        qPrintable(lines.join(QLatin1Char('\n'))));
    const QString logoLine = QStringLiteral("clip = clip.Logo2(\"%1\")")
                                 .arg(FileRow::effects(row(0)).value(FileRow::LogoPathEntry));
    QCOMPARE(lines.contains(logoLine), !logoTail.isEmpty());
    // The controls are the user's again.
    QVERIFY(ui()->treeWidget->isEnabled());
    QVERIFY(ui()->editVideo->isEnabled());
}

void tst_RunConversions::editorAnswerGoesToTheRowItWasOpenedFor() {
    addClip(media(QStringLiteral("av.mp4")), kAvi);
    addClip(media(QStringLiteral("av.avi")), kAvi);
    const ArgumentList second = FileRow::arguments(row(1));

    // The answer comes in two pieces; meanwhile another row becomes current.
    QTimer::singleShot(150, this, [this] { ui()->treeWidget->setCurrentItem(row(1)); });
    editRow(0, {answerFor(1, 1).left(20), answerFor(1, 1).mid(20)});
    QCOMPARE(ui()->treeWidget->currentItem(), row(1));
    QCOMPARE(Arguments::value(FileRow::arguments(row(0)), QStringLiteral("-t")),
             QStringLiteral("1"));
    QCOMPARE(FileRow::arguments(row(1)), second);

    // A closed editor (no answer) changes nothing and gives the controls back.
    const ArgumentList first = FileRow::arguments(row(0));
    editRow(0, {QStringLiteral("closed")});
    QCOMPARE(FileRow::arguments(row(0)), first);
    QVERIFY(ui()->editVideo->isEnabled());
}

// The editor opened on a clip whose share stopped answering: the window
// says what it waits for, and Stop gives the wait up.
void tst_RunConversions::editorOnAHungShareCanBeGivenUp() {
    QTemporaryDir dir;
    TestFsMount share(dir.path(), {}, TestFsMount::WithGate);
    if (!share.isMounted())
        QSKIP(qPrintable(share.whyNot()));
    const QString clip = share.path() + QStringLiteral("/shared.mp4");
    QVERIFY(QFile::copy(media(QStringLiteral("av.mp4")), clip));
    addClip(clip, kMp4);
    share.closeGate();

    window->on_editVideo_clicked();
    QVERIFY(!ui()->treeWidget->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(ui()->labelShowState->text().contains(QStringLiteral("shared.mp4")),
                             kEventTimeoutMs);
    QTest::mouseClick(ui()->StopConvertePushButton, Qt::LeftButton);
    QVERIFY(ui()->treeWidget->isEnabled());
    QVERIFY(!window->editorSession().isOpen());
    QCOMPARE(ui()->labelShowState->text(), QString());
    QVERIFY(!ui()->StopConvertePushButton->isEnabled());
}

void tst_RunConversions::removedEditScriptIsWrittenAgain() {
    addClip(media(QStringLiteral("long.mp4")), kMp4);
    editRow(0, {answerFor(2, 3)});
    const QString script = FileRow::effects(row(0)).value(FileRow::ScriptPathEntry);
    const QByteArray written = contentOf(script);
    QVERIFY(!written.isEmpty());
    QVERIFY(QFile::remove(script));

    startRun();
    QVERIFY(waitForRunEnd());
    QCOMPARE(statusOf(0), QStringLiteral("finished"));
    QCOMPARE(contentOf(script), written);
    QVERIFY(qAbs(facts(outputOf(0)).seconds - 3.0) < 0.5);
}

void tst_RunConversions::shutdownAfterTheRun() {
    int requests = 0;
    Platform::setPowerOffOverride([&requests](QString *error) {
        ++requests;
        *error = QStringLiteral("Interactive authentication required.");
        return false;
    });
    SettingsFile::setValue(SettingsFile::kDown, 1);
    addClip(media(QStringLiteral("av.mp4")), kMp4);

    // The countdown, answered with "ShutDown": the refusal is told.
    bool countdownShown = false;
    whenModalOpens<openProgress>(
        [&](openProgress *countdown) {
            countdownShown = true;
            countdown->findChild<QPushButton *>(QStringLiteral("pushButtonShutDown"))->click();
        },
        kRunTimeoutMs);
    startRun();
    QVERIFY(waitForRunEnd());
    QVERIFY(shutdownTimer()->isActive());
    QCOMPARE(shutdownTimer()->interval(), 500);
    QTRY_VERIFY_WITH_TIMEOUT(countdownShown, kEventTimeoutMs);
    QCOMPARE(requests, 1);
    const auto refusal = [this] {
        for (QMessageBox *box : window->findChildren<QMessageBox *>()) {
            if (box->isVisible() &&
                box->text().contains(QStringLiteral("could not be switched off")))
                return box;
        }
        return static_cast<QMessageBox *>(nullptr);
    };
    QTRY_VERIFY_WITH_TIMEOUT(refusal(), kEventTimeoutMs);
    QVERIFY(refusal()->text().contains(QStringLiteral("Interactive authentication required.")));
    refusal()->close();

    // Two more runs end with the setting still on: one countdown each, and
    // "Cancel" asks for nothing.
    int countdowns = 0;
    QTimer canceller;
    connect(&canceller, &QTimer::timeout, this, [&countdowns] {
        if (auto *countdown = qobject_cast<openProgress *>(QApplication::activeModalWidget())) {
            ++countdowns;
            countdown->findChild<QPushButton *>(QStringLiteral("pushButtonCancel"))->click();
        }
    });
    canceller.start(20);
    for (int run = 1; run <= 2; ++run) {
        row(0)->setCheckState(0, Qt::Checked);
        startRun();
        QVERIFY(waitForRunEnd());
        // Seen only once the countdown's timeout is over, a second
        // countdown of the same timeout included; and none is left to come.
        QTRY_COMPARE_WITH_TIMEOUT(countdowns, run, kEventTimeoutMs);
        QVERIFY(!shutdownTimer()->isActive());
        QCOMPARE(countdowns, run);
    }
    canceller.stop();
    QCOMPARE(requests, 1);

    // "Do Nothing" before a run ends: no countdown.
    SettingsFile::setValue(SettingsFile::kDown, 0);
    row(0)->setCheckState(0, Qt::Checked);
    startRun();
    QVERIFY(waitForRunEnd());
    QVERIFY(!shutdownTimer()->isActive());
}

QTEST_MAIN(tst_RunConversions)
#include "tst_runconversions.moc"
