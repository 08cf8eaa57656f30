#include "timetext.h"

namespace {

QString twoDigits(qint64 value)
{
    return QString::number(value).rightJustified(2, QLatin1Char('0'));
}

} // namespace

QString formatDuration(qint64 seconds)
{
    if (seconds < 0)
        return QStringLiteral("00:00:00");
    const qint64 hours = seconds / 3600;
    const qint64 minutes = (seconds - hours * 3600) / 60;
    const qint64 rest = seconds - hours * 3600 - minutes * 60;
    return twoDigits(hours) + QLatin1Char(':') + twoDigits(minutes) + QLatin1Char(':')
           + twoDigits(rest);
}
