#pragma once

#include <optional>

#include <QString>
#include <QStringList>

// The AviSynth script of a row as it is written anew after every edit. The
// per-file settings apply patches the lines one, two, four and five places
// after "#User parameters" by position, so those lines keep their order.
struct EditedScriptInput {
    QString pluginPath;    // first line: LoadPlugin
    QString importPath;    // second line: Import
    QString headerPath;    // third line: Import of HEADER.avs
    QString sourceSize;    // "WxH" (MediaInfo entry 1)
    QString channels;      // "OutputChannels" value
    QString sampleRate;    // "OutputSamplesPerSec" value
    QString displayRatio;  // MediaInfo entry 17
    QString trimDuration;  // MediaInfo entry 18: seconds with tenths
    QStringList arguments; // the edited ArgumentList: crop pairs, "-ss", "-t"
    QStringList effects;   // the edited EffectList: Tweak values, source, logo
    bool withLogo = false; // the answer named a logo
};

namespace EditedScript {

// The script text; nullopt and a message for the user when a path cannot be
// written into a script (paths are quoted as AvsScript::quoted does).
std::optional<QString> build(const EditedScriptInput &input, QString *error = nullptr);

// Replaces the file with text at once, as UTF-8: a reader never sees half a
// script, and a failed write leaves the old script as it was.
bool write(const QString &path, const QString &text, QString *error = nullptr);

// Before a job, on a thread that may wait for the scripts' folder: the
// script at path, removed from outside (a cleaner, another session) or cut
// at a length its changed source no longer has (sourceChanged), is written
// again as the edit wrote it, its folder made when missing; the logo line
// only when input.withLogo and the logo picture has something in it. Empty
// when the script is there; else why not, for the user.
QString restore(EditedScriptInput input, const QString &path, bool sourceChanged);

} // namespace EditedScript
