#include <QtTest>

#include <functional>
#include <memory>

#include <QAccessible>
#include <QAccessibleInterface>

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFocusFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>

#include "app/focusmark.h"
#include "app/version.h"
#include "filelist/outputnaming.h"
#include "filelist/outputpaths.h"
#include "filelist/statuscell.h"
#include "mainwindow/about.h"
#include "mainwindow/errfiledialog.h"
#include "mainwindow/exitdialog.h"
#include "mainwindow/maxdriverdialog.h"
#include "mainwindow/openprogress.h"
#include "mainwindow/videoinfo.h"
#include "settingsdialog/settingdialog.h"
#include "conversion/editorsession.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/preferencedialog.h"
#include "filelist/filerow.h"
#include "mainwindow/ownfilesworker.h"
#include "mainwindow/settingsfile.h"
#include "platform/platform.h"
#include "player/previewplayer.h"
#include "ui_mainwindow.h"
#include "windowtestsupport.h"

using namespace WindowTestSupport;

namespace {

// Waits for a process the window starts or ends: they end as soon as it is
// there, and a busy machine may take many seconds to get there.
constexpr int kProcessTimeoutMs = 30000;

} // namespace

// The main window's title strip, system menu, preferences, update check and
// the ways it closes.
class tst_WindowChrome : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void dragsWithinTheStripLimits();
    void movesWithoutAButtonDoNotDrag();
    void minimiseAndSystemMenu();
    void keyboardReachesEveryControl();
    void screenReaderNamesEveryControl();
    void dialogsAreTheWindowsOwn();
    void dialogsMarkTheirFocus();
    void linksOpenTheHomePage();
    void foldersOpenThroughTheDesktop();
    void aboutBox();

    void preferencesShowTheWindowsState();
    void preferencesOkAppliesFormatFoldersAndAction();
    void preferencesCancelKeepsWindowState();
    void preferencesTypedFolderAndFormatLast();

    void updateToolArguments();
    void firstUpdateCheckIsNotDue();
    void updateCheckDueAfterItsCycle();
    void olderFileDayOfYearAcrossNewYear();
    void updateCheckSwitchedOff();

    void closeWithEmptyListDoesNotAsk();
    void closeWithRowsAsks_data();
    void closeWithRowsAsks();
    void closeEndsEditorTool();
    void closeShutsThePreviewDown();
    void everyCloseAsksFirst_data();
    void everyCloseAsksFirst();

private:
    // Opens every dialog of the window as the user does, runs `check` on it
    // while it is up (a problem, or empty) and closes it again.
    QStringList checkEachDialog(const std::function<QString(QDialog *)> &check);
    void makeFakeUpdateTool();
    void openSleepingEditor();
    QStringList updateToolRun(int waitMs);
    void fillTemporaryFolder();
    static QString otherCopyScript();
    Ui::MainWindow *ui() { return window->form(); }

    QTemporaryDir *install = nullptr;
    MainWindow *window = nullptr;
    QString argumentsFile;
};

void tst_WindowChrome::initTestCase()
{
    actAsTheProgram();
}

void tst_WindowChrome::makeFakeUpdateTool()
{
    // Stands in for the update tool: it only writes down how it was asked.
    argumentsFile = install->filePath(QStringLiteral("skelbrin-arguments.txt"));
    const QString script = install->filePath(QStringLiteral("skelbrin"));
    QFile file(script);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n"
               "out=\"$(dirname \"$0\")/skelbrin-arguments.txt\"\n"
               "printf '%s\\n' \"$@\" > \"$out.part\" && mv \"$out.part\" \"$out\"\n");
    file.close();
    QVERIFY(file.setPermissions(file.permissions() | QFile::ExeOwner));
}

