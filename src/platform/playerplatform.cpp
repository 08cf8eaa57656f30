#include "playerplatform.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QByteArray>
#include <QFileInfo>

#include "platform/filecalls.h"

namespace {

// Where a PipeWire client connects to, by PipeWire's own rules: a remote
// named by an absolute path, else the remote's name in the runtime folder.
QByteArray pipeWireSocket() {
    QByteArray remote = qgetenv("PIPEWIRE_REMOTE");
    if (remote.startsWith('/'))
        return remote;
    if (remote.isEmpty())
        remote = QByteArrayLiteral("pipewire-0");
    for (const char *variable : {"PIPEWIRE_RUNTIME_DIR", "XDG_RUNTIME_DIR", "USERPROFILE"}) {
        const QByteArray folder = qgetenv(variable);
        if (!folder.isEmpty())
            return folder + '/' + remote;
    }
    return QByteArray();
}

bool nobodyListensOn(const QByteArray &path) {
    sockaddr_un address{};
    if (path.isEmpty() || size_t(path.size()) >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const int connected =
        ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address);
    const int error = errno;
    ::close(fd);
    return connected != 0 && (error == ECONNREFUSED || error == ENOENT);
}

} // namespace

QString PlayerPlatform::regularFileProblem(const QString &path) {
    const FileCalls::Look file = FileCalls::look(QFileInfo(path).absoluteFilePath());
    if (!file.answered)
        return QStringLiteral("no answer");
    if (!file.exists)
        return QString::fromStdString(std::generic_category().message(file.error));
    if (!file.isFile)
        return QStringLiteral("not a regular file");
    return QString();
}

bool PlayerPlatform::soundServerGone(const QString &driver) {
    // PulseAudio's and ALSA's drivers tell a lost device themselves.
    if (driver == QLatin1String("pipewire"))
        return nobodyListensOn(pipeWireSocket());
    return false;
}
