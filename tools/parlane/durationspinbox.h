#pragma once

#include <QSpinBox>

namespace parlane {

// Whole seconds shown and typed as "HH:MM:SS", the hours as many as the file
// needs: a time edit stops a second short of a day and would cut anything
// longer. A typed time beyond the range goes to the nearest end of it once
// the edit is done.
class DurationSpinBox : public QSpinBox {
public:
    explicit DurationSpinBox(QWidget *parent = nullptr);

    // "HH:MM:SS"; hours take at least two digits.
    static QString clockText(int seconds);

protected:
    QString textFromValue(int value) const override;
    int valueFromText(const QString &text) const override;
    QValidator::State validate(QString &text, int &position) const override;
    void fixup(QString &text) const override;

private:
    // The seconds a complete clock text holds, taken into the range; false
    // when the text is no complete clock.
    bool boundedValue(const QString &text, int *value) const;
};

} // namespace parlane
