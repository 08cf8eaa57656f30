#pragma once

extern "C" {
#include <libavformat/avformat.h>
}

#include <QString>
#include <QStringList>

// A user's media file is read as that one file and nothing else, by every
// reader of it in-process (the transcoder's probe, the preview, the editor's
// frame) and by the ffmpeg that the transcoder runs on it.
//
// Some of libavformat's formats read other files in the file's place, chosen
// by what the file holds, whatever its name: playlists and manifests (HLS,
// DASH, IMF), concat lists, VobSub indexes, recordings split over several
// files, descriptions of network streams. A text file named holiday.mp4 that
// holds "#EXTM3U" and "../secret/private.ts" would be read as that other file.
// Such a file is refused with the reason. The picture reader takes
// "pic%d.png" for the numbered pictures pic1.png, pic2.png...: it is held to
// the one picture that its name names.
class SourceInput {
public:
    static constexpr const char *kFileProtocol = "file";

    // Readies a context made by avformat_alloc_context(), and the options
    // that go with it to avformat_open_input(), so that the open and every
    // read after it reach the file at the url given there (or the caller's
    // own input in ctx->pb) and nothing else. protocols: those the url is
    // read through. The context's opaque field is taken.
    static void confine(AVFormatContext *ctx, AVDictionary **options,
                        const char *protocols = kFileProtocol);

    // Why avformat_open_input() on a confined context refused the file at
    // url: its content is of a format that reads other files; empty when it
    // is not. input: the caller's own input of the file, or null to open url
    // through protocols.
    static QString refusal(const char *url, AVIOContext *input,
                           const char *protocols = kFileProtocol);

    // The options in front of "-i" that make ffmpeg read a file with the
    // demuxer that a confined open found, and read only the file itself.
    static QStringList ffmpegInputOptions(const AVInputFormat *format);

    // Whether the demuxer reads files or streams other than the one given.
    static bool readsOtherFiles(const AVInputFormat *format);
};
