#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <memory>

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QVector>

#include "filelist/folderwork.h"

// Every write of the rows' scripts, away from the window's thread, where
// each write and its syncs held the window (on a busy disk up to half a
// second a script), and the scripts' folder lies in the home folder, which
// may stop answering. The writes are made one after another in the order
// given: the rows' first scripts, the editor's answer, the per-file
// settings' patch, a script written again before its job; a write never
// overtakes one handed over before it. The first scripts queued while
// others are being written go together, and their folder is synced once for
// all of them. A first script is written as a new file, never in place of
// one: what another writer of the same row put there first stays. Whatever
// reads the scripts (a run) waits until isSettled().
class ScriptWriter : public QObject {
    Q_OBJECT

public:
    // The name of the thread that writes the scripts.
    static constexpr const char *kWorkName = "scripts";

    explicit ScriptWriter(QObject *parent = nullptr);
    // Whatever is still queued or being written goes with this object.
    ~ScriptWriter() override;

    // The rows' scripts go into folder, listed here before the first write
    // (call it before that): the numbers of the scripts found there (what a
    // killed copy of the same id left) are not given out.
    void countTaken(const QString &folder);
    // The number the next row's script takes in that folder; takeNumber()
    // takes it. A row keeps its number whether or not its script could be
    // written.
    int nextNumber() const;
    void takeNumber();

    // The script goes to disk soon; its folder is made when missing.
    void write(const QString &path, const QString &text);
    // change looks at the script at path or writes it, and says why it
    // could not (empty when all is well); it runs on the writer's thread
    // after everything handed over before it. done gets that answer on this
    // thread, while context is there.
    void rewrite(const QString &path, std::function<QString()> change, QObject *context,
                 std::function<void(const QString &problem)> done);
    // Every script handed over so far is on disk, or has failed.
    bool isSettled() const;
    // The scripts' folder is about to be emptied: nothing queued is written
    // any more, and a script being written meanwhile does not stay.
    void drop();

Q_SIGNALS:
    // A first script could not be written: why, for the user.
    void failed(const QString &message);
    // The last script handed over is written.
    void settled();

private:
    struct Script {
        QString path;
        QString text;                    // a first script, written as a new file
        std::function<QString()> change; // or a rewrite
        QPointer<QObject> context;
        std::function<void(const QString &problem)> done;
    };
    struct Batch;
    // What the count found, written by its piece and read by the later
    // pieces on the folder work, and by this thread once it has answered.
    struct Taken {
        QSet<QString> paths;
    };

    void writeQueued();
    void written(const Batch &batch);
    // On the folder work: the first scripts in turn, then each of their
    // folders synced once; or the one rewrite. A drop stops the batch and
    // takes away what it wrote, and the folder when that leaves it empty,
    // as the close that dropped it empties it.
    static void writeBatch(Batch &batch, const std::atomic<int> &drops, const Taken &taken);

    std::deque<Script> m_queued;
    bool m_writing = false;
    QString m_folder;
    int m_next = 0;
    QSet<QString> m_taken; // once the count has answered
    std::shared_ptr<Taken> m_counted = std::make_shared<Taken>();
    // Counts the drops: a batch that sees it change stops and takes its
    // scripts away again.
    std::shared_ptr<std::atomic<int>> m_drops = std::make_shared<std::atomic<int>>(0);
    // Last: goes first, so that no answer reaches what is gone.
    FolderWork m_work;
};
