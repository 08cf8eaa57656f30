// MainWindow's output profiles and options: device, profile and codec boxes, Advance, Destination.
// Leans on mainwindowlist.cpp for the current row, mainwindowpreview.cpp around the Advance dialog.

#include "mainwindow.h"

#include "ui_mainwindow.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QTreeWidget>

#include "app/version.h"
#include "conversion/rowjobbuilder.h"
#include "filelist/filerow.h"
#include "filelist/folderlook.h"
#include "filelist/optionrules.h"
#include "filelist/outputname.h"
#include "filelist/outputnaming.h"
#include "filelist/outputpaths.h"
#include "mainwindow/settingsfile.h"
#include "platform/platform.h"
#include "player/previewplayer.h"
#include "profiles/argumentlist.h"
#include "profiles/optionboxes.h"
#include "profiles/profilecatalogue.h"
#include "profiles/profileloader.h"
#include "settingsdialog/scriptparameters.h"
#include "settingsdialog/settingsreplay.h"

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

// The row's script takes the output size and the sound the boxes show once
// the Advance dialog has been accepted.
ScriptParameterValues scriptParameterValues(const Ui::MainWindow *ui, const QTreeWidgetItem *row)
{
    return ScriptParameters::valuesFor(FileRow::mediaInfo(row).at(FileRow::OutputSize),
                                       ui->AChannels->currentText(),
                                       ui->ASamplerate->currentText());
}

