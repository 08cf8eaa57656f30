#include "mainwindow.h"

#include "ui_mainwindow.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDate>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QSettings>
#include <QToolButton>
#include <QTreeWidget>

#include "app/focusmark.h"
#include "app/skin.h"
#include "app/version.h"
#include "app/windowdrag.h"
#include "conversion/avsplugins.h"
#include "conversion/argumentlist.h"
#include "conversion/avsscript.h"
#include "conversion/editedscript.h"
#include "conversion/editoranswer.h"
#include "conversion/effectscale.h"
#include "conversion/jobpreparation.h"
#include "conversion/rowjobbuilder.h"
#include "conversion/suspenderlisting.h"
#include "conversion/timetext.h"
#include "conversion/tooltext.h"
#include "filelist/filelistrules.h"
#include "filelist/filerow.h"
#include "filelist/outputpaths.h"
#include "filelist/processwait.h"
#include "filelist/rowcheckkey.h"
#include "filelist/takenpaths.h"
#include "filelist/statuscell.h"
#include "mainwindow/exitdialog.h"
#include "mainwindow/folderpath.h"
#include "mainwindow/maxdriverdialog.h"
#include "mainwindow/preferencedialog.h"
#include "mainwindow/settingsfile.h"
#include "mainwindow/temppurge.h"
#include "mainwindow/updateschedule.h"
#include "platform/platform.h"
#include "player/previewplayer.h"
#include "profiles/optionrules.h"
#include "profiles/profilecatalogue.h"
#include "profiles/profileloader.h"
#include "profiles/typedoptionguard.h"
#include "settingsdialog/scriptparameters.h"
#include "settingsdialog/settingsreplay.h"

namespace {

constexpr int kUpdateCheckDelayMs = 11000;

// Conversion runs.
constexpr int kJobTickMs = 100;
constexpr int kPollNowMs = 100;
constexpr int kPollAfterStopMs = 500;
constexpr int kShutdownDelayMs = 500;
constexpr int kToolTimeoutMs = 30000;
constexpr int kPercentMax = 100;
// Below this many free bytes on the output drive a write failure means a full disk.
constexpr qint64 kDiskFullBytes = 5 * 1024;
constexpr int kShutDownAfterRun = 1;
const QString kTranscoderName = QStringLiteral("korvex");
const QString kSuspenderName = QStringLiteral("haltwick");

// The check box in the file list's header, in the skin's pictures.
const char kCheckAllStyle[] =
    "QCheckBox::indicator:indeterminate{image:url(skins/default/checkbox_indeterminate.png);}"
    "QCheckBox::indicator:indeterminate:disabled{image:url(skins/default/"
    "checkbox_indeterminate_d.png);}"
    "QCheckBox::indicator:unchecked{image:url(skins/default/checkbox_unchecked.png);}"
    "QCheckBox::indicator:unchecked:hover{image:url(skins/default/checkbox_unchecked_h.png);}"
    "QCheckBox::indicator:unchecked:pressed{image:url(skins/default/checkbox_unchecked_p.png);}"
    "QCheckBox::indicator:unchecked:disabled{image:url(skins/default/checkbox_unchecked_d.png);}"
    "QCheckBox::indicator:checked{image:url(skins/default/checkbox_checked.png);}"
    "QCheckBox::indicator:checked:hover{image:url(skins/default/checkbox_checked_h.png);}"
    "QCheckBox::indicator:checked:pressed{image:url(skins/default/checkbox_checked_p.png);}"
    "QCheckBox::indicator:checked:disabled{image:url(skins/default/checkbox_checked_d.png);}";

// Creates a folder when it is missing. A fresh Linux account need not have a
// documents folder yet, so the whole path is made. A failure is met later by
// whoever uses the folder.
void makeFolder(const QString &path)
{
    QDir dir;
    if (!dir.exists(path))
        dir.mkpath(path);
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    connect(&transcoderProcess, &QProcess::readyReadStandardOutput, this,
            &MainWindow::outputCommand);
    connect(&transcoderProcess, &QProcess::readyReadStandardError, this,
            &MainWindow::outputCommand);
    connect(&jobTimer, &QTimer::timeout, this, &MainWindow::slotTimer);
    connect(&transcoderProcess, &QProcess::finished, this, &MainWindow::transcoderFinished);
    connect(&transcoderProcess, &QProcess::errorOccurred, this, &MainWindow::transcoderFailed);
    connect(&uiPollTimer, &QTimer::timeout, this, &MainWindow::checkTimer);
    connect(&openTimer, &QTimer::timeout, this, &MainWindow::opentime);
    connect(&probePool, &ProbePool::progressed, this, &MainWindow::showProbeProgress);

    setWindowFlags(Qt::FramelessWindowHint);
    ui->setupUi(this);
    connect(ui->ProfileDevice, &QComboBox::textActivated, this,
            &MainWindow::on_ProfileDevice_activated);
    connect(ui->VBitrate, &QComboBox::textActivated, this, &MainWindow::on_VBitrate_activated);
    connect(ui->Vaspect, &QComboBox::textActivated, this, &MainWindow::on_Vaspect_activated);
    new TypedOptionGuard(ui->VSize, [this](const QString &typed) {
        return OptionRules::typedVideoSize(typed, ui->Vcodec->currentText());
    });
    new TypedOptionGuard(ui->VBitrate, OptionRules::typedVideoBitrate);
    // The folder in use is the one the program last put into the field; a
    // folder the user types counts once typing is over (Return, or leaving
    // the field).
    connect(ui->PathLine, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (!ui->PathLine->isModified())
            outputFolderInUse = text;
    });
    connect(ui->PathLine, &QLineEdit::editingFinished, this, &MainWindow::applyTypedOutputFolder);
    // The menu bar that shows these shortcuts is hidden, and a hidden menu's
    // shortcuts do nothing: the window itself carries them. Del stays with
    // the window's own key handling.
    addActions({ui->actionOpen, ui->actionExit_X});
    new FocusMark(this);
    ui->textEdit->setVisible(false);
    ui->pushButton_2->setVisible(false);
    ui->MoveDownButton->setVisible(false);
    ui->MoveUpButton->setVisible(false);

