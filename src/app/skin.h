#pragma once

#include <QString>

class QWidget;

// Dresses a frameless window in a picture from the skin folder: the picture
// becomes the window's background brush and its alpha channel the window's
// shape.
class Skin
{
public:
    enum Sizing {
        KeepSize,
        ResizeToPicture,
    };

    // Returns false, and leaves the window as it was, when the picture is
    // missing or cannot be read.
    static bool apply(QWidget *window, const QString &picturePath, Sizing sizing = ResizeToPicture);
};
