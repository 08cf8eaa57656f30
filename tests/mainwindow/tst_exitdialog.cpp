#include <QtTest>

#include <QAbstractButton>
#include <QDir>

#include "mainwindow/exitdialog.h"
#include "mainwindow/maxdriverdialog.h"

// The two small skinned questions: leaving with files in the list, and the
// full output drive. How the window answers the first is in tst_windowchrome.
class tst_ExitDialog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void diskFullEndsEitherWay_data();
    void diskFullEndsEitherWay();
    void skinnedAndFrameless();
    void dragsByTitleStripOnly();

private:
    template <typename Dialog>
    static int runAndClick(const QString &button);
};

void tst_ExitDialog::initTestCase()
{
    // The skin's pictures are found relative to the installation folder.
    const QString stage = qEnvironmentVariable("QUILLORA_STAGE_DIR");
    QVERIFY(QDir(stage).exists(QStringLiteral("skins/default/tixe.png")));
    QDir::setCurrent(stage);
}

template <typename Dialog>
int tst_ExitDialog::runAndClick(const QString &button)
{
    Dialog dialog;
    QTimer::singleShot(0, &dialog, [&dialog, button] {
        auto *target = dialog.template findChild<QAbstractButton *>(button);
        if (!target) {
            dialog.done(-1);
            return;
        }
        QTest::mouseClick(target, Qt::LeftButton);
    });
    // A click that ends nothing would leave the test hanging; end it here.
    QTimer::singleShot(5000, &dialog, [&dialog] { dialog.done(-2); });
    return dialog.exec();
}

void tst_ExitDialog::diskFullEndsEitherWay_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("OK") << "pushButton";
    QTest::newRow("title close") << "closeButton";
}

void tst_ExitDialog::diskFullEndsEitherWay()
{
    QFETCH(QString, button);
    QCOMPARE(runAndClick<maxDriverDialog>(button), 0);
}

void tst_ExitDialog::skinnedAndFrameless()
{
    // The skin's picture gives both their size.
    exitDialog question;
    QCOMPARE(question.windowFlags() & Qt::FramelessWindowHint, Qt::FramelessWindowHint);
    QCOMPARE(question.size(), QSize(280, 150));
    maxDriverDialog notice;
    QCOMPARE(notice.windowFlags() & Qt::FramelessWindowHint, Qt::FramelessWindowHint);
    QCOMPARE(notice.size(), QSize(280, 150));
}

void tst_ExitDialog::dragsByTitleStripOnly()
{
    exitDialog question;
    question.move(200, 200);
    question.show();
    QVERIFY(QTest::qWaitForWindowExposed(&question));

    const QPoint start = question.pos();
    QTest::mousePress(&question, Qt::LeftButton, {}, QPoint(150, 26));
    QTest::mouseMove(&question, QPoint(170, 40));
    QTest::mouseRelease(&question, Qt::LeftButton, {}, QPoint(170, 40));
    QCOMPARE(question.pos(), start);

    QTest::mousePress(&question, Qt::LeftButton, {}, QPoint(150, 25));
    QTest::mouseMove(&question, QPoint(170, 40));
    QTest::mouseRelease(&question, Qt::LeftButton, {}, QPoint(170, 40));
    QTRY_COMPARE(question.pos(), start + QPoint(20, 15));
}

QTEST_MAIN(tst_ExitDialog)
#include "tst_exitdialog.moc"
