#pragma once

#include "app/skinneddialog.h"

namespace Ui {
class about;
}

// The about box: product name, version and the home-page links.
class about : public SkinnedDialog
{
    Q_OBJECT

public:
    explicit about(QWidget *parent = nullptr);
    ~about() override;

    void setVersion(const QString &version);

protected:
    // Enter or Space on a focused link follows it.
    bool eventFilter(QObject *watched, QEvent *event) override;

private Q_SLOTS:
    void on_labelHomePage_linkActivated(const QString &link);
    void on_labelSupport_linkActivated(const QString &link);
    void on_closeBun_clicked();

private:
    Ui::about *ui;
};
