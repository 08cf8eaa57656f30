#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QSet>
#include <QTextEdit>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "conversion/scriptfile.h"
#include "conversion/scriptwriter.h"
#include "filelist/addflow.h"
#include "filelist/folderwork.h"
#include "filelist/outputnaming.h"
#include "filelist/outputpaths.h"
#include "mainwindow/settingsfile.h"
#include "profiles/profilecatalogue.h"
#include "settingsdialog/settingdialog.h"
#include "windowtestutil.h"

using WindowTest::media;

namespace {

// Every sync the program makes in this process passes here, as strace would
// see it: those of the window's thread are counted.
struct Syncs {
    pthread_t window = pthread_self();
    std::atomic<int> ofWindow{0};

    int pass(long call, int fd)
    {
        if (pthread_equal(pthread_self(), window))
            ++ofWindow;
        return int(::syscall(call, fd));
    }
};

Syncs &syncs()
{
    static Syncs shared;
    return shared;
}

// Holds the scripts' writer, as a disk that writes slowly holds it: while
// held, its next piece of work waits. The rest of the folder work goes on.
class ScriptsHeld {
public:
    ScriptsHeld()
    {
        const std::shared_ptr<State> state = m_state;
        FolderWork::setBeforeEachHook([state] {
            if (QThread::currentThread()->objectName() != QLatin1String(ScriptWriter::kWorkName))
                return;
            std::unique_lock<std::mutex> lock(state->mutex);
            state->released.wait(lock, [&] { return !state->held; });
        });
    }
    ~ScriptsHeld()
    {
        release();
        FolderWork::setBeforeEachHook({});
    }
    void release()
    {
        {
            std::lock_guard<std::mutex> lock(m_state->mutex);
            m_state->held = false;
        }
        m_state->released.notify_all();
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable released;
        bool held = true; // mutex
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

} // namespace

extern "C" int fsync(int fd)
{
    return syncs().pass(SYS_fsync, fd);
}

extern "C" int fdatasync(int fd)
{
    return syncs().pass(SYS_fdatasync, fd);
}

// Files reach the list through the real main window, probed by the real
// transcoder: through the open dialog's path list and by dropping.
class tst_AddFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void realClipsOfSeveralContainers_data();
    void realClipsOfSeveralContainers();
    void awkwardNamesAreListed();
    void nonMediaEmptyAndBrokenFilesAreReported();
    void resultDialogClosesWithEnter();
    void failedProbeNeverReusesEarlierData();
    void probeTextInPiecesIsReadWhole();
    void dropAddsLocalFilesAndReportsTheRest();
    void dragEnterWantsFileLists();
    void droppedAddressNamesExactlyOneFile();
    void dropOnTheFolderFieldNeverPastesText();
    void outputNamesFollowTheNamingRules();
    void outputPathsNeverMeet();
    void outputNeverNamesItsSource();
    void profileChangeKeepsPathsApart();
    void newRowTakesOneProfile_data();
    void newRowTakesOneProfile();
    void unknownLengthIsShownPlainly();
    void folderRememberedOnlyWhenFilesArePicked();
    void typedNamesAreAllCounted();
    void windowKeepsWorkingWhileProbing();
    void scriptsReachTheDiskAwayFromTheWindow();
    void editsReachTheDiskAwayFromTheWindow();
    void probesSideBySideChangeNothingButTime();
    void userEndsTheAddAtOnce_data();
    void userEndsTheAddAtOnce();
    void costPerRowStaysFlat_data();
    void costPerRowStaysFlat();

private:
    Ui::MainWindow *ui() { return fixture.ui(); }
    QTreeWidget *list() { return fixture.list(); }
    QTreeWidgetItem *row(int index) { return fixture.row(index); }
    QString outputPath(int index) { return fixture.outputPath(index); }
    QString copyOf(const QString &clip, const QString &path) { return fixture.copyOf(clip, path); }
    QString inFiles(const QString &path) { return fixture.files->filePath(path); }
    void chooseProfile(int category, const QString &description);
    // Works the settings dialog that Advance opens: a category, then OK or Cancel.
    void advance(const QString &category, bool accept);
    // Makes a shell script the korvex that the window runs; "%1" in `body`
    // stands for the folder of the real one.
    bool useToolScript(const QTemporaryDir &tools, const QString &body);
    // Rows as a list of that many files has them, made without probing;
    // their outputs in outputFolder.
    void listRows(int count, const QString &outputFolder);