    {
        // The product record that installers and other tools look for.
        QSettings record{QString::fromLatin1(kOrganizationName), QString::fromLatin1(kProductName)};
        record.setValue(QStringLiteral("product"), QLatin1String(kProductName));
        record.setValue(QStringLiteral("ver"), QLatin1String(kProductVersion));
    }

    const QString home = SettingsFile::defaultHomeFolder();
    makeFolder(home);
    makeFolder(SettingsFile::defaultOutputFolder());
    ui->PathLine->setText(SettingsFile::defaultOutputFolder());
    makeFolder(SettingsFile::defaultSnapshotFolder());
    snapshotFolder = SettingsFile::defaultSnapshotFolder();
    jobNumber = 0;
    totalSeconds = 0;
    currentFileSeconds = 0;
    doneSeconds = 0;

    buildSystemMenu();

    setWindowTitle(QLatin1String(kProductName));
    ui->labeltext->setText(QLatin1String(kProductName));

    fillDeviceCombo();
    on_ProfileDevice_activated(QStringLiteral("General Video"));
    on_ProfileDetails_activated(0);
    hasVideo = true;
    audioOnly = true;
    setJobControlsEnabled(false);
    ui->editVideo->setEnabled(false);
    ui->editVideo_Trim->setEnabled(false);
    ui->editVideo_Effect->setEnabled(false);
    ui->frameBackPic->setEnabled(false);
    ui->frameBackPic->setVisible(true);
    ui->StopConvertePushButton->setEnabled(false);
    ui->PausePushButton->setEnabled(false);

    ui->PathLine->setText(
        SettingsFile::value(SettingsFile::kOutput, SettingsFile::defaultOutputFolder()).toString());
    snapshotFolder =
        SettingsFile::value(SettingsFile::kSnapshot, SettingsFile::defaultSnapshotFolder())
            .toString();

    updateDevicePicture(0);
    ui->DelFile->setVisible(false);
    ui->CleanFile->setVisible(false);
    ui->menuBar->setVisible(false);
    ui->pushButton_3->setVisible(false);
    ui->mainToolBar->setVisible(false);
    ui->toolButton->setVisible(false);
    ui->PauseContinue->setVisible(false);
    ui->MovieWidget->setVisible(false);
    ui->widgetTryMovie->setEnabled(false);
    ui->labelTime->setText(QStringLiteral("00:00:00 / 00:00:00"));
    ui->labelFileName->setText(QString());
    previewStepped = false;

    Skin::apply(this, QStringLiteral("skins/default/background.png"), Skin::KeepSize);

    ui->StopButton->setEnabled(false);
    ui->captureButton->setEnabled(false);
    ui->unMuteButton->setVisible(false);
    ui->PauseButton->setVisible(false);

    buildSnapshotMenu();

    updateCheckTimer.stop();
    connect(&updateCheckTimer, &QTimer::timeout, this, &MainWindow::updateTimer);
    updateCheckTimer.start(kUpdateCheckDelayMs);

    connect(&previewPollTimer, &QTimer::timeout, this, &MainWindow::scanTimer);

    playStopFlag = 0;
    ui->MovieWidget->setAttribute(Qt::WA_MouseTracking);
    // The preview's pictures are painted by us; SDL serves its sound only.
    // Without a sound device the preview still shows pictures, silently: the
    // player says so once, when a preview first wants its sound.
    initPreviewAudio();
    PlayerController *player = PlayerController::instance();
    connect(player, &PlayerController::playerMessage, this, &MainWindow::showPlayerMessage);
    connect(player, &PlayerController::playerFailed, this, &MainWindow::on_StopButton_clicked);

    setUpFileList();
    loadAvsPlugins();

    lastAddFolder =
        SettingsFile::value(SettingsFile::kFolder, Platform::desktopDir()).toString();

    connect(this, &MainWindow::setMove, this, &MainWindow::item_selectChanged);
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::buildSystemMenu()
{
    auto *menu = new QMenu(this);
    connect(menu->addAction(tr("&Support")), &QAction::triggered, this, &MainWindow::supportFun);
    connect(menu->addAction(tr("&Homepage")), &QAction::triggered, this, &MainWindow::homepage);
    menu->addSeparator();
    connect(menu->addAction(tr("Pre&ference")), &QAction::triggered, this,
            &MainWindow::preferenceFun);
    connect(menu->addAction(tr("&Check update...")), &QAction::triggered, this,
            &MainWindow::checkupFun);
    menu->addSeparator();
    connect(menu->addAction(tr("&About")), &QAction::triggered, this, &MainWindow::aboutFun);
    ui->sysInfo->setMenu(menu);
}

void MainWindow::buildSnapshotMenu()
{
    auto *menu = new QMenu(this);
    auto *setFolder = new QAction(tr("S&et Snapshot Folder"), this);
    auto *openFolder = new QAction(tr("Ope&n Snapshot Folder"), this);
    fileFormatMenu = new QMenu(tr("Se&t File Format"), this);

    menu->addAction(setFolder);
    connect(setFolder, &QAction::triggered, this, &MainWindow::setSnapshotFolder);
    menu->addAction(openFolder);
    connect(openFolder, &QAction::triggered, this, &MainWindow::openSnapshotFolder);
    menu->addSeparator();
    menu->addMenu(fileFormatMenu);

    auto *group = new QActionGroup(this);
    group->setExclusive(true);
    const struct {
        const char *text;
        void (MainWindow::*slot)();
    } formats[] = {
        {QT_TR_NOOP("TIFF"), &MainWindow::settiff},
        {QT_TR_NOOP("BMP"), &MainWindow::setbmp},
        {QT_TR_NOOP("PNG"), &MainWindow::setpng},
        {QT_TR_NOOP("JPG(High Quality)"), &MainWindow::setjpgH},
        {QT_TR_NOOP("JPG(Standard Quality)"), &MainWindow::setjpgS},
        {QT_TR_NOOP("JPG(Low Quality)"), &MainWindow::setjpgL},
    };
    QList<QAction *> actions;
    for (const auto &format : formats) {
        auto *action = new QAction(tr(format.text), this);
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, format.slot);
        actions << action;
    }
    for (QAction *action : actions)
        group->addAction(action);

