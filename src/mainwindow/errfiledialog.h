#pragma once

#include <QStringList>

#include "app/skinneddialog.h"

namespace Ui {
class errFiledialog;
}

// The result of adding files when some could not be added: how many were
// added, and the full path of every file that was turned away.
class errFiledialog : public SkinnedDialog
{
    Q_OBJECT

public:
    explicit errFiledialog(QWidget *parent = nullptr);
    ~errFiledialog() override;

    void setAddedCount(int count);
    // Appends the files to those already listed; the count line counts these.
    void setFailedFiles(const QStringList &files);
    void clearErrorList();

private Q_SLOTS:
    void on_pushButtonCancel_clicked();
    void on_pushButtonOK_clicked();
    void on_closeButton_clicked();

private:
    Ui::errFiledialog *ui;
};
