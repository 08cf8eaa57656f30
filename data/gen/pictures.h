#pragma once

#include <QImage>
#include <QSize>

#include "glyphs.h"

// The pictures of the skin and of the device list, each drawn from scratch.
namespace pictures {

enum class State {
    Normal,
    Hover,
    Pressed,
    Disabled,
};

// Window backgrounds: their alpha is the window's shape.
QImage mainBackground();
QImage splash(QSize size);
QImage dialog(QSize size);
QImage aboutBox(QSize size);
QImage emptyListCover(QSize size);

// Controls.
QImage toolbarButton(QSize size, Glyph glyph, QColor colour, State state);
QImage roundButton(QSize size, Glyph glyph, QColor colour, State state);
QImage playerButton(QSize size, Glyph glyph, State state);
QImage titleButton(QSize size, Glyph glyph, bool danger, State state);
QImage labelledButton(QSize size, Glyph glyph, QColor colour, State state);
QImage plainButton(QSize size, State state);
QImage comboFrame(QSize size, State state);
QImage comboArrow(QSize size, QColor colour);
QImage checkBox(QSize size, Qt::CheckState check, State state);
QImage convertBanner(QSize size, State state);

// Small signs.
QImage statusSign(QSize size, QColor colour, Glyph glyph);
QImage attentionSign(QSize size);
QImage actionIcon(QSize size, Glyph glyph, QColor colour);

// Device pictures shown beside the profile choice.
enum class Device {
    Video,
    Audio,
    Tablet,
    Phone,
    PlayerClassic,
    PlayerNano,
    PlayerTouch,
    SetTopBox,
    ConsoleBox,
    Handheld,
    ConsoleSlim,
    ConsoleMotion,
    FeaturePhone,
    Smartphone,
    SmartTablet,
    TilePhone,
};
QImage device(QSize size, Device kind);

} // namespace pictures
