#include "openprogress.h"

#include "ui_openprogress.h"

#include "app/skin.h"

openProgress::openProgress(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::openProgress)
{
    ui->setupUi(this);
    setWindowFlags(Qt::FramelessWindowHint);
    Skin::apply(this, QStringLiteral("skins/default/Progress.png"));
}

openProgress::~openProgress()
{
    delete ui;
}

void openProgress::paintEvent(QPaintEvent *)
{
    Skin::apply(this, QStringLiteral("skins/default/Progress.png"));
}
