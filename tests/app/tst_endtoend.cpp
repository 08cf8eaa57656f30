#include <algorithm>
#include <functional>

#include <sched.h>
#include <signal.h>
#include <sys/prctl.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "conversion/partfilename.h"
#include "testfsmount.h"
#include "../support/mediaprograms.h"

// The installed program as a user meets it: started from another folder on a
// real X server, driven only by the mouse and keyboard through the X server,
// and judged by what it leaves on disk, in the process table and on screen.
// Points are the main window's fixed form geometry.

namespace {

constexpr int kSkipExitCode = 77;
constexpr int kToolTimeoutMs = 30000;
// Generous: the machine may be busy with a whole test suite.
constexpr int kWindowTimeoutMs = 60000;
constexpr int kConversionTimeoutMs = 120000;
constexpr int kPreviewTimeoutMs = 30000;
// How long a paused job is watched for output it should not write.
constexpr int kPausedWatchMs = 1500;
constexpr int kPartGrowthBytes = 64 * 1024;
constexpr int kShownOutputBytes = 4000;

const QSize kMainWindowSize(860, 600);
const QPoint kAddFile(64, 66);
const QPoint kEditVideo(271, 66);
const QPoint kFirstRow(150, 133);
const QRect kFileList(15, 97, 251, 261);
const QPoint kConvert(690, 558);
const QPoint kDestination(270, 549);
const QPoint kPauseContinue(690, 558); // Convert's place, shown while paused
const QPoint kPauseRun(750, 557);
const QPoint kStopRun(811, 558);
const QRect kPlayButton(545, 467, 44, 31);
const QPoint kStopPreview(604, 482);
const QPoint kCapture(718, 481);
const QPoint kResultOk(367, 283); // in the add-result dialog
const QSize kExitQuestionSize(280, 150);
const QPoint kExitOk(143, 135); // in the exit question
const QRect kPreviewArea(542, 139, 297, 237);
const QRect kTimeLabel(553, 400, 291, 20);

QByteArray run(const QString &program, const QStringList &arguments) {
    QProcess tool;
    tool.start(program, arguments);
    if (!tool.waitForFinished(kToolTimeoutMs)) {
        tool.kill();
        tool.waitForFinished();
    }
    return tool.readAllStandardOutput();
}

QString xdotool(const QStringList &arguments) {
    return QString::fromLocal8Bit(run(QStringLiteral("xdotool"), arguments)).trimmed();
}

bool waitFor(const std::function<bool()> &condition, int timeoutMs) {
    return QTest::qWaitFor(condition, timeoutMs);
}

struct ProcessEntry {
    qint64 pid = 0;
    qint64 parent = 0;
    qint64 group = 0;
    char state = '?';
    QByteArray name;
};

QList<ProcessEntry> processTable() {
    QList<ProcessEntry> table;
    const QStringList ids =
        QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &id : ids) {
        bool numeric = false;
        const qint64 pid = id.toLongLong(&numeric);
        QFile stat(QStringLiteral("/proc/%1/stat").arg(id));
        if (!numeric || !stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state parent group ...": the name may hold blanks.
        const QByteArray text = stat.readAll();
        const qsizetype open = text.indexOf('(');
        const qsizetype close = text.lastIndexOf(')');
        if (open < 0 || close < open)
            continue;
        const QList<QByteArray> fields = text.mid(close + 2).split(' ');
        if (fields.size() < 3 || fields.at(0).isEmpty())
            continue;
        table.append({pid, fields.at(1).toLongLong(), fields.at(2).toLongLong(), fields.at(0).at(0),
                      text.mid(open + 1, close - open - 1)});
    }
    return table;
}

QStringList commandLine(qint64 pid) {
    QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList words;
    for (const QByteArray &word : file.readAll().split('\0'))
        words << QFile::decodeName(word);
    if (!words.isEmpty() && words.last().isEmpty())
        words.removeLast();
    return words;
}

QImage screen() {
    return QImage::fromData(
        run(QStringLiteral("/usr/bin/import"),
            {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("ppm:-")}),
        "PPM");
}

bool isPlain(const QImage &image) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != image.pixel(0, 0))
                return false;
        }
    }
    return true;
}

