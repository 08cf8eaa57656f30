#include "rowcheckkey.h"

#include <QKeyEvent>
#include <QTreeWidget>

#include "filelist/filerow.h"

RowCheckKey::RowCheckKey(QTreeWidget *list) : QObject(list), list(list) {
    list->installEventFilter(this);
}

bool RowCheckKey::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() != Qt::Key_Space || key->modifiers() != Qt::NoModifier)
        return QObject::eventFilter(watched, event);
    QTreeWidgetItem *row = list->currentItem();
    if (!row)
        return QObject::eventFilter(watched, event);
    // A row that cannot be checked now stays as it is; Space never opens the
    // row's name for editing either.
    const Qt::ItemFlags checkable = Qt::ItemIsUserCheckable | Qt::ItemIsEnabled;
    if ((row->flags() & checkable) != checkable)
        return true;
    const bool checked = row->checkState(FileRow::CheckColumn) == Qt::Checked;
    row->setCheckState(FileRow::CheckColumn, checked ? Qt::Unchecked : Qt::Checked);
    return true;
}
