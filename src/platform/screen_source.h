#pragma once
// Where captured frames come from: the X server, or a fake in tests.

#include <memory>

#include "image/frame_list.h"

class ScreenSource {
public:
    virtual ~ScreenSource() = default;
    // Copies the screen rectangle into `out` as a 24-bit bottom-up image of the
    // rectangle's size. Parts of the rectangle off the screen come out black.
    // Must be called on the thread that created the source.
    virtual bool Grab(const CaptureRect& rect, CxImage& out) = 0;
    // True once the source can never grab again (the display server went
    // away): a recording then ends instead of waiting on failing grabs.
    virtual bool Lost() const { return false; }
};

// Makes `out` an empty 24-bit frame of the rectangle's size; false for an
// empty or oversized rectangle, or when the frame cannot be allocated.
bool CreateFrameFor(const CaptureRect& rect, CxImage& out);
