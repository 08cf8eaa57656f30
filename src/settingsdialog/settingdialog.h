#pragma once

#include <QString>
#include <QStringList>

#include "app/skinneddialog.h"
#include "filelist/filerow.h"

class QComboBox;
class QTreeWidgetItem;
class TypedOptionGuard;

namespace Ui {
class settingDialog;
}

// The per-file settings dialog: the device category, the profile and the
// nine codec options of one file row. Every choice goes into the row's
// SettingsIndexList at once; a cancelled or closed dialog gives the row back
// the list it had when it was loaded, since only an accepted dialog reaches
// the row's job (through the main window's Advance button), and indexes that
// the job does not follow would show another profile than the one it
// converts to. The main window owns one dialog and reuses it for every row.
class settingDialog : public SkinnedDialog {
    Q_OBJECT

public:
    explicit settingDialog(QWidget *parent = nullptr);
    ~settingDialog() override;

    // Makes the row the one being edited and shows its saved choices. The row
    // is not owned and must outlive the dialog's use of it.
    void loadFromItem(QTreeWidgetItem *row);
    QTreeWidgetItem *item() const;

    // The text of entry `index` of the combo box that SettingsIndexList entry
    // `entry` belongs to; empty when there is none. The main window needs it
    // for the two boxes that take typed values: an index alone does not say
    // what the user typed.
    QString optionText(int entry, int index) const;

public Q_SLOTS:
    void reject() override;

private Q_SLOTS:
    void on_pushButtonCancel_clicked();
    void on_pushButtonOk_clicked();
    void on_closeButton_clicked();
    void on_AChannels_activated(int index);
    void on_ABitrate_activated(int index);
    void on_ASamplerate_activated(int index);
    void on_Acodec_activated(int index);
    void on_Vaspect_activated(int index);
    void on_VframeRate_activated(int index);
    void on_VBitrate_activated(int index);
    void on_VSize_activated(int index);
    void on_Vcodec_activated(int index);
    void on_ProfileDetails_activated(int index);

private:
    // Qt 6 reports a chosen text only through textActivated, which the
    // constructor connects by hand.
    void on_ProfileDevice_activated(const QString &category);

    void initDeviceList();
    void loadProfileFile(QString fileName);
    // True when a codec with other lists than the one shown was chosen, and
    // its lists and defaults now fill the boxes that depend on it.
    bool followVideoCodec();
    bool followAudioCodec();
    QComboBox *comboFor(int entry) const;
    void writeEntry(int entry, int index);
    // A text typed into an editable box without Enter still counts on OK,
    // the way Enter would have taken it; false when it was refused.
    bool commitTypedText(QComboBox *box, TypedOptionGuard *guard, void (settingDialog::*slot)(int));
    // A value typed for the row earlier lies beyond the profile's entries;
    // the row's copy of the main window's items still holds it.
    void restoreTypedEntries(QComboBox *box, const QStringList &rowItems, int savedIndex);

    QTreeWidgetItem *currentRow = nullptr;
    SettingsIndexList indexesBefore; // the row's list as loadFromItem found it
    QString profileFile;
    // The codec entries whose lists the option boxes show.
    int videoCodecIndex = 0;
    int audioCodecIndex = 0;
    Ui::settingDialog *ui;
    TypedOptionGuard *sizeGuard = nullptr;
    TypedOptionGuard *bitrateGuard = nullptr;
};
