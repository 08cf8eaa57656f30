#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCursor>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTextEdit>
#include <QToolButton>
#include <QtTest>

#include <ctime>

#include "conversion/editorsession.h"
#include "filelist/statuscell.h"
#include "windowtestutil.h"

using WindowTest::media;

namespace {

// The main thread's own work, whatever else the machine is busy with.
double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

} // namespace

// What the user does with the rows once they are listed: removing, clearing,
// checking, the context menu, the interface poll, the Convert button and the
// editor tool, on the real main window with real clips.
class tst_ListOperations : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void removeActionTakesCurrentRow();
    void removalShowsTheRowNowCurrent_data();
    void removalShowsTheRowNowCurrent();
    void removeButtonsAndClean();
    void cleanAfterALongRunTakesLittle();
    void longListCostsTheTickAndPollNothing();
    void deleteKeyRemovesOneRow();
    void checkAllBoxAndSelectAll();
    void pollFollowsTheRows();
    void contextMenuOffersWhatFits();
    void contextMenuRunsTheChosenEntry();
    void menuKeyOpensTheMenuAtTheRow();
    void checkedRowQueriesReadTheList();
    void selectionShowsTheRowsOwnChoices();
    void runEndShowsTheCurrentRow();
    void convertMarksCheckedRowsWaiting();
    void convertWithoutCheckedRowsRollsBack();
    void convertRunsRowsOfUnknownLength();
    void rowsStayWhileRunning();
    void editorGetsTheRowsState();
    void editorThatDoesNotStartGivesControlsBack();

private:
    Ui::MainWindow *ui() { return fixture.ui(); }
    QTreeWidget *list() { return fixture.list(); }
    QTreeWidgetItem *row(int index) { return fixture.row(index); }
    QStringList names() { return fixture.names(); }
    QCheckBox *checkAll() { return window->findChild<QCheckBox *>(QStringLiteral("checkAll")); }
    void addThree();
    // Clicks Convert and waits for the folders' answer, which starts the run.
    bool convert();
    QTimer *jobTick() { return window->conversion().findChild<QTimer *>("jobTimer"); }

    WindowTest::MainWindowFixture fixture;
    MainWindow *window = nullptr;
};

void tst_ListOperations::init()
{
    QVERIFY(fixture.open());
    window = fixture.window;
}

void tst_ListOperations::cleanup()
{
    if (window->editorSession().isOpen()) {
        window->editorSession().close();
        QTRY_VERIFY_WITH_TIMEOUT(!window->editorSession().isOpen(), WindowTest::kEventTimeoutMs);
    }
    if (window->conversion().isActive())
        window->on_StopConvertePushButton_clicked();
    fixture.close();
    window = nullptr;
}

bool tst_ListOperations::convert()
{
    QSignalSpy ready(&window->conversion(), &ConversionController::outputFoldersReady);
    QTest::mouseClick(ui()->ConvertePushButton, Qt::LeftButton);
    return !ready.isEmpty() || ready.wait();
}

void tst_ListOperations::addThree()
{
    WindowTest::ModalAnswerer answerer;
    window->addPickedFiles({media("av.mp4"), media("av.avi"),
                            media("audio.mp3")});
    QCOMPARE(list()->topLevelItemCount(), 3);
    QCOMPARE(answerer.answered, 0);
}

void tst_ListOperations::removeActionTakesCurrentRow()
{
    addThree();
    list()->setCurrentItem(row(1));
    ui()->MovieWidget->show();
    window->on_actionRemove_del_triggered();
    QCOMPARE(names(), QStringList({"av.mp4", "audio.mp3"}));
    QVERIFY(!ui()->MovieWidget->isVisible());

    // No current row: nothing goes.
    list()->setCurrentIndex(QModelIndex());
    window->on_actionRemove_del_triggered();
    QCOMPARE(list()->topLevelItemCount(), 2);

    // The handler is connected again afterwards.
    ui()->PathLine->setText(QStringLiteral("/elsewhere"));
    list()->clearSelection();
    list()->setCurrentItem(row(0));
    QCOMPARE(ui()->PathLine->text(), fixture.outFolder());
}

