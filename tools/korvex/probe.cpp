#include "probe.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <sys/stat.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/pixdesc.h>
}

#include <QFile>

#include "conversion/contentlength.h"
#include "conversion/sourceinput.h"
#include "wavheader.h"

namespace Probe {

namespace {

// The reader in the main program takes everything it needs from one chunk of
// text; a single write below the pipe's atomic size arrives as one chunk.
constexpr int kMaxStreamLines = 24;
// Enough packets to meet the first of every stream of an interleaved file.
constexpr int kFirstPacketsRead = 500;
// The samples of a WAV that is read past its header are a stretch of the
// file itself.
constexpr const char *kWavSamplesProtocols = "subfile,file";

QString errorText(int code) {
    char buffer[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, buffer, sizeof buffer);
    return QString::fromUtf8(buffer);
}

// Field texts of the stream lines must not hold the separators that the
// reader splits on.
QString plainField(const QString &text) {
    QString out;
    for (const QChar c : text) {
        if (c == ',' || c == '[' || c == ']' || c == ':' || c.isSpace())
            continue;
        out += c;
    }
    return out.isEmpty() ? QStringLiteral("unknown") : out;
}

double seconds(int64_t value, AVRational timeBase) {
    if (value == AV_NOPTS_VALUE)
        return -1;
    return double(value) * av_q2d(timeBase);
}

double chooseFrameRate(const AVStream *st) {
    const double real = st->r_frame_rate.den ? av_q2d(st->r_frame_rate) : 0;
    const double average = st->avg_frame_rate.den ? av_q2d(st->avg_frame_rate) : 0;
    // A container's tick rate sometimes shows up as the "real" rate of a
    // variable-rate stream; the average is then the useful figure.
    if (real > 0 && average > 0 && real > average * 1.5)
        return average;
    if (real > 0)
        return real;
    return average;
}

int displayRotation(const AVStream *st) {
    size_t size = 0;
    const uint8_t *matrix = av_stream_get_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (!matrix || size < 9 * sizeof(int32_t))
        return 0;
    const double angle = av_display_rotation_get(reinterpret_cast<const int32_t *>(matrix));
    if (std::isnan(angle))
        return 0;
    int degrees = int(std::lround(-angle)) % 360;
    if (degrees < 0)
        degrees += 360;
    return degrees;
}

Stream describeStream(AVFormatContext *ctx, AVStream *st) {
    Stream s;
    s.index = st->index;
    const AVCodecParameters *par = st->codecpar;
    if (const AVDictionaryEntry *lang = av_dict_get(st->metadata, "language", nullptr, 0)) {
        for (const char *p = lang->value; *p && s.language.size() < 8; ++p) {
            if ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z'))
                s.language += QLatin1Char(*p);
        }
    }
    s.codec = plainField(QString::fromLatin1(avcodec_get_name(par->codec_id)));
    s.bitRate = par->bit_rate;
    s.isDefault = (st->disposition & AV_DISPOSITION_DEFAULT) != 0;
    s.duration = seconds(st->duration, st->time_base);
    if (st->start_time != AV_NOPTS_VALUE)
        s.startTime = double(st->start_time) * av_q2d(st->time_base);

    const bool attachedPicture = st->disposition & AV_DISPOSITION_ATTACHED_PIC;
    if (par->codec_type == AVMEDIA_TYPE_VIDEO && !attachedPicture) {
        s.kind = Stream::Video;
        const char *pix = av_get_pix_fmt_name(AVPixelFormat(par->format));
        s.pixelFormat = plainField(QString::fromLatin1(pix ? pix : ""));
        s.width = par->width;
        s.height = par->height;
        const AVRational sar = av_guess_sample_aspect_ratio(ctx, st, nullptr);
        if (sar.num > 0 && sar.den > 0) {
            s.sarNum = sar.num;
            s.sarDen = sar.den;
        }
        s.frameRate = chooseFrameRate(st);
        s.interlaced = par->field_order == AV_FIELD_TT || par->field_order == AV_FIELD_BB ||
                       par->field_order == AV_FIELD_TB || par->field_order == AV_FIELD_BT;
        // DV's frames are woven by its own rule, whatever a container says.
        s.progressive =
            par->field_order == AV_FIELD_PROGRESSIVE && par->codec_id != AV_CODEC_ID_DVVIDEO;
        auto named = [](const char *name, bool given) {
            return given && name ? QString::fromLatin1(name) : QString();
        };
        s.colorPrimaries = named(av_color_primaries_name(par->color_primaries),
                                 par->color_primaries != AVCOL_PRI_UNSPECIFIED);
        s.colorTransfer =
            named(av_color_transfer_name(par->color_trc), par->color_trc != AVCOL_TRC_UNSPECIFIED);
        s.colorMatrix =
            named(av_color_space_name(par->color_space), par->color_space != AVCOL_SPC_UNSPECIFIED);
        s.colorRange = named(av_color_range_name(par->color_range),
                             par->color_range != AVCOL_RANGE_UNSPECIFIED);
        s.timeBaseDen = st->time_base.num ? st->time_base.den / st->time_base.num : 0;
        // ffmpeg turns such pictures upright when converting, so describe
        // them the way they come out.
        s.rotation = displayRotation(st);
        if (s.rotation == 90 || s.rotation == 270) {
            std::swap(s.width, s.height);
            std::swap(s.sarNum, s.sarDen);
        }
    } else if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
        s.kind = Stream::Audio;
        s.sampleRate = par->sample_rate;
        s.channels = par->ch_layout.nb_channels;
        // Files that do not name their speaker order get the usual one for
        // their channel count, as the old transcoder showed them ("stereo").
        AVChannelLayout known = {};
        if (par->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&known, s.channels);
        else
            av_channel_layout_copy(&known, &par->ch_layout);
        char layout[128] = {};
        if (s.channels > 0 && av_channel_layout_describe(&known, layout, sizeof layout) > 0) {
            s.layoutName = QString::fromLatin1(layout);
            s.channelLayout =
                plainField(QString::fromLatin1(layout).replace(QLatin1Char(' '), QString()));
        } else
            s.channelLayout = QStringLiteral("%1 channels").arg(s.channels);
        av_channel_layout_uninit(&known);
        const char *fmt = av_get_sample_fmt_name(AVSampleFormat(par->format));
        s.sampleFormat = plainField(QString::fromLatin1(fmt ? fmt : ""));
    }
    return s;
}

// Reads the file's packets from its start: the first of each stream, and with
// measure all of them.
//
// A stream whose first packets carry no timestamp (Matroska writes none for
// pictures before 0) gets a start time from the first one that does, far
// into the stream. ffmpeg counts such packets from the file's start, so the
// stream is said to start there: nothing tells otherwise.
//
// Durations guessed from the bitrate can be far off for variable-rate
// streams; reading all the packets gives the true end.
void readPackets(AVFormatContext *ctx, Media &media, bool measure) {
    QVector<bool> seen(int(ctx->nb_streams), false);
    QVector<double> ends(int(ctx->nb_streams), -1);
    int waiting = 0;
    for (const Stream &s : media.streams)
        waiting += s.kind != Stream::Other;
    AVPacket *pkt = av_packet_alloc();
    if (!pkt)
        return;
    // The packets that finding the streams read are handed out again first.
    for (int n = 0;
         (measure || (waiting > 0 && n < kFirstPacketsRead)) && av_read_frame(ctx, pkt) >= 0; ++n) {
        const int index = pkt->stream_index;
        const AVStream *st = ctx->streams[index];
        const int64_t ts = pkt->pts != AV_NOPTS_VALUE ? pkt->pts : pkt->dts;
        if (!seen[index] && media.streams[index].kind != Stream::Other) {
            seen[index] = true;
            --waiting;
            if (ts == AV_NOPTS_VALUE)
                media.streams[index].startTime = std::numeric_limits<double>::quiet_NaN();
        }
        if (ts != AV_NOPTS_VALUE) {
            const double end =
                double(ts + std::max<int64_t>(pkt->duration, 0)) * av_q2d(st->time_base);
            ends[index] = std::max(ends[index], end);
        }
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    if (!measure)
        return;
    double longest = -1;
    for (Stream &s : media.streams) {
        if (ends[s.index] >= 0) {
            s.duration = std::max(0.0, ends[s.index] - std::max(0.0, media.startTime));
            longest = std::max(longest, s.duration);
        }
    }
    if (longest >= 0)
        media.duration = longest;
}

// What the file plays, also where its container counts from 0.
void keepToContent(AVFormatContext *ctx, Media &media) {
    const double content =
        ContentLength::of(QString::fromLatin1(ctx->iformat->name), media.duration, media.startTime);
    if (content == media.duration)
        return;
    media.duration = content;
    // Their streams may count the same way; none plays longer than the file.
    for (Stream &s : media.streams)
        s.duration = std::min(s.duration, media.duration);
}

} // namespace

const Stream *Media::firstVideo() const {
    for (const Stream &s : streams) {
        if (s.kind == Stream::Video)
            return &s;
    }
    return nullptr;
}

const Stream *Media::firstAudio() const {
    for (const Stream &s : streams) {
        if (s.kind == Stream::Audio)
            return &s;
    }
    return nullptr;
}

const Stream *Media::convertedAudio() const {
    for (const Stream &s : streams) {
        if (s.kind == Stream::Audio && s.isDefault)
            return &s;
    }
    return firstAudio();
}

double Media::durationOf(Stream::Kind kind) const {
    double longest = -1;
    for (const Stream &s : streams) {
        if (s.kind == kind)
            longest = std::max(longest, s.duration);
    }
    return longest > 0 ? longest : duration;
}

// Where the media data that the container's index knows of ends, or -1 when
// the container keeps no index.
qint64 indexedDataEnd(AVFormatContext *ctx) {
    qint64 end = -1;
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
        AVStream *stream = ctx->streams[i];
        const int count = avformat_index_get_entries_count(stream);
        // Entries are in time order, and the data of the last few is the
        // furthest into the file.
        for (int n = std::max(0, count - 8); n < count; ++n) {
            const AVIndexEntry *entry = avformat_index_get_entry(stream, n);
            if (entry && entry->pos >= 0)
                end = std::max(end, qint64(entry->pos) + entry->size);
        }
    }
    return end;
}

