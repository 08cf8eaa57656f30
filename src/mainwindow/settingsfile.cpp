#include "settingsfile.h"

#include <QDir>
#include <QSettings>

#include "app/version.h"
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
    return QDir::toNativeSeparators(Platform::documentsDir() + QLatin1Char('/')
                                    + QLatin1String(kProductName));
}

QString SettingsFile::defaultOutputFolder()
{
    return defaultHomeFolder() + QDir::separator() + QStringLiteral("output");
}

QString SettingsFile::defaultSnapshotFolder()
{
    return defaultHomeFolder() + QDir::separator() + QStringLiteral("snap");
}
