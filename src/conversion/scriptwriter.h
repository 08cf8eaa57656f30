#pragma once

#include <atomic>
#include <memory>

#include <QObject>
#include <QString>
#include <QVector>

#include "filelist/folderwork.h"

// Writes the rows' first scripts away from the window's thread, where each
// write and its syncs held the window (on a busy disk up to half a second a
// script). The scripts queued while others are being written go together,
// and their folder is synced once for all of them. A script is written as a
// new file, never in place of one: a later writer of the same row that came
// first (the editor's answer) keeps what it wrote. Whatever reads the
// scripts (a run, the per-file settings) waits until isSettled().
class ScriptWriter : public QObject {
    Q_OBJECT

public:
    explicit ScriptWriter(QObject *parent = nullptr);
    // Whatever is still queued or being written goes with this object.
    ~ScriptWriter() override;

    // The script goes to disk soon; its folder is made when missing.
    void write(const QString &path, const QString &text);
    // Every script queued so far is on disk, or has failed().
    bool isSettled() const;
    // The scripts' folder is about to be emptied: nothing queued is written
    // any more, and a script being written meanwhile does not stay.
    void drop();

Q_SIGNALS:
    // A script could not be written: why, for the user.
    void failed(const QString &message);
    // The last script queued is written.
    void settled();

private:
    struct Script {
        QString path;
        QString text;
    };
    struct Batch;

    void writeQueued();
    void written(const Batch &batch);
    // On the folder work: the scripts in turn, then each of their folders
    // synced once. A drop stops the batch and takes away what it wrote, and
    // the folder when that leaves it empty, as the close that dropped it
    // empties it.
    static void writeBatch(Batch &batch, const std::atomic<int> &drops);

    QVector<Script> m_queued;
    bool m_writing = false;
    // Counts the drops: a batch that sees it change stops and takes its
    // scripts away again.
    std::shared_ptr<std::atomic<int>> m_drops = std::make_shared<std::atomic<int>>(0);
    // Last: goes first, so that no answer reaches what is gone.
    FolderWork m_work;
};
