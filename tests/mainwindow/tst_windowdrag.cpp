#include <QtTest>

#include "app/windowdrag.h"

// Where a press and the pointer let our frameless windows move.
class tst_WindowDrag : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void titleStrip_data();
    void titleStrip();
    void mainWindow_data();
    void mainWindow();
    void preferences_data();
    void preferences();
};

void tst_WindowDrag::titleStrip_data()
{
    QTest::addColumn<QPoint>("origin");
    QTest::addColumn<bool>("drags");
    QTest::newRow("top row") << QPoint(5, 0) << true;
    QTest::newRow("last strip row") << QPoint(300, 25) << true;
    QTest::newRow("first row below") << QPoint(300, 26) << false;
    QTest::newRow("far right in the strip") << QPoint(5000, 3) << true;
}

void tst_WindowDrag::titleStrip()
{
    QFETCH(QPoint, origin);
    QFETCH(bool, drags);
    QCOMPARE(WindowDrag::titleStripDrags(origin), drags);
}

void tst_WindowDrag::mainWindow_data()
{
    QTest::addColumn<QPoint>("origin");
    QTest::addColumn<QPoint>("pointer");
    QTest::addColumn<bool>("drags");
    QTest::newRow("y 25") << QPoint(400, 25) << QPoint(420, 300) << true;
    QTest::newRow("y 26") << QPoint(400, 26) << QPoint(420, 300) << false;
    QTest::newRow("x 777") << QPoint(700, 10) << QPoint(777, 10) << true;
    QTest::newRow("x 778") << QPoint(700, 10) << QPoint(778, 10) << false;
    QTest::newRow("dx 99 right") << QPoint(300, 10) << QPoint(399, 10) << true;
    QTest::newRow("dx 100 right") << QPoint(300, 10) << QPoint(400, 10) << false;
    QTest::newRow("dx 99 left") << QPoint(300, 10) << QPoint(201, 10) << true;
    QTest::newRow("dx 100 left") << QPoint(300, 10) << QPoint(200, 10) << false;
    // The pointer may leave the strip and the window vertically.
    QTest::newRow("pointer far below") << QPoint(300, 10) << QPoint(300, -900) << true;
    // Before any press the origin is 0, 0.
    QTest::newRow("no press yet") << QPoint(0, 0) << QPoint(50, 50) << true;
}

void tst_WindowDrag::mainWindow()
{
    QFETCH(QPoint, origin);
    QFETCH(QPoint, pointer);
    QFETCH(bool, drags);
    QCOMPARE(WindowDrag::mainWindowDrags(origin, pointer), drags);
}

void tst_WindowDrag::preferences_data()
{
    QTest::addColumn<QPoint>("origin");
    QTest::addColumn<QPoint>("pointer");
    QTest::addColumn<bool>("drags");
    QTest::newRow("strip press, pointer left") << QPoint(100, 25) << QPoint(0, 300) << true;
    QTest::newRow("low press, x 530") << QPoint(100, 30) << QPoint(530, 30) << true;
    QTest::newRow("low press, x 519") << QPoint(100, 30) << QPoint(519, 30) << true;
    QTest::newRow("low press, x 518") << QPoint(100, 30) << QPoint(518, 30) << false;
    QTest::newRow("y 26 press, x 518") << QPoint(100, 26) << QPoint(518, 30) << false;
}

void tst_WindowDrag::preferences()
{
    QFETCH(QPoint, origin);
    QFETCH(QPoint, pointer);
    QFETCH(bool, drags);
    QCOMPARE(WindowDrag::preferencesDrags(origin, pointer), drags);
}

QTEST_APPLESS_MAIN(tst_WindowDrag)
#include "tst_windowdrag.moc"
