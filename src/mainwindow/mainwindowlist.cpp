// MainWindow's file list: the rows of added files, removing and selecting rows, the list's poll.
// Leans on mainwindowoptions.cpp to build a row's job, mainwindowpreview.cpp to stop the preview.

#include "mainwindow.h"

#include "ui_mainwindow.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QToolButton>
#include <QTreeWidget>

#include "conversion/editorsession.h"
#include "filelist/addflow.h"
#include "filelist/checkedrows.h"
#include "filelist/droppedurls.h"
#include "filelist/filelistrules.h"
#include "filelist/filerow.h"
#include "filelist/folderlook.h"
#include "filelist/optionrules.h"
#include "filelist/outputpaths.h"
#include "filelist/processwait.h"
#include "filelist/tooltext.h"
#include "mainwindow/jobcontrols.h"
#include "mainwindow/settingsfile.h"
#include "platform/platform.h"
#include "player/previewplayer.h"
#include "profiles/argumentlist.h"
#include "profiles/profilecatalogue.h"

namespace {

// The interface poll: its first tick soon after a change, then its pace.
constexpr int kFirstPollMs = 100;
constexpr int kUiPollMs = 200;
constexpr int kOpenTimerMs = 100;
constexpr int kPreviewPollMs = 200;
constexpr double kBytesPerMegabyte = 1048576.0;
// "General Audio": its profiles make no picture.
constexpr int kAudioOnlyCategory = 1;


QVector<FileListRules::CheckedRow> checkedRows(const QTreeWidget *list)
{
    QVector<FileListRules::CheckedRow> rows;
    rows.reserve(list->topLevelItemCount());
    for (int index = 0; index < list->topLevelItemCount(); ++index) {
        const QTreeWidgetItem *row = list->topLevelItem(index);
        rows.append({row->checkState(FileRow::CheckColumn) == Qt::Checked,
                     row->text(FileRow::SourceDurationColumn)});
    }
    return rows;
}

} // namespace

void MainWindow::on_actionOpen_triggered()
{
    // Files picked now could not be listed: no dialog while adding is shut.
    if (!ui->AddFile->isEnabled())
        return;
    QString selectedFilter = QStringLiteral("All Files (*)");
    // A fresh account need not have a desktop folder, and a share need not
    // answer; start at home then rather than offer the missing folder's
    // name as a file name, or wait for the share.
    const QString startFolder = FolderLook::kindOf(lastAddFolder) == FolderLook::Kind::Folder
                                    ? lastAddFolder
                                    : QDir::homePath();
    const QStringList paths =
        QFileDialog::getOpenFileNames(this, tr("open files dialog"), startFolder,
                                      FileListRules::openDialogFilter(), &selectedFilter);
    addPickedFiles(paths);
}

void MainWindow::on_AddFile_clicked()
{
    on_actionOpen_triggered();
}

void MainWindow::addPickedFiles(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    lastAddFolder = QDir::toNativeSeparators(QFileInfo(paths.first()).absolutePath());
    SettingsFile::setValue(SettingsFile::kFolder, lastAddFolder);
    addFiles(paths, paths, AddFlow::Source::OpenDialog);
}

void MainWindow::addDroppedUrls(const QList<QUrl> &urls)
{
    if (urls.isEmpty())
        return;
    QStringList paths;
    QStringList shownNames;
    for (const QUrl &url : urls) {
        // An address that names no local file exactly has no path; it is
        // reported as not added, and the files after it are still added.
        paths << DroppedUrls::localPath(url);
        shownNames << DroppedUrls::shownName(url);
    }
    addFiles(paths, shownNames, AddFlow::Source::Drop);
}

void MainWindow::addFiles(const QStringList &paths, const QStringList &shownNames,
                          AddFlow::Source source)
{
    // The probe shares its tool with the conversion run: no adding while a
    // run converts. The add flow takes one add at a time.
    if (conversion().isActive())
        return;
    const bool windowWasShown = isVisible();
    // The window goes on working while files are probed: closing it ends
    // the adding.
    adder->add(paths, shownNames, source,
               [this, windowWasShown] { return !windowWasShown || isVisible(); });
}

