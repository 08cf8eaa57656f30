#include "statuscell.h"

#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QTreeWidget>

#include "filelist/filerow.h"

namespace {

constexpr int kPercentMax = 100;

QTreeWidget *listOf(const QTreeWidgetItem *row) {
    return row ? row->treeWidget() : nullptr;
}

} // namespace

namespace StatusCell {

QProgressBar *showProgress(QTreeWidgetItem *row, bool busy) {
    QTreeWidget *list = listOf(row);
    if (!list)
        return nullptr;
    row->setText(FileRow::StatusColumn, QString());
    auto *bar = new QProgressBar;
    bar->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    bar->setFixedHeight(kBarHeight);
    bar->setRange(0, kPercentMax);
    bar->setValue(0);
    setProgress(bar, busy ? -1 : 0);
    list->setItemWidget(row, FileRow::StatusColumn, bar);
    return bar;
}

QProgressBar *progressBar(const QTreeWidgetItem *row) {
    QTreeWidget *list = listOf(row);
    if (!list)
        return nullptr;
    return qobject_cast<QProgressBar *>(
        list->itemWidget(const_cast<QTreeWidgetItem *>(row), FileRow::StatusColumn));
}

void setProgress(QProgressBar *bar, int percent) {
    if (!bar)
        return;
    if (percent < 0) {
        bar->setRange(0, 0);
        return;
    }
    if (bar->maximum() != kPercentMax)
        bar->setRange(0, kPercentMax);
    if (percent <= kPercentMax)
        bar->setValue(percent);
}

void showStatus(QTreeWidgetItem *row, const QString &statusWord, const QString &picture) {
    QTreeWidget *list = listOf(row);
    if (!list)
        return;
    auto *label = new QLabel;
    label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    label->setPixmap(QPixmap(picture));
    list->setItemWidget(row, FileRow::StatusColumn, label);
    row->setData(FileRow::StatusColumn, FileRow::StatusWordRole, statusWord);
}

} // namespace StatusCell
