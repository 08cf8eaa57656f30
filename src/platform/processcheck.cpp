#include "processcheck.h"

#include <cerrno>
#include <csignal>
#include <limits>

#include <sys/types.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QList>

namespace ProcessCheck {

namespace {

// The boot's id is a random UUID: this many of its hex digits tell boots
// apart well enough, and keep file names short.
constexpr int kBootDigits = 12;
// In /proc/PID/stat, counted from the state (the field after the command's
// name, which may hold blanks and parentheses): the start time, field 22.
constexpr int kStateField = 3;
constexpr int kStartField = 22 - kStateField;
constexpr int kLinkBytes = 64;

struct Stat {
    bool read = false;
    qint64 pid = 0;
    char state = '?';
    qint64 started = 0;
};

Stat statAt(const char *path) {
    Stat stat;
    QFile file(QString::fromLatin1(path));
    if (!file.open(QIODevice::ReadOnly))
        return stat;
    const QByteArray text = file.readAll();
    const qsizetype nameEnd = text.lastIndexOf(')');
    if (nameEnd < 0)
        return stat;
    const QList<QByteArray> fields = text.mid(nameEnd + 2).split(' ');
    if (fields.size() <= kStartField || fields.first().isEmpty())
        return stat;
    bool ok = false;
    stat.started = fields.at(kStartField).toLongLong(&ok);
    stat.pid = text.left(text.indexOf(' ')).toLongLong();
    stat.state = fields.first().at(0);
    stat.read = ok;
    return stat;
}

Stat statOf(qint64 pid) {
    return statAt(QByteArray("/proc/" + QByteArray::number(pid) + "/stat").constData());
}

// A process moved into a PID namespace of its own without a /proc of its
// own sees other processes there under the ids of its own processes.
bool procIsOurs() {
    static const bool ours = [] {
        const Stat self = statAt("/proc/self/stat");
        return self.read && self.pid == ::getpid();
    }();
    return ours;
}

bool isHex(const QString &text) {
    for (const QChar c : text) {
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
              (c >= QLatin1Char('a') && c <= QLatin1Char('f'))))
            return false;
    }
    return !text.isEmpty();
}

} // namespace

QString thisBoot() {
    static const QString boot = [] {
        QFile file(QStringLiteral("/proc/sys/kernel/random/boot_id"));
        if (!file.open(QIODevice::ReadOnly))
            return QString();
        const QString id = QString::fromLatin1(file.readAll())
                               .trimmed()
                               .remove(QLatin1Char('-'))
                               .toLower()
                               .left(kBootDigits);
        return id.size() == kBootDigits && isHex(id) ? id : QString();
    }();
    return boot;
}

QString thisPidSpace() {
    static const QString space = [] {
        // "pid:[4026531836]"
        char link[kLinkBytes];
        const ssize_t size = ::readlink("/proc/self/ns/pid", link, sizeof link);
        if (size <= 0 || size >= ssize_t(sizeof link))
            return QString();
        const QByteArray text(link, qsizetype(size));
        const qsizetype open = text.indexOf('[');
        const qsizetype close = text.indexOf(']');
        bool ok = false;
        const qulonglong inode = text.mid(open + 1, close - open - 1).toULongLong(&ok);
        return open >= 0 && close > open && ok ? QString::number(inode, 16) : QString();
    }();
    return space;
}

qint64 startOf(qint64 pid) {
    if (pid == ::getpid())
        return statAt("/proc/self/stat").started;
    if (pid <= 0 || !procIsOurs())
        return 0;
    return statOf(pid).started;
}

State of(qint64 pid, qint64 started) {
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return State::Runs;
    const auto gone = [pid] { return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH; };
    // Another user's process answers EPERM: it is there all the same.
    if (gone())
        return State::Gone;
    if (!procIsOurs())
        return State::Runs;
    const Stat stat = statOf(pid);
    if (!stat.read) // hidden from us, or gone meanwhile
        return gone() ? State::Gone : State::Runs;
    if (stat.state == 'Z' || stat.state == 'X')
        return State::Gone;
    return started != 0 && stat.started != started ? State::Gone : State::Runs;
}

} // namespace ProcessCheck
