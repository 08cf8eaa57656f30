#pragma once

#include <deque>
#include <mutex>

#include <QByteArray>
#include <QString>

// The file-call helpers that the program's threads share. Starting one costs
// far more than a call, so one is started ahead of need and each is handed
// from call to call for as long as it lives; only a helper whose call did not
// come back (a share that stopped answering) is given up, and it ends on its
// own once its call returns.
//
// A helper leaves its work to a child and ends (see tools/foldercalls): a
// thread of the pool's own waits for that first process, so that no helper
// stays behind as a zombie and no thread that makes calls waits for one to
// start. That thread is there only while it has work.
class HelperPool {
public:
    // The pool of the helper program at helperPath, one for the whole process
    // and never destroyed: a thread left behind may still reach it at the end.
    static HelperPool &of(const QString &helperPath);

    HelperPool(const HelperPool &) = delete;
    HelperPool &operator=(const HelperPool &) = delete;

    // Whether the helper program can be run at all: told once, when the pool
    // is made. Without it no helper is ever started.
    bool runsHelpers() const;
    // Has a helper ready for the first call.
    void prepare();
    // A socket to a helper that waits for a request: a ready one, or a new
    // one when none is (fresh: always a new one). -1 when none can be started
    // now; the next take tries again.
    int take(bool fresh = false);
    // A helper that has answered every request it was given, for the next call.
    void giveBack(int socket);
    // A helper that may still be at a request, or has gone: it ends when its
    // call returns.
    static void drop(int socket);

private:
    explicit HelperPool(const QByteArray &program);
    // Starts a helper: the socket to it, or -1. Its first process is left to
    // the pool's thread to reap.
    int start();
    void startThreadLocked();
    // The pool's thread, while there is work for it: makes a helper ready
    // and reaps first processes.
    void work();

    const QByteArray m_program;
    const bool m_runsHelpers;
    std::mutex m_mutex;
    std::deque<int> m_ready;       // m_mutex: sockets of helpers that wait for a request
    std::deque<qint64> m_starters; // m_mutex: first processes not reaped yet
    bool m_wanted = false;         // m_mutex: a helper is to be kept ready
    bool m_threadRuns = false;     // m_mutex
};
