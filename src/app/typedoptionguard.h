#pragma once

#include <functional>

#include <QObject>
#include <QString>

#include "filelist/optionrules.h"

class QComboBox;

// Looks at what the user types into an editable option box before the box
// takes it. A text that is no value is refused at once with a message, and
// the box shows its value again; a value is taken the way the lists write
// it, a size as the encoder will make it. Lives as long as its box.
class TypedOptionGuard : public QObject {
    Q_OBJECT

public:
    using Check = std::function<OptionRules::TypedValue(const QString &typed)>;

    TypedOptionGuard(QComboBox *box, Check check);

    // The text typed and not yet taken, checked the way Enter checks it;
    // false when it was refused.
    bool checkTyped();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void tell(const QString &message);

    QComboBox *box;
    Check check;
};
