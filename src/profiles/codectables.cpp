#include "codectables.h"

#include <array>
#include <utility>

namespace CodecTables {

namespace {

struct VideoCodec {
    const char *text;
    // Unused places stay null.
    std::array<const char *, 5> group;
};

// Order matters only for readability: the keys are all different.
const std::array<VideoCodec, 15> kVideoCodecs = {{
    {"H.264/MPEG-4 AVC", {{"libx264", "-fpre", "x264/libx264-veryfast.ffpreset", "-threads", "0"}}},
    {"MPEG-4", {{"mpeg4"}}},
    {"Microsoft MPEG-4", {{"msmpeg4"}}},
    {"Microsoft MPEG-4 v1", {{"msmpeg4v1"}}},
    {"Microsoft MPEG-4 v2", {{"msmpeg4v2"}}},
    {"MPEG-1", {{"mpeg1video"}}},
    {"MPEG-2", {{"mpeg2video"}}},
    {"wmv1", {{"wmv1"}}},
    {"wmv2", {{"wmv2"}}},
    // The transcoder has no WMV3 encoder; profiles that offer it get WMV2.
    {"wmv3", {{"wmv2"}}},
    {"H.263", {{"h263"}}},
    {"H.263P", {{"h263p"}}},
    {"Motion JPEG", {{"mjpeg"}}},
    {"Xvid", {{"libxvid", "-threads", "8"}}},
    {"FLV", {{"flv"}}},
}};

const std::array<std::pair<const char *, const char *>, 22> kAudioEncoders = {{
    {"mp3", "libmp3lame"},
    {"MP3", "libmp3lame"},
    {"MPEG-4 AAC", "libfaac"},
    {"libfaac", "libfaac"},
    {"mpeg4aac", "libfaac"},
    {"AAC", "libfaac"},
    {"mp2", "mp2"},
    {"ac3", "ac3"},
    {"pcm_s16le", "pcm_s16le"},
    {"pcm_s16be", "pcm_s16be"},
    {"pcm_alaw", "pcm_alaw"},
    {"pcm_mulaw", "pcm_mulaw"},
    {"pcm_s8", "pcm_s8"},
    {"pcm_u8", "pcm_u8"},
    {"adpcm_ms", "adpcm_ms"},
    {"adpcm_ima_wav", "adpcm_ima_wav"},
    {"Windows Media Audio V7", "wmav1"},
    {"Windows Media Audio V8", "wmav2"},
    {"libamr_nb", "libopencore_amrnb"},
    {"flac", "flac"},
    {"AMR", "libopencore_amrnb"},
    {"amr", "libopencore_amrnb"},
}};

} // namespace

QStringList videoCodecArgs(const QString &codecText) {
    for (const VideoCodec &codec : kVideoCodecs) {
        if (codecText == QLatin1String(codec.text)) {
            QStringList group;
            for (const char *element : codec.group) {
                if (element)
                    group << QString::fromLatin1(element);
            }
            return group;
        }
    }
    return {};
}

QString forcedAspect(const QString &codecText) {
    return codecText == kXvidCodecText ? kForcedAspectText : QString();
}

QString audioEncoderName(const QString &codecText) {
    for (const auto &[text, encoder] : kAudioEncoders) {
        if (codecText == QLatin1String(text))
            return QString::fromLatin1(encoder);
    }
    return {};
}

QString audioCodecDisplayName(const QString &encoderName) {
    if (encoderName == QLatin1String("libmp3lame"))
        return QStringLiteral("mp3");
    if (encoderName == QLatin1String("libfaac"))
        return QStringLiteral("AAC");
    return encoderName;
}

} // namespace CodecTables
