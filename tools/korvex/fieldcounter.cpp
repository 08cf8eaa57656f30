#include "fieldcounter.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include "probe.h"

namespace {

// idet's own defaults: how much worse one field order must fit than the
// other for a frame to be woven in that order, and how much worse the frames
// about it must fit than the frame itself for it to be whole. idet compares
// in single precision.
constexpr float kInterlaceThreshold = 1.04f;
constexpr float kProgressiveThreshold = 1.5f;
// A verdict other than the first takes this many agreeing frames.
constexpr int kAgreeingFrames = 3;
// The lines at a picture's top and bottom edges that idet leaves out.
constexpr int kEdgeLines = 2;
constexpr int kLookTimeoutMs = 30000;
// Decoding is most of a look's work: this many threads hurry it without
// waking one for every core of a busy machine.
constexpr int kDecodeThreads = 2;
// ffmpeg seeks this much earlier in files whose frames come out of order.
constexpr int64_t kReorderLead = 3 * AV_TIME_BASE / 23;
// Pixel formats idet takes as they are; ffmpeg converts others to the
// nearest of them.
constexpr AVPixelFormat kJudgedFormats[] = {
    AV_PIX_FMT_YUV420P,   AV_PIX_FMT_YUV422P,   AV_PIX_FMT_YUV444P,   AV_PIX_FMT_YUV410P,
    AV_PIX_FMT_YUV411P,   AV_PIX_FMT_GRAY8,     AV_PIX_FMT_YUVJ420P,  AV_PIX_FMT_YUVJ422P,
    AV_PIX_FMT_YUVJ444P,  AV_PIX_FMT_GRAY16,    AV_PIX_FMT_YUV440P,   AV_PIX_FMT_YUVJ440P,
    AV_PIX_FMT_YUV420P9,  AV_PIX_FMT_YUV422P9,  AV_PIX_FMT_YUV444P9,  AV_PIX_FMT_YUV420P10,
    AV_PIX_FMT_YUV422P10, AV_PIX_FMT_YUV444P10, AV_PIX_FMT_YUV420P12, AV_PIX_FMT_YUV422P12,
    AV_PIX_FMT_YUV444P12, AV_PIX_FMT_YUV420P14, AV_PIX_FMT_YUV422P14, AV_PIX_FMT_YUV444P14,
    AV_PIX_FMT_YUV420P16, AV_PIX_FMT_YUV422P16, AV_PIX_FMT_YUV444P16, AV_PIX_FMT_YUVA420P,
    AV_PIX_FMT_YUVA422P,  AV_PIX_FMT_YUVA444P,  AV_PIX_FMT_NONE,
};

struct DecoderFree {
    void operator()(AVCodecContext *decoder) const { avcodec_free_context(&decoder); }
};
struct PacketFree {
    void operator()(AVPacket *packet) const { av_packet_free(&packet); }
};
struct FrameFree {
    void operator()(AVFrame *frame) const { av_frame_free(&frame); }
};

qint64 nowMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

bool judgedAsItIs(int format) {
    for (const AVPixelFormat judged : kJudgedFormats) {
        if (judged == format)
            return true;
    }
    return false;
}

// How far line b lies from the mean of lines a and c, summed over the line
// (twice the distance, in whole levels).
int64_t distance8(const uint8_t *a, const uint8_t *b, const uint8_t *c, int width) {
    int x = 0;
    int64_t sum = 0;
#if defined(__SSE2__)
    // |a + c - 2b| is |(a - b) - (b - c)| of the differences clamped at 0
    // plus the same of the other sign, which sums sixteen at a time.
    __m128i total = _mm_setzero_si128();
    for (; x + 16 <= width; x += 16) {
        const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i *>(a + x));
        const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b + x));
        const __m128i vc = _mm_loadu_si128(reinterpret_cast<const __m128i *>(c + x));
        total = _mm_add_epi64(total, _mm_sad_epu8(_mm_subs_epu8(va, vb), _mm_subs_epu8(vb, vc)));
        total = _mm_add_epi64(total, _mm_sad_epu8(_mm_subs_epu8(vb, va), _mm_subs_epu8(vc, vb)));
    }
    sum = _mm_cvtsi128_si64(total) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(total, total));
