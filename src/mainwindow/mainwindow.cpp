// MainWindow: its construction and destruction, connections, timers, menus and control switches.
// Its parts are files of their own: mainwindow{chrome,run,list,options,preview}.cpp.

#include "mainwindow.h"

#include "ui_mainwindow.h"

#include <utility>

#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QTextDocument>
#include <QTextEdit>
#include <QTreeWidget>

#include "app/accessiblecontrols.h"
#include "app/comboenterkey.h"
#include "app/focusmark.h"
#include "app/skin.h"
#include "app/typedoptionguard.h"
#include "app/version.h"
#include "conversion/avsplugins.h"
#include "conversion/editorsession.h"
#include "conversion/timetext.h"
#include "filelist/addflow.h"
#include "filelist/checkedrows.h"
#include "filelist/effectscale.h"
#include "filelist/headercheckbox.h"
#include "filelist/optionrules.h"
#include "filelist/outputnaming.h"
#include "filelist/rowcheckkey.h"
#include "filelist/statuscell.h"
#include "mainwindow/jobcontrols.h"
#include "mainwindow/ownfilesworker.h"
#include "mainwindow/settingsfile.h"
#include "platform/filecalls.h"
#include "platform/platform.h"
#include "player/previewplayer.h"
#include "profiles/argumentlist.h"