struct Probe {
    QStringList streamTypes;
    double seconds = -1;
    int width = 0;
};

Probe ffprobe(const QString &path) {
    const QString text = QString::fromUtf8(
        run(MediaPrograms::ffprobe(),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
             QStringLiteral("stream=codec_type,width:format=duration"), QStringLiteral("-of"),
             QStringLiteral("default=noprint_wrappers=1"), path}));
    Probe probe;
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QString key = line.section(QLatin1Char('='), 0, 0);
        const QString value = line.section(QLatin1Char('='), 1);
        if (key == QLatin1String("codec_type"))
            probe.streamTypes << value;
        else if (key == QLatin1String("duration"))
            probe.seconds = value.toDouble();
        else if (key == QLatin1String("width") && value.toInt() > 0)
            probe.width = value.toInt();
    }
    return probe;
}

QString clip(const QString &name) {
    return qEnvironmentVariable("QUILLORA_TEST_MEDIA") + QLatin1Char('/') + name;
}

} // namespace

class tst_EndToEnd : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void addsThroughTheOpenDialog();
    void convertsTheAddedFiles();
    void pausesContinuesAndStopsLongJob();
    void previewPlaysAndTakesSnapshot();
    // Ends the program: keep it last.
    void exitLeavesNoProcessBehind();

private:
    // A shown window of the program with that title (and size, when given).
    QString findWindow(const QString &title, const QSize &size = QSize()) const;
    QRect windowGeometry(const QString &id) const;
    void click(const QPoint &point) const;
    QImage grab(const QRect &area) const;
    // Picks a file in the program's open dialog, which is Qt's own. One
    // at a time: for several names typed at once the dialog returns those it
    // has found in its listing by then, in the order it found them.
    bool pickFile(const QString &path);
    QList<ProcessEntry> transcoders() const;
    QString outputFolder() const;
    QString snapshotFolder() const;

    QTemporaryDir work;
    QString home;
    QString clips;
    QProcess program;
    QString window;
    QPoint origin;
    QImage disabledPlay;
    QSet<qint64> transcoderGroups;
    bool earlierStepFailed = false;
};

void tst_EndToEnd::initTestCase() {
    const QString installed =
        qEnvironmentVariable("QUILLORA_STAGE_DIR") + QStringLiteral("/quillora");
    QVERIFY2(QFileInfo(installed).isExecutable(), qPrintable(installed));
    QVERIFY(work.isValid());

    home = work.filePath(QStringLiteral("home"));
    clips = home + QStringLiteral("/clips");
    const QString runtime = work.filePath(QStringLiteral("run"));
    const QString elsewhere = work.filePath(QStringLiteral("elsewhere"));
    for (const QString &folder : {clips, runtime, elsewhere, work.filePath(QStringLiteral("tmp"))})
        QVERIFY(QDir().mkpath(folder));
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(
        QFile::copy(clip(QStringLiteral("long.mp4")), clips + QStringLiteral("/long clip.mp4")));
    QVERIFY(QFile::copy(clip(QStringLiteral("audio.mp3")), clips + QStringLiteral("/audio.mp3")));
    QVERIFY(
        QFile::copy(clip(QStringLiteral("notmedia.mp4")), clips + QStringLiteral("/notmedia.mp4")));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // A desktop session's theme would bring its own file dialog.
    for (const char *name : {"QT_QPA_PLATFORM", "QT_QPA_PLATFORMTHEME", "XDG_CURRENT_DESKTOP",
                             "DESKTOP_SESSION", "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID"})
        environment.remove(QLatin1String(name));
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    // The single-instance guard keys on the temporary folder: other tests'
    // instances must not count as this one's.
    environment.insert(QStringLiteral("TMPDIR"), work.filePath(QStringLiteral("tmp")));
    environment.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(elsewhere);
    // One processor for the program and everything it starts: the long job
    // then takes long enough to be paused however fast the machine is.
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    QVERIFY(sched_getaffinity(0, sizeof allowed, &allowed) == 0);
    int last = CPU_SETSIZE - 1;
    while (last > 0 && !CPU_ISSET(last, &allowed))
        --last;
    program.setChildProcessModifier([last] {
        // Nor may it outlive a test that is ended from outside.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(last, &one);
        sched_setaffinity(0, sizeof one, &one);
    });
    // Kept, and shown when a step fails.
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(installed, {});
    QVERIFY(program.waitForStarted());

    // The splash window that comes first bears the same title.
    QVERIFY2(waitFor(
                 [&] {
                     window = findWindow(QStringLiteral("Quillora"), kMainWindowSize);
                     return !window.isEmpty();
                 },
                 kWindowTimeoutMs),
             "the main window did not appear");
    origin = windowGeometry(window).topLeft();
    // Nothing to play in an empty list: Play's look while it is disabled,
    // once the window has painted it.
    QImage painted;
    QVERIFY(waitFor(
        [&] {
            const QImage last = painted;
            painted = grab(kPlayButton);
            return !isPlain(painted) && painted == last;
        },
        kWindowTimeoutMs));
    disabledPlay = painted;
}

