#pragma once

#include <functional>

#include <QString>

class QProcess;

// The few places where the program meets the operating system: where its
// files live, how a folder or address is shown to the user, free disk space,
// switching the computer off, and process groups for the tools we start.
// Nothing outside this class includes a system header for these.
class Platform
{
public:
    // The folder that holds the program, its tools and its data: the
    // program's own folder, unless a test points elsewhere.
    static QString installDir();
    static void setInstallDir(const QString &path);

    // Per-user locations; an installation can be read-only.
    static QString configDir();
    static QString settingsFile();       // "nowfolder.ini"
    static QString tempDir();            // this copy's folder in the program's own "tmp"
    static QString handoffDir();         // where the update tool leaves its download
    static QString documentsDir();
    static QString desktopDir();
    // A folder on this computer's own memory or disk, never a share, for
    // files that live a moment.
    static QString localScratchDir();
    // A private folder of this user for lock files, the same whatever
    // TMPDIR says; created on demand.
    static QString runtimeDir();
    // The id of the user the program runs for.
    static uint userId();

    // A sibling program in the installation folder.
    static QString toolPath(const QString &name);

    // Shows a folder in the desktop's file manager, or an address in the
    // browser. A missing file manager or browser fails quietly.
    static bool openFolder(const QString &path);
    static bool openUrl(const QString &address);

    // Free bytes on the file system that holds path (or its nearest existing
    // parent); -1 when it cannot be told.
    static qint64 freeBytes(const QString &path);
    // Tests make a full disk without filling one: a reading that freeBytes
    // answers for every path until it is cleared with -1.
    static void setFreeBytesOverride(qint64 bytes);

    // Asks the system to switch the computer off (logind over the system
    // bus). False and the reason when it refuses or cannot be asked; on
    // success the system carries the shutdown out, we close nothing ourselves.
    static bool powerOff(QString *error = nullptr);
    // Tests replace the request so that no test can switch a machine off.
    using PowerOffFunction = std::function<bool(QString *error)>;
    static void setPowerOffOverride(PowerOffFunction request);

    // Starts the process in a process group of its own, so that pausing or
    // ending it reaches its children too.
    static void useOwnProcessGroup(QProcess &process);
    // The process is ended by the system (SIGTERM) when this program ends,
    // however it ends: for a tool whose work means nothing without us.
    static void endWithThisProcess(QProcess &process);
    // The process, started to probe path, first tells on its standard
    // output how it found the file: one line "SIZE MS" (bytes, and the
    // modification time in milliseconds since the epoch; "-1 -1" for
    // anything but a file), looked at by the child itself just before its
    // program starts, so that a file on a share that does not answer holds
    // up that probe and never the caller.
    static void prepareProbe(QProcess &process, const QString &path);
    // What signalProcessGroup can ask of a group; named here so that callers
    // need no system header for the signal numbers.
    enum class GroupSignal {
        Continue,
        Terminate,
        Kill,
    };
    static bool signalProcessGroup(qint64 pid, GroupSignal signal);
};
