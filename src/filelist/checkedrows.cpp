#include "checkedrows.h"

#include <QTreeWidget>

#include "filelist/filerow.h"

CheckedRows::CheckedRows(QTreeWidget *list) : QObject(list), list(list) {
    const QAbstractItemModel *model = list->model();
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &from, const QModelIndex &, const QList<int> &roles) {
                if (from.column() == FileRow::CheckColumn &&
                    (roles.isEmpty() || roles.contains(Qt::CheckStateRole)))
                    known = false;
            });
    const auto forget = [this] { known = false; };
    connect(model, &QAbstractItemModel::rowsInserted, this, forget);
    connect(model, &QAbstractItemModel::rowsRemoved, this, forget);
    connect(model, &QAbstractItemModel::rowsMoved, this, forget);
    connect(model, &QAbstractItemModel::modelReset, this, forget);
    connect(model, &QAbstractItemModel::layoutChanged, this, forget);
}

int CheckedRows::count() {
    if (known)
        return counted;
    counted = 0;
    for (int index = 0; index < list->topLevelItemCount(); ++index) {
        if (list->topLevelItem(index)->checkState(FileRow::CheckColumn) == Qt::Checked)
            ++counted;
    }
    known = true;
    return counted;
}
