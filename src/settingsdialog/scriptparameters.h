#pragma once

#include <optional>

#include <QByteArray>
#include <QString>

// The four user-parameter lines of a row's AviSynth script that the Advance
// button brings in line with the row's new settings: the lines one, two,
// four and five places after "#User parameters" (OutputWidth, OutputHeight,
// OutputChannels, OutputSamplesPerSec). The line three places after it,
// OutputFrameRate, is the script's fixed rate and stays as it is.
struct ScriptParameterValues {
    // No value: the output size did not read as WIDTHxHEIGHT in whole
    // numbers, and the script keeps its size lines.
    std::optional<int> width;
    std::optional<int> height;
    QString channels;   // "1", "2" or "6"
    QString sampleRate; // a plain decimal, "44100"
};

namespace ScriptParameters {

enum class Outcome {
    Patched,
    NoScript,    // the row names no script
    Unreadable,  // the file is missing or cannot be read
    NoMarker,    // no "#User parameters" line
    TooFewLines, // fewer than five lines after the marker
    WriteFailed, // the new text could not be put in place; the old file stays
};

struct Report {
    Outcome outcome = Outcome::Patched;
    QString message; // for the user; empty when the script was patched or there is none
};

// The values for a row: its output size ("640x480", MediaInfo entry 8) and
// the main window's AChannels and ASamplerate texts. Channel count and sample
// rate follow the script writer's own rules, so that every writer puts the
// same numbers into these lines.
ScriptParameterValues valuesFor(const QString &outputSize, const QString &channelsText,
                                const QString &sampleRateText);

// The script text with the four lines replaced; every other byte, line ends
// included, stays as it was. No value when the text has no marker line or
// too few lines after it (outcome says which).
std::optional<QByteArray> patchedText(const QByteArray &text, const ScriptParameterValues &values,
                                      Outcome *outcome = nullptr);

// Reads the script, patches it and replaces the file whole and atomically:
// a shorter text leaves nothing of the old one behind, and any failure
// leaves the old file untouched.
Report patchFile(const QString &path, const ScriptParameterValues &values);

} // namespace ScriptParameters
