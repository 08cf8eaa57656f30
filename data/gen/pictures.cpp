#include "pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "canvas.h"

namespace pictures {

namespace {

// One palette for every window, so that the dialogs look like the main window.
const QColor kTitleTop("#24486f");
const QColor kTitleBottom("#17304d");
const QColor kTitleLine("#5f8bbb");
const QColor kBodyTop("#eef2f7");
const QColor kBodyBottom("#dbe3ec");
const QColor kOutline("#0f2238");
const QColor kPanel("#ffffff");
const QColor kPanelSoft("#f5f7fa");
const QColor kPanelBorder("#a9b8c9");
const QColor kBandTop("#f9fbfd");
const QColor kBandBottom("#e2e9f1");
const QColor kSeparator("#c3cfdc");
const QColor kPreview("#262c33");
const QColor kPreviewStrip("#2f363f");
const QColor kPreviewBar("#343c46");
const QColor kAccent("#2f80c7");
const QColor kAccentDark("#1d5a93");
const QColor kGlyphLight("#dfe6ee");

constexpr int kTitleHeight = 26;
constexpr int kWindowRadius = 8;
constexpr int kDialogRadius = 6;

QLinearGradient vertical(qreal top, qreal bottom, const QColor &a, const QColor &b) {
    QLinearGradient g(0, top, 0, bottom);
    g.setColorAt(0, a);
    g.setColorAt(1, b);
    return g;
}

void fillBand(QPainter &p, const QRect &r, const QColor &top, const QColor &bottom) {
    p.fillRect(r, vertical(r.top(), r.bottom() + 1, top, bottom));
}

void roundedPanel(QPainter &p, const QRectF &r, const QColor &fill, const QColor &border,
                  qreal radius) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(border, 1));
    p.setBrush(fill);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    p.restore();
}

// Body, title strip and outline shared by every window; corners are cut by
// the caller once everything is drawn.
void windowFrame(QPainter &p, QSize size, bool titleStrip, int radius) {
    const QRect all(QPoint(0, 0), size);
    fillBand(p, all, kBodyTop, kBodyBottom);
    if (titleStrip) {
        fillBand(p, QRect(0, 0, size.width(), kTitleHeight), kTitleTop, kTitleBottom);
        p.fillRect(QRect(0, kTitleHeight, size.width(), 1), kTitleLine);
    }
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(kOutline, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(all).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    p.restore();
}

QRectF centredSquare(QSize size, qreal fraction) {
    const qreal side = std::min(size.width(), size.height()) * fraction;
    return {(size.width() - side) / 2.0, (size.height() - side) / 2.0, side, side};
}

QColor lighter(const QColor &c, qreal amount) {
    return canvas::mix(c, Qt::white, amount);
}

QColor darker(const QColor &c, qreal amount) {
    return canvas::mix(c, Qt::black, amount);
}

} // namespace

QImage mainBackground() {
    constexpr int kWidth = 860;
    constexpr int kHeight = 600;
    QImage image = canvas::blank(kWidth, kHeight);
    QPainter p(&image);
    windowFrame(p, image.size(), true, kWindowRadius);

    // Tool bar band with the file and editing buttons; a groove parts the two groups.
    fillBand(p, QRect(1, 27, kWidth - 2, 61), kBandTop, kBandBottom);
    p.fillRect(QRect(1, 88, kWidth - 2, 1), kSeparator);
    p.fillRect(QRect(231, 46, 1, 40), kSeparator);
    p.fillRect(QRect(232, 46, 1, 40), Qt::white);

    // File list, with the profile area under it.
    roundedPanel(p, QRectF(9, 91, 521, 315), kPanel, kPanelBorder, 4);
    roundedPanel(p, QRectF(9, 408, 521, 107), kPanelSoft, kPanelBorder, 4);
    roundedPanel(p, QRectF(15, 411, 92, 92), kPanel, kSeparator, 3);

    // Preview: file name strip, the black screen, the time and seek area and the player controls.
    roundedPanel(p, QRectF(536, 98, 316, 408), kPreview, darker(kPreview, 0.5), 5);
    p.fillRect(QRect(540, 106, 308, 28), kPreviewStrip);
    p.fillRect(QRect(541, 138, 299, 239), QColor("#0b0d10"));
    p.fillRect(QRect(542, 139, 297, 237), Qt::black);
    roundedPanel(p, QRectF(540, 460, 308, 42), kPreviewBar, darker(kPreviewBar, 0.3), 4);

    // Bottom bar: destination, total progress and the conversion buttons in their well.
    fillBand(p, QRect(1, 518, kWidth - 2, kHeight - 519), kBandBottom, QColor("#cfd9e4"));
    p.fillRect(QRect(1, 518, kWidth - 2, 1), kSeparator);
    roundedPanel(p, QRectF(654, 524, 194, 68), QColor("#c8d3df"), kPanelBorder, 6);

    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(kOutline, 1));
    p.drawRoundedRect(QRectF(0.5, 0.5, kWidth - 1, kHeight - 1), kWindowRadius, kWindowRadius);
    p.restore();
    p.end();
    canvas::cutRoundCorners(image, kWindowRadius);
    return image;
}

