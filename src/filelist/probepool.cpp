#include "probepool.h"

#include <algorithm>
#include <utility>

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include "platform/platform.h"

namespace {

// A killed process is reaped at once, unless it waits in the kernel on a
// share that does not answer: stopping waits this long for all of them.
constexpr int kReapMs = 500;
// How often a wait asks whether it should go on.
constexpr int kGoOnPollMs = 50;

QStringList probeArguments(const QString &path)
{
    return {QStringLiteral("-i"), path};
}

} // namespace

ProbePool::ProbePool(QObject *parent)
    : QObject(parent)
{
    createWorkers(QThread::idealThreadCount());
}

ProbePool::~ProbePool()
{
    stop();
}

void ProbePool::setWorkerCount(int count)
{
    stop();
    createWorkers(count);
}

int ProbePool::workerCount() const
{
    return int(m_workers.size());
}

void ProbePool::setTimeoutMs(int timeoutMs)
{
    m_timeoutMs = timeoutMs;
}

void ProbePool::createWorkers(int count)
{
    for (Worker &worker : m_workers)
        delete worker.process;
    m_workers.clear();
    m_workers.resize(size_t(std::max(1, count)));
    for (size_t slot = 0; slot < m_workers.size(); ++slot)
        createProcess(slot);
}

void ProbePool::createProcess(size_t slot)
{
    Worker &worker = m_workers[slot];
    worker.process = new QProcess(this);
    worker.limit = new QTimer(worker.process);
    worker.limit->setSingleShot(true);
    QProcess *process = worker.process;
    connect(process, &QProcess::readyReadStandardOutput, this,
            [this, slot] { readStamp(m_workers[slot]); });
    connect(process, &QProcess::readyReadStandardError, this,
            [this, slot] { drainOutput(m_workers[slot]); });
    connect(process, &QProcess::finished, this, [this, slot] { probeEnded(slot); });
    connect(process, &QProcess::errorOccurred, this,
            [this, slot](QProcess::ProcessError error) {
                // Every other error is followed by finished().
                if (error == QProcess::FailedToStart)
                    probeFailedToStart(slot);
            });
    connect(worker.limit, &QTimer::timeout, process, &QProcess::kill);
}

void ProbePool::probeEnded(size_t slot)
{
    Worker &worker = m_workers[slot];
    if (!finishProbe(worker))
        return;
    launchNext(worker);
    Q_EMIT progressed();
}

void ProbePool::probeFailedToStart(size_t slot)
{
    Worker &worker = m_workers[slot];
    if (worker.index >= 0)
        m_results[worker.index].startError = worker.process->errorString();
    if (m_startError.isEmpty())
        m_startError = worker.process->errorString();
    if (!finishProbe(worker))
        return;
    // This runs inside QProcess::start(): the next start waits for the event
    // loop rather than nest one failure inside the other.
    QTimer::singleShot(0, this, [this, slot] { launchNext(m_workers[slot]); });
    Q_EMIT progressed();
}

void ProbePool::start(const QString &program, const QStringList &paths)
{
    stop();
    m_program = program;
    m_paths = paths;
    m_states = QVector<State>(paths.size(), State::Waiting);
    m_results = QVector<Result>(paths.size());
    m_nextIndex = 0;
    m_doneCount = 0;
    m_firstUndone = 0;
    m_startError.clear();
    for (int index = 0; index < m_paths.size(); ++index) {
        if (m_paths.at(index).isEmpty()) {
            m_states[index] = State::Done;
            ++m_doneCount;
        }
    }
    for (Worker &worker : m_workers)
        launchNext(worker);
}

void ProbePool::launchNext(Worker &worker)
{
    if (worker.index >= 0)
        return;
    while (m_nextIndex < m_paths.size() && m_states.at(m_nextIndex) != State::Waiting)
        ++m_nextIndex;
    if (m_nextIndex >= m_paths.size())
        return;
    worker.index = m_nextIndex++;
    m_states[worker.index] = State::Running;
    // Taken before the probe reads it: a file that grows meanwhile differs
    // from its stamp later rather than pass for the length the probe saw.
    Platform::prepareProbe(*worker.process, m_paths.at(worker.index));
    worker.limit->start(m_timeoutMs);
    worker.process->start(m_program, probeArguments(m_paths.at(worker.index)),
                          QIODevice::ReadWrite);
}