AVFormatContext *open(const QString &path, Media *media) {
    const QByteArray native = QFile::encodeName(path);
    struct stat info;
    if (::stat(native.constData(), &info) != 0) {
        media->error = QString::fromLocal8Bit(std::strerror(errno));
        return nullptr;
    }
    if (S_ISDIR(info.st_mode)) {
        media->error = QString::fromLocal8Bit(std::strerror(EISDIR));
        return nullptr;
    }
    // A pipe or device would block the reader forever.
    if (!S_ISREG(info.st_mode)) {
        media->error = QStringLiteral("Not a regular file");
        return nullptr;
    }
    media->fileSize = info.st_size;

    const WavHeader wav = WavHeader::read(path);
    if (!wav.problem().isEmpty()) {
        media->error = wav.problem();
        return nullptr;
    }
    // The "file:" prefix keeps names such as "concat:x.mp4" from being read
    // as a protocol.
    QByteArray url = "file:" + native;
    const char *protocols = SourceInput::kFileProtocol;
    const AVInputFormat *format = nullptr;
    AVDictionary *options = nullptr;
    if (wav.needsRawReading()) {
        media->inputOptions = wav.ffmpegInputOptions();
        media->inputUrl = wav.url(path);
        url = QFile::encodeName(media->inputUrl);
        protocols = kWavSamplesProtocols;
        format = av_find_input_format(wav.rawFormat().toLatin1().constData());
        av_dict_set_int(&options, "sample_rate", wav.sampleRate(), 0);
        av_dict_set(&options, "ch_layout", wav.layout().toLatin1().constData(), 0);
    }
    AVFormatContext *ctx = avformat_alloc_context();
    if (!ctx) {
        av_dict_free(&options);
        media->error = errorText(AVERROR(ENOMEM));
        return nullptr;
    }
    SourceInput::confine(ctx, &options, protocols);
    const int ret = avformat_open_input(&ctx, url.constData(), format, &options);
    av_dict_free(&options);
    if (ret < 0) {
        const QString refusal = SourceInput::refusal(url.constData(), nullptr, protocols);
        media->error = refusal.isEmpty() ? errorText(ret) : refusal;
        return nullptr;
    }
    // ffmpeg is held to the demuxer found here: its own look could go
    // another way.
    if (!wav.needsRawReading())
        media->inputOptions = SourceInput::ffmpegInputOptions(ctx->iformat);
    media->formatName =
        wav.needsRawReading() ? QStringLiteral("wav") : QString::fromLatin1(ctx->iformat->name);
    return ctx;
}

