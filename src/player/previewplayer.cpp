#include "player/previewplayer.h"

#include <new>

#include <QFile>
#include <QFileInfo>
#include <QPainter>

#include "player/playerthreads.h"
#include "player/readthread.h"

namespace {

quint64 lastPlayerId = 0; // GUI thread

// Local paths go to libavformat through the file protocol, so that a name
// such as "concat:x.mp4" or "-x.mp4" is read as the file it is.
QByteArray inputName(const QString &fileName) {
    return QByteArrayLiteral("file:") + QFile::encodeName(QFileInfo(fileName).absoluteFilePath());
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

    auto *is = new (std::nothrow) PlayerState;
    if (is) {
        is->player_id = ++lastPlayerId;
        is->display_name = fileName;
        is->file_name = inputName(fileName);
        is->display_width = std::max(0, previewSize.width());
        is->display_height = std::max(0, previewSize.height());
        // Performed as soon as the streams are open: decoding starts at the
        // very beginning.
        requestSeek(is, 1);
        startPlayerThread(is->read_thread_handle, is, readThread);
    }
    currentPlayerState = is;
    controller->startLoop();
    return 0;
}

void closePlayer() {
    PlayerState *is = currentPlayerState;
    if (!is)
        return;
    is->abort_requested = 1;
    if (is->read_thread_handle.joinable())
        is->read_thread_handle.join();
    if (is->refresh_thread_handle.joinable())
        is->refresh_thread_handle.join();
    currentPlayerState = nullptr;
    delete is;
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
    return interruptPlayerState != nullptr;
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
