#pragma once

#include <QObject>

class QWidget;

// Enter on a list box of one window opens its list, as the arrow keys with
// Alt do: a keyboard user looks there first, and the skinned boxes show no
// other hint. A box that takes typed text keeps Enter for that text. Lives
// as long as its window.
class ComboEnterKey : public QObject {
    Q_OBJECT

public:
    explicit ComboEnterKey(QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *window;
};
