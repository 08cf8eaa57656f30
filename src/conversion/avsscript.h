#pragma once

#include <optional>

#include <QString>
#include <QStringList>

// What the first version of a row's AviSynth wrapper script is made of.
struct AvsScriptInput {
    QString pluginPath; // loaded with LoadPlugin
    QString importPath; // imported first
    QString headerPath; // "HEADER.avs", imported second
    QString sourcePath;
    QString sourceSize;     // "720x576": OutputWidth and OutputHeight
    QString outputSize;     // the value after "-s", empty without one: the Crop size
    QString channelsText;   // the AChannels text: OutputChannels
    QString sampleRateText; // the ASamplerate text: OutputSamplesPerSec
    QString displayRatio;   // "1.778"
    QString exactDuration;  // seconds with one decimal: the Trim length
};

// The AviSynth wrapper script a row gets when its job is first built. The
// transcoder reads it in place of the source when the row is trimmed, cropped,
// coloured or given a logo; the editor answer rewrites it whole and the
// per-file settings patch the four lines 1, 2, 4 and 5 places after
// "#User parameters", so those lines keep their order:
//   OutputWidth, OutputHeight, OutputFrameRate = 21, OutputChannels,
//   OutputSamplesPerSec.
//
// Quoting contract for every path written into a script (the transcoder
// parses these scripts, and AviSynth strings have no escape character):
//   - a path without a double quote is written "path";
//   - a path with a double quote is written """path""" (AviSynth's
//     triple-quoted string, which ends at the first three quotes in a row);
//   - a path that holds three double quotes in a row, ends with a double
//     quote, or holds a line break or another control character cannot be
//     written either way and is refused with a message.
// Scripts are UTF-8 text with "\n" line ends. Numbers written into the user
// parameters, the crop and the trim lines are plain decimals, never texts
// taken over unchecked.
class AvsScript {
public:
    static constexpr int kFrameRate = 21; // OutputFrameRate, and the factor of every Trim line

    // The AviSynth string literal for a path, quotes included; nullopt and a
    // message for the user when it cannot be written safely.
    static std::optional<QString> quoted(const QString &path, QString *error = nullptr);

    // The whole script text; nullopt and a message when a path cannot be
    // quoted.
    static std::optional<QString> text(const AvsScriptInput &input, QString *error = nullptr);

    // No picture is larger; korvex takes a script's numbers only up to 10^9.
    static constexpr int kMaxPictureSide = 65535;

    // Parameter values as every writer of the user-parameter lines writes
    // them: the channel count 1, 2 or 6 for "Mono", "Stereo" and "5.1" (2 for
    // any other text); the sample rate when the text is a whole number, else
    // 44100; a size part as a whole number, 0 when it is not one or is larger
    // than any picture.
    static QString channelCount(const QString &channelsText);
    static QString sampleRate(const QString &sampleRateText);
    static int sizePart(const QString &text);
    // The frame count of a Trim line for a duration in seconds: duration × 21,
    // truncated; 0 (the whole file) for a text that is not a number, or for
    // a length past what a script's frame number holds.
    static qint64 frameCount(const QString &seconds);

    // Script and logo picture paths for number n in folder.
    static QString scriptPath(const QString &folder, int n);
    static QString logoPath(const QString &folder, int n);

    // Writes text to path atomically, creating the folder when missing; false
    // and a message on failure (the old file then stays as it was).
    static bool write(const QString &path, const QString &text, QString *error = nullptr);
    // Writes text as a new file at path, creating the folder when missing,
    // whole or not at all, never in place of a file that has that name by
    // then; the folder is not synced (SafeFile::writeNew). 0, EEXIST when a
    // file has the name, or the error with a message.
    static int writeNew(const QString &path, const QString &text, QString *error = nullptr);
};