void tst_EndToEnd::init() {
    if (earlierStepFailed)
        QSKIP("an earlier step failed");
    QVERIFY2(program.state() == QProcess::Running, "the program has ended");
}

void tst_EndToEnd::cleanup() {
    if (QTest::currentTestFailed()) {
        earlierStepFailed = true;
        // What the screen showed, for whoever reads the failure.
        const QString shot = QDir::current().absoluteFilePath(
            QStringLiteral("tst_endtoend-%1.png").arg(QLatin1String(QTest::currentTestFunction())));
        if (screen().save(shot))
            qInfo("screen saved as %s", qPrintable(shot));
        qInfo("the program's last words:\n%s",
              program.readAll().right(kShownOutputBytes).constData());
    }
}

void tst_EndToEnd::cleanupTestCase() {
    if (program.state() != QProcess::NotRunning) {
        program.kill();
        program.waitForFinished();
    }
    // A transcoder left paused or running by a failed step.
    for (const ProcessEntry &entry : processTable()) {
        if (transcoderGroups.contains(entry.group) &&
            (entry.name == "korvex" || entry.name == "ffmpeg"))
            ::kill(pid_t(entry.pid), SIGKILL);
    }
}

QString tst_EndToEnd::findWindow(const QString &title, const QSize &size) const {
    const QString ids = xdotool({QStringLiteral("search"), QStringLiteral("--all"),
                                 QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                                 QString::number(program.processId()), QStringLiteral("--name"),
                                 QStringLiteral("^%1$").arg(QRegularExpression::escape(title))});
    for (const QString &id : ids.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (!size.isValid() || windowGeometry(id).size() == size)
            return id;
    }
    return {};
}

QRect tst_EndToEnd::windowGeometry(const QString &id) const {
    const QString text =
        xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), id});
    const auto value = [&text](const char *key) {
        return QRegularExpression(QStringLiteral("^%1=(-?\\d+)$").arg(QLatin1String(key)),
                                  QRegularExpression::MultilineOption)
            .match(text)
            .captured(1)
            .toInt();
    };
    return QRect(value("X"), value("Y"), value("WIDTH"), value("HEIGHT"));
}

void tst_EndToEnd::click(const QPoint &point) const {
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window,
             QString::number(point.x()), QString::number(point.y()), QStringLiteral("click"),
             QStringLiteral("1")});
}

QImage tst_EndToEnd::grab(const QRect &area) const {
    return screen().copy(area.translated(origin));
}