// An option rule's result written into the row, and the aspect box when the
// rule reset the row's aspect.
void storeRowEffect(QTreeWidgetItem *item, const OptionRules::RowState &row,
                    const OptionRules::SlotEffect &effect, QComboBox *aspectBox)
{
    FileRow::setSettingsIndexes(item, row.settingsIndexes);
    FileRow::setArguments(item, row.arguments);
    FileRow::setMediaInfo(item, row.mediaInfo);
    if (effect.sizeChanged)
        item->setText(FileRow::SizeColumn, effect.sizeText);
    if (effect.aspectIndex >= 0)
        aspectBox->setCurrentIndex(effect.aspectIndex);
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
    if (!selection.loaded)
        showProblem(ProfileLoader::unreadableMessage(fileName));
    OptionBoxes::fill(ui->Vcodec, selection.vcodec);
    OptionBoxes::fill(ui->VSize, selection.vsize);
    OptionBoxes::fill(ui->VBitrate, selection.vbitrate);
    OptionBoxes::fill(ui->VframeRate, selection.vframeRate);
    OptionBoxes::fill(ui->Acodec, selection.acodec);
    OptionBoxes::fill(ui->ABitrate, selection.abitrate);
    OptionBoxes::fill(ui->ASamplerate, selection.asamplerate);
    OptionBoxes::fill(ui->AChannels, selection.achannels);
    optionState.shownVideoCodec = selection.vcodec.current;
    optionState.shownAudioCodec = selection.acodec.current;
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
    if (!optionState.inputName.isEmpty()
        && (!optionState.inputExtension.isEmpty() || previousInput.isEmpty()))
        input.newInputPath = withTrailingSlash(optionState.inputFolder) + optionState.inputName;

    // A rebuilt row keeps its own output path: the profile choice has given
    // it its new extension, and the output folder button may have moved it
    // for this row alone. outputName belongs to the file being added.
    QString output;
    if (input.newInputPath.isEmpty())
        output = Arguments::outputPath(input.previousArguments);
    if (output.isEmpty()) {
        QString folder = withTrailingSlash(optionState.outputFolder);
        if (folder.isEmpty())
            folder = OutputPaths::folderFromField(optionState.outputFolderInUse);
        output = folder + optionState.outputName;
    }
    const QString source = input.newInputPath.isEmpty() ? previousInput : input.newInputPath;
    // Whatever the name, the job never writes over its own source (with no
    // name left the path is empty, and the transcoder refuses the job). The
    // name as the file system resolves it is the output naming's to check,
    // away from this thread.
    input.outputPath = OutputName::firstFree(output, 1, [&source](const QString &path) {
        return QDir::cleanPath(path) != QDir::cleanPath(source);
    });

    input.scriptFolder = Platform::tempDir();
    ScriptWriter &scripts = conversion().scripts();
    input.scriptNumber = scripts.nextNumber();
    input.avsPluginPath = avsPluginPath;
    input.avsImportPath = avsImportPath;
    input.avsHeaderPath = avsHeaderPath;

    const RowJob job = RowJobBuilder::build(input);
    if (!job.valid)
        return;
    // A row keeps its number whether or not its script could be written.
    if (job.seedsEffects)
        scripts.takeNumber();
    RowJobBuilder::store(item, job);
    // Written away from this thread, which a disk that syncs slowly would
    // hold; a run waits for it, and a failure is told when it comes.
    if (job.seedsEffects && !job.scriptText.isEmpty())
        scripts.write(job.scriptPath, job.scriptText);
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
    const QString size = OptionRules::recordOutput(info, outputTexts(ui, optionState.formatLabel));
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
        optionState.takeProfile(entry->fileName, entry->formatLabel);
        loadProfileFile(optionState.profileFile);
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

            const ArgumentList arguments = FileRow::arguments(item);
            const QString oldOutput = Arguments::outputPath(arguments);
            if (!oldOutput.isEmpty()) {
                const QString wanted =
                    OutputPaths::withExtension(oldOutput, optionState.formatLabel);
                // Refused and told when no name is left: the row keeps its file.
                if (wanted != oldOutput)
                    naming->name(item,
                                 {wanted, QString(), 1,
                                  OutputPaths::plainName(Arguments::inputPath(arguments), wanted)},
                                 [this](QTreeWidgetItem *, const QString &refused) {
                                     showProblem(OutputPaths::noFreeNameText(refused));
                                 });
                optionState.outputName = item->text(FileRow::OutputFileColumn);
            }
            buildItemArguments(row);

            MediaInfo info = FileRow::mediaInfo(item);
            const QString size =
                OptionRules::recordOutput(info, outputTexts(ui, optionState.formatLabel));
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
        // An accepted dialog has written every choice into the row's indexes,
        // which reach the job and the script here; a cancelled one has given
        // the row its indexes back.
        if (settingsDialog.exec() == QDialog::Accepted) {
            replaySettings(settingsDialog.item());
            const QString script =
                FileRow::effects(settingsDialog.item()).value(FileRow::ScriptPathEntry);
            const ScriptParameterValues values = scriptParameterValues(ui, settingsDialog.item());
            // Patched after whatever else is on its way to the script.
            conversion().scripts().rewrite(
                script,
                [script, values] { return ScriptParameters::patchFile(script, values).message; },
                this,
                [this](const QString &problem) {
                    if (!problem.isEmpty())
                        showProblem(problem);
                });
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

void MainWindow::on_browsePushButton_clicked()
{
    // A typed folder on a share that does not answer is not where the
    // dialog starts: it would wait for the share.
    const QString typed = ui->PathLine->text();
    const QString start =
        FolderLook::kindOf(typed) == FolderLook::Kind::NoAnswer ? QDir::homePath() : typed;
    const QString chosen = QFileDialog::getExistingDirectory(
        this, tr("Open Directory"), start,
        QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (!chosen.isEmpty())
        applyOutputFolder(chosen);
}

void MainWindow::applyOutputFolder(const QString &text)
{
    // Chosen or typed alike: the folder shown is where every row goes. It is
    // made and tried away from this thread, in turn with the rows' names.
    const QString folder = OutputPaths::folderFromField(text);
    naming->prepareFolder(folder, this, [this, folder](const QString &problem) {
        QLineEdit *field = ui->PathLine;
        if (!problem.isEmpty()) {
            field->setText(optionState.outputFolderInUse);
            showProblem(problem);
            return;
        }
        // The text may stay as typed, which tells no change to the tracker.
        field->setText(QDir::toNativeSeparators(QDir::cleanPath(folder)));
        optionState.outputFolderInUse = field->text();
        SettingsFile::setValue(SettingsFile::kOutput, field->text());
        // The field names where the files go: every row follows it, and with
        // no free name left a row stays where it was.
        naming->moveAllTo(folder, [this](QTreeWidgetItem *, const QString &wanted) {
            showProblem(OutputPaths::noFreeNameText(wanted));
        });
    });
}

void MainWindow::tellSettingsUnsaved(const QString &path)
{
    if (toldSettingsUnsaved)
        return;
    toldSettingsUnsaved = true;
    showProblem(tr("The settings cannot be saved: %1 cannot be written. Changes you make "
                   "now are forgotten when the program ends.")
                    .arg(QDir::toNativeSeparators(path)));
}

void MainWindow::setRowOutputPath(QTreeWidgetItem *item, const QString &path)
{
    FileRow::setOutputPath(item, path);
}

void MainWindow::on_Vcodec_activated(int index)
{
    // A codec with lists of its own refills the boxes that depend on it.
    const bool refilled = OptionBoxes::followCodec(
        Platform::installDir(), optionState.profileFile, ProfileLoader::CodecKind::Video,
        ui->Vcodec, optionState.shownVideoCodec, {ui->VSize, ui->VBitrate, ui->VframeRate});
    QTreeWidgetItem *item = currentRowItem();
    if (!item)
        return;
    OptionRules::RowState row = rowState(item);
    const OptionRules::SlotEffect effect = OptionRules::chooseVideoCodec(
        row, index, ui->Vcodec->currentText(), comboState(ui->Vaspect).items);
    storeRowEffect(item, row, effect, ui->Vaspect);
    if (effect.showOutputInfo)
        showOutputInfo();
    if (!refilled)
        return;
    // The row takes the codec's defaults, and its lists for when it is shown again.
    FileRow::setOptionItems(item, FileRow::VSizeItems, comboState(ui->VSize).items);
    FileRow::setOptionItems(item, FileRow::VBitrateItems, comboState(ui->VBitrate).items);
    FileRow::setOptionItems(item, FileRow::VframeRateItems, comboState(ui->VframeRate).items);
    on_VSize_activated(ui->VSize->currentIndex());
    on_VBitrate_activated(ui->VBitrate->currentText());
    on_VframeRate_activated(ui->VframeRate->currentIndex());
}

void MainWindow::applyOptionRule(OptionRule rule, int index, const QComboBox *box)
{
    QTreeWidgetItem *item = currentRowItem();
    if (!item)
        return;
    OptionRules::RowState row = rowState(item);
    const OptionRules::SlotEffect effect = rule(row, index, box->currentText());
    storeRowEffect(item, row, effect, ui->Vaspect);
    if (effect.showOutputInfo)
        showOutputInfo();
}

void MainWindow::on_VSize_activated(int index)
{
    applyOptionRule(OptionRules::chooseVideoSize, index, ui->VSize);
}

void MainWindow::on_VBitrate_activated(const QString &)
{
    applyOptionRule(OptionRules::chooseVideoBitrate, ui->VBitrate->currentIndex(), ui->VBitrate);
}

void MainWindow::on_VframeRate_activated(int index)
{
    applyOptionRule(OptionRules::chooseFrameRate, index, ui->VframeRate);
}

void MainWindow::on_Vaspect_activated(const QString &)
{
    applyOptionRule(OptionRules::chooseAspect, ui->Vaspect->currentIndex(), ui->Vaspect);
}

void MainWindow::on_Acodec_activated(int index)
{
    const bool refilled = OptionBoxes::followCodec(
        Platform::installDir(), optionState.profileFile, ProfileLoader::CodecKind::Audio,
        ui->Acodec, optionState.shownAudioCodec, {ui->ASamplerate, ui->ABitrate, ui->AChannels});
    applyOptionRule(OptionRules::chooseAudioCodec, index, ui->Acodec);
    if (QTreeWidgetItem *item = currentRowItem(); item && refilled) {
        FileRow::setOptionItems(item, FileRow::ASamplerateItems, comboState(ui->ASamplerate).items);
        FileRow::setOptionItems(item, FileRow::ABitrateItems, comboState(ui->ABitrate).items);
        FileRow::setOptionItems(item, FileRow::AChannelsItems, comboState(ui->AChannels).items);
        on_ASamplerate_activated(ui->ASamplerate->currentIndex());
        on_ABitrate_activated(ui->ABitrate->currentIndex());
        on_AChannels_activated(ui->AChannels->currentIndex());
    }
    ui->treeWidget->setFocus(Qt::OtherFocusReason);
}

void MainWindow::on_ASamplerate_activated(int index)
{
    applyOptionRule(OptionRules::chooseSampleRate, index, ui->ASamplerate);
    ui->treeWidget->setFocus(Qt::OtherFocusReason);
}

void MainWindow::on_ABitrate_activated(int index)
{
    applyOptionRule(OptionRules::chooseAudioBitrate, index, ui->ABitrate);
    ui->treeWidget->setFocus(Qt::OtherFocusReason);
}

void MainWindow::on_AChannels_activated(int index)
{
    applyOptionRule(OptionRules::chooseChannels, index, ui->AChannels);
    ui->treeWidget->setFocus(Qt::OtherFocusReason);
}
