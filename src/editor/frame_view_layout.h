#pragma once
// Where the frame view draws a frame and how its points map back to frame
// pixels. The frame is shrunk to fit the view's area, never enlarged, and
// centred in it.

#include <QPoint>
#include <QRect>

#include <cstdint>

struct FrameViewFit {
    float scale = 1.0f; // frame pixels per view pixel, at least 1
    QRect image;        // where the shrunk frame lies, in the area's coordinates
};

// The fit of a W x H frame into `area` (client pixels).
FrameViewFit FitFrameInArea(int32_t frameWidth, int32_t frameHeight, const QRect& area);

// The frame pixel under the client point `p`, which lies inside `fit.image`.
QPoint ViewToFrame(QPoint p, const FrameViewFit& fit);
