#pragma once

#include <mutex>
#include <vector>

#include <QObject>
#include <QString>

// The player's event loop on the GUI thread. The player's threads never touch
// widgets: the refresh thread's "refresh" and the read thread's "quit" and
// messages go into a mailbox that the GUI thread empties through a queued
// call. One refresh per player is outstanding at a time (refresh_pending).
class PlayerController : public QObject {
    Q_OBJECT

public:
    // Created on first use; lives on the application's thread.
    static PlayerController *instance();

    // Thread-safe: the refresh thread asks for a display refresh.
    void postRefresh(quint64 playerId);
    // Thread-safe: the read thread could not play its file.
    void postQuit(quint64 playerId);
    // Thread-safe: a message for the user. One of a player (playerId not 0)
    // is shown only while that player is still the open one: a player that
    // has been closed or replaced since speaks of a file the user has left.
    void postMessage(quint64 playerId, const QString &text);

    // The loop runs from playFile until it sees the end or stop flag.
    void startLoop();
    bool isLoopRunning() const;

signals:
    // A message for the user (a file that cannot be played, no sound device).
    // Emitted on the GUI thread, once per event.
    void playerMessage(const QString &text);
    // The player could not open its file and has been closed.
    void playerFailed();
    // The loop saw playEndFlag or playStopFlag and stopped handling refreshes.
    void loopEnded();

private:
    explicit PlayerController(QObject *parent = nullptr);
    Q_INVOKABLE void deliverPending();
    void handleRefresh(quint64 playerId);
    void handleMessage(quint64 playerId, const QString &text);
    void handleQuit(quint64 playerId);

    enum class EventKind {
        Refresh,
        Quit,
        Message,
    };
    struct Event {
        EventKind kind;
        quint64 playerId;
        QString text;
    };
    void post(Event event);

    std::mutex m_mailboxMutex;
    std::vector<Event> m_mailbox; // m_mailboxMutex
    bool m_wakePosted = false;    // m_mailboxMutex
    bool m_loopRunning = false;   // GUI thread
};

// Hands a message for the user to the GUI thread: one about the player
// `playerId`, or with 0 one about no player (the sound device).
void postPlayerMessage(quint64 playerId, const QString &text);
