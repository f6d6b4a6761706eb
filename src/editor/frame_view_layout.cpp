#include "editor/frame_view_layout.h"

#include <algorithm>

FrameViewFit FitFrameInArea(int32_t frameWidth, int32_t frameHeight, const QRect& area) {
    FrameViewFit fit;
    const float sx = float(frameWidth) / float(std::max(area.width(), 1));
    const float sy = float(frameHeight) / float(std::max(area.height(), 1));
    fit.scale = std::max(sx > sy ? sx : sy, 1.0f);
    const int32_t w = int32_t(float(frameWidth) / fit.scale);
    const int32_t h = int32_t(float(frameHeight) / fit.scale);
    // Integer halves, as the view's centre is computed.
    const int32_t cx = (area.left() + area.left() + area.width()) / 2;
    const int32_t cy = (area.top() + area.top() + area.height()) / 2;
    fit.image = QRect(cx - w / 2, cy - h / 2, w, h);
    return fit;
}

QPoint ViewToFrame(QPoint p, const FrameViewFit& fit) {
    return QPoint(int32_t(float(p.x() - fit.image.left()) * fit.scale),
                  int32_t(float(p.y() - fit.image.top()) * fit.scale));
}
