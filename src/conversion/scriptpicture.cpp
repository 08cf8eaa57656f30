#include "scriptpicture.h"

#include <algorithm>
#include <cmath>

QRect ScriptPicture::kept(const QSize &source, int left, int top, int right, int bottom) {
    if (left == 0 && top == 0 && right == 0 && bottom == 0)
        return QRect(QPoint(0, 0), source);
    return QRect(left / 2 * 2, top / 2 * 2, (source.width() - left - right) / 4 * 4,
                 (source.height() - top - bottom) / 2 * 2);
}

QSize ScriptPicture::frame(const QSize &source) {
    return QSize(source.width() / 4 * 4, source.height() / 2 * 2);
}

QSize ScriptPicture::letterboxed(const QSize &frame, double ratio) {
    const int ow = frame.width();
    const int oh = frame.height();
    int sw = ow;
    int sh = oh;
    if (ratio > double(ow) / oh)
        sh = std::clamp(int(std::lround(ow / ratio / 2)) * 2, 2, oh);
    else
        sw = std::clamp(int(std::lround(oh * ratio / 2)) * 2, 2, ow);
    return {sw, sh};
}
