#include "framepreview.h"

#include <QPainter>
#include <QPainterPath>

namespace parlane {

namespace {

const QColor kBackground(16, 18, 22);
const QColor kShade(0, 0, 0, 150);
const QColor kOutline(255, 204, 0);
const QColor kMessage(170, 176, 186);
const QString kNoPicture = "No picture to show for this file";

} // namespace

FramePreview::FramePreview(QWidget *parent) : QWidget(parent) {
    setMinimumSize(480, 300);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void FramePreview::setPicture(const QImage &frame, const QSize &sourceSize, double pixelAspect) {
    m_frame = frame;
    m_shown = OutputLook::coloured(m_frame, m_tweak);
    m_sourceSize = sourceSize.isValid() && !sourceSize.isEmpty() ? sourceSize : frame.size();
    m_pixelAspect = pixelAspect;
    update();
}

void FramePreview::setCrop(const CropMargins &crop) {
    m_crop = crop;
    update();
}

void FramePreview::setTweak(const OutputLook::Tweak &tweak) {
    m_tweak = tweak;
    m_shown = OutputLook::coloured(m_frame, m_tweak);
    update();
}

void FramePreview::setLogo(const QImage &logo) {
    m_logo = logo;
    update();
}

QRectF FramePreview::pictureArea() const {
    if (m_frame.isNull())
        return {};
    // The frame is shown with the source's own proportions: the crop values
    // count stored pixels.
    const QSizeF shown = QSizeF(m_sourceSize).scaled(QSizeF(size()), Qt::KeepAspectRatio);
    return QRectF(QPointF((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown);
}

QRectF FramePreview::keptArea() const {
    const QRectF area = pictureArea();
    if (area.isEmpty() || m_sourceSize.isEmpty())
        return {};
    const double sx = area.width() / m_sourceSize.width();
    const double sy = area.height() / m_sourceSize.height();
    return area.adjusted(m_crop.left * sx, m_crop.top * sy, -m_crop.right * sx,
                         -m_crop.bottom * sy);
}

QRectF FramePreview::logoArea() const {
    const QRectF area = pictureArea();
    if (area.isEmpty() || m_logo.isNull())
        return {};
    const QRect kept(m_crop.left, m_crop.top, m_sourceSize.width() - m_crop.left - m_crop.right,
                     m_sourceSize.height() - m_crop.top - m_crop.bottom);
    const QRectF logo = OutputLook::logoArea(m_sourceSize, kept, m_pixelAspect, m_logo.size());
    const double sx = area.width() / m_sourceSize.width();
    const double sy = area.height() / m_sourceSize.height();
    return QRectF(area.x() + logo.x() * sx, area.y() + logo.y() * sy, logo.width() * sx,
                  logo.height() * sy);
}

void FramePreview::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    if (m_frame.isNull()) {
        painter.setPen(kMessage);
        painter.drawText(rect(), Qt::AlignCenter, kNoPicture);
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF area = pictureArea();
    painter.drawImage(area, m_shown);
    // Where the output's corner is a letterbox bar, the logo reaches past the
    // kept part and is shaded there with what the crop removes.
    const QRectF logo = logoArea();
    if (!logo.isEmpty()) {
        painter.save();
        painter.setClipRect(area);
        painter.drawImage(logo, m_logo);
        painter.restore();
    }

    const QRectF kept = keptArea();
    QPainterPath shade;
    shade.addRect(area);
    shade.addRect(kept);
    shade.setFillRule(Qt::OddEvenFill);
    painter.fillPath(shade, kShade);
    painter.setPen(QPen(kOutline, 1.5, Qt::DashLine));
    painter.drawRect(kept.adjusted(0.5, 0.5, -0.5, -0.5));
}

} // namespace parlane
