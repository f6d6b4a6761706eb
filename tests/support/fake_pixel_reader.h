#pragma once
// A screen made up for the eyedropper tests: each point's colour comes from a
// function of its coordinates, and the reads are counted.

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

#include "platform/screen_pixel_reader.h"

class FakePixelReader : public ScreenPixelReader {
public:
    using Screen = std::function<std::optional<uint32_t>(int32_t x, int32_t y)>;

    // A 1920 x 1080 screen of the pattern below.
    FakePixelReader() : FakePixelReader(Pattern(1920, 1080)) {}
    explicit FakePixelReader(Screen screen) : screen_(std::move(screen)) {}

    std::optional<uint32_t> PixelAt(int32_t x, int32_t y) override {
        ++reads_;
        return screen_(x, y);
    }
    int Reads() const { return reads_; }

    // Inside width x height a colour that tells the point: red = x mod 256,
    // green = y mod 256, blue = 0x5A; nothing outside.
    static Screen Pattern(int32_t width, int32_t height) {
        return [width, height](int32_t x, int32_t y) -> std::optional<uint32_t> {
            if (x < 0 || y < 0 || x >= width || y >= height)
                return std::nullopt;
            return PatternColor(x, y);
        };
    }
    static uint32_t PatternColor(int32_t x, int32_t y) {
        return uint32_t(x & 0xFF) | uint32_t(y & 0xFF) << 8 | 0x5Au << 16;
    }

private:
    Screen screen_;
    int reads_ = 0;
};
