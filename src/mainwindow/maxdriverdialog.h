#pragma once

#include <QDialog>
#include <QPoint>

namespace Ui {
class maxDriverDialog;
}

// Tells the user that a conversion was stopped because the output drive is
// full.
class maxDriverDialog : public QDialog
{
    Q_OBJECT

public:
    explicit maxDriverDialog(QWidget *parent = nullptr);
    ~maxDriverDialog() override;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private Q_SLOTS:
    void on_pushButton_clicked();
    // A title strip's close button that did nothing would look broken.
    void on_closeButton_clicked();

private:
    void applySkin();

    QPoint dragOrigin;
    Ui::maxDriverDialog *ui;
};