void tst_ListOperations::removalShowsTheRowNowCurrent_data()
{
    QTest::addColumn<QString>("way");
    QTest::newRow("Remove action") << "action";
    QTest::newRow("Delete button") << "button";
    QTest::newRow("Delete key") << "key";
}

// The option boxes never go on showing a removed row: a choice made in them
// next would reach another row with the removed row's indexes.
void tst_ListOperations::removalShowsTheRowNowCurrent()
{
    QFETCH(QString, way);
    addThree();
    QTRY_VERIFY(ui()->DeleteButton->isEnabled());
    // The current row, audio.mp3, goes to General Audio.
    ui()->ProfileDevice->setCurrentIndex(1);
    window->on_ProfileDevice_activated(ui()->ProfileDevice->currentText());
    list()->setFocus();
    const auto remove = [&] {
        if (way == QLatin1String("action"))
            window->on_actionRemove_del_triggered();
        else if (way == QLatin1String("button"))
            QTest::mouseClick(ui()->DeleteButton, Qt::LeftButton);
        else
            QTest::keyClick(list(), Qt::Key_Delete);
    };
    const auto items = [](const QComboBox *box) {
        QStringList texts;
        for (int index = 0; index < box->count(); ++index)
            texts << box->itemText(index);
        return texts;
    };

    remove();
    QCOMPARE(names(), QStringList({"av.mp4", "av.avi"}));
    QTreeWidgetItem *now = list()->currentItem();
    QVERIFY(now);
    const SettingsIndexList indexes = FileRow::settingsIndexes(now);
    QCOMPARE(QString::number(ui()->ProfileDevice->currentIndex()),
             indexes.at(FileRow::DeviceIndex));
    QCOMPARE(items(ui()->ABitrate), FileRow::optionItems(now, FileRow::ABitrateItems));
    QCOMPARE(QString::number(ui()->ABitrate->currentIndex()), indexes.at(FileRow::ABitrateIndex));
    QVERIFY(ui()->Vcodec->isEnabled());
    QCOMPARE(ui()->lab_OutputFormat->text(), QStringLiteral("AVI"));
    // It is shown chosen, and the preview and edit buttons are its own.
    QCOMPARE(list()->selectedItems(), QList<QTreeWidgetItem *>{now});
    QCOMPARE(ui()->labelFileName->text(), QStringLiteral("av.avi"));
    QVERIFY(ui()->editVideo->isEnabled());

    // Nothing left to show: the boxes are locked at once.
    remove();
    remove();
    QCOMPARE(list()->topLevelItemCount(), 0);
    QVERIFY(!ui()->ProfileDevice->isEnabled());
    QVERIFY(!ui()->groupBox_2->isEnabled());
    QVERIFY(!ui()->PlayButton->isEnabled());
    QVERIFY(!ui()->editVideo->isEnabled());
    QCOMPARE(ui()->labelFileName->text(), QString());
    QCOMPARE(ui()->labelTime->text(), QStringLiteral("00:00:00 / 00:00:00"));
}

void tst_ListOperations::removeButtonsAndClean()
{
    addThree();
    // The poll's first tick gives the buttons to the checked rows.
    QTRY_VERIFY(ui()->DeleteButton->isEnabled());
    list()->setCurrentItem(row(0));
    QTest::mouseClick(ui()->DeleteButton, Qt::LeftButton);
    QCOMPARE(names(), QStringList({"av.avi", "audio.mp3"}));

    ui()->labelShowState->setText(QStringLiteral("Total progress"));
    ui()->labelFileName->setText(QStringLiteral("av.avi"));
    QTest::mouseClick(ui()->DeleteAllButton, Qt::LeftButton);
    QCOMPARE(list()->topLevelItemCount(), 0);
    QCOMPARE(ui()->labelShowState->text(), QString());
    QCOMPARE(ui()->labelFileName->text(), QString());

    // The list still answers to selections afterwards, once.
    addThree();
    int runs = 0;
    connect(list(), &QTreeWidget::itemSelectionChanged, this, [&runs] { ++runs; });
    list()->setCurrentItem(row(0));
    QCOMPARE(runs, 1);
    QCOMPARE(ui()->labelFileName->text(), QStringLiteral("av.mp4"));
}

