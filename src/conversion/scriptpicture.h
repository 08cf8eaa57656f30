#pragma once

#include <QRect>
#include <QSize>

// What a row's edited AviSynth script makes of the source picture. The editor
// tool shows its preview by these rules, so that the picture it shows is the
// one the conversion gives.
class ScriptPicture {
public:
    // The part of a picture of `source` that the script's Crop keeps for the
    // margins the editor answered. AviSynth wants even offsets, a width
    // divisible by 4 and an even height: offsets and sizes are rounded toward
    // zero, so an odd offset keeps one more column or row on its side and the
    // far side gives up what the size rounding takes. No margin at all keeps
    // the picture whole, whatever its size.
    static QRect kept(const QSize &source, int left, int top, int right, int bottom);

    // The frame that ResizeLetterBox fills: OutputWidth and OutputHeight as
    // the script states them for the source size.
    static QSize frame(const QSize &source);

    // The part of `frame` that ResizeLetterBox gives the picture, fitted at
    // its display ratio (width over height) in even sides; the rest is black.
    static QSize letterboxed(const QSize &frame, double ratio);
};
