#include "comboenterkey.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>

ComboEnterKey::ComboEnterKey(QWidget *window) : QObject(window), window(window) {
    // Ahead of the box, whose own handling passes Enter on to the dialog.
    qApp->installEventFilter(this);
}

bool ComboEnterKey::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() != QEvent::KeyPress)
        return false;
    auto *box = qobject_cast<QComboBox *>(watched);
    if (!box || box->isEditable() || box->window() != window)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (!enter || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    box->showPopup();
    return true;
}
