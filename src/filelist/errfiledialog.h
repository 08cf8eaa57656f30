#pragma once

#include <QDialog>
#include <QPoint>
#include <QStringList>

namespace Ui {
class errFiledialog;
}

// The result of adding files when some could not be added: how many were
// added, and the full path of every file that was turned away.
class errFiledialog : public QDialog
{
    Q_OBJECT

public:
    explicit errFiledialog(QWidget *parent = nullptr);
    ~errFiledialog() override;

    void setAddedCount(int count);
    // Appends the files to those already listed; the count line counts these.
    void setFailedFiles(const QStringList &files);
    void clearErrorList();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private Q_SLOTS:
    void on_pushButtonCancel_clicked();
    void on_pushButtonOK_clicked();
    void on_closeButton_clicked();

private:
    QPoint dragAnchor;
    Ui::errFiledialog *ui;
};
