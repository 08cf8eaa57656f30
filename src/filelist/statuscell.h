#pragma once

#include <QString>

#include "filelist/filerow.h"

class QTreeWidget;
class QTreeWidgetItem;

// What a row's status column shows over its text while a run converts it: a
// progress bar while its job runs, then the picture of how the job ended,
// with the status word kept in StatusWordRole. Both are data of the row that
// the list's StatusCellDelegate paints: a row holds no widget, so a list of
// thousands costs no more to run, clean or keep than its rows do.
namespace StatusCell {

// Column 2 (FileRow::StatusColumn), beside StatusWordRole and PreRunStatusRole.
// The bar's percent, or kBusy; none: the cell shows no bar.
constexpr int ProgressRole = FileRow::kFirstJobRole + 3; // 35
// The picture of how the job ended; empty: none.
constexpr int PictureRole = FileRow::kFirstJobRole + 4; // 36

// A bar with no end to show, for a job of unknown length.
constexpr int kBusy = -1;
// What progress() says of a cell without a bar.
constexpr int kNoBar = -2;

// The bar's fixed height, which keeps it inside the row.
constexpr int kBarHeight = 22;

// The list paints its status column from these roles; once, when it is set up.
void install(QTreeWidget *list);

// A fresh bar at 0 over the row's status cell, whose text is emptied. A busy
// bar is for a job of unknown length.
void showProgress(QTreeWidgetItem *row, bool busy);
// The bar's percent, kBusy, or kNoBar when the cell shows none.
int progress(const QTreeWidgetItem *row);
// percent 0..100, or -1 for a busy bar; a cell without a bar stays so.
void setProgress(QTreeWidgetItem *row, int percent);
// The picture of how the job ended, centred, and its status word; reason,
// when known, why it failed, as the cell's tool tip.
void showStatus(QTreeWidgetItem *row, const QString &statusWord, const QString &picture,
                const QString &reason = QString());
// The picture the cell shows; empty when none.
QString picture(const QTreeWidgetItem *row);

// "waiting" for a row a run has queued, in place of its text or the picture
// of an earlier run, which the row keeps for showSkippedAsBefore().
void showWaiting(QTreeWidgetItem *row);
// Rows a run queued but never converted (unchecked while another converted)
// show again what they showed before the run. keepChecked: rows still
// checked go on waiting, as a stopped run leaves them for the next one.
void showSkippedAsBefore(QTreeWidget *list, bool keepChecked);

} // namespace StatusCell