QImage splash(QSize size) {
    QImage image = canvas::blank(size.width(), size.height());
    QPainter p(&image);
    windowFrame(p, size, false, kWindowRadius);
    const int band = size.height() * 45 / 100;
    fillBand(p, QRect(1, 1, size.width() - 2, band), QColor("#2c6fae"), QColor("#1b4a78"));
    p.fillRect(QRect(1, band + 1, size.width() - 2, 2), kTitleLine);

    // The product mark: a film frame with a play sign, and a few speed lines.
    const QRectF mark(36, band / 2.0 - 42, 104, 84);
    drawGlyph(p, Glyph::Film, mark, QColor(255, 255, 255, 230));
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor("#f0a030"));
    p.drawEllipse(QPointF(mark.right() - 6, mark.bottom() - 10), 22, 22);
    drawGlyph(p, Glyph::Play, QRectF(mark.right() - 20, mark.bottom() - 24, 28, 28), Qt::white);
    for (int i = 0; i < 3; ++i) {
        const qreal y = band / 2.0 - 18 + i * 18;
        p.setBrush(QColor(255, 255, 255, 90 - i * 20));
        p.drawRoundedRect(QRectF(170, y, 200 - i * 40, 8), 4, 4);
    }
    p.end();
    canvas::cutRoundCorners(image, kWindowRadius);
    return image;
}

QImage dialog(QSize size) {
    QImage image = canvas::blank(size.width(), size.height());
    QPainter p(&image);
    windowFrame(p, size, true, kDialogRadius);
    p.end();
    canvas::cutRoundCorners(image, kDialogRadius);
    return image;
}

QImage aboutBox(QSize size) {
    QImage image = canvas::blank(size.width(), size.height());
    QPainter p(&image);
    windowFrame(p, size, true, kDialogRadius);
    // Band behind the product name, which is drawn white over a black shadow.
    fillBand(p, QRect(1, 34, size.width() - 2, 48), QColor("#3f86c9"), QColor("#2a679f"));
    p.fillRect(QRect(1, 82, size.width() - 2, 1), kTitleLine);
    p.end();
    canvas::cutRoundCorners(image, kDialogRadius);
    return image;
}

QImage emptyListCover(QSize size) {
    QImage image = canvas::blank(size.width(), size.height());
    QPainter p(&image);
    p.fillRect(image.rect(), kPanel);
    p.setPen(kPanelBorder);
    p.drawRect(QRect(0, 0, size.width() - 1, size.height() - 1));
    // A faded film with an "add" badge: the list waits for files.
    const QRectF film(size.width() / 2.0 - 80, size.height() / 2.0 - 70, 160, 128);
    drawGlyph(p, Glyph::Film, film, QColor("#dbe3ec"));
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor("#8dbbe4"));
    const QPointF badge(film.right() - 12, film.bottom() - 14);
    p.drawEllipse(badge, 28, 28);
    drawGlyph(p, Glyph::Plus, QRectF(badge.x() - 17, badge.y() - 17, 34, 34), Qt::white);
    p.end();
    return image;
}

