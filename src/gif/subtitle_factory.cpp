#include "gif/subtitle_factory.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>
#include <random>
#include <string_view>

namespace {

constexpr int32_t kFallbackPixelsPerInch = 96;
// Placement of a new subtitle above the bottom edge of frame 1.
constexpr int32_t kBottomMargin = 20;
constexpr uint32_t kJitter = 5;

int32_t SaneResolution(int32_t pixelsPerInch) {
    return pixelsPerInch > 0 ? pixelsPerInch : kFallbackPixelsPerInch;
}

// At most `limit` bytes, never ending inside a UTF-8 sequence.
std::string_view CutUtf8(std::string_view s, std::size_t limit) {
    if (s.size() <= limit)
        return s;
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80)
        --end;
    return s.substr(0, end);
}

int32_t SaneBackground(int32_t background) {
    const bool known = background >= int32_t(SubtitleBackground::None) &&
                       background <= int32_t(SubtitleBackground::Outline);
    return known ? background : int32_t(SubtitleBackground::Outline);
}

} // namespace

RandomSource TimeSeededRandom() {
    auto engine = std::make_shared<std::minstd_rand>(
        static_cast<std::minstd_rand::result_type>(std::time(nullptr)));
    return [engine] { return static_cast<uint32_t>((*engine)()); };
}

int32_t FontHeightFromPoints(int32_t points, int32_t pixelsPerInch) {
    const int64_t size = std::clamp(points, 1, kMaxFontPoints);
    const int64_t scaled = size * SaneResolution(pixelsPerInch);
    // Nearest integer of scaled / 72, halves rounded up.
    return -static_cast<int32_t>((2 * scaled + 72) / 144);
}

int32_t PointsFromFontHeight(int32_t height, int32_t pixelsPerInch) {
    const double points = 0.5 - double(height) * 72.0 / double(SaneResolution(pixelsPerInch));
    return static_cast<int32_t>(
        std::clamp(std::trunc(points), double(INT32_MIN), double(INT32_MAX)));
}

std::unique_ptr<SubtitleItem> CreateSubtitle(const SubtitlePlacement& placement,
                                             const SubtitleStyle& style, int32_t pixelsPerInch,
                                             const RandomSource& random) {
    auto item = std::make_unique<SubtitleItem>();
    const uint32_t r1 = random ? random() : 0;
    const uint32_t r2 = random ? random() : 0;
    item->selected = 0;
    item->x = static_cast<int32_t>(r1 % kJitter);
    item->y = static_cast<int32_t>(int64_t(placement.firstFrameHeight) - kBottomMargin -
                                   int64_t(r2 % kJitter));
    item->width = 0;
    item->height = 0;
    // The editor keeps 1 <= first <= last <= frame count; hold it here too.
    const int32_t frames = std::max(placement.frameCount, 1);
    item->firstFrame = std::clamp(placement.shownFrame, 1, frames);
    item->lastFrame = frames;
    item->background = SaneBackground(style.background);

    TextInfo& t = item->text;
    std::memcpy(t.text, kNewSubtitleText, sizeof kNewSubtitleText);
    const std::string_view face = CutUtf8(style.fontName, sizeof t.font.lfFaceName - 1);
    std::memcpy(t.font.lfFaceName, face.data(), face.size());
    t.font.lfHeight = FontHeightFromPoints(style.fontSize, pixelsPerInch);
    t.font.lfWeight = style.bold ? 700 : 400;
    t.font.lfItalic = style.italic ? 1 : 0;
    t.font.lfUnderline = 0;
    t.font.lfCharSet = 1; // the platform's default character set
    t.textColor = style.textColor;
    t.align = 0;
    // Anti-aliased edges look better on video frames than hard ones.
    t.smooth = 1;
    t.opaque = item->background == int32_t(SubtitleBackground::Rectangle) ? 1 : 0;
    t.boxColor = style.backColor;
    t.boxOpacity = 0.0f;
    t.cornerRound = 0;
    return item;
}
