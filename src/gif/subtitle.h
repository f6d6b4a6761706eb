#pragma once
// A subtitle: a text burnt into a range of frames. The list of all subtitles
// of the current recording lives here so the GIF stages can read it; the
// editor creates and changes the records.

#include <cstdint>
#include <memory>
#include <vector>

#include "image/text_info.h"

enum class SubtitleBackground : int32_t {
    None = 0,      // "No, thanks"
    Rectangle = 1, // "Rectangle"
    Outline = 2,   // "Outline"
};

struct SubtitleItem {
    uint8_t selected = 0;
    int32_t x = 0; // left edge, unscaled frame pixels
    int32_t y = 0; // bottom edge of the text box, counted down from the top
    int32_t width = 0;
    int32_t height = 0;
    int32_t firstFrame = 1; // 1-based, inclusive
    int32_t lastFrame = 1;
    int32_t background = 0; // a SubtitleBackground value
    TextInfo text;

    bool Covers(int32_t frame) const { return firstFrame <= frame && frame <= lastFrame; }
};

// Owns its records; list order is creation order and drawing order.
using SubtitleList = std::vector<std::unique_ptr<SubtitleItem>>;