ProbePool::Result ProbePool::probeOne(const QString &program, const QString &path,
                                      ProcessWait::Waiting waiting)
{
    QProcess process;
    Platform::prepareProbe(process, path);
    const ProcessWait::Ended ended =
        ProcessWait::run(process, program, probeArguments(path), kProbeTimeoutMs, waiting);
    Result result;
    result.standardError = ended.standardError;
    if (process.error() == QProcess::FailedToStart)
        result.startError = process.errorString();
    // The stamp's line comes first on standard output; the rest carries
    // nothing we read.
    const QByteArray output = process.readAllStandardOutput();
    const qsizetype end = output.indexOf('\n');
    if (end >= 0) {
        result.stamp = SourceStamp::fromLine(output.left(end));
        result.stampTold = true;
    }
    return result;
}

void ProbePool::drainOutput(Worker &worker)
{
    const QByteArray text = worker.process->readAllStandardError();
    if (worker.index >= 0)
        m_results[worker.index].standardError += text;
}

void ProbePool::readStamp(Worker &worker)
{
    // The stamp's line comes first; the rest of standard output carries
    // nothing we read, and is taken so that the pipe never fills.
    const QByteArray text = worker.process->readAllStandardOutput();
    if (worker.index < 0)
        return;
    Result &result = m_results[worker.index];
    if (result.stampTold)
        return;
    result.stampText += text;
    const qsizetype end = result.stampText.indexOf('\n');
    if (end < 0)
        return;
    result.stamp = SourceStamp::fromLine(result.stampText.left(end));
    result.stampTold = true;
    result.stampText.clear();
}

bool ProbePool::finishProbe(Worker &worker)
{
    worker.limit->stop();
    drainOutput(worker);
    readStamp(worker);
    if (worker.index < 0)
        return false;
    m_states[worker.index] = State::Done;
    ++m_doneCount;
    worker.index = -1;
    return true;
}

void ProbePool::stop()
{
    m_nextIndex = int(m_paths.size());
    for (Worker &worker : m_workers) {
        worker.limit->stop();
        // Idle first: the finished() that the wait below delivers belongs to
        // no path any more.
        worker.index = -1;
        if (worker.process->state() != QProcess::NotRunning)
            worker.process->kill();
    }
    const QDeadlineTimer reaped(kReapMs);
    for (size_t slot = 0; slot < m_workers.size(); ++slot) {
        QProcess *process = m_workers[slot].process;
        if (process->state() == QProcess::NotRunning
            || process->waitForFinished(int(reaped.remainingTime())))
            continue;
        // Held in the kernel by its file's share: it goes on its own once
        // the share answers, and a new process takes its place.
        process->disconnect(this);
        process->setParent(nullptr);
        connect(process, &QProcess::finished, process, &QObject::deleteLater);
        createProcess(slot);
    }
    // Nothing is left to wait for.
    std::fill(m_states.begin(), m_states.end(), State::Done);
    m_doneCount = int(m_states.size());
}

int ProbePool::count() const
{
    return int(m_paths.size());
}

int ProbePool::doneCount() const
{
    return m_doneCount;
}

bool ProbePool::isDone(int index) const
{
    return m_states.value(index, State::Done) == State::Done;
}

QString ProbePool::probingPath() const
{
    // Probes start in list order: the first path not done is the one.
    while (m_firstUndone < m_states.size() && m_states.at(m_firstUndone) == State::Done)
        ++m_firstUndone;
    if (m_firstUndone < m_states.size() && m_states.at(m_firstUndone) == State::Running)
        return m_paths.at(m_firstUndone);
    return QString();
}

bool ProbePool::waitFor(int index, const std::function<bool()> &goOn)
{
    if (isDone(index))
        return true;
    QEventLoop loop;
    connect(this, &ProbePool::progressed, &loop, [this, index, &loop] {
        if (isDone(index))
            loop.quit();
    });
    QTimer asking;
    connect(&asking, &QTimer::timeout, &loop, [&goOn, &loop] {
        if (goOn && !goOn())
            loop.quit();
    });
    asking.start(kGoOnPollMs);
    loop.exec();
    return isDone(index);
}

ProbePool::Result ProbePool::takeResult(int index)
{
    if (index < 0 || index >= m_results.size())
        return Result();
    return std::exchange(m_results[index], Result());
}

QString ProbePool::startError() const
{
    return m_startError;
}