bool tst_EndToEnd::pickFile(const QString &path) {
    click(kAddFile);
    QString dialog;
    if (!waitFor(
            [&] { return !(dialog = findWindow(QStringLiteral("open files dialog"))).isEmpty(); },
            kWindowTimeoutMs))
        return false;
    xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), dialog});
    // Quoted, the name brings up no completion list that would take the Return.
    xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"),
             QLatin1Char('"') + path + QLatin1Char('"')});
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    return waitFor([&] { return findWindow(QStringLiteral("open files dialog")).isEmpty(); },
                   kWindowTimeoutMs);
}

QList<ProcessEntry> tst_EndToEnd::transcoders() const {
    QList<ProcessEntry> found;
    for (const ProcessEntry &entry : processTable()) {
        if (entry.parent == program.processId() && entry.name == "korvex" && entry.state != 'Z')
            found << entry;
    }
    return found;
}

QString tst_EndToEnd::outputFolder() const {
    return home + QStringLiteral("/Documents/Quillora/output");
}

QString tst_EndToEnd::snapshotFolder() const {
    return home + QStringLiteral("/Documents/Quillora/snap");
}

void tst_EndToEnd::addsThroughTheOpenDialog() {
    for (const char *name : {"long clip.mp4", "audio.mp3", "notmedia.mp4"})
        QVERIFY2(pickFile(clips + QLatin1Char('/') + QLatin1String(name)), name);

    // The text file is turned away, and only that brings up the result.
    QString result;
    QVERIFY2(waitFor([&] { return !(result = findWindow(QStringLiteral("Dialog"))).isEmpty(); },
                     kWindowTimeoutMs),
             "no add-result dialog");
    QCOMPARE(windowGeometry(result).size(), QSize(500, 300));
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), result,
             QString::number(kResultOk.x()), QString::number(kResultOk.y()),
             QStringLiteral("click"), QStringLiteral("1")});
    QVERIFY2(
        waitFor([&] { return findWindow(QStringLiteral("Dialog")).isEmpty(); }, kWindowTimeoutMs),
        "the add-result dialog did not close");
}

void tst_EndToEnd::convertsTheAddedFiles() {
    click(kConvert);
    const QString video = outputFolder() + QStringLiteral("/long clip.avi");
    const QString sound = outputFolder() + QStringLiteral("/audio.avi");
    QVERIFY2(
        waitFor(
            [&] { return QFile::exists(video) && QFile::exists(sound) && transcoders().isEmpty(); },
            kConversionTimeoutMs),
        qPrintable(QDir(outputFolder()).entryList(QDir::Files | QDir::Hidden).join(", ")));
    // Nothing else: the text file was never listed.
    QCOMPARE(QDir(outputFolder()).entryList(QDir::Files | QDir::Hidden).size(), 2);

    const Probe picture = ffprobe(video);
    QCOMPARE(picture.streamTypes, (QStringList{"video", "audio"}));
    QCOMPARE(picture.width, 320);
    QVERIFY2(qAbs(picture.seconds - 12) < 0.5, qPrintable(QString::number(picture.seconds)));
    const Probe tone = ffprobe(sound);
    QVERIFY2(tone.streamTypes.contains(QLatin1String("audio")),
             qPrintable(tone.streamTypes.join(' ')));
    QVERIFY2(qAbs(tone.seconds - 2) < 0.5, qPrintable(QString::number(tone.seconds)));
}