    WindowTest::MainWindowFixture fixture;
    MainWindow *window = nullptr;
};

void tst_AddFiles::initTestCase()
{
    QVERIFY(QFile::exists(media("av.mp4")));
    syncs().window = pthread_self();
}

void tst_AddFiles::init()
{
    QVERIFY(fixture.open());
    window = fixture.window;
}

void tst_AddFiles::cleanup()
{
    fixture.close();
    window = nullptr;
}

void tst_AddFiles::realClipsOfSeveralContainers_data()
{
    QTest::addColumn<QString>("clip");
    QTest::addColumn<QString>("videoCodec");
    QTest::addColumn<QString>("audioCodec");
    QTest::addColumn<QString>("frameSize");
    QTest::addColumn<QString>("ratio");
    QTest::addColumn<QString>("audioKbps");
    // ratio and size stay empty for sound alone; a stream line without its
    // own rate takes the container's.
    // clang-format off
    QTest::newRow("mp4")            << "av.mp4"         << "h264"       << "aac"    << "320x240" << "1.333" << "96";
    QTest::newRow("avi")            << "av.avi"         << "mpeg4"      << "mp3"    << "320x240" << "1.333" << "128";
    QTest::newRow("mkv, vorbis without a rate")
                                    << "av.mkv"         << "h264"       << "vorbis" << "320x240" << "1.333" << "739";
    QTest::newRow("flv, sound line first")
                                    << "av.flv"         << "flv1"       << "mp3"    << "320x240" << "1.333" << "32";
    QTest::newRow("wmv")            << "av.wmv"         << "wmv2"       << "wmav2"  << "320x240" << "1.333" << "128";
    QTest::newRow("mpg")            << "av.mpg"         << "mpeg2video" << "mp2"    << "320x240" << "1.333" << "384";
    QTest::newRow("16:9 mp4")       << "wide.mp4"       << "h264"       << "aac"    << "640x360" << "1.778" << "127";
    QTest::newRow("mp3")            << "audio.mp3"      << ""           << "mp3"    << ""        << ""      << "128";
    QTest::newRow("5.1 ac3")        << "surround.ac3"   << ""           << "ac3"    << ""        << ""      << "448";
    QTest::newRow("picture only")   << "video-only.mp4" << "h264"       << ""       << "320x240" << "1.333" << "";
    // clang-format on
}

void tst_AddFiles::realClipsOfSeveralContainers()
{
    QFETCH(QString, clip);
    QFETCH(QString, videoCodec);
    QFETCH(QString, audioCodec);
    QFETCH(QString, frameSize);
    QFETCH(QString, ratio);
    QFETCH(QString, audioKbps);

    WindowTest::ModalAnswerer answerer;
    window->addPickedFiles({media(clip)});
    QCOMPARE(answerer.answered, 0);
    QCOMPARE(list()->topLevelItemCount(), 1);

    QTreeWidgetItem *added = row(0);
    QCOMPARE(added->text(FileRow::NameColumn), clip);
    QCOMPARE(added->text(FileRow::StatusColumn), FileRow::kStatusReady);
    QCOMPARE(added->checkState(FileRow::CheckColumn), Qt::Checked);
    QCOMPARE(added->text(FileRow::SourceDurationColumn), QStringLiteral("00:00:02"));
    QCOMPARE(added->text(FileRow::OutputDurationColumn), QStringLiteral("00:00:02"));
    QVERIFY(added->text(FileRow::SizeColumn).endsWith(QLatin1String("MB")));
    // An AVI source would be given its own name: the row count goes in.
    const QString base = QFileInfo(clip).completeBaseName();
    QCOMPARE(added->text(FileRow::OutputFileColumn),
             clip.endsWith(QLatin1String(".avi")) ? base + "0.avi" : base + ".avi");
    QCOMPARE(added->flags(), Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);

    const MediaInfo info = FileRow::mediaInfo(added);
    QCOMPARE(info.at(FileRow::InputFormat), QFileInfo(clip).suffix());
    QCOMPARE(info.at(FileRow::InputVideoCodec), videoCodec);
    QCOMPARE(info.at(FileRow::InputAudioCodec), audioCodec);
    QCOMPARE(info.at(FileRow::InputSize), frameSize);
    QCOMPARE(info.at(FileRow::DisplayRatio), ratio);
    QCOMPARE(info.at(FileRow::InputAudioBitrate), audioKbps);
    QCOMPARE(info.at(FileRow::DurationSeconds), QStringLiteral("2"));
    QCOMPARE(info.at(FileRow::OutputFormat), QStringLiteral("AVI"));
    const double megabytes = QFileInfo(media(clip)).size() / 1048576.0;
    QCOMPARE(info.at(FileRow::InputFileMB), QString::number(megabytes, 'f', 3));

    // Its job: the source after "-i", the output in the chosen folder.
    const ArgumentList arguments = FileRow::arguments(added);
    QCOMPARE(Arguments::inputPath(arguments), media(clip));
    QCOMPARE(QFileInfo(outputPath(0)).absolutePath(),
             QFileInfo(fixture.outFolder()).canonicalFilePath());
    // The add is over: the file's name is let go, the last row is current.
    QVERIFY(fixture.addLeftNoFileBehind());
    QCOMPARE(list()->currentItem(), added);
    QVERIFY(added->isSelected());
    QVERIFY(!fixture.dialog<openProgress>()->isVisible());
    QVERIFY(ui()->ConvertePushButton->isEnabled());
    QVERIFY(fixture.timerActive("uiPollTimer"));
    QVERIFY(fixture.timerActive("openTimer"));
}

void tst_AddFiles::awkwardNamesAreListed()
{
    const QStringList names = {QStringLiteral("with space.mp4"), QStringLiteral("quote'single.mp4"),
                               QStringLiteral("quote\"double.mp4"),
                               QStringLiteral("日本語 ファイル.mp4"), QStringLiteral("a.b.MP4")};
    QStringList paths;
    for (const QString &name : names)
        paths << (name == QLatin1String("a.b.MP4") ? copyOf(QStringLiteral("av.mp4"), name)
                                                   : media(name));
    WindowTest::ModalAnswerer answerer;
    window->addPickedFiles(paths);
    QCOMPARE(answerer.answered, 0);
    QCOMPARE(list()->topLevelItemCount(), names.size());
    for (int index = 0; index < names.size(); ++index) {
        QCOMPARE(row(index)->text(FileRow::NameColumn), names.at(index));
        QCOMPARE(Arguments::inputPath(FileRow::arguments(row(index))), paths.at(index));
        QCOMPARE(FileRow::mediaInfo(row(index)).at(FileRow::InputVideoCodec),
                 QStringLiteral("h264"));
    }
    QCOMPARE(row(4)->text(FileRow::OutputFileColumn), QStringLiteral("a.b.avi"));
    QCOMPARE(FileRow::mediaInfo(row(4)).at(FileRow::InputFormat), QStringLiteral("MP4"));
}

void tst_AddFiles::nonMediaEmptyAndBrokenFilesAreReported()
{
    // A clip whose beginning is missing: nothing can read it.
    const QString headless = inFiles("headless.mp4");
    {
        QFile whole(media("av.mp4"));
        QVERIFY(whole.open(QIODevice::ReadOnly));
        whole.seek(2000);
        QFile cut(headless);
        QVERIFY(cut.open(QIODevice::WriteOnly));
        cut.write(whole.readAll());
    }
    const QString text = inFiles("notes.txt");
    {
        QFile notes(text);
        QVERIFY(notes.open(QIODevice::WriteOnly));
        notes.write("Duration: 00:01:00.0, start: 0, bitrate: 1 kb/s\nVideo: h264, 1x1\n");
    }
    // Cut short behind an intact header.
    const QString truncated = media("broken.mp4");
    const QStringList failing = {media("notmedia.mp4"),
                                 media("empty.mp4"), headless, text, truncated};

    WindowTest::ModalAnswerer answerer;
    window->addPickedFiles({failing.at(0), media("av.avi"), failing.at(1),
                            failing.at(2), failing.at(3), failing.at(4)});
    QCOMPARE(answerer.answered, 1);
    QCOMPARE(answerer.addedLine, QStringLiteral("Total 1 file(s) be added in filelist."));
    QCOMPARE(answerer.failedLine, QStringLiteral("The following 5 file(s) can't be added in filelist."));
    QCOMPARE(answerer.failedFiles, failing);
    QCOMPARE(list()->topLevelItemCount(), 1);
    QCOMPARE(row(0)->text(FileRow::NameColumn), QStringLiteral("av.avi"));
    // Nothing is left over for the next add.
    QVERIFY(window->addFlow().failedFiles().isEmpty());
    QVERIFY(fixture.dialog<errFiledialog>()->findChild<QTextBrowser *>()->toPlainText().isEmpty());
    QVERIFY(!fixture.dialog<openProgress>()->isVisible());
    QVERIFY(fixture.addLeftNoFileBehind());

    // All of them failing: no row, no selection, the dialog all the same.
    window->addPickedFiles(failing);
    QCOMPARE(answerer.answered, 2);
    QCOMPARE(answerer.addedLine, QStringLiteral("Total 0 file(s) be added in filelist."));
    QCOMPARE(list()->topLevelItemCount(), 1);
    QCOMPARE(answerer.otherDialogs, QStringList());
}

void tst_AddFiles::resultDialogClosesWithEnter()
{
    // Enter goes where the user's keys go: the focused widget, which passes
    // on what it does not take.
    bool closedByEnter = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        poll.stop();
        QWidget *focus = QApplication::focusWidget();
        QTest::keyClick(focus && dialog->isAncestorOf(focus) ? focus : dialog, Qt::Key_Return);
        closedByEnter = !dialog->isVisible();
        if (!closedByEnter)
            dialog->reject();
    });
    poll.start(20);
    window->addPickedFiles({media("notmedia.mp4")});
    QVERIFY(closedByEnter);
}

