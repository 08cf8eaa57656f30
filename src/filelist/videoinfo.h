#pragma once

#include <QDialog>

namespace Ui {
class videoInfo;
}

// The media-information dialog of one file.
class videoInfo : public QDialog
{
    Q_OBJECT

public:
    explicit videoInfo(QWidget *parent = nullptr);
    ~videoInfo() override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Ui::videoInfo *ui;
};
