#include "editorsession.h"

#include <QEventLoop>
#include <QTimer>
#include <QTreeWidget>

#include "conversion/editedscript.h"
#include "conversion/scriptwriter.h"
#include "filelist/filelistrules.h"
#include "filelist/filerow.h"
#include "filelist/folderwork.h"
#include "filelist/processwait.h"
#include "filelist/tooltext.h"
#include "platform/filecalls.h"
#include "platform/platform.h"
#include "profiles/argumentlist.h"

namespace {

const QString kEditorToolName = QStringLiteral("parlane");
// A tool that is still running when it is needed again gets this long to
// end before it is killed.
constexpr int kWaitForToolMs = 30000;
constexpr int kStartTimeoutMs = 30000;

} // namespace

EditorSession::EditorSession(QTreeWidget *list, ScriptWriter *scripts, QObject *parent)
    : QObject(parent)
    , m_list(list)
    , m_scripts(scripts)
    , m_clipLook(std::make_unique<FolderWork>())
{
    // An editor left open by a program that has gone would take edits that
    // nobody reads.
    Platform::endWithThisProcess(m_process);
    // The answer is read whole once the tool has exited; a tool that never
    // started or ended without an answer gives the controls back the same way.
    connect(&m_process, &QProcess::finished, this, &EditorSession::toolFinished);
    connect(&m_process, &QProcess::errorOccurred, this, &EditorSession::toolFailed);
}