void tst_WindowChrome::openSleepingEditor()
{
    // Stands in for the editor: it stays open until it is ended.
    QFile file(install->filePath(QStringLiteral("parlane")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\nexec sleep 30\n");
    file.close();
    QVERIFY(file.setPermissions(file.permissions() | QFile::ExeOwner));
    QTreeWidget *list = ui()->treeWidget;
    if (list->topLevelItemCount() == 0)
        new QTreeWidgetItem(list, QStringList({QString(), QStringLiteral("a.mp4")}));
    list->setCurrentItem(list->topLevelItem(0));
    window->on_editVideo_clicked();
    QVERIFY(window->editorSession().waitForStarted());
}

QStringList tst_WindowChrome::updateToolRun(int waitMs)
{
    QFile file(argumentsFile);
    (void)QTest::qWaitFor([&file] { return file.exists(); }, waitMs);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString tst_WindowChrome::otherCopyScript()
{
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation)
           + QStringLiteral("/tmp/elsewhere-1/avsifile0.avs");
}

void tst_WindowChrome::fillTemporaryFolder()
{
    const QString tmp = Platform::tempDir();
    QVERIFY(QDir().mkpath(tmp + QStringLiteral("/sub")));
    QVERIFY(QDir().mkpath(Platform::handoffDir()));
    QVERIFY(QDir().mkpath(QFileInfo(otherCopyScript()).absolutePath()));
    for (const QString &name : {tmp + QStringLiteral("/avsifile0.avs"),
                                tmp + QStringLiteral("/sub/avsifile1.png"),
                                Platform::handoffDir() + QStringLiteral("/keep"),
                                otherCopyScript()}) {
        QFile file(name);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
}

void tst_WindowChrome::init()
{
    install = new QTemporaryDir;
    QVERIFY(install->isValid());
    copyInstallation(install->path());
    useInstallation(install->path());
    QDir(Platform::tempDir()).removeRecursively();
    QDir(Platform::handoffDir()).removeRecursively();
    makeFakeUpdateTool();
    window = new MainWindow;
}

void tst_WindowChrome::cleanup()
{
    delete window;
    window = nullptr;
    leaveInstallation();
    delete install;
    install = nullptr;
}

void tst_WindowChrome::dragsWithinTheStripLimits()
{
    window->move(50, 60);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    const QPoint start = window->pos();

    QTest::mousePress(window, Qt::LeftButton, {}, QPoint(400, 10));
    QTest::mouseMove(window, QPoint(450, 300));
    QTRY_COMPARE(window->pos(), start + QPoint(50, 290));
    // 100 pixels sideways of the press: the window stays where it was.
    const QPoint moved = window->pos();
    QTest::mouseMove(window, QPoint(500, 20));
    QCOMPARE(window->pos(), moved);
    QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(500, 20));

    // A press below the strip never drags.
    QTest::mousePress(window, Qt::LeftButton, {}, QPoint(400, 26));
    QTest::mouseMove(window, QPoint(420, 40));
    QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(420, 40));
    QCOMPARE(window->pos(), moved);

    // A right press keeps the last left press's origin: with the left button
    // still down, the window goes on following that press.
    QTest::mousePress(window, Qt::LeftButton, {}, QPoint(400, 10));
    QTest::mousePress(window, Qt::RightButton, {}, QPoint(400, 200));
    QTest::mouseMove(window, QPoint(430, 40));
    QTRY_COMPARE(window->pos(), moved + QPoint(30, 30));
    QTest::mouseRelease(window, Qt::RightButton, {}, QPoint(430, 40));
    QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(430, 40));
}

void tst_WindowChrome::movesWithoutAButtonDoNotDrag()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QTest::mousePress(window, Qt::LeftButton, {}, QPoint(400, 10));
    QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(400, 10));
    const QPoint start = window->pos();
    // What a mouse-tracking child (the preview) passes up while hovered.
    QMouseEvent hover(QEvent::MouseMove, QPointF(420, 200), window->mapToGlobal(QPointF(420, 200)),
                      Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(window, &hover);
    QCOMPARE(window->pos(), start);
}

void tst_WindowChrome::minimiseAndSystemMenu()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));

    // The menu is up while the button is still held: a Wayland compositor
    // grants a menu to a press only.
    QMenu *shown = nullptr;
    QTimer::singleShot(100, window, [&shown] {
        shown = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (shown)
            shown->close();
    });
    QTest::mousePress(ui()->sysInfo, Qt::LeftButton);
    QVERIFY(shown);
    QCOMPARE(shown, ui()->sysInfo->menu());
    QTest::mouseRelease(ui()->sysInfo, Qt::LeftButton);

    window->on_minimaziAll_clicked();
    QTRY_VERIFY(window->isMinimized());
}

void tst_WindowChrome::keyboardReachesEveryControl()
{
    QFile skin(stageDir() + QStringLiteral("/skin.qss"));
    QVERIFY(skin.open(QIODevice::ReadOnly));
    qApp->setStyleSheet(QString::fromUtf8(skin.readAll()).split(QLatin1Char('\n')).join(QString()));
    const auto plain = qScopeGuard([] { qApp->setStyleSheet(QString()); });
    auto *row = new QTreeWidgetItem;
    row->setFlags(Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
    row->setCheckState(FileRow::CheckColumn, Qt::Checked);
    ui()->treeWidget->addTopLevelItem(row);
    // The controls that a listed, checked file brings to life.
    window->checkTimer();
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));

    // The shortcut that the menu entry shows.
    auto opened = std::make_shared<bool>(false);
    auto waiting = std::make_shared<bool>(true);
    whenModalOpens<QFileDialog>([opened, waiting](QFileDialog *dialog) {
        if (!*waiting)
            return; // a later test's dialog
        *opened = true;
        dialog->reject();
    });
    QTest::keyClick(window, Qt::Key_O, Qt::ControlModifier);
    *waiting = false;
    QVERIFY(*opened);
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));

    // Tab goes round the controls in reading order, never to one out of
    // sight, and the skin frames each one it reaches.
    QStringList expected;
    for (const char *name :
         {"AddFile", "DeleteButton", "DeleteAllButton", "editVideo", "editVideo_Trim",
          "editVideo_Effect", "treeWidget", "checkAll", "ProfileDevice", "ProfileDetails",
          "SettingButton", "PathLine", "browsePushButton", "openPushButton", "ConvertePushButton",
          "PauseContinue", "PausePushButton", "StopConvertePushButton", "horizontalSlider",
          "PlayButton", "PauseButton", "StopButton", "PreviousButton", "NextButton",
          "captureButton", "setCaptureButton", "MuteButton", "unMuteButton", "volumeHSlider",
          "sysInfo", "minimaziAll", "closeAll"}) {
        QWidget *control = window->findChild<QWidget *>(QLatin1String(name));
        QVERIFY2(control, name);
        if (control->isVisible() && control->isEnabled())
            expected << QLatin1String(name);
    }
    auto *mark = window->findChild<FocusMark *>();
    QVERIFY(mark);
    ui()->AddFile->setFocus(Qt::OtherFocusReason);
    QStringList visited;
    QWidget *focused = nullptr;
    do {
        focused = QApplication::focusWidget();
        QVERIFY(focused);
        visited << focused->objectName();
        QVERIFY2(window->rect().contains(QRect(focused->mapTo(window, QPoint()), focused->size())),
                 qPrintable(visited.last()));
        if (visited.size() > 1)
            QCOMPARE(mark->markedWidget(), focused);
        QTest::keyClick(focused, Qt::Key_Tab);
    } while (QApplication::focusWidget() != ui()->AddFile && visited.size() <= expected.size());
    QCOMPARE(visited, expected);
    for (const char *stop : {"treeWidget", "ProfileDevice", "ProfileDetails", "SettingButton",
                                "PathLine", "browsePushButton", "openPushButton",
                                "ConvertePushButton", "PlayButton", "volumeHSlider"})
        QVERIFY2(visited.contains(QLatin1String(stop)), stop);
    QTest::keyClick(ui()->AddFile, Qt::Key_Backtab);
    QCOMPARE(mark->markedWidget(), static_cast<QWidget *>(ui()->closeAll));
    auto *frame = window->findChild<QFocusFrame *>();
    QVERIFY(frame && frame->isVisible());
    const QPoint edge = frame->mapTo(window, QPoint(0, frame->height() / 2));
    QCOMPARE(window->grab().toImage().pixelColor(edge), QColor(QStringLiteral("#2f80c7")));

    // Space checks and unchecks the current row, whichever column is current.
    ui()->treeWidget->setCurrentItem(row, FileRow::NameColumn);
    ui()->treeWidget->setFocus(Qt::TabFocusReason);
    QTest::keyClick(ui()->treeWidget, Qt::Key_Space);
    QCOMPARE(row->checkState(FileRow::CheckColumn), Qt::Unchecked);
    QTest::keyClick(ui()->treeWidget, Qt::Key_Space);
    QCOMPARE(row->checkState(FileRow::CheckColumn), Qt::Checked);
}