QImage toolbarButton(QSize size, Glyph glyph, QColor colour, State state) {
    if (state == State::Disabled)
        return canvas::greyedOut(toolbarButton(size, glyph, colour, State::Normal));
    QImage image = canvas::blank(size.width(), size.height());
    QPainter p(&image);
    const QRectF tile(0, 0, size.width(), size.height());
    QRectF box = centredSquare(size, 0.58);
    if (state == State::Hover) {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(QColor("#8fb5dd"), 1));
        p.setBrush(vertical(0, size.height(), Qt::white, QColor("#dcebf8")));
        p.drawRoundedRect(tile.adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    } else if (state == State::Pressed) {
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(QColor("#6e9ccc"), 1));
        p.setBrush(vertical(0, size.height(), QColor("#c6dbef"), QColor("#e2ecf6")));
        p.drawRoundedRect(tile.adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
        box.translate(1, 1);
    }
    drawGlyph(p, glyph, box, colour);
    p.end();
    return image;
}

QImage roundButton(QSize size, Glyph glyph, QColor colour, State state) {
    if (state == State::Disabled)
        return canvas::greyedOut(roundButton(size, glyph, colour, State::Normal));
    QColor face = colour;
    if (state == State::Hover)
        face = lighter(colour, 0.18);
    else if (state == State::Pressed)
        face = darker(colour, 0.18);
    QImage image = canvas::blank(size.width(), size.height());
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF disc = QRectF(0, 0, size.width(), size.height()).adjusted(1.5, 1.5, -1.5, -1.5);
    p.setPen(QPen(darker(colour, 0.35), 1.5));
    p.setBrush(vertical(disc.top(), disc.bottom(), lighter(face, 0.3), face));
    p.drawEllipse(disc);
    QRectF box = centredSquare(size, 0.42);
    if (glyph == Glyph::Play)
        box.translate(size.width() * 0.03,
                      0); // a triangle looks centred a little right of the middle
    if (state == State::Pressed)
        box.translate(1, 1);
    drawGlyph(p, glyph, box, Qt::white);
    p.end();
    return image;
}

QImage playerButton(QSize size, Glyph glyph, State state) {
    QImage image = canvas::blank(size.width(), size.height());
    QPainter p(&image);
    const QRectF tile(0, 0, size.width(), size.height());
    QRectF box = centredSquare(size, 0.56);
    QColor ink = kGlyphLight;
    p.setRenderHint(QPainter::Antialiasing, true);
    if (state == State::Hover) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor("#4a5563"));
        p.drawRoundedRect(tile.adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
        ink = Qt::white;
    } else if (state == State::Pressed) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor("#1d2329"));
        p.drawRoundedRect(tile.adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
        ink = QColor("#c2ccd6");
        box.translate(1, 1);
    } else if (state == State::Disabled) {
        ink = QColor("#66707b");
    }
    drawGlyph(p, glyph, box, ink);
    p.end();
    return image;
}

QImage titleButton(QSize size, Glyph glyph, bool danger, State state) {
    QImage image = canvas::blank(size.width(), size.height());
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF tile = QRectF(0, 0, size.width(), size.height()).adjusted(0.5, 0.5, -0.5, -0.5);
    QColor ink = kGlyphLight;
    if (state == State::Hover || state == State::Pressed) {
        QColor face = danger ? QColor("#d9534f") : QColor(255, 255, 255, 70);
        if (state == State::Pressed)
            face = danger ? QColor("#a83a37") : QColor("#0d1d30");
        p.setPen(Qt::NoPen);
        p.setBrush(face);
        p.drawRoundedRect(tile, 3, 3);
        ink = Qt::white;
    } else if (state == State::Disabled) {
        ink = QColor("#6f849b");
    }
    drawGlyph(p, glyph, centredSquare(size, 0.7), ink);
    p.end();
    return image;
}

QImage plainButton(QSize size, State state) {
    QColor top("#ffffff"), bottom("#e2e8ef"), border("#9aabbd");
    if (state == State::Hover) {
        bottom = QColor("#e6f1fc");
        border = QColor("#4a90d9");
    } else if (state == State::Pressed) {
        top = QColor("#cfdcea");
        bottom = QColor("#e7edf4");
        border = QColor("#5a84ad");
    } else if (state == State::Disabled) {
        top = bottom = QColor("#f1f3f5");
        border = QColor("#cdd5dd");
    }
    QImage image = canvas::blank(size.width(), size.height());
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(border, 1));
    p.setBrush(vertical(0, size.height(), top, bottom));
    p.drawRoundedRect(QRectF(0.5, 0.5, size.width() - 1, size.height() - 1), 3, 3);
    p.end();
    return image;
}