void tst_AddFiles::failedProbeNeverReusesEarlierData()
{
    window->addFlow().probeFile(media("av.mp4"));
    QVERIFY(window->addFlow().probe().hasVideo);
    QCOMPARE(window->addFlow().probe().probedAudioBitrate, QStringLiteral("96"));

    // A file without sound: no sound fields of the file before.
    window->addFlow().probeFile(media("video-only.mp4"));
    QVERIFY(window->addFlow().probe().hasVideo);
    QCOMPARE(window->addFlow().probe().probedAudioCodec, QString());
    QCOMPARE(window->addFlow().probe().probedAudioBitrate, QString());

    // A transcoder that cannot run says nothing: the file is not media, and
    // nothing of the file before stands for it.
    QTemporaryDir noTools;
    QFile unrunnable(noTools.filePath(QStringLiteral("korvex")));
    QVERIFY(unrunnable.open(QIODevice::WriteOnly)); // there, but not executable
    unrunnable.write("#!/bin/sh\n");
    unrunnable.close();
    Platform::setInstallDir(noTools.path());
    window->addFlow().probeFile(media("av.avi"));
    QVERIFY(!window->addFlow().probe().hasVideo);
    QVERIFY(!window->addFlow().probe().audioOnly);
    QCOMPARE(window->addFlow().probe().probedDuration, QString());
    QCOMPARE(window->addFlow().probe().probedVideoCodec, QString());

    // The add says so once, and blames none of the user's files.
    WindowTest::ModalAnswerer answerer;
    window->addPickedFiles({media("av.mp4"), media("audio.mp3")});
    QCOMPARE(list()->topLevelItemCount(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(answerer.otherDialogs, QStringList{"QMessageBox"},
                              WindowTest::kEventTimeoutMs);
    QCOMPARE(answerer.failedFiles, QStringList());
}

void tst_AddFiles::probeTextInPiecesIsReadWhole()
{
    // The real transcoder's text, handed over in two pieces a moment apart
    // (the probes' own thread, idle meanwhile, reads the first alone): the
    // first ends inside the stream lines, after the duration.
    QTemporaryDir tools;
    QVERIFY(useToolScript(tools, QStringLiteral("text=$(\"%1/korvex\" \"$@\" 2>&1)\n"
                                                "printf '%s' \"$text\" | head -c 120 >&2\n"
                                                "sleep 0.3\n"
                                                "printf '%s\\n' \"$text\" | tail -c +121 >&2\n")));

    window->addPickedFiles({media("av.avi")});
    QCOMPARE(list()->topLevelItemCount(), 1);
    const MediaInfo info = FileRow::mediaInfo(row(0));
    QCOMPARE(row(0)->text(FileRow::SourceDurationColumn), QStringLiteral("00:00:02"));
    QCOMPARE(info.at(FileRow::InputVideoCodec), QStringLiteral("mpeg4"));
    QCOMPARE(info.at(FileRow::InputAudioCodec), QStringLiteral("mp3"));
    QCOMPARE(info.at(FileRow::InputAudioBitrate), QStringLiteral("128"));
    // The log has the text as it came.
    QVERIFY(ui()->textEdit->toPlainText().contains(QLatin1String("Video: mpeg4")));
}

void tst_AddFiles::dropAddsLocalFilesAndReportsTheRest()
{
    WindowTest::ModalAnswerer answerer;
    QVERIFY(fixture.drop({QUrl::fromLocalFile(media("av.mp4")),
                          QUrl("https://example.org/clip.mp4"), QUrl(),
                          QUrl::fromLocalFile(media("audio.mp3"))}));
    QTRY_COMPARE_WITH_TIMEOUT(answerer.answered, 1, WindowTest::kEventTimeoutMs);
    QCOMPARE(list()->topLevelItemCount(), 2);
    QCOMPARE(row(1)->text(FileRow::NameColumn), QStringLiteral("audio.mp3"));
    QCOMPARE(answerer.failedFiles,
             QStringList({QStringLiteral("https://example.org/clip.mp4"),
                          QStringLiteral("(an empty address)")}));
    QCOMPARE(answerer.addedLine, QStringLiteral("Total 2 file(s) be added in filelist."));
    // The add finished: dialogs closed, the name let go, the last row current.
    QVERIFY(!fixture.dialog<openProgress>()->isVisible());
    QVERIFY(fixture.addLeftNoFileBehind());
    QCOMPARE(list()->currentItem(), row(1));
    QVERIFY(fixture.timerActive("openTimer"));
    // Drops do not move the add dialog's folder.
    QVERIFY(!SettingsFile::contains(SettingsFile::kFolder));
}

void tst_AddFiles::dragEnterWantsFileLists()
{
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(media("av.mp4"))});
    QVERIFY(fixture.dragEnter(files));
    QMimeData text;
    text.setText(QStringLiteral("/some/file.mp4"));
    QVERIFY(!fixture.dragEnter(text));
}

