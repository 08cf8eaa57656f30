#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScopeGuard>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTreeWidget>
#include <QtTest>

#include "../support/smalldisk.h"
#include "filelist/addflow.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/settingsfile.h"
#include "ui_mainwindow.h"
#include "windowtestsupport.h"

using namespace WindowTestSupport;

// The main window as its constructor leaves it, and the switches that other
// parts of the program use to lock and unlock groups of controls.
class tst_MainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void constructionLeavesTheWindowIdle();
    void hiddenLogKeepsTheLatestLinesOnly();
    void productRecordAndFolders();
    void settingsFoldersWinOverDefaults();
    void garbageSettingsReadAsDefaults();
    void damagedSettingsKeepEveryValidKey();
    void unsavableSettingsAreToldOnce();
    void fullDiskKeepsTheOldSettings();
    void brokenSkinPictureDoesNotCrash();
    void pluginDiscoveryOrder();
    void controlSwitchesTouchExactSets();
    void resetFileTreeFlagsKeepsChecks();

private:
    Ui::MainWindow *ui() { return window->form(); }
    // Where the open dialog starts, as it shows it.
    QString openDialogFolder();
    // Types into Destination as a user does, and ends the typing with Return.
    void typeOutputFolder(const QString &folder);

    QTemporaryDir *install = nullptr;
    MainWindow *window = nullptr;
    SmallDisk disk;
    bool smallConfigDisk = false;
};

void tst_MainWindow::initTestCase()
{
    actAsTheProgram();
    // Before any thread of the program: a thread sees the mounts of the
    // thread that made it.
    smallConfigDisk = disk.mount(Platform::configDir());
}

void tst_MainWindow::init()
{
    install = new QTemporaryDir;
    QVERIFY(install->isValid());
    copyInstallation(install->path());
    useInstallation(install->path());
}

void tst_MainWindow::cleanup()
{
    delete window;
    window = nullptr;
    leaveInstallation();
    delete install;
    install = nullptr;
}

QString tst_MainWindow::openDialogFolder()
{
    QString shown;
    whenModalOpens<QFileDialog>([&shown](QFileDialog *dialog) {
        shown = dialog->directory().absolutePath();
        dialog->reject();
    });
    window->on_actionOpen_triggered();
    return shown;
}

void tst_MainWindow::typeOutputFolder(const QString &folder)
{
    QLineEdit *field = ui()->PathLine;
    field->selectAll();
    QTest::keyClicks(field, folder);
    QTest::keyClick(field, Qt::Key_Return);
}

