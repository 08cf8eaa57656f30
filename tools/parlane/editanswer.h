#pragma once

#include <limits>

#include <QSize>
#include <QString>

#include "editrequest.h"

namespace parlane {

// Trim and crop never leave less than this much of the picture.
constexpr int kMinPictureSide = 16;
// Without a known duration the trim range stops just short of a day.
constexpr int kUnknownDurationSeconds = 24 * 3600 - 1;
// The longest file the trim fields hold: over 68 years.
constexpr int kLongestDurationSeconds = std::numeric_limits<int>::max() - 1;

struct TrimRange {
    int start = 0;
    int length = 0;
};

struct EditAnswer {
    TrimRange trim;
    CropMargins crop;
    double saturation = 0;
    double brightness = 0;
    double contrast = 0;
    // The picture the user chose; empty = no logo.
    QString logoPicture;
};

// The answer on standard error: a word, then the ten keys in their fixed
// order with one value each, then the logo tail when there is a logo. The
// reader ignores everything before the first "-ss" and cuts each value from
// its key to the next key, so the leading word holds no key and no value
// holds one.
QString answerText(const EditAnswer &answer);

// The length of the file in whole seconds for the trim fields: rounded up,
// so that trimming nothing cuts nothing, except for a sliver of less than a
// tenth of a second that containers often add.
int wholeSeconds(double durationSeconds);

// The trim range for a request's start and end (-1 = end of the file) within
// a file of `totalSeconds` (0 = unknown): at least one second long and inside
// the file.
TrimRange trimRange(int start, int end, int totalSeconds);

// Crop margins that leave at least kMinPictureSide pixels of a picture of
// `size`; an unknown size only removes negative values.
CropMargins fitCrop(const CropMargins &crop, const QSize &size);

// The margins of the part that the script written from the answer keeps of a
// picture of `size`: what the editor shows and answers, so that both agree.
// Fitted margins come out fitted still; an unknown size leaves them as they
// are.
CropMargins scriptCrop(const CropMargins &crop, const QSize &size);

} // namespace parlane