void tst_AddFiles::droppedAddressNamesExactlyOneFile()
{
    const QString clip = copyOf("av.mp4", "drop/clip.mp4");
    const QByteArray path = QUrl::fromLocalFile(clip).path(QUrl::FullyEncoded).toUtf8();
    // Cut at its 0 byte, the second address would name the clip; the third
    // holds a byte that is no text in a file name.
    const QByteArray cut = "file://" + path + "%00x.mp4";
    const QByteArray notText = "file://" + path + "%FF.mp4";
    QMimeData data;
    data.setData(QStringLiteral("text/uri-list"), "# dropped by a test\r\nfile://localhost" + path
                                                      + "\r\n" + cut + "\r\n" + notText + "\r\n");
    WindowTest::ModalAnswerer answerer;
    QVERIFY(fixture.dragEnter(data));
    QDropEvent drop(QPointF(300, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &drop);
    QTRY_COMPARE_WITH_TIMEOUT(answerer.answered, 1, WindowTest::kEventTimeoutMs);
    QCOMPARE(list()->topLevelItemCount(), 1);
    QCOMPARE(Arguments::inputPath(FileRow::arguments(row(0))), clip);
    QCOMPARE(answerer.failedFiles,
             QStringList({QString::fromLatin1(cut), QString::fromLatin1(notText)}));
}

void tst_AddFiles::dropOnTheFolderFieldNeverPastesText()
{
    QLineEdit *field = ui()->PathLine;
    const QString before = field->text();
    const auto dropOnField = [&](const QList<QUrl> &urls) {
        QMimeData data;
        data.setUrls(urls);
        data.setText(QString::fromLatin1(urls.first().toEncoded()));
        const QPoint at = field->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(field, &enter);
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(field, &drop);
        return enter.isAccepted() && drop.isAccepted();
    };

    // A file is added as anywhere in the window.
    WindowTest::ModalAnswerer answerer;
    QVERIFY(dropOnField({QUrl::fromLocalFile(media("av.mp4"))}));
    QTRY_COMPARE_WITH_TIMEOUT(list()->topLevelItemCount(), 1, WindowTest::kEventTimeoutMs);
    QCOMPARE(field->text(), before);

    // A folder becomes the output folder, and the row goes there.
    const QString folder = inFiles("dropped out");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(dropOnField({QUrl::fromLocalFile(folder)}));
    QTRY_COMPARE(field->text(), folder);
    QCOMPARE(SettingsFile::value(SettingsFile::kOutput).toString(), folder);
    QCOMPARE(QFileInfo(outputPath(0)).absolutePath(), folder);
    QVERIFY(!field->isModified());
}

void tst_AddFiles::outputNamesFollowTheNamingRules()
{
    // Two files of one name dropped on an empty list: the second takes the
    // row count in front of its dot.
    QVERIFY(fixture.drop({QUrl::fromLocalFile(copyOf("av.mp4", "a/clip.mp4")),
                          QUrl::fromLocalFile(copyOf("av.mkv", "b/clip.mkv"))}));
    QTRY_COMPARE_WITH_TIMEOUT(list()->topLevelItemCount(), 2, WindowTest::kEventTimeoutMs);
    QCOMPARE(row(0)->text(FileRow::OutputFileColumn), QStringLiteral("clip.avi"));
    QCOMPARE(row(1)->text(FileRow::OutputFileColumn), QStringLiteral("clip1.avi"));
    QCOMPARE(OutputPaths::fileName(outputPath(1)), QStringLiteral("clip1.avi"));

    // With x.avi and y.avi listed, x.mkv by the dialog becomes x<rows before>.avi.
    window->clean();
    window->addPickedFiles({copyOf("av.mp4", "x.mp4"), copyOf("av.mp4", "y.mp4")});
    window->addPickedFiles({copyOf("av.mkv", "x.mkv")});
    QCOMPARE(row(2)->text(FileRow::OutputFileColumn), QStringLiteral("x2.avi"));
}

void tst_AddFiles::outputPathsNeverMeet()
{
    // Two files of one name in one pick: the rows' names alone do not tell
    // them apart, their paths must.
    window->addPickedFiles({copyOf("av.mp4", "a/clip.mp4"), copyOf("av.mp4", "b/clip.mp4")});
    QCOMPARE(list()->topLevelItemCount(), 2);
    // A number the rule inserts may itself be taken: x.avi, x2.avi listed.
    window->addPickedFiles({copyOf("av.mp4", "x.mp4")});
    window->addPickedFiles({copyOf("av.mp4", "x2.mp4")});
    window->addPickedFiles({copyOf("av.mkv", "c/x.mkv")});
    QCOMPARE(list()->topLevelItemCount(), 5);

    QSet<QString> outputs;
    for (int index = 0; index < list()->topLevelItemCount(); ++index) {
        const QString output = OutputPaths::resolved(outputPath(index));
        QVERIFY2(!outputs.contains(output), qPrintable(output));
        outputs.insert(output);
        QCOMPARE(row(index)->text(FileRow::OutputFileColumn), OutputPaths::fileName(output));
        QVERIFY(output != OutputPaths::resolved(Arguments::inputPath(FileRow::arguments(row(index)))));
    }
}

void tst_AddFiles::outputNeverNamesItsSource()
{
    // The output folder is the source's folder, reached through a link.
    const QString source = copyOf("av.avi", "src/clip.avi");
    QVERIFY(QFile::link(inFiles("src"), inFiles("link")));
    ui()->PathLine->setText(inFiles("link"));
    window->addPickedFiles({source});
    QCOMPARE(list()->topLevelItemCount(), 1);
    QVERIFY(OutputPaths::resolved(outputPath(0)) != OutputPaths::resolved(source));
    QCOMPARE(row(0)->text(FileRow::OutputFileColumn), QStringLiteral("clip0.avi"));

    // Another row's source is not overwritten either: x.avi is listed, and
    // x.mkv from the same folder would be converted to x.avi.
    window->clean();
    ui()->PathLine->setText(inFiles("src"));
    const QString listedSource = copyOf("av.avi", "src/x.avi");
    window->addPickedFiles({listedSource});
    QVERIFY(fixture.drop({QUrl::fromLocalFile(copyOf("av.mkv", "src/x.mkv"))}));
    QTRY_COMPARE_WITH_TIMEOUT(list()->topLevelItemCount(), 2, WindowTest::kEventTimeoutMs);
    QVERIFY(OutputPaths::resolved(outputPath(1)) != OutputPaths::resolved(listedSource));
    QVERIFY(OutputPaths::resolved(outputPath(1)) != OutputPaths::resolved(outputPath(0)));
}

void tst_AddFiles::profileChangeKeepsPathsApart()
{
    // clip.mp4 in the output folder itself, converted to AVI; then to MP4,
    // which would be the source's own name.
    ui()->PathLine->setText(inFiles("src"));
    const QString source = copyOf("av.mp4", "src/clip.mp4");
    window->addPickedFiles({source, copyOf("av.mkv", "src/clip.mkv")});
    QCOMPARE(list()->topLevelItemCount(), 2);
    const int mp4 = ui()->ProfileDetails->findText(QStringLiteral("MP4"), Qt::MatchStartsWith);
    QVERIFY(mp4 >= 0);
    for (int index = 0; index < 2; ++index) {
        list()->setCurrentItem(row(index));
        ui()->ProfileDetails->setCurrentIndex(mp4);
        window->on_ProfileDetails_activated(mp4);
        QCOMPARE(QFileInfo(outputPath(index)).suffix(), QStringLiteral("mp4"));
    }
    // Each row asked for its name; the folder's answers keep them apart.
    QVERIFY(QTest::qWaitFor([this] { return window->outputNaming().isSettled(); }));
    QVERIFY(OutputPaths::resolved(outputPath(0)) != OutputPaths::resolved(source));
    QVERIFY(OutputPaths::resolved(outputPath(0)) != OutputPaths::resolved(outputPath(1)));
}

void tst_AddFiles::chooseProfile(int category, const QString &description)
{
    ui()->ProfileDevice->setCurrentIndex(category);
    window->on_ProfileDevice_activated(ui()->ProfileDevice->currentText());
    const int detail = ui()->ProfileDetails->findText(description, Qt::MatchStartsWith);
    QVERIFY2(detail >= 0, qPrintable(description));
    ui()->ProfileDetails->setCurrentIndex(detail);
    window->on_ProfileDetails_activated(detail);
}

void tst_AddFiles::advance(const QString &category, bool accept)
{
    QTimer::singleShot(0, window, [category, accept] {
        settingDialog *dialog = nullptr;
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (auto *shown = qobject_cast<settingDialog *>(top); shown && shown->isVisible())
                dialog = shown;
        }
        QVERIFY(dialog);
        auto *device = dialog->findChild<QComboBox *>(QStringLiteral("ProfileDevice"));
        device->setCurrentIndex(device->findText(category));
        emit device->textActivated(category);
        if (accept)
            QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("pushButtonOk")),
                              Qt::LeftButton);
        else
            dialog->reject();
    });
    window->on_SettingButton_clicked();
}

