#pragma once

#include <QObject>

class QTreeWidget;

// How many rows of a list are checked, counted again only once the rows or
// their check marks have changed: the interface poll asks five times a
// second, and an idle window must not go through thousands of rows for it.
// Lives as long as its list.
class CheckedRows : public QObject {
    Q_OBJECT

public:
    explicit CheckedRows(QTreeWidget *list);

    int count();

private:
    QTreeWidget *list;
    int counted = 0;
    bool known = false;
};
