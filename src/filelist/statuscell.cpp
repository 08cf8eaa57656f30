#include "statuscell.h"

#include <QTreeWidget>
#include <QVariant>

#include "filelist/statuscelldelegate.h"

namespace {

constexpr int kPercentMax = 100;

void clearOverText(QTreeWidgetItem *row) {
    row->setData(FileRow::StatusColumn, StatusCell::ProgressRole, QVariant());
    row->setData(FileRow::StatusColumn, StatusCell::PictureRole, QVariant());
}

} // namespace

namespace StatusCell {

void install(QTreeWidget *list) {
    list->setItemDelegateForColumn(FileRow::StatusColumn, new StatusCellDelegate(list));
}

void showProgress(QTreeWidgetItem *row, bool busy) {
    if (!row)
        return;
    row->setText(FileRow::StatusColumn, QString());
    row->setToolTip(FileRow::StatusColumn, QString());
    row->setData(FileRow::StatusColumn, PictureRole, QVariant());
    row->setData(FileRow::StatusColumn, ProgressRole, busy ? kBusy : 0);
}

int progress(const QTreeWidgetItem *row) {
    const QVariant value = row ? row->data(FileRow::StatusColumn, ProgressRole) : QVariant();
    return value.isValid() ? value.toInt() : kNoBar;
}

void setProgress(QTreeWidgetItem *row, int percent) {
    const int shown = progress(row);
    if (shown == kNoBar)
        return;
    int next = shown;
    if (percent < 0)
        next = kBusy;
    else if (percent <= kPercentMax)
        next = percent;
    else if (shown == kBusy)
        next = 0; // a length came, but no sense of how far
    row->setData(FileRow::StatusColumn, ProgressRole, next);
}

void showStatus(QTreeWidgetItem *row, const QString &statusWord, const QString &picture,
                const QString &reason) {
    if (!row)
        return;
    row->setToolTip(FileRow::StatusColumn, reason);
    row->setData(FileRow::StatusColumn, ProgressRole, QVariant());
    row->setData(FileRow::StatusColumn, PictureRole, picture);
    row->setData(FileRow::StatusColumn, FileRow::StatusWordRole, statusWord);
}

QString picture(const QTreeWidgetItem *row) {
    return row ? row->data(FileRow::StatusColumn, PictureRole).toString() : QString();
}

void showWaiting(QTreeWidgetItem *row) {
    if (!row)
        return;
    const QString word = picture(row).isEmpty()
                             ? QString()
                             : row->data(FileRow::StatusColumn, FileRow::StatusWordRole).toString();
    row->setData(FileRow::StatusColumn, FileRow::PreRunStatusRole,
                 QStringList{row->text(FileRow::StatusColumn), word});
    clearOverText(row);
    row->setText(FileRow::StatusColumn, FileRow::kStatusWaiting);
    row->setToolTip(FileRow::StatusColumn, QString());
}

void showSkippedAsBefore(QTreeWidget *list, bool keepChecked) {
    for (int index = 0; index < list->topLevelItemCount(); ++index) {
        QTreeWidgetItem *row = list->topLevelItem(index);
        const QStringList before =
            row->data(FileRow::StatusColumn, FileRow::PreRunStatusRole).toStringList();
        const bool skipped = row->text(FileRow::StatusColumn) == FileRow::kStatusWaiting &&
                             progress(row) == kNoBar && picture(row).isEmpty();
        if (!skipped || before.size() != 2 ||
            (keepChecked && row->checkState(FileRow::CheckColumn) == Qt::Checked))
            continue;
        row->setText(FileRow::StatusColumn, before.at(0));
        if (!before.at(1).isEmpty())
            showStatus(row, before.at(1), FileRow::statusPicture(before.at(1)));
    }
}

} // namespace StatusCell
