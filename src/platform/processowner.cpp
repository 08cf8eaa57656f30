#include "processowner.h"

#include <unistd.h>

#include <QByteArrayList>
#include <QCryptographicHash>
#include <QSysInfo>

#include "platform/processcheck.h"

namespace {

constexpr int kTagChars = 8;

QString thisComputer() {
    const QString boot = ProcessCheck::thisBoot();
    const QString space = ProcessCheck::thisPidSpace();
    return boot.isEmpty() || space.isEmpty() ? QString() : boot + QLatin1Char('/') + space;
}

} // namespace

ProcessOwner ProcessOwner::self() {
    ProcessOwner owner;
    owner.m_computer = thisComputer();
    owner.m_host = QSysInfo::machineHostName();
    owner.m_pid = ::getpid();
    owner.m_started = ProcessCheck::startOf(owner.m_pid);
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
    return isOnThisComputer() && ProcessCheck::of(m_pid, m_started) == ProcessCheck::State::Gone;
}
