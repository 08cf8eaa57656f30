#pragma once

#include <QString>

class QProgressBar;
class QTreeWidget;
class QTreeWidgetItem;

// What a row's status column shows over its text while a run converts it: a
// progress bar while its job runs, then the picture of how the job ended,
// with the status word kept in StatusWordRole. A cell holds one widget at a
// time; putting in a new one deletes the old.
namespace StatusCell {

// The bar's fixed height, which keeps it inside the row.
constexpr int kBarHeight = 22;

// A fresh bar at 0 over the row's status cell, whose text is emptied. A busy
// bar (no end to show) is for a job of unknown length.
QProgressBar *showProgress(QTreeWidgetItem *row, bool busy);
// The row's bar, or nullptr when the cell shows none.
QProgressBar *progressBar(const QTreeWidgetItem *row);
// percent 0..100, or -1 for a busy bar.
void setProgress(QProgressBar *bar, int percent);
// The picture of how the job ended, centred, and its status word; reason,
// when known, why it failed, as the cell's tool tip.
void showStatus(QTreeWidgetItem *row, const QString &statusWord, const QString &picture,
                const QString &reason = QString());

// "waiting" for a row a run has queued, in place of its text or the picture
// of an earlier run, which the row keeps for showSkippedAsBefore().
void showWaiting(QTreeWidgetItem *row);
// Rows a run queued but never converted (unchecked while another converted)
// show again what they showed before the run. keepChecked: rows still
// checked go on waiting, as a stopped run leaves them for the next one.
void showSkippedAsBefore(QTreeWidget *list, bool keepChecked);

} // namespace StatusCell
