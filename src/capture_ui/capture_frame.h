#pragma once
// CCaptureFrame: the three edge windows around the capture rectangle and the
// rules that move them with the top bar. The top bar forwards its mouse
// events here; the side strips and the bottom bar send theirs directly. It
// keeps no capture state of its own: what it paints and whether it may move
// comes from the status query.
#include <QCursor>
#include <QObject>
#include <QPoint>
#include <QRect>

#include <functional>

#include "capture_ui/frame_geometry.h"
#include "capture_ui/frame_painting.h"

class CLeftDialog;
class CRightDialog;
class CBottomDialog;
class QWidget;

// Lays the frame out again; posted once at start-up so the edge windows are
// placed after the top bar is up. The event's number is the message's.
inline constexpr int WM_LAYOUT_FRAME = 1125;

Qt::CursorShape CursorShapeFor(frame_geometry::GripCursor cursor);

class CCaptureFrame : public QObject {
    Q_OBJECT
public:
    using StatusQuery = std::function<frame_painting::FrameStatus()>;

    // `bar` is the top bar; the edge windows become its tool windows.
    CCaptureFrame(QWidget& bar, StatusQuery status);
    ~CCaptureFrame() override;

    // Puts the top bar at `barRect` (screen coordinates) and lays the edge
    // windows out around it (start-up placement).
    void PlaceBar(const QRect& barRect);
    // Lays the edge windows out and shows them; a positive height becomes the
    // capture height.
    void OnLayoutFrame(int newHeight);
    // The top bar was moved or resized from outside the frame's rules (by the
    // program or the window manager): the rest of the frame follows.
    void FollowBar();

    // The top bar's mouse events (client and screen positions).
    void BarPressed(QPoint client);
    void BarMoved(QPoint client, QPoint screen, Qt::MouseButtons buttons);
    void BarReleased();

    // Mouse events of the edge windows.
    void EdgePressed(frame_geometry::DragKind kind);
    void EdgeMoved(QPoint screen, Qt::MouseButtons buttons);
    void EdgeReleased();

    const frame_geometry::FrameModel& Model() const { return model_; }
    frame_painting::FrameStatus Status() const;
    bool Recording() const;

    // Repaint requests of the controller.
    void RepaintAll();
    void RepaintStatus();
    void SetPercent(int percent);
    // Keeps the edge windows above everything when the bar is.
    void SetStaysOnTop(bool onTop);

    CLeftDialog& Left() { return *left_; }
    CRightDialog& Right() { return *right_; }
    CBottomDialog& Bottom() { return *bottom_; }

signals:
    // The capture rectangle after every change of the frame.
    void CaptureRectChanged(const CaptureRect& rect);

private:
    void Apply(const frame_geometry::Placement& placement);

    QWidget& bar_;
    StatusQuery status_;
    frame_geometry::FrameModel model_;
    CLeftDialog* left_ = nullptr;
    CRightDialog* right_ = nullptr;
    CBottomDialog* bottom_ = nullptr;
    bool laidOut_ = false; // the edge windows show from the first layout on
};
