#include "editor/playback.h"

std::optional<int32_t> NextKeptFrame(const FrameList& frames, int32_t current) {
    const auto count = int32_t(frames.size());
    if (count == 0)
        return std::nullopt;
    int32_t n = current;
    for (int32_t step = 0; step < count; ++step) {
        n = n >= count || n < 1 ? 1 : n + 1;
        const CxImage* frame = frames[std::size_t(n) - 1].get();
        if (frame && frame->UserFlags() != 0)
            return n;
    }
    return std::nullopt;
}
