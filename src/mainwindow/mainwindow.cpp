#include "mainwindow.h"

#include "ui_mainwindow.h"

#include <csignal>

#include <QActionGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDate>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QSettings>
#include <QTreeWidget>

#include <SDL.h>

#include "app/skin.h"
#include "app/version.h"
#include "app/windowdrag.h"
#include "conversion/argumentlist.h"
#include "conversion/avsplugins.h"
#include "conversion/effectscale.h"
#include "conversion/rowjobbuilder.h"
#include "conversion/timetext.h"
#include "filelist/filerow.h"
#include "filelist/outputpaths.h"
#include "mainwindow/exitdialog.h"
#include "mainwindow/preferencedialog.h"
#include "mainwindow/settingsfile.h"
#include "mainwindow/temppurge.h"
#include "mainwindow/updateschedule.h"
#include "platform/platform.h"
#include "player/previewplayer.h"
#include "profiles/optionrules.h"
#include "profiles/profilecatalogue.h"
#include "profiles/profileloader.h"
#include "settingsdialog/scriptparameters.h"
#include "settingsdialog/settingsreplay.h"

namespace {

constexpr int kUpdateCheckDelayMs = 11000;

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
    connect(&uiPollTimer, &QTimer::timeout, this, &MainWindow::checkTimer);
    connect(&openTimer, &QTimer::timeout, this, &MainWindow::opentime);

    setWindowFlags(Qt::FramelessWindowHint);
    ui->setupUi(this);
    connect(ui->ProfileDevice, &QComboBox::textActivated, this,
            &MainWindow::on_ProfileDevice_activated);
    connect(ui->VBitrate, &QComboBox::textActivated, this, &MainWindow::on_VBitrate_activated);
    connect(ui->Vaspect, &QComboBox::textActivated, this, &MainWindow::on_Vaspect_activated);
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

    ui->MovieWidget->setAttribute(Qt::WA_MouseTracking);
    // The preview's pictures are painted by us; SDL serves its sound only.
    // Without a sound device the preview still shows pictures, silently.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        const QString audioProblem = QString::fromUtf8(SDL_GetError());
        auto *box = new QMessageBox(QMessageBox::Warning, QLatin1String(kProductName),
                                    tr("No sound device is available: the preview will play "
                                       "without sound.\n%1")
                                        .arg(audioProblem),
                                    QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }

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

    actions.at(1)->activate(QAction::Trigger);
    snapshotSuffix = QStringLiteral(".bmp");
    snapshotFormatIndex = 1;
    fileFormatMenu->addActions(group->actions());

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
        Platform::signalProcessGroup(transcoderProcess.processId(), SIGTERM);
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

