#pragma once

#include <QDialog>

namespace Ui {
class startdlg;
}

// The splash dialog shown while the installation is checked.
class startdlg : public QDialog
{
    Q_OBJECT

public:
    explicit startdlg(QWidget *parent = nullptr);
    ~startdlg() override;

    void setInitText(const QString &name);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void applyBackground();

    Ui::startdlg *ui;
};
