#include "maxdriverdialog.h"

#include "ui_maxdriverdialog.h"

maxDriverDialog::maxDriverDialog(QWidget *parent)
    : SkinnedDialog(QStringLiteral("skins/default/tixe.png"), RefreshOnPaint, parent)
    , ui(new Ui::maxDriverDialog)
{
    ui->setupUi(this);
    applySkin();
}

maxDriverDialog::~maxDriverDialog()
{
    delete ui;
}

void maxDriverDialog::on_pushButton_clicked()
{
    close();
}

void maxDriverDialog::on_closeButton_clicked()
{
    close();
}
