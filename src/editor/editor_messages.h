#pragma once
// The editor's private message: show frame n in the frame view. Posted to the
// editor dialog by the thumbnail strip and by the dialog itself; its number
// is the message's.
#include <QEvent>

#include <cstdint>

inline constexpr int WM_EDITOR_GOTO_FRAME = 1222;

class EditorGotoFrameEvent : public QEvent {
public:
    explicit EditorGotoFrameEvent(int32_t frame)
        : QEvent(static_cast<QEvent::Type>(WM_EDITOR_GOTO_FRAME)), frame_(frame) {}
    // 1-based frame number (the message's lParam).
    int32_t Frame() const { return frame_; }

private:
    int32_t frame_;
};

// The event as a goto-frame message, or null for any other event.
inline const EditorGotoFrameEvent* AsGotoFrame(const QEvent* event) {
    if (event->type() != static_cast<QEvent::Type>(WM_EDITOR_GOTO_FRAME))
        return nullptr;
    return static_cast<const EditorGotoFrameEvent*>(event);
}
