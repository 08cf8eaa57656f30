#include "encoderframesize.h"

#include <algorithm>
#include <cmath>

QSize EncoderFrameSize::legal(const QString &encoder, QSize wanted) {
    int w = std::max(wanted.width(), 2);
    int h = std::max(wanted.height(), 2);
    if (encoder == QLatin1String("h263")) {
        // Plain H.263 knows five picture sizes only; take the one closest in area.
        static const QSize sizes[] = {{128, 96}, {176, 144}, {352, 288}, {704, 576}, {1408, 1152}};
        QSize best = sizes[0];
        double bestDistance = 1e300;
        for (const QSize &s : sizes) {
            const double distance =
                std::fabs(std::log(double(s.width()) * s.height() / (double(w) * h)));
            if (distance < bestDistance) {
                bestDistance = distance;
                best = s;
            }
        }
        return best;
    }
    if (encoder == QLatin1String("h263p")) {
        w = std::clamp(w / 4 * 4, 4, 2048);
        h = std::clamp(h / 4 * 4, 4, 1152);
        return {w, h};
    }
    if (encoder == QLatin1String("mpeg1video") || encoder == QLatin1String("mpeg2video")) {
        w = std::min(w, 4094);
        h = std::min(h, 4094);
    }
    // 4:2:0 pictures need even sizes.
    return {std::max(2, w / 2 * 2), std::max(2, h / 2 * 2)};
}