namespace {

// One of the dialogs the window keeps for its whole life.
template <class Dialog> Dialog *windowsOwn() {
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *dialog = qobject_cast<Dialog *>(widget))
            return dialog;
    }
    qFatal("no %s", Dialog::staticMetaObject.className());
}

// What a screen reader finds in `node`'s part of the tree: every control the
// user can act on that has no name, and the names of the rest by object.
void walkAccessible(QAccessibleInterface *node, QStringList *unnamed,
                    QHash<QObject *, QAccessibleInterface *> *found) {
    for (int index = 0; index < node->childCount(); ++index) {
        QAccessibleInterface *child = node->child(index);
        if (!child || child->state().invisible)
            continue;
        if (child->object())
            found->insert(child->object(), child);
        // A cell's text is what it holds; only a check box's must be said.
        const bool cell =
            child->role() == QAccessible::TreeItem || child->role() == QAccessible::ColumnHeader;
        const auto *widget = qobject_cast<QWidget *>(child->object());
        const bool actionable = child->state().checkable ||
                                (!cell && (child->state().focusable ||
                                           (widget && (widget->focusPolicy() & Qt::TabFocus))));
        if (actionable && child->text(QAccessible::Name).trimmed().isEmpty())
            *unnamed << QStringLiteral("%1 (%2)")
                            .arg(child->object() ? child->object()->objectName()
                                                 : QStringLiteral("cell"))
                            .arg(child->role());
        walkAccessible(child, unnamed, found);
    }
}

} // namespace

// The main window with a file listed, and each of its dialogs, as a screen
// reader reads them: every control named, the rows by their file and status.
void tst_WindowChrome::screenReaderNamesEveryControl() {
    auto *row = new QTreeWidgetItem(QStringList{
        QString(), QStringLiteral("a.mp4"), FileRow::kStatusReady, QStringLiteral("00:00:02"),
        QStringLiteral("00:00:02"), QStringLiteral("0.1MB"), QStringLiteral("a.avi")});
    row->setFlags(Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
    row->setCheckState(FileRow::CheckColumn, Qt::Unchecked);
    ui()->treeWidget->addTopLevelItem(row);
    window->checkTimer();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));

    QStringList unnamed;
    QHash<QObject *, QAccessibleInterface *> found;
    walkAccessible(QAccessible::queryAccessibleInterface(window), &unnamed, &found);
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));

    // The row is its file and status, and its box tells whether it is checked.
    QAccessibleInterface *list = found.value(ui()->treeWidget);
    QVERIFY(list && list->tableInterface());
    QAccessibleInterface *cell = list->tableInterface()->cellAt(0, FileRow::CheckColumn);
    QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("a.mp4, Ready"));
    QVERIFY(cell->state().checkable && !cell->state().checked);
    StatusCell::showProgress(row, false);
    StatusCell::setProgress(row, 42);
    QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("a.mp4, 42%"));
    StatusCell::showStatus(row, FileRow::kStatusFinished, FileRow::kPictureFinished);
    QCOMPARE(cell->text(QAccessible::Name), QStringLiteral("a.mp4, finished"));
    // The check-all box is in the tree, with its state.
    QAccessibleInterface *checkAll =
        found.value(window->findChild<QCheckBox *>(QStringLiteral("checkAll")));
    QVERIFY(checkAll);
    QVERIFY(checkAll->state().checkable);
    // A list box is named by its label, its entry is its value.
    QAccessibleInterface *device = found.value(ui()->ProfileDevice);
    QCOMPARE(device->text(QAccessible::Name), QStringLiteral("Device"));
    QCOMPARE(device->text(QAccessible::Value), ui()->ProfileDevice->currentText());
    QCOMPARE(found.value(ui()->PathLine)->text(QAccessible::Name), QStringLiteral("Destination:"));
    // The volume in percent, not in the sound's 0..128.
    ui()->volumeHSlider->setValue(64);
    QAccessibleValueInterface *volume = found.value(ui()->volumeHSlider)->valueInterface();
    QCOMPARE(volume->currentValue().toInt(), 50);
    QCOMPARE(volume->maximumValue().toInt(), 100);

    const QStringList problems = checkEachDialog([](QDialog *dialog) {
        QAccessibleInterface *node = QAccessible::queryAccessibleInterface(dialog);
        const QString name = node->text(QAccessible::Name);
        if (name.isEmpty() || name == QLatin1String("Dialog"))
            return QStringLiteral("called \"%1\"").arg(name);
        QStringList unnamedInDialog;
        QHash<QObject *, QAccessibleInterface *> inDialog;
        walkAccessible(node, &unnamedInDialog, &inDialog);
        return unnamedInDialog.join(QStringLiteral(", "));
    });
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

