#include "canvas.h"

#include <cmath>

#include <QDir>
#include <QFileInfo>
#include <QImageWriter>

namespace canvas {

QImage blank(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void cutRoundCorners(QImage &image, int radius) {
    const int w = image.width();
    const int h = image.height();
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            // Distance from the pixel centre to the centre of the corner's
            // circle; pixels away from the corners are never cut.
            const qreal cx = x < radius ? radius : (x >= w - radius ? w - radius : x + 0.5);
            const qreal cy = y < radius ? radius : (y >= h - radius ? h - radius : y + 0.5);
            const qreal dx = x + 0.5 - cx;
            const qreal dy = y + 0.5 - cy;
            if (dx * dx + dy * dy > qreal(radius) * radius)
                line[x] = qRgba(0, 0, 0, 0);
        }
    }
}

QImage greyedOut(const QImage &image) {
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb px = line[x];
            const int grey = (qGray(px) + 2 * 200) / 3;
            line[x] = qRgba(grey, grey, grey, qAlpha(px) * 3 / 5);
        }
    }
    return out.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QColor mix(const QColor &a, const QColor &b, qreal t) {
    return QColor::fromRgbF(
        a.redF() + (b.redF() - a.redF()) * t, a.greenF() + (b.greenF() - a.greenF()) * t,
        a.blueF() + (b.blueF() - a.blueF()) * t, a.alphaF() + (b.alphaF() - a.alphaF()) * t);
}

bool save(const QImage &image, const QString &path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QString suffix = QFileInfo(path).suffix().toLower();
    QImageWriter writer(path, suffix == QLatin1String("bmp") ? "bmp" : "png");
    if (suffix == QLatin1String("bmp"))
        return writer.write(image.convertToFormat(QImage::Format_RGB32));
    return writer.write(image.convertToFormat(QImage::Format_ARGB32));
}

} // namespace canvas
