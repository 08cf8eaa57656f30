#pragma once

#include <QImage>
#include <QRect>
#include <QRectF>
#include <QSize>

namespace parlane {

// The look a conversion gives the picture, worked out as the transcoder makes
// it from the edited script: Tweak's colour values through ffmpeg's eq
// filter, and the logo laid unscaled over the top-left corner of the
// letterboxed frame, after the colours.
class OutputLook {
public:
    // The script's Tweak units: saturation and contrast as multipliers,
    // brightness as an offset in levels.
    struct Tweak {
        double saturation = 1;
        double brightness = 0;
        double contrast = 1;
    };

    // The editor's percent values as the main window turns the answer into
    // the script's values.
    static Tweak tweakFromPercent(double saturation, double brightness, double contrast);

    // The frame with the colour effects applied.
    static QImage coloured(const QImage &frame, const Tweak &tweak);

    // Where a logo of `logo` pixels lies, in source pixels, over a picture of
    // `source` whose `kept` part is letterboxed into the output frame;
    // `pixelAspect` is the width of one stored pixel over its height. Empty
    // without a picture or a logo.
    static QRectF logoArea(const QSize &source, const QRect &kept, double pixelAspect,
                           const QSize &logo);
};

} // namespace parlane
