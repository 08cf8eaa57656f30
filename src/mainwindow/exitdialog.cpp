#include "exitdialog.h"

#include "ui_exitdialog.h"

#include <QMouseEvent>

#include "app/skin.h"
#include "app/windowdrag.h"

exitDialog::exitDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::exitDialog)
{
    ui->setupUi(this);
    setWindowFlags(Qt::FramelessWindowHint);
    applySkin();
}

exitDialog::~exitDialog()
{
    delete ui;
}

void exitDialog::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        dragOrigin = event->position().toPoint();
        WindowDrag::begin(this, dragOrigin, WindowDrag::titleStripDrags(dragOrigin));
    }
}

void exitDialog::mouseMoveEvent(QMouseEvent *event)
{
    if (WindowDrag::titleStripDrags(dragOrigin))
        WindowDrag::follow(this, event->globalPosition().toPoint() - dragOrigin);
}

void exitDialog::paintEvent(QPaintEvent *)
{
    applySkin();
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

void exitDialog::applySkin()
{
    Skin::apply(this, QStringLiteral("skins/default/tixe.png"));
}
