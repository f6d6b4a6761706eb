#include "capture_ui/capture_frame.h"

#include <QWidget>

#include "capture_ui/edge_windows.h"

using frame_geometry::DragKind;
using frame_geometry::GripCursor;

Qt::CursorShape CursorShapeFor(GripCursor cursor) {
    switch (cursor) {
    case GripCursor::SizeNwSe:
        return Qt::SizeFDiagCursor;
    case GripCursor::SizeNeSw:
        return Qt::SizeBDiagCursor;
    case GripCursor::SizeWe:
        return Qt::SizeHorCursor;
    case GripCursor::SizeNs:
        return Qt::SizeVerCursor;
    case GripCursor::Arrow:
        break;
    }
    return Qt::ArrowCursor;
}

namespace {

QRect ToQRect(const CaptureRect& r) {
    return QRect(r.left, r.top, r.Width(), r.Height());
}

frame_geometry::Point ToPoint(QPoint p) {
    return {p.x(), p.y()};
}

} // namespace

CCaptureFrame::CCaptureFrame(QWidget& bar, StatusQuery status)
    : QObject(&bar), bar_(bar), status_(std::move(status)),
      model_(bar.width(), bar.height(), frame_geometry::kInitialCaptureHeight) {
    // Owned by the bar as Qt children: they go when the bar goes.
    bottom_ = new CBottomDialog(*this, bar);
    left_ = new CLeftDialog(*this, bar);
    right_ = new CRightDialog(*this, bar);
}

CCaptureFrame::~CCaptureFrame() = default;

frame_painting::FrameStatus CCaptureFrame::Status() const {
    frame_painting::FrameStatus status = status_ ? status_() : frame_painting::FrameStatus{};
    status.capture = model_.Capture();
    return status;
}

bool CCaptureFrame::Recording() const {
    return status_ && status_().state == CaptureState::Capturing;
}

void CCaptureFrame::PlaceBar(const QRect& barRect) {
    Apply(model_.PlaceBar({barRect.left(), barRect.top(), barRect.left() + barRect.width(),
                           barRect.top() + barRect.height()}));
}

void CCaptureFrame::OnLayoutFrame(int newHeight) {
    laidOut_ = true;
    Apply(model_.Layout(newHeight));
}

void CCaptureFrame::FollowBar() {
    const QRect bar = bar_.geometry();
    const CaptureRect& known = model_.Bar();
    if (bar.left() == known.left && bar.top() == known.top && bar.width() == known.Width() &&
        bar.height() == known.Height()) {
        return;
    }
    PlaceBar(bar);
}

void CCaptureFrame::Apply(const frame_geometry::Placement& placement) {
    const QRect bar = ToQRect(model_.Bar());
    if (bar_.geometry() != bar) {
        bar_.setGeometry(bar);
    }
    left_->setGeometry(ToQRect(placement.left));
    right_->setGeometry(ToQRect(placement.right));
    bottom_->setGeometry(ToQRect(placement.bottom));
    if (laidOut_) {
        left_->show();
        right_->show();
        bottom_->show();
    }
    bottom_->update();
    emit CaptureRectChanged(placement.capture);
}

void CCaptureFrame::BarPressed(QPoint client) {
    const DragKind grip = frame_geometry::TopBarGrip(ToPoint(client), bar_.width(), bar_.height());
    if (grip != DragKind::Move) {
        bar_.setCursor(CursorShapeFor(frame_geometry::CursorFor(grip)));
    }
    model_.Press(grip, ToPoint(client));
}

void CCaptureFrame::BarMoved(QPoint client, QPoint screen, Qt::MouseButtons buttons) {
    if (Recording()) {
        return;
    }
    if (buttons & Qt::LeftButton) {
        if (model_.DragTo(ToPoint(screen), false)) {
            Apply(model_.CurrentPlacement());
        }
        return;
    }
    const DragKind grip = frame_geometry::TopBarGrip(ToPoint(client), bar_.width(), bar_.height());
    bar_.setCursor(CursorShapeFor(frame_geometry::CursorFor(grip)));
}

void CCaptureFrame::BarReleased() {
    model_.Release();
    bar_.setCursor(Qt::ArrowCursor);
}

void CCaptureFrame::EdgePressed(DragKind kind) {
    model_.Press(kind);
}

void CCaptureFrame::EdgeMoved(QPoint screen, Qt::MouseButtons buttons) {
    if (!(buttons & Qt::LeftButton) || Recording()) {
        return;
    }
    if (model_.DragTo(ToPoint(screen), false)) {
        Apply(model_.CurrentPlacement());
    }
}

void CCaptureFrame::EdgeReleased() {
    model_.Release();
}

void CCaptureFrame::RepaintAll() {
    bar_.update();
    left_->update();
    right_->update();
    bottom_->update();
}

void CCaptureFrame::RepaintStatus() {
    bottom_->update();
}

void CCaptureFrame::SetPercent(int percent) {
    bottom_->SetPercent(percent);
}

void CCaptureFrame::SetStaysOnTop(bool onTop) {
    for (QWidget* window : {static_cast<QWidget*>(left_), static_cast<QWidget*>(right_),
                            static_cast<QWidget*>(bottom_)}) {
        const bool visible = window->isVisible();
        window->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
        if (visible) {
            window->show();
        }
    }
}
