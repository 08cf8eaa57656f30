#include "preferencedialog.h"

#include "ui_preferencedialog.h"

#include <QDir>
#include <QFileDialog>

#include "app/windowdrag.h"
#include "filelist/folderlook.h"
#include "filelist/folderpath.h"
#include "filelist/outputpaths.h"
#include "mainwindow/settingsfile.h"
#include "platform/platform.h"

namespace {

constexpr int kBmpFormat = 1;
constexpr int kDefaultCycle = 1;

} // namespace

preferenceDialog::preferenceDialog(QWidget *parent)
    : SkinnedDialog(QStringLiteral("skins/default/config.png"), RefreshOnPaint, parent)
    , ui(new Ui::preferenceDialog)
{
    ui->setupUi(this);

    ui->OutputPath->setText(
        SettingsFile::value(SettingsFile::kOutput, SettingsFile::defaultOutputFolder()).toString());
    ui->SnapPath->setText(
        SettingsFile::value(SettingsFile::kSnapshot, SettingsFile::defaultSnapshotFolder())
            .toString());
    ui->SnapFormatComboBox->setCurrentIndex(kBmpFormat);
    ui->checkBoxUpdate->setChecked(SettingsFile::value(SettingsFile::kUpdateEnabled, true).toBool());
    // A stored index that names no cycle leaves the box without a choice.
    ui->CycleComboBox->setCurrentIndex(
        SettingsFile::value(SettingsFile::kUpdateCycle, kDefaultCycle).toInt());
    // Enter confirms: without a default, the first Browse button would take
    // it and open a folder dialog.
    ui->pushButtonOK->setDefault(true);
}

preferenceDialog::~preferenceDialog()
{
    delete ui;
}

QString preferenceDialog::outputFolder() const
{
    return outputFolderField;
}

QString preferenceDialog::snapshotFolder() const
{
    return snapshotFolderField;
}

void preferenceDialog::setOutputFolder(const QString &folder)
{
    outputFolderField = folder;
    ui->OutputPath->setText(folder);
}

void preferenceDialog::setSnapshotFolder(const QString &folder)
{
    snapshotFolderField = folder;
    ui->SnapPath->setText(folder);
}

void preferenceDialog::setShutdownAction(int action)
{
    ui->ShutdownComboBox->setCurrentIndex(action);
}

int preferenceDialog::shutdownAction() const
{
    return ui->ShutdownComboBox->currentIndex();
}

void preferenceDialog::setSnapFormat(int format)
{
    ui->SnapFormatComboBox->setCurrentIndex(format);
}

int preferenceDialog::snapFormat() const
{
    return ui->SnapFormatComboBox->currentIndex();
}

bool preferenceDialog::dragAllowed(QPoint origin, QPointF pointer) const
{
    return WindowDrag::preferencesDrags(origin, pointer.toPoint());
}

void preferenceDialog::on_closeButton_clicked()
{
    close();
}

void preferenceDialog::on_pushButtonCancel_clicked()
{
    reject();
}

void preferenceDialog::on_pushButtonOK_clicked()
{
    SettingsFile::setValue(SettingsFile::kUpdateEnabled, ui->checkBoxUpdate->isChecked());
    // A stored cycle that names no entry stays as it is until one is chosen.
    if (ui->CycleComboBox->currentIndex() >= 0)
        SettingsFile::setValue(SettingsFile::kUpdateCycle, ui->CycleComboBox->currentIndex());
    SettingsFile::setValue(SettingsFile::kDown, ui->ShutdownComboBox->currentIndex());
    outputFolderField = ui->OutputPath->text();
    // A typed snapshot folder is taken as Destination takes one (relative to
    // the home folder); it is made when the first snapshot goes into it.
    const QString typedSnapshot = ui->SnapPath->text();
    if (typedSnapshot != snapshotFolderField && !typedSnapshot.trimmed().isEmpty())
        snapshotFolderField = OutputPaths::folderFromField(typedSnapshot);
    accept();
}

void preferenceDialog::on_OpenSnapButton_clicked()
{
    Platform::openFolder(ui->SnapPath->text());
}

void preferenceDialog::on_BrowseSnapButton_clicked()
{
    const QString chosen = askForFolder(snapshotFolderField);
    if (chosen.isEmpty())
        return;
    snapshotFolderField = FolderPath::withTrailingSeparator(chosen);
    ui->SnapPath->setText(snapshotFolderField);
}

void preferenceDialog::on_OpenOutputButton_clicked()
{
    Platform::openFolder(ui->OutputPath->text());
}

void preferenceDialog::on_BrowseOutputButton_clicked()
{
    const QString chosen = askForFolder(ui->OutputPath->text());
    if (chosen.isEmpty())
        return;
    ui->OutputPath->setText(chosen);
    outputFolderField = ui->OutputPath->text();
}

QString preferenceDialog::askForFolder(const QString &startFolder)
{
    // A folder on a share that does not answer is not where the dialog
    // starts: it would wait for the share.
    const QString start = FolderLook::kindOf(startFolder) == FolderLook::Kind::NoAnswer
                              ? QDir::homePath()
                              : startFolder;
    return QDir::toNativeSeparators(QFileDialog::getExistingDirectory(
        this, tr("Open Directory"), start,
        QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks));
}