#endif
    for (; x < width; ++x)
        sum += std::abs(int(a[x]) + c[x] - 2 * b[x]);
    return sum;
}

int64_t distance16(const uint16_t *a, const uint16_t *b, const uint16_t *c, int width) {
    int x = 0;
    int64_t sum = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const auto apart = [](__m128i p, __m128i q) {
        return _mm_or_si128(_mm_subs_epu16(p, q), _mm_subs_epu16(q, p));
    };
    // Each lane gains less than 2^18 a step: its 32 bits hold lines of up
    // to 2^14 steps, 131072 samples.
    __m128i total = _mm_setzero_si128();
    for (; x + 8 <= width; x += 8) {
        const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i *>(a + x));
        const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b + x));
        const __m128i vc = _mm_loadu_si128(reinterpret_cast<const __m128i *>(c + x));
        const __m128i rising = apart(_mm_subs_epu16(va, vb), _mm_subs_epu16(vb, vc));
        const __m128i falling = apart(_mm_subs_epu16(vb, va), _mm_subs_epu16(vc, vb));
        total = _mm_add_epi32(total, _mm_unpacklo_epi16(rising, zero));
        total = _mm_add_epi32(total, _mm_unpackhi_epi16(rising, zero));
        total = _mm_add_epi32(total, _mm_unpacklo_epi16(falling, zero));
        total = _mm_add_epi32(total, _mm_unpackhi_epi16(falling, zero));
    }
    alignas(16) uint32_t lanes[4];
    _mm_store_si128(reinterpret_cast<__m128i *>(lanes), total);
    sum = int64_t(lanes[0]) + lanes[1] + lanes[2] + lanes[3];
#endif
    for (; x < width; ++x)
        sum += std::abs(int(a[x]) + c[x] - 2 * b[x]);
    return sum;
}

const uint8_t *line(const AVFrame *frame, int plane, int y) {
    return frame->data[plane] + ptrdiff_t(y) * frame->linesize[plane];
}

int64_t distance(const uint8_t *a, const uint8_t *b, const uint8_t *c, int width, bool wide) {
    if (!wide)
        return distance8(a, b, c, width);
    return distance16(reinterpret_cast<const uint16_t *>(a), reinterpret_cast<const uint16_t *>(b),
                      reinterpret_cast<const uint16_t *>(c), width);
}

// Where ffmpeg's "-noaccurate_seek -ss start" goes: the key frame at or
// before start seconds into the file, on the clock of its first timestamp.
void seekTo(AVFormatContext *ctx, double start) {
    constexpr int64_t kUsPerMs = AV_TIME_BASE / 1000;
    int64_t at = int64_t(std::llround(start * 1000)) * kUsPerMs;
    if (ctx->start_time != AV_NOPTS_VALUE)
        at += ctx->start_time;
    if (!(ctx->iformat->flags & AVFMT_SEEK_TO_PTS)) {
        for (unsigned i = 0; i < ctx->nb_streams; ++i) {
            if (ctx->streams[i]->codecpar->video_delay) {
                at -= kReorderLead;
                break;
            }
        }
    }
    // Failing that, from the start, as ffmpeg goes on.
    avformat_seek_file(ctx, -1, INT64_MIN, at, at, 0);
}

} // namespace

FieldCounter::~FieldCounter() {
    av_frame_free(&m_prev);
    av_frame_free(&m_cur);
    av_frame_free(&m_next);
    sws_freeContext(m_convert);
}

bool FieldCounter::count(const QString &sourcePath, const SourceFacts &facts, int frames,
                         FieldDetector::Counts *counts) {
    Probe::Media media;
    AVFormatContext *ctx = Probe::open(sourcePath, &media);
    if (!ctx)
        return false;
    FieldCounter counter;
    const bool read = counter.decode(ctx, facts, frames);
    avformat_close_input(&ctx);
    if (!read || counter.m_judged == 0)
        return false;
    *counts = counter.m_counts;
    return true;
}

