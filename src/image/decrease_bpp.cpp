// Palette reduction: every pixel mapped to its nearest table entry, optionally
// spreading each pixel's mapping error to the pixels not yet mapped (right
// neighbour 7/16; next memory row 2/16, 4/16, 1/16 at x - 1, x, x + 1). Rows
// are walked in memory order, so the bottom line of the picture comes first.

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "image/cximage.h"

namespace {

constexpr const char* kDepthError = "DecreaseBpp: target BPP greater than source BPP";
constexpr const char* kAllocError = "CxImage::Create can't allocate memory";

// Mapping error per channel, signed.
struct ColorError {
    int32_t red = 0, green = 0, blue = 0;
};

ColorError ErrorBetween(RgbQuad wanted, RgbQuad picked) {
    return {int32_t(wanted.rgbRed) - picked.rgbRed, int32_t(wanted.rgbGreen) - picked.rgbGreen,
            int32_t(wanted.rgbBlue) - picked.rgbBlue};
}

// channel + error x weight / 16, truncated toward zero, clamped to a byte.
uint8_t Spread(uint8_t channel, int32_t error, int32_t weight) {
    return uint8_t(std::clamp(int32_t(channel) + error * weight / 16, 0, 255));
}

RgbQuad Spread(RgbQuad c, const ColorError& e, int32_t weight) {
    c.rgbRed = Spread(c.rgbRed, e.red, weight);
    c.rgbGreen = Spread(c.rgbGreen, e.green, weight);
    c.rgbBlue = Spread(c.rgbBlue, e.blue, weight);
    return c;
}

// Writes the error of pixel (x, y) into the pixels that are mapped later.
// Pixels outside the image are skipped, as SetColorAt does.
void DiffuseInto(CxImage& source, int64_t x, int64_t y, const ColorError& e) {
    struct Share {
        int64_t dx, dy;
        int32_t weight;
    };
    static constexpr Share kShares[] = {{1, 0, 7}, {-1, 1, 2}, {0, 1, 4}, {1, 1, 1}};
    for (const Share& s : kShares) {
        if (source.IsInside(x + s.dx, y + s.dy)) {
            const RgbQuad c = source.ColorAt(x + s.dx, y + s.dy);
            source.SetColorAt(x + s.dx, y + s.dy, Spread(c, e, s.weight));
        }
    }
}

void StoreIndex(CxImage& target, uint8_t* row, uint32_t x, uint32_t y, uint8_t index) {
    if (target.BitsPerPixel() == 8)
        row[x] = index;
    else
        target.SetIndexAt(x, y, index);
}

// One 24-bit row as quads, the reserved byte as ColorAt reports it.
void ReadRow(const CxImage& source, uint32_t y, uint8_t reserved, std::vector<RgbQuad>& out) {
    const uint8_t* p = source.Row(y);
    for (RgbQuad& c : out) {
        c = RgbQuad{p[0], p[1], p[2], reserved};
        p += 3;
    }
}

// Reduction of a 24-bit image into a palette image. The diffusion works on two
// row buffers instead of writing through the source, which gives the same
// values (each write is clamped as SetColorAt would store it) and leaves the
// source untouched should the reduction be stopped.
bool ReduceTrueColor(CxImage& source, CxImage& target, bool errorDiffusion) {
    const uint32_t width = source.Width(), height = source.Height();
    const uint8_t reserved = source.BackgroundColor().rgbReserved;
    const RgbQuad* table = std::as_const(target).Palette();
    std::vector<RgbQuad> current(width), next(width);
    ReadRow(source, 0, reserved, current);
    for (uint32_t y = 0; y < height; ++y) {
        if (source.Escape())
            return false;
        source.SetProgress(int32_t(uint64_t(y) * 100 / height));
        const bool hasNext = y + 1 < height;
        if (hasNext)
            ReadRow(source, y + 1, reserved, next);
        uint8_t* out = target.Row(y);
        for (uint32_t x = 0; x < width; ++x) {
            const RgbQuad c = current[x];
            const uint8_t index = target.NearestIndex(c);
            StoreIndex(target, out, x, y, index);
            if (!errorDiffusion)
                continue;
            const ColorError e = ErrorBetween(c, table[index]);
            const bool hasRight = x + 1 < width;
            if (hasRight)
                current[x + 1] = Spread(current[x + 1], e, 7);
            if (hasNext) {
                if (x > 0)
                    next[x - 1] = Spread(next[x - 1], e, 2);
                next[x] = Spread(next[x], e, 4);
                if (hasRight)
                    next[x + 1] = Spread(next[x + 1], e, 1);
            }
        }
        current.swap(next);
    }
    return true;
}

// Any other source depth, through the pixel accessors. With diffusion the
// error goes into a scratch copy of the source, so a palette source still sees
// every diffused colour snapped to its own table, as writing into it would.
bool ReduceAnyDepth(CxImage& source, CxImage& target, bool errorDiffusion) {
    std::unique_ptr<CxImage> scratch;
    if (errorDiffusion) {
        scratch = std::make_unique<CxImage>(source, true, false, false);
        if (!scratch->IsValid()) {
            source.SetLastError(kAllocError);
            return false;
        }
    }
    CxImage& from = scratch ? *scratch : source;
    const uint32_t width = source.Width(), height = source.Height();
    for (uint32_t y = 0; y < height; ++y) {
        if (source.Escape())
            return false;
        source.SetProgress(int32_t(uint64_t(y) * 100 / height));
        for (uint32_t x = 0; x < width; ++x) {
            const RgbQuad c = from.ColorAtRaw(x, y);
            target.SetColorAtRaw(x, y, c);
            if (errorDiffusion)
                DiffuseInto(from, x, y, ErrorBetween(c, target.ColorAtRaw(x, y)));
        }
    }
    return true;
}

bool CopyPlanes(const CxImage& source, CxImage& target) {
    const std::size_t n = std::size_t(source.Width()) * source.Height();
    if (source.HasSelection()) {
        if (!target.SelectionCreate())
            return false;
        std::memcpy(target.SelectionPlane(), source.SelectionPlane(), n);
    }
    if (source.HasAlpha()) {
        if (!target.AlphaCreate())
            return false;
        std::memcpy(target.AlphaPlane(), source.AlphaPlane(), n);
    }
    return true;
}

} // namespace