QImage labelledButton(QSize size, Glyph glyph, QColor colour, State state) {
    QImage image = plainButton(size, state);
    QPainter p(&image);
    // The glyph sits left of the text, which the form indents with blanks.
    const qreal side = size.height() - 11;
    QRectF box(4, (size.height() - side) / 2.0, side, side);
    if (state == State::Pressed)
        box.translate(1, 1);
    drawGlyph(p, glyph, box, state == State::Disabled ? QColor("#b3bcc6") : colour);
    p.end();
    return image;
}

QImage comboFrame(QSize size, State state) {
    // The right 30 pixels are a fixed slice holding the drop-down button.
    QImage image = plainButton(size, state);
    QPainter p(&image);
    const int split = size.width() - 23;
    const QColor line = state == State::Disabled ? QColor("#d9dfe5") : QColor("#b4c2d1");
    p.fillRect(QRect(split, 4, 1, size.height() - 8), line);
    p.fillRect(QRect(split + 1, 4, 1, size.height() - 8), QColor(255, 255, 255, 160));
    p.end();
    return image;
}

QImage comboArrow(QSize size, QColor colour) {
    QImage image = canvas::blank(size.width(), size.height());
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPolygon(QPolygonF({QPointF(0.5, 0.5), QPointF(size.width() - 0.5, 0.5),
                             QPointF(size.width() / 2.0, size.height() - 0.5)}));
    p.end();
    return image;
}

QImage checkBox(QSize size, Qt::CheckState check, State state) {
    const bool checked = check == Qt::Checked;
    QColor fill = checked ? kAccent : QColor("#ffffff");
    QColor border = checked ? kAccentDark : QColor("#7f93a8");
    if (state == State::Hover) {
        fill = checked ? lighter(kAccent, 0.15) : QColor("#eef6ff");
        border = kAccent;
    } else if (state == State::Pressed) {
        fill = checked ? kAccentDark : QColor("#d3e4f4");
        border = kAccentDark;
    } else if (state == State::Disabled) {
        fill = checked ? QColor("#b8c2cc") : QColor("#eef1f4");
        border = QColor("#b8c2cc");
    }
    QImage image = canvas::blank(size.width(), size.height());
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(border, 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(0.5, 0.5, size.width() - 1, size.height() - 1), 2, 2);
    const QRectF inner(1, 1, size.width() - 2, size.height() - 2);
    if (checked)
        drawGlyph(p, Glyph::Check, inner, Qt::white);
    else if (check == Qt::PartiallyChecked)
        drawGlyph(p, Glyph::Dash, inner, state == State::Disabled ? QColor("#a9b3bd") : kAccent);
    p.end();
    return image;
}

QImage convertBanner(QSize size, State state) {
    QColor face("#2e9e5b");
    if (state == State::Hover)
        face = lighter(face, 0.18);
    else if (state == State::Pressed)
        face = darker(face, 0.18);
    QImage image = canvas::blank(size.width(), size.height());
    QPainter p(&image);
    p.fillRect(image.rect(), kBandBottom);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF pill = QRectF(image.rect()).adjusted(2.5, 2.5, -2.5, -2.5);
    p.setPen(QPen(darker(face, 0.35), 1.5));
    p.setBrush(vertical(pill.top(), pill.bottom(), lighter(face, 0.3), face));
    p.drawRoundedRect(pill, pill.height() / 2, pill.height() / 2);
    const qreal side = size.height() * 0.5;
    QRectF box(size.width() / 2.0 - side * 1.1, (size.height() - side) / 2.0, side, side);
    if (state == State::Pressed)
        box.translate(1, 1);
    drawGlyph(p, Glyph::Film, box, Qt::white);
    drawGlyph(p, Glyph::Play, box.translated(side * 1.2, 0), Qt::white);
    p.end();
    return image;
}

