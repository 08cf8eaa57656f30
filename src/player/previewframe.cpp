#include "player/previewframe.h"

#include <utility>

PreviewFrame previewFrame;

QImage PreviewFrame::image() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_image;
}

void PreviewFrame::setImage(const QImage &image) {
    QImage old;
    std::lock_guard<std::mutex> lock(m_mutex);
    old = std::exchange(m_image, image);
}

void PreviewFrame::setImage(QImage &&image) {
    QImage old;
    std::lock_guard<std::mutex> lock(m_mutex);
    old = std::exchange(m_image, std::move(image));
}

bool PreviewFrame::isNull() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_image.isNull();
}

void PreviewFrame::clear() {
    setImage(QImage());
}
