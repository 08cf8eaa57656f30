#include "settingsfile.h"

#include <optional>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QMap>
#include <QSettings>
#include <QTemporaryDir>

#include "app/version.h"
#include "filelist/folderpath.h"
#include "platform/platform.h"
#include "platform/safefile.h"

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

using Values = QMap<QString, QVariant>;

// What a write waits for another writer of the same file.
constexpr int kLockWaitMs = 2000;

// The key as the INI reader lists it: "/config/Output" is "config/Output".
QString listedKey(const QString &key) {
    return key.split(QLatin1Char('/'), Qt::SkipEmptyParts).join(QLatin1Char('/'));
}

// What the INI reader gives back for a value written: the value itself, or
// for a number or a switch its text.
bool sameValue(const QVariant &read, const QVariant &meant) {
    if (read.metaType() == meant.metaType())
        return read == meant;
    return meant.canConvert<QString>() && read.toString() == meant.toString();
}

Values valuesIn(const QString &file) {
    QSettings settings(file, QSettings::IniFormat);
    Values values;
    for (const QString &key : settings.allKeys())
        values.insert(key, settings.value(key));
    return values;
}

// The file's new text, made by Qt's own INI writer so that every reader of
// the file reads it as before. That writer's file is not trusted: on a full
// disk it ends up empty or cut and the writer says nothing, so it is read
// back and must hold every value. Under another name, as Qt's cache would
// answer for the name it wrote.
std::optional<QByteArray> iniText(const QString &folder, const Values &values) {
    QTemporaryDir work(folder + QStringLiteral("/.settings-XXXXXX"));
    if (!work.isValid())
        return std::nullopt;
    const QString written = work.filePath(QStringLiteral("written.ini"));
    {
        QSettings settings(written, QSettings::IniFormat);
        for (auto value = values.cbegin(); value != values.cend(); ++value)
            settings.setValue(value.key(), value.value());
        settings.sync();
        if (settings.status() != QSettings::NoError)
            return std::nullopt;
    }
    const QString check = work.filePath(QStringLiteral("check.ini"));
    if (!QFile::rename(written, check))
        return std::nullopt;
    const Values read = valuesIn(check);
    if (read.keys() != values.keys())
        return std::nullopt;
    for (auto value = values.cbegin(); value != values.cend(); ++value) {
        if (!sameValue(read.value(value.key()), value.value()))
            return std::nullopt;
    }
    QFile text(check);
    if (!text.open(QIODevice::ReadOnly))
        return std::nullopt;
    return text.readAll();
}

// The file's values with the changes in; changed tells whether any was new.
Values withChanges(Values values, const Values &changes, bool *changed) {
    *changed = false;
    for (auto change = changes.cbegin(); change != changes.cend(); ++change) {
        const QString key = listedKey(change.key());
        if (!values.contains(key) || !sameValue(values.value(key), change.value())) {
            values.insert(key, change.value());
            *changed = true;
        }
    }
    return values;
}

// Writes changes into the INI file beside what it holds already; the file
// is replaced whole or not at all. A value it holds already is not written
// again.
bool storeValues(const QString &file, const Values &changes) {
    // Read whole, or not at all: what cannot be read would be lost.
    if (QFile::exists(file) && !QFile(file).open(QIODevice::ReadOnly))
        return false;
    bool changed = false;
    withChanges(valuesIn(file), changes, &changed);
    if (!changed)
        return true;
    const QString folder = QFileInfo(file).absolutePath();
    if (!QDir().mkpath(folder))
        return false;
    // Writers of the file take turns, Qt's own among them, and each one
    // writes what the one before it left.
    QLockFile lock(file + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockWaitMs))
        return false;
    const std::optional<QByteArray> text =
        iniText(folder, withChanges(valuesIn(file), changes, &changed));
    return text && SafeFile::replace(file, *text);
}

bool told(bool stored, const QString &file) {
    if (!stored && writeFailureHandler())
        writeFailureHandler()(file);
    return stored;
}

} // namespace

bool SettingsFile::setValue(const QString &key, const QVariant &value)
{
    const QString file = Platform::settingsFile();
    return told(storeValues(file, {{key, value}}), file);
}

bool SettingsFile::writeProductRecord() {
    // Where the product's own native settings live: an INI file on Linux.
    const QString file =
        QSettings(QString::fromLatin1(kOrganizationName), QString::fromLatin1(kProductName))
            .fileName();
    return told(storeValues(file, {{QStringLiteral("product"), QLatin1String(kProductName)},
                                   {QStringLiteral("ver"), QLatin1String(kProductVersion)}}),
                file);
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
