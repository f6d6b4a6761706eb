#pragma once
// The Qt text rasteriser the program letters subtitles with, for tests that
// build GIFs or draw text. One per test program; it holds no state.
#include "platform/qt_text_rasterizer.h"

inline TextRasterizer& TestTextRasterizer() {
    static QtTextRasterizer rasterizer;
    return rasterizer;
}
