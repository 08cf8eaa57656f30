#pragma once

#include <QDialog>

namespace Ui {
class openProgress;
}

// Progress of adding files; also carries the shutdown countdown.
class openProgress : public QDialog
{
    Q_OBJECT

public:
    explicit openProgress(QWidget *parent = nullptr);
    ~openProgress() override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Ui::openProgress *ui;
};
