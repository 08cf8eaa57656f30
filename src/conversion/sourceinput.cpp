#include "conversion/sourceinput.h"

#include <cstring>
#include <string>

extern "C" {
#include <libavutil/avstring.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

namespace {

struct OtherFilesReader {
    const char *demuxer;
    const char *what; // as the refusal names the file
};

// The demuxers of libavformat (and of builds with more in them) that read
// other files or streams in place of the one they are given.
constexpr OtherFilesReader kOtherFilesReaders[] = {
    {"avisynth", "an AviSynth script"},
    {"concat", "a concat list"},
    {"dash", "a DASH manifest"},
    {"hls", "an HLS playlist"},
    {"imf", "an IMF composition"},
    {"lavfi", "a filter graph"},
    {"mlv", "a Magic Lantern recording in parts"},
    {"rtp", "an RTP stream description"},
    {"rtsp", "an RTSP stream description"},
    {"sap", "a SAP announcement"},
    {"sdp", "a network stream description (SDP)"},
    {"vapoursynth", "a VapourSynth script"},
    {"vobsub", "a VobSub index"},
};

constexpr const char *kPictureReader = "image2";

const OtherFilesReader *otherFilesReader(const AVInputFormat *format) {
    if (!format || !format->name)
        return nullptr;
    // A demuxer may go by several names ("mov,mp4,m4a,..."); the library
    // matches each of them against a list.
    for (const OtherFilesReader &reader : kOtherFilesReaders) {
        if (av_match_list(format->name, reader.demuxer, ',') > 0)
            return &reader;
    }
    return nullptr;
}

// Every demuxer but those: the library refuses a file that it finds to be
// of another. The list goes on to the contexts that a demuxer nests, also
// to those that open by the library's own way rather than by the caller's
// (a concat list's), where it alone stands guard.
const std::string &demuxerWhitelist() {
    static const std::string names = [] {
        std::string list;
        void *state = nullptr;
        while (const AVInputFormat *format = av_demuxer_iterate(&state)) {
            if (otherFilesReader(format))
                continue;
            if (!list.empty())
                list += ',';
            list += format->name;
        }
        return list;
    }();
    return names;
}

using OpenCall = int (*)(AVFormatContext *, AVIOContext **, const char *, int, AVDictionary **);

// The library's own way of opening, which a confined context hands the file
// itself to.
OpenCall libraryOpen() {
    static const OpenCall open = [] {
        AVFormatContext *context = avformat_alloc_context();
        const OpenCall call = context ? context->io_open : nullptr;
        avformat_free_context(context);
        return call;
    }();
    return open;
}

// Every open that a demuxer makes through the caller's way comes here, also
// from the contexts that it nests (a playlist's), which keep the opaque
// field: that holds the context the caller opened. What is opened is the
// file itself, or nothing: the open of the source (the picture reader's of
// its one picture among them), and no open at all where the caller reads
// the file through an input of its own.
int openOnlyItself(AVFormatContext *context, AVIOContext **input, const char *url, int flags,
                   AVDictionary **options) {
    const auto *caller = static_cast<const AVFormatContext *>(context->opaque);
    const bool itself = caller && !(caller->flags & AVFMT_FLAG_CUSTOM_IO) && caller->url && url &&
                        std::strcmp(url, caller->url) == 0 && !(flags & AVIO_FLAG_WRITE);
    const OpenCall open = libraryOpen();
    if (!itself || !open) {
        av_log(context, AV_LOG_ERROR, "'%s' is not opened: a source is read by itself\n",
               url ? url : "");
        return AVERROR(EPERM);
    }
    return open(context, input, url, flags, options);
}

} // namespace

void SourceInput::confine(AVFormatContext *ctx, AVDictionary **options, const char *protocols) {
    av_opt_set(ctx, "format_whitelist", demuxerWhitelist().c_str(), 0);
    av_opt_set(ctx, "protocol_whitelist", protocols, 0);
    ctx->opaque = ctx;
    ctx->io_open = openOnlyItself;
    // Other demuxers leave the option alone.
    av_dict_set(options, "pattern_type", "none", 0);
}

QString SourceInput::refusal(const char *url, AVIOContext *input, const char *protocols) {
    AVIOContext *own = nullptr;
    if (input) {
        if (avio_seek(input, 0, SEEK_SET) < 0)
            return QString();
    } else {
        AVDictionary *options = nullptr;
        av_dict_set(&options, "protocol_whitelist", protocols, 0);
        const int opened = avio_open2(&own, url, AVIO_FLAG_READ, nullptr, &options);
        av_dict_free(&options);
        if (opened < 0)
            return QString();
        input = own;
    }
    // The library's own look at the content, over every demuxer.
    const AVInputFormat *format = nullptr;
    const int probed = av_probe_input_buffer2(input, &format, url, nullptr, 0, 0);
    avio_closep(&own);
    const OtherFilesReader *reader = probed >= 0 ? otherFilesReader(format) : nullptr;
    if (!reader)
        return QString();
    return QStringLiteral("the file is %1, which names other files or streams to be read in its "
                          "place; a file is read only by itself, so this one is refused")
        .arg(QString::fromLatin1(reader->what));
}

QStringList SourceInput::ffmpegInputOptions(const AVInputFormat *format) {
    if (!format || !format->name)
        return {};
    QStringList options = {QStringLiteral("-f"), QString::fromLatin1(format->name)};
    // ffmpeg fails on an input option that its demuxer does not take.
    if (std::strcmp(format->name, kPictureReader) == 0)
        options << QStringLiteral("-pattern_type") << QStringLiteral("none");
    return options;
}

bool SourceInput::readsOtherFiles(const AVInputFormat *format) {
    return otherFilesReader(format) != nullptr;
}
