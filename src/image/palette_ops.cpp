#include "image/palette_ops.h"

#include <algorithm>
#include <array>

void FillWithIndex(CxImage& image, uint8_t index) {
    if (image.BitsPerPixel() == 1)
        index = index != 0 ? 1 : 0;
    image.FillIndex(index);
}

void SetPaletteFromRgb(CxImage& image, std::span<const uint8_t> red, std::span<const uint8_t> green,
                       std::span<const uint8_t> blue) {
    const std::size_t n =
        std::min({red.size(), green.size(), blue.size(), std::size_t(image.NumColors())});
    std::array<RgbQuad, 256> table{};
    const std::size_t count = std::min(n, table.size());
    for (std::size_t i = 0; i < count; ++i)
        table[i] = MakeQuad(red[i], green[i], blue[i]);
    image.SetPaletteColors(std::span<const RgbQuad>(table.data(), count));
}

bool AlphaFromGrayImage(CxImage& image, const CxImage& gray) {
    if (!image.IsValid() || !gray.IsValid() || !gray.IsGrayScale() ||
        gray.Width() != image.Width() || gray.Height() != image.Height())
        return false;
    if (!image.AlphaCreate())
        return false;
    for (uint32_t y = 0; y < image.Height(); ++y)
        for (uint32_t x = 0; x < image.Width(); ++x)
            image.SetAlphaAt(x, y, gray.IndexAt(x, y));
    return true;
}