void tst_MainWindow::constructionLeavesTheWindowIdle()
{
    window = new MainWindow;
    QVERIFY(window->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(window->windowTitle(), QStringLiteral("Quillora"));
    QVERIFY(window->acceptDrops());
    // Only the update check is waiting; nothing runs.
    QVERIFY(windowTimer(window, "updateCheckTimer")->isActive());
    for (const char *idle : {"previewPollTimer", "stopDelayTimer", "openTimer", "repaintTimer",
                             "shutdownTimer", "uiPollTimer"})
        QVERIFY2(!windowTimer(window, idle)->isActive(), idle);
    QVERIFY(!window->conversion().findChild<QTimer *>(QStringLiteral("jobTimer"))->isActive());
    QVERIFY(!window->conversion().job().isRunning());

    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QCOMPARE(window->size(), QSize(860, 600));

    for (QWidget *hidden : QList<QWidget *>{
             ui()->textEdit, ui()->pushButton_2, ui()->MoveDownButton, ui()->MoveUpButton,
             ui()->DelFile, ui()->CleanFile, ui()->menuBar, ui()->pushButton_3, ui()->mainToolBar,
             ui()->toolButton, ui()->PauseContinue, ui()->MovieWidget, ui()->unMuteButton,
             ui()->PauseButton, ui()->tableWidget})
        QVERIFY2(!hidden->isVisible(), qPrintable(hidden->objectName()));
    // Nothing to convert, edit or play until a file is added.
    for (QWidget *disabled : QList<QWidget *>{
             ui()->editVideo, ui()->editVideo_Trim, ui()->editVideo_Effect, ui()->frameBackPic,
             ui()->StopConvertePushButton, ui()->PausePushButton, ui()->widgetTryMovie,
             ui()->StopButton, ui()->captureButton, ui()->ConvertePushButton})
        QVERIFY2(!disabled->isEnabled(), qPrintable(disabled->objectName()));
    QVERIFY(ui()->frameBackPic->isVisible());
    // The output folder can be chosen before any file is added, in its field
    // as with Browse, also once the list's poll has looked at the empty list.
    QVERIFY(ui()->PathLine->isEnabled() && ui()->browsePushButton->isEnabled());
    window->checkTimer();
    QVERIFY(ui()->PathLine->isEnabled() && ui()->browsePushButton->isEnabled());
    QCOMPARE(ui()->labelTime->text(), QStringLiteral("00:00:00 / 00:00:00"));
    QVERIFY(window->addFlow().probe().hasVideo && window->addFlow().probe().audioOnly);
    QCOMPARE(window->conversion().run().jobNumber(), 0);

    // The list keeps its two data columns out of sight.
    QTreeWidget *list = ui()->treeWidget;
    QCOMPARE(list->columnCount(), 9);
    QVERIFY(list->isColumnHidden(7) && list->isColumnHidden(8));
    QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(window->findChild<QCheckBox *>(QStringLiteral("checkAll"))->checkState(), Qt::Checked);

    // The snapshot format starts at BMP, as the preferences do.
    QStringList checked;
    for (QAction *action : snapshotFormatActions(ui()->setCaptureButton))
        if (action->isChecked())
            checked << action->text();
    QCOMPARE(checked, QStringList({"BMP"}));
    QCOMPARE(window->snapshotChoices().suffix(), QStringLiteral(".bmp"));
    QCOMPARE(window->snapshotChoices().format(), SnapshotChoices::Bmp);
}

void tst_MainWindow::productRecordAndFolders()
{
    {
        QSettings record{QString::fromLatin1(kOrganizationName), QString::fromLatin1(kProductName)};
        record.setValue(QStringLiteral("ver"), QStringLiteral("0.0"));
    }
    window = new MainWindow;
    QVERIFY(SettingsFile::flush());
    QSettings record{QString::fromLatin1(kOrganizationName), QString::fromLatin1(kProductName)};
    QCOMPARE(record.value(QStringLiteral("product")).toString(), QStringLiteral("Quillora"));
    QCOMPARE(record.value(QStringLiteral("ver")).toString(), QStringLiteral("2.1.2.367"));
    QVERIFY(QDir(SettingsFile::defaultOutputFolder()).exists());
    QVERIFY(QDir(SettingsFile::defaultSnapshotFolder()).exists());
    QCOMPARE(ui()->PathLine->text(), SettingsFile::defaultOutputFolder());
    QCOMPARE(window->snapshotChoices().folder(), SettingsFile::defaultSnapshotFolder());
    QVERIFY(QDir().mkpath(Platform::desktopDir()));
    QCOMPARE(openDialogFolder(), Platform::desktopDir());
}

void tst_MainWindow::settingsFoldersWinOverDefaults()
{
    SettingsFile::setValue(SettingsFile::kOutput, QStringLiteral("/srv/films"));
    SettingsFile::setValue(SettingsFile::kSnapshot, QStringLiteral("/srv/pictures/"));
    const QString incoming = install->filePath(QStringLiteral("incoming"));
    QVERIFY(QDir().mkpath(incoming));
    SettingsFile::setValue(SettingsFile::kFolder, incoming);
    window = new MainWindow;
    QCOMPARE(ui()->PathLine->text(), QStringLiteral("/srv/films"));
    QCOMPARE(window->snapshotChoices().folder(), QStringLiteral("/srv/pictures/"));
    QCOMPARE(openDialogFolder(), incoming);
    // The default folders are made all the same.
    QVERIFY(SettingsFile::flush());
    QVERIFY(QDir(SettingsFile::defaultOutputFolder()).exists());
}

void tst_MainWindow::garbageSettingsReadAsDefaults()
{
    QDir().mkpath(Platform::configDir());
    QFile file(Platform::settingsFile());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR[config]\nOutput", 28));
    file.close();
    window = new MainWindow;
    QCOMPARE(ui()->PathLine->text(), SettingsFile::defaultOutputFolder());
    QCOMPARE(window->snapshotChoices().folder(), SettingsFile::defaultSnapshotFolder());
}

void tst_MainWindow::damagedSettingsKeepEveryValidKey()
{
    QDir().mkpath(Platform::configDir());
    QFile file(Platform::settingsFile());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[config]\nOutput=/srv/films\nSnapshot=/srv/pictures/\n[broken\n");
    file.close();
    window = new MainWindow;
    QCOMPARE(ui()->PathLine->text(), QStringLiteral("/srv/films"));
    QCOMPARE(window->snapshotChoices().folder(), QStringLiteral("/srv/pictures/"));
}

void tst_MainWindow::unsavableSettingsAreToldOnce()
{
    // A folder where the file should be: no write can reach it, even as root.
    QVERIFY(QDir().mkpath(Platform::settingsFile()));
    const auto restore = qScopeGuard([] { QDir(Platform::settingsFile()).removeRecursively(); });
    window = new MainWindow;
    QTemporaryDir out;
    typeOutputFolder(out.path());
    SettingsFile::setValue(SettingsFile::kFolder, out.path());
    QVERIFY(!SettingsFile::flush());
    const auto told = [this] {
        int boxes = 0;
        for (const QMessageBox *box : window->findChildren<QMessageBox *>())
            boxes += box->text().contains(QStringLiteral("settings cannot be saved"));
        return boxes;
    };
    QTRY_COMPARE(told(), 1);
    typeOutputFolder(out.path());
    // The window says it at its next turn: every turn due has come.
    QCoreApplication::processEvents();
    QCOMPARE(told(), 1);
}

void tst_MainWindow::fullDiskKeepsTheOldSettings() {
    if (!smallConfigDisk)
        QSKIP("A size-limited folder needs root and a private mount namespace.");
    const auto roomAgain = qScopeGuard([] {
        QFile::remove(Platform::configDir() + QStringLiteral("/filler"));
    });
    SettingsFile::setValue(SettingsFile::kOutput, QStringLiteral("/srv/films"));
    QVERIFY(SettingsFile::flush());
    QFile file(Platform::settingsFile());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray stored = file.readAll();
    file.close();
    // One block left: the first file made on the way takes it.
    QVERIFY(disk.fillUpTo(1));
    window = new MainWindow;
    QCOMPARE(ui()->PathLine->text(), QStringLiteral("/srv/films"));
    QTemporaryDir out;
    typeOutputFolder(out.path());
    QTRY_VERIFY(!window->findChildren<QMessageBox *>().isEmpty());
    QVERIFY(window->findChildren<QMessageBox *>().first()->text().contains(
        QStringLiteral("settings cannot be saved")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), stored);
}

void tst_MainWindow::brokenSkinPictureDoesNotCrash()
{
    QFile picture(QStringLiteral("skins/default/background.png"));
    QVERIFY(picture.open(QIODevice::WriteOnly | QIODevice::Truncate));
    picture.write("not a picture at all");
    picture.close();
    window = new MainWindow;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QCOMPARE(window->size(), QSize(860, 600));
}

void tst_MainWindow::pluginDiscoveryOrder()
{
    const QString plugins = install->path() + QStringLiteral("/plugins");
    QDir(plugins).removeRecursively();
    QDir().mkpath(plugins + QStringLiteral("/sub"));
    for (const char *name : {"B.dll", "a.avsi", "c.txt", "sub/inner.dll"}) {
        QFile file(plugins + QLatin1Char('/') + QLatin1String(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    window = new MainWindow;
    QCOMPARE(window->avsImportPath, plugins + QStringLiteral("/a.avsi"));
    QCOMPARE(window->avsPluginPath, plugins + QStringLiteral("/B.dll"));
    QCOMPARE(window->avsHeaderPath, install->path() + QStringLiteral("/HEADER.avs"));
    const QString log = ui()->textEdit->toPlainText();
    QVERIFY(log.contains(QStringLiteral("c.txt")));
    QVERIFY(!log.contains(QStringLiteral("inner.dll")));
}

void tst_MainWindow::controlSwitchesTouchExactSets()
{
    window = new MainWindow;
    const QList<QWidget *> all = window->findChildren<QWidget *>();
    for (QWidget *widget : all)
        widget->setEnabled(true);
    ui()->horizontalSlider->setValue(40);

    window->setMainControlsEnabled(false);
    window->setJobControlsEnabled(true);

    const QStringList stayOff = {"editVideo", "editVideo_Trim", "editVideo_Effect", "AddFile",
                                 "treeWidget", "PauseContinue", "volumeHSlider", "unMuteButton",
                                 "MuteButton", "PathLine", "browsePushButton"};
    for (const QString &name : stayOff) {
        auto *widget = window->findChild<QWidget *>(name);
        QVERIFY2(widget && !widget->isEnabled(), qPrintable(name));
    }
    const QStringList on = {"ConvertePushButton", "label_pic", "ProfileDetails", "ProfileDevice",
                            "groupBox", "groupBox_2", "label_12", "progressAll",
                            "label_13", "widgetSetting", "DelFile", "CleanFile", "PauseButton",
                            "PlayButton", "PreviousButton", "NextButton", "horizontalSlider",
                            "MoveDownButton", "MoveUpButton", "DeleteButton", "DeleteAllButton"};
    for (const QString &name : on) {
        auto *widget = window->findChild<QWidget *>(name);
        QVERIFY2(widget && widget->isEnabled(), qPrintable(name));
    }
    // Nothing outside the two lists was touched.
    QVERIFY(ui()->StopButton->isEnabled());

    // Switching the job controls on keeps the preview position; off resets it.
    QCOMPARE(ui()->horizontalSlider->value(), 40);
    window->setJobControlsEnabled(false);
    QCOMPARE(ui()->horizontalSlider->value(), 0);
}

void tst_MainWindow::resetFileTreeFlagsKeepsChecks()
{
    window = new MainWindow;
    auto *row = new QTreeWidgetItem(ui()->treeWidget);
    row->setFlags(Qt::ItemFlags(51));
    row->setCheckState(0, Qt::Checked);
    window->resetFileTreeFlags();
    QCOMPARE(int(row->flags()), 49);
    QCOMPARE(row->checkState(0), Qt::Checked);
}

void tst_MainWindow::hiddenLogKeepsTheLatestLinesOnly()
{
    // Every file added or converted writes the transcoder's text into the
    // hidden log: a session of thousands of files must not keep it all.
    window = new MainWindow;
    constexpr int kLines = 8000;
    for (int line = 0; line < kLines; ++line)
        ui()->textEdit->append(QStringLiteral("Input #0, mov,mp4 from 'clip%1.mp4':").arg(line));
    QVERIFY(ui()->textEdit->document()->blockCount() < kLines / 2);
    QVERIFY(ui()->textEdit->toPlainText().endsWith(QStringLiteral("clip7999.mp4':")));
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
