#pragma once
// A screen made up for tests: every grab returns a numbered pattern, so a test
// can tell which grab produced a frame and where in the screen it was taken.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/screen_source.h"

class FakeScreenSource : public ScreenSource {
public:
    struct Options {
        int32_t screenWidth = 1920; // outside this screen a grab is black
        int32_t screenHeight = 1080;
        int32_t failEvery = 0;  // when > 0, every failEvery-th grab fails
        int32_t lostAfter = -1; // when >= 0, the display goes away after this many grabs
    };
    // Counts successful grabs; may be shared with the test that made the source.
    using Counter = std::shared_ptr<std::atomic<int32_t>>;

    FakeScreenSource();
    explicit FakeScreenSource(Options options, Counter grabs = nullptr);

    // Makes a fresh fake for every worker that asks, as the engine's source
    // factory does.
    static std::function<std::unique_ptr<ScreenSource>()> Factory();
    static std::function<std::unique_ptr<ScreenSource>()> Factory(Options options,
                                                                  Counter grabs = nullptr);

    bool Grab(const CaptureRect& rect, CxImage& out) override;
    bool Lost() const override;

    // Colour of screen point (x, y) in the grab numbered `grab` (0 = first).
    static RgbQuad PixelOf(int32_t grab, int32_t x, int32_t y);
    // The grab number a frame came from, read back from its pixel at screen
    // point (x, y) (which must lie on the screen).
    static int32_t GrabNumberOf(const CxImage& frame, const CaptureRect& rect, int32_t x,
                                int32_t y);

private:
    Options options_;
    Counter grabs_;
    int32_t attempts_ = 0;
    int32_t made_ = 0;
};