// A long run leaves every row showing how its job ended; the list still goes
// at once, however long it is.
void tst_ListOperations::cleanAfterALongRunTakesLittle() {
    constexpr int kRows = 600;
    // Far above what the clean needs, far below the seconds it took while
    // every row held a picture of its own.
    constexpr double kMostSeconds = 1.0;
    addThree();
    const int widgetsBefore = list()->viewport()->findChildren<QWidget *>().size();
    QList<QTreeWidgetItem *> copies;
    for (int index = list()->topLevelItemCount(); index < kRows; ++index)
        copies << row(index % 3)->clone();
    list()->addTopLevelItems(copies);
    for (int index = 0; index < kRows; ++index)
        StatusCell::showStatus(row(index), FileRow::kStatusFinished, FileRow::kPictureFinished);
    // What a row shows is its data: nothing in the list grows with the rows.
    QCOMPARE(list()->viewport()->findChildren<QWidget *>().size(), widgetsBefore);
    // As adding leaves it.
    list()->setCurrentItem(row(kRows - 1));
    // Laid out and painted, as the window shows them, the buttons given.
    QTRY_VERIFY(ui()->DeleteAllButton->isEnabled());
    QTest::qWait(WindowTest::kPollMs);

    const double started = threadCpuSeconds();
    QTest::mouseClick(ui()->DeleteAllButton, Qt::LeftButton);
    // With what the click left for the window to do.
    QTest::qWait(WindowTest::kPollMs);
    const double spent = threadCpuSeconds() - started;
    QCOMPARE(list()->topLevelItemCount(), 0);
    QVERIFY2(spent < kMostSeconds, qPrintable(QStringLiteral("%1 s").arg(spent)));
}

// The run's tick (ten times a second while a job works) and the interface
// poll (five times a second while idle) cost the same for a long list.
void tst_ListOperations::longListCostsTheTickAndPollNothing() {
    constexpr int kRows = 5000;
    constexpr int kRounds = 1000;
    // A few milliseconds for the rounds now, where reading every row took
    // some hundreds.
    constexpr double kMostSeconds = 0.05;
    addThree();
    QList<QTreeWidgetItem *> copies;
    for (int index = list()->topLevelItemCount(); index < kRows; ++index)
        copies << row(index % 3)->clone();
    list()->addTopLevelItems(copies);
    window->conversion().tick();
    window->checkTimer();

    double started = threadCpuSeconds();
    for (int round = 0; round < kRounds; ++round)
        window->conversion().tick();
    const double ticks = threadCpuSeconds() - started;
    started = threadCpuSeconds();
    for (int round = 0; round < kRounds; ++round)
        window->checkTimer();
    const double polls = threadCpuSeconds() - started;
    QVERIFY2(ticks < kMostSeconds && polls < kMostSeconds,
             qPrintable(QStringLiteral("ticks %1 s, polls %2 s").arg(ticks).arg(polls)));
}

void tst_ListOperations::deleteKeyRemovesOneRow()
{
    addThree();
    list()->setFocus();
    list()->setCurrentItem(row(1));
    ui()->PathLine->setText(QStringLiteral("/elsewhere"));
    QTest::keyClick(list(), Qt::Key_Delete);
    QCOMPARE(names(), QStringList({"av.mp4", "audio.mp3"}));
    QVERIFY(ui()->ConvertePushButton->isEnabled());
    // The handler ran for the row that became current.
    QCOMPARE(ui()->PathLine->text(), fixture.outFolder());

    list()->setCurrentItem(row(0));
    QTest::keyClick(list(), Qt::Key_Delete);
    QCOMPARE(names(), QStringList({"audio.mp3"}));
    QVERIFY(!ui()->ConvertePushButton->isEnabled());

    list()->setCurrentIndex(QModelIndex());
    QTest::keyClick(window, Qt::Key_Delete);
    QCOMPARE(list()->topLevelItemCount(), 1);
}

