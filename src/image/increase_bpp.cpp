// Raising a palette image to a deeper format. Imported GIF frames go to 24 bits
// so that subtitles and scaling work on true colours; the transparent index and
// its colour travel along, the latter as the background colour.

#include "image/cximage.h"

#include <algorithm>

namespace {

bool CopyPlanes(const CxImage& from, CxImage& to) {
    const std::size_t n = std::size_t(from.Width()) * from.Height();
    if (from.HasSelection()) {
        if (!to.SelectionCreate())
            return false;
        std::copy_n(from.SelectionPlane(), n, to.SelectionPlane());
    }
    if (from.HasAlpha()) {
        if (!to.AlphaCreate())
            return false;
        std::copy_n(from.AlphaPlane(), n, to.AlphaPlane());
    }
    return true;
}

} // namespace

bool CxImage::IncreaseBpp(uint32_t bits) {
    if (!IsValid() || bits > 24)
        return false;
    if (bits <= BitsPerPixel())
        return true;

    CxImage raised;
    raised.CopyInfoFrom(*this);
    if (!raised.Create(Width(), Height(), bits, Type())) {
        SetLastError(raised.LastError());
        return false;
    }
    if (info_.nBkgndIndex >= 0)
        raised.SetBackgroundColor(PaletteColor(uint32_t(info_.nBkgndIndex)));
    if (!CopyPlanes(*this, raised)) {
        SetLastError("CxImage::IncreaseBpp can't allocate memory");
        return false;
    }

    // A deeper palette keeps the same entries and indices; 24 bits takes colours.
    const bool toPalette = raised.NumColors() > 0;
    if (toPalette)
        raised.SetPaletteColors(std::span<const RgbQuad>(Palette(), NumColors()));

    const int64_t width = Width();
    const int64_t height = Height();
    for (int64_t y = 0; y < height; ++y) {
        // A stop request leaves the image as it was rather than half converted.
        if (info_.nEscape)
            return false;
        for (int64_t x = 0; x < width; ++x) {
            if (toPalette)
                raised.SetIndexAt(x, y, IndexAt(x, y));
            else
                raised.SetColorAtRaw(x, y, ColorAtRaw(x, y, true), true);
        }
    }
    return TakeOver(raised);
}
