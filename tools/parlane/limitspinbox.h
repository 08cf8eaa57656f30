#pragma once

#include <QSpinBox>

namespace parlane {

// A spin box that takes a typed number beyond its range to the nearest end of
// the range once the edit is done. A plain spin box refuses the keystroke
// that leaves the range, so "400" typed into a box that stops at 304 would
// stay "40": another number than the one typed.
class LimitSpinBox : public QSpinBox {
public:
    explicit LimitSpinBox(QWidget *parent = nullptr);

protected:
    QValidator::State validate(QString &text, int &position) const override;
    void fixup(QString &text) const override;

private:
    // The whole number the text holds, taken into the range; false when the
    // text is not a whole number.
    bool boundedValue(const QString &text, int *value) const;
};

} // namespace parlane
