#pragma once

#include <QDialog>

namespace Ui {
class settingDialog;
}

// The per-file settings dialog.
class settingDialog : public QDialog
{
    Q_OBJECT

public:
    explicit settingDialog(QWidget *parent = nullptr);
    ~settingDialog() override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Ui::settingDialog *ui;
};