Media read(const QString &path, bool exactDuration) {
    Media media;
    AVFormatContext *ctx = open(path, &media);
    if (!ctx)
        return media;
    avformat_find_stream_info(ctx, nullptr);

    media.opened = true;
    media.duration = ctx->duration == AV_NOPTS_VALUE ? -1 : double(ctx->duration) / AV_TIME_BASE;
    media.startTime =
        ctx->start_time == AV_NOPTS_VALUE ? 0 : double(ctx->start_time) / AV_TIME_BASE;
    media.bitRate = ctx->bit_rate;
    media.truncated = indexedDataEnd(ctx) > media.fileSize;
    for (unsigned i = 0; i < ctx->nb_streams; ++i)
        media.streams.append(describeStream(ctx, ctx->streams[i]));

    const bool measure =
        exactDuration && ctx->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE;
    readPackets(ctx, media, measure);
    if (!measure)
        keepToContent(ctx, media);

    avformat_close_input(&ctx);
    return media;
}

QString formatClock(double seconds) {
    // Rounded to the hundredth the way the old transcoder printed it.
    const qint64 us = qint64(std::llround(std::max(0.0, seconds) * 1e6)) + 5000;
    const qint64 secs = us / 1000000;
    const qint64 hundredths = (us % 1000000) / 10000;
    return QString::asprintf("%02lld:%02lld:%02lld.%02lld", secs / 3600, (secs / 60) % 60,
                             secs % 60, hundredths);
}

