#include "platform/screen_source.h"

#include <limits>

bool CreateFrameFor(const CaptureRect& rect, CxImage& out) {
    const int64_t width = int64_t(rect.right) - rect.left;
    const int64_t height = int64_t(rect.bottom) - rect.top;
    if (width <= 0 || height <= 0 || width > std::numeric_limits<int32_t>::max() ||
        height > std::numeric_limits<int32_t>::max())
        return false;
    return out.Create(uint32_t(width), uint32_t(height), 24) != nullptr;
}