void MainWindow::listProbedFile(const QString &path)
{
    const QFileInfo file(path);
    optionState.inputName = file.fileName();
    optionState.inputExtension = file.suffix();
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash >= 0)
        optionState.inputFolder = path.left(slash + 1);
    // The folder in use, not a text still being typed.
    optionState.outputFolder = OutputPaths::folderFromField(optionState.outputFolderInUse);
    optionState.outputName = OutputPaths::fileNameFor(optionState.inputName, optionState.formatLabel);
    QTreeWidget *list = ui->treeWidget;
    if (optionState.outputName == optionState.inputName)
        optionState.outputName = FileListRules::withNumberBeforeDot(optionState.outputName, list->topLevelItemCount());

    const QString plainOutputName = optionState.outputName;
    optionState.outputName = adder->outputNameFor(optionState.outputName);
    ui->ConvertePushButton->setEnabled(true);
    optionState.outputAudioBitrate = FileListRules::textBefore(ui->ABitrate->currentText(), QLatin1Char('K'));
    addProbedFileRow(adder->probe(), adder->probedStamp());
    const int row = list->topLevelItemCount() - 1;
    buildItemArguments(row);
    adder->nameRow(list->topLevelItem(row), optionState.outputFolder, plainOutputName);
}

void MainWindow::showProbeProgress(int done, int total, const QString &probing)
{
    // The dialog stays while the new rows' names wait for their folder.
    if (done >= total) {
        addProgressDialog.setValue(total);
        addProgressDialog.setText(tr("Waiting for the output folder..."));
        return;
    }
    addProgressDialog.setRange(0, total);
    addProgressDialog.setFileName(OutputPaths::fileName(probing));
    // Counting the file being probed, as one probe after the other would.
    addProgressDialog.setValue(done + 1);
}

void MainWindow::finishAdding(int addedCount)
{
    QTreeWidget *list = ui->treeWidget;
    // Whatever happened on the way, the progress is over.
    addProgressDialog.close();
    const QStringList failedFiles = adder->failedFiles();
    // A window closed meanwhile has nobody to tell.
    if (!failedFiles.isEmpty() && isVisible()) {
        addResultDialog.setAddedCount(addedCount);
        addResultDialog.setFailedFiles(failedFiles);
        addResultDialog.exec();
        addResultDialog.clearErrorList();
    }

    if (QTreeWidgetItem *last = list->topLevelItem(list->topLevelItemCount() - 1)) {
        disconnectSelectionHandler();
        list->clearSelection();
        list->setCurrentItem(last);
        connectSelectionHandler();
        // Once, for the row that is current now.
        on_treeWidget_itemSelectionChanged();
    }
    optionState.finishAdd();
    openTimer.start(kOpenTimerMs);
}

