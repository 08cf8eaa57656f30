#include "jobrequest.h"

#include <QHash>

namespace {

enum class Option {
    Input,
    Seek,
    Length,
    CropLeft,
    CropTop,
    CropRight,
    CropBottom,
    VideoCodec,
    PresetFile,
    PresetName,
    Threads,
    Size,
    VideoBitrate,
    FrameRate,
    Aspect,
    AudioCodec,
    SampleRate,
    AudioBitrate,
    Channels,
    Format
};

const QHash<QString, Option> &valueOptions() {
    // Current spellings are accepted beside the old ones so that a list
    // edited by hand still reads.
    static const QHash<QString, Option> table = {
        {"-i", Option::Input},
        {"-ss", Option::Seek},
        {"-t", Option::Length},
        {"-cropleft", Option::CropLeft},
        {"-croptop", Option::CropTop},
        {"-cropright", Option::CropRight},
        {"-cropbottom", Option::CropBottom},
        {"-vcodec", Option::VideoCodec},
        {"-c:v", Option::VideoCodec},
        {"-fpre", Option::PresetFile},
        {"-vpre", Option::PresetName},
        {"-preset", Option::PresetName},
        {"-threads", Option::Threads},
        {"-s", Option::Size},
        {"-b", Option::VideoBitrate},
        {"-b:v", Option::VideoBitrate},
        {"-r", Option::FrameRate},
        {"-aspect", Option::Aspect},
        {"-acodec", Option::AudioCodec},
        {"-c:a", Option::AudioCodec},
        {"-ar", Option::SampleRate},
        {"-ab", Option::AudioBitrate},
        {"-b:a", Option::AudioBitrate},
        {"-ac", Option::Channels},
        {"-f", Option::Format},
    };
    return table;
}

bool isOptionWord(const QString &text) {
    return text == QLatin1String("-y") || text == QLatin1String("-vn") ||
           valueOptions().contains(text);
}

bool readCrop(const QString &value, int *target) {
    bool ok = false;
    const int n = value.trimmed().toInt(&ok);
    if (!ok)
        return false;
    *target = n < 0 ? 0 : n;
    return true;
}

} // namespace

bool JobRequest::isProbe(const QStringList &arguments) {
    return arguments.size() == 2 && arguments.at(0) == QLatin1String("-i");
}

bool JobRequest::parse(const QStringList &arguments, JobRequest *request, QString *error) {
    *request = JobRequest();
    if (arguments.size() < 3) {
        *error = QStringLiteral("expected an input after \"-i\" and an output path last");
        return false;
    }
    // The output is always the last element; everything before it is options.
    request->output = arguments.last();
    if (request->output.isEmpty()) {
        *error = QStringLiteral("the output path is empty");
        return false;
    }
    bool haveInput = false;
    const int end = arguments.size() - 1;
    for (int i = 0; i < end; ++i) {
        const QString &word = arguments.at(i);
        if (word == QLatin1String("-y")) {
            request->overwrite = true;
            continue;
        }
        if (word == QLatin1String("-vn")) {
            request->noVideo = true;
            continue;
        }
        const auto found = valueOptions().constFind(word);
        if (found == valueOptions().constEnd()) {
            *error = QStringLiteral("unrecognized option '%1'").arg(word);
            return false;
        }
        // A codec table without an entry leaves "-vcodec" with no value in
        // front of the next option word: read that as an empty value.
        const bool valueMissing =
            i + 1 >= end || (found.value() != Option::Input && isOptionWord(arguments.at(i + 1)));
        if (valueMissing && (found.value() == Option::Input || i + 1 >= end)) {
            *error = QStringLiteral("missing value for option '%1'").arg(word);
            return false;
        }
        const QString value = valueMissing ? QString() : arguments.at(++i);
        switch (found.value()) {
        case Option::Input:
            if (haveInput) {
                *error = QStringLiteral("more than one input");
                return false;
            }
            haveInput = true;
            request->input = value;
            break;
        case Option::Seek:
            request->seek = value;
            break;
        case Option::Length:
            request->length = value;
            break;
        case Option::CropLeft:
        case Option::CropTop:
        case Option::CropRight:
        case Option::CropBottom: {
            int *target = found.value() == Option::CropLeft    ? &request->cropLeft
                          : found.value() == Option::CropTop   ? &request->cropTop
                          : found.value() == Option::CropRight ? &request->cropRight
                                                               : &request->cropBottom;
            if (!readCrop(value, target)) {
                *error = QStringLiteral("'%1' is not a pixel count for %2").arg(value, word);
                return false;
            }
            break;
        }
        case Option::VideoCodec:
            request->videoCodec = value;
            break;
        case Option::PresetFile:
            request->presetFile = value;
            break;
        case Option::PresetName:
            request->presetName = value;
            break;
        case Option::Threads:
            request->threads = value;
            break;
        case Option::Size:
            request->size = value;
            break;
        case Option::VideoBitrate:
            request->videoBitrate = value;
            break;
        case Option::FrameRate:
            request->frameRate = value;
            break;
        case Option::Aspect:
            request->aspect = value;
            break;
        case Option::AudioCodec:
            request->audioCodecGiven = true;
            request->audioCodec = value;
            break;
        case Option::SampleRate:
            request->sampleRate = value;
            break;
        case Option::AudioBitrate:
            request->audioBitrate = value;
            break;
        case Option::Channels:
            request->channels = value;
            break;
        case Option::Format:
            request->format = value;
            break;
        }
    }
    if (!haveInput || request->input.isEmpty()) {
        *error = QStringLiteral("no input: \"-i\" and a path are needed");
        return false;
    }
    return true;
}
