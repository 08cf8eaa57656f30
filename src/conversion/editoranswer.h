#pragma once

#include <optional>

#include <QString>
#include <QStringList>

#include "conversion/editedscript.h"

// The editor tool's answer on its standard error:
//   [any text] -ss S -t T -cropleft L -croptop P -cropright R -cropbottom B
//   -saturation SAT -brightness BRI -contrast CON -drop D [-watermark ...]
// Effects are in percent (0 = unchanged). Read the answer whole, once the
// tool has exited: it may arrive in several chunks.
struct EditorAnswer {
    QString start;  // trim start, whole seconds
    QString length; // trim length, whole seconds
    QString cropLeft;
    QString cropTop;
    QString cropRight;
    QString cropBottom;
    QString saturation; // percent
    QString brightness; // percent
    QString contrast;   // percent
    bool hasWatermark = false;
    QString watermark; // from "-watermark" on, blanks simplified, no quotes
    QString logText;   // the answer from "-ss" on, for the log view

    // No value when the text holds no complete answer (a cancelled editor, a
    // missing key or value): then nothing of the row may change.
    static std::optional<EditorAnswer> parse(const QString &text);
};

// The row an answer is applied to: the row that was current when the editor
// was opened.
struct EditorRow {
    QStringList arguments;      // ArgumentList
    QStringList effects;        // EffectList (six entries)
    QString sourceSize;         // MediaInfo entry 1, "WxH"
    QString displayRatio;       // MediaInfo entry 17
    QString trimDuration;       // MediaInfo entry 18
    QString sourceDurationText; // column 3, "HH:MM:SS"
    QString pluginPath;
    QString importPath;
    QString headerPath;
    QString channels;   // AChannels current index + 1
    QString sampleRate; // ASamplerate current text
};

// Everything the row gets from one answer. Store it only once the script has
// been written (EditedScript::write), so that the row and its script agree.
struct EditorEdit {
    QStringList arguments;      // new ArgumentList
    QStringList effects;        // new EffectList
    QString outputDurationText; // column 4
    bool hasWatermark = false;  // store watermark in WatermarkRole only then
    QString watermark;
    QString scriptPath;
    QString scriptText;
    QString problem; // non-empty: the answer cannot be applied to this row
};

// The trim and crop values in place in an ArgumentList: trim pairs in front
// of "-i", crop pairs in front of "-y"; values stored as the answer's text.
QStringList withEditorArguments(QStringList arguments, const EditorAnswer &answer);
// The effect values in Tweak units in entries 0 to 2.
QStringList withEditorEffects(QStringList effects, const EditorAnswer &answer);
EditorEdit applyEditorAnswer(const EditorAnswer &answer, const EditorRow &row);
// What the row's script is written from, by the same rule as after an edit:
// the row's own arguments and effects; withLogo: the edit named a logo.
EditedScriptInput editedScriptInput(const EditorRow &row, bool withLogo);