void tst_ListOperations::checkAllBoxAndSelectAll()
{
    addThree();
    QCheckBox *box = checkAll();
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    QCOMPARE(box->checkState(), Qt::Unchecked);
    for (int index = 0; index < 3; ++index)
        QCOMPARE(row(index)->checkState(FileRow::CheckColumn), Qt::Unchecked);

    window->menuSelectAll();
    for (int index = 0; index < 3; ++index)
        QCOMPARE(row(index)->checkState(FileRow::CheckColumn), Qt::Checked);
    QCOMPARE(box->checkState(), Qt::Unchecked);

    window->changeTreeChecked(true);
    QCOMPARE(box->checkState(), Qt::Checked);
    QVERIFY(!box->isTristate());
}

void tst_ListOperations::pollFollowsTheRows()
{
    // Empty list.
    window->checkTimer();
    QCOMPARE(checkAll()->checkState(), Qt::Checked);
    QVERIFY(ui()->frameBackPic->isVisible());
    QVERIFY(!ui()->DelFile->isEnabled());
    QVERIFY(!ui()->editVideo->isEnabled());
    QVERIFY(fixture.timerActive("uiPollTimer"));

    addThree();
    row(1)->setCheckState(FileRow::CheckColumn, Qt::Unchecked);
    row(2)->setCheckState(FileRow::CheckColumn, Qt::Unchecked);
    window->checkTimer();
    QCOMPARE(checkAll()->checkState(), Qt::PartiallyChecked);
    QVERIFY(ui()->ConvertePushButton->isEnabled());
    QVERIFY(!ui()->frameBackPic->isVisible());
    // The last row is current after adding: Next cannot go further.
    QVERIFY(ui()->PreviousButton->isEnabled());
    QVERIFY(!ui()->NextButton->isEnabled());

    ui()->lab_OutputFormat->setText(QStringLiteral("AVI"));
    row(0)->setCheckState(FileRow::CheckColumn, Qt::Unchecked);
    // The box follows the rows without touching them.
    QTRY_COMPARE(checkAll()->checkState(), Qt::Unchecked);
    QCOMPARE(row(0)->checkState(FileRow::CheckColumn), Qt::Unchecked);
    QVERIFY(!ui()->ConvertePushButton->isEnabled());
    // The buttons on show remove rows as the Delete key does, checked or not.
    for (QWidget *removal :
         {static_cast<QWidget *>(ui()->DelFile), static_cast<QWidget *>(ui()->CleanFile),
          static_cast<QWidget *>(ui()->DeleteButton),
          static_cast<QWidget *>(ui()->DeleteAllButton)})
        QVERIFY2(removal->isEnabled(), qPrintable(removal->objectName()));
    QVERIFY(!ui()->editVideo->isEnabled());
    QCOMPARE(ui()->lab_OutputFormat->text(), QString());

    window->changeTreeChecked(true);
    window->checkTimer();
    QCOMPARE(checkAll()->checkState(), Qt::Checked);
}