QStringList tst_WindowChrome::checkEachDialog(const std::function<QString(QDialog *)> &check) {
    // A row for the dialogs that show one.
    if (ui()->treeWidget->topLevelItemCount() == 0)
        new QTreeWidgetItem(ui()->treeWidget, QStringList({QString(), QStringLiteral("a.mp4")}));
    ui()->treeWidget->setCurrentItem(ui()->treeWidget->topLevelItem(0));
    const std::pair<const char *, std::function<void()>> ways[] = {
        {"about", [this] { window->aboutFun(); }},
        {"preferences", [this] { window->preferenceFun(); }},
        {"exit", [this] { window->on_closeAll_clicked(); }},
        {"file information", [this] { window->fileInfo(); }},
        {"settings", [] { windowsOwn<settingDialog>()->exec(); }},
        {"files not added", [] { windowsOwn<errFiledialog>()->exec(); }},
        {"disk full", [this] { Q_EMIT window->conversion().diskFull(); }},
        {"shutdown", [this] { window->shutTimer(); }},
    };
    QStringList problems;
    for (const auto &[name, open] : ways) {
        bool opened = false;
        whenModalOpens<QDialog>([&, name = name](QDialog *dialog) {
            opened = true;
            const QString problem = check(dialog);
            if (!problem.isEmpty())
                problems << QStringLiteral("%1: %2").arg(QLatin1String(name), problem);
            dialog->reject();
        });
        open();
        if (!opened)
            problems << QStringLiteral("%1: never opened").arg(QLatin1String(name));
    }
    return problems;
}

// Above the main window and over its middle, as dialogs of that window.
void tst_WindowChrome::dialogsAreTheWindowsOwn() {
    window->move(0, 0);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    const QStringList problems = checkEachDialog([this](QDialog *dialog) {
        if (dialog->windowType() != Qt::Dialog)
            return QStringLiteral("no dialog to the desktop");
        if (!dialog->windowHandle() ||
            dialog->windowHandle()->transientParent() != window->windowHandle())
            return QStringLiteral("not the main window's");
        const QPoint off = dialog->geometry().center() - window->geometry().center();
        if (off.manhattanLength() > 2)
            return QStringLiteral("%1, %2 off the middle").arg(off.x()).arg(off.y());
        return QString();
    });
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    // The progress of adding files, which is not modal.
    auto *progress = windowsOwn<openProgress>();
    QVERIFY(progress && progress->parentWidget() == window);
}

// A keyboard user sees where the focus is in every dialog, from its first
// field on (never its close button, where Enter would end it unsaved), and
// Enter opens a list box.
void tst_WindowChrome::dialogsMarkTheirFocus() {
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    ui()->AddFile->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(ui()->AddFile, Qt::Key_Tab);

    bool listOpened = false;
    const QStringList problems = checkEachDialog([&listOpened](QDialog *dialog) {
        auto *mark = dialog->findChild<FocusMark *>();
        if (!mark)
            return QStringLiteral("no focus mark");
        if (!QTest::qWaitFor([&] { return dialog->focusWidget() && mark->markedWidget(); }))
            return QStringLiteral("its first field is not marked");
        QWidget *first = dialog->focusWidget();
        if (first->objectName() == QLatin1String("closeButton") || mark->markedWidget() != first)
            return QStringLiteral("opens on %1").arg(first->objectName());
        if (auto *box = qobject_cast<QComboBox *>(first)) {
            QTest::keyClick(box, Qt::Key_Return);
            listOpened = box->view()->isVisible();
            box->hidePopup();
        }
        QTest::keyClick(first, Qt::Key_Tab);
        // The mark follows the focus as its events come, which a busy
        // machine may deliver a little later.
        const auto marked = [&] {
            auto *frame = dialog->findChild<QFocusFrame *>();
            return mark->markedWidget() == dialog->focusWidget() && frame && frame->isVisible();
        };
        if (!QTest::qWaitFor(marked))
            return QStringLiteral("%1 not marked").arg(dialog->focusWidget()->objectName());
        return QString();
    });
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    // Settings opens on its device list.
    QVERIFY(listOpened);
}

