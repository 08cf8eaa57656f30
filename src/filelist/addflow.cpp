#include "addflow.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QScopedValueRollback>
#include <QTimer>
#include <QTreeWidget>

#include "filelist/filelistrules.h"
#include "filelist/filerow.h"
#include "filelist/outputnaming.h"
#include "filelist/outputpaths.h"
#include "filelist/tooltext.h"
#include "platform/platform.h"
#include "profiles/argumentlist.h"

namespace {

const QString kProbeToolName = QStringLiteral("korvex");
// The files whose probes are done are handed on together, and the progress
// told, once a turn: the rows and the dialog change no faster than the eye
// follows, and the window repaints for them no more often than that. The
// turns also ask whether the add should go on.
constexpr int kTurnMs = 50;
// A turn hands files on for at most this long: the window's own events get
// the rest of it.
constexpr int kTurnBudgetMs = 30;
// How often a wait asks whether the add should go on.
constexpr int kGoOnPollMs = 50;

} // namespace

AddFlow::AddFlow(QTreeWidget *list, OutputNaming *naming, QObject *parent)
    : QObject(parent)
    , m_list(list)
    , m_naming(naming)
{
    // Until a first probe, nothing speaks against a file.
    m_probe.hasVideo = true;
    m_probe.audioOnly = true;
}

ProbePool &AddFlow::probePool()
{
    return m_pool;
}

bool AddFlow::isAdding() const
{
    return m_adding;
}

void AddFlow::cancel()
{
    if (!m_adding)
        return;
    m_cancelled = true;
    m_waiting.clear();
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
    // is refused at the door, and files picked meanwhile wait their turn.
    if (m_adding) {
        if (source == Source::OpenDialog)
            m_waiting.append({paths, shownNames, source, goOn});
        return;
    }
    addNow({paths, shownNames, source, goOn});
    while (!m_waiting.isEmpty()) {
        const Request next = m_waiting.takeFirst();
        if (next.goOn())
            addNow(next);
    }
}

void AddFlow::addNow(const Request &request)
{
    const QStringList &paths = request.paths;
    const Source source = request.source;
    const std::function<bool()> &goOn = request.goOn;
    m_adding = true;
    Q_EMIT started();
    m_cancelled = false;
    m_source = source;
    m_rowsBefore = m_list->topLevelItemCount();
    // The names this add keeps apart from: once, not once a file.
    m_names.clear();
    for (int index = 0; index < m_rowsBefore; ++index)
        m_names.insert(m_list->topLevelItem(index)->text(FileRow::OutputFileColumn));
    const auto goingOn = [this, &goOn] { return !m_cancelled && goOn(); };
    // Every file that will be probed is handed to the pool now; the files
    // are still handed on in the list's order, in the first turn after their
    // probes are done.
    QStringList probed;
    for (const QString &path : paths) {
        const bool refused = FileListRules::isRejectedExtension(QFileInfo(path).suffix());
        probed << (refused ? QString() : path);
    }
    m_pool.start(Platform::toolPath(kProbeToolName), probed);
    showProgress();
    int next = 0;
    bool inTurn = false;
    QEventLoop loop;
    QTimer turns;
    connect(&turns, &QTimer::timeout, &loop, [&] {
        // A turn is never begun inside another, whatever a row's slot runs.
        if (inTurn)
            return;
        const QScopedValueRollback<bool> turning(inTurn, true);
        if (!handOnProbed(request, goingOn, next)) {
            turns.stop();
            loop.quit();
        }
        showProgress();
    });
    turns.start(kTurnMs);
    // Ended from outside too (the application quits): the add ends with it.
    loop.exec();
    // Left early (the window closed): no probe outlives the add, each is
    // killed.
    m_pool.stop();
    waitForNames(goingOn);
    // A row that no name was left for has gone again.
    Q_EMIT finished(m_list->topLevelItemCount() - m_rowsBefore);
    m_failed.clear();
    m_adding = false;
}

bool AddFlow::handOnProbed(const Request &request, const std::function<bool()> &goOn, int &next)
{
    QElapsedTimer turn;
    turn.start();
    while (next < request.paths.size() && m_pool.isDone(next)) {
        if (turn.elapsed() >= kTurnBudgetMs)
            return true;
        if (!goOn())
            return false;
        const int index = next++;
        const QString &path = request.paths.at(index);
        if (path.isEmpty()) {
            turnAway(request.shownNames.value(index));
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
                return false;
            }
            turnAway(path);
            continue;
        }
        Q_EMIT fileProbed(path);
    }
    return next < request.paths.size() && goOn();
}

QString AddFlow::outputNameFor(const QString &outputName) const
{
    const int counted =
        m_source == Source::OpenDialog ? m_rowsBefore : m_list->topLevelItemCount();
    return FileListRules::outputNameAmong(outputName, m_names, counted);
}

void AddFlow::nameRow(QTreeWidgetItem *row, const QString &outputFolder,
                      const QString &outputName)
{
    // The names above are told apart by the rows' names alone; the paths
    // themselves must not meet either: not this file, not another row's
    // output or source, not a file on disk.
    const ArgumentList arguments = FileRow::arguments(row);
    const QString source = Arguments::inputPath(arguments);
    OutputNaming::Wish wish;
    wish.wanted = Arguments::outputPath(arguments);
    wish.numberedFrom = outputFolder + outputName;
    wish.firstNumber = qMax(1, m_list->topLevelItemCount() - 1);
    wish.plainName = OutputPaths::plainName(source, outputName);
    if (m_source == Source::Drop)
        m_names.insert(row->text(FileRow::OutputFileColumn));
    m_naming->name(row, wish, [this, source](QTreeWidgetItem *refused, const QString &) {
        Q_EMIT toolText(OutputPaths::noFreeNameText(source));
        // The add's own rows while it lasts; after it, the row stays and its
        // job refuses the name.
        if (!m_adding)
            return;
        turnAway(source);
        delete refused;
    });
}

void AddFlow::waitForNames(const std::function<bool()> &goOn)
{
    if (m_naming->isSettled())
        return;
    QEventLoop loop;
    connect(m_naming, &OutputNaming::settled, &loop, &QEventLoop::quit);
    QTimer asking;
    connect(&asking, &QTimer::timeout, &loop, [&goOn, &loop] {
        if (!goOn())
            loop.quit();
    });
    asking.start(kGoOnPollMs);
    loop.exec();
}

void AddFlow::showProgress()
{
    if (m_adding)
        Q_EMIT probeProgress(m_pool.doneCount(), m_pool.count(), m_pool.probingPath());
}

bool AddFlow::probeFile(const QString &path, int poolIndex, const std::function<bool()> &goOn)
{
    // Nothing of an earlier file may stand for this one.
    m_probe = ProbeResult();
    if (path.isEmpty() || FileListRules::isRejectedExtension(QFileInfo(path).suffix()))
        return true;

    // A probe that runs past its limit is ended; the text then judged is
    // whatever came before.
    ProbePool::Result answer;
    if (poolIndex < 0) {
        answer = ProbePool::probeOne(Platform::toolPath(kProbeToolName), path,
                                     ProcessWait::Waiting::Painting);
    } else {
        if (!m_pool.waitFor(poolIndex, goOn))
            return false;
        answer = m_pool.takeResult(poolIndex);
    }
    m_probedStamp = answer.stamp;
    if (!answer.startError.isEmpty())
        Q_EMIT toolText(answer.startError);
    // The pool hands the text over whole: it is decoded and read at once.
    const QString text = decodeToolText(answer.standardError);
    Q_EMIT toolText(text);
    m_probe = ProbeParser::parse(text);
    return true;
}
