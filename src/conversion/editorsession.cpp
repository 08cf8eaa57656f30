#include "editorsession.h"

#include <QTreeWidget>

#include "conversion/editedscript.h"
#include "filelist/filelistrules.h"
#include "filelist/filerow.h"
#include "filelist/processwait.h"
#include "filelist/tooltext.h"
#include "platform/platform.h"
#include "profiles/argumentlist.h"

namespace {

const QString kEditorToolName = QStringLiteral("parlane");
// A tool that is still running when it is needed again gets this long to
// end before it is killed.
constexpr int kWaitForToolMs = 30000;
constexpr int kStartTimeoutMs = 30000;

} // namespace

EditorSession::EditorSession(QTreeWidget *list, QObject *parent)
    : QObject(parent)
    , m_list(list)
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

    // Locked before the start, so that a start that fails at once finds
    // them locked and gives them back.
    m_answerAwaited = true;
    Q_EMIT opening();
    m_process.start(Platform::toolPath(kEditorToolName), command, QIODevice::ReadWrite);
}

bool EditorSession::isOpen() const
{
    return m_process.state() != QProcess::NotRunning;
}

int EditorSession::row() const
{
    return m_row.isValid() ? m_row.row() : -1;
}

QStringList EditorSession::arguments() const
{
    return m_process.arguments();
}

bool EditorSession::waitForStarted()
{
    return m_process.waitForStarted(kStartTimeoutMs);
}

void EditorSession::close()
{
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
    if (m_process.state() != QProcess::NotRunning || !m_answerAwaited)
        return;
    m_answerAwaited = false;
    m_process.readAllStandardOutput();
    const QByteArray answerText = m_process.readAllStandardError();
    // The row the tool was opened for, whichever row is current now.
    QTreeWidgetItem *item = m_row.isValid() ? m_list->topLevelItem(m_row.row()) : nullptr;
    const std::optional<EditorAnswer> answer = EditorAnswer::parse(decodeToolText(answerText));
    if (answer && item) {
        Q_EMIT logText(answer->logText);
        storeAnswer(*answer, item);
    }
    m_row = QPersistentModelIndex();
    Q_EMIT controlsFreed();
}

void EditorSession::storeAnswer(const EditorAnswer &answer, QTreeWidgetItem *row)
{
    const EditorEdit edit = applyEditorAnswer(answer, m_rowFacts(row));
    QString text = edit.problem;
    if (text.isEmpty() && !EditedScript::write(edit.scriptPath, edit.scriptText, &text))
        text = tr("The edit could not be saved in %1: %2").arg(edit.scriptPath, text);
    if (!text.isEmpty()) {
        Q_EMIT problem(text);
        return;
    }
    FileRow::setArguments(row, edit.arguments);
    FileRow::setEffects(row, edit.effects);
    row->setText(FileRow::OutputDurationColumn, edit.outputDurationText);
    if (edit.hasWatermark)
        row->setData(FileRow::NameColumn, FileRow::WatermarkRole, edit.watermark);
}
