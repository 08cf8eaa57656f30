#include "errfiledialog.h"

#include "ui_errfiledialog.h"

#include "app/skin.h"

errFiledialog::errFiledialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::errFiledialog)
{
    ui->setupUi(this);
    setWindowFlags(Qt::FramelessWindowHint);
    Skin::apply(this, QStringLiteral("skins/default/errorBackground.png"));
}

errFiledialog::~errFiledialog()
{
    delete ui;
}

void errFiledialog::paintEvent(QPaintEvent *)
{
    Skin::apply(this, QStringLiteral("skins/default/errorBackground.png"));
}
