#pragma once

#include <QByteArray>
#include <QStringList>

class QProcess;

// The one way this program waits for a tool it started. QProcess's own
// waitForFinished() blocks the thread, so a window adding two hundred files
// would freeze for the whole time; a painting wait runs an event loop that
// takes timers, paints and the process's own signals, and keeps the user's
// clicks and keys for later, so that nothing the user does can change the
// list under a running operation. A tool that outlives its time is killed
// and reaped, so that no wait leaves a process behind.
class ProcessWait
{
public:
    enum class Waiting {
        // For tools that answer at once (the suspender): nothing else runs.
        Blocking,
        // For tools that may take seconds: the window goes on painting.
        Painting,
    };

    struct Ended {
        // Exited by itself, within the time, with status 0.
        bool ok = false;
        QByteArray standardError;
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
};
