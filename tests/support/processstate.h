#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// The state letter of /proc/<pid>/stat: R, S, T (stopped), Z ...; 0 once the
// process has gone. The name before the letter may hold blanks and ')'.
inline char processState(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close >= 0 && close + 2 < text.size() ? text.at(close + 2) : 0;
}
