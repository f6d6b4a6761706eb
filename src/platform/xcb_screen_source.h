#pragma once
// Grabs rectangles of the X server's root window through a private xcb
// connection: MIT-SHM when the server offers it, plain GetImage otherwise.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/screen_source.h"

struct xcb_connection_t;

// How the server lays out one pixel of the root window's images.
struct XPixelFormat {
    uint32_t bitsPerPixel = 0; // 8, 16, 24 or 32
    uint32_t scanlinePad = 32; // bits each image row is padded to
    bool msbFirst = false;     // image byte order
    uint32_t redMask = 0;
    uint32_t greenMask = 0;
    uint32_t blueMask = 0;
};

// Converts `height` rows of server pixels (top row first, `srcStride` bytes
// apart) into 24-bit memory rows of `out`, starting at column `dstX` of the
// picture's top line `dstTop`. False for a format it cannot read.
bool ConvertXRows(const XPixelFormat& format, const uint8_t* src, uint32_t srcStride,
                  uint32_t width, uint32_t height, CxImage& out, uint32_t dstX, uint32_t dstTop);

class XcbScreenSource : public ScreenSource {
public:
    // `display` null: $DISPLAY. `allowShm` false forces GetImage; so does the
    // environment variable FRAMELOOP_NO_SHM set to anything but "0".
    explicit XcbScreenSource(const char* display = nullptr, bool allowShm = true);
    ~XcbScreenSource() override;
    XcbScreenSource(const XcbScreenSource&) = delete;
    XcbScreenSource& operator=(const XcbScreenSource&) = delete;

    bool Grab(const CaptureRect& rect, CxImage& out) override;
    // The connection failed or broke (the X server ended or refused us).
    bool Lost() const override;

    // The connection is up and the root visual is one we can read.
    bool Usable() const;
    // MIT-SHM is (still) used for the next grab.
    bool UsingShm() const;
    const XPixelFormat& Format() const;

    // True when a connection to `display` (null: $DISPLAY) can be opened.
    static bool CanConnect(const char* display = nullptr);

private:
    struct State;
    std::unique_ptr<State> state_;
};
