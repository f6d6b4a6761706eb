#pragma once
// Reads every byte of a frame's rows, so a frame that claims more pixels than
// it holds shows up under AddressSanitizer. The sum goes to a volatile so the
// reads cannot be optimised away.

#include <cstddef>
#include <cstdint>
#include <span>

#include "image/cximage.h"

inline void TouchPixels(const CxImage& frame) {
    static volatile uint32_t sink = 0;
    if (!frame.IsValid())
        return;
    const std::size_t rowBytes = (std::size_t(frame.Width()) * frame.BitsPerPixel() + 7) / 8;
    uint32_t sum = 0;
    for (uint32_t y = 0; y < frame.Height(); ++y) {
        for (const uint8_t byte : std::span<const uint8_t>(frame.Row(y), rowBytes))
            sum += byte;
    }
    sink = sink + sum;
}
