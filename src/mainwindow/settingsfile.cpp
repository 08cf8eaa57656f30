#include "settingsfile.h"

#include <QDir>
#include <QSettings>

#include "app/version.h"
#include "mainwindow/folderpath.h"
#include "platform/platform.h"

QVariant SettingsFile::value(const QString &key, const QVariant &defaultValue)
{
    // A damaged file is read for every key it still holds: the INI reader
    // skips the lines it cannot read and keeps the rest. Its status is no
    // guide to what was read, as it is only set by the object that parsed the
    // file; later objects share that parse through Qt's cache and report no
    // error, so a test of it read one key as a default and the next as stored.
    QSettings settings(Platform::settingsFile(), QSettings::IniFormat);
    return settings.value(key, defaultValue);
}

namespace {

SettingsFile::WriteFailureHandler &writeFailureHandler()
{
    static SettingsFile::WriteFailureHandler handler;
    return handler;
}

} // namespace

bool SettingsFile::setValue(const QString &key, const QVariant &value)
{
    QSettings settings(Platform::settingsFile(), QSettings::IniFormat);
    settings.setValue(key, value);
    // Written now rather than when the object goes: only then does its
    // status tell whether the value was kept.
    settings.sync();
    if (settings.status() != QSettings::AccessError)
        return true;
    if (writeFailureHandler())
        writeFailureHandler()(Platform::settingsFile());
    return false;
}

void SettingsFile::setWriteFailureHandler(WriteFailureHandler handler)
{
    writeFailureHandler() = std::move(handler);
}

bool SettingsFile::contains(const QString &key)
{
    QSettings settings(Platform::settingsFile(), QSettings::IniFormat);
    return settings.contains(key);
}

QString SettingsFile::defaultHomeFolder()
{
    return FolderPath::join(Platform::documentsDir(), QLatin1String(kProductName));
}

QString SettingsFile::defaultOutputFolder()
{
    return FolderPath::join(defaultHomeFolder(), QStringLiteral("output"));
}

QString SettingsFile::defaultSnapshotFolder()
{
    return FolderPath::join(defaultHomeFolder(), QStringLiteral("snap"));
}

bool SettingsFile::isInDefaultHome(const QString &folder)
{
    const QString home = QDir::cleanPath(defaultHomeFolder());
    const QString path = QDir::cleanPath(folder);
    return path == home || path.startsWith(home + QLatin1Char('/'));
}
