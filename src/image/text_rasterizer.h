#pragma once
// The one thing text drawing needs from the platform: measuring a text in a
// logical font and rendering it white on black into a small buffer. The image
// layer knows nothing of any toolkit; the program makes the concrete
// rasteriser (the Qt one) where it is assembled and hands it to whatever
// draws text, down to the drawing operations.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "image/text_info.h"

// How an ampersand in the text is treated.
enum class TextPrefix {
    Mnemonic, // "&x" hides the ampersand and underlines x; "&&" draws one "&"
    None,     // an ampersand is an ordinary character
};

struct TextExtent {
    int32_t width = 0;  // widest line, in pixels
    int32_t height = 0; // all lines, in pixels
};

// A caller-owned buffer that receives a window of the rendered text box.
// Rows run top-down; each pixel is one byte (intensity) or three bytes
// (blue, green, red, all equal). The window's top-left pixel is the box pixel
// (originX, originY), so a caller can render only the part it will use.
struct TextRaster {
    std::span<uint8_t> pixels;
    int32_t width = 0;
    int32_t height = 0;
    std::size_t stride = 0;     // bytes per row, at least width * bytesPerPixel
    uint32_t bytesPerPixel = 3; // 1 or 3
    int32_t originX = 0;
    int32_t originY = 0;
};

class TextRasterizer {
public:
    virtual ~TextRasterizer() = default;

    // Size of the box the text needs when drawn from (0, 0), left-aligned,
    // one line per line break (CR, LF or CR LF). Lines are not wrapped.
    // Returns false when the text cannot be measured.
    virtual bool Measure(std::string_view text, const LogFont& font, TextPrefix prefix,
                         TextExtent& extent) = 0;

    // Clears `target` to black and renders the text into the box
    // (0, 0, boxWidth, boxHeight) in white, anti-aliased, left-aligned and
    // clipped to the box. Returns false when the target is malformed or the
    // text cannot be rendered. May be called on any thread.
    virtual bool Render(std::string_view text, const LogFont& font, TextPrefix prefix,
                        int32_t boxWidth, int32_t boxHeight, const TextRaster& target) = 0;
};
