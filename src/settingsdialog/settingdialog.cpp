#include "settingdialog.h"

#include "ui_settingdialog.h"

#include "app/skin.h"

settingDialog::settingDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::settingDialog)
{
    ui->setupUi(this);
    setWindowFlags(Qt::FramelessWindowHint);
    Skin::apply(this, QStringLiteral("skins/default/settingsback.png"));
}

settingDialog::~settingDialog()
{
    delete ui;
}

void settingDialog::paintEvent(QPaintEvent *)
{
    Skin::apply(this, QStringLiteral("skins/default/settingsback.png"));
}
