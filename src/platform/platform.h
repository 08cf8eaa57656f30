#pragma once

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
    static QString tempDir();            // the program's own "tmp" folder
    static QString handoffDir();         // where the update tool leaves its download
    static QString documentsDir();
    static QString desktopDir();
    // A private folder of this user for lock files; created on demand.
    static QString runtimeDir();

    // A sibling program in the installation folder.
    static QString toolPath(const QString &name);

    // Shows a folder in the desktop's file manager, or an address in the
    // browser. A missing file manager or browser fails quietly.
    static bool openFolder(const QString &path);
    static bool openUrl(const QString &address);

    // Free bytes on the file system that holds path (or its nearest existing
    // parent); -1 when it cannot be told.
    static qint64 freeBytes(const QString &path);

    // Starts the process in a process group of its own, so that pausing or
    // ending it reaches its children too.
    static void useOwnProcessGroup(QProcess &process);
    static bool signalProcessGroup(qint64 pid, int signal);
};
