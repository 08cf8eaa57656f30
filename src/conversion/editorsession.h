#pragma once

#include <functional>
#include <memory>

#include <QObject>
#include <QPersistentModelIndex>
#include <QProcess>
#include <QString>
#include <QStringList>

#include "conversion/editoranswer.h"
#include "conversion/staleanswers.h"

class FolderWork;
class ScriptWriter;
class QTreeWidget;
class QTreeWidgetItem;

// One round trip through the editor tool: it is opened on a row of the list,
// its answer is read whole once it has ended and goes into that row and its
// script. Whatever the tool does (answers, is cancelled, crashes, never
// starts), the controls the window locked for it are handed back.
//
// The tool reads the clip before it shows anything: a clip on a share that
// stopped answering would hold it, and the locked window with it, for as
// long as the share does. So the clip is looked at first, away from the
// window's thread, and the tool starts once it has answered; until then the
// opening can be given up. The answer's script is written by the scripts'
// writer, away from the window's thread, and the row takes the answer once
// its script is on disk; the controls come back then.
class EditorSession : public QObject
{
    Q_OBJECT

public:
    // What the row's answer is applied to; the window knows the row's audio
    // choices and the script's plugin paths.
    using RowFacts = std::function<EditorRow(const QTreeWidgetItem *row)>;

    EditorSession(QTreeWidget *list, ScriptWriter *scripts, QObject *parent = nullptr);
    ~EditorSession() override;

    void setRowFacts(RowFacts facts);

    // Opens the editor on the list's row `row`; mode "0" edits, "1" trims,
    // "2" sets the effects. An editor still open from before is given time
    // to end first.
    void open(int row, const QString &mode);
    // The clip is being looked at, the tool is starting or running, or its
    // answer is being saved.
    bool isOpen() const;
    // Waiting for the clip to answer before the tool starts.
    bool isWaitingForClip() const;
    // Gives up the wait for the clip: the tool never starts, and the
    // controls are handed back.
    void giveUpOpening();
    // The row the open tool works on; -1 when none.
    int row() const;
    // The tool's command line of the last opening.
    QStringList arguments() const;
    // Waits for the clip's answer, then for the tool's start.
    bool waitForStarted();
    // The window closes: the tool goes without an answer, or never starts.
    void close();

    // The tool's answer, once it has ended: stored into its row once its
    // script is on disk (the row stays as it was when the answer is
    // incomplete or cannot be saved).
    // Nothing once the answer of the last opening has been read.
    void readAnswer();

Q_SIGNALS:
    // Just before the tool starts: the window locks what must not change
    // under the edit.
    void opening();
    // The wait for the clip before the tool starts begins or ends.
    void waitingForClip(bool waiting);
    void controlsFreed();
    void failedToStart(const QString &reason);
    void logText(const QString &text);
    // The answer could not be stored; the row and its old script agree.
    void problem(const QString &text);

private:
    void clipAnswered(const QString &tool, const QStringList &command,
                      const StaleAnswers::Ticket &ticket);
    void endClipWait();
    void toolFinished();
    void toolFailed(QProcess::ProcessError error);
    // False when nothing is to be saved: the controls are the user's again.
    bool storeAnswer(const EditorAnswer &answer, QTreeWidgetItem *row);
    void answerSaved(const QPersistentModelIndex &row, const EditorEdit &edit,
                     const QString &problem);

    QTreeWidget *m_list;
    ScriptWriter *m_scripts;
    QProcess m_process;
    QPersistentModelIndex m_row;
    QStringList m_command;
    // Opened, and neither answered nor failed to start yet.
    bool m_answerAwaited = false;
    // Answers whose scripts are on their way to disk.
    int m_savesPending = 0;
    RowFacts m_rowFacts;
    // The look at the clip; made anew once a look is given up, so that the
    // next opening never waits behind a share that still hangs.
    std::unique_ptr<FolderWork> m_clipLook;
    StaleAnswers m_answers;
    StaleAnswers::Ticket m_clipAnswer;
    bool m_waitingForClip = false;
};
