#pragma once

#include <functional>
#include <memory>

#include <QHash>
#include <QObject>
#include <QString>

#include "filelist/folderwork.h"
#include "filelist/takenpaths.h"

class QModelIndex;
class QTreeWidget;
class QTreeWidgetItem;

// The output names of the list's rows. Every row's source and output stay
// listed in an index of taken paths as rows come, change and go, so that a
// free name is found without going through the other rows; and every look
// at the disk that a name needs (the paths as the file system resolves
// them, the files already there, a folder given for the outputs) goes
// through the folder work, so that a share that stops answering holds up
// the names and never the window. A row shows the name asked for at once,
// and the free one when the folder answers.
class OutputNaming : public QObject
{
    Q_OBJECT

public:
    // The name asked for: wanted when it is free; otherwise numberedFrom's
    // folder and plainName (numberedFrom's own name when empty) with a
    // number counted up from firstNumber (numberedFrom empty: wanted).
    struct Wish {
        QString wanted;
        QString numberedFrom;
        int firstNumber = 1;
        QString plainName;
    };
    // No free name was left for wanted: the row has its earlier output back.
    using NoneLeft = std::function<void(QTreeWidgetItem *row, const QString &wanted)>;
    // The first free name for a row's output, by the listed paths as they
    // stand when it is asked; for any thread.
    using FreeNameCheck = std::function<QString(const QString &wanted, const QString &plainName)>;

    explicit OutputNaming(QTreeWidget *list, QObject *parent = nullptr);

    // The row's output becomes wish.wanted now, and its free name once the
    // folder answers, unless the row has gone or its output has changed
    // again by then.
    void name(QTreeWidgetItem *row, const Wish &wish, NoneLeft noneLeft = {});
    // Every row with an output goes into folder (ends with "/") under its
    // own file name, each named as name() does.
    void moveAllTo(const QString &folder, const NoneLeft &noneLeft);
    // The folder is made when missing and tried (OutputPaths::makeWritableFolder)
    // in turn with the names; then() gets the problem, empty when it is fit.
    void prepareFolder(const QString &folder, QObject *context,
                       std::function<void(const QString &problem)> then);

    // No name asked for, and no folder, waits for its answer.
    bool isSettled() const;
    FreeNameCheck freeNameCheck(const QTreeWidgetItem *row) const;

Q_SIGNALS:
    // The last answer has come.
    void settled();

private:
    struct Row {
        TakenPaths::RowKey key = TakenPaths::kNoRow;
        QString source;
        QString output;
    };

    void rowsInserted(const QModelIndex &parent, int first, int last);
    void rowsAboutToBeRemoved(const QModelIndex &parent, int first, int last);
    void modelAboutToBeReset();
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                     const QList<int> &roles);
    // Tells the index the row's paths when they have changed.
    void follow(QTreeWidgetItem *item);
    void answered();

    QTreeWidget *m_list;
    std::shared_ptr<TakenPaths> m_taken;
    QHash<const QTreeWidgetItem *, Row> m_rows;
    TakenPaths::RowKey m_nextKey = TakenPaths::kNoRow + 1;
    int m_pending = 0;
    // Last: goes first, so that no answer reaches what is gone.
    FolderWork m_work;
};
