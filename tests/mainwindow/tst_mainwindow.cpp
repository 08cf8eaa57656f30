#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSettings>
#include <QSlider>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include "app/version.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/settingsfile.h"
#include "platform/platform.h"
#include "ui_mainwindow.h"

// The main window as its constructor leaves it, and the switches that other
// parts of the program use to lock and unlock groups of controls.
class tst_MainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void windowIsFramelessAndFixed();
    void constructionHidesAndDisables();
    void fileListColumns();
    void menusAndFormats();
    void onlyTheUpdateTimerRuns();
    void productRecordAndFolders();
    void settingsFoldersWinOverDefaults();
    void garbageSettingsReadAsDefaults();
    void brokenSkinPictureDoesNotCrash();
    void pluginDiscoveryOrder();
    void controlSwitchesTouchExactSets();
    void jobControlsOffResetSlider();
    void resetFileTreeFlagsKeepsChecks();

private:
    void makeInstallation(const QString &path);
    Ui::MainWindow *ui() { return window->form(); }

    QTemporaryDir *install = nullptr;
    MainWindow *window = nullptr;
};

void tst_MainWindow::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QLatin1String(kOrganizationName));
    QCoreApplication::setApplicationName(QLatin1String(kProductName));
}

void tst_MainWindow::makeInstallation(const QString &path)
{
    // The staged installation when it is there, else a bare folder.
    const QString stage = qEnvironmentVariable("QUILLORA_STAGE_DIR");
    QDir(path).mkpath(QStringLiteral("skins/default"));
    QDir(path).mkpath(QStringLiteral("plugins"));
    QDir(path).mkpath(QStringLiteral("images"));
    QDir(path).mkpath(QStringLiteral("profile"));
    for (const QString &sub : {QStringLiteral("skins/default"), QStringLiteral("images"),
                               QStringLiteral("profile")}) {
        const QDir from(stage + QLatin1Char('/') + sub);
        for (const QString &name : from.entryList(QDir::Files))
            QFile::copy(from.filePath(name), path + QLatin1Char('/') + sub + QLatin1Char('/') + name);
    }
}

void tst_MainWindow::init()
{
    install = new QTemporaryDir;
    QVERIFY(install->isValid());
    makeInstallation(install->path());
    Platform::setInstallDir(install->path());
    QDir::setCurrent(install->path());
    QFile::remove(Platform::settingsFile());
}

void tst_MainWindow::cleanup()
{
    delete window;
    window = nullptr;
    QDir::setCurrent(QDir::rootPath());
    Platform::setInstallDir(QString());
    delete install;
    install = nullptr;
}

void tst_MainWindow::windowIsFramelessAndFixed()
{
    window = new MainWindow;
    QVERIFY(window->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(window->minimumSize(), QSize(860, 600));
    QCOMPARE(window->maximumSize(), QSize(860, 600));
    QCOMPARE(window->windowTitle(), QStringLiteral("Quillora"));
    QCOMPARE(ui()->labeltext->text(), QStringLiteral("Quillora"));
}

void tst_MainWindow::constructionHidesAndDisables()
{
    window = new MainWindow;
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));

    for (QWidget *hidden : QList<QWidget *>{
             ui()->textEdit, ui()->pushButton_2, ui()->MoveDownButton, ui()->MoveUpButton,
             ui()->DelFile, ui()->CleanFile, ui()->menuBar, ui()->pushButton_3, ui()->mainToolBar,
             ui()->toolButton, ui()->PauseContinue, ui()->MovieWidget, ui()->unMuteButton,
             ui()->PauseButton, ui()->tableWidget})
        QVERIFY2(!hidden->isVisible(), qPrintable(hidden->objectName()));
    for (QWidget *disabled : QList<QWidget *>{
             ui()->editVideo, ui()->editVideo_Trim, ui()->editVideo_Effect, ui()->frameBackPic,
             ui()->StopConvertePushButton, ui()->PausePushButton, ui()->widgetTryMovie,
             ui()->StopButton, ui()->captureButton, ui()->ConvertePushButton})
        QVERIFY2(!disabled->isEnabled(), qPrintable(disabled->objectName()));
    QVERIFY(ui()->frameBackPic->isVisible());
    QCOMPARE(ui()->labelTime->text(), QStringLiteral("00:00:00 / 00:00:00"));
    QCOMPARE(ui()->labelFileName->text(), QString());
    QVERIFY(!window->previewStepped);
    QVERIFY(window->hasVideo && window->audioOnly);
    QCOMPARE(window->jobNumber, 0);
}

