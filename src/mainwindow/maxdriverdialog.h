#pragma once

#include "app/skinneddialog.h"

namespace Ui {
class maxDriverDialog;
}

// Tells the user that a conversion was stopped because the output drive is
// full.
class maxDriverDialog : public SkinnedDialog
{
    Q_OBJECT

public:
    explicit maxDriverDialog(QWidget *parent = nullptr);
    ~maxDriverDialog() override;

private Q_SLOTS:
    void on_pushButton_clicked();
    // A title strip's close button that did nothing would look broken.
    void on_closeButton_clicked();

private:
    Ui::maxDriverDialog *ui;
};
