#include "headercheckbox.h"

#include <QCheckBox>
#include <QEvent>
#include <QHeaderView>
#include <QTreeWidget>

HeaderCheckBox::HeaderCheckBox(QTreeWidget *list, QCheckBox *box, QPoint offset)
    : QObject(list), list(list), box(box), offset(offset) {
    // The header is laid out inside the list when the list is shown or
    // resized; its viewport follows it.
    list->header()->installEventFilter(this);
    list->header()->viewport()->installEventFilter(this);
    list->installEventFilter(this);
    place();
}

bool HeaderCheckBox::eventFilter(QObject *watched, QEvent *event) {
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
        place();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void HeaderCheckBox::place() {
    const QWidget *holder = list->header()->viewport();
    QWidget *parent = box->parentWidget();
    const QPoint topLeft = holder->mapTo(parent, QPoint(0, 0));
    box->move(topLeft + offset);
    box->setMask(QRegion(QRect(-offset, holder->size())));
}