bool tst_AddFiles::useToolScript(const QTemporaryDir &tools, const QString &body)
{
    QFile file(tools.filePath(QStringLiteral("korvex")));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QStringLiteral("#!/bin/sh\n").toUtf8() + body.arg(WindowTest::stage()).toUtf8());
    file.close();
    Platform::setInstallDir(tools.path());
    return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void tst_AddFiles::newRowTakesOneProfile_data()
{
    QTest::addColumn<QString>("way");
    for (const char *way : {"profile box", "category box", "settings dialog",
                            "settings dialog cancelled", "selection", "removal", "clean"})
        QTest::newRow(way) << QString::fromLatin1(way);
}

// Whichever way the profile on show came to be, a file added next gets its
// output name, its format label and its job from that one profile.
void tst_AddFiles::newRowTakesOneProfile()
{
    QFETCH(QString, way);
    {
        WindowTest::ModalAnswerer answerer;
        window->addPickedFiles({media("av.mp4"), media("audio.mp3")});
    }
    QCOMPARE(list()->topLevelItemCount(), 2);
    // The sound file, current after adding, goes to MP3.
    chooseProfile(ProfileCatalogue::kAudioOnlyCategory, QStringLiteral("MP3"));
    list()->setCurrentItem(row(0));

    if (way == QLatin1String("profile box")) {
        chooseProfile(0, QStringLiteral("MP4"));
    } else if (way == QLatin1String("category box")) {
        chooseProfile(ProfileCatalogue::kAudioOnlyCategory, QStringLiteral("WAV"));
    } else if (way.startsWith(QLatin1String("settings dialog"))) {
        advance(QStringLiteral("General Audio"), !way.endsWith(QLatin1String("cancelled")));
        list()->clearSelection();
        list()->setCurrentItem(row(0));
    } else if (way == QLatin1String("removal")) {
        list()->setCurrentItem(row(1));
        window->on_actionRemove_del_triggered();
    } else if (way == QLatin1String("clean")) {
        window->on_CleanFile_clicked();
    }
    {
        WindowTest::ModalAnswerer answerer;
        window->addPickedFiles({media("wide.mp4")});
    }

    QTreeWidgetItem *added = row(list()->topLevelItemCount() - 1);
    QCOMPARE(added->text(FileRow::NameColumn), QStringLiteral("wide.mp4"));
    const SettingsIndexList indexes = FileRow::settingsIndexes(added);
    const std::optional<ProfileEntry> profile = ProfileCatalogue::entry(
        indexes.value(FileRow::DeviceIndex).toInt(), indexes.value(FileRow::ProfileIndex).toInt());
    QVERIFY(profile);
    const QString extension = ProfileCatalogue::extension(profile->formatLabel);
    const ArgumentList arguments = FileRow::arguments(added);
    QCOMPARE(QFileInfo(Arguments::outputPath(arguments)).suffix(), extension);
    QCOMPARE(QFileInfo(added->text(FileRow::OutputFileColumn)).suffix(), extension);
    QCOMPARE(FileRow::mediaInfo(added).at(FileRow::OutputFormat), profile->formatLabel);
    QCOMPARE(arguments.contains(QStringLiteral("-vn")),
             ProfileCatalogue::isAudioOnly(profile->categoryIndex));
}