void tst_EndToEnd::pausesContinuesAndStopsLongJob() {
    const QString source = clip(QStringLiteral("slow.mp4"));
    const QImage listBefore = grab(kFileList);
    QVERIFY2(pickFile(source), "the open dialog did not take the name");
    // The window takes clicks while the file is probed, and Convert has
    // nothing to start until its row is listed: the click follows the probe.
    const auto probing = [&] {
        for (const ProcessEntry &entry : transcoders()) {
            const QStringList words = commandLine(entry.pid);
            if (words.contains(QStringLiteral("-i")) && words.contains(source))
                return true;
        }
        return false;
    };
    waitFor(probing, kWindowTimeoutMs);
    QVERIFY2(waitFor([&] { return !probing(); }, kConversionTimeoutMs), "the probe did not end");
    // Listed: the list shows something new, and holds still.
    QImage list;
    QVERIFY2(waitFor(
                 [&] {
                     const QImage last = list;
                     list = grab(kFileList);
                     return list != listBefore && list == last;
                 },
                 kWindowTimeoutMs),
             "the row was not listed");
    click(kConvert);

    const QString output = outputFolder() + QStringLiteral("/slow.avi");
    ProcessEntry job;
    QVERIFY2(waitFor(
                 [&] {
                     for (const ProcessEntry &entry : transcoders()) {
                         const QStringList words = commandLine(entry.pid);
                         if (!words.isEmpty() && QFileInfo(words.last()) == QFileInfo(output)) {
                             job = entry;
                             return true;
                         }
                     }
                     return false;
                 },
                 kConversionTimeoutMs),
             "the long job did not start");
    transcoderGroups << job.group;
    const auto group = [&job] {
        QList<ProcessEntry> members;
        for (const ProcessEntry &entry : processTable()) {
            if (entry.group == job.group && entry.state != 'Z')
                members << entry;
        }
        return members;
    };
    const auto allStopped = [&group] {
        const QList<ProcessEntry> members = group();
        return members.size() >= 2 &&
               std::all_of(members.begin(), members.end(),
                           [](const ProcessEntry &entry) { return entry.state == 'T'; });
    };
    const auto noneStopped = [&group] {
        const QList<ProcessEntry> members = group();
        return members.size() >= 2 &&
               std::none_of(members.begin(), members.end(),
                            [](const ProcessEntry &entry) { return entry.state == 'T'; });
    };
    // korvex writes beside the output under a hidden name of its own.
    const QString part =
        PartFileName::forOutput(outputFolder() + QStringLiteral("/slow.avi"), job.pid);
    QVERIFY2(
        waitFor([&] { return QFileInfo(part).size() > kPartGrowthBytes; }, kConversionTimeoutMs),
        "the long job writes nothing");

    click(kPauseRun);
    QVERIFY2(waitFor(allStopped, kWindowTimeoutMs), "the transcoder was not stopped");
    const qint64 pausedSize = QFileInfo(part).size();
    QVERIFY2(!waitFor([&] { return QFileInfo(part).size() != pausedSize || !allStopped(); },
                      kPausedWatchMs),
             "the paused job went on");

    click(kPauseContinue);
    QVERIFY2(waitFor([&] { return noneStopped() && QFileInfo(part).size() > pausedSize; },
                     kWindowTimeoutMs),
             "the transcoder did not go on");

    click(kStopRun);
    QVERIFY2(waitFor([&] { return group().isEmpty(); }, kWindowTimeoutMs),
             "the transcoder did not end");
    QVERIFY2(!QFile::exists(part), "the stopped job's partial file is left");
    QVERIFY2(!QFile::exists(output), "the stopped job left an output");
}

void tst_EndToEnd::previewPlaysAndTakesSnapshot() {
    const QImage idlePreview = grab(kPreviewArea);
    click(kFirstRow);
    // Play is offered while some row is checked: the stopped one is.
    QVERIFY2(waitFor([&] { return grab(kPlayButton) != disabledPlay; }, kWindowTimeoutMs),
             "Play is not offered");
    click(kPlayButton.center());

    // The picture shows, then moves on, and so does the time.
    QImage picture;
    QVERIFY2(waitFor(
                 [&] {
                     picture = grab(kPreviewArea);
                     return picture != idlePreview && !isPlain(picture);
                 },
                 kPreviewTimeoutMs),
             "no picture in the preview area");
    QVERIFY2(waitFor([&] { return grab(kPreviewArea) != picture; }, kPreviewTimeoutMs),
             "the picture does not move");
    // The duration appears at most once; the second change is the position.
    for (int change = 0; change < 2; ++change) {
        const QImage time = grab(kTimeLabel);
        QVERIFY2(waitFor([&] { return grab(kTimeLabel) != time; }, kPreviewTimeoutMs),
                 "the time does not move");
    }

    click(kCapture);
    const QString snapshot = snapshotFolder() + QStringLiteral("/pic0.bmp");
    QImage saved;
    QVERIFY2(waitFor([&] { return !(saved = QImage(snapshot)).isNull(); }, kPreviewTimeoutMs),
             qPrintable(QDir(snapshotFolder()).entryList(QDir::Files | QDir::Hidden).join(", ")));
    QVERIFY(!isPlain(saved));

    click(kStopPreview);
}

