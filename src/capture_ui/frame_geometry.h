#pragma once
// The rules of the capture frame: four windows (top bar, two 5-pixel side
// strips, a 40-pixel bottom bar) enclose the capture rectangle. The top bar's
// window rectangle decides the rectangle's left, right and top; its height is
// kept in the rectangle. Moving and resizing go through here, so the limits
// hold whichever window the mouse grabbed. Pure logic: no windows.
#include "image/frame_list.h"

namespace frame_geometry {

inline constexpr int kStripWidth = 5;
inline constexpr int kBottomHeight = 40;
inline constexpr int kGripWidth = 3;
inline constexpr int kMinBarWidth = 60; // capture width 50
inline constexpr int kMinCaptureHeight = 60;
inline constexpr int kInitialBarWidth = 310;
inline constexpr int kInitialCaptureHeight = 250;

// Which grip a press took (Move: the top bar's body).
enum class DragKind {
    None,
    Move,
    Left,
    Right,
    Top,
    TopLeft,
    TopRight,
    Bottom,
    BottomLeft,
    BottomRight,
};

// The cursor a grip shows; the numbers are the system cursors they stand for.
enum class GripCursor {
    Arrow = 32512,
    SizeNwSe = 32642,
    SizeNeSw = 32643,
    SizeWe = 32644,
    SizeNs = 32645,
};

struct Point {
    int x = 0;
    int y = 0;
};

// Where the windows go after a layout (window rectangles, right/bottom excluded).
struct Placement {
    CaptureRect left;
    CaptureRect right;
    CaptureRect bottom;
    CaptureRect capture;
};

// The grip under a point of the top bar (client coordinates, bar size w x h);
// Move when the point is on none of the bands.
DragKind TopBarGrip(Point client, int barWidth, int barHeight);
// The grip under a point of the bottom bar; None off the bands.
DragKind BottomBarGrip(Point client, int width, int height = kBottomHeight);
GripCursor CursorFor(DragKind kind);

class FrameModel {
public:
    // A top bar of `barWidth` x `barHeight` at the origin and a capture
    // rectangle of the given height below it.
    FrameModel(int barWidth, int barHeight, int captureHeight = kInitialCaptureHeight);

    // The top bar's window rectangle.
    const CaptureRect& Bar() const { return bar_; }
    const CaptureRect& Capture() const { return capture_; }
    Placement CurrentPlacement() const;

    // Moves the top bar without any rule (start-up centring), then lays out.
    Placement PlaceBar(const CaptureRect& bar);
    // Lays the edge windows out around the bar; a positive height first
    // becomes the capture height.
    Placement Layout(int newHeight);

    // A press on a grip starts a drag; `clientOrigin` is where a move-drag
    // grabbed the bar. Presses are taken in every state.
    void Press(DragKind kind, Point clientOrigin = {});
    DragKind ActiveDrag() const { return drag_; }
    // The mouse moved to `screen` with the button held. Returns true when the
    // frame changed; a step that would break a limit moves nothing, and nothing
    // moves while `recording`.
    bool DragTo(Point screen, bool recording);
    void Release() { drag_ = DragKind::None; }

private:
    bool SetBarLeft(int x);
    bool SetBarRight(int x);
    bool SetBarTop(int y);
    bool SetCaptureBottom(int bottomBarBottom);

    CaptureRect bar_;
    CaptureRect capture_;
    DragKind drag_ = DragKind::None;
    Point origin_;
};

} // namespace frame_geometry
