#pragma once

#include <QDialog>

namespace Ui {
class errFiledialog;
}

// Lists the files that could not be added, with the reason.
class errFiledialog : public QDialog
{
    Q_OBJECT

public:
    explicit errFiledialog(QWidget *parent = nullptr);
    ~errFiledialog() override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Ui::errFiledialog *ui;
};