EditorSession::~EditorSession()
{
    // The window's signals must not run while it is torn down.
    m_answers.makeAllStale();
    disconnect(&m_process, nullptr, this, nullptr);
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

void EditorSession::setRowFacts(RowFacts facts)
{
    m_rowFacts = std::move(facts);
}

void EditorSession::open(int row, const QString &mode)
{
    if (m_process.state() != QProcess::NotRunning)
        ProcessWait::endWithin(m_process, kWaitForToolMs, ProcessWait::Waiting::Painting);
    QTreeWidgetItem *item = m_list->topLevelItem(row);
    if (!item)
        return;

    const ArgumentList arguments = FileRow::arguments(item);
    const EffectList effects = FileRow::effects(item);
    const QString file = effects.isEmpty() ? Arguments::inputPath(arguments)
                                           : effects.value(FileRow::SourcePathEntry);
    QStringList command = {QStringLiteral("-fileNa"), file};
    command << FileListRules::editorValues(arguments, effects);
    command << mode << effects.value(FileRow::LogoPathEntry) << QStringLiteral("-1");
    const QString logoTail = item->data(FileRow::NameColumn, FileRow::WatermarkRole).toString();
    if (!logoTail.isEmpty())
        command << logoTail;
    m_row = QPersistentModelIndex(m_list->model()->index(row, FileRow::CheckColumn));
    m_command = command;

    // Locked before the start, so that a start that fails at once finds
    // them locked and gives them back.
    m_answerAwaited = true;
    Q_EMIT opening();
    // What the tool reads first: the first byte of the clip.
    m_clipAnswer = m_answers.issue();
    const StaleAnswers::Ticket ticket = m_clipAnswer;
    m_waitingForClip = true;
    Q_EMIT waitingForClip(true);
    m_clipLook->run(
        [file] {
            const qint64 handle = FileCalls::openForReading(file);
            if (handle < 0)
                return;
            char first = 0;
            FileCalls::readAt(handle, 0, &first, 1);
            FileCalls::closeFile(handle);
        },
        this, [this, tool = Platform::toolPath(kEditorToolName), command, ticket] {
            clipAnswered(tool, command, ticket);
        });
}

void EditorSession::clipAnswered(const QString &tool, const QStringList &command,
                                 const StaleAnswers::Ticket &ticket)
{
    if (!ticket.isCurrent())
        return;
    endClipWait();
    // A clip that cannot be read is the tool's to tell.
    m_process.start(tool, command, QIODevice::ReadWrite);
}

void EditorSession::endClipWait()
{
    m_clipAnswer.drop();
    if (!m_waitingForClip)
        return;
    m_waitingForClip = false;
    Q_EMIT waitingForClip(false);
}

bool EditorSession::isOpen() const
{
    return m_waitingForClip || m_process.state() != QProcess::NotRunning || m_savesPending > 0;
}

bool EditorSession::isWaitingForClip() const
{
    return m_waitingForClip;
}

void EditorSession::giveUpOpening()
{
    if (!m_waitingForClip)
        return;
    endClipWait();
    // The look that hangs ends with its helper; the next one starts afresh.
    m_clipLook = std::make_unique<FolderWork>();
    m_answerAwaited = false;
    m_row = QPersistentModelIndex();
    Q_EMIT controlsFreed();
}

int EditorSession::row() const
{
    return m_row.isValid() ? m_row.row() : -1;
}

QStringList EditorSession::arguments() const
{
    return m_command;
}

bool EditorSession::waitForStarted()
{
    if (m_waitingForClip) {
        QEventLoop answered;
        QTimer limit;
        limit.setSingleShot(true);
        connect(&limit, &QTimer::timeout, &answered, &QEventLoop::quit);
        connect(this, &EditorSession::waitingForClip, &answered, &QEventLoop::quit);
        limit.start(kStartTimeoutMs);
        answered.exec();
        if (m_waitingForClip)
            return false;
    }
    return m_process.waitForStarted(kStartTimeoutMs);
}

void EditorSession::close()
{
    endClipWait();
    m_process.kill();
}

void EditorSession::toolFinished()
{
    // Closed, cancelled or crashed: whatever the answer, the editor is gone.
    readAnswer();
}

void EditorSession::toolFailed(QProcess::ProcessError error)
{
    // A crash also ends through finished(); a tool that never ran does not.
    if (error != QProcess::FailedToStart)
        return;
    m_answerAwaited = false;
    m_row = QPersistentModelIndex();
    Q_EMIT failedToStart(m_process.errorString());
    Q_EMIT controlsFreed();
}

void EditorSession::readAnswer()
{
    // The answer is read whole once the tool has ended: until then it may
    // have arrived only in part, and it waits in the process's buffers. Read
    // once it is, it frees the controls once; with no tool opened since,
    // they are not the editor's to give back.
    if (m_waitingForClip || m_process.state() != QProcess::NotRunning || !m_answerAwaited)
        return;
    m_answerAwaited = false;
    m_process.readAllStandardOutput();
    const QByteArray answerText = m_process.readAllStandardError();
    // The row the tool was opened for, whichever row is current now.
    QTreeWidgetItem *item = m_row.isValid() ? m_list->topLevelItem(m_row.row()) : nullptr;
    const std::optional<EditorAnswer> answer = EditorAnswer::parse(decodeToolText(answerText));
    if (answer && item) {
        Q_EMIT logText(answer->logText);
        if (storeAnswer(*answer, item))
            return;
    }
    m_row = QPersistentModelIndex();
    Q_EMIT controlsFreed();
}

bool EditorSession::storeAnswer(const EditorAnswer &answer, QTreeWidgetItem *row)
{
    const EditorEdit edit = applyEditorAnswer(answer, m_rowFacts(row));
    if (!edit.problem.isEmpty()) {
        Q_EMIT problem(edit.problem);
        return false;
    }
    // The row takes the edit once its script is on disk, so that the two
    // agree; the controls stay locked until then.
    ++m_savesPending;
    m_scripts->rewrite(
        edit.scriptPath,
        [path = edit.scriptPath, text = edit.scriptText] {
            QString reason;
            if (EditedScript::write(path, text, &reason))
                return QString();
            return tr("The edit could not be saved in %1: %2").arg(path, reason);
        },
        this,
        [this, saved = m_row, edit](const QString &text) { answerSaved(saved, edit, text); });
    return true;
}

void EditorSession::answerSaved(const QPersistentModelIndex &saved, const EditorEdit &edit,
                                const QString &text)
{
    --m_savesPending;
    QTreeWidgetItem *row = saved.isValid() ? m_list->topLevelItem(saved.row()) : nullptr;
    if (!text.isEmpty()) {
        Q_EMIT problem(text);
    } else if (row) {
        FileRow::setArguments(row, edit.arguments);
        FileRow::setEffects(row, edit.effects);
        row->setText(FileRow::OutputDurationColumn, edit.outputDurationText);
        if (edit.hasWatermark)
            row->setData(FileRow::NameColumn, FileRow::WatermarkRole, edit.watermark);
    }
    // An editor opened again meanwhile frees the controls itself.
    if (m_savesPending > 0 || m_answerAwaited || m_waitingForClip)
        return;
    m_row = QPersistentModelIndex();
    Q_EMIT controlsFreed();
}
