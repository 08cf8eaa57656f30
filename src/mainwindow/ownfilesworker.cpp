#include "ownfilesworker.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include <QCoreApplication>

#include "platform/filecalls.h"
#include "platform/platform.h"

namespace {

// What the end waits for the worker once its calls are ended: they give up
// within a poll of the helper's answer.
constexpr auto kStopWait = std::chrono::milliseconds(500);
// What the application's end gives the work at hand when the program did
// not end it itself (as a test does not).
constexpr int kApplicationEndWaitMs = 2000;

std::mutex g_instanceMutex;
OwnFilesWorker *g_instance = nullptr; // g_instanceMutex; never destroyed

} // namespace

struct OwnFilesWorker::Shared {
    FileCalls::Channel calls{Platform::toolPath(FileCalls::kHelperName)};
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::function<void()>> waiting; // mutex
    bool busy = false;                         // mutex: a piece is at work
    bool ending = false;                       // mutex
    bool stopped = false;                      // mutex: the worker has returned
};

OwnFilesWorker &OwnFilesWorker::instance() {
    std::lock_guard<std::mutex> lock(g_instanceMutex);
    if (!g_instance) {
        g_instance = new OwnFilesWorker;
        // A program that ends without finishing (a test) still lets the
        // work at hand end before Qt's own objects go.
        if (QCoreApplication::instance())
            qAddPostRoutine([] { finish(kApplicationEndWaitMs); });
    }
    return *g_instance;
}

OwnFilesWorker::OwnFilesWorker() : m_shared(std::make_shared<Shared>()) {
    std::thread(serve, m_shared).detach();
}

void OwnFilesWorker::post(std::function<void()> work) {
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        if (m_shared->ending)
            return;
        m_shared->waiting.push_back(std::move(work));
    }
    m_shared->changed.notify_all();
}

bool OwnFilesWorker::waitUntilIdle(int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_shared->mutex);
    return m_shared->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] {
        return m_shared->stopped || (!m_shared->busy && m_shared->waiting.empty());
    });
}

void OwnFilesWorker::finish(int timeoutMs) {
    OwnFilesWorker *worker = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_instanceMutex);
        worker = g_instance;
    }
    if (!worker)
        return;
    Shared &shared = *worker->m_shared;
    {
        std::lock_guard<std::mutex> lock(shared.mutex);
        if (shared.ending)
            return;
    }
    worker->waitUntilIdle(timeoutMs);
    {
        std::lock_guard<std::mutex> lock(shared.mutex);
        shared.ending = true;
        shared.waiting.clear();
    }
    // A piece held by a share that does not answer gives up now.
    shared.calls.end();
    shared.changed.notify_all();
    // A worker held by anything else is left to end with the process.
    std::unique_lock<std::mutex> lock(shared.mutex);
    shared.changed.wait_for(lock, kStopWait, [&shared] { return shared.stopped; });
}

void OwnFilesWorker::serve(const std::shared_ptr<Shared> &shared) {
    FileCalls::Channel::setForThisThread(&shared->calls);
    std::unique_lock<std::mutex> lock(shared->mutex);
    for (;;) {
        shared->changed.wait(lock,
                             [&shared] { return shared->ending || !shared->waiting.empty(); });
        if (shared->ending)
            break;
        std::function<void()> work = std::move(shared->waiting.front());
        shared->waiting.pop_front();
        shared->busy = true;
        lock.unlock();
        work();
        lock.lock();
        shared->busy = false;
        shared->changed.notify_all();
    }
    FileCalls::Channel::setForThisThread(nullptr);
    shared->stopped = true;
    shared->changed.notify_all();
}
