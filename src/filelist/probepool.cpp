#include "probepool.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <QVector>

#include "platform/platform.h"

namespace {

// A killed process is reaped at once, unless it waits in the kernel on a
// share that does not answer: after this long a new process takes its place.
constexpr int kReapMs = 500;
// What the pool's end waits for its thread; one still held by a probe that
// cannot end is left behind.
constexpr unsigned long kCloseWaitMs = 500;
// How often a wait asks whether it should go on.
constexpr int kGoOnPollMs = 50;

QStringList probeArguments(const QString &path)
{
    return {QStringLiteral("-i"), path};
}

enum class State : char {
    Waiting,
    Running,
    Done,
};

} // namespace

// Between the caller's thread and the pool's: the list, its answers and the
// settings go from one to the other here, under the mutex; the calls that
// wake either side carry nothing.
struct ProbePool::Shared {
    std::mutex mutex;
    // Counts the lists: start() and stop() begin a new one, and what a probe
    // of an earlier one answers is not heard.
    int list = 0;
    QString program;
    QStringList paths;
    QVector<State> states;
    QVector<Result> results;
    int nextIndex = 0;
    int doneCount = 0;
    QString startError;
    int workerCount = 1;
    int timeoutMs = kProbeTimeoutMs;
    int running = 0;
    // The caller's end has begun: nothing is told to it any more.
    bool closing = false;
    // A tell() is on its way to the caller.
    bool telling = false;
};

// The processes, on the pool's thread alone.
struct ProbePool::Probes {
    struct Worker {
        QProcess *process = nullptr;
        QTimer *limit = nullptr;
        int list = -1;
        int index = -1; // the path it probes; -1 when idle
        Result result;
    };

    Probes(std::shared_ptr<Shared> shared, QObject *home, ProbePool *owner)
        : shared(std::move(shared))
        , home(home)
        , owner(owner)
    {
    }

    // The caller has changed the list, the settings or is going.
    void changed();
    void createWorker(size_t index);
    void removeWorkers();
    void launch(size_t index);
    void readStamp(Worker &worker);
    void drain(Worker &worker);
    void ended(size_t index);
    void failedToStart(size_t index);
    // The worker's probe is over: its answer goes to the list it was for.
    void finish(Worker &worker);
    // A process of an earlier list that was killed and has not ended gives
    // its place to a new one.
    void replaceStuck();

    std::shared_ptr<Shared> shared;
    QObject *home;
    ProbePool *owner;
    std::vector<Worker> workers;
};

ProbePool::ProbePool(QObject *parent)
    : QObject(parent)
    , m_shared(std::make_shared<Shared>())
    , m_workerCount(std::max(1, QThread::idealThreadCount()))
    , m_thread(new QThread)
    , m_home(new QObject)
{
    m_shared->workerCount = m_workerCount;
    m_thread->setObjectName(QStringLiteral("probes"));
    m_home->moveToThread(m_thread);
    const auto probes = std::make_shared<Probes>(m_shared, m_home, this);
    connect(this, &ProbePool::changed, m_home, [probes] { probes->changed(); });
    // The processes' handlers reach it for as long as the thread has them,
    // also when the thread is left behind.
    connect(m_home, &QObject::destroyed, m_home, [probes] {});
    // Whatever runs still is ended with the thread's last objects, there.
    connect(m_thread, &QThread::finished, m_home, &QObject::deleteLater);
    m_thread->start();
    Q_EMIT changed(QPrivateSignal());
}

ProbePool::~ProbePool()
{
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->closing = true;
        ++m_shared->list;
    }
    Q_EMIT changed(QPrivateSignal());
    m_thread->quit();
    // A thread still running is never destroyed: it is left behind.
    if (m_thread->wait(kCloseWaitMs))
        delete m_thread;
}

void ProbePool::setWorkerCount(int count)
{
    m_workerCount = std::max(1, count);
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->workerCount = m_workerCount;
    }
    stop();
}

int ProbePool::workerCount() const
{
    return m_workerCount;
}

void ProbePool::setTimeoutMs(int timeoutMs)
{
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->timeoutMs = timeoutMs;
}

