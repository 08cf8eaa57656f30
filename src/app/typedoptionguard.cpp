#include "typedoptionguard.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>

#include "app/version.h"

TypedOptionGuard::TypedOptionGuard(QComboBox *box, Check check)
    : QObject(box), box(box), check(std::move(check)) {
    if (QLineEdit *line = box->lineEdit())
        line->installEventFilter(this);
}

bool TypedOptionGuard::checkTyped() {
    QLineEdit *line = box->lineEdit();
    if (!line)
        return true;
    const QString typed = line->text();
    const QString shown = box->itemText(box->currentIndex());
    if (typed.trimmed().isEmpty()) {
        line->setText(shown);
        return true;
    }
    // The entries of the list are values already.
    if (box->findText(typed, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0)
        return true;
    const OptionRules::TypedValue value = check(typed);
    if (!value.accepted) {
        line->setText(shown);
        tell(value.message);
        return false;
    }
    if (value.text != typed)
        line->setText(value.text);
    return true;
}

bool TypedOptionGuard::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        // A refused text must not reach the box, which would take it as a
        // new entry.
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !checkTyped())
            return true;
    }
    return QObject::eventFilter(watched, event);
}

void TypedOptionGuard::tell(const QString &message) {
    // Not modal: the box stays usable while the message is read.
    auto *box = new QMessageBox(QMessageBox::Warning, QLatin1String(kProductName), message,
                                QMessageBox::Ok, this->box->window());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
