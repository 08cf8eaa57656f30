#include "skin.h"

#include <QBitmap>
#include <QDebug>
#include <QPalette>
#include <QPixmap>
#include <QWidget>

bool Skin::apply(QWidget *window, const QString &picturePath, Sizing sizing)
{
    const QPixmap picture(picturePath);
    if (picture.isNull()) {
        qDebug("%s: %s: File does not exist or failed to open %s", __FILE__, "Skin::apply",
               qPrintable(picturePath));
        return false;
    }
    QPalette palette;
    palette.setBrush(QPalette::All, QPalette::Window, QBrush(picture));
    window->setPalette(palette);
    if (sizing == ResizeToPicture)
        window->resize(picture.size());
    // A picture without alpha gives an empty mask, which leaves the window whole.
    window->setMask(picture.mask());
    return true;
}