void tst_ListOperations::contextMenuOffersWhatFits()
{
    // The menu the list shows for a request at pos, read while it is open.
    const auto enabled = [this](const QPoint &pos) {
        QStringList on;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu)
                return;
            poll.stop();
            for (QAction *action : menu->actions()) {
                if (!action->isSeparator() && action->isEnabled())
                    on << action->text();
            }
            menu->close();
        });
        poll.start(WindowTest::kPollMs);
        window->on_treeWidget_customContextMenuRequested(pos);
        return on;
    };
    // An empty list: nothing to convert yet, so nothing at all.
    QCOMPARE(enabled(QPoint(5, 5)), QStringList());
    ui()->ConvertePushButton->setEnabled(true);
    QCOMPARE(enabled(QPoint(5, 5)), QStringList{"&Add Files..."});
    addThree();
    QCOMPARE(enabled(QPoint(5, 65)),
             QStringList({"&Add Files...", "&Del", "C&lean", "Selec&t All", "File In&formation"}));
    QCOMPARE(enabled(QPoint(5, 66)), QStringList{"&Add Files..."});
    // No row checked: removing goes by the Delete key's rule, the rest waits
    // for a row to convert.
    ui()->ConvertePushButton->setEnabled(false);
    QCOMPARE(enabled(QPoint(5, 5)), QStringList({"&Del", "C&lean", "File In&formation"}));
}

void tst_ListOperations::contextMenuRunsTheChosenEntry()
{
    addThree();
    window->changeTreeChecked(false);
    QTimer::singleShot(100, this, [] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        for (QAction *action : menu->actions()) {
            if (action->text() == QLatin1String("Selec&t All"))
                menu->setActiveAction(action);
        }
        QTest::keyClick(menu, Qt::Key_Return);
    });
    window->on_treeWidget_customContextMenuRequested(QPoint(5, 5));
    for (int index = 0; index < 3; ++index)
        QCOMPARE(row(index)->checkState(FileRow::CheckColumn), Qt::Checked);
}

void tst_ListOperations::menuKeyOpensTheMenuAtTheRow() {
    addThree();
    list()->setCurrentItem(row(1), FileRow::NameColumn);
    list()->setFocus();
    // The pointer rests far from the list.
    QCursor::setPos(window->mapToGlobal(QPoint(800, 580)));
    QRect shownAt;
    QStringList entries;
    QTimer::singleShot(100, this, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        shownAt = menu->geometry();
        for (QAction *action : menu->actions()) {
            if (!action->isSeparator() && action->isEnabled())
                entries << action->text();
        }
        menu->close();
    });
    // What the Menu key sends to the focused list.
    const QPoint at = list()->inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
    QContextMenuEvent key(QContextMenuEvent::Keyboard, at, list()->mapToGlobal(at));
    QCoreApplication::sendEvent(list(), &key);

    const QRect rowOnScreen(
        list()->viewport()->mapToGlobal(list()->visualItemRect(row(1)).topLeft()),
        list()->visualItemRect(row(1)).size());
    QVERIFY(shownAt.isValid());
    QVERIFY2(
        shownAt.top() >= rowOnScreen.top() && shownAt.top() <= rowOnScreen.bottom(),
        qPrintable(
            QStringLiteral("menu at %1, row at %2").arg(shownAt.top()).arg(rowOnScreen.top())));
    QVERIFY(entries.contains(QStringLiteral("&Del")));
}

void tst_ListOperations::checkedRowQueriesReadTheList()
{
    addThree();
    auto *extra = new QTreeWidgetItem(list());
    extra->setCheckState(FileRow::CheckColumn, Qt::Unchecked);
    row(0)->setText(FileRow::SourceDurationColumn, QStringLiteral("01:02:03"));
    row(1)->setText(FileRow::SourceDurationColumn, QStringLiteral("00:00:10"));
    row(2)->setText(FileRow::SourceDurationColumn, QStringLiteral("02:00:00"));
    row(2)->setCheckState(FileRow::CheckColumn, Qt::Unchecked);
    QCOMPARE(window->totalCheckedDuration(), 3733);
    QCOMPARE(window->lastCheckedRow(), 1);
    // A partly checked row is not checked.
    row(2)->setCheckState(FileRow::CheckColumn, Qt::PartiallyChecked);
    QCOMPARE(window->lastCheckedRow(), 1);
}

