#include "platform.h"

#include <cstdlib>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
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
#include <QSysInfo>
#include <QUrl>

#include "platform/filecalls.h"
#include "platform/processowner.h"

namespace {

QString &installDirOverride()
{
    static QString path;
    return path;
}

constexpr qint64 kNoFreeBytesOverride = -1;

// Between fork and exec nothing but system calls: no allocation, no locale.
int writeDecimal(char *out, long long value)
{
    char digits[24];
    int count = 0;
    const bool negative = value < 0;
    unsigned long long rest = negative ? 0ULL - static_cast<unsigned long long>(value)
                                       : static_cast<unsigned long long>(value);
    do {
        digits[count++] = char('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    int at = 0;
    if (negative)
        out[at++] = '-';
    while (count > 0)
        out[at++] = digits[--count];
    return at;
}

void writeFileStamp(const char *path)
{
    struct stat info;
    long long size = -1;
    long long modifiedMs = -1;
    if (::stat(path, &info) == 0 && S_ISREG(info.st_mode)) {
        size = info.st_size;
        modifiedMs = static_cast<long long>(info.st_mtim.tv_sec) * 1000
                     + info.st_mtim.tv_nsec / 1000000;
    }
    char line[64];
    int at = writeDecimal(line, size);
    line[at++] = ' ';
    at += writeDecimal(line + at, modifiedMs);
    line[at++] = '\n';
    const ssize_t written = ::write(STDOUT_FILENO, line, size_t(at));
    (void)written;
}

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
    // Every running copy has a folder of its own, named after its computer
    // and process, so that the close of one copy never empties another's,
    // even on a computer cloned with its host name.
    const QString copy = QStringLiteral("%1-%2-%3")
                             .arg(QSysInfo::machineHostName())
                             .arg(QCoreApplication::applicationPid())
                             .arg(ProcessOwner::computerTag());
    return writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/tmp/") + copy;
}

QString Platform::handoffDir()
{
    return writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/handoff");
}

// The desktop's list of these folders lies in the home folder, which may stop
// answering later on: read once.
QString Platform::documentsDir()
{
    static const QString folder = writableLocation(QStandardPaths::DocumentsLocation);
    return folder;
}

QString Platform::desktopDir()
{
    static const QString folder = writableLocation(QStandardPaths::DesktopLocation);
    return folder;
}

QString Platform::localScratchDir()
{
    // Shared memory's folder is this computer's own memory; the temporary
    // folder may have been moved into the home folder.
    static const QString folder = [] {
        const QFileInfo memory(QStringLiteral("/dev/shm"));
        return memory.isDir() && memory.isWritable() ? memory.absoluteFilePath()
                                                     : QDir::tempPath();
    }();
    return folder;
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
    return FileCalls::freeBytes(path);
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

void Platform::prepareProbe(QProcess &process, const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    // At the window's own priority: below it, any other busy program takes
    // the processor from them (at niceness 10 a tenth of its share), and the
    // add waits for them. The window keeps its turns as its thread does
    // little a file.
    process.setChildProcessModifier([name] { writeFileStamp(name.constData()); });
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