void tst_MainWindow::fileListColumns()
{
    window = new MainWindow;
    QTreeWidget *list = ui()->treeWidget;
    QCOMPARE(list->columnCount(), 9);
    QCOMPARE(list->size(), QSize(509, 305));
    QCOMPARE(list->pos(), QPoint(15, 97));
    QVERIFY(list->isColumnHidden(7));
    QVERIFY(list->isColumnHidden(8));
    QCOMPARE(list->headerItem()->text(1), QStringLiteral("Name"));
    QCOMPARE(list->headerItem()->text(6), QStringLiteral("Output File"));
    QCOMPARE(list->columnWidth(0), 40);
    QCOMPARE(list->header()->sectionResizeMode(0), QHeaderView::Fixed);
    QCOMPARE(list->contextMenuPolicy(), Qt::CustomContextMenu);
    QCOMPARE(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    QVERIFY(window->checkAllBox);
    QCOMPARE(window->checkAllBox->checkState(), Qt::Checked);
}

void tst_MainWindow::menusAndFormats()
{
    window = new MainWindow;
    QStringList entries;
    for (QAction *action : ui()->sysInfo->menu()->actions())
        entries << (action->isSeparator() ? QStringLiteral("-") : action->text());
    QCOMPARE(entries, QStringList({"&Support", "&Homepage", "-", "Pre&ference",
                                   "&Check update...", "-", "&About"}));

    const QList<QAction *> formats = window->fileFormatMenu->actions();
    QCOMPARE(formats.size(), 6);
    QStringList checked;
    for (QAction *action : formats)
        if (action->isChecked())
            checked << action->text();
    QCOMPARE(checked, QStringList({"BMP"}));
    QCOMPARE(formats.at(0)->text(), QStringLiteral("TIFF"));
    QCOMPARE(formats.at(5)->text(), QStringLiteral("JPG(Low Quality)"));
    QCOMPARE(window->snapshotSuffix, QStringLiteral(".bmp"));
    QCOMPARE(window->snapshotFormatIndex, 1);

    QStringList snapshotEntries;
    for (QAction *action : ui()->setCaptureButton->menu()->actions())
        snapshotEntries << (action->isSeparator() ? QStringLiteral("-") : action->text());
    QCOMPARE(snapshotEntries, QStringList({"S&et Snapshot Folder", "Ope&n Snapshot Folder", "-",
                                           "Se&t File Format"}));
}

void tst_MainWindow::onlyTheUpdateTimerRuns()
{
    window = new MainWindow;
    QVERIFY(window->updateCheckTimer.isActive());
    QCOMPARE(window->updateCheckTimer.interval(), 11000);
    for (QTimer *timer : {&window->previewPollTimer, &window->stopDelayTimer, &window->openTimer,
                          &window->repaintTimer, &window->shutdownTimer, &window->jobTimer,
                          &window->uiPollTimer})
        QVERIFY(!timer->isActive());
    QCOMPARE(window->transcoderProcess.state(), QProcess::NotRunning);
}

void tst_MainWindow::productRecordAndFolders()
{
    {
        QSettings record{QString::fromLatin1(kOrganizationName), QString::fromLatin1(kProductName)};
        record.setValue(QStringLiteral("ver"), QStringLiteral("0.0"));
    }
    window = new MainWindow;
    QSettings record{QString::fromLatin1(kOrganizationName), QString::fromLatin1(kProductName)};
    QCOMPARE(record.value(QStringLiteral("product")).toString(), QStringLiteral("Quillora"));
    QCOMPARE(record.value(QStringLiteral("ver")).toString(), QStringLiteral("2.1.2.367"));
    QVERIFY(QDir(SettingsFile::defaultOutputFolder()).exists());
    QVERIFY(QDir(SettingsFile::defaultSnapshotFolder()).exists());
    QCOMPARE(ui()->PathLine->text(), SettingsFile::defaultOutputFolder());
    QCOMPARE(window->snapshotFolder, SettingsFile::defaultSnapshotFolder());
    QCOMPARE(window->lastAddFolder, Platform::desktopDir());
}

void tst_MainWindow::settingsFoldersWinOverDefaults()
{
    SettingsFile::setValue(SettingsFile::kOutput, QStringLiteral("/srv/films"));
    SettingsFile::setValue(SettingsFile::kSnapshot, QStringLiteral("/srv/pictures/"));
    SettingsFile::setValue(SettingsFile::kFolder, QStringLiteral("/srv/incoming"));
    window = new MainWindow;
    QCOMPARE(ui()->PathLine->text(), QStringLiteral("/srv/films"));
    QCOMPARE(window->snapshotFolder, QStringLiteral("/srv/pictures/"));
    QCOMPARE(window->lastAddFolder, QStringLiteral("/srv/incoming"));
    // The default folders are made all the same.
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
    QCOMPARE(window->snapshotFolder, SettingsFile::defaultSnapshotFolder());
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

    window->setMainControlsEnabled(false);
    window->setJobControlsEnabled(true);

    const QStringList stayOff = {"editVideo",  "editVideo_Trim", "editVideo_Effect",
                                 "AddFile",    "treeWidget",     "PauseContinue",
                                 "volumeHSlider", "unMuteButton", "MuteButton"};
    for (const QString &name : stayOff) {
        auto *widget = window->findChild<QWidget *>(name);
        QVERIFY2(widget && !widget->isEnabled(), qPrintable(name));
    }
    const QStringList on = {"ConvertePushButton", "label_pic", "ProfileDetails", "ProfileDevice",
                            "groupBox", "groupBox_2", "label_12", "progressAll", "PathLine",
                            "label_13", "widgetSetting", "DelFile", "CleanFile", "PauseButton",
                            "PlayButton", "PreviousButton", "NextButton", "horizontalSlider",
                            "MoveDownButton", "MoveUpButton", "DeleteButton", "DeleteAllButton"};
    for (const QString &name : on) {
        auto *widget = window->findChild<QWidget *>(name);
        QVERIFY2(widget && widget->isEnabled(), qPrintable(name));
    }
    // Nothing outside the two lists was touched.
    QVERIFY(ui()->StopButton->isEnabled());
    QVERIFY(ui()->browsePushButton->isEnabled());
}

void tst_MainWindow::jobControlsOffResetSlider()
{
    window = new MainWindow;
    ui()->horizontalSlider->setValue(40);
    window->setJobControlsEnabled(true);
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

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