void tst_ListOperations::selectionShowsTheRowsOwnChoices()
{
    addThree();
    window->checkTimer();
    // Row 0 as if its profile were of the sound-only category.
    SettingsIndexList indexes = FileRow::settingsIndexes(row(0));
    indexes[FileRow::DeviceIndex] = QStringLiteral("1");
    indexes[FileRow::VSizeIndex] = QStringLiteral("-1");
    FileRow::setSettingsIndexes(row(0), indexes);
    FileRow::setOptionItems(row(0), FileRow::VcodecItems, {"alpha", "beta"});
    indexes = FileRow::settingsIndexes(row(0));
    indexes[FileRow::VcodecIndex] = QStringLiteral("1");
    FileRow::setSettingsIndexes(row(0), indexes);

    list()->setCurrentItem(row(0));
    QCOMPARE(ui()->ProfileDevice->currentIndex(), 1);
    QCOMPARE(ui()->Vcodec->count(), 2);
    QCOMPARE(ui()->Vcodec->currentText(), QStringLiteral("beta"));
    QCOMPARE(ui()->VSize->currentIndex(), -1);
    QVERIFY(!ui()->Vcodec->isEnabled());
    QVERIFY(!ui()->VSize->isEnabled());
    QCOMPARE(ui()->labelFileName->text(), QStringLiteral("av.mp4"));
    QVERIFY(ui()->editVideo->isEnabled());

    // A file of sound alone has no picture to edit.
    list()->setCurrentItem(row(2));
    QCOMPARE(ui()->ProfileDevice->currentIndex(), 0);
    QVERIFY(ui()->Vcodec->isEnabled());
    QVERIFY(!ui()->editVideo->isEnabled());
    QVERIFY(!ui()->editVideo_Trim->isEnabled());
    QVERIFY(fixture.timerActive("previewPollTimer"));

    // A long name is shortened in its middle, as the list shortens it.
    const QString longName = QString(60, QLatin1Char('a')) + QStringLiteral("-middle-")
                             + QString(60, QLatin1Char('z')) + QStringLiteral(".mp4");
    WindowTest::ModalAnswerer answerer;
    window->addPickedFiles({fixture.copyOf(QStringLiteral("av.mp4"), longName)});
    list()->setCurrentItem(row(3));
    const QLabel *title = ui()->labelFileName;
    QVERIFY(title->text().startsWith(QStringLiteral("aaa")));
    QVERIFY(title->text().endsWith(QStringLiteral("zzz.mp4")));
    QVERIFY(title->text().contains(QChar(0x2026)));
    QVERIFY(title->fontMetrics().horizontalAdvance(title->text()) <= title->width());
}

// After a run, or when a row is checked again after none was, the controls
// come back showing the current row as selecting it does.
void tst_ListOperations::runEndShowsTheCurrentRow()
{
    addThree();
    list()->setCurrentItem(row(0));
    QVERIFY(convert());
    QVERIFY(window->conversion().isActive());
    QVERIFY(!ui()->editVideo->isEnabled());
    window->on_StopConvertePushButton_clicked();
    QTRY_VERIFY(ui()->ProfileDevice->isEnabled());
    QVERIFY(ui()->editVideo->isEnabled());
    QCOMPARE(ui()->lab_OutputFormat->text(), QStringLiteral("AVI"));

    // As after a run that unchecked every row it converted.
    window->changeTreeChecked(false);
    QTRY_VERIFY(!ui()->ProfileDevice->isEnabled());
    QCOMPARE(ui()->lab_OutputFormat->text(), QString());
    row(0)->setCheckState(FileRow::CheckColumn, Qt::Checked);
    QTRY_VERIFY(ui()->ProfileDevice->isEnabled());
    QVERIFY(ui()->editVideo->isEnabled());
    QCOMPARE(ui()->lab_OutputFormat->text(), QStringLiteral("AVI"));
    QCOMPARE(ui()->lab_VideoSize->text(), QStringLiteral("320x240"));
}