void MainWindow::addProbedFileRow(const ProbeResult &probe, const SourceStamp &probedStamp)
{
    QTreeWidget *list = ui->treeWidget;
    auto *row = new QTreeWidgetItem(QStringList{QString(), optionState.inputName, FileRow::kStatusReady,
                                                probe.probedDuration, probe.probedDuration,
                                                QString(), optionState.outputName});
    list->addTopLevelItem(row);
    for (int column = 0; column <= FileRow::OutputFileColumn; ++column)
        row->setTextAlignment(column, Qt::AlignCenter);
    row->setCheckState(FileRow::CheckColumn, Qt::Checked);
    // Never edited in place; every row listed before has these flags already.
    row->setFlags(Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled);
    uiPollTimer.start(kFirstPollMs);

    // As the probe found it: the file is not looked at again here.
    const qint64 bytes = probedStamp.size;
    const QString megabytes =
        bytes > 0 ? QString::number(double(bytes) / kBytesPerMegabyte, 'f', 3) : QString();

    MediaInfo info = FileRow::emptyMediaInfo();
    info[FileRow::InputFormat] = optionState.inputExtension;
    info[FileRow::InputSize] = probe.probedFrameSize;
    info[FileRow::InputVideoCodec] = probe.probedVideoCodec;
    info[FileRow::InputAudioCodec] = probe.probedAudioCodec;
    info[FileRow::InputFrameRate] = probe.probedFrameRate;
    info[FileRow::InputBitrate] = probe.probedBitrate;
    info[FileRow::InputFileMB] = megabytes;
    info[FileRow::OutputFormat] = optionState.formatLabel;
    const QString size = ui->VSize->currentText();
    info[FileRow::OutputSize] = size == Arguments::kAutoText ? probe.probedFrameSize : size;
    info[FileRow::OutputVideoCodec] = ui->Vcodec->currentText();
    info[FileRow::OutputAudioCodec] = ui->Acodec->currentText();
    const QString frameRate = ui->VframeRate->currentText();
    info[FileRow::OutputFrameRate] = frameRate == Arguments::kAutoText
                                         ? probe.probedFrameRate
                                         : FileListRules::textBefore(frameRate, QLatin1Char('f'));
    const QString videoBitrate = ui->VBitrate->currentText();
    info[FileRow::OutputVideoBitrate] =
        videoBitrate == Arguments::kAutoText
            ? probe.probedBitrate
            : FileListRules::textBefore(videoBitrate, QLatin1Char('K'));
    const FileRow::SizeEstimate estimate = FileRow::estimateSize(
        probe.probedSeconds, info[FileRow::OutputVideoBitrate], optionState.outputAudioBitrate);
    info[FileRow::EstimatedMB] = estimate.estimatedMB;
    if (!estimate.text.isEmpty())
        row->setText(FileRow::SizeColumn, estimate.text);
    info[FileRow::DurationSeconds] = probe.probedSeconds;
    info[FileRow::InputAudioBitrate] = probe.probedAudioBitrate;
    info[FileRow::OutputAudioBitrate] =
        FileListRules::textBefore(ui->ABitrate->currentText(), QLatin1Char('K'));
    info[FileRow::DisplayRatio] = probe.probedDisplayRatio;
    info[FileRow::ExactDuration] = probe.probedSecondsExact;
    FileRow::setMediaInfo(row, info);
    FileRow::setSourceStamp(row, probedStamp);
}

void MainWindow::on_CleanFile_clicked()
{
    if (rowsLocked())
        return;
    if (isPlayerOpen())
        on_StopButton_clicked();
    ui->labelFileName->clear();
    clean();
}

void MainWindow::on_DeleteAllButton_clicked()
{
    on_CleanFile_clicked();
}

void MainWindow::clean()
{
    if (rowsLocked())
        return;
    QTreeWidget *list = ui->treeWidget;
    playStopFlag = 1;
    playEndFlag = 1;
    disconnectSelectionHandler();
    // A current row would move up with every removal, and the list lay
    // itself out again to show it: the whole list once per row.
    list->clearSelection();
    list->setCurrentItem(nullptr);
    for (int index = list->topLevelItemCount() - 1; index >= 0; --index)
        delete list->takeTopLevelItem(index);
    list->clear();
    connectSelectionHandler();
    ui->MovieWidget->hide();
    ui->labelShowState->clear();
    showEmptyList();
}

void MainWindow::on_actionRemove_del_triggered()
{
    if (rowsLocked())
        return;
    QTreeWidget *list = ui->treeWidget;
    ui->MovieWidget->hide();
    disconnectSelectionHandler();
    bool removed = false;
    if (list->topLevelItemCount() > 0) {
        const int current = list->currentIndex().row();
        if (current >= 0) {
            delete list->takeTopLevelItem(current);
            removed = true;
        }
        playStopFlag = 1;
        if (list->topLevelItemCount() == 1)
            closePlayerAudio();
        else if (isPlayerOpen())
            closePlayer();
    }
    connectSelectionHandler();
    if (removed)
        showRowAfterRemoval();
}

void MainWindow::on_DelFile_clicked()
{
    if (rowsLocked())
        return;
    if (ui->MovieWidget->isVisible()) {
        on_PauseButton_clicked();
        ui->MovieWidget->hide();
        ui->widgetTryMovie->setEnabled(false);
        ui->horizontalSlider->setValue(0);
    }
    on_actionRemove_del_triggered();
}

