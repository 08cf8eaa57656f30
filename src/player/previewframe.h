#pragma once

#include <mutex>

#include <QImage>

// The picture the main window paints into the preview area. The video thread
// (through the display step) and the visualisation replace it whole; the
// window takes a shallow copy. The lock keeps the paint from ever seeing a
// half-replaced image.
class PreviewFrame {
public:
    QImage image() const;
    void setImage(const QImage &image);
    void setImage(QImage &&image);
    bool isNull() const;
    void clear();

private:
    mutable std::mutex m_mutex;
    QImage m_image;
};

// The last decoded frame (or the black picture, or the spectrum).
extern PreviewFrame previewFrame;
