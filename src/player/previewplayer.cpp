#include "player/previewplayer.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <new>

#include <QFile>
#include <QFileInfo>
#include <QPainter>

#include "player/playerthreads.h"
#include "player/readthread.h"

namespace {

quint64 lastPlayerId = 0; // GUI thread
// The open player, which currentPlayerState shows (GUI thread). Never
// destroyed: a player still open when the program ends is not waited for.
std::shared_ptr<PlayerState> &openPlayer() {
    static auto *player = new std::shared_ptr<PlayerState>;
    return *player;
}
// A closed player's threads end within a few of their waits. One that is
// held up longer (a read from a share that does not answer, a sound device
// that does not close) is not waited for: it ends by itself, whenever.
constexpr auto kCloseWait = std::chrono::milliseconds(500);

// Local paths go to libavformat through the file protocol, so that a name
// such as "concat:x.mp4" or "-x.mp4" is read as the file it is.
QByteArray inputName(const QString &fileName) {
    return QByteArrayLiteral("file:") + QFile::encodeName(QFileInfo(fileName).absoluteFilePath());
}

// Asks every thread of `is` to end, and ends what the GUI thread can end at
// once: the decoders stop even while the read thread is held up, and the
// sound device no longer calls back.
void stopPlayer(PlayerState *is) {
    is->abort_requested = 1;
    is->read_calls.end();
    is->video_calls.end();
    packetQueueAbort(&is->video_queue);
    {
        std::lock_guard<std::mutex> lock(is->picture_mutex);
        is->picture_cond.notify_all();
    }
    packetQueueAbort(&is->subtitle_queue);
    {
        std::lock_guard<std::mutex> lock(is->subpicture_mutex);
        is->subpicture_cond.notify_all();
    }
    packetQueueAbort(&is->audio_queue);
    closeAudioDevice(is);
}

void showBlackPicture(const QSize &size) {
    QImage black(size.isValid() && !size.isEmpty() ? size : QSize(1, 1), QImage::Format_RGB32);
    black.fill(Qt::black);
    previewFrame.setImage(std::move(black));
}

} // namespace

int playFile(const QString &fileName, const QSize &previewSize) {
    PlayerController *controller = PlayerController::instance();
    closePlayer();
    restartPreviewAudioIfWanted();
    showBlackPicture(previewSize);
    // The poll must not show the last file's position for the new one.
    playPosition = 0.0;

    std::shared_ptr<PlayerState> is;
    if (auto *state = new (std::nothrow) PlayerState)
        is.reset(state);
    if (is) {
        is->player_id = ++lastPlayerId;
        is->display_name = fileName;
        is->file_name = inputName(fileName);
        is->display_width = std::max(0, previewSize.width());
        is->display_height = std::max(0, previewSize.height());
        // Performed as soon as the streams are open: decoding starts at the
        // very beginning.
        requestSeek(is.get(), kStartSeekTarget);
        startPlayerThread(is->read_thread_handle, is.get(), readThread);
    }
    openPlayer() = is;
    currentPlayerState = is.get();
    controller->startLoop();
    return 0;
}

void closePlayer() {
    std::shared_ptr<PlayerState> is = std::move(openPlayer());
    currentPlayerState = nullptr;
    if (!is)
        return;
    stopPlayer(is.get());
    // The read thread joins the player's other threads.
    if (waitForPlayerThreads(is->player_id, kCloseWait)) {
        if (is->read_thread_handle.joinable())
            is->read_thread_handle.join();
        return;
    }
    qWarning("preview: the player of %s does not end yet; it is left to end by itself",
             qPrintable(is->display_name));
    is->read_thread_handle.detach();
}

void shutdownPlayer() {
    closePlayer();
    quitPreviewAudio();
}

void closePlayerAudio() {
    if (PlayerState *is = currentPlayerState)
        closeAudioDevice(is);
}

bool isPlayerRunning() {
    // A player left to end by itself may still be reading.
    PlayerState *running = interruptPlayerState;
    return running && running == currentPlayerState;
}

bool isPlayerOpen() {
    return currentPlayerState != nullptr;
}

bool isPlayerOpenOn(const QString &fileName) {
    PlayerState *is = currentPlayerState;
    return is && is->display_name == fileName;
}

bool isPlayerPaused() {
    PlayerState *is = currentPlayerState;
    return is && is->paused;
}

bool isSeekShown() {
    PlayerState *is = currentPlayerState;
    if (!is || !PlayerController::instance()->isLoopRunning())
        return true;
    if (is->seek_pending)
        return false;
    if (is->video_stream)
        return pictureIsCurrent(is);
    // A closed sound device plays nothing more.
    return !is->audio_stream || is->audio_device == 0 || soundClockIsCurrent(is);
}

void resumePlayerRefreshes() {
    PlayerState *is = currentPlayerState;
    if (!is)
        return;
    PlayerController::instance()->startLoop();
    // The refresh that saw the end was never answered, which keeps the
    // refresh thread from asking again.
    is->refresh_pending = 0;
}

bool requestSeek(PlayerState *is, int64_t target) {
    if (!is || is->seek_pending)
        return false;
    is->seek_target = target;
    is->seek_offset = 0;
    is->seek_flags = is->seek_flags & ~AVSEEK_FLAG_BYTE;
    is->seek_pending = 1;
    return true;
}

bool seekToSliderValue(int value) {
    PlayerState *is = currentPlayerState;
    if (!is || !is->format_context)
        return false;
    return requestSeek(
        is, PlayerTiming::sliderSeekTarget(value, is->media_duration, is->media_start_time));
}

PreviewPosition previewPosition() {
    PreviewPosition position;
    PlayerState *is = currentPlayerState;
    if (!is || !is->format_context)
        return position;
    position.valid = true;
    position.seconds = PlayerTiming::displayPosition(playPosition, is->media_start_time);
    position.percent = PlayerTiming::sliderPercent(position.seconds, is->media_duration);
    position.durationSeconds = PlayerTiming::durationSeconds(is->media_duration);
    return position;
}

void paintPreview(QPainter &painter, const QRectF &box) {
    repaintArmed = 1;
    const QImage image = previewFrame.image();
    if (image.isNull())
        return;
    painter.fillRect(box, QColor(0, 0, 0, 255));
    painter.drawImage(PreviewGeometry::previewTargetRect(image.size(), box), image,
                      QRectF(image.rect()));
}
