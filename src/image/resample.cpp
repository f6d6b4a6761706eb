// Shrinking by area averaging: each new pixel is the mean of the source area it
// covers, partly covered source pixels weighing by the fraction covered. The
// arithmetic is 32-bit float on purpose, so results match the frames this
// program has always produced (a uniform value may come out one lower).

#include "image/cximage.h"

#include <algorithm>
#include <cmath>

namespace {

struct Span {
    float lo = 0.0f;
    float hi = 0.0f;
};

// Width of the overlap of [a.lo, a.hi] with the unit cell of pixel `p`; a
// negative overlap is no overlap.
float CellOverlap(Span area, int32_t p) {
    const float cellLo = float(p) - 0.5f;
    const float cellHi = float(p) + 0.5f;
    return std::min(area.hi, cellHi) - std::max(area.lo, cellLo);
}

int32_t Clamp(int32_t v, int32_t hi) {
    return std::clamp(v, int32_t(0), hi);
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

} // namespace

RgbQuad CxImage::AreaColor(float xc, float yc, float w, float h) const {
    const int32_t maxX = int32_t(Width()) - 1;
    const int32_t maxY = int32_t(Height()) - 1;
    // Outside coordinates repeat the edge pixels.
    const auto at = [&](int32_t x, int32_t y) {
        return ColorAtRaw(Clamp(x, maxX), Clamp(y, maxY));
    };

    const Span xs{xc - w / 2.0f, xc + w / 2.0f};
    const Span ys{yc - h / 2.0f, yc + h / 2.0f};
    const int32_t x1 = int32_t(xs.lo + 0.5f);
    const int32_t y1 = int32_t(ys.lo + 0.5f);
    const int32_t x2 = int32_t(xs.hi + 0.5f);
    const int32_t y2 = int32_t(ys.hi + 0.5f);

    ChannelSums sum;
    if (x2 > x1 && y2 > y1) {
        // The area spans at least two cells each way (always so when shrinking):
        // corners, then the edge rows and columns, then the fully covered inside.
        float wA = CellOverlap(xs, x1), hA = CellOverlap(ys, y1);
        float wB = CellOverlap(xs, x2), hB = CellOverlap(ys, y2);
        // An empty corner contributes nothing; a zero-width corner keeps the
        // height its edge row or column still needs.
        if (wA < 0.0f || hA < 0.0f)
            wA = hA = 0.0f;
        if (wB < 0.0f || hB < 0.0f)
            wB = hB = 0.0f;
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
            const float wy = std::max(CellOverlap(ys, y), 0.0f);
            for (int32_t x = x1; x <= x2; ++x)
                sum.Add(at(x, y), std::max(CellOverlap(xs, x), 0.0f) * wy);
        }
    }

    const float surface = (xs.hi - xs.lo) * (ys.hi - ys.lo);
    const float reciprocal = surface > 0.0f ? 1.0f / surface : 0.0f;
    return MakeQuad(ToChannel(sum.r * reciprocal), ToChannel(sum.g * reciprocal),
                    ToChannel(sum.b * reciprocal));
}

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
    if (const RgbQuad* table = Palette(); table)
        resized.SetPaletteColors(std::span<const RgbQuad>(table, std::min(NumColors(), 256u)));
    if (HasAlpha() && !resized.AlphaCreate()) {
        SetLastError("CxImage::Resize can't allocate memory");
        return false;
    }

    const bool averaging = (xScale > 1.0f || yScale > 1.0f) && !noAveraging;
    for (int32_t dY = 0; dY < newHeight; ++dY) {
        // A stop request leaves the image as it was rather than half resized.
        if (info_.nEscape)
            return false;
        const float sY = (float(dY) + 0.5f) * yScale - 0.5f;
        for (int32_t dX = 0; dX < newWidth; ++dX) {
            RgbQuad c;
            if (averaging) {
                const float sX = (float(dX) + 0.5f) * xScale - 0.5f;
                c = AreaColor(sX, sY, xScale, yScale);
            } else {
                c = ColorAtRaw(std::min(uint32_t(float(dX) * xScale), Width() - 1),
                               std::min(uint32_t(float(dY) * yScale), Height() - 1));
            }
            resized.SetColorAt(dX, dY, c);
        }
    }

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
