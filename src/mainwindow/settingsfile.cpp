#include "settingsfile.h"

#include <QSettings>

#include "app/version.h"
#include "mainwindow/folderpath.h"
#include "platform/platform.h"

QVariant SettingsFile::value(const QString &key, const QVariant &defaultValue)
{
    QSettings settings(Platform::settingsFile(), QSettings::IniFormat);
    // A file that is not INI text reads as defaults.
    if (settings.status() != QSettings::NoError)
        return defaultValue;
    return settings.value(key, defaultValue);
}

void SettingsFile::setValue(const QString &key, const QVariant &value)
{
    QSettings settings(Platform::settingsFile(), QSettings::IniFormat);
    settings.setValue(key, value);
}

bool SettingsFile::contains(const QString &key)
{
    QSettings settings(Platform::settingsFile(), QSettings::IniFormat);
    return settings.status() == QSettings::NoError && settings.contains(key);
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
