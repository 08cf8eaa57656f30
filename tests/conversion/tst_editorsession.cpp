#include <cstdio>

#include <signal.h>

#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include "conversion/editorsession.h"
#include "conversion/scriptwriter.h"
#include "filelist/filerow.h"
#include "platform/platform.h"
#include "../support/processstate.h"

// The editor's round trip on a list of its own, with a stand-in for the tool.
class tst_EditorSession : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void answerReachesTheRowItWasOpenedFor();
    void toolThatCannotStartFreesTheControls();
    void controlsAreFreedOnlyForAnOpenedTool();
    void editorEndsWithTheProgram();

private:
    void useTool(const QByteArray &script);

    QTemporaryDir *install = nullptr;
    QTreeWidget *list = nullptr;
};

namespace {

constexpr int kToolTimeoutMs = 30000;
const QByteArray kAnswer = "-ss 10 -t 30 -cropleft 0 -croptop 0 -cropright 0 -cropbottom 0 "
                           "-saturation 0 -brightness 0 -contrast 0 -drop 0";

// The test's own program, started with this and an installation folder,
// opens the editor on a row as the window does and waits.
const char *const kOpenEditorSwitch = "--open-editor";

EditorRow factsOf(const QTreeWidgetItem *row) {
    EditorRow facts;
    facts.arguments = FileRow::arguments(row);
    facts.effects = FileRow::effects(row);
    facts.sourceSize = QStringLiteral("320x240");
    facts.displayRatio = QStringLiteral("1.333");
    facts.trimDuration = QStringLiteral("83.4");
    facts.sourceDurationText = QStringLiteral("00:01:23");
    facts.channels = QStringLiteral("2");
    facts.sampleRate = QStringLiteral("44100");
    return facts;
}

} // namespace

void tst_EditorSession::init() {
    install = new QTemporaryDir;
    QVERIFY(install->isValid());
    Platform::setInstallDir(install->path());
    list = new QTreeWidget;
    for (const QString &name : {QStringLiteral("a.mp4"), QStringLiteral("b.mp4")}) {
        auto *row = new QTreeWidgetItem(list, QStringList({QString(), name}));
        const QString source = install->filePath(name);
        FileRow::setArguments(row, {QStringLiteral("-i"), source, QStringLiteral("-y"),
                                    install->filePath(name + QStringLiteral(".avi"))});
        FileRow::setEffects(row, {QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("1"),
                                  source, install->filePath(name + QStringLiteral(".avs")),
                                  install->filePath(name + QStringLiteral(".png"))});
    }
}

void tst_EditorSession::cleanup() {
    delete list;
    list = nullptr;
    Platform::setInstallDir(QString());
    delete install;
    install = nullptr;
}

void tst_EditorSession::useTool(const QByteArray &script) {
    QFile tool(install->filePath(QStringLiteral("parlane")));
    QVERIFY(tool.open(QIODevice::WriteOnly));
    tool.write("#!/bin/sh\n" + script);
    tool.close();
    QVERIFY(tool.setPermissions(tool.permissions() | QFile::ExeOwner));
}

void tst_EditorSession::answerReachesTheRowItWasOpenedFor() {
    // The answer comes in two pieces, the second once the first was read.
    constexpr int kFirstPiece = 20;
    useTool("printf '%s' 'edited " + kAnswer.left(kFirstPiece) +
            "' >&2\nsleep 0.2\n"
            "printf '%s' '" +
            kAnswer.mid(kFirstPiece) + "' >&2\n");
    ScriptWriter scripts;
    EditorSession session(list, &scripts);
    session.setRowFacts(factsOf);
    QSignalSpy opening(&session, &EditorSession::opening);
    QSignalSpy freed(&session, &EditorSession::controlsFreed);
    QSignalSpy problems(&session, &EditorSession::problem);
    const ArgumentList untouched = FileRow::arguments(list->topLevelItem(0));

    session.open(1, QStringLiteral("1"));
    QCOMPARE(opening.count(), 1);
    QCOMPARE(session.row(), 1);
    QCOMPARE(session.arguments().mid(0, 2),
             QStringList({QStringLiteral("-fileNa"), install->filePath(QStringLiteral("b.mp4"))}));
    list->setCurrentItem(list->topLevelItem(0));
    QVERIFY(freed.wait(kToolTimeoutMs));

    QCOMPARE(freed.count(), 1);
    QCOMPARE(problems.count(), 0);
    QVERIFY(!session.isOpen());
    QCOMPARE(session.row(), -1);
    const ArgumentList edited = FileRow::arguments(list->topLevelItem(1));
    QCOMPARE(edited.mid(0, 4), QStringList({"-ss", "10", "-t", "30"}));
    QVERIFY(QFile::exists(install->filePath(QStringLiteral("b.mp4.avs"))));
    QCOMPARE(FileRow::arguments(list->topLevelItem(0)), untouched);
}

