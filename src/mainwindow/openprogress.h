#pragma once

#include <QDialog>
#include <QTimer>

namespace Ui {
class openProgress;
}

// Progress of adding files: a bar counting the files, the name of the one
// being probed, and Cancel, which ends the adding with the rows listed so
// far. A second use turns an instance into the thirty-second countdown
// before the computer is switched off at the end of a run: run it with
// exec(); Accepted means switch off now, Rejected means do not.
class openProgress : public QDialog
{
    Q_OBJECT

public:
    explicit openProgress(QWidget *parent = nullptr);
    ~openProgress() override;

    // Shows the dialog for an add, with its Cancel.
    void showAdding();
    int value() const;
    void setValue(int value);
    void setRange(int minimum, int maximum);
    // Shows "Add file: " and the name.
    void setFileName(const QString &name);
    // Shows what the add waits for.
    void setText(const QString &text);

    void startShutdownCountdown();

Q_SIGNALS:
    // The user asks to end the add: Cancel, the close box or Escape.
    void cancelled();

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private Q_SLOTS:
    void sdTimerSD();
    void on_pushButtonShutDown_clicked();
    void on_pushButtonCancel_clicked();
    void on_closeButton_clicked();

private:
    void endCountdown();

    QTimer countdownTimer;
    int countdown = 0;
    bool adding = false;
    Ui::openProgress *ui;
};
