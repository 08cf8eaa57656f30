#pragma once

#include <QDialog>
#include <QTimer>

namespace Ui {
class openProgress;
}

// Progress of adding files: a bar counting the files and the name of the one
// being probed. A second use turns an instance into the thirty-second
// countdown before the computer is switched off at the end of a run: run it
// with exec(); Accepted means switch off now, Rejected means do not.
class openProgress : public QDialog
{
    Q_OBJECT

public:
    explicit openProgress(QWidget *parent = nullptr);
    ~openProgress() override;

    int value() const;
    void setValue(int value);
    void setRange(int minimum, int maximum);
    // Shows "Add file: " and the name.
    void setFileName(const QString &name);

    void startShutdownCountdown();

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private Q_SLOTS:
    void sdTimerSD();
    void on_pushButtonShutDown_clicked();
    void on_pushButtonCancel_clicked();
    void on_closeButton_clicked();

private:
    void endCountdown();

    QTimer countdownTimer;
    int countdown = 0;
    Ui::openProgress *ui;
};
