#include "player/videodecoder.h"

#include <chrono>
#include <cstdio>
#include <thread>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

#include <QImage>

#include "player/playerclock.h"
#include "player/playercontroller.h"
#include "player/playerstate.h"
#include "player/playertiming.h"
#include "player/playervalues.h"
#include "player/snapshot.h"

using namespace PlayerTiming;

namespace {

constexpr auto kPausePoll = std::chrono::milliseconds(10);
// QImage::Format_RGB32 is 0xffRRGGBB in native byte order.
constexpr AVPixelFormat kPreviewPixelFormat = AV_PIX_FMT_RGB32;
// Shrinking a large picture to the preview averages the pixels it covers:
// as sharp as bicubic there, at a fraction of its cost.
constexpr int kShrinkFlags = SWS_AREA;

bool aborted(PlayerState *is) {
    return is->video_queue.abort_requested != 0;
}

QImage convertPicture(SwsContext **context, const AVFrame *frame, const QSize &size, int flags) {
    *context = sws_getCachedContext(*context, frame->width, frame->height,
                                    AVPixelFormat(frame->format), size.width(), size.height(),
                                    kPreviewPixelFormat, flags, nullptr, nullptr, nullptr);
    if (!*context)
        return QImage();
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    uint8_t *planes[4] = {image.bits(), nullptr, nullptr, nullptr};
    int strides[4] = {int(image.bytesPerLine()), 0, 0, 0};
    sws_scale(*context, frame->data, frame->linesize, 0, frame->height, planes, strides);
    return image;
}

// Snapshots are taken at the picture's own size, not the preview's.
void serveSnapshot(PlayerState *is, const AVFrame *frame) {
    if (!repaintArmed || !captureRequested)
        return;
    SnapshotRequest request;
    if (!takeSnapshotRequest(&request))
        return;
    const QImage image =
        convertPicture(&is->capture_scaler, frame, QSize(frame->width, frame->height), SWS_BICUBIC);
    if (image.isNull())
        std::fputs("Cannot initialize the conversion context!\n Can't snap picture!\n", stdout);
    // Also for a picture that could not be converted, so that its name is
    // given up again.
    if (!saveSnapshot(image, request))
        postPlayerMessage(is->player_id,
                          QStringLiteral("The snapshot %1 cannot be saved.\n").arg(request.path));
}

// After a seek: the pictures of the old position are shown at once, and the
// schedule starts anew from now.
int flushPictures(PlayerState *is) {
    std::unique_lock<std::mutex> lock(is->picture_mutex);
    for (PreviewPicture &picture : is->pictures)
        picture.target_clock = 0.0;
    is->picture_cond.wait(lock, [is] { return is->picture_count == 0 || aborted(is); });
    is->shown_position = -1;
    is->stamps.reset();
    resetSchedule(is->schedule, playerNow());
    is->skip_ratio = 1.0f;
    is->skip_counter = 0.0f;
    return aborted(is) ? -1 : 0;
}

int handlePicture(PlayerState *is, AVFrame *frame) {
    const int64_t stamp = choosePictureStamp(is->stamps, frame->pts, frame->pkt_dts);
    float ratio;
    {
        std::lock_guard<std::mutex> lock(is->picture_mutex);
        ratio = is->skip_ratio;
    }
    if (skipPicture(is->skip_counter, ratio))
        return 0;

    AVStream *stream = is->video_stream;
    double pts = stream ? stamp * av_q2d(stream->time_base) : 0.0;
    if (pts != 0.0)
        is->video_pts = pts;
    else
        pts = is->video_pts;
    is->video_pts = pts + frameDelay(is->video_frame_rate, frame->repeat_pict);
    return queuePicture(is, frame, pts, frame->pkt_pos);
}

} // namespace

