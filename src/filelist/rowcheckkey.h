#pragma once

#include <QObject>

class QTreeWidget;

// Space on the file list checks or unchecks the current row, whichever of
// its columns is current: the check box is how a row joins the next run, and
// the keyboard must reach it too. Lives as long as its list.
class RowCheckKey : public QObject {
    Q_OBJECT

public:
    explicit RowCheckKey(QTreeWidget *list);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QTreeWidget *list;
};
