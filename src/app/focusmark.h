#pragma once

#include <QObject>
#include <QPointer>

class QFocusFrame;
class QWidget;

// Draws a frame around the control of one window that has the keyboard
// focus, once the keyboard has moved the focus there: the skinned controls
// draw no focus of their own, and a user who works with Tab has to see where
// they are. A click hides the frame again. Whether the keyboard or the mouse
// was used last is the program's, not the window's: a dialog opened from the
// keyboard marks its first field at once. Its look is the skin's
// ("QFocusFrame" rules). Lives as long as its window.
class FocusMark : public QObject {
    Q_OBJECT

public:
    explicit FocusMark(QWidget *window);

    // The control framed now; null while no frame is shown.
    QWidget *markedWidget() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void mark(QWidget *widget);

    QWidget *window;
    QPointer<QFocusFrame> frame;
    bool shown = false;
};
