#pragma once

#include <QString>

// The editor tool shows saturation, brightness and contrast in percent
// (0 = unchanged, -100..100); scripts hold them in Tweak units: saturation and
// contrast as multipliers (1 = unchanged, 0..10), brightness as an offset in
// levels (0 = unchanged, -255..255). The multiplier scale is two straight lines
// that meet at 1. Values outside the ranges convert by the same lines.
// Numbers travel as text; text that is not a number reads as 0.
namespace EffectScale {

QString levelToPercent(const QString &value);
QString percentToLevel(const QString &value);
QString gainToPercent(const QString &value);
QString percentToGain(const QString &value);

} // namespace EffectScale
