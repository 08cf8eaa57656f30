#pragma once

#include <QDate>
#include <QStringList>
#include <QVariant>

// When the automatic update check is due, and how the update tool is asked.
//
// The last check is kept as a date, so that a cycle runs on across New Year.
// Files written before that hold only the day of the year of the last check;
// that day is read as the latest such day not after today.
class UpdateSchedule
{
public:
    enum Cycle {
        EveryDay = 0,
        EveryWeek = 1,
        EveryMonth = 2,
    };

    // Days of a cycle on `today`: 1, 7, or the days of today's month. An
    // index that no cycle has (a hand-edited file) counts as every day, the
    // check's own default.
    static int cycleDays(int cycleIndex, QDate today);

    // True when the cycle has run out since `lastCheck`. A last check in the
    // future means the clock was put back; the check is then due, or it would
    // wait for the clock to catch up.
    static bool isDue(int cycleIndex, QDate lastCheck, QDate today);

    // The date of the last check from the stored values: `storedDate` (ISO
    // text, the current form) and `storedDay` (day of the year, the older
    // form, still written beside it). A date that disagrees with the day was
    // overwritten by an older program since and loses. Invalid when neither
    // holds a usable value.
    static QDate lastCheck(const QVariant &storedDate, const QVariant &storedDay, QDate today);

    // The date form that is stored.
    static QString dateText(QDate date);

    // The update tool's command line, without the program: the check and
    // installer addresses on the maker's server, the hand-off folder and our
    // version.
    static QStringList toolArguments(const QString &handoffFolder);
};
