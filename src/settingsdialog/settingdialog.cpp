#include "settingdialog.h"

#include "ui_settingdialog.h"

#include <QComboBox>
#include <QTreeWidgetItem>

#include "app/typedoptionguard.h"
#include "filelist/filerow.h"
#include "platform/platform.h"
#include "profiles/codectables.h"
#include "profiles/optionboxes.h"
#include "profiles/profilecatalogue.h"
#include "profiles/profileloader.h"

namespace {

const QStringList kAspectItems = {QStringLiteral("default"), QStringLiteral("4:3"),
                                  QStringLiteral("16:9")};

} // namespace

settingDialog::settingDialog(QWidget *parent)
    : SkinnedDialog(QStringLiteral("skins/default/settingsback.png"), ApplyOnce, parent)
    , ui(new Ui::settingDialog) {
    ui->setupUi(this);
    connect(ui->ProfileDevice, &QComboBox::textActivated, this,
            &settingDialog::on_ProfileDevice_activated);
    setWindowTitle(QStringLiteral("Settings"));
    ui->buttonBoxOKCANCEL->hide();
    sizeGuard = new TypedOptionGuard(ui->VSize, [this](const QString &typed) {
        return OptionRules::typedVideoSize(typed, ui->Vcodec->currentText());
    });
    bitrateGuard = new TypedOptionGuard(ui->VBitrate, OptionRules::typedVideoBitrate);
    // Once is enough: the picture never changes while the program runs.
    applySkin();
    initDeviceList();
}

settingDialog::~settingDialog() {
    delete ui;
}

QTreeWidgetItem *settingDialog::item() const {
    return currentRow;
}

QString settingDialog::optionText(int entry, int index) const {
    const QComboBox *box = comboFor(entry);
    return box && index >= 0 && index < box->count() ? box->itemText(index) : QString();
}

QComboBox *settingDialog::comboFor(int entry) const {
    switch (entry) {
    case FileRow::DeviceIndex:
        return ui->ProfileDevice;
    case FileRow::ProfileIndex:
        return ui->ProfileDetails;
    case FileRow::VcodecIndex:
        return ui->Vcodec;
    case FileRow::VSizeIndex:
        return ui->VSize;
    case FileRow::VBitrateIndex:
        return ui->VBitrate;
    case FileRow::VframeRateIndex:
        return ui->VframeRate;
    case FileRow::VaspectIndex:
        return ui->Vaspect;
    case FileRow::AcodecIndex:
        return ui->Acodec;
    case FileRow::ASamplerateIndex:
        return ui->ASamplerate;
    case FileRow::ABitrateIndex:
        return ui->ABitrate;
    case FileRow::AChannelsIndex:
        return ui->AChannels;
    default:
        return nullptr;
    }
}

void settingDialog::writeEntry(int entry, int index) {
    if (!currentRow)
        return;
    SettingsIndexList indexes = FileRow::settingsIndexes(currentRow);
    // Every row is built with all eleven entries; a shorter list is made
    // whole rather than indexed past its end.
    while (indexes.size() < FileRow::SettingsIndexCount)
        indexes << QStringLiteral("-1");
    indexes[entry] = QString::number(index);
    FileRow::setSettingsIndexes(currentRow, indexes);
}

// ---------------------------------------------------------------------------
// Buttons

void settingDialog::on_pushButtonOk_clicked() {
    // A refused text keeps the dialog open, its message on show.
    if (!commitTypedText(ui->VSize, sizeGuard, &settingDialog::on_VSize_activated) ||
        !commitTypedText(ui->VBitrate, bitrateGuard, &settingDialog::on_VBitrate_activated))
        return;
    accept();
}

void settingDialog::on_pushButtonCancel_clicked() {
    reject();
}

void settingDialog::reject() {
    // Cancel, the close button and Escape all end here.
    if (currentRow)
        FileRow::setSettingsIndexes(currentRow, indexesBefore);
    SkinnedDialog::reject();
}

void settingDialog::on_closeButton_clicked() {
    close();
}

bool settingDialog::commitTypedText(QComboBox *box, TypedOptionGuard *guard,
                                    void (settingDialog::*slot)(int)) {
    if (!box->isEditable() || !box->isEnabled())
        return true;
    if (!guard->checkTyped())
        return false;
    const QString typed = box->currentText();
    if (typed.isEmpty() || typed == box->itemText(box->currentIndex()))
        return true;
    // What QComboBox itself does on Enter: an equal entry is chosen, any
    // other text becomes a new last entry.
    int index = box->findText(typed, Qt::MatchFixedString);
    if (index < 0) {
        box->addItem(typed);
        index = box->count() - 1;
    }
    box->setCurrentIndex(index);
    (this->*slot)(index);
    return true;
}