void tst_EditorSession::toolThatCannotStartFreesTheControls() {
    ScriptWriter scripts;
    EditorSession session(list, &scripts);
    session.setRowFacts(factsOf);
    QSignalSpy freed(&session, &EditorSession::controlsFreed);
    QSignalSpy failed(&session, &EditorSession::failedToStart);
    session.open(0, QStringLiteral("0"));
    QTRY_COMPARE_WITH_TIMEOUT(freed.count(), 1, kToolTimeoutMs);
    QCOMPARE(failed.count(), 1);
    QVERIFY(!failed.first().first().toString().isEmpty());
    QVERIFY(!session.isOpen());
    QCOMPARE(session.row(), -1);
}

// The controls the window locked for a tool are given back once; with no
// tool opened (or its answer read already) another read leaves them alone,
// as they may be locked for a run.
void tst_EditorSession::controlsAreFreedOnlyForAnOpenedTool() {
    useTool("printf '%s' '" + kAnswer + "' >&2\n");
    ScriptWriter scripts;
    EditorSession session(list, &scripts);
    session.setRowFacts(factsOf);
    QSignalSpy freed(&session, &EditorSession::controlsFreed);
    session.readAnswer();
    QCOMPARE(freed.count(), 0);

    session.open(0, QStringLiteral("0"));
    QVERIFY(freed.wait(kToolTimeoutMs));
    session.readAnswer();
    QCOMPARE(freed.count(), 1);
}


void tst_EditorSession::editorEndsWithTheProgram() {
    // The stand-in names its process, which then becomes the editor's sleep.
    useTool("echo $$ > \"$0.pid\"\nexec sleep 600\n");
    QProcess program;
    program.start(QCoreApplication::applicationFilePath(),
                  {QLatin1String(kOpenEditorSwitch), install->path()});
    QVERIFY(program.waitForReadyRead(kToolTimeoutMs));
    QFile named(install->filePath(QStringLiteral("parlane.pid")));
    QTRY_VERIFY_WITH_TIMEOUT(named.size() > 0, kToolTimeoutMs);
    QVERIFY(named.open(QIODevice::ReadOnly));
    const qint64 editor = named.readAll().trimmed().toLongLong();
    QVERIFY(editor > 0);
    const auto noLeftover = qScopeGuard([editor] { ::kill(pid_t(editor), SIGKILL); });

    // Killed outright: nothing of the program's own runs at its end.
    ::kill(pid_t(program.processId()), SIGKILL);
    QVERIFY(program.waitForFinished(kToolTimeoutMs));
    QTRY_VERIFY_WITH_TIMEOUT(processState(editor) == 0 || processState(editor) == 'Z',
                             kToolTimeoutMs);
}

namespace {

int openEditorAndWait(int argc, char *argv[]) {
    QApplication app(argc, argv);
    Platform::setInstallDir(QString::fromLocal8Bit(argv[2]));
    QTreeWidget list;
    auto *row = new QTreeWidgetItem(&list, QStringList({QString(), QStringLiteral("a.mp4")}));
    FileRow::setArguments(row, {QStringLiteral("-i"), QStringLiteral("/nonexistent/a.mp4")});
    ScriptWriter scripts;
    EditorSession session(&list, &scripts);
    session.open(0, QStringLiteral("0"));
    if (!session.waitForStarted())
        return 1;
    std::puts("open");
    std::fflush(stdout);
    return app.exec();
}

} // namespace

int main(int argc, char *argv[]) {
    if (argc == 3 && qstrcmp(argv[1], kOpenEditorSwitch) == 0)
        return openEditorAndWait(argc, argv);
    QApplication app(argc, argv);
    tst_EditorSession test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_editorsession.moc"
