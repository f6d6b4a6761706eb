#pragma once
// New subtitles as the editor's "Add Subtitle" makes them, and the conversions
// between a font size in points and a font height in pixels.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "gif/subtitle.h"

// The style a new subtitle takes: the editor's style controls, which start
// from the subtitle defaults of the settings.
struct SubtitleStyle {
    std::string fontName = "Verdana"; // at most 31 bytes are kept
    int32_t fontSize = 14;            // points
    bool bold = true;
    bool italic = false;
    uint32_t textColor = 0x0000FFFF; // 0x00BBGGRR: yellow
    int32_t background = int32_t(SubtitleBackground::Outline);
    uint32_t backColor = 0; // black
};

// Where a new subtitle goes and what it covers.
struct SubtitlePlacement {
    int32_t firstFrameHeight = 0; // height of frame 1 of the recording
    int32_t shownFrame = 1;       // the frame the editor shows (1-based)
    int32_t frameCount = 1;       // frames held
};

// Values of the C library's generator style: any 32-bit value, taken modulo 5.
using RandomSource = std::function<uint32_t()>;

// A generator seeded with the current time in seconds, as each press of
// "Add Subtitle" does.
RandomSource TimeSeededRandom();

inline constexpr char kNewSubtitleText[] = "Please Modify me";
// Sizes beyond this are cut down: no frame is tall enough to show more.
inline constexpr int32_t kMaxFontPoints = 1638;

// Font height for a size in points: -(points x ppi / 72), the quotient rounded
// to the nearest integer. A size below 1 point counts as 1, above
// kMaxFontPoints as kMaxFontPoints; a resolution of 0 or less as 96.
int32_t FontHeightFromPoints(int32_t points, int32_t pixelsPerInch);

// The size shown for a font height: truncate(0.5 - height x 72 / ppi).
int32_t PointsFromFontHeight(int32_t height, int32_t pixelsPerInch);

// A subtitle filled as "Add Subtitle" fills it: at (r1 mod 5, frame-1 height -
// 20 - r2 mod 5), covering the shown frame to the last one, the text "Please
// Modify me" in the given style. Text is anti-aliased. A background outside
// the three styles becomes Outline.
std::unique_ptr<SubtitleItem> CreateSubtitle(const SubtitlePlacement& placement,
                                             const SubtitleStyle& style, int32_t pixelsPerInch,
                                             const RandomSource& random);