void tst_ListOperations::convertMarksCheckedRowsWaiting()
{
    addThree();
    row(1)->setCheckState(FileRow::CheckColumn, Qt::Unchecked);
    row(2)->setCheckState(FileRow::CheckColumn, Qt::PartiallyChecked);
    window->checkTimer();
    QVERIFY(ui()->ConvertePushButton->isEnabled());

    QVERIFY(convert());
    QCOMPARE(row(0)->text(FileRow::StatusColumn), FileRow::kStatusWaiting);
    QCOMPARE(row(1)->text(FileRow::StatusColumn), FileRow::kStatusReady);
    QCOMPARE(row(2)->text(FileRow::StatusColumn), FileRow::kStatusReady);
    QCOMPARE(window->conversion().run().jobNumber(), 0);
    QCOMPARE(window->conversion().run().totalSeconds(), 2);
    QVERIFY(window->conversion().isActive());
    QVERIFY(jobTick()->isActive());
    QVERIFY(!fixture.timerActive("uiPollTimer"));
    QVERIFY(!ui()->AddFile->isEnabled());
    QVERIFY(!ui()->editVideo->isEnabled());
    QVERIFY(!ui()->DeleteButton->isEnabled());
    QVERIFY(!window->acceptDrops());
    QVERIFY(!list()->acceptDrops());
    QVERIFY(ui()->StopConvertePushButton->isEnabled());
    QVERIFY(ui()->PausePushButton->isEnabled());
    // Selecting a row no longer loads its options.
    ui()->PathLine->setText(QStringLiteral("/elsewhere"));
    list()->setCurrentItem(row(1));
    QCOMPARE(ui()->PathLine->text(), QStringLiteral("/elsewhere"));
}

void tst_ListOperations::convertWithoutCheckedRowsRollsBack()
{
    addThree();
    window->changeTreeChecked(false);
    ui()->ConvertePushButton->setEnabled(true);
    QVERIFY(convert());
    QVERIFY(!window->conversion().isActive());
    QVERIFY(!jobTick()->isActive());
    QVERIFY(fixture.timerActive("uiPollTimer"));
    QVERIFY(!ui()->StopConvertePushButton->isEnabled());
    QVERIFY(!ui()->PausePushButton->isEnabled());
    QVERIFY(ui()->AddFile->isEnabled());
    QVERIFY(window->acceptDrops());
    for (int index = 0; index < 3; ++index)
        QCOMPARE(row(index)->text(FileRow::StatusColumn), FileRow::kStatusReady);
    // The selection loads the row's options again.
    ui()->PathLine->setText(QStringLiteral("/elsewhere"));
    list()->setCurrentItem(row(0));
    QCOMPARE(ui()->PathLine->text(), fixture.outFolder());
}

void tst_ListOperations::convertRunsRowsOfUnknownLength()
{
    addThree();
    for (int index = 0; index < 3; ++index)
        row(index)->setText(FileRow::SourceDurationColumn, QStringLiteral("N/A, start"));
    QVERIFY(convert());
    QCOMPARE(window->conversion().run().totalSeconds(), 0);
    // Not a run that cannot start: the rows convert with busy bars.
    QVERIFY(window->conversion().isActive());
    QVERIFY(jobTick()->isActive());
    QCOMPARE(row(2)->text(FileRow::StatusColumn), FileRow::kStatusWaiting);
}

