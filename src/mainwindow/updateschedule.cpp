#include "updateschedule.h"

#include <QUrl>

#include "app/version.h"
#include "filelist/folderpath.h"

namespace {

constexpr int kDaysInWeek = 7;

// Paths on the maker's server. The update tool saves the installer under a
// name of its own, which the next start of the program removes.
const char kUpdateCheckPath[] = "/update/quillora.php";
const char kInstallerPath[] = "/download/Quillora.exe";

QString onMakersServer(const char *path)
{
    return QUrl(QLatin1String(kHomePageUrl)).resolved(QUrl(QLatin1String(path))).toString();
}

QDate dayOfYearOnOrBefore(int day, QDate today)
{
    for (int year = today.year(); year >= today.year() - 1; --year) {
        const QDate candidate = QDate(year, 1, 1).addDays(day - 1);
        if (candidate.year() == year && candidate <= today)
            return candidate;
    }
    // Day 366 of a year after a common year: the last day of that year.
    return QDate(today.year() - 1, 12, 31);
}

} // namespace

int UpdateSchedule::cycleDays(int cycleIndex, QDate today)
{
    switch (cycleIndex) {
    case EveryWeek:
        return kDaysInWeek;
    case EveryMonth:
        return today.daysInMonth();
    case EveryDay:
    default:
        return 1;
    }
}

bool UpdateSchedule::isDue(int cycleIndex, QDate lastCheck, QDate today)
{
    const qint64 elapsed = lastCheck.daysTo(today);
    return elapsed < 0 || elapsed >= cycleDays(cycleIndex, today);
}

QDate UpdateSchedule::lastCheck(const QVariant &storedDate, const QVariant &storedDay, QDate today)
{
    bool dayIsNumber = false;
    const int day = storedDay.toString().trimmed().toInt(&dayIsNumber);
    const bool dayUsable = dayIsNumber && day >= 1 && day <= 366;

    const QDate date = QDate::fromString(storedDate.toString().trimmed(), Qt::ISODate);
    if (date.isValid() && (!dayUsable || date.dayOfYear() == day))
        return date;
    if (dayUsable)
        return dayOfYearOnOrBefore(day, today);
    return QDate();
}

QString UpdateSchedule::dateText(QDate date)
{
    return date.toString(Qt::ISODate);
}

QStringList UpdateSchedule::toolArguments(const QString &handoffFolder)
{
    return {
        QStringLiteral("-p1"),
        onMakersServer(kUpdateCheckPath),
        QStringLiteral("-p2"),
        onMakersServer(kInstallerPath),
        QStringLiteral("-p3"),
        FolderPath::withTrailingSeparator(handoffFolder),
        QStringLiteral("-v"),
        QLatin1String(kProductVersion),
    };
}
