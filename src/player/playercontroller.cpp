#include "player/playercontroller.h"

extern "C" {
#include <libavutil/time.h>
}

#include <QCoreApplication>
#include <QDebug>
#include <QThread>

#include "player/audiooutput.h"
#include "player/playerclock.h"
#include "player/playerstate.h"
#include "player/playervalues.h"
#include "player/previewplayer.h"

PlayerController *PlayerController::instance() {
    static PlayerController *controller = new PlayerController;
    return controller;
}

PlayerController::PlayerController(QObject *parent) : QObject(parent) {
    if (QCoreApplication *app = QCoreApplication::instance())
        moveToThread(app->thread());
}

void PlayerController::post(Event event) {
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(m_mailboxMutex);
        m_mailbox.push_back(std::move(event));
        if (!m_wakePosted) {
            m_wakePosted = true;
            wake = true;
        }
    }
    if (wake)
        QMetaObject::invokeMethod(this, "deliverPending", Qt::QueuedConnection);
}

void PlayerController::postRefresh(quint64 playerId) {
    post({EventKind::Refresh, playerId, QString()});
}

void PlayerController::postQuit(quint64 playerId) {
    post({EventKind::Quit, playerId, QString()});
}

void PlayerController::postMessage(quint64 playerId, const QString &text) {
    post({EventKind::Message, playerId, text});
}

void PlayerController::startLoop() {
    m_loopRunning = true;
}

bool PlayerController::isLoopRunning() const {
    return m_loopRunning;
}

void PlayerController::deliverPending() {
    std::vector<Event> events;
    {
        std::lock_guard<std::mutex> lock(m_mailboxMutex);
        events.swap(m_mailbox);
        m_wakePosted = false;
    }
    for (const Event &event : events) {
        switch (event.kind) {
        case EventKind::Refresh:
            handleRefresh(event.playerId);
            break;
        case EventKind::Quit:
            handleQuit(event.playerId);
            break;
        case EventKind::Message:
            handleMessage(event.playerId, event.text);
            break;
        }
    }
}

void PlayerController::handleRefresh(quint64 playerId) {
    PlayerState *is = currentPlayerState;
    // A refresh of a player closed meanwhile.
    if (!is || is->player_id != playerId)
        return;
    // With the loop ended the refresh stays pending, which also stops the
    // refresh thread from posting more, until a new file is played.
    if (!m_loopRunning)
        return;
    if (playEndFlag || playStopFlag) {
        m_loopRunning = false;
        emit loopEnded();
        return;
    }
    if (!is->audio_lost && takeLostAudioDevice(is, av_gettime())) {
        is->audio_lost = true;
        closeAudioDevice(is);
        handleMessage(playerId, QStringLiteral("The preview lost its sound device and plays on "
                                               "without sound.\n"));
    }
    refreshVideo(is);
    is->refresh_pending = 0;
}

void PlayerController::handleMessage(quint64 playerId, const QString &text) {
    qWarning().noquote() << "preview:" << text.trimmed();
    PlayerState *is = currentPlayerState;
    // A player closed meanwhile: the user has left its file.
    if (playerId != 0 && (!is || is->player_id != playerId))
        return;
    emit playerMessage(text);
}

void PlayerController::handleQuit(quint64 playerId) {
    PlayerState *is = currentPlayerState;
    if (!is || is->player_id != playerId)
        return;
    closePlayer();
    m_loopRunning = false;
    emit playerFailed();
}

void postPlayerMessage(quint64 playerId, const QString &text) {
    PlayerController::instance()->postMessage(playerId, text);
}
