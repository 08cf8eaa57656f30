#include "videoinfo.h"

#include "ui_videoinfo.h"

#include "app/skin.h"

videoInfo::videoInfo(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::videoInfo)
{
    ui->setupUi(this);
    setWindowFlags(Qt::FramelessWindowHint);
    Skin::apply(this, QStringLiteral("skins/default/videoinfo.png"));
}

videoInfo::~videoInfo()
{
    delete ui;
}

void videoInfo::paintEvent(QPaintEvent *)
{
    Skin::apply(this, QStringLiteral("skins/default/videoinfo.png"));
}