// ---------------------------------------------------------------------------
// Field slots: each writes its index into the row at once.

void settingDialog::on_AChannels_activated(int index) {
    writeEntry(FileRow::AChannelsIndex, index);
}

void settingDialog::on_ABitrate_activated(int index) {
    writeEntry(FileRow::ABitrateIndex, index);
}

void settingDialog::on_ASamplerate_activated(int index) {
    writeEntry(FileRow::ASamplerateIndex, index);
}

void settingDialog::on_Acodec_activated(int index) {
    writeEntry(FileRow::AcodecIndex, index);
    if (followAudioCodec()) {
        on_ASamplerate_activated(ui->ASamplerate->currentIndex());
        on_ABitrate_activated(ui->ABitrate->currentIndex());
        on_AChannels_activated(ui->AChannels->currentIndex());
    }
}

void settingDialog::on_Vaspect_activated(int index) {
    writeEntry(FileRow::VaspectIndex, index);
}

void settingDialog::on_VframeRate_activated(int index) {
    writeEntry(FileRow::VframeRateIndex, index);
}

void settingDialog::on_VBitrate_activated(int index) {
    writeEntry(FileRow::VBitrateIndex, index);
}

void settingDialog::on_VSize_activated(int index) {
    writeEntry(FileRow::VSizeIndex, index);
}

void settingDialog::on_Vcodec_activated(int index) {
    writeEntry(FileRow::VcodecIndex, index);
    if (followVideoCodec()) {
        on_VSize_activated(ui->VSize->currentIndex());
        on_VBitrate_activated(ui->VBitrate->currentIndex());
        on_VframeRate_activated(ui->VframeRate->currentIndex());
    }
    // Xvid takes the source's own shape here, as in the main window.
    if (!CodecTables::forcedAspect(ui->Vcodec->currentText()).isEmpty()) {
        ui->Vaspect->setCurrentIndex(CodecTables::kForcedAspectIndex);
        on_Vaspect_activated(CodecTables::kForcedAspectIndex);
    }
}

bool settingDialog::followVideoCodec() {
    return OptionBoxes::followCodec(Platform::installDir(), profileFile,
                                    ProfileLoader::CodecKind::Video, ui->Vcodec, videoCodecIndex,
                                    {ui->VSize, ui->VBitrate, ui->VframeRate});
}

bool settingDialog::followAudioCodec() {
    return OptionBoxes::followCodec(Platform::installDir(), profileFile,
                                    ProfileLoader::CodecKind::Audio, ui->Acodec, audioCodecIndex,
                                    {ui->ASamplerate, ui->ABitrate, ui->AChannels});
}

// ---------------------------------------------------------------------------
// Device and profile choice

void settingDialog::initDeviceList() {
    ui->ProfileDevice->addItems(ProfileCatalogue::deviceCategoryList());
    ui->ProfileDetails->addItems(ProfileCatalogue::descriptions(0));
}

void settingDialog::on_ProfileDevice_activated(const QString &category) {
    const int chosen = ProfileCatalogue::categoryIndex(category);
    if (chosen >= 0) {
        ui->ProfileDetails->clear();
        ui->ProfileDetails->addItems(ProfileCatalogue::descriptions(chosen));
    }
    writeEntry(FileRow::DeviceIndex, ui->ProfileDevice->currentIndex());
    on_ProfileDetails_activated(ui->ProfileDetails->currentIndex());
}

void settingDialog::on_ProfileDetails_activated(int index) {
    const int category = ui->ProfileDevice->currentIndex();
    if (const auto profile = ProfileCatalogue::entry(category, index)) {
        profileFile = profile->fileName;
        loadProfileFile(profileFile);
    }

    const QList<QWidget *> videoBoxes = {ui->Vaspect, ui->VBitrate, ui->Vcodec, ui->VframeRate,
                                         ui->VSize};
    const bool withVideo = !ProfileCatalogue::isAudioOnly(category);
    ui->Vaspect->clear();
    if (withVideo)
        ui->Vaspect->addItems(kAspectItems);
    for (QWidget *box : videoBoxes)
        box->setEnabled(withVideo);

    writeEntry(FileRow::ProfileIndex, ui->ProfileDetails->currentIndex());

    // Vcodec goes last so that its Xvid rule has the final word on the aspect.
    on_AChannels_activated(ui->AChannels->currentIndex());
    on_ABitrate_activated(ui->ABitrate->currentIndex());
    on_ASamplerate_activated(ui->ASamplerate->currentIndex());
    on_Acodec_activated(ui->Acodec->currentIndex());
    on_Vaspect_activated(ui->Vaspect->currentIndex());
    on_VframeRate_activated(ui->VframeRate->currentIndex());
    on_VBitrate_activated(ui->VBitrate->currentIndex());
    on_VSize_activated(ui->VSize->currentIndex());
    on_Vcodec_activated(ui->Vcodec->currentIndex());
}