void ProbePool::start(const QString &program, const QStringList &paths)
{
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        Shared &shared = *m_shared;
        ++shared.list;
        shared.program = program;
        shared.paths = paths;
        shared.states = QVector<State>(paths.size(), State::Waiting);
        shared.results = QVector<Result>(paths.size());
        shared.nextIndex = 0;
        shared.doneCount = 0;
        shared.startError.clear();
        for (int index = 0; index < paths.size(); ++index) {
            if (paths.at(index).isEmpty()) {
                shared.states[index] = State::Done;
                ++shared.doneCount;
            }
        }
    }
    m_firstUndone = 0;
    Q_EMIT changed(QPrivateSignal());
}

void ProbePool::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        Shared &shared = *m_shared;
        ++shared.list;
        // Nothing is left to wait for.
        std::fill(shared.states.begin(), shared.states.end(), State::Done);
        shared.nextIndex = int(shared.states.size());
        shared.doneCount = int(shared.states.size());
    }
    Q_EMIT changed(QPrivateSignal());
}

int ProbePool::count() const
{
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    return int(m_shared->paths.size());
}

int ProbePool::doneCount() const
{
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    return m_shared->doneCount;
}

bool ProbePool::isDone(int index) const
{
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    return m_shared->states.value(index, State::Done) == State::Done;
}

QString ProbePool::probingPath() const
{
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    const QVector<State> &states = m_shared->states;
    // Probes start in list order: the first path not done is the one.
    while (m_firstUndone < states.size() && states.at(m_firstUndone) == State::Done)
        ++m_firstUndone;
    if (m_firstUndone < states.size() && states.at(m_firstUndone) == State::Running)
        return m_shared->paths.at(m_firstUndone);
    return QString();
}

int ProbePool::runningCount() const
{
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    return m_shared->running;
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
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    if (index < 0 || index >= m_shared->results.size())
        return Result();
    return std::exchange(m_shared->results[index], Result());
}

QString ProbePool::startError() const
{
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    return m_shared->startError;
}

void ProbePool::tell()
{
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->telling = false;
    }
    Q_EMIT progressed();
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

void ProbePool::Probes::changed()
{
    int wanted = 0;
    int list = 0;
    bool closing = false;
    {
        std::lock_guard<std::mutex> lock(shared->mutex);
        wanted = shared->workerCount;
        list = shared->list;
        closing = shared->closing;
    }
    if (closing || int(workers.size()) != wanted) {
        removeWorkers();
        if (closing)
            return;
        workers.resize(size_t(wanted));
        for (size_t index = 0; index < workers.size(); ++index)
            createWorker(index);
    }
    bool killed = false;
    for (Worker &worker : workers) {
        if (worker.index >= 0 && worker.list != list
            && worker.process->state() != QProcess::NotRunning) {
            worker.process->kill();
            killed = true;
        }
    }
    if (killed)
        QTimer::singleShot(kReapMs, home, [this] { replaceStuck(); });
    for (size_t index = 0; index < workers.size(); ++index)
        launch(index);
}

void ProbePool::Probes::createWorker(size_t index)
{
    Worker &worker = workers[index];
    worker = Worker();
    worker.process = new QProcess(home);
    worker.limit = new QTimer(worker.process);
    worker.limit->setSingleShot(true);
    QProcess *process = worker.process;
    QObject::connect(process, &QProcess::readyReadStandardOutput, home,
                     [this, index] { readStamp(workers[index]); });
    QObject::connect(process, &QProcess::readyReadStandardError, home,
                     [this, index] { drain(workers[index]); });
    QObject::connect(process, &QProcess::finished, home, [this, index] { ended(index); });
    QObject::connect(process, &QProcess::errorOccurred, home,
                     [this, index](QProcess::ProcessError error) {
                         // Every other error is followed by finished().
                         if (error == QProcess::FailedToStart)
                             failedToStart(index);
                     });
    QObject::connect(worker.limit, &QTimer::timeout, process, &QProcess::kill);
}

void ProbePool::Probes::removeWorkers()
{
    int ended = 0;
    for (Worker &worker : workers) {
        if (!worker.process)
            continue;
        worker.process->disconnect();
        if (worker.index >= 0)
            ++ended;
        worker.process->kill();
        // Ended with the process, which is waited for here, on this thread.
        delete worker.process;
    }
    workers.clear();
    std::lock_guard<std::mutex> lock(shared->mutex);
    shared->running -= ended;
}

