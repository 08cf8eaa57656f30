#include "folderwork.h"

#include <chrono>
#include <mutex>

#include <QPointer>
#include <QThread>

#include "platform/filecalls.h"
#include "platform/platform.h"

namespace {

using Clock = std::chrono::steady_clock;

// What the end waits for the piece at work, counted from its start: longer
// than a folder that answers takes, and a piece that took longer has
// stopped answering and is not waited for at all.
constexpr auto kCloseWait = std::chrono::milliseconds(1000);
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

// Between the worker and this object: once closing, no continuation is posted
// to an object that may be gone.
struct FolderWork::Shared {
    // Used by the worker only; ended from this object's end.
    FileCalls::Channel calls{Platform::toolPath(QStringLiteral("foldercalls"))};
    std::mutex mutex;
    bool closing = false;  // mutex
    bool working = false;  // mutex: a piece is at work
    Clock::time_point since; // mutex: when the piece at work began
};

FolderWork::FolderWork(QObject *parent)
    : QObject(parent)
    , m_shared(std::make_shared<Shared>())
    , m_thread(new QThread)
    , m_worker(new QObject) {
    m_thread->setObjectName(QStringLiteral("folder work"));
    m_worker->moveToThread(m_thread);
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
    while (!m_thread->wait(kCloseStepMs)) {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        // A thread still running is never destroyed: it is left behind.
        if (m_shared->working && Clock::now() - m_shared->since >= kCloseWait)
            return;
    }
    delete m_worker;
    delete m_thread;
}

void FolderWork::run(std::function<void()> work, QObject *context, std::function<void()> then) {
    const std::shared_ptr<Shared> shared = m_shared;
    const QPointer<QObject> target(context);
    FolderWork *owner = this;
    QMetaObject::invokeMethod(
        m_worker,
        [shared, work = std::move(work), then = std::move(then), target, owner]() {
            {
                std::lock_guard<std::mutex> lock(shared->mutex);
                if (shared->closing)
                    return;
                shared->working = true;
                shared->since = Clock::now();
            }
            FileCalls::Channel::setForThisThread(&shared->calls);
            std::function<void()> before;
            {
                std::lock_guard<std::mutex> lock(hook().mutex);
                before = hook().beforeEach;
            }
            if (before)
                before();
            if (work)
                work();
            std::lock_guard<std::mutex> lock(shared->mutex);
            shared->working = false;
            // Not closing: the owner is still there and stays until this is posted.
            if (shared->closing || !then)
                return;
            QMetaObject::invokeMethod(
                owner,
                [then, target]() {
                    if (target)
                        then();
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void FolderWork::setBeforeEachHook(std::function<void()> hook) {
    std::lock_guard<std::mutex> lock(::hook().mutex);
    ::hook().beforeEach = std::move(hook);
}
