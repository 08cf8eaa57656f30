#include "editanswer.h"

#include <cmath>

#include <QtGlobal>

#include "conversion/scriptpicture.h"

namespace parlane {

namespace {

constexpr double kSecondSlack = 0.1;
const QString kAnswerLead = "parlane:";

QString percentText(double value) {
    return QString::number(value, 'g', 6);
}

// Takes margin from the far side first, then from the near side, until the
// picture keeps its minimum.
void fitPair(int *nearSide, int *farSide, int extent) {
    *nearSide = qMax(0, *nearSide);
    *farSide = qMax(0, *farSide);
    if (extent <= 0)
        return;
    const int allowed = qMax(0, extent - qMin(extent, kMinPictureSide));
    if (*nearSide + *farSide <= allowed)
        return;
    *farSide = qMax(0, allowed - *nearSide);
    *nearSide = qMin(*nearSide, allowed - *farSide);
}

} // namespace

QString answerText(const EditAnswer &answer) {
    QString text = QString("%1 -ss %2 -t %3 -cropleft %4 -croptop %5 -cropright %6 "
                           "-cropbottom %7 -saturation %8 -brightness %9 -contrast %10 -drop 0")
                       .arg(kAnswerLead)
                       .arg(answer.trim.start)
                       .arg(answer.trim.length)
                       .arg(answer.crop.left)
                       .arg(answer.crop.top)
                       .arg(answer.crop.right)
                       .arg(answer.crop.bottom)
                       .arg(percentText(answer.saturation))
                       .arg(percentText(answer.brightness))
                       .arg(percentText(answer.contrast));
    if (!answer.logoPicture.isEmpty())
        text += " -watermark " + answer.logoPicture;
    return text + "\n";
}

int wholeSeconds(double durationSeconds) {
    if (!std::isfinite(durationSeconds) || durationSeconds <= 0)
        return 0;
    const double rounded = std::ceil(durationSeconds - kSecondSlack);
    if (rounded >= kLongestDurationSeconds)
        return kLongestDurationSeconds;
    return qMax(1, int(rounded));
}

TrimRange trimRange(int start, int end, int totalSeconds) {
    const int total = totalSeconds > 0 ? totalSeconds : kUnknownDurationSeconds;
    TrimRange range;
    range.start = qBound(0, start, total - 1);
    const int stop = end > range.start ? qMin(end, total) : total;
    range.length = stop - range.start;
    return range;
}

CropMargins fitCrop(const CropMargins &crop, const QSize &size) {
    CropMargins fitted = crop;
    fitPair(&fitted.left, &fitted.right, size.isValid() ? size.width() : 0);
    fitPair(&fitted.top, &fitted.bottom, size.isValid() ? size.height() : 0);
    return fitted;
}

CropMargins scriptCrop(const CropMargins &crop, const QSize &size) {
    if (!size.isValid() || size.isEmpty())
        return crop;
    const QRect kept = ScriptPicture::kept(size, crop.left, crop.top, crop.right, crop.bottom);
    return {kept.left(), kept.top(), size.width() - kept.left() - kept.width(),
            size.height() - kept.top() - kept.height()};
}

} // namespace parlane
