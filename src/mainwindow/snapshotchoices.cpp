#include "snapshotchoices.h"

namespace {

constexpr int kJpegHigh = 100;
constexpr int kJpegStandard = 90;
constexpr int kJpegLow = 60;

} // namespace

QString SnapshotChoices::folder() const
{
    return shotFolder;
}

void SnapshotChoices::setFolder(const QString &folder)
{
    shotFolder = folder;
}

SnapshotChoices::Format SnapshotChoices::format() const
{
    return shotFormat;
}

void SnapshotChoices::setFormat(Format format)
{
    shotFormat = format;
}

QString SnapshotChoices::suffix() const
{
    switch (shotFormat) {
    case Tiff:
        return QStringLiteral(".tiff");
    case Bmp:
        return QStringLiteral(".bmp");
    case Png:
        return QStringLiteral(".png");
    case JpegHigh:
    case JpegStandard:
    case JpegLow:
    case FormatCount:
        break;
    }
    return QStringLiteral(".jpg");
}

int SnapshotChoices::quality() const
{
    switch (shotFormat) {
    case JpegHigh:
        return kJpegHigh;
    case JpegStandard:
        return kJpegStandard;
    case JpegLow:
        return kJpegLow;
    case Tiff:
    case Bmp:
    case Png:
    case FormatCount:
        break;
    }
    return kNoQuality;
}