void settingDialog::loadProfileFile(QString fileName) {
    // The one reader and selection rules that the main window uses too, so
    // that a row's indexes name the same entries in both windows.
    const ProfileSelection selection = ProfileLoader::load(Platform::installDir(), fileName);
    OptionBoxes::fill(ui->Vcodec, selection.vcodec);
    OptionBoxes::fill(ui->VSize, selection.vsize);
    OptionBoxes::fill(ui->VBitrate, selection.vbitrate);
    OptionBoxes::fill(ui->VframeRate, selection.vframeRate);
    OptionBoxes::fill(ui->Acodec, selection.acodec);
    OptionBoxes::fill(ui->ASamplerate, selection.asamplerate);
    OptionBoxes::fill(ui->ABitrate, selection.abitrate);
    OptionBoxes::fill(ui->AChannels, selection.achannels);
    if (!selection.loaded)
        return;
    videoCodecIndex = ui->Vcodec->currentIndex();
    audioCodecIndex = ui->Acodec->currentIndex();
}

// ---------------------------------------------------------------------------
// Loading a row

void settingDialog::loadFromItem(QTreeWidgetItem *row) {
    if (!row)
        return;
    currentRow = row;
    indexesBefore = FileRow::settingsIndexes(row);
    SettingsIndexList saved = indexesBefore;
    while (saved.size() < FileRow::SettingsIndexCount)
        saved << QStringLiteral("-1");
    auto savedIndex = [&saved](int entry) { return saved.at(entry).toInt(); };

    ui->ProfileDevice->setCurrentIndex(savedIndex(FileRow::DeviceIndex));
    on_ProfileDevice_activated(ui->ProfileDevice->currentText());

    ui->ProfileDetails->setCurrentIndex(savedIndex(FileRow::ProfileIndex));
    on_ProfileDetails_activated(savedIndex(FileRow::ProfileIndex));

    using FieldSlot = void (settingDialog::*)(int);
    const struct {
        int entry;
        FieldSlot slot;
    } fields[] = {
        {FileRow::VcodecIndex, &settingDialog::on_Vcodec_activated},
        {FileRow::VSizeIndex, &settingDialog::on_VSize_activated},
        {FileRow::VBitrateIndex, &settingDialog::on_VBitrate_activated},
        {FileRow::VframeRateIndex, &settingDialog::on_VframeRate_activated},
        {FileRow::VaspectIndex, &settingDialog::on_Vaspect_activated},
        {FileRow::AcodecIndex, &settingDialog::on_Acodec_activated},
        {FileRow::ASamplerateIndex, &settingDialog::on_ASamplerate_activated},
        {FileRow::ABitrateIndex, &settingDialog::on_ABitrate_activated},
        {FileRow::AChannelsIndex, &settingDialog::on_AChannels_activated},
    };
    for (const auto &field : fields) {
        const int index = savedIndex(field.entry);
        if (field.entry == FileRow::VSizeIndex)
            restoreTypedEntries(ui->VSize, FileRow::optionItems(row, FileRow::VSizeItems), index);
        else if (field.entry == FileRow::VBitrateIndex)
            restoreTypedEntries(ui->VBitrate, FileRow::optionItems(row, FileRow::VBitrateItems),
                                index);
        comboFor(field.entry)->setCurrentIndex(index);
        (this->*field.slot)(index);
    }
}

void settingDialog::restoreTypedEntries(QComboBox *box, const QStringList &rowItems,
                                        int savedIndex) {
    if (savedIndex < box->count() || savedIndex >= rowItems.size())
        return;
    // Only entries that extend this very profile list were typed for the row.
    for (int i = 0; i < box->count(); ++i) {
        if (box->itemText(i) != rowItems.at(i))
            return;
    }
    box->addItems(rowItems.mid(box->count()));
}
