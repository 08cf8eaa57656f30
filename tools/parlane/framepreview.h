#pragma once

#include <QImage>
#include <QSize>
#include <QWidget>

#include "editrequest.h"
#include "outputlook.h"

namespace parlane {

// Shows the file's frame scaled into the widget with the look the output will
// have (colour effects and logo), with the part that the crop removes
// darkened and the part that stays outlined.
class FramePreview : public QWidget {
    Q_OBJECT

public:
    explicit FramePreview(QWidget *parent = nullptr);

    void setPicture(const QImage &frame, const QSize &sourceSize, double pixelAspect = 1);
    // Margins the script keeps as they are (see scriptCrop).
    void setCrop(const CropMargins &crop);
    void setTweak(const OutputLook::Tweak &tweak);
    // A null picture: no logo.
    void setLogo(const QImage &logo);

    bool hasPicture() const { return !m_frame.isNull(); }
    // Where the kept part of the picture lies in widget coordinates.
    QRectF keptArea() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QRectF pictureArea() const;
    QRectF logoArea() const;

    QImage m_frame;
    QImage m_shown; // m_frame with the colour effects
    QSize m_sourceSize;
    double m_pixelAspect = 1;
    CropMargins m_crop;
    OutputLook::Tweak m_tweak;
    QImage m_logo;
};

} // namespace parlane