void tst_WindowChrome::linksOpenTheHomePage()
{
    DesktopRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &recorder, "open");
    window->supportFun();
    window->homepage();
    int links = 0;
    QStringList byKeyboard;
    whenModalOpens<about>([&links, &byKeyboard](about *dialog) {
        for (const char *label : {"labelSupport", "labelHomePage"}) {
            if (auto *link = dialog->findChild<QLabel *>(QLatin1String(label))) {
                ++links;
                // The address is ours, whatever text the label reports.
                emit link->linkActivated(QStringLiteral("https://elsewhere.example/"));
            }
        }
        // Tab reaches both links after Close, and Enter follows them.
        dialog->findChild<QPushButton *>(QStringLiteral("closeBun"))->setFocus(Qt::TabFocusReason);
        for (int link = 0; link < 2; ++link) {
            QTest::keyClick(dialog->focusWidget(), Qt::Key_Tab);
            byKeyboard << dialog->focusWidget()->objectName();
            QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
        }
        dialog->reject();
    });
    window->aboutFun();
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QCOMPARE(links, 2);
    QCOMPARE(byKeyboard, QStringList({"labelSupport", "labelHomePage"}));

    QCOMPARE(recorder.opened.size(), 6);
    for (const QUrl &url : recorder.opened)
        QCOMPARE(url, QUrl(QLatin1String(kHomePageUrl)));

    // No browser at all: nothing is shown and nothing breaks.
    window->supportFun();
}

void tst_WindowChrome::foldersOpenThroughTheDesktop()
{
    DesktopRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &recorder, "open");
    ui()->PathLine->setText(QStringLiteral("/srv/my films"));
    window->snapshotChoices().setFolder(QStringLiteral("/srv/snap/"));
    window->on_openPushButton_clicked();
    window->openSnapshotFolder();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

    QCOMPARE(recorder.opened.size(), 2);
    QCOMPARE(recorder.opened.at(0).toLocalFile(), QStringLiteral("/srv/my films"));
    QCOMPARE(recorder.opened.at(1).toLocalFile(), QStringLiteral("/srv/snap/"));

    // No file manager: quietly nothing.
    window->on_openPushButton_clicked();
}

void tst_WindowChrome::aboutBox()
{
    bool ran = false;
    QStringList versions;
    QString product;
    QPointer<about> shown;
    whenModalOpens<QDialog>([&](QDialog *dialog) {
        ran = dialog->windowTitle() == QStringLiteral("About");
        shown = qobject_cast<about *>(dialog);
        if (shown) {
            auto *version = shown->findChild<QLabel *>(QStringLiteral("labelVersion"));
            versions << version->text();
            shown->setVersion(QStringLiteral("3.0"));
            versions << version->text();
            shown->setVersion(QString());
            versions << version->text();
            product = shown->findChild<QLabel *>(QStringLiteral("labelProductName"))->text();
        }
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("closeBun")),
                          Qt::LeftButton);
    });
    window->aboutFun();
    QVERIFY(ran);
    QCOMPARE(versions, QStringList({"Version: 2.1.2.367", "Version: 3.0", "Version: 2.1.2.367"}));
    QCOMPARE(product, QStringLiteral("Quillora"));
    QVERIFY(shown);
    QVERIFY(!shown->isVisible());
}

void tst_WindowChrome::preferencesShowTheWindowsState()
{
    QVERIFY(!QFile::exists(Platform::settingsFile()));
    QStringList seen;
    whenModalOpens<preferenceDialog>([&seen](preferenceDialog *dialog) {
        seen << dialog->findChild<QLineEdit *>(QStringLiteral("OutputPath"))->text()
             << dialog->findChild<QLineEdit *>(QStringLiteral("SnapPath"))->text()
             << QString::number(dialog->snapFormat())
             << QString::number(dialog->shutdownAction())
             << dialog->findChild<QComboBox *>(QStringLiteral("CycleComboBox"))->currentText();
        dialog->reject();
    });
    window->preferenceFun();
    QCOMPARE(seen, QStringList({ui()->PathLine->text(), window->snapshotChoices().folder(), "1",
                                "0", "Every Week"}));
    QVERIFY(!SettingsFile::contains(SettingsFile::kDown));
}