// `table` must hold at least min(n, 2^depth) entries, where n is colorsImportant
// when non-zero and 2^bits otherwise.
bool CxImage::DecreaseBpp(uint32_t bits, bool errorDiffusion, const RgbQuad* table,
                          uint32_t colorsImportant) {
    // A view cannot take a new pixel block; refuse before doing the work.
    if (!IsValid() || IsView())
        return false;
    if (BitsPerPixel() < bits) {
        SetLastError(kDepthError);
        return false;
    }
    if (BitsPerPixel() == bits) {
        if (colorsImportant == 0)
            return true;
        if (ColorsImportant() != 0 && ColorsImportant() < colorsImportant)
            return true;
    }

    CxImage reduced;
    reduced.CopyInfoFrom(*this);
    reduced.Create(Width(), Height(), bits, Type());
    if (colorsImportant != 0)
        reduced.SetColorsImportant(colorsImportant);
    if (!reduced.IsValid()) {
        SetLastError(reduced.LastError());
        return false;
    }
    if (!CopyPlanes(*this, reduced)) {
        SetLastError(kAllocError);
        return false;
    }
    if (table) {
        const uint64_t wanted = colorsImportant != 0 ? colorsImportant
                                : bits < 32          ? uint64_t(1) << bits
                                                     : reduced.NumColors();
        const std::size_t n = std::size_t(std::min<uint64_t>(wanted, reduced.NumColors()));
        reduced.SetPaletteColors(std::span<const RgbQuad>(table, n));
    }

    const bool done = BitsPerPixel() == 24 && reduced.NumColors() > 0
                          ? ReduceTrueColor(*this, reduced, errorDiffusion)
                          : ReduceAnyDepth(*this, reduced, errorDiffusion);
    if (!done)
        return false;
    // Sub-frames of this image are kept: only its own pixels were reduced.
    return TakeOver(reduced, false);
}
