#pragma once

#include <QString>

#include "app/skinneddialog.h"

namespace Ui {
class preferenceDialog;
}

// The user's view of the settings file and of the main window's snapshot
// format. Nothing is written before OK: the update switch, the update cycle
// and the action after a conversion run are written then, and the main
// window takes the two folders (as typed or picked) and
// the format over. Cancel leaves the settings as they were.
class preferenceDialog : public SkinnedDialog
{
    Q_OBJECT

public:
    explicit preferenceDialog(QWidget *parent = nullptr);
    ~preferenceDialog() override;

    QString outputFolder() const;
    QString snapshotFolder() const;
    void setOutputFolder(const QString &folder);
    void setSnapshotFolder(const QString &folder);

    // Index of the action after a conversion run: 0 nothing, 1 shut down.
    void setShutdownAction(int action);
    int shutdownAction() const;

    // Index into the main window's snapshot format menu.
    void setSnapFormat(int format);
    int snapFormat() const;

protected:
    bool dragAllowed(QPoint origin, QPointF pointer) const override;

private Q_SLOTS:
    void on_closeButton_clicked();
    void on_pushButtonCancel_clicked();
    void on_pushButtonOK_clicked();
    void on_OpenSnapButton_clicked();
    void on_BrowseSnapButton_clicked();
    void on_OpenOutputButton_clicked();
    void on_BrowseOutputButton_clicked();

private:
    QString askForFolder(const QString &startFolder);

    Ui::preferenceDialog *ui;
    QString snapshotFolderField;
    QString outputFolderField;
};