void tst_WindowChrome::preferencesOkAppliesFormatFoldersAndAction()
{
    const QString films = install->filePath(QStringLiteral("films"));
    QVERIFY(QDir().mkpath(films));
    // A shutdown armed by the end of a run, not yet begun.
    QTimer *shutdown = windowTimer(window, "shutdownTimer");
    connect(shutdown, &QTimer::timeout, window, &MainWindow::shutTimer);
    shutdown->start(60000);

    whenModalOpens<preferenceDialog>([films](preferenceDialog *dialog) {
        dialog->findChild<QComboBox *>(QStringLiteral("SnapFormatComboBox"))->setCurrentIndex(5);
        dialog->findChild<QComboBox *>(QStringLiteral("ShutdownComboBox"))->setCurrentIndex(0);
        whenModalOpens<QFileDialog>([films](QFileDialog *folders) {
            typeFolder(folders, films);
        });
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("BrowseSnapButton")),
                          Qt::LeftButton);
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("pushButtonOK")),
                          Qt::LeftButton);
    });
    window->preferenceFun();

    QCOMPARE(SettingsFile::value(SettingsFile::kDown).toInt(), 0);
    QCOMPARE(window->snapshotChoices().folder(), films + QLatin1Char('/'));
    QStringList checked;
    for (QAction *format : snapshotFormatActions(ui()->setCaptureButton))
        if (format->isChecked())
            checked << format->text();
    QCOMPARE(checked, QStringList({"JPG(Low Quality)"}));
    QVERIFY(!shutdown->isActive());

    // "Shut Down" is stored; with no finished run it arms nothing.
    whenModalOpens<preferenceDialog>([](preferenceDialog *dialog) {
        dialog->findChild<QComboBox *>(QStringLiteral("ShutdownComboBox"))->setCurrentIndex(1);
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("pushButtonOK")),
                          Qt::LeftButton);
    });
    window->preferenceFun();
    QCOMPARE(SettingsFile::value(SettingsFile::kDown).toInt(), 1);
    QVERIFY(!shutdown->isActive());

    // The next opening starts from the stored action and the chosen format.
    int shownAction = -1;
    int shownFormat = -1;
    whenModalOpens<preferenceDialog>([&](preferenceDialog *dialog) {
        shownAction = dialog->shutdownAction();
        shownFormat = dialog->snapFormat();
        dialog->reject();
    });
    window->preferenceFun();
    QCOMPARE(shownAction, 1);
    QCOMPARE(shownFormat, window->snapshotChoices().format());
}

void tst_WindowChrome::preferencesCancelKeepsWindowState()
{
    const QString films = install->filePath(QStringLiteral("films"));
    QVERIFY(QDir().mkpath(films));
    const QString before = ui()->PathLine->text();

    whenModalOpens<preferenceDialog>([films](preferenceDialog *dialog) {
        dialog->findChild<QComboBox *>(QStringLiteral("SnapFormatComboBox"))->setCurrentIndex(2);
        whenModalOpens<QFileDialog>([films](QFileDialog *folders) {
            typeFolder(folders, films);
        });
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("BrowseOutputButton")),
                          Qt::LeftButton);
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("pushButtonCancel")),
                          Qt::LeftButton);
    });
    window->preferenceFun();

    // Nothing chosen is kept: the settings and the window stay as they were.
    QVERIFY(!SettingsFile::contains(SettingsFile::kOutput));
    QCOMPARE(ui()->PathLine->text(), before);
    QCOMPARE(window->snapshotChoices().format(), SnapshotChoices::Bmp);
    QVERIFY(snapshotFormatActions(ui()->setCaptureButton).at(1)->isChecked());
    QVERIFY(!SettingsFile::contains(SettingsFile::kDown));
}

void tst_WindowChrome::preferencesTypedFolderAndFormatLast()
{
    const auto okWith = [this](const QString &folder, int format) {
        whenModalOpens<preferenceDialog>([folder, format](preferenceDialog *dialog) {
            dialog->findChild<QLineEdit *>(QStringLiteral("OutputPath"))->setText(folder);
            dialog->findChild<QLineEdit *>(QStringLiteral("SnapPath"))->setText(folder + "/shots");
            dialog->findChild<QComboBox *>(QStringLiteral("SnapFormatComboBox"))
                ->setCurrentIndex(format);
            QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("pushButtonOK")),
                              Qt::LeftButton);
        });
        window->preferenceFun();
        // The folder is looked at away from the window.
        QVERIFY(QTest::qWaitFor([this] { return window->outputNaming().isSettled(); }));
    };
    const QString typed = install->filePath(QStringLiteral("typed/films"));
    okWith(typed, 2);
    QCOMPARE(ui()->PathLine->text(), typed);
    QVERIFY(QDir(typed).exists());
    QCOMPARE(SettingsFile::value(SettingsFile::kOutput).toString(), typed);
    QCOMPARE(window->snapshotChoices().folder(), typed + "/shots/");
    QCOMPARE(SettingsFile::value(SettingsFile::kSnapshot).toString(), typed + "/shots/");

    // The next start begins with the chosen format.
    delete window;
    window = new MainWindow;
    QCOMPARE(window->snapshotChoices().format(), SnapshotChoices::Png);
    QCOMPARE(window->snapshotChoices().suffix(), QStringLiteral(".png"));

    // Refused as in Destination, with its message; the folder stays.
    const QString blocked = install->filePath(QStringLiteral("skelbrin/films"));
    QString problem;
    QVERIFY(!OutputPaths::makeWritableFolder(OutputPaths::folderFromField(blocked), &problem));
    okWith(blocked, 2);
    QCOMPARE(ui()->PathLine->text(), typed);
    QCOMPARE(SettingsFile::value(SettingsFile::kOutput).toString(), typed);
    QStringList told;
    for (const QMessageBox *box : window->findChildren<QMessageBox *>())
        told << box->text();
    QCOMPARE(told, QStringList{problem});
}

