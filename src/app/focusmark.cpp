#include "focusmark.h"

#include <QApplication>
#include <QFocusEvent>
#include <QFocusFrame>

namespace {

// Whether the keyboard moved the focus last, in any window.
bool keyboardMovesFocus = false;

} // namespace

FocusMark::FocusMark(QWidget *window) : QObject(window), window(window) {
    // Focus events go to the control itself; the application sees them all.
    qApp->installEventFilter(this);
}

QWidget *FocusMark::markedWidget() const {
    return shown && frame ? frame->widget() : nullptr;
}

bool FocusMark::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() != QEvent::FocusIn || !watched->isWidgetType())
        return false;
    auto *widget = static_cast<QWidget *>(watched);
    if (widget == window || widget->window() != window)
        return false;
    switch (static_cast<QFocusEvent *>(event)->reason()) {
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
        keyboardMovesFocus = true;
        break;
    case Qt::MouseFocusReason:
        keyboardMovesFocus = false;
        break;
    default:
        // Focus that the program moves, or that comes with a window or back
        // from a popup, keeps the frame as it was.
        break;
    }
    shown = keyboardMovesFocus;
    mark(shown ? widget : nullptr);
    return false;
}

void FocusMark::mark(QWidget *widget) {
    if (!frame) {
        if (!widget)
            return;
        frame = new QFocusFrame(window);
    }
    frame->setWidget(widget);
    // Above every sibling: a control under a cover (the empty list's) is
    // still where the keyboard is.
    if (widget)
        frame->raise();
}
