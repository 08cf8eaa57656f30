#pragma once

#include <QPoint>

class QWidget;

// Dragging of our frameless windows by their title strip. The rules are pure
// functions of where the left button went down and where the pointer is now,
// in window coordinates.
class WindowDrag
{
public:
    static constexpr int kTitleStripHeight = 26;

    // Every skinned dialog: a press in the top 26 pixel rows drags.
    static bool titleStripDrags(QPoint origin);

    // The main window also stops while the pointer strays 100 pixels or more
    // sideways from the press, or reaches x = 778 (the title strip's buttons).
    static bool mainWindowDrags(QPoint origin, QPoint pointer);

    // The preferences dialog also drags from lower down while the pointer is
    // at x = 519 or more.
    static bool preferencesDrags(QPoint origin, QPoint pointer);

    // Called at the left-button press. Where the platform does not let a
    // window place itself (Wayland), the move is handed to the compositor.
    static void begin(QWidget *window, QPoint origin, bool dragAllowed);

    // Called for each move that the rules allow.
    static void follow(QWidget *window, QPoint topLeft);
};
