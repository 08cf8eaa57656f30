#include <QtTest>

#include "mainwindow/updateschedule.h"

// When the automatic update check is due, from what the settings file holds.
class tst_UpdateSchedule : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void due_data();
    void due();
    void cycleIndexOutOfRange();
    void lastCheck_data();
    void lastCheck();
};

void tst_UpdateSchedule::due_data()
{
    QTest::addColumn<int>("cycle");
    QTest::addColumn<QDate>("last");
    QTest::addColumn<QDate>("today");
    QTest::addColumn<bool>("due");

    // clang-format off
    QTest::newRow("day: same day") << 0 << QDate(2024, 4, 9) << QDate(2024, 4, 9) << false;
    QTest::newRow("day: next day") << 0 << QDate(2024, 4, 9) << QDate(2024, 4, 10) << true;
    QTest::newRow("week: 6 days") << 1 << QDate(2024, 4, 1) << QDate(2024, 4, 7) << false;
    QTest::newRow("week: 7 days") << 1 << QDate(2024, 4, 1) << QDate(2024, 4, 8) << true;
    // The month is the month of the day of the check.
    QTest::newRow("month: 31 Jan after 1 Jan") << 2 << QDate(2023, 1, 1) << QDate(2023, 1, 31) << false;
    QTest::newRow("month: 1 Feb after 1 Jan") << 2 << QDate(2023, 1, 1) << QDate(2023, 2, 1) << true;
    QTest::newRow("month: end of February, leap") << 2 << QDate(2024, 2, 1) << QDate(2024, 2, 29) << false;
    QTest::newRow("month: across month end") << 2 << QDate(2024, 1, 20) << QDate(2024, 2, 18) << true;
    QTest::newRow("month: across 30-day month") << 2 << QDate(2024, 3, 31) << QDate(2024, 4, 29) << false;
    QTest::newRow("month: 30 days in April") << 2 << QDate(2024, 3, 31) << QDate(2024, 4, 30) << true;
    // New Year: the days run on instead of going negative.
    QTest::newRow("day: 31 Dec to 1 Jan") << 0 << QDate(2023, 12, 31) << QDate(2024, 1, 1) << true;
    QTest::newRow("week: 6 days over New Year") << 1 << QDate(2023, 12, 28) << QDate(2024, 1, 3) << false;
    QTest::newRow("week: 7 days over New Year") << 1 << QDate(2023, 12, 28) << QDate(2024, 1, 4) << true;
    QTest::newRow("month: 15 Dec to 14 Jan") << 2 << QDate(2023, 12, 15) << QDate(2024, 1, 14) << false;
    QTest::newRow("month: 15 Dec to 15 Jan") << 2 << QDate(2023, 12, 15) << QDate(2024, 1, 15) << true;
    QTest::newRow("week: a year ago, same day") << 1 << QDate(2023, 4, 9) << QDate(2024, 4, 9) << true;
    // The clock was put back after a check.
    QTest::newRow("last check in the future") << 1 << QDate(2030, 1, 1) << QDate(2024, 4, 9) << true;
    // clang-format on
}

void tst_UpdateSchedule::due()
{
    QFETCH(int, cycle);
    QFETCH(QDate, last);
    QFETCH(QDate, today);
    QFETCH(bool, due);
    QCOMPARE(UpdateSchedule::isDue(cycle, last, today), due);
}

void tst_UpdateSchedule::cycleIndexOutOfRange()
{
    const QDate today(2024, 2, 10);
    QCOMPARE(UpdateSchedule::cycleDays(0, today), 1);
    QCOMPARE(UpdateSchedule::cycleDays(1, today), 7);
    QCOMPARE(UpdateSchedule::cycleDays(2, today), 29);
    // A hand-edited index names no cycle: every day, never a stray number.
    for (int index : {3, 7, 1000, -1, -2, INT_MIN, INT_MAX})
        QCOMPARE(UpdateSchedule::cycleDays(index, today), 1);
    QVERIFY(UpdateSchedule::isDue(99, today.addDays(-1), today));
    QVERIFY(!UpdateSchedule::isDue(-7, today, today));
}

void tst_UpdateSchedule::lastCheck_data()
{
    QTest::addColumn<QVariant>("storedDate");
    QTest::addColumn<QVariant>("storedDay");
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QDate>("last");

    const QDate today(2024, 1, 4);
    const QVariant none;
    // clang-format off
    QTest::newRow("nothing stored") << none << none << today << QDate();
    QTest::newRow("date and its day") << QVariant("2023-12-28") << QVariant(362) << today << QDate(2023, 12, 28);
    QTest::newRow("date alone") << QVariant("2023-12-28") << none << today << QDate(2023, 12, 28);
    // An older file: the day of the year only, as text the way INI keeps it.
    QTest::newRow("old day, this year") << none << QVariant("3") << today << QDate(2024, 1, 3);
    QTest::newRow("old day, today") << none << QVariant(4) << today << QDate(2024, 1, 4);
    QTest::newRow("old day, last year") << none << QVariant("362") << today << QDate(2023, 12, 28);
    QTest::newRow("old day 366 after a common year") << none << QVariant(366) << today << QDate(2023, 12, 31);
    QTest::newRow("old day 366 in a leap year") << none << QVariant(366) << QDate(2025, 1, 4) << QDate(2024, 12, 31);
    // An older program wrote the day after us: the day wins.
    QTest::newRow("date and a later day") << QVariant("2023-12-20") << QVariant(2) << today << QDate(2024, 1, 2);
    QTest::newRow("broken date, good day") << QVariant("yesterday") << QVariant(3) << today << QDate(2024, 1, 3);
    QTest::newRow("day out of range") << none << QVariant(0) << today << QDate();
    QTest::newRow("day not a number") << none << QVariant("abc") << today << QDate();
    // clang-format on
}

void tst_UpdateSchedule::lastCheck()
{
    QFETCH(QVariant, storedDate);
    QFETCH(QVariant, storedDay);
    QFETCH(QDate, today);
    QFETCH(QDate, last);
    QCOMPARE(UpdateSchedule::lastCheck(storedDate, storedDay, today), last);
}

QTEST_APPLESS_MAIN(tst_UpdateSchedule)
#include "tst_updateschedule.moc"
