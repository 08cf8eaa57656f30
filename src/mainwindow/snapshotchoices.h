#pragma once

#include <QString>

// Where the preview's snapshots go and in which picture format: the choices
// that the snapshot menu and the preferences share and that every capture
// reads.
class SnapshotChoices
{
public:
    // In the order the snapshot menu and the preferences list them.
    enum Format {
        Tiff,
        Bmp,
        Png,
        JpegHigh,
        JpegStandard,
        JpegLow,
        FormatCount,
    };
    // The quality of a format that has none: the writer's own.
    static constexpr int kNoQuality = -1;

    QString folder() const;
    void setFolder(const QString &folder);

    Format format() const;
    void setFormat(Format format);
    // The file name ending of the format, with its dot.
    QString suffix() const;
    // The JPEG formats' qualities; kNoQuality for the others, which leave
    // the quality last chosen as it is.
    int quality() const;

private:
    QString shotFolder;
    // Every start begins with BMP.
    Format shotFormat = Bmp;
};
