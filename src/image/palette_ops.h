#pragma once
// Small image operations the GIF decoder builds its canvases with.

#include <cstdint>
#include <span>

#include "image/cximage.h"

// Sets every pixel of a palette image to `index` as the depth can hold it: a
// 1-bit image takes any non-zero value as 1, a 4-bit image the low four bits.
// True-colour images are left alone.
void FillWithIndex(CxImage& image, uint8_t index);

// Sets the colour table from separate red, green and blue arrays (as many
// entries as the shortest array and the image's table allow).
void SetPaletteFromRgb(CxImage& image, std::span<const uint8_t> red, std::span<const uint8_t> green,
                       std::span<const uint8_t> blue);

// Gives `image` an alpha plane holding the pixel values of `gray`, a grey-scale
// palette image (entry i is (i, i, i)) of the same size. False, and no change,
// when `gray` is not such an image.
bool AlphaFromGrayImage(CxImage& image, const CxImage& gray);
