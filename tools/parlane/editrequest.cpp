#include "editrequest.h"

#include <climits>
#include <cmath>

namespace parlane {

namespace {

const QString kFileSwitch = "-fileNa";
const QString kLogoKey = "-watermark";

enum ArgumentIndex {
    kFileSwitchIndex = 0,
    kFileIndex = 1,
    kCropLeftIndex = 2,
    kCropTopIndex = 3,
    kCropRightIndex = 4,
    kCropBottomIndex = 5,
    kSaturationIndex = 6,
    kBrightnessIndex = 7,
    kContrastIndex = 8,
    kTrimStartIndex = 9,
    kTrimEndIndex = 10,
    kModeIndex = 12,
    kLogoTargetIndex = 13,
    kLogoTailIndex = 15,
};

int wholeNonNegative(const QString &text) {
    const double value = text.toDouble();
    if (!std::isfinite(value) || value <= 0)
        return 0;
    return value >= INT_MAX ? INT_MAX : int(std::floor(value));
}

double finiteNumber(const QString &text) {
    const double value = text.toDouble();
    return std::isfinite(value) ? value : 0;
}

} // namespace

QString usageText() {
    return "usage: parlane -fileNa FILE LEFT TOP RIGHT BOTTOM SATURATION BRIGHTNESS CONTRAST "
           "START END 20 MODE LOGO-PICTURE -1 [-watermark ...]";
}

bool parseEditRequest(const QStringList &arguments, EditRequest *out, QString *error) {
    if (arguments.value(kFileSwitchIndex) != kFileSwitch || arguments.value(kFileIndex).isEmpty()) {
        *error = "No file to edit was given.";
        return false;
    }
    EditRequest request;
    request.file = arguments.at(kFileIndex);
    request.crop.left = wholeNonNegative(arguments.value(kCropLeftIndex));
    request.crop.top = wholeNonNegative(arguments.value(kCropTopIndex));
    request.crop.right = wholeNonNegative(arguments.value(kCropRightIndex));
    request.crop.bottom = wholeNonNegative(arguments.value(kCropBottomIndex));
    request.saturation = finiteNumber(arguments.value(kSaturationIndex));
    request.brightness = finiteNumber(arguments.value(kBrightnessIndex));
    request.contrast = finiteNumber(arguments.value(kContrastIndex));
    // The start may come as "12.5" (the list keeps it as typed); the answer
    // speaks whole seconds.
    request.trimStart = wholeNonNegative(arguments.value(kTrimStartIndex));
    const int end = wholeNonNegative(arguments.value(kTrimEndIndex));
    request.trimEnd = end > request.trimStart ? end : -1;

    const QString mode = arguments.value(kModeIndex);
    if (mode == "1")
        request.mode = EditMode::Trim;
    else if (mode == "2")
        request.mode = EditMode::Effects;
    else
        request.mode = EditMode::Crop;

    request.logoTarget = arguments.value(kLogoTargetIndex);
    const QString tail = arguments.value(kLogoTailIndex).trimmed();
    if (tail.startsWith(kLogoKey))
        request.logoTail = tail;
    *out = request;
    return true;
}

QString logoPathFromTail(const QString &tail) {
    if (!tail.startsWith(kLogoKey))
        return {};
    return tail.mid(kLogoKey.size()).trimmed();
}

} // namespace parlane