void tst_ListOperations::rowsStayWhileRunning()
{
    addThree();
    QVERIFY(convert());
    QVERIFY(window->conversion().isActive());
    list()->setCurrentItem(row(0));
    QTest::keyClick(list(), Qt::Key_Delete);
    window->on_actionRemove_del_triggered();
    window->on_DelFile_clicked();
    window->on_CleanFile_clicked();
    window->clean();
    QCOMPARE(list()->topLevelItemCount(), 3);
    // The probe would take the run's own process: no adding meanwhile.
    window->addPickedFiles({media("av.mkv")});
    QCOMPARE(list()->topLevelItemCount(), 3);
    QVERIFY(window->conversion().isActive());

    WindowTest::ModalAnswerer answerer;
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(media("av.mkv"))});
    QVERIFY(!fixture.dragEnter(data));
    // Refused at the door; and were it to come anyway, nothing is added.
    QDropEvent drop(QPointF(300, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    drop.setAccepted(false);
    QCoreApplication::sendEvent(window, &drop);
    QVERIFY(!drop.isAccepted());
    // An add the drop had asked for would start from the window's queue.
    QCoreApplication::sendPostedEvents(window);
    QCOMPARE(list()->topLevelItemCount(), 3);
}

void tst_ListOperations::editorGetsTheRowsState()
{
    addThree();
    // A trimmed and cropped row with changed colours and a logo.
    ArgumentList arguments = FileRow::arguments(row(0));
    arguments = QStringList{"-ss", "5", "-t", "10"} + arguments;
    arguments.insert(arguments.indexOf(QStringLiteral("-y")), QStringLiteral("-croptop"));
    arguments.insert(arguments.indexOf(QStringLiteral("-y")), QStringLiteral("6"));
    FileRow::setArguments(row(0), arguments);
    EffectList effects = FileRow::effects(row(0));
    QCOMPARE(effects.size(), 6);
    effects[FileRow::SaturationEntry] = QStringLiteral("10");
    FileRow::setEffects(row(0), effects);
    row(0)->setData(FileRow::NameColumn, FileRow::WatermarkRole,
                    QStringLiteral("-watermark /x/logo.png 10 10"));

    list()->setCurrentItem(row(0));
    QVERIFY(ui()->editVideo_Trim->isEnabled());
    QTest::mouseClick(ui()->editVideo_Trim, Qt::LeftButton);
    QVERIFY(window->editorSession().waitForStarted());
    QCOMPARE(window->editorSession().arguments(),
             QStringList({"-fileNa", media("av.mp4"), "0", "6", "0", "0", "100",
                          "0", "0", "5", "15", "20", "1", effects.at(FileRow::LogoPathEntry), "-1",
                          "-watermark /x/logo.png 10 10"}));
    QCOMPARE(window->editorSession().row(), 0);
    QVERIFY(!ui()->AddFile->isEnabled());
    QVERIFY(!list()->isEnabled());
    QVERIFY(!fixture.timerActive("uiPollTimer"));
    QVERIFY(ui()->textEdit->toPlainText().contains(QLatin1String("-fileNa")));

    // Rows stay while the editor works on one.
    QTest::keyClick(window, Qt::Key_Delete);
    window->on_actionRemove_del_triggered();
    QCOMPARE(list()->topLevelItemCount(), 3);

    // Closed without an answer: the controls come back.
    window->editorSession().close();
    QTRY_VERIFY_WITH_TIMEOUT(ui()->AddFile->isEnabled(), WindowTest::kEventTimeoutMs);
    QVERIFY(list()->isEnabled());
    QVERIFY(fixture.timerActive("uiPollTimer"));
    QCOMPARE(FileRow::arguments(row(0)), arguments);
}

void tst_ListOperations::editorThatDoesNotStartGivesControlsBack()
{
    addThree();
    list()->setCurrentItem(row(0));
    QTemporaryDir noTools;
    Platform::setInstallDir(noTools.path());
    QTest::mouseClick(ui()->editVideo, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(ui()->AddFile->isEnabled(), WindowTest::kEventTimeoutMs);
    QVERIFY(list()->isEnabled());
    QVERIFY(ui()->editVideo->isEnabled());
    QVERIFY(fixture.timerActive("uiPollTimer"));
    QMessageBox *box = window->findChild<QMessageBox *>();
    QVERIFY(box);
    QVERIFY(box->text().contains(QLatin1String("editor")));
    box->close();
}

QTEST_MAIN(tst_ListOperations)
#include "tst_listoperations.moc"
