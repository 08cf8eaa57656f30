#pragma once

#include <QRegion>
#include <QStyledItemDelegate>

class QLabel;
class QProgressBar;
class QTreeWidget;
class QTreeWidgetItem;

// Paints a row's status cell from its data (StatusCell's roles): the cell's
// text, then over it the job's progress bar or the picture of how it ended,
// as a progress bar or a label in its place would show them, in the skin's
// look. With nothing placed in the cells, nothing tells a screen reader what
// they show either: the delegate keeps each row's accessible text, its file
// and its status, in step with the rows. Lives as long as its list.
class StatusCellDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit StatusCellDelegate(QTreeWidget *list);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    // A row grows to hold its bar or picture.
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // What a screen reader says of the row's status cell, and of the row: its
    // file and that.
    static QString spokenStatus(const QTreeWidgetItem *row);
    static QString spokenRow(const QTreeWidgetItem *row);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void describeRows(int first, int last);
    void paintBar(QPainter *painter, const QRect &place, int percent) const;
    void paintPicture(QPainter *painter, const QRect &place, const QString &path) const;

    QTreeWidget *list;
    // Stand for the bars and pictures in the style's eyes: the skin's rules,
    // the list's font and palette, and its enabled state, are their own.
    QProgressBar *barLook;
    QLabel *pictureLook;
    // Where busy bars were painted since the animation last moved them.
    mutable QRegion busyPlaces;
};