void MainWindow::on_DeleteButton_clicked()
{
    on_DelFile_clicked();
}

void MainWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() != Qt::Key_Delete) {
        QMainWindow::keyPressEvent(event);
        return;
    }
    if (rowsLocked())
        return;
    QTreeWidget *list = ui->treeWidget;
    const int current = list->currentIndex().row();
    if (current < 0 || current >= list->topLevelItemCount())
        return;
    // The selection handler stays connected: it shows the row that becomes current.
    delete list->takeTopLevelItem(current);
    if (current == 0)
        ui->ConvertePushButton->setEnabled(false);
    // The handler runs only when the removal changed the selection.
    showRowAfterRemoval();
}

bool MainWindow::rowsLocked() const
{
    return adder->isAdding() || jobs->conversion().isActive() || jobs->editorSession().isOpen();
}

void MainWindow::changeTreeChecked(bool checked)
{
    const Qt::CheckState state = checked ? Qt::Checked : Qt::Unchecked;
    checkAllBox->setTristate(false);
    checkAllBox->setCheckState(state);
    QTreeWidget *list = ui->treeWidget;
    for (int index = 0; index < list->topLevelItemCount(); ++index)
        list->topLevelItem(index)->setCheckState(FileRow::CheckColumn, state);
}

void MainWindow::menuSelectAll()
{
    QTreeWidget *list = ui->treeWidget;
    for (int index = 0; index < list->topLevelItemCount(); ++index)
        list->topLevelItem(index)->setCheckState(FileRow::CheckColumn, Qt::Checked);
}

QMenu *MainWindow::buildListMenu(const QPoint &pos)
{
    const int rows = ui->treeWidget->topLevelItemCount();
    FileListRules::ListMenuState state =
        FileListRules::listMenuState(rows, pos.y(), ui->ConvertePushButton->isEnabled());
    // Removing takes the Delete key's rule: whenever the rows are not locked,
    // checked or not.
    const FileListRules::ListMenuState unlocked =
        FileListRules::listMenuState(rows, pos.y(), !rowsLocked());
    state.remove = unlocked.remove;
    state.clean = unlocked.clean;
    auto *menu = new QMenu(this);
    const auto entry = [&](const QString &text, bool enabled, void (MainWindow::*slot)()) {
        QAction *action = menu->addAction(text);
        action->setEnabled(enabled);
        if (enabled)
            connect(action, &QAction::triggered, this, slot);
    };
    entry(tr("&Add Files..."), state.addFiles, &MainWindow::on_AddFile_clicked);
    entry(tr("&Del"), state.remove, &MainWindow::on_DelFile_clicked);
    entry(tr("C&lean"), state.clean, &MainWindow::on_CleanFile_clicked);
    menu->addSeparator();
    entry(tr("Selec&t All"), state.selectAll, &MainWindow::menuSelectAll);
    menu->addSeparator();
    entry(tr("File In&formation"), state.fileInformation, &MainWindow::fileInfo);
    return menu;
}

void MainWindow::on_treeWidget_customContextMenuRequested(const QPoint &pos)
{
    QMenu *menu = buildListMenu(pos);
    // Where it was asked for: under the pointer for a click, at the row for
    // the Menu key (see eventFilter).
    menu->exec(ui->treeWidget->viewport()->mapToGlobal(pos));
    menu->deleteLater();
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (rowsLocked())
        return;
    if (event->mimeData()->hasFormat(QStringLiteral("text/uri-list")))
        event->acceptProposedAction();
}

QList<QUrl> MainWindow::takeDrop(QDropEvent *event)
{
    if (rowsLocked() || !acceptDrops())
        return {};
    const QList<QUrl> urls = DroppedUrls::fromMimeData(*event->mimeData());
    if (!urls.isEmpty())
        event->acceptProposedAction();
    return urls;
}

