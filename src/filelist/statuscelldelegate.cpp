#include "statuscelldelegate.h"

#include <algorithm>

#include <QApplication>
#include <QCoreApplication>
#include <QtMath>
#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QProgressBar>
#include <QStyle>
#include <QTreeWidget>

#include "filelist/filerow.h"
#include "filelist/statuscell.h"

namespace {

constexpr int kPercentMax = 100;

QPixmap cachedPicture(const QString &path) {
    QPixmap picture;
    if (!QPixmapCache::find(path, &picture)) {
        picture.load(path);
        QPixmapCache::insert(path, picture);
    }
    return picture;
}

bool touchesDescription(int role) {
    return role == Qt::DisplayRole || role == StatusCell::ProgressRole ||
           role == StatusCell::PictureRole || role == FileRow::StatusWordRole;
}

} // namespace

StatusCellDelegate::StatusCellDelegate(QTreeWidget *list)
    : QStyledItemDelegate(list)
    , list(list)
    , barLook(new QProgressBar(list->viewport()))
    , pictureLook(new QLabel(list->viewport())) {
    barLook->hide();
    barLook->installEventFilter(this);
    pictureLook->hide();
    barLook->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    barLook->setRange(0, kPercentMax);

    const QAbstractItemModel *model = list->model();
    connect(model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &parent, int first, int last) {
                if (!parent.isValid())
                    describeRows(first, last);
            });
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &from, const QModelIndex &to, const QList<int> &roles) {
                if (from.parent().isValid() || to.column() < FileRow::NameColumn ||
                    from.column() > FileRow::StatusColumn)
                    return;
                if (!roles.isEmpty() &&
                    std::none_of(roles.begin(), roles.end(), touchesDescription))
                    return;
                describeRows(from.row(), to.row());
            });
    describeRows(0, list->topLevelItemCount() - 1);
}

QString StatusCellDelegate::spokenStatus(const QTreeWidgetItem *row) {
    const int percent = StatusCell::progress(row);
    if (percent == StatusCell::kBusy)
        return QCoreApplication::translate("StatusCell", "converting");
    if (percent != StatusCell::kNoBar)
        return QString::number(percent) + QLatin1Char('%');
    if (!StatusCell::picture(row).isEmpty())
        return row->data(FileRow::StatusColumn, FileRow::StatusWordRole).toString();
    return row->text(FileRow::StatusColumn);
}

QString StatusCellDelegate::spokenRow(const QTreeWidgetItem *row) {
    QStringList parts{row->text(FileRow::NameColumn), spokenStatus(row)};
    parts.removeAll(QString());
    return parts.join(QStringLiteral(", "));
}

void StatusCellDelegate::describeRows(int first, int last) {
    for (int index = first; index <= last; ++index) {
        QTreeWidgetItem *row = list->topLevelItem(index);
        if (!row)
            continue;
        // The check box's cell is where the keyboard lands on a row: it
        // names the whole row. Setting an unchanged text tells nobody.
        row->setData(FileRow::CheckColumn, Qt::AccessibleTextRole, spokenRow(row));
        row->setData(FileRow::StatusColumn, Qt::AccessibleTextRole, spokenStatus(row));
    }
}

void StatusCellDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                               const QModelIndex &index) const {
    QStyledItemDelegate::paint(painter, option, index);
    const QVariant progress = index.data(StatusCell::ProgressRole);
    const QString picture = index.data(StatusCell::PictureRole).toString();
    if (!progress.isValid() && picture.isEmpty())
        return;
    // Where a widget placed over the cell would lie: the place the view
    // gives its cell widgets.
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    cell.showDecorationSelected = true;
    const QWidget *view = option.widget;
    const QStyle *style = view ? view->style() : QApplication::style();
    const QRect place = style->subElementRect(QStyle::SE_ItemViewItemText, &cell, view);
    if (progress.isValid())
        paintBar(painter, place, progress.toInt());
    else
        paintPicture(painter, place, picture);
}

QSize StatusCellDelegate::sizeHint(const QStyleOptionViewItem &option,
                                   const QModelIndex &index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    if (index.data(StatusCell::ProgressRole).isValid()) {
        size.setHeight(qMax(size.height(), StatusCell::kBarHeight));
    } else if (const QString path = index.data(StatusCell::PictureRole).toString();
               !path.isEmpty()) {
        const QPixmap picture = cachedPicture(path);
        if (!picture.isNull())
            size.setHeight(qMax(size.height(), qCeil(picture.deviceIndependentSize().height())));
    }
    return size;
}

void StatusCellDelegate::paintBar(QPainter *painter, const QRect &place, int percent) const {
    const bool busy = percent == StatusCell::kBusy;
    barLook->setRange(0, busy ? 0 : kPercentMax);
    barLook->setValue(busy ? 0 : percent);
    barLook->resize(place.width(), StatusCell::kBarHeight);
    // Painted as the bar paints itself, skin and all.
    barLook->render(painter, place.topLeft(), QRegion(), QWidget::DrawChildren);
    if (busy)
        busyPlaces += QRect(place.topLeft(), barLook->size());
}

void StatusCellDelegate::paintPicture(QPainter *painter, const QRect &place,
                                      const QString &path) const {
    QPixmap picture = cachedPicture(path);
    if (picture.isNull())
        return;
    QStyleOption look;
    look.initFrom(pictureLook);
    QStyle *style = pictureLook->style();
    if (!(look.state & QStyle::State_Enabled))
        picture = style->generatedIconPixmap(QIcon::Disabled, picture, &look);
    style->drawItemPixmap(painter, place, Qt::AlignCenter, picture);
}

bool StatusCellDelegate::eventFilter(QObject *watched, QEvent *event) {
    if (watched != barLook || event->type() != QEvent::StyleAnimationUpdate)
        return QStyledItemDelegate::eventFilter(watched, event);
    // The style moves a busy bar through its bar, which is never shown: the
    // move goes to the cells that showed one since the last. Without any,
    // the event is declined and the style's animation ends.
    if (busyPlaces.isEmpty() || !list->viewport()->isVisible())
        return false;
    list->viewport()->update(busyPlaces);
    busyPlaces = QRegion();
    event->accept();
    return true;
}
