#include "commandcheck.h"

#include <cmath>

extern "C" {
#include <libavformat/avformat.h>
}

#include <QRegularExpression>
#include <QSet>

#include "fuzzcheck.h"

namespace {

const QString kFile = QStringLiteral("file:");

const QSet<QString> &valueOptions() {
    static const QSet<QString> options = {"-loglevel",
                                          "-ss",
                                          "-i",
                                          "-filter_complex",
                                          "-map",
                                          "-vf",
                                          "-c:v",
                                          "-preset",
                                          "-profile:v",
                                          "-b:v",
                                          "-r",
                                          "-aspect",
                                          "-pix_fmt",
                                          "-threads",
                                          "-c:a",
                                          "-b:a",
                                          "-ar",
                                          "-ac",
                                          "-t",
                                          "-f",
                                          "-af",
                                          "-ch_layout",
                                          "-disposition:v:0",
                                          "-disposition:a:0",
                                          "-color_primaries",
                                          "-color_trc",
                                          "-colorspace",
                                          "-color_range"};
    return options;
}

const QSet<QString> &flagOptions() {
    static const QSet<QString> flags = {"-hide_banner", "-nostdin", "-stats", "-y"};
    return flags;
}

const QSet<QString> &knownFilters() {
    static const QSet<QString> filters = {
        "setpts", "fps",     "trim",    "crop",    "eq",       "hue",       "scale", "setsar",
        "pad",    "overlay", "asetpts", "adelay",  "atrim",    "aformat",   "pan",   "alimiter",
        "bwdif",  "zscale",  "format",  "tonemap", "setfield", "colorspace"};
    return filters;
}

void checkGraph(const QString &graph) {
    static const QRegularExpression label(QStringLiteral("\\[[^\\]]*\\]"));
    QString plain = graph;
    plain.replace(label, QStringLiteral(","));
    for (const QString &chain : plain.split(QLatin1Char(';'))) {
        for (const QString &step : chain.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const QString name = step.section(QLatin1Char('='), 0, 0);
            require(knownFilters().contains(name), "a filter outside korvex's set", graph);
        }
    }
    static const QRegularExpression notFinite(QStringLiteral("inf|nan"),
                                              QRegularExpression::CaseInsensitiveOption);
    require(!graph.contains(notFinite), "a filter value that is not a finite number", graph);
}

} // namespace

void checkFfmpegCommand(const FfmpegCommand &command, const QString &sourcePath,
                        const QString &outputPath) {
    const QStringList &args = command.arguments;
    const QString output = kFile + outputPath;
    QStringList inputs;
    QStringList positional;
    QString muxer;
    for (int i = 0; i < args.size(); ++i) {
        const QString &word = args.at(i);
        if (flagOptions().contains(word))
            continue;
        if (!valueOptions().contains(word)) {
            require(!word.startsWith(QLatin1Char('-')), "an option korvex never gives",
                    args.join(QLatin1Char(' ')));
            positional << word;
            continue;
        }
        require(i + 1 < args.size(), "an option without its value", args.join(QLatin1Char(' ')));
        const QString &value = args.at(++i);
        if (word == QLatin1String("-i"))
            inputs << value;
        else if (word == QLatin1String("-f"))
            muxer = value;
        else if (word == QLatin1String("-vf") || word == QLatin1String("-af") ||
                 word == QLatin1String("-filter_complex"))
            checkGraph(value);
    }

    const QString all = args.join(QLatin1Char(' '));
    require(positional == QStringList{output} && args.last() == output,
            "ffmpeg writes something besides the temporary output", all);
    require(!inputs.isEmpty() && inputs.first() == kFile + sourcePath,
            "the first input is not the source", all);
    for (const QString &input : inputs) {
        require(input.startsWith(kFile), "an input read through another protocol", all);
        require(input != output, "the output is one of the inputs", all);
    }
    require(muxer == command.muxer, "the muxer differs from the one planned", all);
    const AVOutputFormat *format = av_guess_format(muxer.toLatin1().constData(), nullptr, nullptr);
    require(format && QString::fromLatin1(format->name) == muxer, "an unknown muxer", all);
    // Such muxers open files of their own (segments, playlists, numbered
    // pictures, tee outputs) instead of writing the one they are given.
    require(!(format->flags & AVFMT_NOFILE), "a muxer that writes files of its own", all);
    require(std::isfinite(command.expectedDuration), "an expected duration that is not finite",
            all);
}

SourceFacts twelveSecondClip() {
    SourceFacts source;
    source.hasVideo = true;
    source.hasAudio = true;
    source.videoIndex = 0;
    source.audioIndex = 1;
    source.width = 320;
    source.height = 240;
    source.sampleRate = 44100;
    source.channels = 2;
    source.duration = 12;
    source.videoDuration = 12;
    source.audioDuration = 12;
    return source;
}
