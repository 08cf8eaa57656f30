#pragma once

#include "app/skinneddialog.h"

namespace Ui {
class exitDialog;
}

// Asks before the main window closes while its list still holds files.
// exec() gives 1 for OK and 0 for Cancel or the title strip's close button.
class exitDialog : public SkinnedDialog
{
    Q_OBJECT

public:
    explicit exitDialog(QWidget *parent = nullptr);
    ~exitDialog() override;

private Q_SLOTS:
    void on_CancelpushButton_clicked();
    void on_OKpushButton_clicked();
    void on_closeButton_clicked();

private:
    Ui::exitDialog *ui;
};
