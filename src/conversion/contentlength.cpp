#include "contentlength.h"

#include <algorithm>

double ContentLength::of(const QString &formatName, double duration, double start) {
    const bool countsFromZero = formatName.startsWith(QLatin1String("matroska")) ||
                                formatName.startsWith(QLatin1String("mov")) ||
                                formatName == QLatin1String("asf");
    if (!countsFromZero || duration <= 0 || start <= 0)
        return duration;
    return std::max(0.0, duration - start);
}
