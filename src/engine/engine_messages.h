#pragma once
// The capture protocol: the controller posts the first three messages to the
// worker, the worker posts the last four to the notify object. Every message
// is a posted EngineMessage whose QEvent type is the message number.

#include <QEvent>

#include <cstdint>

inline constexpr int WM_USER = 1024;

// Controller -> worker.
inline constexpr int WM_CAPTURE_START = WM_USER + 210; // lParam: timer period in ms
inline constexpr int WM_CAPTURE_STOP = WM_USER + 211;
inline constexpr int WM_MAKE_GIF = WM_USER + 212; // lParam: non-zero = error diffusion

// Worker -> notify object.
inline constexpr int WM_FRAME_CAPTURED = WM_USER + 220;  // lParam: frames since the start
inline constexpr int WM_CAPTURE_STOPPED = WM_USER + 221; // grabbing has ended; wParam: why
inline constexpr int WM_GIF_PROGRESS = WM_USER + 222;    // lParam: percent 0..100
inline constexpr int WM_GIF_DONE = WM_USER + 223; // wParam: prepared frames; lParam: (w << 16) + h

// Ends the worker's event loop. Posted like the others, so every message
// posted before it is still handled.
inline constexpr int WM_WORKER_QUIT = WM_USER + 230;

// Why grabbing ended, in WM_CAPTURE_STOPPED's wParam. The frames so far are
// kept whatever the reason.
enum CaptureStopReason : uint64_t {
    kStopRequested = 0,    // WM_CAPTURE_STOP
    kStopMemoryBudget = 1, // the next frame would pass the recording's budget
    kStopDisplayLost = 2,  // the screen source can never grab again
};

static_assert(WM_CAPTURE_START == 1234 && WM_MAKE_GIF == 1236);
static_assert(WM_FRAME_CAPTURED == 1244 && WM_GIF_DONE == 1247);

class EngineMessage : public QEvent {
public:
    EngineMessage(int message, uint64_t wParam, int64_t lParam)
        : QEvent(static_cast<QEvent::Type>(message)), wParam_(wParam), lParam_(lParam) {}

    int Message() const { return static_cast<int>(type()); }
    uint64_t WParam() const { return wParam_; }
    int64_t LParam() const { return lParam_; }

private:
    uint64_t wParam_;
    int64_t lParam_;
};

// The message carried by `event`, or null when it is not one of ours.
inline const EngineMessage* AsEngineMessage(const QEvent* event) {
    return dynamic_cast<const EngineMessage*>(event);
}

// Width and height packed into WM_GIF_DONE's lParam.
inline int64_t PackGifSize(int32_t width, int32_t height) {
    return (static_cast<int64_t>(width) << 16) + height;
}
inline int32_t GifWidthOf(int64_t lParam) {
    return static_cast<int32_t>(lParam >> 16);
}
inline int32_t GifHeightOf(int64_t lParam) {
    return static_cast<int32_t>(lParam & 0xFFFF);
}