int queuePicture(PlayerState *is, AVFrame *frame, double pts, int64_t position) {
    {
        std::unique_lock<std::mutex> lock(is->picture_mutex);
        // The decoder is ahead although nobody waits to show a picture.
        if (is->picture_count >= kPictureQueueSize && !is->refresh_pending)
            is->skip_ratio = lowerSkipRatio(is->skip_ratio);
        is->picture_cond.wait(
            lock, [is] { return is->picture_count < kPictureQueueSize || aborted(is); });
        if (aborted(is))
            return -1;
    }

    PreviewPicture &vp = is->pictures[is->picture_write_index];
    // Shown at the aspect it is meant to be seen at; snapshots keep the
    // decoded pixels.
    const AVRational sar =
        av_guess_sample_aspect_ratio(is->format_context, is->video_stream, frame);
    const QSize shown =
        PreviewGeometry::displaySize(QSize(frame->width, frame->height), sar.num, sar.den);
    const QSize size =
        PreviewGeometry::previewPictureSize(shown, QSize(is->display_width, is->display_height));
    const bool shrinks = size.width() < frame->width || size.height() < frame->height;
    vp.image =
        convertPicture(&is->scaler, frame, size, shrinks ? kShrinkFlags : scalerFlags.load());
    if (vp.image.isNull()) {
        static std::atomic<bool> reported{false};
        if (!reported.exchange(true))
            postPlayerMessage(is->player_id,
                              QStringLiteral("Cannot initialize the conversion context\n"));
        return 0;
    }
    serveSnapshot(is, frame);
    vp.pts = pts;
    vp.position = position;
    vp.width = frame->width;
    vp.height = frame->height;
    vp.serial = is->video_decoder_serial;
    is->picture_write_index = (is->picture_write_index + 1) % kPictureQueueSize;

    // Corrected against the sound only while it plays: a sound that has
    // ended would hold the pictures back at twice their delay.
    const bool soundLeads = soundIsMaster(is);
    const double video = videoClock(is);
    const double master = soundLeads ? audioClock(is) : video;
    std::lock_guard<std::mutex> lock(is->picture_mutex);
    vp.target_clock = targetClock(is->schedule, pts, soundLeads, video, master);
    ++is->picture_count;
    return 0;
}

void videoDecodeThread(PlayerState *is) {
    FileCalls::Channel::setForThisThread(&is->video_calls);
    AVFrame *frame = av_frame_alloc();
    AVPacket *packet = av_packet_alloc();
    AVCodecContext *codec = is->video_codec;
    bool needsFlush = false;
    int drainSerial = 0;
    bool running = frame && packet;

    while (running) {
        while (is->paused && !aborted(is))
            std::this_thread::sleep_for(kPausePoll);
        if (aborted(is))
            break;

        const int received = avcodec_receive_frame(codec, frame);
        if (received == 0) {
            const int queued = handlePicture(is, frame);
            av_frame_unref(frame);
            if (queued < 0)
                break;
            continue;
        }
        if (received == AVERROR_EOF && drainSerial != 0) {
            packetQueueMarkFinished(&is->video_queue, drainSerial);
            drainSerial = 0;
        }

        QueuedPacket info;
        if (packetQueueGet(&is->video_queue, packet, &info) < 0)
            break;
        switch (info.kind) {
        case QueuedPacketKind::Flush:
            avcodec_flush_buffers(codec);
            needsFlush = false;
            drainSerial = 0;
            is->video_decoder_serial = info.serial;
            is->video_pts = is->seek_landing.load();
            running = flushPictures(is) == 0;
            break;
        case QueuedPacketKind::Drain:
            if (needsFlush) {
                packetQueueMarkFinished(&is->video_queue, info.serial);
            } else {
                avcodec_send_packet(codec, nullptr);
                needsFlush = true;
                drainSerial = info.serial;
            }
            break;
        case QueuedPacketKind::Data:
            if (needsFlush) {
                avcodec_flush_buffers(codec);
                needsFlush = false;
            }
            // A packet that does not decode is skipped.
            avcodec_send_packet(codec, packet);
            av_packet_unref(packet);
            break;
        }
    }
    av_packet_free(&packet);
    av_frame_free(&frame);
}