void tst_AddFiles::unknownLengthIsShownPlainly()
{
    WindowTest::ModalAnswerer answerer;
    window->addPickedFiles({media("av.mp4"), media("raw.h264")});
    QCOMPARE(answerer.answered, 0);
    QCOMPARE(list()->topLevelItemCount(), 2);
    QTreeWidgetItem *raw = row(1);
    QCOMPARE(raw->text(FileRow::SourceDurationColumn), QStringLiteral("N/A"));
    QCOMPARE(raw->text(FileRow::OutputDurationColumn), QStringLiteral("N/A"));
    // No estimate rather than one of 0 MB, also after an option changes.
    QCOMPARE(raw->text(FileRow::SizeColumn), QString());
    ui()->ABitrate->setCurrentIndex(0);
    window->on_ABitrate_activated(0);
    QCOMPARE(raw->text(FileRow::SizeColumn), QString());
    // The run counts the clip of known length only.
    QCOMPARE(window->totalCheckedDuration(), 2);
}

void tst_AddFiles::folderRememberedOnlyWhenFilesArePicked()
{
    window->addPickedFiles({});
    QVERIFY(!SettingsFile::contains(SettingsFile::kFolder));
    QCOMPARE(list()->topLevelItemCount(), 0);

    const QString clip = copyOf("av.mp4", "picked/clip.mp4");
    window->addPickedFiles({clip});
    const QString folder = QFileInfo(clip).absolutePath();
    QCOMPARE(SettingsFile::value(SettingsFile::kFolder).toString(), folder);
    // The open dialog starts there next time.
    QString shownFolder;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll.stop();
        shownFolder = dialog->directory().absolutePath();
        dialog->reject();
    });
    poll.start(WindowTest::kPollMs);
    window->on_actionOpen_triggered();
    QCOMPARE(shownFolder, folder);
}

// Names typed into the open dialog, one of them without an extension: the
// dialog hands on the names its view shows, so a filter that shows only
// names with a dot would drop that one unseen.
void tst_AddFiles::typedNamesAreAllCounted() {
    QString folder;
    for (const char *name : {"a.mp4", "b.mp4", "c.mp4"})
        folder = QFileInfo(copyOf("av.mp4", QStringLiteral("typed/") + QLatin1String(name)))
                     .absolutePath();
    const QString bare = copyOf("av.mp4", "typed/clip");
    QString addedLine;
    QStringList failedFiles;
    bool read = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
            // The names are typed once the dialog's view of the folder is whole.
            if (dialog->directory().absolutePath() != folder) {
                connect(dialog->findChild<QFileSystemModel *>(), &QFileSystemModel::directoryLoaded,
                        this, [&](const QString &loaded) { read = read || loaded == folder; });
                dialog->setDirectory(folder);
            }
            if (!read)
                return;
            QTest::keyClicks(dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")),
                             QStringLiteral("\"a.mp4\" \"clip\""));
            static_cast<QDialog *>(dialog)->accept();
        } else if (modal && modal->objectName() == QLatin1String("errFiledialog")) {
            addedLine = modal->findChild<QLabel *>(QStringLiteral("successLabel"))->text();
            failedFiles =
                modal->findChild<QTextBrowser *>()->toPlainText().split(QLatin1Char('\n'));
            static_cast<QDialog *>(modal)->reject();
        }
    });
    poll.start(WindowTest::kPollMs);
    window->on_actionOpen_triggered();
    QCOMPARE(fixture.names(), QStringList{QStringLiteral("a.mp4")});
    QCOMPARE(addedLine, QStringLiteral("Total 1 file(s) be added in filelist."));
    QCOMPARE(failedFiles, QStringList{bare});
}

void tst_AddFiles::windowKeepsWorkingWhileProbing()
{
    // Timers and painting go on while files are probed.
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
    ticker.start(10);
    QStringList clips;
    for (int index = 0; index < 6; ++index)
        clips << copyOf("av.mp4", QStringLiteral("many/clip%1.mp4").arg(index));
    // A drag that arrives meanwhile is refused, and no second add starts
    // inside the first.
    bool dragRefused = false;
    QTimer::singleShot(30, this, [&] {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(media("av.avi"))});
        dragRefused = !fixture.dragEnter(data);
        window->addDroppedUrls(data.urls());
    });
    QElapsedTimer clock;
    clock.start();
    window->addPickedFiles(clips);
    const qint64 spent = clock.elapsed();
    QVERIFY(dragRefused);
    QCOMPARE(list()->topLevelItemCount(), 6);
    QVERIFY2(ticks >= spent / 10 / 4, qPrintable(QStringLiteral("%1 ticks in %2 ms").arg(ticks).arg(spent)));
}

// Nothing an add writes waits for the disk on the window's thread, however
// slowly the disk syncs; a Convert waits for the rows' scripts instead.
void tst_AddFiles::scriptsReachTheDiskAwayFromTheWindow()
{
    syncs().ofWindow = 0;
    ScriptsHeld held;
    // Dropped: picking files stores their folder, in a settings file of its
    // own.
    window->addDroppedUrls({QUrl::fromLocalFile(media("av.mp4")),
                            QUrl::fromLocalFile(media("av.mkv")),
                            QUrl::fromLocalFile(media("audio.mp3"))});
    QCOMPARE(list()->topLevelItemCount(), 3);
    QCOMPARE(syncs().ofWindow.load(), 0);
    QStringList scripts;
    for (int index = 0; index < 3; ++index)
        scripts << FileRow::effects(row(index)).value(FileRow::ScriptPathEntry);
    QVERIFY(!QFile::exists(scripts.first()));
    // An edit saved meanwhile stays: a first script never takes its place.
    QVERIFY(QDir().mkpath(QFileInfo(scripts.last()).absolutePath()));
    QVERIFY(ScriptFile::replace(scripts.last(), QStringLiteral("edited\n")));

    bool scriptsThere = false;
    int started = 0;
    connect(&window->conversion(), &ConversionController::jobStarted, this, [&] {
        ++started;
        scriptsThere = std::all_of(scripts.cbegin(), scripts.cend(),
                                   [](const QString &script) { return QFile::exists(script); });
    });
    window->on_ConvertePushButton_clicked();
    QTRY_COMPARE(ui()->labelShowState->text(), QStringLiteral("Checking the output folder..."));
    QCOMPARE(started, 0);
    held.release();
    QTRY_COMPARE_WITH_TIMEOUT(started, 1, WindowTest::kEventTimeoutMs);
    QVERIFY(scriptsThere);
    window->on_StopConvertePushButton_clicked();
    QFile edited(scripts.last());
    QVERIFY(edited.open(QIODevice::ReadOnly));
    QCOMPARE(edited.readAll(), QByteArray("edited\n"));
}

