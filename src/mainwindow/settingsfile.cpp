#include "settingsfile.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "app/version.h"
#include "filelist/folderpath.h"
#include "mainwindow/ownfilesworker.h"
#include "platform/filecalls.h"
#include "platform/platform.h"
#include "platform/processowner.h"

namespace {

using Clock = std::chrono::steady_clock;
using Values = QMap<QString, QVariant>;

// What a read waits for the file as the window is made: long enough for a
// busy machine, short enough that a home that does not answer only delays
// the start.
constexpr auto kLoadWait = std::chrono::milliseconds(3000);
// What a write waits for another writer of the same file, and when another
// writer's turn counts as left behind (Qt's own default).
constexpr auto kLockWait = std::chrono::milliseconds(2000);
constexpr auto kLockRetry = std::chrono::milliseconds(20);
constexpr qint64 kStaleLockMs = 30000;
// Far above any settings file: more is not a settings file.
constexpr qint64 kMaxFileBytes = 4 * 1024 * 1024;

// Between the window's thread, which reads and hands writes over, and the
// worker, which reads and writes the files.
struct Store {
    std::mutex mutex;
    std::condition_variable answered;
    Values values;                             // mutex: what reads see, by listed key
    bool loaded = false;                       // mutex: a load has been asked for
    bool loading = false;                      // mutex: ... and has not answered
    Clock::time_point loadDeadline;            // mutex
    quint64 loadSerial = 0;                    // mutex
    QMap<QString, Values> waiting;             // mutex: by file, changes no write has taken yet
    QMap<QString, Values> writing;             // mutex: by file, the changes of the write at work
    int failures = 0;                          // mutex: writes that failed since the last flush
    QStringList failed;                        // mutex: files whose writes failed, not told yet
    QObject *reporter = nullptr;               // mutex: tells them on the window's thread
    bool tellDue = false;                      // mutex: the reporter has been called
    SettingsFile::WriteFailureHandler handler; // mutex
};

// Never destroyed: the worker may still reach it while the program ends.
Store &store() {
    static Store *const shared = new Store;
    return *shared;
}

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

// The file's values with the changes in; changed tells whether any was new.
Values withChanges(Values values, const Values &changes, bool *changed) {
    *changed = false;
    for (auto change = changes.cbegin(); change != changes.cend(); ++change) {
        if (!values.contains(change.key()) ||
            !sameValue(values.value(change.key()), change.value())) {
            values.insert(change.key(), change.value());
            *changed = true;
        }
    }
    return values;
}

// --- On the worker: the files themselves, through FileCalls. ---

// Qt's own INI reader and writer work on files: theirs lie on this
// computer's own scratch folder, never in the home folder, each under a new
// name, as Qt's cache would answer for a name it has read.
std::unique_ptr<QTemporaryDir> scratch() {
    auto folder = std::make_unique<QTemporaryDir>(Platform::localScratchDir() +
                                                  QStringLiteral("/quillora-settings-XXXXXX"));
    return folder->isValid() ? std::move(folder) : nullptr;
}

Values valuesIn(const QString &file) {
    QSettings settings(file, QSettings::IniFormat);
    Values values;
    for (const QString &key : settings.allKeys())
        values.insert(key, settings.value(key));
    return values;
}

// A damaged file is read for every key it still holds: the INI reader
// skips the lines it cannot read and keeps the rest.
std::optional<Values> parsed(const QByteArray &bytes) {
    const auto work = scratch();
    if (!work)
        return std::nullopt;
    const QString path = work->filePath(QStringLiteral("read.ini"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return std::nullopt;
    file.close();
    return valuesIn(path);
}

// The file's new text, made by Qt's own INI writer so that every reader of
// the file reads it as before. That writer's file is not trusted (on a full
// disk it ends up empty or cut and the writer says nothing): it is read back
// and must hold every value.
std::optional<QByteArray> iniText(const Values &values) {
    const auto work = scratch();
    if (!work)
        return std::nullopt;
    const QString written = work->filePath(QStringLiteral("written.ini"));
    {
        QSettings settings(written, QSettings::IniFormat);
        for (auto value = values.cbegin(); value != values.cend(); ++value)
            settings.setValue(value.key(), value.value());
        settings.sync();
        if (settings.status() != QSettings::NoError)
            return std::nullopt;
    }
    const QString check = work->filePath(QStringLiteral("check.ini"));
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

// A writer's turn whose owner is gone from this computer, or that has stood
// longer than any write takes.
bool isLeftBehind(const QString &lock) {
    QByteArray text;
    if (FileCalls::readWhole(lock, &text, kMaxFileBytes) == 0 &&
        ProcessOwner::fromText(text).isKnownGone())
        return true;
    const FileCalls::Look look = FileCalls::look(lock);
    return look.answered && look.exists && look.modifiedMs >= 0 &&
           QDateTime::currentMSecsSinceEpoch() - look.modifiedMs > kStaleLockMs;
}

// Writers of the file take turns, Qt's own among them (its lock file is the
// same name, made only if it is not there), and each one writes what the one
// before it left.
bool takeTurn(const QString &lock) {
    const QByteArray owner = ProcessOwner::self().toText();
    const Clock::time_point giveUp = Clock::now() + kLockWait;
    for (;;) {
        const int error = FileCalls::writeNew(lock, owner);
        if (error == 0)
            return true;
        if (error != EEXIST || Clock::now() >= giveUp)
            return false;
        if (isLeftBehind(lock))
            FileCalls::remove(lock);
        else
            std::this_thread::sleep_for(kLockRetry);
    }
}

// What the file holds, read whole (none when there is no file), or nothing
// when it cannot be read: a write would lose what it could not read.
std::optional<Values> valuesOf(const QString &file) {
    QByteArray bytes;
    const int error = FileCalls::readWhole(file, &bytes, kMaxFileBytes);
    if (error != 0 && error != ENOENT)
        return std::nullopt;
    return parsed(bytes);
}

// Writes changes into the INI file beside what it holds already; the file
// is replaced whole or not at all. A value it holds already is not written
// again.
bool storeValues(const QString &file, const Values &changes) {
    std::optional<Values> values = valuesOf(file);
    if (!values)
        return false;
    bool changed = false;
    withChanges(*values, changes, &changed);
    if (!changed)
        return true;
    if (!FileCalls::makePath(QFileInfo(file).absolutePath()))
        return false;
    const QString lock = file + QStringLiteral(".lock");
    if (!takeTurn(lock))
        return false;
    values = valuesOf(file);
    const std::optional<QByteArray> text =
        values ? iniText(withChanges(*values, changes, &changed)) : std::nullopt;
    const bool stored = text && FileCalls::replace(file, *text);
    FileCalls::remove(lock);
    return stored;
}

void writeWaiting(const QString &file) {
    Store &shared = store();
    Values changes;
    {
        std::lock_guard<std::mutex> lock(shared.mutex);
        changes = shared.waiting.take(file);
        shared.writing.insert(file, changes);
    }
    const bool stored = storeValues(file, changes);
    std::lock_guard<std::mutex> lock(shared.mutex);
    shared.writing.remove(file);
    if (stored)
        return;
    ++shared.failures;
    if (!shared.failed.contains(file))
        shared.failed << file;
    // The call carries nothing: what it tells goes under the lock.
    if (shared.reporter && !shared.tellDue) {
        shared.tellDue = true;
        QMetaObject::invokeMethod(shared.reporter, "tell", Qt::QueuedConnection);
    }
}

// --- On the window's thread. ---

void handOver(const QString &file, const Values &changes) {
    Store &shared = store();
    bool first = false;
    {
        std::lock_guard<std::mutex> lock(shared.mutex);
        first = !shared.waiting.contains(file);
        Values &waiting = shared.waiting[file];
        for (auto change = changes.cbegin(); change != changes.cend(); ++change)
            waiting.insert(change.key(), change.value());
    }
    // One write takes every change handed over until it starts.
    if (first)
        OwnFilesWorker::instance().post([file] { writeWaiting(file); });
}

// Holds the lock again on return.
void waitForLoad(std::unique_lock<std::mutex> &lock) {
    Store &shared = store();
    if (!shared.loaded) {
        lock.unlock();
        SettingsFile::load();
        lock.lock();
    }
    shared.answered.wait_until(lock, shared.loadDeadline, [&shared] { return !shared.loading; });
}

} // namespace

// On the window's thread, where the handler is set and taken away.
class SettingsFailureReporter : public QObject {
    Q_OBJECT

public:
    Q_INVOKABLE void tell() {
        Store &shared = store();
        QStringList failed;
        SettingsFile::WriteFailureHandler handler;
        {
            std::lock_guard<std::mutex> lock(shared.mutex);
            failed.swap(shared.failed);
            shared.tellDue = false;
            handler = shared.handler;
        }
        for (const QString &file : failed) {
            if (handler)
                handler(file);
        }
    }
};

void SettingsFile::load() {
    Store &shared = store();
    const QString file = Platform::settingsFile();
    quint64 serial = 0;
    {
        std::lock_guard<std::mutex> lock(shared.mutex);
        serial = ++shared.loadSerial;
        shared.loaded = true;
        shared.loading = true;
        shared.loadDeadline = Clock::now() + kLoadWait;
        // What is still on its way to the file counts over what it holds.
        shared.values = shared.writing.value(file);
        const Values waiting = shared.waiting.value(file);
        for (auto change = waiting.cbegin(); change != waiting.cend(); ++change)
            shared.values.insert(change.key(), change.value());
    }
    OwnFilesWorker::instance().post([file, serial] {
        const std::optional<Values> read = valuesOf(file);
        Store &shared = store();
        std::lock_guard<std::mutex> lock(shared.mutex);
        if (serial != shared.loadSerial)
            return;
        const Values values = read.value_or(Values());
        for (auto value = values.cbegin(); value != values.cend(); ++value) {
            if (!shared.values.contains(value.key()))
                shared.values.insert(value.key(), value.value());
        }
        shared.loading = false;
        shared.answered.notify_all();
    });
}

QVariant SettingsFile::value(const QString &key, const QVariant &defaultValue)
{
    Store &shared = store();
    std::unique_lock<std::mutex> lock(shared.mutex);
    waitForLoad(lock);
    return shared.values.value(listedKey(key), defaultValue);
}

bool SettingsFile::contains(const QString &key)
{
    Store &shared = store();
    std::unique_lock<std::mutex> lock(shared.mutex);
    waitForLoad(lock);
    return shared.values.contains(listedKey(key));
}

void SettingsFile::setValue(const QString &key, const QVariant &value)
{
    {
        Store &shared = store();
        std::lock_guard<std::mutex> lock(shared.mutex);
        shared.values.insert(listedKey(key), value);
    }
    handOver(Platform::settingsFile(), {{listedKey(key), value}});
}

void SettingsFile::writeProductRecord() {
    // Where Qt keeps the product's own native settings: an INI file named
    // after the organisation and the product. Not asked of QSettings, which
    // reads the file as it is made.
    const QString file =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
        QStringLiteral("/%1/%2.conf").arg(QLatin1String(kOrganizationName),
                                          QLatin1String(kProductName));
    handOver(file, {{QStringLiteral("product"), QLatin1String(kProductName)},
                    {QStringLiteral("ver"), QLatin1String(kProductVersion)}});
}

bool SettingsFile::flush(int timeoutMs) {
    const bool idle = OwnFilesWorker::instance().waitUntilIdle(timeoutMs);
    Store &shared = store();
    std::lock_guard<std::mutex> lock(shared.mutex);
    const bool whole = idle && shared.failures == 0;
    shared.failures = 0;
    return whole;
}

void SettingsFile::setWriteFailureHandler(WriteFailureHandler handler)
{
    Store &shared = store();
    std::lock_guard<std::mutex> lock(shared.mutex);
    shared.handler = std::move(handler);
    // Lives as long as the program: a failure may be told at any time.
    if (!shared.reporter)
        shared.reporter = new SettingsFailureReporter;
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

#include "settingsfile.moc"
