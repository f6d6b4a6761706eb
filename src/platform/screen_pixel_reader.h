#pragma once
// Reads the colour of one pixel of the whole screen, whichever window shows
// there: the colour buttons' eyedropper. The program's reader asks the
// display server; tests put a fake in its place.

#include <cstdint>
#include <optional>

class ScreenPixelReader {
public:
    virtual ~ScreenPixelReader() = default;
    // The colour at screen point (x, y) as 0x00BBGGRR, or nothing when the
    // point is off the screen or the screen cannot be read. GUI thread only.
    virtual std::optional<uint32_t> PixelAt(int32_t x, int32_t y) = 0;
};
