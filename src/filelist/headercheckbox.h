#pragma once

#include <QObject>
#include <QPoint>

class QCheckBox;
class QTreeWidget;

// Keeps a check box over the first section of a list's header, where it
// looks as if the header held it, though it is the list's sibling: a list
// tells a screen reader of its cells only, so a box inside it would never be
// found. It lies at offset in the header's viewport and is cut to it, as a
// child of the header would be. Lives as long as the list.
class HeaderCheckBox : public QObject {
    Q_OBJECT

public:
    // box: a child of the list's parent, stacked above the list.
    HeaderCheckBox(QTreeWidget *list, QCheckBox *box, QPoint offset);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void place();

    QTreeWidget *list;
    QCheckBox *box;
    const QPoint offset;
};