QImage statusSign(QSize size, QColor colour, Glyph glyph) {
    QImage image = canvas::blank(size.width(), size.height());
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(darker(colour, 0.25), 1));
    p.setBrush(colour);
    p.drawEllipse(QRectF(0.5, 0.5, size.width() - 1, size.height() - 1));
    drawGlyph(p, glyph, centredSquare(size, 0.62), Qt::white);
    p.end();
    return image;
}

QImage attentionSign(QSize size) {
    QImage image = canvas::blank(size.width(), size.height());
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    const qreal w = size.width();
    const qreal h = size.height();
    QPainterPath triangle;
    triangle.moveTo(w / 2, 1);
    triangle.lineTo(w - 1, h - 1);
    triangle.lineTo(1, h - 1);
    triangle.closeSubpath();
    p.setPen(QPen(QColor("#a86a00"), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(vertical(0, h, QColor("#ffd24d"), QColor("#f2a900")));
    p.drawPath(triangle);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor("#3a2a00"));
    p.drawRoundedRect(QRectF(w / 2 - 1.75, h * 0.3, 3.5, h * 0.38), 1.5, 1.5);
    p.drawEllipse(QPointF(w / 2, h * 0.8), 2, 2);
    p.end();
    return image;
}

QImage actionIcon(QSize size, Glyph glyph, QColor colour) {
    QImage image = canvas::blank(size.width(), size.height());
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF tile = QRectF(0, 0, size.width(), size.height()).adjusted(1, 1, -1, -1);
    p.setPen(QPen(darker(colour, 0.3), 1));
    p.setBrush(vertical(0, size.height(), lighter(colour, 0.3), colour));
    p.drawRoundedRect(tile, size.width() * 0.18, size.height() * 0.18);
    drawGlyph(p, glyph, centredSquare(size, 0.6), Qt::white);
    p.end();
    return image;
}

namespace {

// Device drawing helpers, on a 90 x 90 grid scaled to the picture.
void deviceBody(QPainter &p, const QRectF &r, qreal radius, const QColor &fill,
                const QColor &edge) {
    p.setPen(QPen(edge, 1.5));
    p.setBrush(vertical(r.top(), r.bottom(), lighter(fill, 0.18), fill));
    p.drawRoundedRect(r, radius, radius);
}

void screen(QPainter &p, const QRectF &r, qreal radius = 1.5) {
    p.setPen(Qt::NoPen);
    p.setBrush(vertical(r.top(), r.bottom(), QColor("#7fb8ee"), QColor("#2f6fae")));
    p.drawRoundedRect(r, radius, radius);
    // A soft reflection across the upper part of the glass.
    p.setBrush(QColor(255, 255, 255, 45));
    p.drawPolygon(
        QPolygonF({r.topLeft(), r.topRight(), QPointF(r.left(), r.top() + r.height() * 0.55)}));
}

void dot(QPainter &p, QPointF c, qreal r, const QColor &colour) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(c, r, r);
}

void gamepad(QPainter &p, const QRectF &r, const QColor &body) {
    QPainterPath pad;
    pad.addRoundedRect(
        QRectF(r.left() + r.width() * 0.12, r.top(), r.width() * 0.76, r.height() * 0.62), 10, 10);
    pad.addEllipse(
        QRectF(r.left(), r.top() + r.height() * 0.2, r.width() * 0.36, r.height() * 0.8));
    pad.addEllipse(QRectF(r.right() - r.width() * 0.36, r.top() + r.height() * 0.2,
                          r.width() * 0.36, r.height() * 0.8));
    pad.setFillRule(Qt::WindingFill);
    p.setPen(QPen(darker(body, 0.4), 1.5));
    p.setBrush(vertical(r.top(), r.bottom(), lighter(body, 0.2), body));
    p.drawPath(pad.simplified());
    const QPointF cross(r.left() + r.width() * 0.24, r.top() + r.height() * 0.42);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor("#2b2f36"));
    p.drawRect(QRectF(cross.x() - 7, cross.y() - 2.5, 14, 5));
    p.drawRect(QRectF(cross.x() - 2.5, cross.y() - 7, 5, 14));
    const QPointF buttons(r.right() - r.width() * 0.24, r.top() + r.height() * 0.42);
    dot(p, buttons + QPointF(0, -6), 3, QColor("#f2c12e"));
    dot(p, buttons + QPointF(6, 0), 3, QColor("#e0483e"));
    dot(p, buttons + QPointF(0, 6), 3, QColor("#3aa55d"));
    dot(p, buttons + QPointF(-6, 0), 3, QColor("#2f80c7"));
}

