#pragma once

#include <QColor>
#include <QImage>
#include <QString>

// Low-level helpers of the picture generator: blank images, the window
// shape, the disabled look and deterministic saving.
namespace canvas {

// Transparent premultiplied ARGB image of the given size.
QImage blank(int width, int height);

// Removes the pixels outside a rounded rectangle as a hard edge: windows use
// the picture's alpha as their mask, which has no half-transparent pixels.
void cutRoundCorners(QImage &image, int radius);

// Grey, faded copy used for disabled controls.
QImage greyedOut(const QImage &image);

// Linear blend between two colours, t from 0 (a) to 1 (b).
QColor mix(const QColor &a, const QColor &b, qreal t);

// Writes PNG or BMP by the file's suffix (case ignored), creating the folder.
// BMP has no alpha: the picture is flattened onto its own opaque pixels.
bool save(const QImage &image, const QString &path);

} // namespace canvas
