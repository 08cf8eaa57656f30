#pragma once

#include <QString>
#include <QVector>

// An AviSynth wrapper script as the main program writes it, read without ever
// being run. Only the lines that program writes, in its order, are accepted:
// the plug-in and header lines, the "#User parameters" block, the source with
// its frame-rate conversion, DelayAudio, DisplayRatio, Crop, Tweak, the audio
// source, the letterbox resize, the trims and the optional logo line.
//
// Quoted paths follow AviSynth's own rules: "..." holds any character but a
// double quote; a path with a double quote is written """...""" (it must not
// itself hold three double quotes in a row or end with one).
struct WrapperScript {
    struct Trim {
        int first = 0;
        int last = 0; // AviSynth's meaning: 0 to the end, negative a frame count
    };

    QString sourcePath; // absolute
    double frameRate = 21;
    int outputWidth = 0; // 0 when the block leaves it empty
    int outputHeight = 0;
    double displayRatio = 0; // 0 when unknown
    int cropLeft = 0;
    int cropTop = 0;
    int cropWidth = 0; // AviSynth's meaning: 0 or negative counts from the far edge
    int cropHeight = 0;
    double hue = 0;
    double saturation = 1;
    double brightness = 0;
    double contrast = 1;
    double audioDelay = 0;
    QVector<Trim> trims;
    QString logoPath; // absolute; empty without a logo line

    // Reads the script text; relative paths are taken from scriptFolder.
    // False with a message that names the line when the text is not one of
    // ours.
    static bool parse(const QString &text, const QString &scriptFolder, WrapperScript *script,
                      QString *error);

    // The frames the trims keep, first and last inclusive; last is -1 when the
    // clip runs to its end. False when nothing is left.
    bool keptFrames(qint64 *first, qint64 *last) const;
};