// The editor's answer and a removed script written again before its job
// wait for the disk away from the window's thread: the row takes the edit,
// and the job starts, once the script is there.
void tst_AddFiles::editsReachTheDiskAwayFromTheWindow()
{
    window->addDroppedUrls({QUrl::fromLocalFile(media("av.mp4"))});
    QCOMPARE(list()->topLevelItemCount(), 1);
    const QString script = FileRow::effects(row(0)).value(FileRow::ScriptPathEntry);
    QTRY_VERIFY(window->conversion().scripts().isSettled());
    QTemporaryDir tools;
    QFile editor(tools.filePath(QStringLiteral("parlane")));
    QVERIFY(editor.open(QIODevice::WriteOnly));
    editor.write("#!/bin/sh\necho 'answer -ss 1 -t 1 -cropleft 0 -croptop 0 -cropright 0 "
                 "-cropbottom 0 -saturation 0 -brightness 0 -contrast 0 -drop 0' >&2\n");
    editor.close();
    QVERIFY(editor.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    syncs().ofWindow = 0;
    ScriptsHeld held;
    list()->setCurrentItem(row(0));
    Platform::setInstallDir(tools.path());
    window->on_editVideo_clicked();
    Platform::setInstallDir(WindowTest::stage());
    QTRY_VERIFY_WITH_TIMEOUT(ui()->textEdit->toPlainText().contains("-ss 1 -t 1"),
                             WindowTest::kEventTimeoutMs);
    QVERIFY(!FileRow::arguments(row(0)).contains(QStringLiteral("-ss")));
    QVERIFY(!list()->isEnabled());
    held.release();
    QTRY_VERIFY_WITH_TIMEOUT(list()->isEnabled(), WindowTest::kEventTimeoutMs);
    QCOMPARE(Arguments::value(FileRow::arguments(row(0)), QStringLiteral("-ss")),
             QStringLiteral("1"));

    QVERIFY(QFile::remove(script));
    bool scriptThere = false;
    const QProcess *transcoder = &window->conversion().job().process();
    connect(transcoder, &QProcess::started, this, [&] { scriptThere = QFile::exists(script); });
    QSignalSpy started(transcoder, &QProcess::started);
    window->on_ConvertePushButton_clicked();
    QVERIFY(started.wait(WindowTest::kEventTimeoutMs));
    QVERIFY(scriptThere);
    window->on_StopConvertePushButton_clicked();
    QCOMPARE(syncs().ofWindow.load(), 0);
}

void tst_AddFiles::probesSideBySideChangeNothingButTime()
{
    // Clips of one name, a file turned away unprobed, and two clips whose
    // probes fail at once, or never end while STUB_HANGS is set. The limit
    // on a probe, shorter than the program's, still lets every real probe
    // end on a busy machine.
    const int kLimitMs = TestTime::bound(8000);
    QTemporaryDir tools;
    QVERIFY(useToolScript(tools, QStringLiteral("case \"$2\" in */stuck/*)\n"
                                                "    [ -z \"$STUB_HANGS\" ] || exec sleep 60\n"
                                                "    exit 1 ;;\n"
                                                "esac\n"
                                                "exec \"%1/korvex\" \"$@\"\n")));
    const QStringList stuck = {copyOf("av.mp4", "stuck/a.mp4"), copyOf("av.mkv", "stuck/b.mkv")};
    const QStringList paths = {copyOf("av.mp4", "a/clip.mp4"), stuck.at(0),
                               inFiles("notes.txt"),           copyOf("av.avi", "b/clip.avi"),
                               stuck.at(1),                    copyOf("audio.mp3", "c/clip.mp3"),
                               copyOf("av.mkv", "d/clip.mkv")};

    struct Outcome {
        QStringList outputs;
        QStringList failed;
        qint64 ms = 0;
    };
    const auto add = [&](int workers) {
        window->clean();
        window->addFlow().probePool().setWorkerCount(workers);
        WindowTest::ModalAnswerer answerer;
        QElapsedTimer clock;
        clock.start();
        window->addPickedFiles(paths);
        Outcome outcome;
        outcome.ms = clock.elapsed();
        outcome.failed = answerer.failedFiles;
        for (int index = 0; index < list()->topLevelItemCount(); ++index)
            outcome.outputs << OutputPaths::fileName(outputPath(index));
        return outcome;
    };

    const Outcome serial = add(1);
    QCOMPARE(fixture.names(), QStringList({"clip.mp4", "clip.avi", "clip.mp3", "clip.mkv"}));
    QCOMPARE(serial.failed, QStringList({stuck.at(0), inFiles("notes.txt"), stuck.at(1)}));
    QCOMPARE(QSet<QString>(serial.outputs.cbegin(), serial.outputs.cend()).size(), 4);

    qputenv("STUB_HANGS", "1");
    window->addFlow().probePool().setTimeoutMs(kLimitMs);
    const Outcome sideBySide = add(3);
    qunsetenv("STUB_HANGS");
    QCOMPARE(fixture.names(), QStringList({"clip.mp4", "clip.avi", "clip.mp3", "clip.mkv"}));
    QCOMPARE(sideBySide.outputs, serial.outputs);
    QCOMPARE(sideBySide.failed, serial.failed);
    QCOMPARE(list()->currentItem(), row(3));
    QVERIFY(!fixture.dialog<openProgress>()->isVisible());
    // Both hung probes were ended by the limit, together (one after the
    // other would take twice as long), and none of them is left. The limit
    // is a coarse timer, which may fire up to a twentieth early.
    QVERIFY2(sideBySide.ms >= kLimitMs * 19 / 20 && sideBySide.ms < 2 * kLimitMs,
             qPrintable(QString::number(sideBySide.ms)));
    QTRY_COMPARE(window->addFlow().probePool().runningCount(), 0);
}

void tst_AddFiles::userEndsTheAddAtOnce_data()
{
    QTest::addColumn<bool>("closing");
    QTest::newRow("Cancel") << false;
    QTest::newRow("the window's close box") << true;
}

// The second file's probe never ends by itself. The add's Cancel ends the
// add at once with the rows listed so far; the window's close box closes
// the window at once.
void tst_AddFiles::userEndsTheAddAtOnce()
{
    QFETCH(bool, closing);
    QTemporaryDir tools;
    QVERIFY(useToolScript(tools, QStringLiteral("case \"$2\" in */stuck/*) exec sleep 60 ;; esac\n"
                                                "exec \"%1/korvex\" \"$@\"\n")));
    const QStringList paths = {copyOf("av.mp4", "first.mp4"), copyOf("av.mp4", "stuck/second.mp4"),
                               copyOf("av.mp4", "third.mp4")};
    openProgress *progress = fixture.dialog<openProgress>();
    QWidget *target = closing ? static_cast<QWidget *>(ui()->closeAll)
                              : progress->findChild<QPushButton *>(QStringLiteral("pushButtonCancel"));
    QElapsedTimer sinceClick;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        if (auto *question = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
            question->accept(); // "Exit?"
        if (sinceClick.isValid() || list()->topLevelItemCount() < 1 || !progress->isVisible())
            return;
        sinceClick.start();
        // Clicked on a turn of its own: the "Exit?" question it may open
        // is answered by this poll.
        QTimer::singleShot(0, target, [target] { QTest::mouseClick(target, Qt::LeftButton); });
    });
    poll.start(WindowTest::kPollMs);
    window->addPickedFiles(paths);
    QVERIFY(sinceClick.isValid());
    constexpr int kAtOnceMs = 5000; // the stuck probe would take 30 s
    QVERIFY2(sinceClick.elapsed() < kAtOnceMs, qPrintable(QString::number(sinceClick.elapsed())));
    QCOMPARE(fixture.names(), QStringList{QStringLiteral("first.mp4")});
    QCOMPARE(window->isVisible(), !closing);
    QVERIFY(!progress->isVisible());
    // The stuck probe was killed: it ends soon after, on the probes' thread.
    QTRY_COMPARE(window->addFlow().probePool().runningCount(), 0);
}