void MainWindow::dropEvent(QDropEvent *event)
{
    const QList<QUrl> urls = takeDrop(event);
    if (urls.isEmpty())
        return;
    // The drag's source waits for the drop to end: let it go first, then
    // probe the files.
    QMetaObject::invokeMethod(this, [this, urls] { addDroppedUrls(urls); }, Qt::QueuedConnection);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->AddFile && event->type() == QEvent::EnabledChange)
        ui->actionOpen->setEnabled(ui->AddFile->isEnabled());
    if (watched == ui->treeWidget && event->type() == QEvent::ContextMenu &&
        static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Keyboard) {
        // The Menu key: the menu of the current row, at that row.
        const QRect row = ui->treeWidget->visualRect(ui->treeWidget->currentIndex());
        on_treeWidget_customContextMenuRequested(row.isValid() ? row.center() : QPoint());
        return true;
    }
    if (watched != ui->PathLine)
        return QMainWindow::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        // Plain text stays the field's own business; addresses are ours.
        auto *drag = static_cast<QDragMoveEvent *>(event);
        if (!drag->mimeData()->hasUrls())
            return false;
        if (rowsLocked() || !acceptDrops())
            drag->ignore();
        else
            drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        if (!drop->mimeData()->hasUrls())
            return false;
        dropOnOutputFolder(drop);
        return true;
    }
    default:
        return QMainWindow::eventFilter(watched, event);
    }
}

void MainWindow::dropOnOutputFolder(QDropEvent *event)
{
    const QList<QUrl> urls = takeDrop(event);
    if (urls.isEmpty())
        return;
    const QString path = urls.size() == 1 ? DroppedUrls::localPath(urls.first()) : QString();
    // As in dropEvent, the drag's source is let go first; then the path is
    // looked at, which a share that does not answer must not hold up.
    QMetaObject::invokeMethod(
        this,
        [this, path, urls] {
            if (FolderLook::kindOf(path) == FolderLook::Kind::Folder)
                applyOutputFolder(path);
            else
                addDroppedUrls(urls);
        },
        Qt::QueuedConnection);
}

void MainWindow::on_pushButton_2_clicked()
{
    ui->textEdit->clear();
}

int MainWindow::lastCheckedRow() const
{
    return FileListRules::lastCheckedRow(checkedRows(ui->treeWidget));
}

int MainWindow::totalCheckedDuration() const
{
    return FileListRules::totalCheckedDuration(checkedRows(ui->treeWidget));
}

void MainWindow::connectSelectionHandler()
{
    // The form connects the handler by name; this is the same connection,
    // made once however often it is restored.
    connect(ui->treeWidget, SIGNAL(itemSelectionChanged()), this,
            SLOT(on_treeWidget_itemSelectionChanged()), Qt::UniqueConnection);
}

void MainWindow::disconnectSelectionHandler()
{
    disconnect(ui->treeWidget, SIGNAL(itemSelectionChanged()), this,
               SLOT(on_treeWidget_itemSelectionChanged()));
    disconnect(ui->treeWidget, &QTreeWidget::itemSelectionChanged, this,
               &MainWindow::on_treeWidget_itemSelectionChanged);
}

