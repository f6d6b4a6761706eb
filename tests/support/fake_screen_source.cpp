#include "fake_screen_source.h"

#include <algorithm>
#include <limits>
#include <utility>

FakeScreenSource::FakeScreenSource() : FakeScreenSource(Options{}) {}

FakeScreenSource::FakeScreenSource(Options options, Counter grabs)
    : options_(options), grabs_(std::move(grabs)) {}

std::function<std::unique_ptr<ScreenSource>()> FakeScreenSource::Factory() {
    return Factory(Options{});
}

std::function<std::unique_ptr<ScreenSource>()> FakeScreenSource::Factory(Options options,
                                                                         Counter grabs) {
    return [options, grabs] { return std::make_unique<FakeScreenSource>(options, grabs); };
}

// Green steps by 67 (odd, so 256 neighbours all differ) to make neighbouring
// grabs look clearly different after colour reduction; blue holds the high bits.
constexpr int32_t kGreenStep = 67;
constexpr int32_t kGreenStepInverse = 107; // 67 * 107 = 1 (mod 256)

RgbQuad FakeScreenSource::PixelOf(int32_t grab, int32_t x, int32_t y) {
    const auto red = static_cast<uint8_t>((x * 7 + y * 13) & 0xFF);
    const auto green = static_cast<uint8_t>((grab * kGreenStep) & 0xFF);
    const auto blue = static_cast<uint8_t>((grab >> 8) & 0xFF);
    return MakeQuad(red, green, blue);
}

int32_t FakeScreenSource::GrabNumberOf(const CxImage& frame, const CaptureRect& rect, int32_t x,
                                       int32_t y) {
    const int64_t row = int64_t(frame.Height()) - 1 - (int64_t(y) - rect.top);
    const RgbQuad c = frame.ColorAtRaw(int64_t(x) - rect.left, row);
    const int32_t low = (int32_t(c.rgbGreen) * kGreenStepInverse) & 0xFF;
    return (int32_t(c.rgbBlue) << 8) | low;
}

bool FakeScreenSource::Lost() const {
    return options_.lostAfter >= 0 && made_ >= options_.lostAfter;
}

bool FakeScreenSource::Grab(const CaptureRect& rect, CxImage& out) {
    if (Lost())
        return false;
    ++attempts_;
    if (options_.failEvery > 0 && attempts_ % options_.failEvery == 0)
        return false;
    if (!CreateFrameFor(rect, out))
        return false;
    out.ClearPixels();
    const int32_t grab = made_++;
    for (uint32_t row = 0; row < out.Height(); ++row) {
        const int64_t y = int64_t(rect.top) + (out.Height() - 1 - row);
        if (y < 0 || y >= options_.screenHeight)
            continue;
        uint8_t* d = out.Row(row);
        for (int64_t x = std::max<int64_t>(rect.left, 0);
             x < std::min<int64_t>(rect.right, options_.screenWidth); ++x) {
            const RgbQuad c = PixelOf(grab, int32_t(x), int32_t(y));
            uint8_t* p = d + (x - rect.left) * 3;
            p[0] = c.rgbBlue;
            p[1] = c.rgbGreen;
            p[2] = c.rgbRed;
        }
    }
    if (grabs_)
        ++*grabs_;
    return true;
}
