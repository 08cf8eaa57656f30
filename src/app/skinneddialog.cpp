#include "skinneddialog.h"

#include <QMouseEvent>

#include "app/accessiblecontrols.h"
#include "app/comboenterkey.h"
#include "app/focusmark.h"
#include "app/skin.h"
#include "app/windowdrag.h"

namespace {

// The title strip's own close button, the same name in every form.
const QString kTitleCloseButton = QStringLiteral("closeButton");

} // namespace

SkinnedDialog::SkinnedDialog(const QString &picturePath, SkinRefresh refresh, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
    , picturePath(picturePath)
    , refresh(refresh) {
    AccessibleControls::install();
    new FocusMark(this);
    new ComboEnterKey(this);
}

void SkinnedDialog::centreOnParent(QDialog *dialog) {
    // Qt's own placement leaves room for a frame a frameless window lacks.
    if (const QWidget *parent = dialog->parentWidget())
        dialog->move(parent->window()->geometry().center() - dialog->rect().center());
}

QWidget *SkinnedDialog::firstField(const QDialog *dialog) {
    for (QWidget *widget = dialog->nextInFocusChain(); widget && widget != dialog;
         widget = widget->nextInFocusChain()) {
        if ((widget->focusPolicy() & Qt::TabFocus) && widget->isEnabled() &&
            widget->isVisibleTo(dialog) && widget->objectName() != kTitleCloseButton)
            return widget;
    }
    return nullptr;
}

void SkinnedDialog::showEvent(QShowEvent *event) {
    QDialog::showEvent(event);
    // Every opening, also of a dialog kept for the next.
    if (!dragged)
        centreOnParent(this);
    if (QWidget *first = firstField(this))
        first->setFocus(Qt::OtherFocusReason);
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
    if (dragAllowed(dragOrigin, event->position())) {
        WindowDrag::follow(this, event->globalPosition().toPoint() - dragOrigin);
        // It opens again where the user left it.
        dragged = true;
    }
}

void SkinnedDialog::paintEvent(QPaintEvent *)
{
    if (refresh == RefreshOnPaint)
        applySkin();
}
