#include "limitspinbox.h"

#include <QRegularExpression>

namespace parlane {

LimitSpinBox::LimitSpinBox(QWidget *parent) : QSpinBox(parent) {
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
}

bool LimitSpinBox::boundedValue(const QString &text, int *value) const {
    QString number = text;
    if (number.startsWith(prefix()))
        number.remove(0, prefix().size());
    if (number.endsWith(suffix()))
        number.chop(suffix().size());
    number = number.trimmed();
    static const QRegularExpression wholeNumber("^-?\\d+$");
    if (!wholeNumber.match(number).hasMatch())
        return false;
    bool ok = false;
    const qlonglong typed = number.toLongLong(&ok);
    // More digits than any number holds lie beyond the range all the same.
    if (!ok)
        *value = number.startsWith('-') ? minimum() : maximum();
    else
        *value = int(qBound(qlonglong(minimum()), typed, qlonglong(maximum())));
    return true;
}

QValidator::State LimitSpinBox::validate(QString &text, int &position) const {
    const QValidator::State state = QSpinBox::validate(text, position);
    int value = 0;
    // Beyond the range: let the user finish typing; fixup takes it to the end.
    if (state == QValidator::Invalid && boundedValue(text, &value))
        return QValidator::Intermediate;
    return state;
}

void LimitSpinBox::fixup(QString &text) const {
    int value = 0;
    if (boundedValue(text, &value))
        text = prefix() + textFromValue(value) + suffix();
    else
        QSpinBox::fixup(text);
}

} // namespace parlane