namespace {

constexpr int kUpdateCheckDelayMs = 11000;
// Lines the hidden log keeps (a few hundred files' worth of probe and
// conversion text).
constexpr int kLogLines = 3000;

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

// Creates the folders when they are missing, away from this thread: they
// lie in the home folder. A fresh Linux account need not have a documents
// folder yet, so the whole path is made. A failure is met later by whoever
// uses the folder.
void makeFolders(const QStringList &paths)
{
    OwnFilesWorker::instance().post([paths] {
        for (const QString &path : paths)
            FileCalls::makePath(path);
    });
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    // Before a screen reader first asks about a control.
    AccessibleControls::install();
    // The window's timers are its children under their own names, so that
    // what the window waits for can be looked at from outside.
    const std::pair<QTimer *, const char *> timers[] = {
        {&previewPollTimer, "previewPollTimer"},
        {&stopDelayTimer, "stopDelayTimer"},
        {&openTimer, "openTimer"},
        {&repaintTimer, "repaintTimer"},
        {&updateCheckTimer, "updateCheckTimer"},
        {&shutdownTimer, "shutdownTimer"},
        {&uiPollTimer, "uiPollTimer"},
    };
    for (const auto &[timer, name] : timers) {
        timer->setParent(this);
        timer->setObjectName(QLatin1String(name));
    }
    connect(&uiPollTimer, &QTimer::timeout, this, &MainWindow::checkTimer);
    connect(&openTimer, &QTimer::timeout, this, &MainWindow::opentime);
    // Read away from this thread while the form is built; the first read
    // below waits for it a moment at most.
    SettingsFile::load();
    SettingsFile::setWriteFailureHandler([this](const QString &path) {
        // A write may come from inside a dialog or the constructor: the
        // window says it when it gets its turn.
        QMetaObject::invokeMethod(
            this, [this, path] { tellSettingsUnsaved(path); }, Qt::QueuedConnection);
    });

    setWindowFlags(Qt::FramelessWindowHint);
    ui->setupUi(this);
    // The window's own dialogs are its dialogs to the desktop: above it and
    // over its middle. Taken in after the form, whose widgets come first.
    for (QDialog *dialog : std::initializer_list<QDialog *>{
             &mediaInfoDialog, &settingsDialog, &addProgressDialog, &addResultDialog, &aboutDialog})
        dialog->setParent(this, dialog->windowFlags());
    connectJobControls();
    naming = new OutputNaming(ui->treeWidget, this);
    adder = new AddFlow(ui->treeWidget, naming, this);
    connect(adder, &AddFlow::fileProbed, this, &MainWindow::listProbedFile);
    connect(adder, &AddFlow::started, &addProgressDialog, &openProgress::showAdding);
    connect(&addProgressDialog, &openProgress::cancelled, adder, &AddFlow::cancel);
    connect(adder, &AddFlow::probeProgress, this, &MainWindow::showProbeProgress);
    connect(adder, &AddFlow::finished, this, &MainWindow::finishAdding);
    connect(adder, &AddFlow::toolText, ui->textEdit, &QTextEdit::append);
    connect(adder, &AddFlow::problem, this, &MainWindow::showProblem);
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
            optionState.outputFolderInUse = text;
    });
    connect(ui->PathLine, &QLineEdit::editingFinished, this, [this] {
        if (ui->PathLine->isModified())
            applyOutputFolder(ui->PathLine->text());
    });
    ui->PathLine->installEventFilter(this);
    ui->treeWidget->installEventFilter(this);
    // Ctrl+O is the Add File button's key: it is greyed when the button is.
    ui->AddFile->installEventFilter(this);
    // The menu bar that shows these shortcuts is hidden, and a hidden menu's
    // shortcuts do nothing: the window itself carries them. Del stays with
    // the window's own key handling.
    addActions({ui->actionOpen, ui->actionExit_X});
    new FocusMark(this);
    new ComboEnterKey(this);
    // Told as a share of full volume, not in the sound's own 0..128.
    AccessibleControls::readAsPercent(ui->volumeHSlider);
    ui->textEdit->setVisible(false);
    // The hidden log takes the transcoder's text for every file added or
    // converted: in a long session it keeps the latest lines only.
    ui->textEdit->document()->setMaximumBlockCount(kLogLines);
    ui->pushButton_2->setVisible(false);
    ui->MoveDownButton->setVisible(false);
    ui->MoveUpButton->setVisible(false);
    // The option boxes lie below the window, never seen; a screen reader
    // would announce them there. Hidden, they still hold the file's options.
    for (QWidget *unseen :
         std::initializer_list<QWidget *>{ui->groupBox, ui->groupBox_2, ui->label_12})
        unseen->setVisible(false);

    SettingsFile::writeProductRecord();

    makeFolders({SettingsFile::defaultHomeFolder(), SettingsFile::defaultOutputFolder(),
                 SettingsFile::defaultSnapshotFolder()});
    ui->PathLine->setText(SettingsFile::defaultOutputFolder());
    snapshots.setFolder(SettingsFile::defaultSnapshotFolder());

    buildSystemMenu();

    setWindowTitle(QLatin1String(kProductName));
    ui->labeltext->setText(QLatin1String(kProductName));

    fillDeviceCombo();
    on_ProfileDevice_activated(QStringLiteral("General Video"));
    on_ProfileDetails_activated(0);
    setJobControlsEnabled(false);
    lockEditButtons();
    ui->frameBackPic->setEnabled(false);
    ui->frameBackPic->setVisible(true);
    ui->StopConvertePushButton->setEnabled(false);
    ui->PausePushButton->setEnabled(false);

    ui->PathLine->setText(
        SettingsFile::value(SettingsFile::kOutput, SettingsFile::defaultOutputFolder()).toString());
    snapshots.setFolder(
        SettingsFile::value(SettingsFile::kSnapshot, SettingsFile::defaultSnapshotFolder())
            .toString());

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
    // The folder is this copy's own: what a crashed copy of the same number
    // left there is counted past once, away from this thread, not looked
    // for at every row.
    conversion().scripts().countTaken(Platform::tempDir());

    lastAddFolder =
        SettingsFile::value(SettingsFile::kFolder, Platform::desktopDir()).toString();

    connect(this, &MainWindow::setMove, this, &MainWindow::item_selectChanged);
}

