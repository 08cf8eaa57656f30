#include "glyphs.h"

#include <cmath>

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace {

// Maps fractions of the box to points, so that each glyph is written once for
// every size it is drawn at.
struct Frame {
    QRectF box;
    QPointF at(qreal fx, qreal fy) const {
        return {box.left() + fx * box.width(), box.top() + fy * box.height()};
    }
    QRectF rect(qreal fx, qreal fy, qreal fw, qreal fh) const {
        return {at(fx, fy), QSizeF(fw * box.width(), fh * box.height())};
    }
    qreal unit() const { return std::min(box.width(), box.height()); }
};

QPolygonF polygon(const Frame &f, std::initializer_list<QPointF> fractions) {
    QPolygonF poly;
    for (const QPointF &p : fractions)
        poly << f.at(p.x(), p.y());
    return poly;
}

QPen roundPen(const QColor &colour, qreal width) {
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void fillOnly(QPainter &p, const QColor &colour) {
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
}

void strokeOnly(QPainter &p, const QColor &colour, qreal width) {
    p.setPen(roundPen(colour, width));
    p.setBrush(Qt::NoBrush);
}

void drawGear(QPainter &p, const Frame &f, const QColor &colour) {
    const QPointF c = f.at(0.5, 0.5);
    const qreal outer = f.unit() * 0.48;
    const qreal inner = f.unit() * 0.34;
    constexpr int kTeeth = 8;
    QPainterPath path;
    for (int i = 0; i < kTeeth * 4; ++i) {
        const qreal angle = (i - 0.5) * M_PI / (kTeeth * 2);
        const qreal r = (i % 4 < 2) ? outer : inner;
        const QPointF pt(c.x() + r * std::cos(angle), c.y() + r * std::sin(angle));
        if (i == 0)
            path.moveTo(pt);
        else
            path.lineTo(pt);
    }
    path.closeSubpath();
    path.addEllipse(c, f.unit() * 0.14, f.unit() * 0.14);
    path.setFillRule(Qt::OddEvenFill);
    fillOnly(p, colour);
    p.drawPath(path);
}

void drawFilm(QPainter &p, const Frame &f, const QColor &colour) {
    QPainterPath path;
    path.addRoundedRect(f.rect(0.08, 0.14, 0.84, 0.72), f.unit() * 0.06, f.unit() * 0.06);
    // Sprocket holes along both edges and the picture window in the middle.
    for (int i = 0; i < 4; ++i) {
        path.addRect(f.rect(0.14 + i * 0.2, 0.2, 0.1, 0.08));
        path.addRect(f.rect(0.14 + i * 0.2, 0.72, 0.1, 0.08));
    }
    path.addRect(f.rect(0.18, 0.34, 0.64, 0.32));
    path.setFillRule(Qt::OddEvenFill);
    fillOnly(p, colour);
    p.drawPath(path);
}

void drawSpeaker(QPainter &p, const Frame &f, const QColor &colour) {
    fillOnly(p, colour);
    p.drawPolygon(polygon(
        f, {{0.08, 0.36}, {0.28, 0.36}, {0.52, 0.14}, {0.52, 0.86}, {0.28, 0.64}, {0.08, 0.64}}));
}

} // namespace

void drawGlyph(QPainter &p, Glyph glyph, const QRectF &box, const QColor &colour) {
    const Frame f{box};
    const qreal u = f.unit();
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    switch (glyph) {
    case Glyph::Plus:
        fillOnly(p, colour);
        p.drawRoundedRect(f.rect(0.4, 0.1, 0.2, 0.8), u * 0.04, u * 0.04);
        p.drawRoundedRect(f.rect(0.1, 0.4, 0.8, 0.2), u * 0.04, u * 0.04);
        break;
    case Glyph::Minus:
        fillOnly(p, colour);
        p.drawRoundedRect(f.rect(0.1, 0.4, 0.8, 0.2), u * 0.04, u * 0.04);
        break;
    case Glyph::Trash: {
        fillOnly(p, colour);
        p.drawRoundedRect(f.rect(0.14, 0.16, 0.72, 0.1), u * 0.03, u * 0.03);
        p.drawRect(f.rect(0.4, 0.08, 0.2, 0.1));
        QPainterPath can;
        can.addPolygon(polygon(f, {{0.22, 0.3}, {0.78, 0.3}, {0.72, 0.92}, {0.28, 0.92}}));
        can.closeSubpath();
        for (int i = 0; i < 3; ++i)
            can.addRect(f.rect(0.33 + i * 0.13, 0.38, 0.06, 0.44));
        can.setFillRule(Qt::OddEvenFill);
        p.drawPath(can);
        break;
    }
    case Glyph::Pencil: {
        fillOnly(p, colour);
        p.drawPolygon(polygon(f, {{0.66, 0.1}, {0.9, 0.34}, {0.38, 0.86}, {0.14, 0.62}}));
        p.drawPolygon(polygon(f, {{0.1, 0.68}, {0.32, 0.9}, {0.06, 0.94}}));
        break;
    }
    case Glyph::Scissors: {
        strokeOnly(p, colour, u * 0.09);
        p.drawEllipse(f.rect(0.1, 0.6, 0.28, 0.28));
        p.drawEllipse(f.rect(0.62, 0.6, 0.28, 0.28));
        p.drawLine(f.at(0.34, 0.64), f.at(0.78, 0.08));
        p.drawLine(f.at(0.66, 0.64), f.at(0.22, 0.08));
        break;
    }
    case Glyph::Sparkle: {
        fillOnly(p, colour);
        p.drawPolygon(polygon(f, {{0.42, 0.06},
                                  {0.52, 0.38},
                                  {0.82, 0.46},
                                  {0.52, 0.56},
                                  {0.42, 0.9},
                                  {0.32, 0.56},
                                  {0.04, 0.46},
                                  {0.32, 0.38}}));
        p.drawPolygon(polygon(f, {{0.78, 0.08},
                                  {0.82, 0.2},
                                  {0.94, 0.24},
                                  {0.82, 0.28},
                                  {0.78, 0.4},
                                  {0.74, 0.28},
                                  {0.62, 0.24},
                                  {0.74, 0.2}}));
        break;
    }
    case Glyph::Play:
        fillOnly(p, colour);
        p.drawPolygon(polygon(f, {{0.22, 0.1}, {0.9, 0.5}, {0.22, 0.9}}));
        break;
    case Glyph::Pause:
        fillOnly(p, colour);
        p.drawRoundedRect(f.rect(0.18, 0.1, 0.22, 0.8), u * 0.03, u * 0.03);
        p.drawRoundedRect(f.rect(0.6, 0.1, 0.22, 0.8), u * 0.03, u * 0.03);
        break;
    case Glyph::Stop:
        fillOnly(p, colour);
        p.drawRoundedRect(f.rect(0.14, 0.14, 0.72, 0.72), u * 0.06, u * 0.06);
        break;
    case Glyph::Previous:
        fillOnly(p, colour);
        p.drawRect(f.rect(0.08, 0.14, 0.12, 0.72));
        p.drawPolygon(polygon(f, {{0.56, 0.14}, {0.2, 0.5}, {0.56, 0.86}}));
        p.drawPolygon(polygon(f, {{0.92, 0.14}, {0.56, 0.5}, {0.92, 0.86}}));
        break;
    case Glyph::Next:
        fillOnly(p, colour);
        p.drawPolygon(polygon(f, {{0.08, 0.14}, {0.44, 0.5}, {0.08, 0.86}}));
        p.drawPolygon(polygon(f, {{0.44, 0.14}, {0.8, 0.5}, {0.44, 0.86}}));
        p.drawRect(f.rect(0.8, 0.14, 0.12, 0.72));
        break;
    case Glyph::Camera: {
        QPainterPath body;
        body.addRoundedRect(f.rect(0.06, 0.28, 0.88, 0.6), u * 0.08, u * 0.08);
        body.addEllipse(f.at(0.5, 0.58), u * 0.2, u * 0.2);
        body.setFillRule(Qt::OddEvenFill);
        fillOnly(p, colour);
        p.drawPath(body);
        p.drawRect(f.rect(0.32, 0.16, 0.3, 0.14));
        p.drawEllipse(f.at(0.5, 0.58), u * 0.1, u * 0.1);
        break;
    }
    case Glyph::SmallDown:
        fillOnly(p, colour);
        p.drawPolygon(polygon(f, {{0.1, 0.35}, {0.9, 0.35}, {0.5, 0.65}}));
        break;
    case Glyph::Speaker:
        drawSpeaker(p, f, colour);
        strokeOnly(p, colour, u * 0.08);
        p.drawArc(f.rect(0.42, 0.3, 0.3, 0.4), -50 * 16, 100 * 16);
        p.drawArc(f.rect(0.4, 0.14, 0.5, 0.72), -50 * 16, 100 * 16);
        break;
    case Glyph::SpeakerMuted:
        drawSpeaker(p, f, colour);
        strokeOnly(p, colour, u * 0.09);
        p.drawLine(f.at(0.64, 0.34), f.at(0.92, 0.66));
        p.drawLine(f.at(0.92, 0.34), f.at(0.64, 0.66));
        break;
    case Glyph::Menu:
        fillOnly(p, colour);
        for (int i = 0; i < 3; ++i)
            p.drawRoundedRect(f.rect(0.18, 0.24 + i * 0.22, 0.64, 0.1), u * 0.03, u * 0.03);
        break;
    case Glyph::Minimise:
        fillOnly(p, colour);
        p.drawRect(f.rect(0.2, 0.62, 0.6, 0.12));
        break;
    case Glyph::Close:
        strokeOnly(p, colour, u * 0.13);
        p.drawLine(f.at(0.24, 0.24), f.at(0.76, 0.76));
        p.drawLine(f.at(0.76, 0.24), f.at(0.24, 0.76));
        break;
    case Glyph::Gear:
        drawGear(p, f, colour);
        break;
    case Glyph::Folder: {
        fillOnly(p, colour);
        p.drawRoundedRect(f.rect(0.06, 0.2, 0.4, 0.2), u * 0.04, u * 0.04);
        p.drawRoundedRect(f.rect(0.06, 0.3, 0.88, 0.56), u * 0.06, u * 0.06);
        break;
    }
    case Glyph::ArrowUp:
        fillOnly(p, colour);
        p.drawPolygon(polygon(f, {{0.5, 0.08},
                                  {0.92, 0.52},
                                  {0.64, 0.52},
                                  {0.64, 0.92},
                                  {0.36, 0.92},
                                  {0.36, 0.52},
                                  {0.08, 0.52}}));
        break;
    case Glyph::ArrowDown:
        fillOnly(p, colour);
        p.drawPolygon(polygon(f, {{0.5, 0.92},
                                  {0.92, 0.48},
                                  {0.64, 0.48},
                                  {0.64, 0.08},
                                  {0.36, 0.08},
                                  {0.36, 0.48},
                                  {0.08, 0.48}}));
        break;
    case Glyph::Check:
        strokeOnly(p, colour, u * 0.16);
        p.drawPolyline(polygon(f, {{0.2, 0.52}, {0.42, 0.74}, {0.8, 0.28}}));
        break;
    case Glyph::Dash:
        fillOnly(p, colour);
        p.drawRect(f.rect(0.22, 0.42, 0.56, 0.16));
        break;
    case Glyph::Film:
        drawFilm(p, f, colour);
        break;
    case Glyph::Note: {
        fillOnly(p, colour);
        p.drawEllipse(f.rect(0.1, 0.66, 0.28, 0.22));
        p.drawEllipse(f.rect(0.58, 0.56, 0.28, 0.22));
        p.drawRect(f.rect(0.3, 0.16, 0.08, 0.62));
        p.drawRect(f.rect(0.78, 0.06, 0.08, 0.62));
        p.drawPolygon(polygon(f, {{0.3, 0.16}, {0.86, 0.06}, {0.86, 0.2}, {0.3, 0.3}}));
        break;
    }
    case Glyph::Power:
        strokeOnly(p, colour, u * 0.12);
        // Open at the top, where the stem stands.
        p.drawArc(f.rect(0.14, 0.18, 0.72, 0.72), 120 * 16, 300 * 16);
        p.drawLine(f.at(0.5, 0.08), f.at(0.5, 0.5));
        break;
    }
    p.restore();
}
