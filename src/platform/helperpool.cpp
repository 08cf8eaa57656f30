#include "helperpool.h"

#include <cerrno>
#include <cstring>
#include <map>
#include <system_error>
#include <thread>

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>

extern char **environ;

namespace {

// Helpers kept waiting for a call: one ready for the next call, and one
// more for a call made at the same time on another thread. Any beyond them
// are ended as they come back.
constexpr std::size_t kMaxReady = 2;

struct Pools {
    std::mutex mutex;
    std::map<QString, HelperPool *> byProgram; // mutex
};

// Never destroyed: a thread left behind may still reach a pool at the end.
Pools &pools() {
    static Pools *const shared = new Pools;
    return *shared;
}

// A helper that waits for a request never writes: anything to read on its
// socket, or its end, says it has gone (killed, say).
bool hasGone(int socket) {
    struct pollfd state = {socket, POLLIN, 0};
    return ::poll(&state, 1, 0) != 0;
}

} // namespace

HelperPool &HelperPool::of(const QString &helperPath) {
    Pools &all = pools();
    std::lock_guard<std::mutex> lock(all.mutex);
    HelperPool *&pool = all.byProgram[helperPath];
    if (!pool)
        pool = new HelperPool(QFile::encodeName(helperPath));
    return *pool;
}

HelperPool::HelperPool(const QByteArray &program)
    : m_program(program), m_runsHelpers(::access(program.constData(), X_OK) == 0) {
    // Said once, as it holds for the whole run: the calls of every thread
    // are then made on that thread, as they are without a channel.
    if (!m_runsHelpers)
        qWarning("%s cannot be run (%s): folder calls are made directly", program.constData(),
                 std::strerror(errno));
}

bool HelperPool::runsHelpers() const {
    return m_runsHelpers;
}

void HelperPool::prepare() {
    if (!m_runsHelpers)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_wanted = true;
    if (m_ready.empty())
        startThreadLocked();
}

int HelperPool::take(bool fresh) {
    for (;;) {
        int socket = -1;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_runsHelpers)
                return -1;
            m_wanted = true;
            if (fresh || m_ready.empty())
                break;
            // The one that answered last: its process is the likeliest to be
            // at hand.
            socket = m_ready.back();
            m_ready.pop_back();
            // The last one taken is replaced while its call is made.
            if (m_ready.empty())
                startThreadLocked();
        }
        if (!hasGone(socket))
            return socket;
        ::close(socket);
    }
    return start();
}

void HelperPool::giveBack(int socket) {
    if (socket < 0)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_ready.size() < kMaxReady) {
            m_ready.push_back(socket);
            return;
        }
    }
    // Its end of the socket gone, the helper ends.
    ::close(socket);
}

void HelperPool::drop(int socket) {
    if (socket >= 0)
        ::close(socket);
}

int HelperPool::start() {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, ends[1], STDIN_FILENO);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t all;
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    // A session of its own: the terminal's Ctrl+C is not for it.
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID);
    char *arguments[] = {const_cast<char *>(m_program.constData()), nullptr};
    pid_t pid = 0;
    const int failed =
        ::posix_spawn(&pid, m_program.constData(), &actions, &attributes, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(ends[1]);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (failed != 0) {
        ::close(ends[0]);
        // Not started now: the next call tries again, not the pool's thread.
        m_wanted = false;
        return -1;
    }
    // Requests wait in the socket while the helper starts.
    m_starters.push_back(pid);
    startThreadLocked();
    return ends[0];
}

void HelperPool::startThreadLocked() {
    if (m_threadRuns)
        return;
    try {
        std::thread([this] { work(); }).detach();
        m_threadRuns = true;
    } catch (const std::system_error &) {
        // Tried again at the next start; helpers start on the calling thread
        // meanwhile.
    }
}

void HelperPool::work() {
    // Signals are for the program's other threads.
    sigset_t all;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, nullptr);
    pthread_setname_np(pthread_self(), "file helpers");
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        if (m_wanted && m_ready.empty()) {
            lock.unlock();
            const int socket = start();
            if (socket >= 0)
                giveBack(socket);
            lock.lock();
        } else if (!m_starters.empty()) {
            const qint64 starter = m_starters.front();
            m_starters.pop_front();
            lock.unlock();
            // Only a moment: the first process hands the work to its child
            // and ends (tools/foldercalls).
            while (::waitpid(pid_t(starter), nullptr, 0) < 0 && errno == EINTR) {
            }
            lock.lock();
        } else {
            // Nothing left to do: no thread of the pool stays when there is
            // none, and the next start starts one again.
            m_threadRuns = false;
            return;
        }
    }
}
