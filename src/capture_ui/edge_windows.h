#pragma once
// The three borderless windows that complete the capture frame: 5-pixel blue
// strips on both sides of the capture rectangle and the 40-pixel status bar
// below it. They are tool windows of the top bar, so they stay above it and
// follow it; their mouse events go to the frame's rules.
#include <QWidget>

#include "capture_ui/frame_geometry.h"

class CCaptureFrame;

class CEdgeWindow : public QWidget {
    Q_OBJECT
public:
    CEdgeWindow(CCaptureFrame& frame, QWidget& bar);

protected:
    void keyPressEvent(QKeyEvent* event) override; // Enter and Escape do nothing
    CCaptureFrame& frame_;
};

// A side strip: the whole strip is a grip for its edge.
class CSideStrip : public CEdgeWindow {
    Q_OBJECT
public:
    CSideStrip(CCaptureFrame& frame, QWidget& bar, frame_geometry::DragKind edge);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    frame_geometry::DragKind edge_;
};

class CLeftDialog : public CSideStrip {
    Q_OBJECT
public:
    CLeftDialog(CCaptureFrame& frame, QWidget& bar)
        : CSideStrip(frame, bar, frame_geometry::DragKind::Left) {}
};

class CRightDialog : public CSideStrip {
    Q_OBJECT
public:
    CRightDialog(CCaptureFrame& frame, QWidget& bar)
        : CSideStrip(frame, bar, frame_geometry::DragKind::Right) {}
};

// The status bar under the capture rectangle; its edges and bottom corners
// resize the frame, it never moves it.
class CBottomDialog : public CEdgeWindow {
    Q_OBJECT
public:
    CBottomDialog(CCaptureFrame& frame, QWidget& bar);

    int Percent() const { return percent_; }
    void SetPercent(int percent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    frame_geometry::DragKind pressedGrip_ = frame_geometry::DragKind::None;
    int percent_ = 0;
};
