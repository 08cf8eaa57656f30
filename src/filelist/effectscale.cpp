#include "effectscale.h"

namespace {

QString text(double value)
{
    return QString::number(value, 'g', 6);
}

} // namespace

namespace EffectScale {

QString levelToPercent(const QString &value)
{
    return text(value.toDouble() / 255.0 * 100.0);
}

QString percentToLevel(const QString &value)
{
    return text(value.toDouble() / 100.0 * 255.0);
}

QString gainToPercent(const QString &value)
{
    const double gain = value.toDouble();
    return text(gain < 1.0 ? gain * 100.0 - 100.0 : (gain - 1.0) * 100.0 / 9.0);
}

QString percentToGain(const QString &value)
{
    const double percent = value.toDouble();
    return text(percent < 0.0 ? (percent + 100.0) / 100.0 : percent * 9.0 / 100.0 + 1.0);
}

} // namespace EffectScale
