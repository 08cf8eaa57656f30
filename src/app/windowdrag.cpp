#include "windowdrag.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <cstdlib>

namespace {

bool platformPlacesWindows()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace

bool WindowDrag::titleStripDrags(QPoint origin)
{
    return origin.y() < kTitleStripHeight;
}

bool WindowDrag::mainWindowDrags(QPoint origin, QPoint pointer)
{
    return titleStripDrags(origin) && std::abs(origin.x() - pointer.x()) <= 99 && pointer.x() < 778;
}

bool WindowDrag::preferencesDrags(QPoint origin, QPoint pointer)
{
    return !(origin.y() > 25 && pointer.x() < 519);
}

void WindowDrag::begin(QWidget *window, QPoint, bool dragAllowed)
{
    if (!dragAllowed || platformPlacesWindows())
        return;
    if (QWindow *handle = window->window()->windowHandle())
        handle->startSystemMove();
}

void WindowDrag::follow(QWidget *window, QPoint topLeft)
{
    if (platformPlacesWindows())
        window->move(topLeft);
}
