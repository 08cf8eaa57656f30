#pragma once

class QWidget;

// Buttons that stand in one place by turns (Play and Pause, Pause and
// Continue, Mute and Unmute): when one gives way to the other, the keyboard
// focus goes with it, never on along the focus chain to a button the user
// did not mean, where the next Space would stop a job or change the file.
namespace FocusHandOver {

// Shows counterpart in the place of pressed, which is hidden.
void replace(QWidget *pressed, QWidget *counterpart);
// The focus, while it is on from, goes to to; call it before from is hidden
// or disabled.
void pass(QWidget *from, QWidget *to);

} // namespace FocusHandOver