    ui->PathLine->setText(dialog.outputFolder());
    snapshotFolder = dialog.snapshotFolder();
    const QList<QAction *> formats = fileFormatMenu->actions();
    const int format = dialog.snapFormat();
    if (format >= 0 && format < formats.size())
        formats.at(format)->activate(QAction::Trigger);

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

void MainWindow::shutTimer() {}

// These serve the old table widget and the move buttons, which stay hidden.
void MainWindow::on_MoveUpButton_clicked() {}
void MainWindow::on_MoveDownButton_clicked() {}
void MainWindow::on_tableWidget_currentCellChanged(int, int, int, int) {}
void MainWindow::on_tableWidget_customContextMenuRequested(const QPoint &) {}
void MainWindow::item_selectChanged() {}
void MainWindow::updateFileName(int, int) {}

// ---------------------------------------------------------------------------
// Conversion runs and the editor tool

void MainWindow::on_ConvertePushButton_clicked() {}
void MainWindow::on_StopConvertePushButton_clicked() {}
void MainWindow::on_PausePushButton_clicked() {}
void MainWindow::on_PauseContinue_clicked() {}
void MainWindow::on_editVideo_clicked() {}
void MainWindow::on_editVideo_Trim_clicked() {}
void MainWindow::on_editVideo_Effect_clicked() {}
void MainWindow::outputCommand() {}
void MainWindow::slotTimer() {}
void MainWindow::pauseCommand() {}
void MainWindow::output() {}

// ---------------------------------------------------------------------------
// The file list

void MainWindow::on_actionOpen_triggered() {}
void MainWindow::on_actionRemove_del_triggered() {}
void MainWindow::on_AddFile_clicked() {}
void MainWindow::on_DeleteButton_clicked() {}
void MainWindow::on_DeleteAllButton_clicked() {}
void MainWindow::on_DelFile_clicked() {}
void MainWindow::on_CleanFile_clicked() {}
void MainWindow::on_pushButton_2_clicked() {}
void MainWindow::on_treeWidget_itemSelectionChanged() {}
void MainWindow::on_treeWidget_customContextMenuRequested(const QPoint &) {}
void MainWindow::changeTreeChecked(bool) {}
void MainWindow::checkTimer() {}
void MainWindow::fileInfo()
{
    // Only a row has information to show; stale labels would mislead.
    if (!currentRowItem())
        return;
    mediaInfoDialog.setInfo(currentMediaInfo());
    mediaInfoDialog.exec();
}

// ---------------------------------------------------------------------------
// Output profiles and options

namespace {

// The audio-only category's video boxes, disabled while it is current.
QList<QWidget *> videoOptionWidgets(Ui::MainWindow *ui)
{
    return {ui->Vaspect, ui->VBitrate, ui->Vcodec, ui->VframeRate, ui->VSize};
}

ComboFill comboState(const QComboBox *box)
{
    ComboFill state;
    for (int i = 0; i < box->count(); ++i)
        state.items << box->itemText(i);
    state.current = box->currentIndex();
    return state;
}

void fillCombo(QComboBox *box, const ComboFill &fill)
{
    box->clear();
    box->addItems(fill.items);
    box->setCurrentIndex(fill.current);
}

OptionRules::OutputTexts outputTexts(const Ui::MainWindow *ui, const QString &formatLabel)
{
    OptionRules::OutputTexts texts;
    texts.formatLabel = formatLabel;
    texts.vcodec = ui->Vcodec->currentText();
    texts.acodec = ui->Acodec->currentText();
    texts.vframeRate = ui->VframeRate->currentText();
    texts.vsize = ui->VSize->currentText();
    texts.vbitrate = ui->VBitrate->currentText();
    return texts;
}

OptionRules::RowState rowState(const QTreeWidgetItem *item)
{
    OptionRules::RowState row;
    row.arguments = FileRow::arguments(item);
    row.settingsIndexes = FileRow::settingsIndexes(item);
    row.mediaInfo = FileRow::mediaInfo(item);
    return row;
}

SettingsIndexList paddedIndexes(const QTreeWidgetItem *item)
{
    SettingsIndexList indexes = FileRow::settingsIndexes(item);
    while (indexes.size() < FileRow::SettingsIndexCount)
        indexes << QStringLiteral("-1");
    return indexes;
}

QString withTrailingSlash(const QString &folder)
{
    if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')))
        return folder;
    return folder + QLatin1Char('/');
}

} // namespace

void MainWindow::fillDeviceCombo()
{
    for (const QString &category : ProfileCatalogue::deviceCategoryList())
        ui->ProfileDevice->addItem(category);
}

void MainWindow::updateDevicePicture(int category)
{
    const QString picture =
        ProfileCatalogue::devicePicture(category, ui->ProfileDetails->currentIndex());
    // A picture that cannot be read leaves the label empty.
    ui->label_pic->setPixmap(QPixmap(Platform::installDir() + QLatin1Char('/') + picture));
}

void MainWindow::loadProfileFile(const QString &fileName)
{
    const ProfileSelection selection = ProfileLoader::load(Platform::installDir(), fileName);
    fillCombo(ui->Vcodec, selection.vcodec);
    fillCombo(ui->VSize, selection.vsize);
    fillCombo(ui->VBitrate, selection.vbitrate);
    fillCombo(ui->VframeRate, selection.vframeRate);
    fillCombo(ui->Acodec, selection.acodec);
    fillCombo(ui->ABitrate, selection.abitrate);
    fillCombo(ui->ASamplerate, selection.asamplerate);
    fillCombo(ui->AChannels, selection.achannels);
}

QTreeWidgetItem *MainWindow::currentRowItem() const
{
    const int row = ui->treeWidget->currentIndex().row();
    return row < 0 ? nullptr : ui->treeWidget->topLevelItem(row);
}

void MainWindow::showProblem(const QString &text)
{
    // Not modal: the flow that met the problem (adding many files, say) goes on.
    auto *box = new QMessageBox(QMessageBox::Warning, QLatin1String(kProductName), text,
                                QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

QString MainWindow::uniqueOutputPath(const QTreeWidgetItem *item, const QString &wanted) const
{
    QStringList taken;
    QTreeWidget *list = ui->treeWidget;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *other = list->topLevelItem(i);
        if (other != item)
            taken << Arguments::outputPath(FileRow::arguments(other));
    }
    const QString source = Arguments::inputPath(FileRow::arguments(item));
    return OutputPaths::unique(wanted, source, taken, 1);
}

void MainWindow::buildItemArguments(int row)
{
    QTreeWidgetItem *item = ui->treeWidget->topLevelItem(row);
    if (!item)
        return;

    RowJobInput input;
    input.deviceIndex = ui->ProfileDevice->currentIndex();
    input.profileIndex = ui->ProfileDetails->currentIndex();
    input.profileDetails = comboState(ui->ProfileDetails);
    input.vcodec = comboState(ui->Vcodec);
    input.vsize = comboState(ui->VSize);
    input.vbitrate = comboState(ui->VBitrate);
    input.vframeRate = comboState(ui->VframeRate);
    input.vaspect = comboState(ui->Vaspect);
    input.acodec = comboState(ui->Acodec);
    input.asamplerate = comboState(ui->ASamplerate);
    input.abitrate = comboState(ui->ABitrate);
    input.achannels = comboState(ui->AChannels);

    input.previousArguments = FileRow::arguments(item);
    input.previousEffects = FileRow::effects(item);
    input.mediaInfo = FileRow::mediaInfo(item);

    // A file being added brings its own path; a rebuilt row keeps its source.
    // A name without extension is taken too when the row has no list yet.
    const QString previousInput = Arguments::inputPath(input.previousArguments);
    if (!inputName.isEmpty() && (!inputExtension.isEmpty() || previousInput.isEmpty()))
        input.newInputPath = withTrailingSlash(inputFolder) + inputName;

    // A rebuilt row keeps its own output path: the profile choice has given
    // it its new extension, and the output folder button may have moved it
    // for this row alone. outputName belongs to the file being added.
    QString output;
    if (input.newInputPath.isEmpty())
        output = Arguments::outputPath(input.previousArguments);
    if (output.isEmpty()) {
        QString folder = withTrailingSlash(outputFolder);
        if (folder.isEmpty())
            folder = OutputPaths::folderFromField(ui->PathLine->text());
        output = folder + outputName;
    }
    const QString source = input.newInputPath.isEmpty() ? previousInput : input.newInputPath;
    // Whatever the name, the job never writes over its own source.
    input.outputPath = OutputPaths::unique(output, source, {}, 1);

    input.scriptFolder = Platform::tempDir();
    input.avsPluginPath = avsPluginPath;
    input.avsImportPath = avsImportPath;
    input.avsHeaderPath = avsHeaderPath;

    const RowJob job = RowJobBuilder::buildAndWrite(input);
    if (!job.valid)
        return;
    RowJobBuilder::store(item, job);
    if (OutputPaths::fileName(input.outputPath) != item->text(FileRow::OutputFileColumn)
        && !item->text(FileRow::OutputFileColumn).isEmpty())
        item->setText(FileRow::OutputFileColumn, OutputPaths::fileName(input.outputPath));

    // The codec may have reset the row's aspect; the box shows it while the
    // row is the one on show.
    const int aspect = job.settingsIndexes.value(FileRow::VaspectIndex).toInt();
    if (aspect != ui->Vaspect->currentIndex() && aspect >= 0
        && (currentRowItem() == item || !currentRowItem()))
        ui->Vaspect->setCurrentIndex(aspect);

    if (!job.error.isEmpty())
        showProblem(job.error);
}

void MainWindow::showOutputInfo()
{
    const QTreeWidgetItem *item = currentRowItem();
    if (!item)
        return;
    const OptionRules::OutputLabels labels = OptionRules::outputLabels(
        FileRow::mediaInfo(item),
        ProfileCatalogue::isAudioOnly(ui->ProfileDevice->currentIndex()));
    ui->lab_AudioCodec->setText(labels.audioCodec);
    ui->lab_OutputFormat->setText(labels.format);
    ui->lab_FrameRate->setText(labels.frameRate);
    ui->lab_VideoCodec->setText(labels.videoCodec);
    ui->lab_VideoSize->setText(labels.videoSize);
    ui->lab_VodecBitrate->setText(labels.videoBitrate);
}

QStringList MainWindow::currentMediaInfo() const
{
    // Without a row: seventeen empty entries, so that callers may index them.
    return FileRow::mediaInfo(currentRowItem()).mid(0, FileRow::DialogEntryCount);
}

void MainWindow::on_ProfileDevice_activated(const QString &category)
{
    const int chosen = ProfileCatalogue::categoryIndex(category);
    if (chosen >= 0) {
        ui->ProfileDetails->clear();
        ui->ProfileDetails->addItems(ProfileCatalogue::descriptions(chosen));
        updateDevicePicture(chosen);
    }

    // Without a row to carry the category, the profile on show becomes the
    // current one, so that the next files added get what the boxes say.
    QTreeWidget *list = ui->treeWidget;
    QTreeWidgetItem *item = currentRowItem();
    if (!item && chosen >= 0)
        on_ProfileDetails_activated(ui->ProfileDetails->currentIndex());
    if (list->topLevelItemCount() == 0) {
        list->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (!item)
        return;

    const int device = ui->ProfileDevice->currentIndex();
    SettingsIndexList indexes = paddedIndexes(item);
    indexes[FileRow::DeviceIndex] = QString::number(device);
    FileRow::setSettingsIndexes(item, indexes);

    // The row's own profile index is carried into the new category. When it
    // names no profile there, the profile on show is taken instead, so that
    // the row never keeps a job that the boxes do not show.
    int profile = indexes.at(FileRow::ProfileIndex).toInt();
    if (!ProfileCatalogue::entry(device, profile))
        profile = ui->ProfileDetails->currentIndex();
    if (profile >= 0 && profile < ui->ProfileDetails->count())
        ui->ProfileDetails->setCurrentIndex(profile);
    on_ProfileDetails_activated(profile);

    MediaInfo info = FileRow::mediaInfo(item);
    const QString size = OptionRules::recordOutput(info, outputTexts(ui, formatLabel));
    FileRow::setMediaInfo(item, info);
    if (!size.isEmpty())
        item->setText(FileRow::SizeColumn, size);
    showOutputInfo();
    list->setFocus(Qt::OtherFocusReason);
}

void MainWindow::on_ProfileDetails_activated(int index)
{
    const int category = ui->ProfileDevice->currentIndex();
    if (const std::optional<ProfileEntry> entry = ProfileCatalogue::entry(category, index)) {
        profileFile = entry->fileName;
        currentProfileFile = profileFile;
        loadProfileFile(profileFile);
        formatLabel = entry->formatLabel;
    }

    const bool audioOnly = ProfileCatalogue::isAudioOnly(category);
    ui->Vaspect->clear();
    if (!audioOnly)
        ui->Vaspect->addItems(OptionRules::aspectItems());
    for (QWidget *widget : videoOptionWidgets(ui))
        widget->setEnabled(!audioOnly);

    QTreeWidget *list = ui->treeWidget;
    if (list->topLevelItemCount() > 0) {
        const int row = list->currentIndex().row();
        if (row >= 0) {
            QTreeWidgetItem *item = list->topLevelItem(row);
            if (!item)
                return;
            SettingsIndexList indexes = paddedIndexes(item);
            indexes[FileRow::ProfileIndex] = QString::number(index);
            FileRow::setSettingsIndexes(item, indexes);

            ArgumentList arguments = FileRow::arguments(item);
            const QString oldOutput = Arguments::outputPath(arguments);
            if (!oldOutput.isEmpty()) {
                const QString output =
                    uniqueOutputPath(item, OutputPaths::withExtension(oldOutput, formatLabel));
                Arguments::setOutputPath(arguments, output);
                FileRow::setArguments(item, arguments);
                outputName = OutputPaths::fileName(output);
                item->setText(FileRow::OutputFileColumn, outputName);
            }
            buildItemArguments(row);

            MediaInfo info = FileRow::mediaInfo(item);
            const QString size = OptionRules::recordOutput(info, outputTexts(ui, formatLabel));
            FileRow::setMediaInfo(item, info);
            if (!size.isEmpty())
                item->setText(FileRow::SizeColumn, size);
        }
        showOutputInfo();
        updateDevicePicture(category);
    }
    list->setFocus(Qt::OtherFocusReason);
}

void MainWindow::on_SettingButton_clicked()
{
    // A playing preview waits while the dialog is open, and only a preview
    // paused here plays again afterwards.
    bool pausedHere = false;
    if (isPlayerOpen() && !isPlayerPaused()) {
        on_PauseButton_clicked();
        pausedHere = true;
    }

    QTreeWidget *list = ui->treeWidget;
    if (QTreeWidgetItem *row = list->topLevelItem(list->currentIndex().row())) {
        settingsDialog.loadFromItem(row);
        // The dialog has written every choice into the row already; a
        // cancelled dialog leaves the job and the script as they are.
        if (settingsDialog.exec() == QDialog::Accepted) {
            replaySettings(settingsDialog.item());
            patchScriptParameters(settingsDialog.item());
        }
    }

    if (pausedHere)
        on_PlayButton_clicked();
}

void MainWindow::replaySettings(QTreeWidgetItem *row)
{
    SettingsIndexList saved = FileRow::settingsIndexes(row);
    while (saved.size() < FileRow::SettingsIndexCount)
        saved << QStringLiteral("-1");
    auto isSet = [&saved](int entry) { return saved.at(entry) != QLatin1String("-1"); };
    auto savedIndex = [&saved](int entry) { return saved.at(entry).toInt(); };
    // A typed value exists only in the dialog's box until it is adopted here.
    auto chosenIndex = [&](QComboBox *box, int entry, FileRow::OptionItems which) {
        const int index = savedIndex(entry);
        return SettingsReplay::adoptEntry(box, index, settingsDialog.optionText(entry, index), row,
                                          which);
    };

    if (isSet(FileRow::DeviceIndex)) {
        ui->ProfileDevice->setCurrentIndex(savedIndex(FileRow::DeviceIndex));
        on_ProfileDevice_activated(ui->ProfileDevice->currentText());
    }
    if (isSet(FileRow::ProfileIndex)) {
        ui->ProfileDetails->setCurrentIndex(savedIndex(FileRow::ProfileIndex));
        on_ProfileDetails_activated(savedIndex(FileRow::ProfileIndex));
    }
    if (isSet(FileRow::VcodecIndex)) {
        ui->Vcodec->setCurrentIndex(savedIndex(FileRow::VcodecIndex));
        on_Vcodec_activated(savedIndex(FileRow::VcodecIndex));
    }
    if (isSet(FileRow::VSizeIndex) && saved.at(FileRow::VSizeIndex) != QLatin1String("Auto")) {
        const int index = chosenIndex(ui->VSize, FileRow::VSizeIndex, FileRow::VSizeItems);
        ui->VSize->setCurrentIndex(index);
        on_VSize_activated(index);
    }
    if (isSet(FileRow::VBitrateIndex)) {
        const int index = chosenIndex(ui->VBitrate, FileRow::VBitrateIndex, FileRow::VBitrateItems);
        ui->VBitrate->setCurrentIndex(index);
        on_VBitrate_activated(ui->VBitrate->currentText());
    }
    if (isSet(FileRow::VframeRateIndex)) {
        ui->VframeRate->setCurrentIndex(savedIndex(FileRow::VframeRateIndex));
        on_VframeRate_activated(savedIndex(FileRow::VframeRateIndex));
    }
    if (isSet(FileRow::VaspectIndex)) {
        ui->Vaspect->setCurrentIndex(savedIndex(FileRow::VaspectIndex));
        on_Vaspect_activated(ui->Vaspect->currentText());
    }
    if (isSet(FileRow::AcodecIndex)) {
        ui->Acodec->setCurrentIndex(savedIndex(FileRow::AcodecIndex));
        on_Acodec_activated(savedIndex(FileRow::AcodecIndex));
    }
    if (isSet(FileRow::ASamplerateIndex)) {
        ui->ASamplerate->setCurrentIndex(savedIndex(FileRow::ASamplerateIndex));
        on_ASamplerate_activated(savedIndex(FileRow::ASamplerateIndex));
    }
    if (isSet(FileRow::ABitrateIndex)) {
        ui->ABitrate->setCurrentIndex(savedIndex(FileRow::ABitrateIndex));
        on_ABitrate_activated(savedIndex(FileRow::ABitrateIndex));
    }
    if (isSet(FileRow::AChannelsIndex)) {
        ui->AChannels->setCurrentIndex(savedIndex(FileRow::AChannelsIndex));
        on_AChannels_activated(savedIndex(FileRow::AChannelsIndex));
    }
}

void MainWindow::patchScriptParameters(QTreeWidgetItem *row)
{
    const ScriptParameterValues values = ScriptParameters::valuesFor(
        FileRow::mediaInfo(row).at(FileRow::OutputSize), ui->AChannels->currentText(),
        ui->ASamplerate->currentText());
    const ScriptParameters::Report report =
        ScriptParameters::patchFile(FileRow::effects(row).value(FileRow::ScriptPathEntry), values);
    if (report.message.isEmpty())
        return;
    auto *box = new QMessageBox(QMessageBox::Warning, QLatin1String(kProductName), report.message,
                                QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
void MainWindow::applyRowEffect(QTreeWidgetItem *item, const OptionRules::RowState &row,
                                const OptionRules::SlotEffect &effect)
{
    FileRow::setSettingsIndexes(item, row.settingsIndexes);
    FileRow::setArguments(item, row.arguments);
    FileRow::setMediaInfo(item, row.mediaInfo);
    if (effect.sizeChanged)
        item->setText(FileRow::SizeColumn, effect.sizeText);
    if (effect.aspectIndex >= 0)
        ui->Vaspect->setCurrentIndex(effect.aspectIndex);
    if (effect.showOutputInfo)
        showOutputInfo();
}

void MainWindow::on_browsePushButton_clicked()
{
    const QString chosen = QFileDialog::getExistingDirectory(
        this, tr("Open Directory"), ui->PathLine->text(),
        QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (!chosen.isEmpty())
        applyOutputFolder(chosen);
}

void MainWindow::applyOutputFolder(const QString &folder)
{
    ui->PathLine->setText(QDir::toNativeSeparators(folder));
    SettingsFile::setValue(SettingsFile::kOutput, ui->PathLine->text());

    QTreeWidgetItem *item = currentRowItem();
    if (!item)
        return;
    ArgumentList arguments = FileRow::arguments(item);
    const QString oldOutput = Arguments::outputPath(arguments);
    if (oldOutput.isEmpty())
        return;
    const QString output = uniqueOutputPath(
        item, OutputPaths::withFolder(oldOutput, OutputPaths::folderFromField(folder)));
    Arguments::setOutputPath(arguments, output);
    FileRow::setArguments(item, arguments);
    // The name changes only when the new folder already has that name in use.
    item->setText(FileRow::OutputFileColumn, OutputPaths::fileName(output));
}

void MainWindow::on_Vcodec_activated(int index)
{
    QTreeWidgetItem *item = currentRowItem();
    if (!item)
        return;
    OptionRules::RowState row = rowState(item);
    const OptionRules::SlotEffect effect = OptionRules::chooseVideoCodec(
        row, index, ui->Vcodec->currentText(), comboState(ui->Vaspect).items);
    applyRowEffect(item, row, effect);
}

void MainWindow::on_VSize_activated(int index)
{
    QTreeWidgetItem *item = currentRowItem();
    if (!item)
        return;
    OptionRules::RowState row = rowState(item);
    applyRowEffect(item, row, OptionRules::chooseVideoSize(row, index, ui->VSize->currentText()));
}

void MainWindow::on_VBitrate_activated(const QString &)
{
    QTreeWidgetItem *item = currentRowItem();
    if (!item)
        return;
    OptionRules::RowState row = rowState(item);
    applyRowEffect(item, row,
                   OptionRules::chooseVideoBitrate(row, ui->VBitrate->currentIndex(),
                                                   ui->VBitrate->currentText()));
}

void MainWindow::on_VframeRate_activated(int index)
{
    QTreeWidgetItem *item = currentRowItem();
    if (!item)
        return;
    OptionRules::RowState row = rowState(item);
    applyRowEffect(item, row,
                   OptionRules::chooseFrameRate(row, index, ui->VframeRate->currentText()));
}

void MainWindow::on_Vaspect_activated(const QString &)
{
    QTreeWidgetItem *item = currentRowItem();
    if (!item)
        return;
    OptionRules::RowState row = rowState(item);
    applyRowEffect(item, row,
                   OptionRules::chooseAspect(row, ui->Vaspect->currentIndex(),
                                             ui->Vaspect->currentText()));
}

void MainWindow::on_Acodec_activated(int index)
{
    if (QTreeWidgetItem *item = currentRowItem()) {
        OptionRules::RowState row = rowState(item);
        applyRowEffect(item, row,
                       OptionRules::chooseAudioCodec(row, index, ui->Acodec->currentText()));
    }
    ui->treeWidget->setFocus(Qt::OtherFocusReason);
}

void MainWindow::on_ASamplerate_activated(int index)
{
    if (QTreeWidgetItem *item = currentRowItem()) {
        OptionRules::RowState row = rowState(item);
        applyRowEffect(item, row,
                       OptionRules::chooseSampleRate(row, index, ui->ASamplerate->currentText()));
    }
    ui->treeWidget->setFocus(Qt::OtherFocusReason);
}

void MainWindow::on_ABitrate_activated(int index)
{
    if (QTreeWidgetItem *item = currentRowItem()) {
        OptionRules::RowState row = rowState(item);
        applyRowEffect(item, row,
                       OptionRules::chooseAudioBitrate(row, index, ui->ABitrate->currentText()));
    }
    ui->treeWidget->setFocus(Qt::OtherFocusReason);
}

void MainWindow::on_AChannels_activated(int index)
{
    if (QTreeWidgetItem *item = currentRowItem()) {
        OptionRules::RowState row = rowState(item);
        applyRowEffect(item, row,
                       OptionRules::chooseChannels(row, index, ui->AChannels->currentText()));
    }
    ui->treeWidget->setFocus(Qt::OtherFocusReason);
}

// ---------------------------------------------------------------------------
// Preview player and snapshots

void MainWindow::on_PlayButton_clicked() {}
void MainWindow::on_PauseButton_clicked() {}
void MainWindow::on_StopButton_clicked() {}
void MainWindow::on_PreviousButton_clicked() {}
void MainWindow::on_NextButton_clicked() {}
void MainWindow::on_MuteButton_clicked() {}
void MainWindow::on_unMuteButton_clicked() {}
void MainWindow::on_captureButton_clicked() {}
void MainWindow::on_setCaptureButton_pressed() {}
void MainWindow::on_volumeHSlider_valueChanged(int) {}
void MainWindow::on_horizontalSlider_sliderMoved(int) {}
void MainWindow::on_horizontalSlider_sliderPressed() {}
void MainWindow::on_horizontalSlider_sliderReleased() {}
void MainWindow::scanTimer() {}
void MainWindow::NowStop() {}
void MainWindow::upImage() {}
void MainWindow::setSnapshotFolder() {}
void MainWindow::settiff() {}
void MainWindow::setbmp() {}
void MainWindow::setpng() {}
void MainWindow::setjpgH() {}
void MainWindow::setjpgS() {}
void MainWindow::setjpgL() {}
