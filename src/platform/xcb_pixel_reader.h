#pragma once
// Reads single pixels of the X server's root window through a private xcb
// connection. The root window's image holds every mapped window's pixels, so
// this is the colour the user sees at a point, whichever window shows there:
// the colour buttons' eyedropper.

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/screen_pixel_reader.h"

class XcbPixelReader : public ScreenPixelReader {
public:
    // `display` null: $DISPLAY.
    explicit XcbPixelReader(const char* display = nullptr);
    ~XcbPixelReader() override;
    XcbPixelReader(const XcbPixelReader&) = delete;
    XcbPixelReader& operator=(const XcbPixelReader&) = delete;

    std::optional<uint32_t> PixelAt(int32_t x, int32_t y) override;

    // The connection is up and the root visual is one we can read.
    bool Usable() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};
