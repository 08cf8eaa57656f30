#include "outputlook.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "conversion/scriptpicture.h"
#include "filelist/effectscale.h"

namespace parlane {

namespace {

// The transcoder's bounds for eq's parameters.
constexpr double kMaxContrast = 1000;
constexpr double kMaxSaturation = 3;
constexpr double kLevels = 255;

// eq works on the Y'CbCr planes as decoded; the preview frame came from them
// through swscale's BT.601 studio-range matrix, which these undo and redo.
constexpr double kKr = 0.299;
constexpr double kKb = 0.114;
constexpr double kKg = 1 - kKr - kKb;
constexpr double kLumaScale = 219.0 / 255;
constexpr double kChromaScale = 224.0 / 255;

int level(double value) {
    return std::clamp(int(std::lround(value)), 0, 255);
}

double tweakValue(QString (*convert)(const QString &), double percent) {
    return convert(QString::number(percent, 'g', 6)).toDouble();
}

} // namespace

OutputLook::Tweak OutputLook::tweakFromPercent(double saturation, double brightness,
                                               double contrast) {
    Tweak tweak;
    tweak.saturation = tweakValue(EffectScale::percentToGain, saturation);
    tweak.brightness = tweakValue(EffectScale::percentToLevel, brightness);
    tweak.contrast = tweakValue(EffectScale::percentToGain, contrast);
    return tweak;
}

QImage OutputLook::coloured(const QImage &frame, const Tweak &tweak) {
    // Neutral values leave the transcoder's chain without eq.
    if (frame.isNull() || (tweak.saturation == 1 && tweak.brightness == 0 && tweak.contrast == 1))
        return frame;
    const double contrast = std::clamp(tweak.contrast, -kMaxContrast, kMaxContrast);
    const double brightness = std::clamp(tweak.brightness / kLevels, -1.0, 1.0);
    const double saturation = std::clamp(tweak.saturation, 0.0, kMaxSaturation);

    // eq's luma table; the chroma planes are scaled about their middle.
    std::array<int, 256> luma{};
    for (int i = 0; i < 256; ++i) {
        const double v = contrast * (i / kLevels - 0.5) + 0.5 + brightness;
        luma[i] = v <= 0 ? 0 : v >= 1 ? 255 : int(256 * v);
    }

    QImage out = frame.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const double r = qRed(line[x]);
            const double g = qGreen(line[x]);
            const double b = qBlue(line[x]);
            const double e = kKr * r + kKg * g + kKb * b;
            const int yp = level(16 + kLumaScale * e);
            const double cb = 128 + kChromaScale * (b - e) / (2 * (1 - kKb));
            const double cr = 128 + kChromaScale * (r - e) / (2 * (1 - kKr));

            const double ey = (luma[yp] - 16) / kLumaScale;
            const double pb = saturation * (level(cb) - 128) / kChromaScale;
            const double pr = saturation * (level(cr) - 128) / kChromaScale;
            const double red = ey + 2 * (1 - kKr) * pr;
            const double blue = ey + 2 * (1 - kKb) * pb;
            const double green = (ey - kKr * red - kKb * blue) / kKg;
            line[x] = qRgba(level(red), level(green), level(blue), qAlpha(line[x]));
        }
    }
    return out.convertToFormat(frame.format());
}

QRectF OutputLook::logoArea(const QSize &source, const QRect &kept, double pixelAspect,
                            const QSize &logo) {
    const int cw = kept.width();
    const int ch = kept.height();
    if (source.isEmpty() || cw < 2 || ch < 2 || logo.isEmpty() || !(pixelAspect > 0))
        return {};
    // ResizeLetterBox as the transcoder does it: the kept part, as it is
    // meant to be seen, fitted into the frame in even sizes and centred.
    const QSize frame = ScriptPicture::frame(source);
    const int ow = frame.width() > 0 ? frame.width() : cw / 2 * 2;
    const int oh = frame.height() > 0 ? frame.height() : ch / 2 * 2;
    const QSize fitted = ScriptPicture::letterboxed(QSize(ow, oh), cw * pixelAspect / ch);
    const int sw = fitted.width();
    const int sh = fitted.height();
    const double sx = double(cw) / sw;
    const double sy = double(ch) / sh;
    return QRectF(kept.x() - (ow - sw) / 2 * sx, kept.y() - (oh - sh) / 2 * sy, logo.width() * sx,
                  logo.height() * sy);
}

} // namespace parlane
