#include "statuscell.h"

#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QTreeWidget>
#include <QVariant>

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
    row->setToolTip(FileRow::StatusColumn, QString());
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

void showStatus(QTreeWidgetItem *row, const QString &statusWord, const QString &picture,
                const QString &reason) {
    QTreeWidget *list = listOf(row);
    if (!list)
        return;
    auto *label = new QLabel;
    label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    label->setPixmap(QPixmap(picture));
    label->setToolTip(reason);
    row->setToolTip(FileRow::StatusColumn, reason);
    list->setItemWidget(row, FileRow::StatusColumn, label);
    row->setData(FileRow::StatusColumn, FileRow::StatusWordRole, statusWord);
}

void showWaiting(QTreeWidgetItem *row) {
    QTreeWidget *list = listOf(row);
    if (!list)
        return;
    const bool pictureShown = qobject_cast<QLabel *>(list->itemWidget(row, FileRow::StatusColumn));
    const QString word = pictureShown
                             ? row->data(FileRow::StatusColumn, FileRow::StatusWordRole).toString()
                             : QString();
    row->setData(FileRow::StatusColumn, FileRow::PreRunStatusRole,
                 QStringList{row->text(FileRow::StatusColumn), word});
    list->removeItemWidget(row, FileRow::StatusColumn);
    row->setText(FileRow::StatusColumn, FileRow::kStatusWaiting);
    row->setToolTip(FileRow::StatusColumn, QString());
}

void showSkippedAsBefore(QTreeWidget *list, bool keepChecked) {
    for (int index = 0; index < list->topLevelItemCount(); ++index) {
        QTreeWidgetItem *row = list->topLevelItem(index);
        const QStringList before =
            row->data(FileRow::StatusColumn, FileRow::PreRunStatusRole).toStringList();
        const bool skipped = row->text(FileRow::StatusColumn) == FileRow::kStatusWaiting &&
                             !list->itemWidget(row, FileRow::StatusColumn);
        if (!skipped || before.size() != 2 ||
            (keepChecked && row->checkState(FileRow::CheckColumn) == Qt::Checked))
            continue;
        row->setText(FileRow::StatusColumn, before.at(0));
        if (!before.at(1).isEmpty())
            showStatus(row, before.at(1), FileRow::statusPicture(before.at(1)));
    }
}

} // namespace StatusCell