void MainWindow::showRowChoices(const QTreeWidgetItem *row)
{
    const ArgumentList arguments = FileRow::arguments(row);
    const QString output = Arguments::outputPath(arguments);
    const qsizetype slash = output.lastIndexOf(QLatin1Char('/'));
    ui->PathLine->setText(slash < 0 ? QString() : output.left(qMax<qsizetype>(slash, 1)));

    QComboBox *const refilled[FileRow::OptionItemsCount] = {
        ui->Vcodec,  ui->VSize,       ui->VBitrate, ui->VframeRate, ui->Vaspect,
        ui->Acodec,  ui->ASamplerate, ui->ABitrate, ui->AChannels,  ui->ProfileDetails,
    };
    for (int which = 0; which < FileRow::OptionItemsCount; ++which) {
        refilled[which]->clear();
        refilled[which]->addItems(FileRow::optionItems(row, FileRow::OptionItems(which)));
    }
    QComboBox *const indexed[FileRow::SettingsIndexCount] = {
        ui->ProfileDevice, ui->ProfileDetails, ui->Vcodec,   ui->VSize,
        ui->VBitrate,      ui->VframeRate,     ui->Vaspect,  ui->Acodec,
        ui->ASamplerate,   ui->ABitrate,       ui->AChannels,
    };
    const SettingsIndexList indexes = FileRow::settingsIndexes(row);
    for (int entry = 0; entry < FileRow::SettingsIndexCount; ++entry) {
        bool isNumber = false;
        const int index = indexes.value(entry).toInt(&isNumber);
        QComboBox *box = indexed[entry];
        // Out of range, like "-1", leaves the box without a current item.
        box->setCurrentIndex(isNumber && index < box->count() ? index : (isNumber ? -1 : 0));
    }
    optionState.shownVideoCodec = ui->Vcodec->currentIndex();
    optionState.shownAudioCodec = ui->Acodec->currentIndex();
    const bool audioOnlyProfile = ui->ProfileDevice->currentIndex() == kAudioOnlyCategory;
    for (QWidget *video : {static_cast<QWidget *>(ui->Vaspect), static_cast<QWidget *>(ui->VBitrate),
                           static_cast<QWidget *>(ui->Vcodec),
                           static_cast<QWidget *>(ui->VframeRate),
                           static_cast<QWidget *>(ui->VSize)})
        video->setEnabled(!audioOnlyProfile);
    showOutputInfo();
    updateDevicePicture(ui->ProfileDevice->currentIndex());

    // Files added next are given the profile on show: their output name and
    // label must come from it as their job does, not from a profile chosen
    // for another row.
    if (const std::optional<ProfileEntry> shown = ProfileCatalogue::entry(
            ui->ProfileDevice->currentIndex(), ui->ProfileDetails->currentIndex())) {
        optionState.profileFile = shown->fileName;
        optionState.currentProfileFile = optionState.profileFile;
        optionState.formatLabel = shown->formatLabel;
    }
}

void MainWindow::showRowAfterRemoval()
{
    // Nothing may go on showing a row that is gone: a choice made in the
    // boxes next would reach the row that is current now, with the indexes of
    // the removed row's lists, and Play would play it under the old name. The
    // row now current is shown chosen and taken as a click on it would be.
    QTreeWidget *list = ui->treeWidget;
    if (list->topLevelItemCount() == 0) {
        showEmptyList();
        return;
    }
    const QModelIndex current = list->currentIndex();
    if (!current.isValid())
        return;
    disconnectSelectionHandler();
    list->selectionModel()->select(current, QItemSelectionModel::ClearAndSelect
                                                | QItemSelectionModel::Rows);
    connectSelectionHandler();
    on_treeWidget_itemSelectionChanged();
}

void MainWindow::showEmptyList()
{
    // Stopped, with no name, length or picture of a file that is gone.
    on_StopButton_clicked();
    ui->labelFileName->clear();
    previewFrame.clear();
    for (QLabel *label : {ui->lab_OutputFormat, ui->lab_AudioCodec, ui->lab_FrameRate,
                          ui->lab_VideoCodec, ui->lab_VideoSize, ui->lab_VodecBitrate})
        label->clear();
    checkTimer();
}

void MainWindow::showCurrentRowControls()
{
    const QTreeWidgetItem *row = currentRowItem();
    if (!row || FileRow::arguments(row).isEmpty())
        return;
    showRowChoices(row);
    const bool hasPicture = !currentMediaInfo().value(FileRow::InputSize).isEmpty();
    for (QToolButton *button : {ui->editVideo, ui->editVideo_Trim, ui->editVideo_Effect})
        button->setEnabled(hasPicture);
}