    // Every start begins with BMP at the writer's own quality.
    snapshotQuality = -1;
    actions.at(1)->activate(QAction::Trigger);
    snapshotSuffix = QStringLiteral(".bmp");
    snapshotFormatIndex = 1;
    // The default format chosen in the preferences, when there is one.
    bool isIndex = false;
    const int stored = SettingsFile::value(SettingsFile::kSnapshotFormat).toInt(&isIndex);
    if (isIndex && stored >= 0 && stored < actions.size())
        actions.at(stored)->activate(QAction::Trigger);
    fileFormatMenu->addActions(group->actions());
    clearSnapshotRequests();

    ui->labelShowState->setText(QString());
    ui->setCaptureButton->setMenu(menu);
}

void MainWindow::setUpFileList()
{
    QTreeWidget *list = ui->treeWidget;
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setDragDropMode(QAbstractItemView::InternalMove);
    list->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                          | QAbstractItemView::AnyKeyPressed);
    list->setAllColumnsShowFocus(true);

    list->setFixedSize(509, 305);
    ui->tableWidget->setVisible(false);
    list->move(15, 97);

    list->setColumnCount(9);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    list->setTextElideMode(Qt::ElideMiddle);

    const int widths[] = {40, 100, 70, 60, 60, 60};
    for (int column = 0; column < 6; ++column)
        list->setColumnWidth(column, widths[column]);
    list->header()->setSectionResizeMode(0, QHeaderView::Fixed);
    list->header()->setStretchLastSection(true);
    list->setAlternatingRowColors(true);

    list->setHeaderLabels({QString(), tr("Name"), tr("Status"), tr("Original"), tr("Output"),
                           tr("Size"), tr("Output File"), QString::fromLatin1("\xBC\xD7"),
                           QString::fromLatin1("\xD2\xD2")});
    list->header()->setDefaultAlignment(Qt::AlignCenter);

    QHeaderView *header = list->header();
    QWidget *holder = header->childAt(0, 0);
    checkAllBox = new QCheckBox(holder ? holder : header->viewport());
    checkAllBox->setStyleSheet(QLatin1String(kCheckAllStyle));
    list->setColumnHidden(7, true);
    list->setColumnHidden(8, true);
    checkAllBox->move(10, -4);
    checkAllBox->setChecked(true);
    checkAllBox->setCheckState(Qt::Checked);
    connect(checkAllBox, &QCheckBox::clicked, this, &MainWindow::changeTreeChecked);
    // The list's own controls follow it in the focus chain.
    setTabOrder(list, checkAllBox);
    new RowCheckKey(list);
}

void MainWindow::loadAvsPlugins()
{
    const AvsPlugins plugins = AvsPlugins::discover(Platform::installDir());
    for (const QString &path : plugins.listed)
        ui->textEdit->append(path);
    if (!plugins.listed.isEmpty()) {
        avsImportPath = plugins.importPath;
        avsPluginPath = plugins.pluginPath;
    }
    avsHeaderPath = plugins.headerPath;
}

QString MainWindow::formatDuration(int seconds)
{
    return ::formatDuration(seconds);
}

QString MainWindow::levelToPercent(const QString &value)
{
    return EffectScale::levelToPercent(value);
}

QString MainWindow::gainToPercent(const QString &value)
{
    return EffectScale::gainToPercent(value);
}

QString MainWindow::percentToLevel(const QString &value)
{
    return EffectScale::percentToLevel(value);
}

QString MainWindow::percentToGain(const QString &value)
{
    return EffectScale::percentToGain(value);
}

void MainWindow::setMainControlsEnabled(bool enabled)
{
    const QList<QWidget *> widgets = {
        ui->editVideo,       ui->editVideo_Trim,   ui->editVideo_Effect, ui->AddFile,
        ui->treeWidget,      ui->widgetSetting,    ui->ConvertePushButton, ui->PauseContinue,
        ui->MoveDownButton,  ui->MoveUpButton,     ui->DeleteAllButton,  ui->DeleteButton,
        ui->label_13,        ui->PathLine,         ui->PlayButton,       ui->horizontalSlider,
        ui->volumeHSlider,   ui->unMuteButton,     ui->MuteButton,       ui->NextButton,
        ui->PreviousButton,
    };
    for (QWidget *widget : widgets)
        widget->setEnabled(enabled);
}

void MainWindow::setJobControlsEnabled(bool enabled)
{
    const QList<QWidget *> widgets = {
        ui->ConvertePushButton, ui->label_pic,      ui->ProfileDetails, ui->ProfileDevice,
        ui->groupBox,           ui->groupBox_2,     ui->label_12,       ui->progressAll,
        ui->PathLine,           ui->label_13,       ui->widgetSetting,  ui->DelFile,
        ui->CleanFile,          ui->PauseButton,    ui->PlayButton,     ui->PreviousButton,
        ui->NextButton,         ui->horizontalSlider, ui->MoveDownButton, ui->MoveUpButton,
        ui->DeleteButton,       ui->DeleteAllButton,
    };
    for (QWidget *widget : widgets)
        widget->setEnabled(enabled);
    if (!enabled)
        ui->horizontalSlider->setValue(0);
}

void MainWindow::resetFileTreeFlags()
{
    QTreeWidget *list = ui->treeWidget;
    list->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                          | QAbstractItemView::AnyKeyPressed);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setAlternatingRowColors(true);
    for (int row = 0; row < list->topLevelItemCount(); ++row)
        list->topLevelItem(row)->setFlags(Qt::ItemIsSelectable | Qt::ItemIsUserCheckable
                                          | Qt::ItemIsEnabled);
}

void MainWindow::opentime()
{
    openTimer.stop();
}

