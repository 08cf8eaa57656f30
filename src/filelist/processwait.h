#pragma once

#include <functional>

#include <QByteArray>
#include <QStringList>

class QObject;
class QProcess;

// The one way this program waits for a tool it started. QProcess's own
// waitForFinished() blocks the thread, so a window adding two hundred files
// would freeze for the whole time; a painting wait runs an event loop that
// takes timers, paints and the process's own signals, and keeps the user's
// clicks and keys for later, so that nothing the user does can change the
// list under a running operation. A tool that outlives its time is killed
// and reaped, so that no wait leaves a process behind. A tool whose answer
// the window need not wait for is started and heard at its end instead.
class ProcessWait
{
public:
    // No wait holds the window's thread: a tool that should answer at once
    // (the suspender) may hang as well, and is started and heard instead.
    enum class Waiting {
        // For tools that may take seconds: the window goes on painting.
        Painting,
        // Only on a thread of the folder work, whose next piece must not
        // run inside this one: nothing else runs on it meanwhile.
        Blocking,
    };

    struct Ended {
        // Exited by itself, within the time, with status 0.
        bool ok = false;
        QByteArray standardError;
        // Why not, for the user: the tool did not start, crashed, was
        // killed for its time or ended with another status.
        QString problem;
    };

    // True when the process has finished (or was never running) within
    // timeoutMs; false when it is still running.
    static bool forFinished(QProcess &process, int timeoutMs);

    // Waits up to timeoutMs for the process's end, then kills it and waits
    // as long again for the kill; true when it ended by itself.
    static bool endWithin(QProcess &process, int timeoutMs, Waiting waiting);

    // Starts program and waits for its end as endWithin does; what it wrote
    // to standard error that signals have not taken already comes back with
    // the result. Its standard output stays in the process for the caller.
    static Ended run(QProcess &process, const QString &program, const QStringList &arguments,
                     int timeoutMs, Waiting waiting);

    // Starts program and returns at once: then hears how it ended, on this
    // thread, once it has; a tool that outlives timeoutMs is killed first.
    // Nothing is heard when context has gone by then.
    static void start(QProcess &process, const QString &program, const QStringList &arguments,
                      int timeoutMs, QObject *context, std::function<void(const Ended &)> then);
};
