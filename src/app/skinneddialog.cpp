#include "skinneddialog.h"

#include <QMouseEvent>

#include "app/skin.h"
#include "app/windowdrag.h"

SkinnedDialog::SkinnedDialog(const QString &picturePath, SkinRefresh refresh, QWidget *parent)
    : QDialog(parent)
    , picturePath(picturePath)
    , refresh(refresh)
{
}

void SkinnedDialog::applySkin()
{
    Skin::apply(this, picturePath);
}

bool SkinnedDialog::dragAllowed(QPoint origin, QPointF) const
{
    return WindowDrag::titleStripDrags(origin);
}

void SkinnedDialog::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    dragOrigin = event->position().toPoint();
    WindowDrag::begin(this, dragOrigin, dragAllowed(dragOrigin, dragOrigin));
}

void SkinnedDialog::mouseMoveEvent(QMouseEvent *event)
{
    if (dragAllowed(dragOrigin, event->position()))
        WindowDrag::follow(this, event->globalPosition().toPoint() - dragOrigin);
}

void SkinnedDialog::paintEvent(QPaintEvent *)
{
    if (refresh == RefreshOnPaint)
        applySkin();
}
