// Shrinking by area averaging: each new pixel is the mean of the source area it
// covers, partly covered source pixels weighing by the fraction covered. The
// arithmetic is 32-bit float on purpose, so results match the frames this
// program has always produced (a uniform value may come out one lower).

#include "image/cximage.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

// Where an area of `size` pixels centred on `centre` lies along one axis: its
// float edges, the first and last pixel it touches (truncated toward zero) and
// how much of those two it covers.
struct AxisCover {
    float lo = 0.0f;
    float hi = 0.0f;
    int32_t first = 0;
    int32_t last = 0;
    float firstCover = 0.0f;
    float lastCover = 0.0f;
};

// Width of the overlap of [lo, hi] with the unit cell of pixel `p`, never negative.
float CellOverlap(float lo, float hi, int32_t p) {
    const float cellLo = float(p) - 0.5f;
    const float cellHi = float(p) + 0.5f;
    return std::max(std::min(hi, cellHi) - std::max(lo, cellLo), 0.0f);
}

AxisCover CoverOf(float centre, float size) {
    AxisCover c;
    c.lo = centre - size / 2.0f;
    c.hi = centre + size / 2.0f;
    c.first = int32_t(c.lo + 0.5f);
    c.last = int32_t(c.hi + 0.5f);
    // A zero-width corner still leaves its edge row or column the height it
    // needs, so each axis is clamped on its own: otherwise a uniform picture
    // would darken wherever an area edge falls exactly on a cell edge.
    c.firstCover = CellOverlap(c.lo, c.hi, c.first);
    c.lastCover = CellOverlap(c.lo, c.hi, c.last);
    return c;
}

// Running channel sums, rounded to float after every addition.
struct ChannelSums {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    void Add(RgbQuad c, float weight) {
        r += float(c.rgbRed) * weight;
        g += float(c.rgbGreen) * weight;
        b += float(c.rgbBlue) * weight;
    }
};

uint8_t ToChannel(float v) {
    return uint8_t(std::clamp(v, 0.0f, 255.0f));
}

// The mean colour of the area, `at` reading source pixels (clamped into the
// image). The order of the additions is part of the result.
template <class Reader> RgbQuad AverageArea(const AxisCover& xs, const AxisCover& ys, Reader at) {
    const int32_t x1 = xs.first, x2 = xs.last, y1 = ys.first, y2 = ys.last;
    ChannelSums sum;
    if (x2 > x1 && y2 > y1) {
        // The area spans at least two cells each way (always so when shrinking):
        // corners, then the edge rows and columns, then the fully covered inside.
        const float wA = xs.firstCover, wB = xs.lastCover;
        const float hA = ys.firstCover, hB = ys.lastCover;
        sum.Add(at(x1, y1), wA * hA);
        sum.Add(at(x2, y1), wB * hA);
        sum.Add(at(x1, y2), wA * hB);
        sum.Add(at(x2, y2), wB * hB);
        for (int32_t x = x1 + 1; x < x2; ++x) {
            sum.Add(at(x, y1), hA);
            sum.Add(at(x, y2), hB);
        }
        for (int32_t y = y1 + 1; y < y2; ++y) {
            sum.Add(at(x1, y), wA);
            sum.Add(at(x2, y), wB);
        }
        for (int32_t x = x1 + 1; x < x2; ++x)
            for (int32_t y = y1 + 1; y < y2; ++y)
                sum.Add(at(x, y), 1.0f);
    } else {
        // An area inside one column or row (enlarging, or shrinking one way
        // only): weigh each touched pixel by its own overlap.
        for (int32_t y = y1; y <= y2; ++y) {
            const float wy = CellOverlap(ys.lo, ys.hi, y);
            for (int32_t x = x1; x <= x2; ++x)
                sum.Add(at(x, y), CellOverlap(xs.lo, xs.hi, x) * wy);
        }
    }

    const float surface = (xs.hi - xs.lo) * (ys.hi - ys.lo);
    const float reciprocal = surface > 0.0f ? 1.0f / surface : 0.0f;
    return MakeQuad(ToChannel(sum.r * reciprocal), ToChannel(sum.g * reciprocal),
                    ToChannel(sum.b * reciprocal));
}

// Reads a 24-bit image straight from its rows; coordinates outside repeat the edge.
class RowReader {
public:
    explicit RowReader(const CxImage& img)
        : img_(img), maxX_(int32_t(img.Width()) - 1), maxY_(int32_t(img.Height()) - 1) {}
    RgbQuad operator()(int32_t x, int32_t y) const {
        const uint8_t* p =
            img_.Row(uint32_t(std::clamp(y, 0, maxY_))) + std::size_t(std::clamp(x, 0, maxX_)) * 3;
        return RgbQuad{p[0], p[1], p[2], 0};
    }

private:
    const CxImage& img_;
    int32_t maxX_;
    int32_t maxY_;
};

// Any depth, through the colour table where there is one.
class ColorReader {
public:
    explicit ColorReader(const CxImage& img)
        : img_(img), maxX_(int32_t(img.Width()) - 1), maxY_(int32_t(img.Height()) - 1) {}
    RgbQuad operator()(int32_t x, int32_t y) const {
        return img_.ColorAtRaw(std::clamp(x, 0, maxX_), std::clamp(y, 0, maxY_));
    }

private:
    const CxImage& img_;
    int32_t maxX_;
    int32_t maxY_;
};

} // namespace

