// Text burnt into frames. The platform renders white text on black into a
// scratch mask; the frame's pixels are then coloured through that mask, so
// what lands in the frame depends only on the mask, not on the toolkit.

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "image/cximage.h"
#include "image/text_info.h"
#include "image/text_rasterizer.h"

namespace {

// Line breaks as the rasteriser splits them: CR LF, a lone CR or a lone LF.
int64_t CountLines(std::string_view text) {
    int64_t lines = 1;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            ++lines;
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (text[i] == '\n') {
            ++lines;
        }
    }
    return lines;
}

// The part of a text box that falls inside the frame. Box columns ix and
// top-down box rows k; the box's bottom row sits on frame memory row `base`.
struct BoxWindow {
    int64_t firstColumn = 0;
    int64_t lastColumn = -1;
    int64_t firstRow = 0;
    int64_t lastRow = -1;
    bool Empty() const { return lastColumn < firstColumn || lastRow < firstRow; }
    int64_t Width() const { return lastColumn - firstColumn + 1; }
    int64_t Height() const { return lastRow - firstRow + 1; }
};

BoxWindow VisiblePart(int64_t x, int64_t base, int64_t boxWidth, int64_t boxHeight,
                      int64_t frameWidth, int64_t frameHeight) {
    BoxWindow w;
    w.firstColumn = std::max<int64_t>(0, -x);
    w.lastColumn = std::min(boxWidth - 1, frameWidth - 1 - x);
    // Box row k lies on memory row base + boxHeight - 1 - k.
    w.firstRow = std::max<int64_t>(0, base + boxHeight - frameHeight);
    w.lastRow = std::min(boxHeight - 1, base + boxHeight - 1);
    return w;
}

// One intensity byte per mask pixel: the rasteriser's three channels are
// equal, so this is the blue byte and also the grey level of the mask.
struct Mask {
    BoxWindow window;
    std::vector<uint8_t> pixels;
    uint8_t At(int64_t ix, int64_t k) const {
        return pixels[std::size_t((k - window.firstRow) * window.Width() +
                                  (ix - window.firstColumn))];
    }
};

bool RenderMask(TextRasterizer& rasterizer, std::string_view text, const LogFont& font,
                TextPrefix prefix, int64_t boxWidth, int64_t boxHeight, Mask& mask) {
    const BoxWindow& w = mask.window;
    mask.pixels.assign(std::size_t(w.Width() * w.Height()), 0);
    TextRaster target;
    target.pixels = mask.pixels;
    target.width = int32_t(w.Width());
    target.height = int32_t(w.Height());
    target.stride = std::size_t(w.Width());
    target.bytesPerPixel = 1;
    target.originX = int32_t(w.firstColumn);
    target.originY = int32_t(w.firstRow);
    return rasterizer.Render(text, font, prefix, int32_t(boxWidth), int32_t(boxHeight), target);
}

// Frame sizes and text boxes are bounded by int32 on every path that reaches
// the rasteriser.
bool FitsInt32(int64_t v) {
    return v > 0 && v <= INT32_MAX;
}

uint8_t Blend(float a, uint8_t under, uint8_t text) {
    return uint8_t(int32_t(a * float(int32_t(under) - int32_t(text)) + float(text)));
}

} // namespace

