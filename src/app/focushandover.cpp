#include "focushandover.h"

#include <QWidget>

namespace FocusHandOver {

void replace(QWidget *pressed, QWidget *counterpart) {
    counterpart->setVisible(true);
    pass(pressed, counterpart);
    pressed->setVisible(false);
}

void pass(QWidget *from, QWidget *to) {
    // The window's own focus, which it keeps while another window is active.
    if (from->window()->focusWidget() == from && to->isEnabled() && to->isVisibleTo(to->window()))
        to->setFocus(Qt::OtherFocusReason);
}

} // namespace FocusHandOver
