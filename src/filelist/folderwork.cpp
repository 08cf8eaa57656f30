#include "folderwork.h"

#include <chrono>
#include <deque>
#include <mutex>

#include <QPointer>
#include <QThread>

#include "platform/filecalls.h"
#include "platform/platform.h"

namespace {

using Clock = std::chrono::steady_clock;

// What the end waits for the piece at work. Its calls on files give up as
// soon as the end asks; a piece still at work after this waits on something
// else that hangs (a tool that does not end) and is not waited for.
constexpr auto kCloseWait = std::chrono::milliseconds(500);
constexpr unsigned long kCloseStepMs = 10;

struct Hook {
    std::mutex mutex;
    std::function<void()> beforeEach; // mutex
};

// Never destroyed: a worker left behind may still reach it while the
// process ends.
Hook &hook() {
    static Hook *const shared = new Hook;
    return *shared;
}

} // namespace

struct FolderWork::Piece {
    std::function<void()> work;
    QPointer<QObject> target;
    std::function<void()> then;
};

// Between the worker and this object: the pieces and their continuations go
// from one thread to the other here, under the mutex, and the queued calls
// that wake either side carry nothing. Qt's queue orders a call after its
// post through locks inside Qt, which ThreadSanitizer (it sees this program's
// code only) cannot see: whatever went along with the call would look raced.
// Once closing, no continuation is posted to an object that may be gone.
struct FolderWork::Shared {
    // Used by the worker only; ended from this object's end.
    FileCalls::Channel calls{Platform::toolPath(FileCalls::kHelperName)};
    std::mutex mutex;
    std::deque<Piece> waiting; // mutex: not started yet, oldest first
    std::deque<Piece> done;    // mutex: continuations due on the owner's thread
    bool closing = false;      // mutex
};

FolderWork::FolderWork(QObject *parent)
    : QObject(parent)
    , m_shared(std::make_shared<Shared>())
    , m_thread(new QThread)
    , m_worker(new QObject) {
    m_thread->setObjectName(QStringLiteral("folder work"));
    m_worker->moveToThread(m_thread);
    connect(this, &FolderWork::pieceWaiting, m_worker,
            [shared = m_shared, owner = this] { runNext(*shared, owner); });
    m_thread->start();
}

FolderWork::~FolderWork() {
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->closing = true;
    }
    // A piece waiting for a share gives up now, and its thread can end.
    m_shared->calls.end();
    m_thread->quit();
    const Clock::time_point asked = Clock::now();
    while (!m_thread->wait(kCloseStepMs)) {
        // A thread still running is never destroyed: it is left behind.
        if (Clock::now() - asked >= kCloseWait)
            return;
    }
    // Qt's wait orders the worker's end before what follows, through locks
    // that ThreadSanitizer does not see; the worker let go of this mutex
    // last, and taking it shows that order.
    { std::lock_guard<std::mutex> lock(m_shared->mutex); }
    delete m_worker;
    delete m_thread;
}

void FolderWork::run(std::function<void()> work, QObject *context, std::function<void()> then) {
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->waiting.push_back({std::move(work), context, std::move(then)});
    }
    emit pieceWaiting(QPrivateSignal());
}

void FolderWork::setName(const QString &name) {
    m_thread->setObjectName(name);
}

void FolderWork::runNext(Shared &shared, FolderWork *owner) {
    Piece piece;
    {
        std::lock_guard<std::mutex> lock(shared.mutex);
        if (shared.closing || shared.waiting.empty())
            return;
        piece = std::move(shared.waiting.front());
        shared.waiting.pop_front();
    }
    FileCalls::Channel::setForThisThread(&shared.calls);
    std::function<void()> before;
    {
        std::lock_guard<std::mutex> lock(hook().mutex);
        before = hook().beforeEach;
    }
    if (before)
        before();
    if (piece.work)
        piece.work();
    std::lock_guard<std::mutex> lock(shared.mutex);
    // Not closing: the owner is still there and stays until this is posted.
    if (shared.closing || !piece.then)
        return;
    shared.done.push_back(std::move(piece));
    QMetaObject::invokeMethod(owner, "runDone", Qt::QueuedConnection);
}

void FolderWork::runDone() {
    Piece piece;
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        if (m_shared->done.empty())
            return;
        piece = std::move(m_shared->done.front());
        m_shared->done.pop_front();
    }
    if (piece.target)
        piece.then();
}

void FolderWork::setBeforeEachHook(std::function<void()> hook) {
    std::lock_guard<std::mutex> lock(::hook().mutex);
    ::hook().beforeEach = std::move(hook);
}
