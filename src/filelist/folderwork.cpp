#include "folderwork.h"

#include <mutex>

#include <QPointer>
#include <QThread>

namespace {

// What closing the window waits for a piece at work before leaving it.
constexpr unsigned long kCloseWaitMs = 2000;

std::mutex hookMutex;
std::function<void()> beforeEachHook; // hookMutex

} // namespace

// Between the worker and this object: once closing, no continuation is posted
// to an object that may be gone.
struct FolderWork::Shared {
    std::mutex mutex;
    bool closing = false; // mutex
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
    m_thread->quit();
    if (!m_thread->wait(kCloseWaitMs))
        return;
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
            std::function<void()> hook;
            {
                std::lock_guard<std::mutex> lock(hookMutex);
                hook = beforeEachHook;
            }
            if (hook)
                hook();
            if (work)
                work();
            std::lock_guard<std::mutex> lock(shared->mutex);
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
    std::lock_guard<std::mutex> lock(hookMutex);
    beforeEachHook = std::move(hook);
}
