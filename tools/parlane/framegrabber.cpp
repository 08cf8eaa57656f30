#include "framegrabber.h"

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <QFileInfo>

#include "conversion/sourceinput.h"

namespace parlane {

namespace {

// A broken file must not keep the dialog from opening for long.
constexpr int kMaxPacketsRead = 3000;
constexpr double kFramePosition = 0.1;
const QSize kMaxPreviewSize(960, 540);

struct FormatCloser {
    void operator()(AVFormatContext *context) const { avformat_close_input(&context); }
};
struct CodecFreer {
    void operator()(AVCodecContext *context) const { avcodec_free_context(&context); }
};
struct PacketFreer {
    void operator()(AVPacket *packet) const { av_packet_free(&packet); }
};
struct FrameFreer {
    void operator()(AVFrame *frame) const { av_frame_free(&frame); }
};
struct ScalerFreer {
    void operator()(SwsContext *context) const { sws_freeContext(context); }
};

using FormatPtr = std::unique_ptr<AVFormatContext, FormatCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;
using ScalerPtr = std::unique_ptr<SwsContext, ScalerFreer>;

// Decodes the first frame from the current read position.
bool decodeOneFrame(AVFormatContext *format, AVCodecContext *codec, int streamIndex,
                    AVFrame *frame) {
    PacketPtr packet(av_packet_alloc());
    if (!packet)
        return false;
    for (int read = 0; read < kMaxPacketsRead; ++read) {
        const int status = av_read_frame(format, packet.get());
        if (status < 0) {
            // End of file: drain what the decoder still holds.
            avcodec_send_packet(codec, nullptr);
            return avcodec_receive_frame(codec, frame) == 0;
        }
        const bool ours = packet->stream_index == streamIndex;
        if (ours)
            avcodec_send_packet(codec, packet.get());
        av_packet_unref(packet.get());
        if (ours && avcodec_receive_frame(codec, frame) == 0)
            return true;
    }
    return false;
}

QImage toImage(const AVFrame *frame) {
    if (frame->width <= 0 || frame->height <= 0)
        return {};
    const QSize full(frame->width, frame->height);
    QSize target = full;
    if (full.width() > kMaxPreviewSize.width() || full.height() > kMaxPreviewSize.height())
        target = full.scaled(kMaxPreviewSize, Qt::KeepAspectRatio);
    if (target.isEmpty())
        return {};
    ScalerPtr scaler(sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format),
                                    target.width(), target.height(), AV_PIX_FMT_RGB32, SWS_BILINEAR,
                                    nullptr, nullptr, nullptr));
    if (!scaler)
        return {};
    QImage image(target, QImage::Format_RGB32);
    uint8_t *planes[4] = {image.bits(), nullptr, nullptr, nullptr};
    int strides[4] = {int(image.bytesPerLine()), 0, 0, 0};
    if (sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, planes, strides) <=
        0)
        return {};
    return image;
}

} // namespace

SourcePicture grabSourcePicture(const QString &path) {
    SourcePicture picture;
    // "file:" keeps names such as "concat:x.mp4" from being read as a protocol.
    const QByteArray url = "file:" + QFileInfo(path).absoluteFilePath().toUtf8();
    AVFormatContext *rawFormat = avformat_alloc_context();
    if (!rawFormat)
        return picture;
    AVDictionary *options = nullptr;
    SourceInput::confine(rawFormat, &options);
    const int opened = avformat_open_input(&rawFormat, url.constData(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0)
        return picture;
    FormatPtr format(rawFormat);
    if (avformat_find_stream_info(format.get(), nullptr) < 0)
        return picture;
    if (format->duration != AV_NOPTS_VALUE && format->duration > 0)
        picture.durationSeconds = double(format->duration) / AV_TIME_BASE;

    const int streamIndex =
        av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (streamIndex < 0)
        return picture;
    const AVStream *stream = format->streams[streamIndex];
    // Cover art of a sound file is not a picture anybody crops.
    if (stream->disposition & AV_DISPOSITION_ATTACHED_PIC)
        return picture;
    picture.hasVideo = true;
    picture.size = QSize(stream->codecpar->width, stream->codecpar->height);
    const AVRational sar =
        av_guess_sample_aspect_ratio(format.get(), format->streams[streamIndex], nullptr);
    if (sar.num > 0 && sar.den > 0)
        picture.pixelAspect = av_q2d(sar);

    const AVCodec *decoder = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!decoder)
        return picture;
    CodecPtr codec(avcodec_alloc_context3(decoder));
    if (!codec || avcodec_parameters_to_context(codec.get(), stream->codecpar) < 0 ||
        avcodec_open2(codec.get(), decoder, nullptr) < 0)
        return picture;

    FramePtr frame(av_frame_alloc());
    if (!frame)
        return picture;
    bool decoded = false;
    if (picture.durationSeconds > 0) {
        const int64_t target = int64_t(picture.durationSeconds * kFramePosition * AV_TIME_BASE) +
                               (format->start_time != AV_NOPTS_VALUE ? format->start_time : 0);
        if (av_seek_frame(format.get(), -1, target, AVSEEK_FLAG_BACKWARD) >= 0) {
            avcodec_flush_buffers(codec.get());
            decoded = decodeOneFrame(format.get(), codec.get(), streamIndex, frame.get());
        }
    }
    if (!decoded) {
        // Some files cannot seek: take the very first frame instead.
        av_seek_frame(format.get(), -1,
                      format->start_time != AV_NOPTS_VALUE ? format->start_time : 0,
                      AVSEEK_FLAG_BACKWARD);
        avcodec_flush_buffers(codec.get());
        decoded = decodeOneFrame(format.get(), codec.get(), streamIndex, frame.get());
    }
    if (!decoded)
        return picture;
    if (!picture.size.isValid() || picture.size.isEmpty())
        picture.size = QSize(frame->width, frame->height);
    picture.frame = toImage(frame.get());
    return picture;
}

} // namespace parlane