void MainWindow::receiveMessage(const QString &message)
{
    // Not leftover debug output: the log line is how a later start can be
    // seen from outside the window.
    qInfo("%s", qPrintable(message));
    // Somebody started the program again: bring this window forward instead.
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

// ---------------------------------------------------------------------------
// Window chrome, system menu and close path

void MainWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        dragOrigin = event->position().toPoint();
        WindowDrag::begin(this, dragOrigin, WindowDrag::mainWindowDrags(dragOrigin, dragOrigin));
    }
}

void MainWindow::mouseMoveEvent(QMouseEvent *event)
{
    // Moves without a button come only from children that track the mouse;
    // they must not drag the window.
    if (event->buttons() == Qt::NoButton)
        return;
    if (WindowDrag::mainWindowDrags(dragOrigin, event->position().toPoint()))
        WindowDrag::follow(this, event->globalPosition().toPoint() - dragOrigin);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    const QString temporary = Platform::tempDir();
    purgeDirectory(temporary);
    // The folder itself goes too, but never a parent: those are not ours.
    QDir().rmdir(temporary);

    editorProcess.kill();

    if (playStopFlag == 0)
        playStopFlag = playEndFlag.load();

    if (ui->StopConvertePushButton->isEnabled())
        on_StopConvertePushButton_clicked();

    if (isPlayerRunning() || isPlayerOpen() || playStopFlag != 0) {
        previewPollTimer.stop();
        stopDelayTimer.stop();
        // Joins the player's threads; the close then ends the event loop as usual.
        shutdownPlayer();
    }
    event->accept();
}

bool MainWindow::purgeDirectory(const QString &path)
{
    return TempPurge::emptyFolder(path);
}

void MainWindow::on_actionExit_X_triggered()
{
    // Nothing is tidied up on this way out. A running transcoder is the one
    // exception: left alone it would lose its output pipe with us and die at
    // its next line, leaving a broken file; asked to stop, it finishes the
    // file properly.
    if (transcoderProcess.state() != QProcess::NotRunning) {
        Platform::signalProcessGroup(transcoderProcess.processId(),
                                     Platform::GroupSignal::Terminate);
        transcoderProcess.terminate();
    }
    QCoreApplication::exit(0);
}

void MainWindow::on_sysInfo_clicked()
{
    ui->sysInfo->showMenu();
}

void MainWindow::on_minimaziAll_clicked()
{
    showMinimized();
}

void MainWindow::on_closeAll_clicked()
{
    if (ui->treeWidget->topLevelItemCount() < 1) {
        close();
        return;
    }
    exitDialog question;
    if (question.exec() == QDialog::Accepted)
        close();
}

void MainWindow::on_openPushButton_clicked()
{
    Platform::openFolder(ui->PathLine->text());
}

void MainWindow::supportFun()
{
    Platform::openUrl(QLatin1String(kHomePageUrl));
}

void MainWindow::homepage()
{
    Platform::openUrl(QLatin1String(kHomePageUrl));
}

void MainWindow::aboutFun()
{
    aboutDialog.exec();
}

void MainWindow::openSnapshotFolder()
{
    Platform::openFolder(snapshotFolder);
}

void MainWindow::preferenceFun()
{
    const int action = SettingsFile::value(SettingsFile::kDown, 0).toInt();
    preferenceDialog dialog;
    dialog.setShutdownAction(action);
    dialog.setSnapshotFolder(snapshotFolder);
    dialog.setOutputFolder(ui->PathLine->text());
    dialog.setSnapFormat(snapshotFormatIndex);
    if (dialog.exec() != QDialog::Accepted)
        return;

    // The dialog's output folder counts as one given to Destination: the
    // same checks and message, every row follows it, and it is stored only
    // when it is taken.
    if (dialog.outputFolder() != ui->PathLine->text())
        applyOutputFolder(dialog.outputFolder());
    if (dialog.snapshotFolder() != snapshotFolder) {
        snapshotFolder = dialog.snapshotFolder();
        SettingsFile::setValue(SettingsFile::kSnapshot, snapshotFolder);
    }
    const QList<QAction *> formats = fileFormatMenu->actions();
    const int format = dialog.snapFormat();
    if (format >= 0 && format < formats.size()) {
        formats.at(format)->activate(QAction::Trigger);
        SettingsFile::setValue(SettingsFile::kSnapshotFormat, format);
    }

    constexpr int kShutDown = 1;
    constexpr int kRunComplete = 100;
    if (dialog.shutdownAction() != kShutDown || ui->progressAll->value() != kRunComplete) {
        // Calls off a shutdown armed at the end of a run that has not begun yet.
        shutdownTimer.stop();
        disconnect(&shutdownTimer, &QTimer::timeout, this, &MainWindow::shutTimer);
    } else {
        // Armed, not started: the end of the next run starts it.
        connect(&shutdownTimer, &QTimer::timeout, this, &MainWindow::shutTimer,
                Qt::UniqueConnection);
    }
}

void MainWindow::checkupFun()
{
    const QString handoff = Platform::handoffDir();
    QDir().mkpath(handoff);
    QProcess::startDetached(Platform::toolPath(QStringLiteral("skelbrin")),
                            UpdateSchedule::toolArguments(handoff), Platform::installDir());
}

void MainWindow::updateTimer()
{
    updateCheckTimer.stop();
    autoUpdateEnabled = SettingsFile::value(SettingsFile::kUpdateEnabled, true).toBool();
    if (autoUpdateEnabled) {
        const QDate today = QDate::currentDate();

        int cycle = SettingsFile::value(SettingsFile::kUpdateCycle, -1).toInt();
        if (cycle == -1) {
            cycle = UpdateSchedule::EveryDay;
            SettingsFile::setValue(SettingsFile::kUpdateCycle, cycle);
        }

        QDate lastCheck = UpdateSchedule::lastCheck(
            SettingsFile::value(SettingsFile::kLastCheckDate),
            SettingsFile::value(SettingsFile::kLastCheck), today);
        const auto recordCheck = [](QDate day) {
            SettingsFile::setValue(SettingsFile::kLastCheck, day.dayOfYear());
            SettingsFile::setValue(SettingsFile::kLastCheckDate, UpdateSchedule::dateText(day));
        };
        if (!lastCheck.isValid()) {
            lastCheck = today;
            recordCheck(today);
        }

        if (UpdateSchedule::isDue(cycle, lastCheck, today)) {
            recordCheck(today);
            checkupFun();
        }
    }
    updateDevicePicture(0);
}

