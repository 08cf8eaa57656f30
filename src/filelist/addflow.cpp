#include "addflow.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTreeWidget>

#include "filelist/filelistrules.h"
#include "filelist/filerow.h"
#include "filelist/outputpaths.h"
#include "filelist/tooltext.h"
#include "platform/platform.h"
#include "profiles/argumentlist.h"

namespace {

const QString kProbeToolName = QStringLiteral("korvex");
// Files whose probes are already done are handed on back to back; the
// window gets its turn at least this often meanwhile.
constexpr int kAddEventGapMs = 20;

} // namespace

AddFlow::AddFlow(QTreeWidget *list, QObject *parent)
    : QObject(parent)
    , m_list(list)
{
    // Until a first probe, nothing speaks against a file.
    m_probe.hasVideo = true;
    m_probe.audioOnly = true;
    connect(&m_pool, &ProbePool::progressed, this, &AddFlow::showProgress);
}

ProbePool &AddFlow::probePool()
{
    return m_pool;
}

bool AddFlow::isAdding() const
{
    return m_adding;
}

void AddFlow::turnAway(const QString &shownName)
{
    m_failed << shownName;
}

QStringList AddFlow::failedFiles() const
{
    return m_failed;
}

const ProbeResult &AddFlow::probe() const
{
    return m_probe;
}

SourceStamp AddFlow::probedStamp() const
{
    return m_probedStamp;
}

void AddFlow::add(const QStringList &paths, const QStringList &shownNames, Source source,
                  const std::function<bool()> &goOn)
{
    // One operation at a time: a drop that arrives while files are probed
    // is refused at the door, and nothing else may start a second one.
    if (m_adding)
        return;
    m_adding = true;
    m_source = source;
    m_rowsBefore = m_list->topLevelItemCount();
    m_taken = TakenPaths();
    for (int index = 0; index < m_rowsBefore; ++index)
        FileRow::addPaths(m_taken, m_list->topLevelItem(index));
    // Every file that will be probed is handed to the pool now; the files
    // are still handed on in the list's order, each as soon as its probe is
    // done.
    QStringList probed;
    for (const QString &path : paths) {
        const bool refused = FileListRules::isRejectedExtension(QFileInfo(path).suffix());
        probed << (refused ? QString() : path);
    }
    m_pool.start(Platform::toolPath(kProbeToolName), probed);
    showProgress();
    int added = 0;
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    for (int index = 0; index < paths.size(); ++index) {
        if (sinceEvents.elapsed() >= kAddEventGapMs) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            sinceEvents.restart();
        }
        if (!goOn())
            break;
        const QString &path = paths.at(index);
        if (path.isEmpty()) {
            turnAway(shownNames.value(index));
            continue;
        }

        probeFile(path, index);
        if (!m_probe.isMedia()) {
            // A transcoder that cannot be started says nothing of the files:
            // none of them is blamed, and none after it is tried.
            if (!m_pool.startError().isEmpty()) {
                Q_EMIT problem(tr("The transcoder %1 cannot be started (%2), so no file can be "
                                  "added. Please install the program again.")
                                   .arg(kProbeToolName, m_pool.startError()));
                break;
            }
            turnAway(path);
            continue;
        }
        const qsizetype failedBefore = m_failed.size();
        Q_EMIT fileProbed(path);
        if (m_failed.size() == failedBefore)
            ++added;
    }
    // Left early (the window closed): no probe outlives the add.
    m_pool.stop();
    Q_EMIT finished(added);
    m_failed.clear();
    m_adding = false;
}

QString AddFlow::outputNameFor(const QString &sourcePath, const QString &outputFolder,
                              const QString &outputName) const
{
    QStringList names;
    const int counted =
        m_source == Source::OpenDialog ? m_rowsBefore : m_list->topLevelItemCount();
    for (int index = 0; index < counted; ++index)
        names << m_list->topLevelItem(index)->text(FileRow::OutputFileColumn);
    const QString named = m_source == Source::OpenDialog
                              ? FileListRules::dialogOutputName(outputName, names)
                              : FileListRules::dropOutputName(outputName, names);

    // The names above are told apart by the rows' names alone; the paths
    // themselves must not meet either: not this file, not another row's
    // output or source.
    TakenPaths takenHere = m_taken;
    takenHere.add(sourcePath);
    const QString wanted = outputFolder + named;
    if (takenHere.isFree(wanted))
        return named;
    const QString free = takenHere.free(outputFolder + outputName,
                                        qMax(1, m_list->topLevelItemCount()),
                                        OutputPaths::plainName(sourcePath, outputName));
    return free.isEmpty() ? QString() : OutputPaths::fileName(free);
}

bool AddFlow::makeOutputUnique(QTreeWidgetItem *row, QString *newName) const
{
    if (!row)
        return false;
    ArgumentList arguments = FileRow::arguments(row);
    const QString output = Arguments::outputPath(arguments);
    if (output.isEmpty())
        return true;
    const QString source = Arguments::inputPath(arguments);
    TakenPaths taken = m_taken;
    taken.add(source);
    const QString free = taken.free(output, m_list->topLevelItemCount(),
                                    OutputPaths::plainName(source, output));
    if (free.isEmpty())
        return false;
    if (free == output)
        return true;
    Arguments::setOutputPath(arguments, free);
    FileRow::setArguments(row, arguments);
    row->setText(FileRow::OutputFileColumn, OutputPaths::fileName(free));
    *newName = OutputPaths::fileName(free);
    return true;
}

void AddFlow::listed(const QTreeWidgetItem *row)
{
    FileRow::addPaths(m_taken, row);
}

void AddFlow::showProgress()
{
    if (m_adding)
        Q_EMIT probeProgress(m_pool.doneCount(), m_pool.count(), m_pool.probingPath());
}

void AddFlow::probeFile(const QString &path, int poolIndex)
{
    // Nothing of an earlier file may stand for this one.
    m_probe = ProbeResult();
    if (path.isEmpty() || FileListRules::isRejectedExtension(QFileInfo(path).suffix()))
        return;

    if (poolIndex < 0) {
        m_pool.start(Platform::toolPath(kProbeToolName), {path});
        poolIndex = 0;
    }
    // The pool ends a probe that runs past its limit; the text then judged
    // is whatever came before.
    m_pool.waitFor(poolIndex);
    const ProbePool::Result answer = m_pool.takeResult(poolIndex);
    m_probedStamp = answer.stamp;
    if (!answer.startError.isEmpty())
        Q_EMIT toolText(answer.startError);
    // The pool hands the text over whole: it is decoded and read at once.
    const QString text = decodeToolText(answer.standardError);
    Q_EMIT toolText(text);
    m_probe = ProbeParser::parse(text);
}