bool FieldCounter::decode(AVFormatContext *ctx, const SourceFacts &facts, int frames) {
    const qint64 deadline = nowMs() + kLookTimeoutMs;
    // The streams are numbered as the probe found them.
    avformat_find_stream_info(ctx, nullptr);
    if (facts.videoIndex < 0 || unsigned(facts.videoIndex) >= ctx->nb_streams)
        return false;
    AVStream *stream = ctx->streams[facts.videoIndex];
    const AVCodecParameters *parameters = stream->codecpar;
    if (parameters->codec_type != AVMEDIA_TYPE_VIDEO)
        return false;
    // From the middle: a film's first seconds are often black or still.
    if (facts.duration > 0 && facts.frameRate > 0) {
        const double start = (facts.duration - frames / facts.frameRate) / 2;
        if (start > 0)
            seekTo(ctx, start);
    }
    // The seek picks its stream among all of them, as ffmpeg's does; only
    // then are the others left unread.
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
        if (int(i) != facts.videoIndex)
            ctx->streams[i]->discard = AVDISCARD_ALL;
    }

    const AVCodec *codec = avcodec_find_decoder(parameters->codec_id);
    std::unique_ptr<AVCodecContext, DecoderFree> decoder(avcodec_alloc_context3(codec));
    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
    if (!codec || !decoder || !packet || !frame ||
        avcodec_parameters_to_context(decoder.get(), parameters) < 0)
        return false;
    decoder->pkt_timebase = stream->time_base;
    decoder->thread_count = kDecodeThreads;
    // The look needs no deblocking.
    decoder->skip_loop_filter = AVDISCARD_ALL;
    if (avcodec_open2(decoder.get(), codec, nullptr) < 0)
        return false;

    while (m_judged < frames) {
        if (nowMs() > deadline)
            return false;
        if (av_read_frame(ctx, packet.get()) < 0)
            break;
        // A packet the decoder cannot take is skipped, as ffmpeg goes on
        // past a damaged frame.
        if (packet->stream_index == facts.videoIndex)
            avcodec_send_packet(decoder.get(), packet.get());
        av_packet_unref(packet.get());
        receive(decoder.get(), frame.get(), frames);
    }
    if (m_judged < frames) {
        // The end of the file: the frames the decoder still holds, then the
        // last, which has none after it.
        avcodec_send_packet(decoder.get(), nullptr);
        receive(decoder.get(), frame.get(), frames);
        if (m_judged < frames)
            finish();
    }
    return true;
}

void FieldCounter::receive(AVCodecContext *decoder, AVFrame *frame, int frames) {
    while (m_judged < frames && avcodec_receive_frame(decoder, frame) >= 0) {
        add(frame);
        av_frame_unref(frame);
    }
}

void FieldCounter::add(const AVFrame *decoded) {
    if (judgedAsItIs(decoded->format)) {
        push(av_frame_clone(decoded));
        return;
    }
    const auto source = AVPixelFormat(decoded->format);
    const AVPixFmtDescriptor *description = av_pix_fmt_desc_get(source);
    if (!description)
        return;
    // As ffmpeg picks the format it converts to.
    const bool alpha = description->nb_components % 2 == 0;
    const AVPixelFormat target =
        avcodec_find_best_pix_fmt_of_list(kJudgedFormats, source, alpha, nullptr);
    m_convert =
        sws_getCachedContext(m_convert, decoded->width, decoded->height, source, decoded->width,
                             decoded->height, target, SWS_BICUBIC, nullptr, nullptr, nullptr);
    AVFrame *converted = av_frame_alloc();
    if (!m_convert || !converted) {
        av_frame_free(&converted);
        return;
    }
    converted->format = target;
    converted->width = decoded->width;
    converted->height = decoded->height;
    if (av_frame_get_buffer(converted, 0) < 0 ||
        sws_scale(m_convert, decoded->data, decoded->linesize, 0, decoded->height, converted->data,
                  converted->linesize) <= 0) {
        av_frame_free(&converted);
        return;
    }
    push(converted);
}