void MainWindow::shutTimer()
{
    shutdownTimer.stop();
    openProgress countdown;
    countdown.startShutdownCountdown();
    const int answer = countdown.exec();
    disconnect(&shutdownTimer, &QTimer::timeout, this, &MainWindow::shutTimer);
    countdown.close();
    if (answer != QDialog::Accepted)
        return;

    QString problem;
    if (Platform::powerOff(&problem))
        return;
    auto *box = new QMessageBox(QMessageBox::Warning, QLatin1String(kProductName),
                                tr("The computer could not be switched off.\n%1").arg(problem),
                                QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

// These serve the old table widget and the move buttons, which stay hidden.
void MainWindow::on_MoveUpButton_clicked() {}
void MainWindow::on_MoveDownButton_clicked() {}
void MainWindow::on_tableWidget_currentCellChanged(int, int, int, int) {}
void MainWindow::on_tableWidget_customContextMenuRequested(const QPoint &) {}
void MainWindow::item_selectChanged() {}
void MainWindow::updateFileName(int, int) {}

// ---------------------------------------------------------------------------
// Conversion runs and the editor tool

namespace {

const QString kEditorToolName = QStringLiteral("parlane");
// A tool that is still running when it is needed again gets this long to
// end before it is killed.
constexpr int kWaitForToolMs = 30000;

} // namespace

void MainWindow::on_ConvertePushButton_clicked()
{
    QTreeWidget *list = ui->treeWidget;
    // A remembered folder may have gone since the rows were made: made again
    // here, or the user hears once why nothing starts.
    QStringList outputs;
    for (int index = 0; index < list->topLevelItemCount(); ++index) {
        const QTreeWidgetItem *item = list->topLevelItem(index);
        if (item->checkState(FileRow::CheckColumn) == Qt::Checked)
            outputs << Arguments::outputPath(FileRow::arguments(item));
    }
    QString problem;
    if (!OutputPaths::makeWritableFolders(outputs, &problem)) {
        showProblem(problem);
        return;
    }
    const int previousRunMode = runMode;
    jobNumber = 0;
    if (ui->StopButton->isEnabled())
        on_StopButton_clicked();
    runMode = 2;
    // While the run lasts, picking a row must not load its options.
    disconnectSelectionHandler();
    ui->StopConvertePushButton->setEnabled(true);
    ui->PausePushButton->setEnabled(true);
    ui->progressAll->setValue(0);

    QVector<RunRow> rows;
    rows.reserve(list->topLevelItemCount());
    for (int index = 0; index < list->topLevelItemCount(); ++index) {
        QTreeWidgetItem *item = list->topLevelItem(index);
        RunRow row;
        row.checked = item->checkState(FileRow::CheckColumn) == Qt::Checked;
        row.seconds = JobPreparation::outputSeconds(FileRow::arguments(item),
                                                    item->text(FileRow::SourceDurationColumn));
        rows << row;
        if (!row.checked)
            continue;
        StatusCell::showWaiting(item);
        setJobControlsEnabled(false);
        ui->editVideo->setEnabled(false);
        ui->editVideo_Trim->setEnabled(false);
        ui->editVideo_Effect->setEnabled(false);
        list->setAcceptDrops(false);
        setAcceptDrops(false);
        ui->AddFile->setEnabled(false);
        // The folder shown is where the run's rows go: it holds still.
        ui->browsePushButton->setEnabled(false);
    }
    if (transcoderProcess.state() != QProcess::NotRunning) {
        ProcessWait::forFinished(transcoderProcess, kWaitForToolMs);
        transcoderProcess.kill();
        transcoderProcess.waitForFinished(kWaitForToolMs);
    }

    uiPollTimer.stop();
    totalSeconds = totalCheckedDuration();
    conversionClock.start();
    // Rows of unknown length still convert (their bars are busy bars); only a
    // run without any checked row has nothing to do.
    if (!conversionRun.start(rows)) {
        rollBackRunStart(previousRunMode);
        return;
    }
    jobTimer.start(kJobTickMs);
}

void MainWindow::rollBackRunStart(int previousRunMode)
{
    // Nothing was queued or locked: only what the click set up goes back.
    runMode = previousRunMode;
    jobTimer.stop();
    ui->StopConvertePushButton->setEnabled(false);
    ui->PausePushButton->setEnabled(false);
    connectSelectionHandler();
    uiPollTimer.start(kPollNowMs);
}

void MainWindow::on_StopConvertePushButton_clicked()
{
    stopRun(ConversionRun::StopReason::User);
}

void MainWindow::on_PausePushButton_clicked()
{
    if (transcoderPid.isEmpty()) {
        listProcessesForPause();
        ui->PauseContinue->setVisible(true);
        ui->ConvertePushButton->setVisible(false);
        ui->PausePushButton->setEnabled(false);
        return;
    }
    // An identifier held from an earlier pause: let that transcoder go on.
    stopPauseListing();
    transcoderJob.resume(Platform::toolPath(kSuspenderName));
    if (!transcoderJob.isPaused())
        conversionRun.resume();
    transcoderPid.clear();
    runMode = 2;
}

void MainWindow::on_PauseContinue_clicked()
{
    if (transcoderPid.isEmpty()) {
        // Nothing was suspended: look for the transcoder again.
        listProcessesForPause();
        return;
    }
    stopPauseListing();
    transcoderJob.resume(Platform::toolPath(kSuspenderName));
    if (!transcoderJob.isPaused())
        conversionRun.resume();
    transcoderPid.clear();
    runMode = 2;
    ui->PauseContinue->setVisible(false);
    ui->ConvertePushButton->setVisible(true);
    ui->PausePushButton->setEnabled(true);
}
void MainWindow::on_editVideo_clicked()
{
    launchEditor(QStringLiteral("0"));
}

void MainWindow::on_editVideo_Trim_clicked()
{
    launchEditor(QStringLiteral("1"));
}

void MainWindow::on_editVideo_Effect_clicked()
{
    launchEditor(QStringLiteral("2"));
}

void MainWindow::launchEditor(const QString &mode)
{
    if (editorProcess.state() != QProcess::NotRunning) {
        ProcessWait::forFinished(editorProcess, kWaitForToolMs);
        editorProcess.kill();
        editorProcess.waitForFinished(kWaitForToolMs);
    }
    if (ui->StopButton->isEnabled())
        on_StopButton_clicked();

    QTreeWidget *list = ui->treeWidget;
    const QModelIndex current = list->currentIndex();
    QTreeWidgetItem *row = current.isValid() ? list->topLevelItem(current.row()) : nullptr;
    if (!row)
        return;

    // The answer is read whole once the tool has exited (output()); a tool
    // that never started or ended without an answer gives the controls back
    // the same way.
    connect(&editorProcess, &QProcess::finished, this, &MainWindow::editorFinished,
            Qt::UniqueConnection);
    connect(&editorProcess, &QProcess::errorOccurred, this, &MainWindow::editorFailed,
            Qt::UniqueConnection);

    const ArgumentList arguments = FileRow::arguments(row);
    const EffectList effects = FileRow::effects(row);
    const QString file = effects.isEmpty() ? Arguments::inputPath(arguments)
                                           : effects.value(FileRow::SourcePathEntry);
    QStringList command = {QStringLiteral("-fileNa"), file};
    command << FileListRules::editorValues(arguments, effects);
    command << mode << effects.value(FileRow::LogoPathEntry) << QStringLiteral("-1");
    const QString logoTail = row->data(FileRow::NameColumn, FileRow::WatermarkRole).toString();
    if (!logoTail.isEmpty())
        command << logoTail;
    editorRowIndex = QPersistentModelIndex(current.siblingAtColumn(FileRow::CheckColumn));

    // Locked before the start, so that a start that fails at once finds
    // them locked and gives them back.
    setMainControlsEnabled(false);
    uiPollTimer.stop();
    editorProcess.start(Platform::toolPath(kEditorToolName), command, QIODevice::ReadWrite);
    for (const QString &argument : command)
        ui->textEdit->append(argument);
}

void MainWindow::editorFinished(int, QProcess::ExitStatus)
{
    output();
    // Closed, cancelled or crashed: whatever the answer, the editor is gone.
    giveControlsBackFromEditor();
}

void MainWindow::editorFailed(QProcess::ProcessError error)
{
    // A crash also ends through finished(); a tool that never ran does not.
    if (error != QProcess::FailedToStart)
        return;
    ui->textEdit->append(editorProcess.errorString());
    giveControlsBackFromEditor();
    auto *box = new QMessageBox(QMessageBox::Warning, QLatin1String(kProductName),
                                tr("The editor could not be started.\n%1")
                                    .arg(editorProcess.errorString()),
                                QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void MainWindow::giveControlsBackFromEditor()
{
    setMainControlsEnabled(true);
    ui->treeWidget->setFocus();
    // With the interval it last had.
    uiPollTimer.start();
}

void MainWindow::outputCommand()
{
    // Standard output carries nothing we read; it is taken so the pipe never fills.
    transcoderProcess.readAllStandardOutput();
    const QByteArray text = transcoderProcess.readAllStandardError();
    ui->textEdit->append(decodeToolText(text));
    if (runMode == 1)
        probeParser.append(text);
    else if (runMode == 2)
        followJobOutput(text);
}

void MainWindow::slotTimer()
{
    jobTimer.stop();
    const TickDecision decision = conversionRun.tick(transcoderJob.isRunning(), runRows());
    showJobEnd(decision.vanishedJob);
    switch (decision.action) {
    case TickDecision::Action::Idle:
        return;
    case TickDecision::Action::Wait:
        // A job at work is left alone, whatever its bar shows: only its exit
        // tells how it went.
        ui->ConvertePushButton->setEnabled(false);
        jobTimer.start(kJobTickMs);
        return;
    case TickDecision::Action::Launch:
        launchJob(decision);
        return;
    case TickDecision::Action::Finish:
        finishRun(decision);
        return;
    }
}

void MainWindow::pauseCommand()
{
    pauseListing += pauseToolProcess.readAllStandardOutput();
    pauseToolProcess.readAllStandardError();
    // Only the transcoder this window started is ever suspended: the listing
    // confirms that it still runs under its name.
    const QString ours = QString::number(transcoderJob.processId());
    if (transcoderPid.isEmpty() && transcoderJob.processId() > 0
        && Suspender::findPids(decodeToolText(pauseListing), kTranscoderName).contains(ours))
        transcoderPid = ours;
    if (transcoderPid != ours || transcoderJob.isPaused())
        return;
    if (transcoderJob.pause(Platform::toolPath(kSuspenderName)))
        conversionRun.pause();
}

QVector<RunRow> MainWindow::runRows() const
{
    const QTreeWidget *list = ui->treeWidget;
    QVector<RunRow> rows;
    rows.reserve(list->topLevelItemCount());
    for (int index = 0; index < list->topLevelItemCount(); ++index) {
        const QTreeWidgetItem *item = list->topLevelItem(index);
        RunRow row;
        row.checked = item->checkState(FileRow::CheckColumn) == Qt::Checked;
        // A trimmed row is measured by what it will output.
        row.seconds = JobPreparation::outputSeconds(FileRow::arguments(item),
                                                    item->text(FileRow::SourceDurationColumn));
        rows << row;
    }
    return rows;
}

void MainWindow::launchJob(const TickDecision &decision)
{
    QTreeWidgetItem *row = ui->treeWidget->topLevelItem(decision.row);
    const QVector<RunRow> rows = runRows();
    jobNumber = conversionRun.jobNumber();
    totalSeconds = int(conversionRun.totalSeconds());
    doneSeconds = int(conversionRun.doneSeconds());
    currentFileSeconds = int(qMax<qint64>(0, rows.value(decision.row).seconds));

    // A file may have come under the row's output name since the name was
    // chosen: the row takes the next free name rather than replace it.
    const QString output = Arguments::outputPath(FileRow::arguments(row));
    setRowOutputPath(row, uniqueOutputPath(row, output));

    JobPreparation::LaunchPlan plan =
        JobPreparation::prepare(FileRow::arguments(row), FileRow::effects(row),
                                FileRow::mediaInfo(row).at(FileRow::DisplayRatio));
    // Without its profile the row's options are not what any profile gives:
    // the job would make a file the user never asked for.
    const SettingsIndexList indexes = FileRow::settingsIndexes(row);
    const QString unreadable = ProfileLoader::unreadableFile(
        Platform::installDir(), indexes.value(FileRow::DeviceIndex, QStringLiteral("-1")).toInt(),
        indexes.value(FileRow::ProfileIndex, QStringLiteral("-1")).toInt());
    if (!unreadable.isEmpty())
        plan.problem = ProfileLoader::unreadableMessage(unreadable);
    StatusCell::showProgress(row, decision.indeterminate);
    jobTimer.start(kJobTickMs);
    if (!plan.problem.isEmpty()) {
        ui->textEdit->append(plan.problem);
        showJobEnd(conversionRun.jobFailedToStart());
        jobTimer.start(0);
        return;
    }
    for (const QString &argument : plan.arguments)
        ui->textEdit->append(argument);
    transcoderJob.start(Platform::toolPath(kTranscoderName), plan.arguments);
}

void MainWindow::transcoderFinished(int exitCode, QProcess::ExitStatus status)
{
    showJobEnd(conversionRun.jobFinished(exitCode, status == QProcess::CrashExit));
    doneSeconds = int(conversionRun.doneSeconds());
    // The next job starts now rather than at the next tick.
    if (conversionRun.isActive())
        jobTimer.start(0);
}

void MainWindow::transcoderFailed(QProcess::ProcessError error)
{
    // A crash ends through finished(); a transcoder that never ran does not.
    if (error != QProcess::FailedToStart)
        return;
    const JobEnd end = conversionRun.jobFailedToStart();
    if (end.row < 0)
        return;
    ui->textEdit->append(transcoderProcess.errorString());
    showJobEnd(end);
    jobTimer.start(0);
}

void MainWindow::showJobEnd(const JobEnd &end)
{
    if (end.row >= 0)
        transcoderJob.settlePartFile(end.statusWord != FileRow::kStatusFinished);
    if (QTreeWidgetItem *row = ui->treeWidget->topLevelItem(end.row))
        StatusCell::showStatus(row, end.statusWord, end.picture);
}

void MainWindow::followJobOutput(const QByteArray &text)
{
    const ProgressUpdate update = conversionRun.feed(text);
    for (const QString &line : update.logLines)
        ui->textEdit->append(line);
    showRunProgress(update);
    if (update.diskFull || (update.writeFailed && outputDriveFull())) {
        stopRun(ConversionRun::StopReason::DiskFull);
        maxDriverDialog notice;
        notice.exec();
    }
}

void MainWindow::showRunProgress(const ProgressUpdate &update)
{
    if (update.row >= 0) {
        StatusCell::setProgress(StatusCell::progressBar(ui->treeWidget->topLevelItem(update.row)),
                                update.rowPercent);
    }
    if (update.totalPercent >= 0) {
        ui->progressAll->setRange(0, kPercentMax);
        ui->progressAll->setValue(update.totalPercent);
    } else if (update.row >= 0) {
        // Nothing in the run has a known length.
        ui->progressAll->setRange(0, 0);
    }
    ui->labelShowState->setText(update.totalLine);
}

bool MainWindow::outputDriveFull() const
{
    const QTreeWidgetItem *row = ui->treeWidget->topLevelItem(conversionRun.runningRow());
    const QString output = row ? Arguments::outputPath(FileRow::arguments(row)) : QString();
    const QString folder = output.isEmpty() ? ui->PathLine->text() : QFileInfo(output).absolutePath();
    const qint64 free = Platform::freeBytes(folder);
    return free >= 0 && free < kDiskFullBytes;
}

void MainWindow::stopRun(ConversionRun::StopReason reason)
{
    runMode = 0;
    const JobEnd end = conversionRun.stop(reason);
    if (transcoderJob.isRunning()) {
        jobTimer.stop();
        uiPollTimer.start(kPollAfterStopMs);
        // Our own transcoder and its ffmpeg, paused or not; nothing else of that name.
        transcoderJob.stop();
    }
    showJobEnd(end);
    StatusCell::showSkippedAsBefore(ui->treeWidget, true);
    ui->labelShowState->setText(QString());

    ui->progressAll->setRange(0, kPercentMax);
    ui->progressAll->setValue(0);
    totalSeconds = 0;
    currentFileSeconds = 0;
    doneSeconds = 0;
    ui->StopConvertePushButton->setEnabled(false);
    ui->PausePushButton->setEnabled(false);
    if (!uiPollTimer.isActive())
        uiPollTimer.start(kPollNowMs);
    jobTimer.stop();
    ui->treeWidget->setAcceptDrops(true);
    setAcceptDrops(true);
    ui->AddFile->setEnabled(true);
    ui->browsePushButton->setEnabled(true);
    ui->PauseContinue->setVisible(false);
    ui->ConvertePushButton->setVisible(true);
    stopPauseListing();
    transcoderPid.clear();
    connectSelectionHandler();
}

void MainWindow::finishRun(const TickDecision &decision)
{
    // Only rows whose own job finished are done; a failed row stays checked
    // with its error picture.
    for (const int index : decision.rowsToUncheck) {
        if (QTreeWidgetItem *row = ui->treeWidget->topLevelItem(index))
            row->setCheckState(FileRow::CheckColumn, Qt::Unchecked);
    }
    StatusCell::showSkippedAsBefore(ui->treeWidget, false);
    ui->labelShowState->setText(QString());
    jobNumber = 0;
    totalSeconds = 0;
    currentFileSeconds = 0;
    doneSeconds = 0;
    runMode = 1;
    ui->StopConvertePushButton->setEnabled(false);
    ui->PauseContinue->setVisible(false);
    ui->PausePushButton->setEnabled(false);
    ui->ConvertePushButton->setVisible(true);
    ui->treeWidget->setAcceptDrops(true);
    setAcceptDrops(true);
    ui->AddFile->setEnabled(true);
    ui->browsePushButton->setEnabled(true);
    armShutdown();

    checkAllBox->setCheckState(Qt::Unchecked);
    resetFileTreeFlags();
    ui->ConvertePushButton->setEnabled(false);
    ui->progressAll->setRange(0, kPercentMax);
    ui->progressAll->setValue(0);
    jobTimer.stop();
    uiPollTimer.start(kPollNowMs);
    stopPauseListing();
    transcoderPid.clear();
    connectSelectionHandler();
}

void MainWindow::armShutdown()
{
    shutdownTimer.stop();
    if (SettingsFile::value(SettingsFile::kDown, 0).toInt() == kShutDownAfterRun) {
        // One connection however many runs end: one countdown.
        connect(&shutdownTimer, &QTimer::timeout, this, &MainWindow::shutTimer,
                Qt::UniqueConnection);
        shutdownTimer.start(kShutdownDelayMs);
    } else {
        disconnect(&shutdownTimer, &QTimer::timeout, this, &MainWindow::shutTimer);
    }
}

void MainWindow::listProcessesForPause()
{
    connect(&pauseToolProcess, &QProcess::readyReadStandardOutput, this,
            &MainWindow::pauseCommand, Qt::UniqueConnection);
    connect(&pauseToolProcess, &QProcess::readyReadStandardError, this,
            &MainWindow::pauseCommand, Qt::UniqueConnection);
    pauseListing.clear();
    // The listing's output runs pauseCommand during this wait.
    pauseToolProcess.start(Platform::toolPath(kSuspenderName), QStringList(),
                           QIODevice::ReadWrite);
    if (!pauseToolProcess.waitForFinished(kToolTimeoutMs)) {
        pauseToolProcess.kill();
        pauseToolProcess.waitForFinished(kToolTimeoutMs);
    }
}

void MainWindow::stopPauseListing()
{
    disconnect(&pauseToolProcess, &QProcess::readyReadStandardOutput, this,
               &MainWindow::pauseCommand);
    disconnect(&pauseToolProcess, &QProcess::readyReadStandardError, this,
               &MainWindow::pauseCommand);
    pauseListing.clear();
}
void MainWindow::output()
{
    // The answer is read whole once the tool has ended: until then it may
    // have arrived only in part, and it waits in the process's buffers.
    if (editorProcess.state() != QProcess::NotRunning)
        return;
    editorProcess.readAllStandardOutput();
    const QByteArray answerText = editorProcess.readAllStandardError();
    // The row the tool was opened for, whichever row is current now.
    QTreeWidgetItem *row = editorRowIndex.isValid()
                               ? ui->treeWidget->topLevelItem(editorRowIndex.row())
                               : nullptr;
    const std::optional<EditorAnswer> answer = EditorAnswer::parse(decodeToolText(answerText));
    if (answer && row) {
        ui->textEdit->append(answer->logText);
        storeEditorAnswer(*answer, row);
    }
    editorRowIndex = QPersistentModelIndex();
    giveControlsBackFromEditor();
}

void MainWindow::storeEditorAnswer(const EditorAnswer &answer, QTreeWidgetItem *row)
{
    EditorRow job;
    job.arguments = FileRow::arguments(row);
    job.effects = FileRow::effects(row);
    const MediaInfo info = FileRow::mediaInfo(row);
    job.sourceSize = info.at(FileRow::InputSize);
    job.displayRatio = info.at(FileRow::DisplayRatio);
    job.trimDuration = info.at(FileRow::ExactDuration);
    job.sourceDurationText = row->text(FileRow::SourceDurationColumn);
    job.pluginPath = avsPluginPath;
    job.importPath = avsImportPath;
    job.headerPath = avsHeaderPath;
    // The row's own audio choices, as its first script took them.
    const SettingsIndexList indexes = FileRow::settingsIndexes(row);
    const auto rowChoice = [&](FileRow::OptionItems items, int entry, const QComboBox *box) {
        bool known = false;
        const int index = indexes.value(entry).toInt(&known);
        const QString text = known ? FileRow::optionItems(row, items).value(index) : QString();
        return text.isEmpty() ? box->currentText() : text;
    };
    job.channels = AvsScript::channelCount(
        rowChoice(FileRow::AChannelsItems, FileRow::AChannelsIndex, ui->AChannels));
    job.sampleRate = AvsScript::sampleRate(
        rowChoice(FileRow::ASamplerateItems, FileRow::ASamplerateIndex, ui->ASamplerate));

    const EditorEdit edit = applyEditorAnswer(answer, job);
    QString problem = edit.problem;
    if (problem.isEmpty() && !EditedScript::write(edit.scriptPath, edit.scriptText, &problem))
        problem = tr("The edit could not be saved in %1: %2").arg(edit.scriptPath, problem);
    if (!problem.isEmpty()) {
        // The row and its old script stay as they were, and agree.
        auto *box = new QMessageBox(QMessageBox::Warning, QLatin1String(kProductName), problem,
                                    QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        return;
    }
    FileRow::setArguments(row, edit.arguments);
    FileRow::setEffects(row, edit.effects);
    row->setText(FileRow::OutputDurationColumn, edit.outputDurationText);
    if (edit.hasWatermark)
        row->setData(FileRow::NameColumn, FileRow::WatermarkRole, edit.watermark);
}
