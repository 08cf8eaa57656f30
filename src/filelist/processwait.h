#pragma once

class QProcess;

// Waits for a process while the window goes on painting. QProcess's own
// waitForFinished() blocks the thread, so a window adding two hundred files
// would freeze for the whole time; here the thread runs an event loop that
// takes timers, paints and the process's own signals, and keeps the user's
// clicks and keys for later, so that nothing the user does can change the
// list under a running operation.
class ProcessWait
{
public:
    // True when the process has finished (or was never running) within
    // timeoutMs; false when it is still running.
    static bool forFinished(QProcess &process, int timeoutMs);
};
