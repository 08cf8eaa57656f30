#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTextBrowser>
#include <QToolButton>
#include <QtTest>

#include "mainwindow/errfiledialog.h"
#include "mainwindow/openprogress.h"
#include "windowtestsupport.h"

// The add-progress dialog (with its shutdown countdown) and the add-result dialog.
class tst_AddDialogs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void progressShowsTheFile();
    void countdownRunsOutAsAccepted();
    void countdownButtonsEndIt_data();
    void countdownButtonsEndIt();
    void resultListsTheFailedFiles();
    void resultDragsByItsTitleStrip();

private:
    static QLabel *label(QWidget *dialog, const char *name)
    {
        return dialog->findChild<QLabel *>(QLatin1String(name));
    }
};

void tst_AddDialogs::initTestCase()
{
    WindowTestSupport::actAsTheProgram();
    WindowTestSupport::useInstallation(WindowTestSupport::stageDir());
}

void tst_AddDialogs::progressShowsTheFile()
{
    openProgress dialog;
    QVERIFY(!dialog.findChild<QPushButton *>(QStringLiteral("pushButtonShutDown"))->isVisibleTo(&dialog));
    dialog.setRange(0, 3);
    dialog.setValue(2);
    QCOMPARE(dialog.value(), 2);
    QCOMPARE(dialog.findChild<QProgressBar *>()->maximum(), 3);
    dialog.setFileName(QStringLiteral("clip.mp4"));
    QCOMPARE(label(&dialog, "labelFileNum")->text(), QStringLiteral("Add file: clip.mp4"));
    dialog.setFileName(QString());
    QCOMPARE(label(&dialog, "labelFileNum")->text(), QStringLiteral("Add file: "));
}

void tst_AddDialogs::countdownRunsOutAsAccepted()
{
    openProgress dialog;
    dialog.startShutdownCountdown();
    QLabel *text = label(&dialog, "labelFileNum");
    QCOMPARE(text->text(), QStringLiteral("Your Systems will shut down in 30 seconds."));
    QCOMPARE(text->pos(), QPoint(30, 60));
    QCOMPARE(label(&dialog, "labeltext")->text(), QStringLiteral("ShutDown"));
    QVERIFY(!dialog.findChild<QProgressBar *>()->isVisibleTo(&dialog));

    // The ticks, without waiting half a minute: 30 at once, then down to 0,
    // then the dialog accepts itself.
    QStringList shown;
    for (int tick = 0; tick < 31; ++tick) {
        QVERIFY(QMetaObject::invokeMethod(&dialog, "sdTimerSD"));
        shown << text->text();
    }
    QCOMPARE(shown.first(), QStringLiteral("Your Systems will shut down in 30 seconds."));
    QCOMPARE(shown.last(), QStringLiteral("Your Systems will shut down in 0 seconds."));
    QCOMPARE(dialog.result(), 0);
    QVERIFY(QMetaObject::invokeMethod(&dialog, "sdTimerSD"));
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(text->text(), QString());
    QCOMPARE(text->pos(), QPoint(10, 90));
    QCOMPARE(label(&dialog, "labeltext")->text(), QStringLiteral("Open"));

    // Under exec() the first tick comes at once and the next a second later.
    openProgress running;
    running.startShutdownCountdown();
    QTimer::singleShot(1500, &running, [&running] {
        QCOMPARE(label(&running, "labelFileNum")->text(),
                 QStringLiteral("Your Systems will shut down in 29 seconds."));
        running.reject();
    });
    QCOMPARE(running.exec(), int(QDialog::Rejected));
}

void tst_AddDialogs::countdownButtonsEndIt_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("result");
    QTest::newRow("shut down") << "pushButtonShutDown" << int(QDialog::Accepted);
    QTest::newRow("cancel") << "pushButtonCancel" << int(QDialog::Rejected);
    QTest::newRow("close button") << "closeButton" << int(QDialog::Rejected);
    QTest::newRow("escape") << "" << int(QDialog::Rejected);
}

void tst_AddDialogs::countdownButtonsEndIt()
{
    QFETCH(QString, how);
    QFETCH(int, result);
    openProgress dialog;
    dialog.startShutdownCountdown();
    QTimer::singleShot(50, &dialog, [&dialog, how] {
        if (how.isEmpty())
            QTest::keyClick(&dialog, Qt::Key_Escape);
        else
            dialog.findChild<QAbstractButton *>(how)->click();
    });
    QCOMPARE(dialog.exec(), result);
    if (how.startsWith(QLatin1String("pushButton"))) {
        QCOMPARE(label(&dialog, "labeltext")->text(), QStringLiteral("Open"));
        QCOMPARE(label(&dialog, "labelFileNum")->text(), QString());
        QVERIFY(!dialog.findChild<QPushButton *>(how)->isVisibleTo(&dialog));
    }
}

void tst_AddDialogs::resultListsTheFailedFiles()
{
    errFiledialog dialog;
    QVERIFY(!dialog.findChild<QDialogButtonBox *>()->isVisibleTo(&dialog));
    dialog.setAddedCount(5);
    dialog.setFailedFiles({"/a/one.txt", "/a/<b>two</b>.mp4", "/a/three & four.avi"});
    QCOMPARE(label(&dialog, "successLabel")->text(),
             QStringLiteral("Total 5 file(s) be added in filelist."));
    QCOMPARE(label(&dialog, "errorLabel")->text(),
             QStringLiteral("The following 3 file(s) can't be added in filelist."));
    auto *browser = dialog.findChild<QTextBrowser *>();
    QCOMPARE(browser->toPlainText(),
             QStringLiteral("/a/one.txt\n/a/<b>two</b>.mp4\n/a/three & four.avi"));

    // A second list adds to the first; the count is the second's.
    dialog.setFailedFiles({"/b/five.exe"});
    QCOMPARE(browser->toPlainText().split(QLatin1Char('\n')).size(), 4);
    QCOMPARE(label(&dialog, "errorLabel")->text(),
             QStringLiteral("The following 1 file(s) can't be added in filelist."));

    dialog.clearErrorList();
    QVERIFY(browser->toPlainText().isEmpty());
    QCOMPARE(label(&dialog, "successLabel")->text(),
             QStringLiteral("Total 5 file(s) be added in filelist."));

    for (const char *button : {"pushButtonOK", "pushButtonCancel", "closeButton"}) {
        QTimer::singleShot(20, &dialog, [&dialog, button] {
            dialog.findChild<QAbstractButton *>(QLatin1String(button))->click();
        });
        dialog.exec();
        QVERIFY(!dialog.isVisible());
    }
}

void tst_AddDialogs::resultDragsByItsTitleStrip()
{
    errFiledialog dialog;
    dialog.move(100, 100);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QPoint start = dialog.pos();

    QTest::mousePress(&dialog, Qt::LeftButton, {}, QPoint(200, 26));
    QTest::mouseMove(&dialog, QPoint(240, 60));
    QCOMPARE(dialog.pos(), start);
    QTest::mouseRelease(&dialog, Qt::LeftButton, {}, QPoint(240, 60));

    QTest::mousePress(&dialog, Qt::LeftButton, {}, QPoint(200, 25));
    QMouseEvent move(QEvent::MouseMove, QPointF(240, 65), dialog.mapToGlobal(QPointF(240, 65)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&dialog, &move);
    QCOMPARE(dialog.pos(), start + QPoint(40, 40));
}

QTEST_MAIN(tst_AddDialogs)
#include "tst_adddialogs.moc"
