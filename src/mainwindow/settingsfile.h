#pragma once

#include <functional>

#include <QString>
#include <QVariant>

// The program's own settings, kept in "nowfolder.ini" in the user's
// configuration folder. The home folder that holds it may stop answering
// like any other folder, so the window never waits on it: the file is read
// once as the window is made, reads are answered from what was read, and
// writes are handed to the program's own-files worker (OwnFilesWorker),
// which writes the file whole, checked, or leaves it alone. A value written
// is seen by every later read in the program at once.
class SettingsFile
{
public:
    static inline const QString kOutput = QStringLiteral("/config/Output");
    static inline const QString kSnapshot = QStringLiteral("/config/Snapshot");
    static inline const QString kFolder = QStringLiteral("/config/folder");
    static inline const QString kDown = QStringLiteral("/config/down");
    static inline const QString kUpdateEnabled = QStringLiteral("/config/update1");
    static inline const QString kUpdateCycle = QStringLiteral("/config/update2");
    // Day of the year of the last automatic update check, for older files
    // and programs; the date itself, which survives New Year, beside it.
    static inline const QString kLastCheck = QStringLiteral("/config/data");
    static inline const QString kLastCheckDate = QStringLiteral("/config/lastcheck");
    // The snapshot format a start begins with: its index in the main window's
    // format menu. Without it a start begins with BMP.
    static inline const QString kSnapshotFormat = QStringLiteral("/config/snapformat");

    // Reads the file again, away from this thread. Reads wait for it a
    // moment at most: a file that does not answer by then reads as its
    // defaults, and what it holds counts once it answers, for the keys that
    // were not written meanwhile. The window loads as it is made.
    static void load();

    static QVariant value(const QString &key, const QVariant &defaultValue = QVariant());
    static bool contains(const QString &key);
    // Seen by every later read at once; reaches the file in the background.
    // A write that fails leaves the file as it was and is told to the
    // write-failure handler.
    static void setValue(const QString &key, const QVariant &value);
    // The product record that installers and other tools look for, in the
    // product's native settings file; failures are told as above.
    static void writeProductRecord();
    // True once every write handed over so far has reached its file, none
    // having failed since the last flush; false after timeoutMs.
    static bool flush(int timeoutMs = 10000);

    // Called with the file's path whenever a write fails, so that the window
    // can tell the user instead of forgetting the change quietly. Set, taken
    // away and called on the window's thread.
    using WriteFailureHandler = std::function<void(const QString &path)>;
    static void setWriteFailureHandler(WriteFailureHandler handler);

    // The documents folder's "Quillora" folder and its output and snapshot
    // folders: the defaults before the user picks others.
    static QString defaultHomeFolder();
    // Folders under it are the program's own: made again without asking.
    static bool isInDefaultHome(const QString &folder);
    static QString defaultOutputFolder();
    static QString defaultSnapshotFolder();
};