void keypad(QPainter &p, const QRectF &area, int columns, int rows, const QColor &key) {
    const qreal kw = area.width() / columns;
    const qreal kh = area.height() / rows;
    p.setPen(Qt::NoPen);
    p.setBrush(key);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            p.drawRoundedRect(
                QRectF(area.left() + c * kw + 1, area.top() + r * kh + 1, kw - 2, kh - 2), 2, 2);
}

} // namespace

QImage device(QSize size, Device kind) {
    QImage image = canvas::blank(size.width(), size.height());
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.scale(size.width() / 90.0, size.height() / 90.0);
    const QColor dark("#2b2f36");
    const QColor edge("#14171b");
    const QColor android("#3ddc84");
    switch (kind) {
    case Device::Video:
        drawGlyph(p, Glyph::Film, QRectF(6, 10, 78, 66), QColor("#45607d"));
        dot(p, QPointF(62, 62), 16, QColor("#f0a030"));
        drawGlyph(p, Glyph::Play, QRectF(53, 52, 20, 20), Qt::white);
        break;
    case Device::Audio:
        dot(p, QPointF(45, 45), 38, QColor("#efe9fb"));
        drawGlyph(p, Glyph::Note, QRectF(20, 18, 50, 54), QColor("#7b5bb5"));
        break;
    case Device::Tablet:
        deviceBody(p, QRectF(17, 6, 56, 78), 7, dark, edge);
        screen(p, QRectF(22, 13, 46, 60));
        dot(p, QPointF(45, 78.5), 2.5, QColor("#5b626c"));
        break;
    case Device::Phone:
        deviceBody(p, QRectF(25, 4, 40, 82), 8, dark, edge);
        screen(p, QRectF(28.5, 14, 33, 58));
        p.fillRect(QRectF(40, 8.5, 10, 1.5), QColor("#5b626c"));
        dot(p, QPointF(45, 79), 3, QColor("#5b626c"));
        break;
    case Device::PlayerClassic:
        deviceBody(p, QRectF(21, 4, 48, 82), 7, QColor("#dfe3e8"), QColor("#8f99a4"));
        screen(p, QRectF(27, 10, 36, 28));
        dot(p, QPointF(45, 62), 16, QColor("#c4cbd3"));
        dot(p, QPointF(45, 62), 6, QColor("#eef1f4"));
        break;
    case Device::PlayerNano:
        deviceBody(p, QRectF(31, 8, 28, 74), 5, QColor("#c0392b"), darker(QColor("#c0392b"), 0.4));
        screen(p, QRectF(34, 13, 22, 24), 1);
        dot(p, QPointF(45, 60), 10, lighter(QColor("#c0392b"), 0.5));
        dot(p, QPointF(45, 60), 3.5, QColor("#c0392b"));
        break;
    case Device::PlayerTouch:
        deviceBody(p, QRectF(27, 5, 36, 80), 7, QColor("#1f2328"), edge);
        screen(p, QRectF(30, 13, 30, 58));
        dot(p, QPointF(45, 78), 2.8, QColor("#4b525b"));
        break;
    case Device::SetTopBox:
        // A television on its stand, with the small box in front of it.
        deviceBody(p, QRectF(6, 8, 78, 50), 3, dark, edge);
        screen(p, QRectF(10, 12, 70, 42), 1);
        p.fillRect(QRectF(40, 58, 10, 8), QColor("#4b525b"));
        p.fillRect(QRectF(28, 66, 34, 3), QColor("#4b525b"));
        deviceBody(p, QRectF(30, 72, 30, 12), 3, QColor("#1f2328"), edge);
        dot(p, QPointF(45, 78), 1.6, QColor("#9aa4ae"));
        break;
    case Device::ConsoleBox:
        gamepad(p, QRectF(8, 22, 74, 50), QColor("#e9ecef"));
        dot(p, QPointF(45, 30), 4.5, QColor("#3aa55d"));
        break;
    case Device::Handheld:
        deviceBody(p, QRectF(3, 27, 84, 36), 16, QColor("#1f2328"), edge);
        screen(p, QRectF(24, 31, 42, 28), 1);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor("#9aa4ae"));
        p.drawRect(QRectF(10, 43, 9, 3));
        p.drawRect(QRectF(13, 40, 3, 9));
        dot(p, QPointF(76, 41), 1.8, QColor("#9aa4ae"));
        dot(p, QPointF(80, 45), 1.8, QColor("#9aa4ae"));
        dot(p, QPointF(76, 49), 1.8, QColor("#9aa4ae"));
        dot(p, QPointF(72, 45), 1.8, QColor("#9aa4ae"));
        break;
    case Device::ConsoleSlim: {
        QPainterPath slab;
        slab.moveTo(8, 62);
        slab.cubicTo(8, 30, 30, 20, 60, 20);
        slab.lineTo(82, 20);
        slab.lineTo(82, 62);
        slab.closeSubpath();
        p.setPen(QPen(edge, 1.5));
        p.setBrush(vertical(20, 62, QColor("#4a5058"), QColor("#16191d")));
        p.drawPath(slab);
        p.fillRect(QRectF(36, 40, 38, 2), QColor("#8d96a0"));
        dot(p, QPointF(76, 55), 1.8, QColor("#e0483e"));
        deviceBody(p, QRectF(8, 66, 74, 8), 2, QColor("#24282e"), edge);
        break;
    }
    case Device::ConsoleMotion:
        deviceBody(p, QRectF(24, 8, 22, 74), 4, QColor("#f4f6f8"), QColor("#9aa4ae"));
        p.fillRect(QRectF(30, 16, 10, 2), QColor("#7fb8ee"));
        deviceBody(p, QRectF(56, 20, 12, 60), 5, QColor("#f4f6f8"), QColor("#9aa4ae"));
        dot(p, QPointF(62, 30), 3, QColor("#c4cbd3"));
        dot(p, QPointF(62, 44), 2.5, QColor("#2f80c7"));
        break;
    case Device::FeaturePhone:
        deviceBody(p, QRectF(26, 4, 38, 82), 8, QColor("#3b4653"), edge);
        screen(p, QRectF(30, 12, 30, 26), 1);
        keypad(p, QRectF(30, 44, 30, 36), 3, 4, QColor("#aeb8c3"));
        break;
    case Device::Smartphone:
        deviceBody(p, QRectF(25, 4, 40, 82), 7, dark, edge);
        screen(p, QRectF(28, 11, 34, 62));
        p.fillRect(QRectF(28, 11, 34, 5), android);
        dot(p, QPointF(36, 79), 1.8, android);
        dot(p, QPointF(45, 79), 1.8, android);
        dot(p, QPointF(54, 79), 1.8, android);
        break;
    case Device::SmartTablet:
        deviceBody(p, QRectF(4, 17, 82, 56), 7, dark, edge);
        screen(p, QRectF(11, 22, 66, 46));
        p.fillRect(QRectF(11, 22, 66, 5), android);
        dot(p, QPointF(81.5, 39), 1.6, android);
        dot(p, QPointF(81.5, 45), 1.6, android);
        dot(p, QPointF(81.5, 51), 1.6, android);
        break;
    case Device::TilePhone: {
        deviceBody(p, QRectF(25, 4, 40, 82), 5, QColor("#1f2328"), edge);
        p.fillRect(QRectF(28, 11, 34, 62), QColor("#111417"));
        const QColor tiles[] = {QColor("#0078d7"), QColor("#e8a317"), QColor("#3aa55d"),
                                QColor("#e0483e"), QColor("#8e5bd0"), QColor("#00a3a3")};
        for (int i = 0; i < 6; ++i)
            p.fillRect(QRectF(30 + (i % 2) * 16, 14 + (i / 2) * 19, 14, 17), tiles[i]);
        break;
    }
    }
    p.end();
    return image;
}

} // namespace pictures
