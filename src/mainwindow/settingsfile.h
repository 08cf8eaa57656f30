#pragma once

#include <functional>

#include <QString>
#include <QVariant>

// The program's own settings, kept in "nowfolder.ini" in the user's
// configuration folder. Every access opens the file afresh and lets it go, so
// that a value written is seen by every later read. A write replaces the file
// whole, checked, or leaves it alone.
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

    static QVariant value(const QString &key, const QVariant &defaultValue = QVariant());
    // False when the value did not reach the file (a read-only home, a full
    // disk, a file that cannot be replaced); the file then stays as it was,
    // and the write-failure handler hears of it too.
    static bool setValue(const QString &key, const QVariant &value);
    // The product record that installers and other tools look for, in the
    // product's native settings file; failures are told as above.
    static bool writeProductRecord();
    static bool contains(const QString &key);

    // Called with the file's path whenever a write fails, so that the window
    // can tell the user instead of forgetting the change quietly.
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
