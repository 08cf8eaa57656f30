#pragma once

#include <QStringList>

#include "app/skinneddialog.h"

namespace Ui {
class videoInfo;
}

// The media-information dialog: what the source file is and what the row's
// job will make of it. The main window keeps one and reuses it for every row.
class videoInfo : public SkinnedDialog
{
    Q_OBJECT

public:
    explicit videoInfo(QWidget *parent = nullptr);
    ~videoInfo() override;

    // Shows media information entries 0..16 of a row. A short list leaves
    // the labels of its missing entries as they were.
    void setInfo(const QStringList &info);

    // A size in MB as the dialog shows it: two decimals cut off, "MB" below
    // 1000, else "GB" (of 1024 MB); an empty entry (no size known) shows empty.
    static QString sizeText(const QString &megabytes);

protected:
    bool dragAllowed(QPoint origin, QPointF pointer) const override;

private Q_SLOTS:
    void on_closeButton_clicked();
    void on_closePushButton_clicked();

private:
    // The pointer may also drag the dialog from its right edge, beside the
    // group boxes.
    static constexpr int kRightDragEdge = 366;

    Ui::videoInfo *ui;
};