RgbQuad CxImage::AreaColor(float xc, float yc, float w, float h) const {
    const AxisCover xs = CoverOf(xc, w);
    const AxisCover ys = CoverOf(yc, h);
    if (BitsPerPixel() == 24)
        return AverageArea(xs, ys, RowReader(*this));
    return AverageArea(xs, ys, ColorReader(*this));
}

namespace {

// Fills `dst` with the area means of `src`. The covers depend only on the
// column or the row, so they are worked out once; the float steps are the same
// as AreaColor's, so the result is too. False when a stop was requested.
template <class Reader>
bool AverageInto(const CxImage& src, CxImage& dst, float xScale, float yScale, Reader at) {
    const int32_t newWidth = int32_t(dst.Width());
    const int32_t newHeight = int32_t(dst.Height());
    std::vector<AxisCover> columns(static_cast<std::size_t>(newWidth));
    for (int32_t dX = 0; dX < newWidth; ++dX)
        columns[std::size_t(dX)] = CoverOf((float(dX) + 0.5f) * xScale - 0.5f, xScale);
    const bool direct = dst.BitsPerPixel() == 24;
    for (int32_t dY = 0; dY < newHeight; ++dY) {
        if (src.Escape())
            return false;
        const AxisCover row = CoverOf((float(dY) + 0.5f) * yScale - 0.5f, yScale);
        uint8_t* out = dst.Row(uint32_t(dY));
        for (int32_t dX = 0; dX < newWidth; ++dX) {
            const RgbQuad c = AverageArea(columns[std::size_t(dX)], row, at);
            if (direct) {
                out[3 * dX] = c.rgbBlue;
                out[3 * dX + 1] = c.rgbGreen;
                out[3 * dX + 2] = c.rgbRed;
            } else {
                dst.SetColorAt(dX, dY, c); // the nearest table entry
            }
        }
    }
    return true;
}

bool ShrinkByAveraging(const CxImage& src, CxImage& dst, float xScale, float yScale) {
    if (src.BitsPerPixel() == 24)
        return AverageInto(src, dst, xScale, yScale, RowReader(src));
    return AverageInto(src, dst, xScale, yScale, ColorReader(src));
}

// Enlarging: each new pixel repeats the source pixel it falls in.
bool PickNearest(const CxImage& src, CxImage& dst, float xScale, float yScale) {
    for (uint32_t dY = 0; dY < dst.Height(); ++dY) {
        if (src.Escape())
            return false;
        const uint32_t y = std::min(uint32_t(float(dY) * yScale), src.Height() - 1);
        for (uint32_t dX = 0; dX < dst.Width(); ++dX) {
            const uint32_t x = std::min(uint32_t(float(dX) * xScale), src.Width() - 1);
            dst.SetColorAt(dX, dY, src.ColorAtRaw(x, y));
        }
    }
    return true;
}

} // namespace

bool CxImage::Resize(int32_t newWidth, int32_t newHeight, int /*interpolation*/, int /*overflow*/,
                     CxImage* destination, bool noAveraging) {
    if (newWidth <= 0 || newHeight <= 0 || !IsValid())
        return false;
    if (uint32_t(newWidth) == Width() && uint32_t(newHeight) == Height()) {
        if (destination && destination != this) {
            CxImage copy(*this);
            if (!copy.IsValid()) {
                SetLastError(copy.LastError());
                return false;
            }
            return destination->TakeOver(copy);
        }
        return true;
    }

    const float xScale = float(Width()) / float(newWidth);
    const float yScale = float(Height()) / float(newHeight);

    CxImage resized;
    resized.CopyInfoFrom(*this);
    if (!resized.Create(uint32_t(newWidth), uint32_t(newHeight), BitsPerPixel(), Type())) {
        SetLastError(resized.LastError());
        return false;
    }
    if (const RgbQuad* table = std::as_const(*this).Palette(); table)
        resized.SetPaletteColors(std::span<const RgbQuad>(table, std::min(NumColors(), 256u)));
    if (HasAlpha() && !resized.AlphaCreate()) {
        SetLastError("CxImage::Resize can't allocate memory");
        return false;
    }

    const bool averaging = (xScale > 1.0f || yScale > 1.0f) && !noAveraging;
    // A stop request leaves the image as it was rather than half resized.
    const bool filled = averaging ? ShrinkByAveraging(*this, resized, xScale, yScale)
                                  : PickNearest(*this, resized, xScale, yScale);
    if (!filled)
        return false;

    if (HasAlpha()) {
        for (int32_t dY = 0; dY < newHeight; ++dY) {
            const uint32_t y = std::min(uint32_t(float(dY) * yScale), Height() - 1);
            for (int32_t dX = 0; dX < newWidth; ++dX) {
                const uint32_t x = std::min(uint32_t(float(dX) * xScale), Width() - 1);
                resized.SetAlphaAt(dX, dY, AlphaAt(x, y));
            }
        }
    }

    return (destination ? destination : this)->TakeOver(resized);
}
