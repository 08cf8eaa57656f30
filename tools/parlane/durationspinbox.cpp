#include "durationspinbox.h"

#include <limits>

#include <QRegularExpression>

namespace parlane {

namespace {

constexpr int kSecondsPerMinute = 60;
constexpr int kSecondsPerHour = 3600;

QString twoDigits(qint64 value) {
    return QString::number(value).rightJustified(2, QLatin1Char('0'));
}

} // namespace

DurationSpinBox::DurationSpinBox(QWidget *parent) : QSpinBox(parent) {
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
}

QString DurationSpinBox::clockText(int seconds) {
    const qint64 value = qMax(0, seconds);
    return twoDigits(value / kSecondsPerHour) + QLatin1Char(':') +
           twoDigits(value / kSecondsPerMinute % 60) + QLatin1Char(':') + twoDigits(value % 60);
}

QString DurationSpinBox::textFromValue(int value) const {
    return clockText(value);
}

bool DurationSpinBox::boundedValue(const QString &text, int *value) const {
    static const QRegularExpression clock(QStringLiteral("^\\s*(\\d+):([0-5]\\d):([0-5]\\d)\\s*$"));
    const QRegularExpressionMatch m = clock.match(text);
    if (!m.hasMatch())
        return false;
    bool ok = false;
    const qlonglong hours = m.captured(1).toLongLong(&ok);
    // More hour digits than any count holds lie beyond the range all the same.
    const qlonglong limit = std::numeric_limits<int>::max() / kSecondsPerHour;
    const qlonglong seconds = ok && hours <= limit ? hours * kSecondsPerHour +
                                                         m.captured(2).toInt() * kSecondsPerMinute +
                                                         m.captured(3).toInt()
                                                   : std::numeric_limits<qlonglong>::max();
    *value = int(qBound(qlonglong(minimum()), seconds, qlonglong(maximum())));
    return true;
}

int DurationSpinBox::valueFromText(const QString &text) const {
    int seconds = value();
    boundedValue(text, &seconds);
    return seconds;
}

QValidator::State DurationSpinBox::validate(QString &text, int &) const {
    int seconds = 0;
    if (boundedValue(text, &seconds))
        return textFromValue(seconds) == text.trimmed() ? QValidator::Acceptable
                                                        : QValidator::Intermediate;
    // A clock being typed: digits and up to two colons.
    static const QRegularExpression partial(QStringLiteral("^\\s*\\d*(:\\d{0,2}){0,2}\\s*$"));
    return partial.match(text).hasMatch() ? QValidator::Intermediate : QValidator::Invalid;
}

void DurationSpinBox::fixup(QString &text) const {
    int seconds = 0;
    if (boundedValue(text, &seconds))
        text = textFromValue(seconds);
}

} // namespace parlane
