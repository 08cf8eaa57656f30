#include "processowner.h"

#include <cerrno>

#include <signal.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QFile>
#include <QList>
#include <QSysInfo>

namespace {

constexpr int kTagChars = 8;
// The start time's place among the fields after the process name in
// /proc/PID/stat (field 22, the name being field 2 and the state field 3).
constexpr int kStartField = 19;

QByteArray firstLine(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readLine().trimmed();
}

QString thisComputer() {
    // The namespace link names it as "pid:[4026531836]".
    static const QString computer =
        QString::fromLatin1(firstLine(QStringLiteral("/proc/sys/kernel/random/boot_id"))) +
        QLatin1Char('/') +
        QFile::symLinkTarget(QStringLiteral("/proc/self/ns/pid")).section(QLatin1Char('/'), -1);
    return computer;
}

// When the process of that id started, in clock ticks after the boot; -1
// when it cannot be read (none runs, or /proc hides it).
qint64 startOf(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // The name may hold blanks and ')'.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    bool number = false;
    const qint64 started = fields.value(kStartField).toLongLong(&number);
    return number ? started : -1;
}

} // namespace

ProcessOwner ProcessOwner::self() {
    ProcessOwner owner;
    owner.m_computer = thisComputer();
    owner.m_host = QSysInfo::machineHostName();
    owner.m_pid = ::getpid();
    owner.m_started = startOf(owner.m_pid);
    return owner;
}

QString ProcessOwner::computerTag() {
    static const QString tag = QString::fromLatin1(
        QCryptographicHash::hash(thisComputer().toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(kTagChars));
    return tag;
}

QByteArray ProcessOwner::toText() const {
    return "computer=" + m_computer.toUtf8() + "\nhost=" + m_host.toUtf8() +
           "\npid=" + QByteArray::number(m_pid) + "\nstarted=" + QByteArray::number(m_started) +
           '\n';
}

ProcessOwner ProcessOwner::fromText(const QByteArray &text) {
    ProcessOwner owner;
    for (const QByteArray &line : text.split('\n')) {
        const qsizetype equals = line.indexOf('=');
        const QByteArray key = line.left(equals);
        const QByteArray value = line.mid(equals + 1).trimmed();
        if (equals < 0)
            continue;
        if (key == "computer")
            owner.m_computer = QString::fromUtf8(value);
        else if (key == "host")
            owner.m_host = QString::fromUtf8(value);
        else if (key == "pid")
            owner.m_pid = value.toLongLong();
        else if (key == "started")
            owner.m_started = value.toLongLong();
    }
    return owner;
}

bool ProcessOwner::isValid() const {
    return !m_computer.isEmpty() && m_pid > 0;
}

bool ProcessOwner::isOnThisComputer() const {
    return isValid() && m_computer == thisComputer();
}

bool ProcessOwner::isKnownGone() const {
    if (!isOnThisComputer())
        return false;
    // Asked in this namespace, whatever /proc shows of it.
    if (::kill(pid_t(m_pid), 0) != 0 && errno == ESRCH)
        return true;
    const qint64 started = startOf(m_pid);
    return started >= 0 && m_started >= 0 && started != m_started;
}
