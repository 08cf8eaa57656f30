#include "encodercaps.h"

#include <cmath>
#include <cstdlib>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
}

#include <QFileInfo>
#include <QHash>
#include <QSet>

#include "profiles/encoderframesize.h"

namespace EncoderCaps {

namespace {

const AVCodec *findEncoder(const QString &name) {
    return name.isEmpty() ? nullptr : avcodec_find_encoder_by_name(name.toLatin1().constData());
}

AVMediaType mediaType(Kind kind) {
    return kind == Kind::Video ? AVMEDIA_TYPE_VIDEO : AVMEDIA_TYPE_AUDIO;
}

const QHash<QString, QString> &substitutes() {
    // The encoder names that the main program's codec tables write and that
    // Debian's ffmpeg does not have, each with the encoder that takes its
    // place. Nothing else is renamed: a name outside this table that ffmpeg
    // does not know is a mistake in the job, and guessing would hide it.
    static const QHash<QString, QString> table = {
        {"libfaac", "aac"},
        {"msmpeg4v1", "msmpeg4v2"},
    };
    return table;
}

const QHash<QString, QString> &extensionMuxers() {
    static const QHash<QString, QString> table = {
        {"avi", "avi"},      {"divx", "avi"},   {"asf", "asf"},   {"wmv", "asf"},
        {"wma", "asf"},      {"mp4", "mp4"},    {"m4v", "mp4"},   {"m4a", "ipod"},
        {"mov", "mov"},      {"qt", "mov"},     {"3gp", "3gp"},   {"3g2", "3g2"},
        {"mpg", "mpeg"},     {"mpeg", "mpeg"},  {"vob", "vob"},   {"ts", "mpegts"},
        {"m2ts", "mpegts"},  {"mts", "mpegts"}, {"flv", "flv"},   {"mkv", "matroska"},
        {"mka", "matroska"}, {"webm", "webm"},  {"ogg", "ogg"},   {"ogv", "ogg"},
        {"oga", "ogg"},      {"aac", "adts"},   {"ac3", "ac3"},   {"aiff", "aiff"},
        {"aif", "aiff"},     {"amr", "amr"},    {"au", "au"},     {"flac", "flac"},
        {"mp2", "mp2"},      {"mp3", "mp3"},    {"wav", "wav"},   {"swf", "swf"},
        {"rm", "rm"},        {"dv", "dv"},      {"opus", "opus"},
    };
    return table;
}

// Muxers whose answer the libraries cannot give, or give too freely (the FLV
// table holds codecs that Flash players do not know and the muxer refuses),
// with what players accept in them.
struct Accepted {
    QSet<QString> video;
    QSet<QString> audio;
};

const QHash<QString, Accepted> &restrictedMuxers() {
    static const Accepted programStream = {{"mpeg1video", "mpeg2video", "libx264"},
                                           {"mp2", "libtwolame", "libmp3lame", "ac3"}};
    static const QHash<QString, Accepted> table = {
        {"mpeg", programStream},
        {"vob", programStream},
        {"flv", {{"flv", "libx264"}, {"libmp3lame", "aac", "adpcm_swf", "nellymoser", "libspeex"}}},
        {"swf", {{"flv", "mjpeg"}, {"libmp3lame"}}},
        {"ogg", {{"libtheora"}, {"libvorbis", "flac", "libopus", "libspeex"}}},
    };
    return table;
}

} // namespace

QString resolveEncoder(const QString &name, Kind kind) {
    const QString trimmed = name.trimmed();
    const QString mapped = substitutes().value(trimmed, trimmed);
    const AVCodec *codec = findEncoder(mapped);
    if (!codec || codec->type != mediaType(kind))
        return QString();
    // An experimental encoder needs extra switches and makes poor files.
    if (codec->capabilities & AV_CODEC_CAP_EXPERIMENTAL)
        return QString();
    return mapped;
}

bool isAudioOnlyOutput(const QString &outputPath) {
    static const QSet<QString> audio = {"aac", "ac3", "aiff", "aif", "amr", "au",   "flac", "m4a",
                                        "mp2", "mp3", "wav",  "wma", "oga", "opus", "mka"};
    return audio.contains(QFileInfo(outputPath).suffix().toLower());
}

namespace {

// A muxer that opens files of its own (segments, playlists, numbered
// pictures, tee outputs) writes beside or instead of the one output that a
// job checks and renames, and may land on any name: no job is given one.
QString singleFileMuxer(const AVOutputFormat *format) {
    return format && !(format->flags & AVFMT_NOFILE) ? QString::fromLatin1(format->name)
                                                     : QString();
}

} // namespace

QString muxerFor(const QString &outputPath, const QString &formatOption,
                 const QString &videoEncoder) {
    if (!formatOption.isEmpty())
        return singleFileMuxer(
            av_guess_format(formatOption.toLatin1().constData(), nullptr, nullptr));
    const QString suffix = QFileInfo(outputPath).suffix().toLower();
    QString muxer = extensionMuxers().value(suffix);
    // MPEG-2 pictures belong in an MPEG-2 program stream.
    if (muxer == QLatin1String("mpeg") && videoEncoder == QLatin1String("mpeg2video"))
        muxer = QStringLiteral("vob");
    if (!muxer.isEmpty())
        return muxer;
    if (suffix.isEmpty())
        return QString();
    const QByteArray probeName = "x." + suffix.toLatin1();
    return singleFileMuxer(av_guess_format(nullptr, probeName.constData(), nullptr));
}

bool containerAccepts(const QString &muxer, const QString &encoder, Kind kind,
                      bool audioOnlyOutput) {
    if (kind == Kind::Video && audioOnlyOutput)
        return false;
    const AVOutputFormat *format = av_guess_format(muxer.toLatin1().constData(), nullptr, nullptr);
    const AVCodec *codec = findEncoder(encoder);
    if (!format || !codec)
        return false;
    const auto restricted = restrictedMuxers().constFind(muxer);
    if (restricted != restrictedMuxers().constEnd())
        return (kind == Kind::Video ? restricted->video : restricted->audio).contains(encoder);
    const int answer = avformat_query_codec(format, codec->id, FF_COMPLIANCE_NORMAL);
    if (answer >= 0)
        return answer == 1;
    // No table to ask: a sound-only file takes its own codec only, other
    // containers are trusted with what the profile chose.
    if (kind == Kind::Audio && audioOnlyOutput)
        return codec->id == format->audio_codec;
    return true;
}

QString defaultEncoder(const QString &muxer, Kind kind) {
    const AVOutputFormat *format = av_guess_format(muxer.toLatin1().constData(), nullptr, nullptr);
    if (!format)
        return QString();
    const AVCodecID id = kind == Kind::Video ? format->video_codec : format->audio_codec;
    if (id == AV_CODEC_ID_NONE)
        return QString();
    const AVCodec *codec = avcodec_find_encoder(id);
    if (!codec)
        return QString();
    return resolveEncoder(QString::fromLatin1(codec->name), kind);
}

QVector<int> sampleRates(const QString &encoder, const QString &muxer) {
    QVector<int> rates;
    if (const AVCodec *codec = findEncoder(encoder)) {
        for (const int *r = codec->supported_samplerates; r && *r; ++r)
            rates.append(*r);
    }
    // Limits these encoders check only when they are opened.
    if (encoder == QLatin1String("libopencore_amrnb"))
        rates = {8000};
    else if (encoder == QLatin1String("libvo_amrwbenc"))
        rates = {16000};
    if (rates.isEmpty() && encoder.startsWith(QLatin1String("wmav")))
        rates = {8000, 11025, 16000, 22050, 32000, 44100, 48000};
    // Flash players only know these three rates for everything but AAC.
    if (muxer == QLatin1String("flv") && encoder != QLatin1String("aac")) {
        const QVector<int> flash = {44100, 22050, 11025};
        if (rates.isEmpty())
            return flash;
        QVector<int> both;
        for (int r : rates) {
            if (flash.contains(r))
                both.append(r);
        }
        return both.isEmpty() ? flash : both;
    }
    return rates;
}

int nearest(const QVector<int> &allowed, int wanted) {
    if (allowed.isEmpty())
        return wanted;
    int best = allowed.first();
    for (int r : allowed) {
        if (std::abs(r - wanted) < std::abs(best - wanted))
            best = r;
    }
    return best;
}

int maxChannels(const QString &encoder, const QString &muxer) {
    int most = 0;
    if (encoder == QLatin1String("libopencore_amrnb") ||
        encoder == QLatin1String("libvo_amrwbenc")) {
        most = 1;
    } else if (encoder.startsWith(QLatin1String("wmav")) || encoder == QLatin1String("adpcm_ms") ||
               encoder == QLatin1String("adpcm_ima_wav")) {
        most = 2;
    } else if (const AVCodec *codec = findEncoder(encoder)) {
        for (const AVChannelLayout *l = codec->ch_layouts; l && l->nb_channels; ++l)
            most = std::max(most, l->nb_channels);
    }
    if (muxer == QLatin1String("flv") && (most == 0 || most > 2))
        most = 2;
    return most;
}

QString writtenLayout(const QString &encoder, int channels) {
    // An encoder that lists its layouts gets the first of them with that
    // many channels, as ffmpeg chooses it; any other the usual layout.
    AVChannelLayout usual = {};
    av_channel_layout_default(&usual, channels);
    const AVChannelLayout *chosen = &usual;
    const AVCodec *codec = findEncoder(encoder);
    for (const AVChannelLayout *l = codec ? codec->ch_layouts : nullptr; l && l->nb_channels; ++l) {
        if (l->nb_channels == channels) {
            chosen = l;
            break;
        }
    }
    char name[64] = {};
    av_channel_layout_describe(chosen, name, sizeof name);
    av_channel_layout_uninit(&usual);
    return QString::fromLatin1(name);
}

bool takesAudioBitrate(const QString &encoder) {
    return !(encoder.startsWith(QLatin1String("pcm_")) ||
             encoder.startsWith(QLatin1String("adpcm_")) || encoder == QLatin1String("flac") ||
             encoder == QLatin1String("alac"));
}

qint64 audioBitrate(const QString &encoder, qint64 wanted, int sampleRate) {
    if (!takesAudioBitrate(encoder))
        return 0;
    QVector<int> allowedKbit;
    if (encoder == QLatin1String("libopencore_amrnb")) {
        const QVector<int> modes = {4750, 5150, 5900, 6700, 7400, 7950, 10200, 12200};
        return nearest(modes, int(std::min<qint64>(wanted, 1000000)));
    }
    if (encoder == QLatin1String("mp2") || encoder == QLatin1String("libtwolame")) {
        if (sampleRate >= 32000)
            allowedKbit = {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
        else
            allowedKbit = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    } else if (encoder == QLatin1String("ac3")) {
        allowedKbit = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                       192, 224, 256, 320, 384, 448, 512, 576, 640};
    } else if (encoder.startsWith(QLatin1String("wmav"))) {
        return std::clamp<qint64>(wanted, 24000, 384000);
    } else if (encoder == QLatin1String("libmp3lame")) {
        return std::clamp<qint64>(wanted, 8000, 320000);
    }
    if (allowedKbit.isEmpty())
        return wanted;
    return qint64(nearest(allowedKbit, int(std::min<qint64>(wanted / 1000, 100000)))) * 1000;
}

QString pixelFormat(const QString &encoder) {
    static const QSet<QString> planar420 = {"libx264",    "libx265",   "libxvid", "mpeg4",
                                            "msmpeg4",    "msmpeg4v2", "wmv1",    "wmv2",
                                            "h263",       "h263p",     "flv",     "mpeg1video",
                                            "mpeg2video", "libtheora", "libvpx",  "libvpx-vp9"};
    if (encoder == QLatin1String("mjpeg"))
        return QStringLiteral("yuvj420p");
    return planar420.contains(encoder) ? QStringLiteral("yuv420p") : QString();
}

bool writesEightBits(const QString &encoder) {
    if (!pixelFormat(encoder).isEmpty())
        return true; // every format named there is of 8 bits
    const AVCodec *codec = findEncoder(encoder);
    if (!codec || !codec->pix_fmts)
        return false;
    for (const AVPixelFormat *f = codec->pix_fmts; *f != AV_PIX_FMT_NONE; ++f) {
        const AVPixFmtDescriptor *d = av_pix_fmt_desc_get(*f);
        if (d && d->comp[0].depth > 8)
            return false;
    }
    return true;
}

bool writesJpegRange(const QString &encoder) {
    return encoder == QLatin1String("mjpeg");
}

QSize legalFrameSize(const QString &encoder, QSize wanted) {
    return EncoderFrameSize::legal(encoder, wanted);
}

QSize largestPicture(const QString &encoder) {
    // Sizes are coded in 13 and 14 bits; the encoders refuse anything more.
    if (encoder == QLatin1String("mpeg4"))
        return {8191, 8191};
    if (encoder == QLatin1String("libvpx"))
        return {16383, 16383};
    return {};
}

bool takesPreset(const QString &encoder) {
    return encoder == QLatin1String("libx264") || encoder == QLatin1String("libx265");
}

bool carriesPixelAspect(const QString &encoder) {
    // Sorenson's bitstream has no field for it, and FLV and SWF add none.
    return encoder != QLatin1String("flv");
}

} // namespace EncoderCaps