void FieldCounter::push(AVFrame *frame) {
    if (!frame)
        return;
    // A picture of another size or format starts idet afresh; the frame
    // before it goes unjudged.
    if (m_next && (frame->width != m_next->width || frame->height != m_next->height ||
                   frame->format != m_next->format)) {
        av_frame_free(&m_cur);
        av_frame_free(&m_next);
    }
    av_frame_free(&m_prev);
    m_prev = m_cur;
    m_cur = m_next;
    m_next = frame;
    // The first frame stands in for the one before it.
    if (!m_cur)
        m_cur = av_frame_clone(m_next);
    if (!m_prev || !m_cur)
        return;
    tally(kindOfCurrent());
}

void FieldCounter::finish() {
    // The last frame stands in for the one after it.
    if (m_cur)
        push(av_frame_clone(m_next));
}

FieldCounter::Kind FieldCounter::kindOfCurrent() const {
    const AVPixFmtDescriptor *description = av_pix_fmt_desc_get(AVPixelFormat(m_cur->format));
    const bool wide = description->comp[0].depth > 8;
    // [0]: the frame before's even lines between this frame's odd ones, and
    // the frame after's odd lines between its even ones; [1]: the other way
    // about. Top field first, [0] pairs moments further apart.
    int64_t woven[2] = {0, 0};
    int64_t whole = 0;
    for (int plane = 0; plane < description->nb_components; ++plane) {
        int width = m_cur->width;
        int height = m_cur->height;
        const bool colour = plane == 1 || plane == 2;
        if (colour) {
            width = AV_CEIL_RSHIFT(width, description->log2_chroma_w);
            height = AV_CEIL_RSHIFT(height, description->log2_chroma_h);
        }
        for (int y = kEdgeLines; y < height - kEdgeLines; ++y) {
            const uint8_t *above = line(m_cur, plane, y - 1);
            const uint8_t *below = line(m_cur, plane, y + 1);
            woven[y & 1] += distance(above, line(m_prev, plane, y), below, width, wide);
            woven[(y ^ 1) & 1] += distance(above, line(m_next, plane, y), below, width, wide);
            whole += distance(above, line(m_cur, plane, y), below, width, wide);
        }
    }
    if (float(woven[0]) > kInterlaceThreshold * float(woven[1]))
        return Kind::TopFirst;
    if (float(woven[1]) > kInterlaceThreshold * float(woven[0]))
        return Kind::BottomFirst;
    if (float(woven[1]) > kProgressiveThreshold * float(whole))
        return Kind::Whole;
    return Kind::Undetermined;
}

void FieldCounter::tally(Kind kind) {
    for (int i = kHistory - 1; i > 0; --i)
        m_history[i] = m_history[i - 1];
    m_history[0] = kind;
    // The last frames judged must all agree.
    Kind agreed = Kind::Undetermined;
    int agreeing = 0;
    for (const Kind earlier : m_history) {
        if (earlier == Kind::Undetermined)
            continue;
        if (agreed == Kind::Undetermined)
            agreed = earlier;
        if (earlier != agreed) {
            agreeing = 0;
            break;
        }
        ++agreeing;
    }
    if (m_verdict == Kind::Undetermined ? agreeing > 0 : agreeing >= kAgreeingFrames)
        m_verdict = agreed;
    ++m_judged;
    switch (m_verdict) {
    case Kind::TopFirst:
        ++m_counts.topFirst;
        break;
    case Kind::BottomFirst:
        ++m_counts.bottomFirst;
        break;
    case Kind::Whole:
        ++m_counts.progressive;
        break;
    case Kind::Undetermined:
        ++m_counts.undetermined;
        break;
    }
}
