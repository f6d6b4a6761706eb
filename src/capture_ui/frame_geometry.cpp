#include "capture_ui/frame_geometry.h"

namespace frame_geometry {

namespace {

bool InBand(int v, int from, int to) {
    return v >= from && v < to;
}

} // namespace

DragKind TopBarGrip(Point p, int w, int h) {
    (void)h;
    const bool left = InBand(p.x, 0, kGripWidth);
    const bool right = InBand(p.x, w - kGripWidth, w);
    const bool top = InBand(p.y, 0, kGripWidth);
    if (left && top) {
        return DragKind::TopLeft;
    }
    if (right && top) {
        return DragKind::TopRight;
    }
    if (left) {
        return DragKind::Left;
    }
    if (right) {
        return DragKind::Right;
    }
    if (top) {
        return DragKind::Top;
    }
    return DragKind::Move;
}

DragKind BottomBarGrip(Point p, int w, int h) {
    const bool left = InBand(p.x, 0, kGripWidth);
    const bool right = InBand(p.x, w - kGripWidth, w);
    const bool bottom = InBand(p.y, h - kGripWidth, h);
    if (left && bottom) {
        return DragKind::BottomLeft;
    }
    if (right && bottom) {
        return DragKind::BottomRight;
    }
    if (left) {
        return DragKind::Left;
    }
    if (right) {
        return DragKind::Right;
    }
    if (bottom) {
        return DragKind::Bottom;
    }
    return DragKind::None;
}

GripCursor CursorFor(DragKind kind) {
    switch (kind) {
    case DragKind::TopLeft:
    case DragKind::BottomRight:
        return GripCursor::SizeNwSe;
    case DragKind::TopRight:
    case DragKind::BottomLeft:
        return GripCursor::SizeNeSw;
    case DragKind::Left:
    case DragKind::Right:
        return GripCursor::SizeWe;
    case DragKind::Top:
    case DragKind::Bottom:
        return GripCursor::SizeNs;
    case DragKind::None:
    case DragKind::Move:
        break;
    }
    return GripCursor::Arrow;
}

FrameModel::FrameModel(int barWidth, int barHeight, int captureHeight)
    : bar_{0, 0, barWidth, barHeight}, capture_{0, barHeight, barWidth, barHeight + captureHeight} {
    Layout(0);
}

Placement FrameModel::CurrentPlacement() const {
    const CaptureRect& r = bar_;
    const int h = capture_.Height();
    return {
        {r.left, r.bottom, r.left + kStripWidth, r.bottom + h},
        {r.right - kStripWidth, r.bottom, r.right, r.bottom + h},
        {r.left, r.bottom + h, r.right, r.bottom + h + kBottomHeight},
        capture_,
    };
}

Placement FrameModel::PlaceBar(const CaptureRect& bar) {
    const int h = capture_.Height();
    bar_ = bar;
    capture_.top = bar_.bottom;
    capture_.bottom = bar_.bottom + h;
    return Layout(0);
}

Placement FrameModel::Layout(int newHeight) {
    if (newHeight > 0) {
        capture_.bottom = capture_.top + newHeight;
    }
    const int h = capture_.Height();
    capture_ = {bar_.left + kStripWidth, bar_.bottom, bar_.right - kStripWidth, bar_.bottom + h};
    return CurrentPlacement();
}

void FrameModel::Press(DragKind kind, Point clientOrigin) {
    drag_ = kind;
    origin_ = clientOrigin;
}

// Each setter checks its limit and changes nothing when it would break it.
bool FrameModel::SetBarLeft(int x) {
    if (bar_.right - x < kMinBarWidth) {
        return false;
    }
    bar_.left = x;
    return true;
}

bool FrameModel::SetBarRight(int x) {
    if (x - bar_.left < kMinBarWidth) {
        return false;
    }
    bar_.right = x;
    return true;
}

bool FrameModel::SetBarTop(int y) {
    const int barHeight = bar_.Height();
    if (capture_.bottom - (y + barHeight) < kMinCaptureHeight) {
        return false;
    }
    bar_.top = y;
    bar_.bottom = y + barHeight;
    capture_.top = bar_.bottom; // the capture rectangle's bottom stays
    return true;
}

bool FrameModel::SetCaptureBottom(int bottomBarBottom) {
    const int n = bottomBarBottom - bar_.bottom - kBottomHeight;
    if (n < kMinCaptureHeight) {
        return false;
    }
    capture_.bottom = capture_.top + n;
    return true;
}

bool FrameModel::DragTo(Point p, bool recording) {
    if (recording) {
        return false;
    }
    const int barHeight = bar_.Height();
    const CaptureRect before = bar_;
    const CaptureRect captureBefore = capture_;
    bool ok = true;
    switch (drag_) {
    case DragKind::None:
        return false;
    case DragKind::Move: {
        const int width = bar_.Width();
        bar_ = {p.x - origin_.x, p.y - origin_.y, p.x - origin_.x + width,
                p.y - origin_.y + barHeight};
        capture_.top = bar_.bottom; // keep the capture height
        capture_.bottom = bar_.bottom + captureBefore.Height();
        break;
    }
    case DragKind::Left:
        ok = SetBarLeft(p.x);
        break;
    case DragKind::Right:
        ok = SetBarRight(p.x);
        break;
    case DragKind::Top:
        ok = SetBarTop(p.y);
        break;
    case DragKind::TopLeft:
        // A corner moves both edges or none.
        ok = bar_.right - p.x >= kMinBarWidth && SetBarTop(p.y) && SetBarLeft(p.x);
        break;
    case DragKind::TopRight:
        ok = p.x - bar_.left >= kMinBarWidth && SetBarTop(p.y) && SetBarRight(p.x);
        break;
    case DragKind::Bottom:
        ok = SetCaptureBottom(p.y);
        break;
    case DragKind::BottomLeft:
        ok = bar_.right - p.x >= kMinBarWidth && SetCaptureBottom(p.y) && SetBarLeft(p.x);
        break;
    case DragKind::BottomRight:
        ok = p.x - bar_.left >= kMinBarWidth && SetCaptureBottom(p.y) && SetBarRight(p.x);
        break;
    }
    if (!ok) {
        bar_ = before;
        capture_ = captureBefore;
        return false;
    }
    Layout(0);
    return !(bar_ == before && capture_ == captureBefore);
}

} // namespace frame_geometry
