#include "gif/frame_preparation.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace {

// Progress of this stage stays below 60; the palette stage reports from there.
constexpr double kStageEnd = 60.0;

// Positions come from the editor unchecked; a shift past the int32 range
// would still be off the frame, so it stops at the range's end.
int32_t Shifted(int32_t v, int32_t d) {
    return static_cast<int32_t>(std::clamp<int64_t>(int64_t(v) + d, INT32_MIN, INT32_MAX));
}

// Nine copies in the background colour, shifted by one pixel in every
// direction, then the text on top: a one-pixel outline.
void DrawOutlined(CxImage& image, const SubtitleItem& s, TextRasterizer& rasterizer) {
    const TextInfo& t = s.text;
    const std::string_view text(t.text, strnlen(t.text, sizeof t.text));
    const std::string_view face(t.font.lfFaceName,
                                strnlen(t.font.lfFaceName, sizeof t.font.lfFaceName));
    const auto draw = [&](int32_t x, int32_t y, uint32_t color) {
        image.DrawPlainText(rasterizer, x, y, text, ColorRefToQuad(color), face, t.font.lfHeight,
                            t.font.lfWeight, t.font.lfItalic != 0, t.font.lfUnderline != 0, false);
    };
    for (int32_t dx = -1; dx <= 1; ++dx)
        for (int32_t dy = -1; dy <= 1; ++dy)
            draw(Shifted(s.x, dx), Shifted(s.y, dy), t.boxColor);
    draw(s.x, s.y, t.textColor);
}

} // namespace

void BurnSubtitles(CxImage& image, int32_t frameNumber, const SubtitleList& subtitles,
                   TextRasterizer& text) {
    for (const std::unique_ptr<SubtitleItem>& s : subtitles) {
        if (!s || !s->Covers(frameNumber))
            continue;
        if (s->background == int32_t(SubtitleBackground::Outline))
            DrawOutlined(image, *s, text);
        else
            image.DrawStyledText(text, s->x, s->y, s->text, false);
    }
}

void PrepareFrames(const FrameList& frames, const CaptureRect& rect, float scale,
                   const SubtitleList& subtitles, TextRasterizer& text, FrameList& prepared,
                   const ProgressSink& progress) {
    const std::size_t n = frames.size();
    if (n == 0)
        return;
    const float step = static_cast<float>(kStageEnd / double(n));
    const int32_t width = ScaledLength(rect.Width(), scale);
    const int32_t height = ScaledLength(rect.Height(), scale);

    for (std::size_t i = 0; i < n; ++i) {
        const CxImage* frame = frames[i].get();
        if (frame && frame->UserFlags() != 0) {
            auto copy = std::make_unique<CxImage>(*frame, true, true, true);
            // A frame that cannot be copied is left out rather than sent on
            // empty to the palette stage.
            if (copy->IsValid()) {
                BurnSubtitles(*copy, static_cast<int32_t>(i + 1), subtitles, text);
                copy->Resize(width, height, 5, 5, nullptr, false);
                copy->SetTransparentIndex(-1);
                prepared.push_back(std::move(copy));
            }
        }
        const auto percent = static_cast<int32_t>(double(i) * double(step));
        if (percent < kStageEnd && progress)
            progress(percent);
    }
}
