#pragma once

#include <QImage>
#include <QSize>
#include <QString>

namespace parlane {

struct SourcePicture {
    // One frame from about a tenth into the file, shrunk for the preview;
    // null when the file has no picture or it cannot be decoded.
    QImage frame;
    // The stored picture size, which the crop values refer to.
    QSize size;
    // The width of one stored pixel over its height.
    double pixelAspect = 1;
    double durationSeconds = 0;
    bool hasVideo = false;
};

// Reads the file with the FFmpeg libraries. Never fails loudly: whatever
// cannot be read is simply missing from the result.
SourcePicture grabSourcePicture(const QString &path);

} // namespace parlane
