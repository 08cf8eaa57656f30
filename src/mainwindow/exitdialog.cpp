#include "exitdialog.h"

#include "ui_exitdialog.h"

exitDialog::exitDialog(QWidget *parent)
    : SkinnedDialog(QStringLiteral("skins/default/tixe.png"), RefreshOnPaint, parent)
    , ui(new Ui::exitDialog)
{
    ui->setupUi(this);
    // Return or Space at once must keep the program and its run: the
    // question opens on the answer that loses nothing.
    ui->OKpushButton->setAutoDefault(false);
    ui->CancelpushButton->setDefault(true);
    setTabOrder(ui->CancelpushButton, ui->OKpushButton);
    ui->CancelpushButton->setFocus(Qt::OtherFocusReason);
    applySkin();
}

exitDialog::~exitDialog()
{
    delete ui;
}

void exitDialog::on_CancelpushButton_clicked()
{
    reject();
}

void exitDialog::on_OKpushButton_clicked()
{
    accept();
}

void exitDialog::on_closeButton_clicked()
{
    close();
}