void tst_WindowChrome::updateToolArguments()
{
    window->checkupFun();
    const QStringList arguments = updateToolRun(kProcessTimeoutMs);
    QCOMPARE(arguments.size(), 8);
    QCOMPARE(arguments.at(0), QStringLiteral("-p1"));
    QCOMPARE(QUrl(arguments.at(1)).path(), QStringLiteral("/update/quillora.php"));
    QCOMPARE(arguments.at(2), QStringLiteral("-p2"));
    QCOMPARE(QUrl(arguments.at(3)).path(), QStringLiteral("/download/Quillora.exe"));
    for (const QString &address : {arguments.at(1), arguments.at(3)}) {
        QCOMPARE(QUrl(address).scheme(), QStringLiteral("https"));
        QCOMPARE(QUrl(address).host(), QUrl(QLatin1String(kHomePageUrl)).host());
    }
    QCOMPARE(arguments.at(4), QStringLiteral("-p3"));
    QCOMPARE(arguments.at(5), Platform::handoffDir() + QLatin1Char('/'));
    QCOMPARE(arguments.mid(6), QStringList({"-v", "2.1.2.367"}));
    QVERIFY(QDir(Platform::handoffDir()).exists());
    // A check from the menu leaves the schedule alone.
    QVERIFY(!SettingsFile::contains(SettingsFile::kLastCheck));
    QVERIFY(!SettingsFile::contains(SettingsFile::kLastCheckDate));
}

void tst_WindowChrome::firstUpdateCheckIsNotDue()
{
    const QDate today = QDate::currentDate();
    window->updateTimer();
    QVERIFY(!windowTimer(window, "updateCheckTimer")->isActive());
    QCOMPARE(SettingsFile::value(SettingsFile::kUpdateCycle).toInt(), 0);
    QCOMPARE(SettingsFile::value(SettingsFile::kLastCheck).toInt(), today.dayOfYear());
    QCOMPARE(SettingsFile::value(SettingsFile::kLastCheckDate).toString(),
             today.toString(Qt::ISODate));
    QVERIFY(updateToolRun(500).isEmpty());
}

void tst_WindowChrome::updateCheckDueAfterItsCycle()
{
    const QDate today = QDate::currentDate();
    const QDate yesterday = today.addDays(-1);
    SettingsFile::setValue(SettingsFile::kUpdateCycle, 0);
    SettingsFile::setValue(SettingsFile::kLastCheck, yesterday.dayOfYear());
    SettingsFile::setValue(SettingsFile::kLastCheckDate, yesterday.toString(Qt::ISODate));
    window->updateTimer();
    QCOMPARE(updateToolRun(kProcessTimeoutMs).value(7), QStringLiteral("2.1.2.367"));
    QCOMPARE(SettingsFile::value(SettingsFile::kLastCheck).toInt(), today.dayOfYear());
    QCOMPARE(SettingsFile::value(SettingsFile::kLastCheckDate).toString(),
             today.toString(Qt::ISODate));
}

void tst_WindowChrome::olderFileDayOfYearAcrossNewYear()
{
    // An older file: the day of the year alone. Eight days back lies in the
    // last year during the first week of January and still counts.
    const QDate today = QDate::currentDate();
    SettingsFile::setValue(SettingsFile::kUpdateCycle, 1);
    SettingsFile::setValue(SettingsFile::kLastCheck, today.addDays(-8).dayOfYear());
    window->updateTimer();
    QVERIFY(!updateToolRun(kProcessTimeoutMs).isEmpty());
    QCOMPARE(SettingsFile::value(SettingsFile::kLastCheck).toInt(), today.dayOfYear());

    // A hand-edited cycle that names none is read as every day, not as a
    // stray table entry.
    QFile::remove(argumentsFile);
    SettingsFile::setValue(SettingsFile::kUpdateCycle, 12);
    SettingsFile::setValue(SettingsFile::kLastCheckDate, today.addDays(-1).toString(Qt::ISODate));
    SettingsFile::setValue(SettingsFile::kLastCheck, today.addDays(-1).dayOfYear());
    window->updateTimer();
    QVERIFY(!updateToolRun(kProcessTimeoutMs).isEmpty());
    QCOMPARE(SettingsFile::value(SettingsFile::kUpdateCycle).toInt(), 12);
}

void tst_WindowChrome::updateCheckSwitchedOff()
{
    SettingsFile::setValue(SettingsFile::kUpdateEnabled, false);
    SettingsFile::setValue(SettingsFile::kLastCheck, 1);
    window->updateTimer();
    // The schedule is not looked at: nothing of it is written.
    QVERIFY(!SettingsFile::contains(SettingsFile::kLastCheckDate));
    QVERIFY(!SettingsFile::contains(SettingsFile::kUpdateCycle));
    QCOMPARE(SettingsFile::value(SettingsFile::kLastCheck).toInt(), 1);
    QVERIFY(updateToolRun(500).isEmpty());
}

void tst_WindowChrome::closeWithEmptyListDoesNotAsk()
{
    fillTemporaryFolder();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    // The question would be asked, modal, before the click returns.
    bool asked = false;
    QTimer answerer;
    connect(&answerer, &QTimer::timeout, &answerer, [&asked] {
        if (auto *dialog = qobject_cast<exitDialog *>(QApplication::activeModalWidget())) {
            asked = true;
            dialog->reject();
        }
    });
    answerer.start(20);
    window->on_closeAll_clicked();
    answerer.stop();
    QVERIFY(!asked);
    QVERIFY(!window->isVisible());

    // Only the program's own folder went; its parent and sibling stayed.
    // The close hands the folder to the worker.
    QVERIFY(OwnFilesWorker::instance().waitUntilIdle(kProcessTimeoutMs));
    QVERIFY(!QDir(Platform::tempDir()).exists());
    QVERIFY(QDir(QFileInfo(Platform::tempDir()).absolutePath()).exists());
    QVERIFY(QFile::exists(Platform::handoffDir() + QStringLiteral("/keep")));
    // So did the scripts of another copy that still runs.
    QVERIFY(QFile::exists(otherCopyScript()));
}

