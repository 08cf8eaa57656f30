#pragma once

#include <QImage>
#include <QSize>
#include <QWidget>

#include "editrequest.h"

namespace parlane {

// Shows the file's frame scaled into the widget, with the part that the crop
// removes darkened and the part that stays outlined.
class FramePreview : public QWidget {
    Q_OBJECT

public:
    explicit FramePreview(QWidget *parent = nullptr);

    void setPicture(const QImage &frame, const QSize &sourceSize);
    void setCrop(const CropMargins &crop);

    bool hasPicture() const { return !m_frame.isNull(); }
    // Where the kept part of the picture lies in widget coordinates.
    QRectF keptArea() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QRectF pictureArea() const;

    QImage m_frame;
    QSize m_sourceSize;
    CropMargins m_crop;
};

} // namespace parlane