void tst_EndToEnd::exitLeavesNoProcessBehind() {
    // A Destination typed on a share that has stopped answering: the look at
    // it waits, as long as the share does.
    QTemporaryDir shareFolder;
    TestFsMount share(shareFolder.path(), {}, TestFsMount::WithGate);
    if (share.isMounted()) {
        share.closeGate();
        xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window,
                 QString::number(kDestination.x()), QString::number(kDestination.y()),
                 QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("3"),
                 QStringLiteral("1")});
        xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"),
                 share.path()});
        xdotool({QStringLiteral("key"), QStringLiteral("Return")});
        QVERIFY2(waitFor([&share] { return share.callsHeld(); }, kWindowTimeoutMs),
                 "the typed Destination was not looked at");
    } else {
        qInfo("without the share: %s", qPrintable(share.whyNot()));
    }

    // The editor, left open on the current row.
    click(kFirstRow);
    click(kEditVideo);
    qint64 editor = 0;
    QVERIFY2(waitFor(
                 [&] {
                     for (const ProcessEntry &entry : processTable()) {
                         if (entry.parent == program.processId() && entry.name == "parlane")
                             editor = entry.pid;
                     }
                     return editor != 0;
                 },
                 kWindowTimeoutMs),
             "the editor did not start");
    const QString editorProc = QStringLiteral("/proc/%1").arg(editor);
    const auto noLeftover = qScopeGuard([&editorProc, editor] {
        if (QFileInfo::exists(editorProc))
            ::kill(pid_t(editor), SIGKILL);
    });

    // Its window takes the focus as it comes up: the key is for ours.
    QVERIFY2(waitFor(
                 [editor] {
                     return !xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                      QStringLiteral("--pid"), QString::number(editor),
                                      QStringLiteral("--name"), QStringLiteral("^Edit - ")})
                                 .isEmpty();
                 },
                 kWindowTimeoutMs),
             "the editor shows no window");

    // The exit key asks first while files are listed, as the close button
    // does; the close path then ends what the window still runs, and the
    // program ends while the share still does not answer.
    xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+x")});
    QString question;
    QVERIFY2(waitFor(
                 [&] {
                     return !(question = findWindow(QStringLiteral("Dialog"), kExitQuestionSize))
                                 .isEmpty();
                 },
                 kWindowTimeoutMs),
             "no exit question");
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), question,
             QString::number(kExitOk.x()), QString::number(kExitOk.y()), QStringLiteral("click"),
             QStringLiteral("1")});
    QVERIFY2(program.waitForFinished(kWindowTimeoutMs), "the program did not end");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QVERIFY2(waitFor([&] { return !QFileInfo::exists(editorProc); }, kWindowTimeoutMs),
             "the editor outlived the program");
}

int main(int argc, char *argv[]) {
    // A real X server and the tools that drive it are needed; CI runs this
    // under xvfb-run with the packages of scripts/setup.sh.
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return kSkipExitCode;
    for (const char *tool : {"xdotool", "import"}) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty()) {
            qWarning("%s is not installed", tool);
            return kSkipExitCode;
        }
    }
    if (!QFileInfo(MediaPrograms::ffprobe()).isExecutable()) {
        qWarning("ffprobe is not installed");
        return kSkipExitCode;
    }
    QCoreApplication app(argc, argv);
    tst_EndToEnd test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_endtoend.moc"
