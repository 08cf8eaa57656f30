#include "platform.h"

#include <cstdlib>

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QSysInfo>
#include <QUrl>

namespace {

QString &installDirOverride()
{
    static QString path;
    return path;
}

constexpr qint64 kNoFreeBytesOverride = -1;

qint64 &freeBytesOverride()
{
    static qint64 bytes = kNoFreeBytesOverride;
    return bytes;
}

Platform::PowerOffFunction &powerOffOverride()
{
    static Platform::PowerOffFunction request;
    return request;
}

const QString kLogindService = QStringLiteral("org.freedesktop.login1");
const QString kLogindPath = QStringLiteral("/org/freedesktop/login1");
const QString kLogindManager = QStringLiteral("org.freedesktop.login1.Manager");
constexpr int kPowerOffCallTimeoutMs = 30000;

QString writableLocation(QStandardPaths::StandardLocation location)
{
    return QStandardPaths::writableLocation(location);
}

} // namespace

QString Platform::installDir()
{
    const QString &path = installDirOverride();
    return path.isEmpty() ? QCoreApplication::applicationDirPath() : path;
}

void Platform::setInstallDir(const QString &path)
{
    installDirOverride() = path;
}

QString Platform::configDir()
{
    return writableLocation(QStandardPaths::AppConfigLocation);
}

QString Platform::settingsFile()
{
    return configDir() + QStringLiteral("/nowfolder.ini");
}

QString Platform::tempDir()
{
    // Every running copy has a folder of its own, named after its machine and
    // process, so that the close of one copy never empties another's.
    const QString copy = QStringLiteral("%1-%2").arg(QSysInfo::machineHostName()).arg(
        QCoreApplication::applicationPid());
    return writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/tmp/") + copy;
}

QString Platform::handoffDir()
{
    return writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/handoff");
}

QString Platform::documentsDir()
{
    return writableLocation(QStandardPaths::DocumentsLocation);
}

QString Platform::desktopDir()
{
    return writableLocation(QStandardPaths::DesktopLocation);
}

QString Platform::runtimeDir()
{
    // Not under the temporary folder: a terminal that sets its own TMPDIR
    // would move it, and a second copy of the same user would not find the
    // first. The session's runtime folder is the user's alone; without one,
    // the cache folder is.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const QFileInfo info(runtime);
    const bool usable = !runtime.isEmpty() && info.isAbsolute() && info.isDir()
                        && !info.isSymLink() && info.ownerId() == ::getuid();
    const QString path = usable ? runtime + QStringLiteral("/quillora")
                                : writableLocation(QStandardPaths::CacheLocation);
    QDir().mkpath(path);
    return path;
}

uint Platform::userId()
{
    return ::getuid();
}

QString Platform::toolPath(const QString &name)
{
    return installDir() + QLatin1Char('/') + name;
}

bool Platform::openFolder(const QString &path)
{
    if (path.isEmpty())
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QDir::fromNativeSeparators(path)));
}

bool Platform::openUrl(const QString &address)
{
    return QDesktopServices::openUrl(QUrl(address));
}

qint64 Platform::freeBytes(const QString &path)
{
    if (freeBytesOverride() != kNoFreeBytesOverride)
        return freeBytesOverride();
    QFileInfo info(path);
    // The output folder may not exist yet; ask about the nearest folder that does.
    while (!info.exists()) {
        const QString parent = info.absolutePath();
        if (parent == info.absoluteFilePath())
            return -1;
        info.setFile(parent);
    }
    QStorageInfo storage(info.absoluteFilePath());
    if (!storage.isValid() || !storage.isReady())
        return -1;
    return storage.bytesAvailable();
}

void Platform::setFreeBytesOverride(qint64 bytes)
{
    freeBytesOverride() = bytes < 0 ? kNoFreeBytesOverride : bytes;
}

bool Platform::powerOff(QString *error)
{
    if (powerOffOverride())
        return powerOffOverride()(error);

    const auto fail = [error](const QString &reason) {
        if (error)
            *error = reason;
        return false;
    };
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return fail(QStringLiteral("The system bus cannot be reached: %1")
                        .arg(bus.lastError().message()));
    QDBusInterface manager(kLogindService, kLogindPath, kLogindManager, bus);
    if (!manager.isValid())
        return fail(QStringLiteral("The login manager cannot be reached: %1")
                        .arg(manager.lastError().message()));
    manager.setTimeout(kPowerOffCallTimeoutMs);
    // Interactive: the desktop may ask the user for the right to do it.
    const QDBusReply<void> reply = manager.call(QStringLiteral("PowerOff"), true);
    if (!reply.isValid())
        return fail(reply.error().message());
    return true;
}

void Platform::setPowerOffOverride(PowerOffFunction request)
{
    powerOffOverride() = std::move(request);
}

void Platform::useOwnProcessGroup(QProcess &process)
{
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
}

void Platform::endWithThisProcess(QProcess &process) {
    // Sent when the thread that starts the process ends: tools are started
    // from the main thread, which lasts as long as the program.
    const pid_t parent = ::getpid();
    process.setChildProcessModifier([parent] {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        // Gone before the request was made: nobody would send it now.
        if (::getppid() != parent)
            ::_exit(EXIT_FAILURE);
    });
}

bool Platform::signalProcessGroup(qint64 pid, GroupSignal signal)
{
    if (pid <= 1)
        return false;
    int number = SIGKILL;
    switch (signal) {
    case GroupSignal::Continue:
        number = SIGCONT;
        break;
    case GroupSignal::Terminate:
        number = SIGTERM;
        break;
    case GroupSignal::Kill:
        number = SIGKILL;
        break;
    }
    return ::kill(-static_cast<pid_t>(pid), number) == 0;
}