int32_t CxImage::DrawPlainText(TextRasterizer& rasterizer, int32_t x, int32_t y,
                               std::string_view text, RgbQuad color, std::string_view faceName,
                               int32_t height, int32_t weight, bool italic, bool underline,
                               bool withAlpha) {
    if (!IsValid())
        return 1;

    LogFont font; // every other field 0, character set included
    const std::size_t faceLength = std::min<std::size_t>(faceName.size(), 31);
    std::memcpy(font.lfFaceName, faceName.data(), faceLength);
    font.lfHeight = height;
    font.lfWeight = weight;
    font.lfItalic = italic ? 1 : 0;
    font.lfUnderline = underline ? 1 : 0;

    TextExtent extent;
    if (!rasterizer.Measure(text, font, TextPrefix::Mnemonic, extent))
        return 0;
    // The extra width of one line height leaves room for an italic overhang.
    const int64_t boxWidth = int64_t(extent.width) + extent.height;
    const int64_t boxHeight = extent.height;
    if (!FitsInt32(boxWidth) || !FitsInt32(boxHeight))
        return 1;

    const int64_t base = int64_t(Height()) - 1 - y;
    Mask mask;
    mask.window = VisiblePart(x, base, boxWidth, boxHeight, Width(), Height());
    if (mask.window.Empty())
        return 1;
    if (!RenderMask(rasterizer, text, font, TextPrefix::Mnemonic, boxWidth, boxHeight, mask))
        return 0;

    // Any lit pixel, however faint, takes the full colour: hard edges.
    for (int64_t k = mask.window.firstRow; k <= mask.window.lastRow; ++k)
        for (int64_t ix = mask.window.firstColumn; ix <= mask.window.lastColumn; ++ix)
            if (mask.At(ix, k) != 0)
                SetColorAt(x + ix, base + boxHeight - 1 - k, color, withAlpha);
    return 1;
}

int32_t CxImage::DrawStyledText(TextRasterizer& rasterizer, int32_t x, int32_t y,
                                const TextInfo& info, bool withAlpha) {
    if (!IsValid())
        return -1;

    const std::string_view text(info.text, strnlen(info.text, sizeof info.text));
    const RgbQuad textQuad = ColorRefToQuad(info.textColor);
    const RgbQuad boxQuad = ColorRefToQuad(info.boxColor);

    TextExtent extent;
    if (!rasterizer.Measure(text, info.font, TextPrefix::None, extent))
        return 0;
    const int64_t lines = CountLines(text);
    int64_t right = extent.width;
    const int64_t bottom = extent.height;
    // The measurement stops at the last advance; a slanted last glyph needs
    // half a line height more.
    if (info.font.lfItalic)
        right += (bottom / 2) / lines;
    if (info.opaque)
        right += (bottom / lines) / 3;
    const int64_t boxWidth = right;
    const int64_t boxHeight = bottom;
    if (!FitsInt32(boxWidth) || !FitsInt32(boxHeight))
        return 1;

    // A subtitle pushed off the left edge is moved back in, not cut.
    const int64_t left = std::max(x, 0);
    const int64_t base = int64_t(Height()) - 1 - y;
    const BoxWindow window = VisiblePart(left, base, boxWidth, boxHeight, Width(), Height());
    if (window.Empty())
        return 1;

    if (info.opaque) {
        for (int64_t k = window.firstRow; k <= window.lastRow; ++k)
            for (int64_t ix = window.firstColumn; ix <= window.lastColumn; ++ix)
                SetColorAt(left + ix, base + boxHeight - 1 - k, boxQuad, withAlpha);
    }

    Mask mask;
    mask.window = window;
    if (!RenderMask(rasterizer, text, info.font, TextPrefix::None, boxWidth, boxHeight, mask))
        return 0;

    for (int64_t k = window.firstRow; k <= window.lastRow; ++k) {
        for (int64_t ix = window.firstColumn; ix <= window.lastColumn; ++ix) {
            // Inverted mask: 0 is pure text, 255 untouched background.
            uint8_t t = uint8_t(255 - mask.At(ix, k));
            if (info.smooth == 0) {
                // Grey of three equal channels (306 + 601 + 117 = 1024) is t itself.
                const uint32_t grey = (306u * t + 601u * t + 117u * t) >> 10;
                t = grey > 128 ? 255 : 0;
            }
            if (t == 255)
                continue;
            const float a = float(t) * (1.0f / 255.0f);
            const int64_t px = left + ix;
            const int64_t py = base + boxHeight - 1 - k;
            const RgbQuad under = ColorAt(px, py);
            const RgbQuad mixed{Blend(a, under.rgbBlue, textQuad.rgbBlue),
                                Blend(a, under.rgbGreen, textQuad.rgbGreen),
                                Blend(a, under.rgbRed, textQuad.rgbRed), 0};
            SetColorAt(px, py, mixed, withAlpha);
        }
    }
    return 1;
}