MainWindow::~MainWindow()
{
    // What still runs is ended by its owner's destructor, after this body:
    // what the owner reports then must not reach the half-gone window.
    for (QObject *engine : std::initializer_list<QObject *>{
             &jobs->conversion(), &jobs->editorSession(), adder, naming})
        QObject::disconnect(engine, nullptr, nullptr, nullptr);
    // A run's job ends with its controller, while the rows it was given are
    // still there.
    delete jobs;
    jobs = nullptr;
    SettingsFile::setWriteFailureHandler({});
    ui->PathLine->removeEventFilter(this);
    ui->treeWidget->removeEventFilter(this);
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
    // Opened while the button is held, as the snapshot menu is: a Wayland
    // compositor grants a menu's grab to a press only, so one opened at the
    // release closes again before it is seen.
    ui->sysInfo->setPopupMode(QToolButton::InstantPopup);
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
    snapshotQuality = SnapshotChoices::kNoQuality;
    actions.at(SnapshotChoices::Bmp)->activate(QAction::Trigger);
    // The default format chosen in the preferences, when there is one.
    bool isIndex = false;
    const int stored = SettingsFile::value(SettingsFile::kSnapshotFormat).toInt(&isIndex);
    if (isIndex && stored >= 0 && stored < actions.size())
        actions.at(stored)->activate(QAction::Trigger);
    fileFormatMenu->addActions(group->actions());
    clearSnapshotRequests();
    connectSnapshotCapture();

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
    // Every row is one line high: the view need not ask each row its height
    // whenever the list changes, which costs the length of the list.
    list->setUniformRowHeights(true);

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

    // Over the header's first section, yet beside the list: in it, a screen
    // reader would never find it. Under the empty list's cover, as the list is.
    checkAllBox = new QCheckBox(list->parentWidget());
    checkAllBox->setObjectName(QStringLiteral("checkAll"));
    checkAllBox->setAccessibleName(tr("Check All"));
    checkAllBox->setStyleSheet(QLatin1String(kCheckAllStyle));
    checkAllBox->stackUnder(ui->frameBackPic);
    list->setColumnHidden(7, true);
    list->setColumnHidden(8, true);
    // A screen reader still lists the hidden columns: it says these, not the
    // bytes of their labels.
    list->headerItem()->setData(7, Qt::AccessibleTextRole, tr("Hidden column 1"));
    list->headerItem()->setData(8, Qt::AccessibleTextRole, tr("Hidden column 2"));
    new HeaderCheckBox(list, checkAllBox, QPoint(10, -4));
    checkAllBox->setChecked(true);
    checkAllBox->setCheckState(Qt::Checked);
    connect(checkAllBox, &QCheckBox::clicked, this, &MainWindow::changeTreeChecked);
    // The list's own controls follow it in the focus chain.
    setTabOrder(list, checkAllBox);
    new RowCheckKey(list);
    StatusCell::install(list);
    checkedCount = new CheckedRows(list);
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
        ui->PreviousButton,  ui->browsePushButton,
    };
    for (QWidget *widget : widgets)
        widget->setEnabled(enabled);
}

void MainWindow::setJobControlsEnabled(bool enabled)
{
    // The output folder is not among them: it can be chosen before any file
    // is added, by its field as by its Browse button, which go together.
    const QList<QWidget *> widgets = {
        ui->ConvertePushButton, ui->label_pic,      ui->ProfileDetails, ui->ProfileDevice,
        ui->groupBox,           ui->groupBox_2,     ui->label_12,       ui->progressAll,
        ui->label_13,           ui->widgetSetting,  ui->DelFile,
        ui->CleanFile,          ui->PauseButton,    ui->PlayButton,     ui->PreviousButton,
        ui->NextButton,         ui->horizontalSlider, ui->MoveDownButton, ui->MoveUpButton,
        ui->DeleteButton,       ui->DeleteAllButton,
    };
    for (QWidget *widget : widgets)
        widget->setEnabled(enabled);
    if (!enabled)
        ui->horizontalSlider->setValue(0);
}

void MainWindow::lockEditButtons()
{
    for (QWidget *button : {ui->editVideo, ui->editVideo_Trim, ui->editVideo_Effect})
        button->setEnabled(false);
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
