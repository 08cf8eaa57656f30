#include "maxdriverdialog.h"

#include "ui_maxdriverdialog.h"

#include <QMouseEvent>

#include "app/skin.h"
#include "app/windowdrag.h"

maxDriverDialog::maxDriverDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::maxDriverDialog)
{
    ui->setupUi(this);
    setWindowFlags(Qt::FramelessWindowHint);
    applySkin();
}

maxDriverDialog::~maxDriverDialog()
{
    delete ui;
}

void maxDriverDialog::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        dragOrigin = event->position().toPoint();
        WindowDrag::begin(this, dragOrigin, WindowDrag::titleStripDrags(dragOrigin));
    }
}

void maxDriverDialog::mouseMoveEvent(QMouseEvent *event)
{
    if (WindowDrag::titleStripDrags(dragOrigin))
        WindowDrag::follow(this, event->globalPosition().toPoint() - dragOrigin);
}

void maxDriverDialog::paintEvent(QPaintEvent *)
{
    applySkin();
}

void maxDriverDialog::on_pushButton_clicked()
{
    close();
}

void maxDriverDialog::on_closeButton_clicked()
{
    close();
}

void maxDriverDialog::applySkin()
{
    Skin::apply(this, QStringLiteral("skins/default/tixe.png"));
}