void tst_AddFiles::listRows(int count, const QString &outputFolder)
{
    for (int index = 0; index < count; ++index) {
        const QString name = QStringLiteral("listed%1").arg(index);
        auto *row = new QTreeWidgetItem(QStringList{QString(), name + ".mp4",
                                                    FileRow::kStatusReady, "00:00:02", "00:00:02",
                                                    QString(), name + ".avi"});
        row->setCheckState(FileRow::CheckColumn, Qt::Checked);
        list()->addTopLevelItem(row);
        FileRow::setArguments(row, {"-i", inFiles("listed/" + name + ".mp4"), "-y",
                                    outputFolder + '/' + name + ".avi"});
    }
}

void tst_AddFiles::costPerRowStaysFlat_data()
{
    QTest::addColumn<bool>("adding");
    QTest::addColumn<int>("shortList");
    QTest::addColumn<int>("longList");
    // Starting each probe costs the same at any length and outweighs what
    // the list once cost each file: the long list is the longer here.
    QTest::newRow("adding files") << true << 300 << 3000;
    QTest::newRow("typing a Destination") << false << 200 << 2000;
}

// What one file added, or one row moved to a new Destination, costs the
// program stays the same however long the list is: nothing goes through
// every other row again for each one. Measured in the window thread's
// processor time, which a busy machine does not stretch the way it
// stretches the clock.
void tst_AddFiles::costPerRowStaysFlat()
{
    QFETCH(bool, adding);
    QFETCH(int, shortList);
    QFETCH(int, longList);
    const auto cpuSeconds = [] {
        rusage usage{};
        getrusage(RUSAGE_THREAD, &usage);
        return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
               + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    };
    const auto settled = [this] {
        return QTest::qWaitFor([this] { return window->outputNaming().isSettled(); }, 120000);
    };
    constexpr int kAdded = 10;
    QStringList clips;
    for (int index = 0; index < kAdded; ++index)
        clips << copyOf("av.mp4", QStringLiteral("added/clip%1.mp4").arg(index));
    const auto costPerRow = [&](int rows) {
        window->clean();
        listRows(rows, fixture.outFolder());
        // The rows listed are looked at before the clock starts.
        window->applyOutputFolder(fixture.outFolder());
        if (!settled())
            return -1.0;
        const double before = cpuSeconds();
        if (adding)
            window->addPickedFiles(clips);
        else
            window->applyOutputFolder(fixture.files->filePath(QStringLiteral("elsewhere")));
        if (!settled())
            return -1.0;
        return (cpuSeconds() - before) / (adding ? kAdded : rows);
    };
    // The least of a few rounds: a busy machine adds to what a round costs,
    // never takes from it, and beside a whole test suite it may add to two.
    double shortCost = -1;
    double longCost = -1;
    constexpr int kRounds = 3;
    for (int round = 0; round < kRounds; ++round) {
        for (const auto &[rows, least] : {std::pair{shortList, &shortCost}, {longList, &longCost}}) {
            const double cost = costPerRow(rows);
            QVERIFY(cost > 0);
            if (*least < 0 || cost < *least)
                *least = cost;
        }
    }
    QCOMPARE(list()->topLevelItemCount(), longList + (adding ? kAdded : 0));
    QVERIFY2(longCost < 1.5 * shortCost,
             qPrintable(QStringLiteral("%1 ms a row at %2 rows, %3 ms at %4")
                            .arg(shortCost * 1000)
                            .arg(shortList)
                            .arg(longCost * 1000)
                            .arg(longList)));
}

QTEST_MAIN(tst_AddFiles)
#include "tst_addfiles.moc"
