#pragma once

#include <functional>
#include <memory>

#include <QObject>

class QThread;

// File work on folders that the user chose (a network share may stop
// answering for minutes) done away from the window's thread, so that a folder
// that hangs holds up this work and never the window. The pieces run one
// after another in the order given. A piece's continuation belongs to its
// context object, the one it acts on: it runs on the thread this object
// lives on once the piece is done, and only while that context is still
// there; without a context it never runs.
//
// A piece makes its calls on files through FileCalls, which this object's
// worker hands to a helper process: a piece held by a share that does not
// answer waits where its end can end the wait, and gives up when this object
// goes, so that neither this object's end nor the process's waits for the
// share. A piece that waited in the kernel itself (a call made otherwise)
// could be ended by nothing: nobody waits for such a piece either.
class FolderWork : public QObject {
    Q_OBJECT

public:
    explicit FolderWork(QObject *parent = nullptr);
    // Ends the file calls of the piece at work and waits a moment for it; a
    // piece held by anything else is left, with those after it, to end with
    // the process.
    ~FolderWork() override;

    void run(std::function<void()> work, QObject *context = nullptr,
             std::function<void()> then = {});
    // The worker's name, as a debugger (and a test's hook) sees its thread.
    void setName(const QString &name);

    // Tests stand in for a folder that hangs: the hook runs on the worker
    // before each piece. An empty hook takes it away again.
    static void setBeforeEachHook(std::function<void()> hook);

signals:
    // Wakes the worker for the piece that run() has just handed over.
    void pieceWaiting(QPrivateSignal);

private:
    struct Piece;
    struct Shared;
    // On the worker: the oldest waiting piece, then its continuation handed
    // back to the owner.
    static void runNext(Shared &shared, FolderWork *owner);
    // On the owner's thread: the oldest continuation that is due.
    Q_INVOKABLE void runDone();

    std::shared_ptr<Shared> m_shared;
    QThread *m_thread = nullptr;
    QObject *m_worker = nullptr;
};
