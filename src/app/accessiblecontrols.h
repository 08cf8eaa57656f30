#pragma once

class QSlider;

// What a screen reader is told of two kinds of control that Qt tells poorly.
// A list box, which Qt on Linux names by its current entry, is named as any
// other control is: by its accessible name, or else by the label whose buddy
// it is; its entry stays its value. The boxes of Qt's own dialogs keep Qt's
// telling, which those dialogs rely on. A slider marked readAsPercent() tells
// its value in percent of its range, not in its own units (the volume's 0..128).
namespace AccessibleControls {

// Once for the program, before a screen reader first asks; again is harmless.
void install();
void readAsPercent(QSlider *slider);

} // namespace AccessibleControls