void ProbePool::Probes::launch(size_t index)
{
    Worker &worker = workers[index];
    if (worker.index >= 0)
        return;
    QString program;
    QString path;
    int timeoutMs = 0;
    {
        std::lock_guard<std::mutex> lock(shared->mutex);
        if (shared->closing)
            return;
        while (shared->nextIndex < shared->states.size()
               && shared->states.at(shared->nextIndex) != State::Waiting)
            ++shared->nextIndex;
        if (shared->nextIndex >= shared->states.size())
            return;
        worker.index = shared->nextIndex++;
        worker.list = shared->list;
        shared->states[worker.index] = State::Running;
        ++shared->running;
        program = shared->program;
        path = shared->paths.at(worker.index);
        timeoutMs = shared->timeoutMs;
    }
    worker.result = Result();
    // Taken before the probe reads it: a file that grows meanwhile differs
    // from its stamp later rather than pass for the length the probe saw.
    Platform::prepareProbe(*worker.process, path);
    worker.limit->start(timeoutMs);
    worker.process->start(program, probeArguments(path), QIODevice::ReadWrite);
}

void ProbePool::Probes::drain(Worker &worker)
{
    const QByteArray text = worker.process->readAllStandardError();
    if (worker.index >= 0)
        worker.result.standardError += text;
}

void ProbePool::Probes::readStamp(Worker &worker)
{
    // The stamp's line comes first; the rest of standard output carries
    // nothing we read, and is taken so that the pipe never fills.
    const QByteArray text = worker.process->readAllStandardOutput();
    Result &result = worker.result;
    if (worker.index < 0 || result.stampTold)
        return;
    result.stampText += text;
    const qsizetype end = result.stampText.indexOf('\n');
    if (end < 0)
        return;
    result.stamp = SourceStamp::fromLine(result.stampText.left(end));
    result.stampTold = true;
    result.stampText.clear();
}

void ProbePool::Probes::finish(Worker &worker)
{
    worker.limit->stop();
    {
        std::lock_guard<std::mutex> lock(shared->mutex);
        --shared->running;
        if (worker.list == shared->list && shared->states.value(worker.index) == State::Running) {
            shared->results[worker.index] = std::move(worker.result);
            shared->states[worker.index] = State::Done;
            ++shared->doneCount;
            // The caller may be going: once it is, nothing is posted to it.
            if (!shared->telling && !shared->closing) {
                shared->telling = true;
                QMetaObject::invokeMethod(owner, "tell", Qt::QueuedConnection);
            }
        }
    }
    worker.index = -1;
    worker.result = Result();
}

void ProbePool::Probes::ended(size_t index)
{
    Worker &worker = workers[index];
    drain(worker);
    readStamp(worker);
    if (worker.index < 0)
        return;
    finish(worker);
    launch(index);
}

void ProbePool::Probes::failedToStart(size_t index)
{
    Worker &worker = workers[index];
    if (worker.index < 0)
        return;
    const QString why = worker.process->errorString();
    worker.result.startError = why;
    {
        std::lock_guard<std::mutex> lock(shared->mutex);
        if (worker.list == shared->list && shared->startError.isEmpty())
            shared->startError = why;
    }
    finish(worker);
    // This runs inside QProcess::start(): the next start waits for the event
    // loop rather than nest one failure inside the other.
    QTimer::singleShot(0, home, [this, index] {
        if (index < workers.size())
            launch(index);
    });
}

void ProbePool::Probes::replaceStuck()
{
    int list = 0;
    {
        std::lock_guard<std::mutex> lock(shared->mutex);
        list = shared->list;
    }
    for (size_t index = 0; index < workers.size(); ++index) {
        Worker &worker = workers[index];
        if (worker.index < 0 || worker.list == list || worker.process->state() == QProcess::NotRunning)
            continue;
        // Held in the kernel by its file's share: it goes on its own once
        // the share answers, and counts until then.
        QProcess *stuck = worker.process;
        stuck->disconnect();
        stuck->setParent(nullptr);
        const std::shared_ptr<Shared> counted = shared;
        QObject::connect(stuck, &QProcess::finished, stuck, [counted, stuck] {
            {
                std::lock_guard<std::mutex> lock(counted->mutex);
                --counted->running;
            }
            stuck->deleteLater();
        });
        createWorker(index);
        launch(index);
    }
}