void tst_WindowChrome::closeWithRowsAsks_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("closes");
    QTest::newRow("OK") << "OKpushButton" << true;
    QTest::newRow("Cancel") << "CancelpushButton" << false;
    QTest::newRow("title close") << "closeButton" << false;
}

void tst_WindowChrome::closeWithRowsAsks()
{
    QFETCH(QString, answer);
    QFETCH(bool, closes);
    fillTemporaryFolder();
    new QTreeWidgetItem(ui()->treeWidget, QStringList({QString(), QStringLiteral("a.mp4")}));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));

    bool asked = false;
    whenModalOpens<exitDialog>([&asked, answer](exitDialog *dialog) {
        asked = true;
        QTest::mouseClick(dialog->findChild<QAbstractButton *>(answer), Qt::LeftButton);
    });
    window->on_closeAll_clicked();
    QVERIFY(asked);
    QCOMPARE(window->isVisible(), !closes);
    // The close hands the folder to the worker.
    QVERIFY(OwnFilesWorker::instance().waitUntilIdle(kProcessTimeoutMs));
    QCOMPARE(QFile::exists(Platform::tempDir() + QStringLiteral("/avsifile0.avs")), !closes);
    QCOMPARE(ui()->treeWidget->topLevelItemCount(), 1);
}

void tst_WindowChrome::closeEndsEditorTool()
{
    openSleepingEditor();
    window->show();
    window->close();
    QTRY_VERIFY_WITH_TIMEOUT(!window->editorSession().isOpen(), kProcessTimeoutMs);
}

void tst_WindowChrome::closeShutsThePreviewDown()
{
    const QString path = clip(QStringLiteral("av.mp4"));
    QVERIFY(QFile::exists(path));
    window->show();
    QCOMPARE(playFile(path, QSize(297, 237)), 0);
    QTRY_VERIFY_WITH_TIMEOUT(isPlayerOpen(), kProcessTimeoutMs);
    QTimer *poll = windowTimer(window, "previewPollTimer");
    poll->start(300);
    window->close();
    // The player is gone and the close went on: no exit from inside it.
    QVERIFY(!isPlayerOpen());
    QVERIFY(!isPlayerRunning());
    QVERIFY(!poll->isActive());
    QVERIFY(!window->isVisible());
}

void tst_WindowChrome::everyCloseAsksFirst_data()
{
    QTest::addColumn<bool>("fromDesktop");
    QTest::newRow("Ctrl+X") << false;
    // Alt+F4, the task bar's Close: the window manager's close request.
    QTest::newRow("desktop") << true;
}

void tst_WindowChrome::everyCloseAsksFirst() {
    QFETCH(bool, fromDesktop);
    fillTemporaryFolder();
    new QTreeWidgetItem(ui()->treeWidget, QStringList({QString(), QStringLiteral("a.mp4")}));
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    // A transcoder at work, as in a run.
    window->conversion().job().start(QStringLiteral("sh"),
                                     {QStringLiteral("-c"), QStringLiteral("sleep 30")});
    QTRY_COMPARE_WITH_TIMEOUT(window->conversion().job().process().state(), QProcess::Running,
                              kProcessTimeoutMs);

    // The shortcut its menu entry shows takes the close button's way: the
    // question first, while a file is listed. (In a text field it cuts.)
    ui()->treeWidget->setFocus(Qt::OtherFocusReason);
    const auto askToClose = [this, fromDesktop] {
        if (fromDesktop) {
            QCloseEvent request;
            QCoreApplication::sendEvent(window->windowHandle(), &request);
        } else {
            QTest::keyClick(window, Qt::Key_X, Qt::ControlModifier);
        }
    };
    // The keys a hurried user presses at once keep everything; only OK ends.
    const QList<int> keys = {Qt::Key_Return, Qt::Key_Space, 0};
    for (const int key : keys) {
        bool asked = false;
        whenModalOpens<exitDialog>([&asked, key](exitDialog *dialog) {
            asked = true;
            if (key)
                QTest::keyClick(dialog->focusWidget() ? dialog->focusWidget() : dialog,
                                Qt::Key(key));
            else
                QTest::mouseClick(dialog->findChild<QAbstractButton *>("OKpushButton"),
                                  Qt::LeftButton);
        });
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        askToClose();
        QTRY_VERIFY_WITH_TIMEOUT(asked, kProcessTimeoutMs);
        if (key) {
            // Nothing ended, nothing was emptied.
            QVERIFY(!QApplication::activeModalWidget());
            QVERIFY(window->isVisible());
            QCOMPARE(window->conversion().job().process().state(), QProcess::Running);
            QVERIFY(QFile::exists(Platform::tempDir() + QStringLiteral("/avsifile0.avs")));
        }
    }
    // The close handling ran.
    QTRY_VERIFY(!window->isVisible());
    // The close hands the folder to the worker.
    QVERIFY(OwnFilesWorker::instance().waitUntilIdle(kProcessTimeoutMs));
    QVERIFY(!QDir(Platform::tempDir()).exists());
}

QTEST_MAIN(tst_WindowChrome)
#include "tst_windowchrome.moc"
