#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

// Simple flat symbols drawn into a box, shared by the buttons, the icons and
// the device pictures. Every glyph scales with its box.
enum class Glyph {
    Plus,
    Minus,
    Trash,
    Pencil,
    Scissors,
    Sparkle,
    Play,
    Pause,
    Stop,
    Previous,
    Next,
    Camera,
    SmallDown,
    Speaker,
    SpeakerMuted,
    Menu,
    Minimise,
    Close,
    Gear,
    Folder,
    ArrowUp,
    ArrowDown,
    Check,
    Dash,
    Film,
    Note,
    Power,
};

void drawGlyph(QPainter &painter, Glyph glyph, const QRectF &box, const QColor &colour);
