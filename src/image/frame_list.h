#pragma once
// The ordered list of owned frames and the capture rectangle, shared by the
// engine and the GIF stages.

#include <cstdint>
#include <memory>
#include <vector>

#include "image/cximage.h"

// Frame n (1-based) is at position n - 1. A frame's user flags hold its kept
// flag: 1 = goes into the GIF, 0 = dropped in the editor.
using FrameList = std::vector<std::unique_ptr<CxImage>>;

// Screen rectangle, right and bottom excluded.
struct CaptureRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    bool operator==(const CaptureRect&) const = default;
};

// truncate(size x scale): the scale is a 32-bit float, the product is taken in
// double precision, so 70 % of 400 pixels is 279.
inline int32_t ScaledLength(int32_t length, float scale) {
    return static_cast<int32_t>(static_cast<double>(length) * static_cast<double>(scale));
}