void MainWindow::on_treeWidget_itemSelectionChanged()
{
    if (isPlayerOpen())
        on_StopButton_clicked();
    disconnectSelectionHandler();
    QTreeWidget *list = ui->treeWidget;
    QToolButton *const editButtons[] = {ui->editVideo, ui->editVideo_Trim, ui->editVideo_Effect};
    const auto enableEditing = [&](bool enabled) {
        for (QToolButton *button : editButtons)
            button->setEnabled(enabled);
    };

    const int current = list->currentIndex().row();
    QTreeWidgetItem *row = list->topLevelItem(current);
    if (current < 0)
        enableEditing(false);
    if (!row) {
        connectSelectionHandler();
        return;
    }
    enableEditing(true);
    const ArgumentList arguments = FileRow::arguments(row);
    if (arguments.isEmpty()) {
        connectSelectionHandler();
        return;
    }

    showRowChoices(row);

    const qsizetype inputAt = arguments.indexOf(Arguments::kInput);
    const QString input = arguments.value(inputAt + 1);
    // A player left open on another file must not show its pictures under
    // this row's name: its refreshes end, and its picture goes.
    playStopFlag = isPlayerOpen() && !isPlayerOpenOn(input) ? 1 : 0;
    if (!isPlayerOpenOn(input))
        previewFrame.clear();
    stopDelayTimer.stop();
    previewPollTimer.start(kPreviewPollMs);
    if (!ui->StopButton->isEnabled())
        playEndFlag = 1;
    if (!input.isEmpty()) {
        if (isPlayerOpen())
            closePlayerAudio();
        ui->horizontalSlider->setValue(0);
        updatePlayTimeLabel(0.0);
        // Shortened in the middle, as the list shortens it: both ends tell.
        QLabel *title = ui->labelFileName;
        title->setText(title->fontMetrics().elidedText(OutputPaths::fileName(input),
                                                       Qt::ElideMiddle,
                                                       title->contentsRect().width()));
        playEndFlag = 0;
        enableEditing(!currentMediaInfo().value(FileRow::InputSize).isEmpty());
    }
    connectSelectionHandler();
}

void MainWindow::checkTimer()
{
    uiPollTimer.stop();
    // A slider drag lets a paused preview run while it lasts; that is no
    // stray playback to stop.
    if (isPlayerOpen() && !isPlayerPaused() && !ui->StopButton->isEnabled()
        && !ui->horizontalSlider->isSliderDown())
        on_StopButton_clicked();

    const int rows = ui->treeWidget->topLevelItemCount();
    const int checked = checkedCount->count();
    checkAllBox->setCheckState(FileListRules::checkAllState(rows, checked));

    QLabel *const outputLabels[] = {ui->lab_OutputFormat, ui->lab_AudioCodec, ui->lab_FrameRate,
                                    ui->lab_VideoCodec,   ui->lab_VideoSize,  ui->lab_VodecBitrate};
    if (checked > 0) {
        // Controls that come back, after a run or once a row is checked
        // again, show the current row as selecting it does. An add in
        // progress shows its rows itself.
        const bool comingBack = !ui->ProfileDevice->isEnabled() && !adder->isAdding();
        setJobControlsEnabled(true);
        ui->frameBackPic->setEnabled(true);
        ui->frameBackPic->hide();
        updatePrevNextButtons();
        if (comingBack)
            showCurrentRowControls();
    } else if (rows > 0) {
        setJobControlsEnabled(false);
        lockEditButtons();
        // Rows go by the buttons as they go by the Delete key, checked or not.
        for (QAbstractButton *removal : std::initializer_list<QAbstractButton *>{
                 ui->DelFile, ui->CleanFile, ui->DeleteButton, ui->DeleteAllButton})
            removal->setEnabled(true);
        for (QLabel *label : outputLabels)
            label->clear();
        ui->frameBackPic->hide();
        ui->frameBackPic->setEnabled(true);
    } else {
        setJobControlsEnabled(false);
        lockEditButtons();
        ui->frameBackPic->setEnabled(false);
        ui->frameBackPic->show();
    }
    uiPollTimer.start(kUiPollMs);
}

void MainWindow::updatePrevNextButtons()
{
    const QTreeWidget *list = ui->treeWidget;
    const int rows = list->topLevelItemCount();
    // An empty list has no current row (-1), which is also its "last" row.
    const int current = list->currentIndex().row();
    if (current == 0)
        ui->PreviousButton->setEnabled(false);
    if (current == rows - 1)
        ui->NextButton->setEnabled(false);
}

void MainWindow::fileInfo()
{
    // Only a row has information to show; stale labels would mislead.
    if (!currentRowItem())
        return;
    mediaInfoDialog.setInfo(currentMediaInfo());
    mediaInfoDialog.exec();
}
