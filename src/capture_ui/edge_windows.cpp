#include "capture_ui/edge_windows.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "capture_ui/capture_frame.h"
#include "capture_ui/frame_painting.h"

using frame_geometry::DragKind;

namespace {

frame_geometry::Point ClientPoint(const QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    return {p.x(), p.y()};
}

} // namespace

CEdgeWindow::CEdgeWindow(CCaptureFrame& frame, QWidget& bar)
    : QWidget(&bar, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus),
      frame_(frame) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

void CEdgeWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
        event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

CSideStrip::CSideStrip(CCaptureFrame& frame, QWidget& bar, DragKind edge)
    : CEdgeWindow(frame, bar), edge_(edge) {
    setMouseTracking(true);
    setAccessibleName(edge == DragKind::Left ? QStringLiteral("Capture frame left edge")
                                             : QStringLiteral("Capture frame right edge"));
    setAccessibleDescription(QStringLiteral("Drag to make the capture frame wider or narrower"));
}

void CSideStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    frame_painting::PaintSideStrip(painter, size(), frame_.Status());
}

void CSideStrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    setCursor(CursorShapeFor(frame_geometry::CursorFor(edge_)));
    frame_.EdgePressed(edge_);
}

void CSideStrip::mouseMoveEvent(QMouseEvent* event) {
    if (frame_.Recording()) {
        return;
    }
    setCursor(CursorShapeFor(frame_geometry::CursorFor(edge_)));
    frame_.EdgeMoved(event->globalPosition().toPoint(), event->buttons());
}

void CSideStrip::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    frame_.EdgeReleased();
    setCursor(Qt::ArrowCursor);
}

CBottomDialog::CBottomDialog(CCaptureFrame& frame, QWidget& bar) : CEdgeWindow(frame, bar) {
    setMouseTracking(true);
    setAccessibleName(QStringLiteral("Capture frame status bar"));
    setAccessibleDescription(QStringLiteral(
        "Shows the recording's state; drag its edges or corners to resize the capture frame"));
}

void CBottomDialog::SetPercent(int percent) {
    percent_ = percent;
    update();
}

void CBottomDialog::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    frame_painting::FrameStatus status = frame_.Status();
    status.percent = percent_;
    frame_painting::PaintBottomBar(painter, size(), status);
}

void CBottomDialog::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const DragKind grip = frame_geometry::BottomBarGrip(ClientPoint(event), width(), height());
    if (grip == DragKind::None) {
        return;
    }
    pressedGrip_ = grip;
    setCursor(CursorShapeFor(frame_geometry::CursorFor(grip)));
    frame_.EdgePressed(grip);
}

void CBottomDialog::mouseMoveEvent(QMouseEvent* event) {
    if (frame_.Recording()) {
        return;
    }
    if ((event->buttons() & Qt::LeftButton) && pressedGrip_ != DragKind::None) {
        frame_.EdgeMoved(event->globalPosition().toPoint(), event->buttons());
        return;
    }
    const DragKind grip = frame_geometry::BottomBarGrip(ClientPoint(event), width(), height());
    setCursor(CursorShapeFor(frame_geometry::CursorFor(grip)));
}

void CBottomDialog::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    pressedGrip_ = DragKind::None;
    frame_.EdgeReleased();
    setCursor(Qt::ArrowCursor);
}
