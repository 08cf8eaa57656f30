#pragma once

#include <QObject>
#include <QString>

#include "filelist/folderwork.h"

// The camera button's look at the snapshot folder, away from the window's
// thread (the folder may be on a share that does not answer): a folder that
// has gone is told before it is made again, one that cannot be written is
// told, and otherwise the next free name is queued for the video thread,
// which saves the next picture into it.
class SnapshotCapture : public QObject {
    Q_OBJECT

public:
    explicit SnapshotCapture(QObject *parent = nullptr);

    // suffix: the picture format's file name ending; mayMake: a missing
    // folder is made again without asking.
    void capture(const QString &folder, const QString &suffix, bool mayMake);

Q_SIGNALS:
    // The snapshot is queued under path.
    void requested(const QString &path);
    // The folder has gone: capture(folder, suffix, true) makes it again.
    void folderGone(const QString &folder, const QString &suffix);
    void problem(const QString &text);

private:
    FolderWork m_folderWork;
};