namespace {

QString rateText(double rate) {
    const long long v = std::llround(rate * 100);
    if (v % 100)
        return QString::asprintf("%3.2f", rate);
    return QString::asprintf("%1.0f", rate);
}

QString videoLine(const Stream &s) {
    int sarNum = s.sarNum > 0 ? s.sarNum : 1;
    int sarDen = s.sarDen > 0 ? s.sarDen : 1;
    int darNum = 1;
    int darDen = 1;
    if (s.width > 0 && s.height > 0)
        av_reduce(&darNum, &darDen, int64_t(s.width) * sarNum, int64_t(s.height) * sarDen,
                  1024 * 1024);
    av_reduce(&sarNum, &sarDen, sarNum, sarDen, 1024 * 1024);
    QString line = QStringLiteral("Video: %1, %2, %3x%4 [PAR %5:%6 DAR %7:%8], %9 tbr")
                       .arg(s.codec, s.pixelFormat)
                       .arg(s.width)
                       .arg(s.height)
                       .arg(sarNum)
                       .arg(sarDen)
                       .arg(darNum)
                       .arg(darDen)
                       .arg(rateText(s.frameRate));
    if (s.timeBaseDen > 0)
        line += QStringLiteral(", %1 tbn").arg(s.timeBaseDen);
    return line;
}

QString audioLine(const Stream &s) {
    QString line = QStringLiteral("Audio: %1, %2 Hz, %3, %4")
                       .arg(s.codec)
                       .arg(s.sampleRate)
                       .arg(s.channelLayout, s.sampleFormat);
    if (s.bitRate > 0)
        line += QStringLiteral(", %1 kb/s").arg(s.bitRate / 1000);
    return line;
}

} // namespace

QString describe(const Media &media) {
    QString text = QStringLiteral("Input #0, %1:\n").arg(media.formatName);
    text += QStringLiteral("  Duration: ");
    text += media.duration >= 0 ? formatClock(media.duration) : QStringLiteral("N/A");
    const qint64 startUs = qint64(std::llround(media.startTime * 1e6));
    text += QString::asprintf(", start: %s%lld.%06lld", startUs < 0 ? "-" : "",
                              std::llabs(startUs) / 1000000, std::llabs(startUs) % 1000000);
    qint64 bitRate = media.bitRate;
    if (bitRate <= 0 && media.duration > 0 && media.fileSize > 0)
        bitRate = qint64(double(media.fileSize) * 8 / media.duration);
    text += bitRate > 0 ? QStringLiteral(", bitrate: %1 kb/s\n").arg(bitRate / 1000)
                        : QStringLiteral(", bitrate: N/A\n");

    int lines = 0;
    const Stream *converted = media.convertedAudio();
    const auto soundTracks = std::count_if(media.streams.begin(), media.streams.end(),
                                           [](const Stream &s) { return s.kind == Stream::Audio; });
    for (const Stream &s : media.streams) {
        if (s.kind == Stream::Other || lines == kMaxStreamLines)
            continue;
        ++lines;
        text += QStringLiteral("    Stream #0.%1").arg(s.index);
        if (!s.language.isEmpty())
            text += QStringLiteral("(%1)").arg(s.language);
        text += QStringLiteral(": ");
        text += s.kind == Stream::Video ? videoLine(s) : audioLine(s);
        // Of several sound tracks the main program reads the marked line, so
        // that the row describes the track the job converts.
        if (&s == converted && soundTracks > 1)
            text += QStringLiteral(" (default)");
        text += QLatin1Char('\n');
    }
    return text;
}

} // namespace Probe
