#include "player/subtitledecoder.h"

#include <chrono>
#include <thread>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "player/playerstate.h"

namespace {

constexpr auto kPausePoll = std::chrono::milliseconds(10);
constexpr int kBitmapSubtitle = 0;

void convertPalette(AVSubtitle *subtitle) {
    for (unsigned int r = 0; r < subtitle->num_rects; ++r) {
        AVSubtitleRect *rect = subtitle->rects[r];
        auto *palette = reinterpret_cast<uint32_t *>(rect->data[1]);
        if (!palette)
            continue;
        for (int i = 0; i < rect->nb_colors; ++i)
            palette[i] = subtitleColourToYuv(palette[i]);
    }
}

} // namespace

uint32_t subtitleColourToYuv(uint32_t argb) {
    const int a = int(argb >> 24) & 0xff;
    const int r = int(argb >> 16) & 0xff;
    const int g = int(argb >> 8) & 0xff;
    const int b = int(argb) & 0xff;
    const int y = (263 * r + 516 * g + 100 * b + 16896) >> 10;
    const int u = ((-152 * r - 298 * g + 450 * b + 511) >> 10) + 128;
    const int v = ((450 * r - 377 * g - 73 * b + 511) >> 10) + 128;
    return uint32_t(a) << 24 | uint32_t(y) << 16 | uint32_t(u) << 8 | uint32_t(v);
}

void freeSubpicture(SubtitlePicture *sp) {
    avsubtitle_free(&sp->subtitle);
    sp->subtitle = AVSubtitle{};
}

void subtitleThread(PlayerState *is) {
    AVPacket *packet = av_packet_alloc();
    if (!packet)
        return;
    for (;;) {
        while (is->paused && !is->subtitle_queue.abort_requested)
            std::this_thread::sleep_for(kPausePoll);

        QueuedPacket info;
        if (packetQueueGet(&is->subtitle_queue, packet, &info) < 0)
            break;
        if (info.kind == QueuedPacketKind::Flush) {
            avcodec_flush_buffers(is->subtitle_codec);
            continue;
        }
        if (info.kind == QueuedPacketKind::Drain)
            continue;

        {
            std::unique_lock<std::mutex> lock(is->subpicture_mutex);
            is->subpicture_cond.wait(lock, [is] {
                return is->subpicture_count < kSubpictureQueueSize ||
                       is->subtitle_queue.abort_requested;
            });
        }
        if (is->subtitle_queue.abort_requested) {
            av_packet_unref(packet);
            break;
        }

        SubtitlePicture *sp = &is->subpictures[is->subpicture_write_index];
        AVStream *stream = is->subtitle_stream;
        const double pts =
            packet->pts != AV_NOPTS_VALUE && stream ? packet->pts * av_q2d(stream->time_base) : 0.0;
        int gotSubtitle = 0;
        avcodec_decode_subtitle2(is->subtitle_codec, &sp->subtitle, &gotSubtitle, packet);
        if (gotSubtitle && sp->subtitle.format == kBitmapSubtitle) {
            sp->pts = pts;
            convertPalette(&sp->subtitle);
            is->subpicture_write_index = (is->subpicture_write_index + 1) % kSubpictureQueueSize;
            std::lock_guard<std::mutex> lock(is->subpicture_mutex);
            ++is->subpicture_count;
        } else if (gotSubtitle) {
            freeSubpicture(sp);
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
}
