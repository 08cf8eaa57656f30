#pragma once

#include <functional>
#include <memory>

// The work on the program's own files and folders in the user's home: its
// settings, its product record, its folder of edit scripts and the update
// tool's hand-off folder. A home folder on a share may stop answering like
// any other folder, so this work is done on a thread of its own, one piece
// after another in the order given, and its file calls are made through
// FileCalls' helper process: a hung home holds up this work, never the
// window, and never the end of the program.
//
// One for the whole program; it is made at its first use, on the window's
// thread.
class OwnFilesWorker {
public:
    static OwnFilesWorker &instance();

    // Runs work on the worker after everything handed over before it. After
    // the end, nothing is run.
    void post(std::function<void()> work);
    // True once everything handed over so far has run; false when that takes
    // longer than timeoutMs.
    bool waitUntilIdle(int timeoutMs);

    // The end of the program: what has been handed over gets up to
    // timeoutMs to finish, then its file calls are ended and the worker
    // stops. Nothing is waited for beyond that.
    static void finish(int timeoutMs);

private:
    OwnFilesWorker();
    struct Shared;
    static void serve(const std::shared_ptr<Shared> &shared);

    std::shared_ptr<Shared> m_shared;
};
