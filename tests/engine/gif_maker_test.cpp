// The engine's own state: frame list access, kept flags, setters, the memory
// budget's default.

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "engine/gif_maker.h"
#include "env_guard.h"
#include "fake_screen_source.h"
#include "test_rasterizer.h"

namespace {

std::unique_ptr<CxImage> Frame(uint32_t width) {
    auto frame = std::make_unique<CxImage>();
    frame->Create(width, 4, 24);
    frame->SetUserFlags(1);
    return frame;
}

TEST(GifMaker, StartsWithTheDefaults) {
    const CGifMaker maker(FakeScreenSource::Factory(), TestTextRasterizer());
    // No rectangle of its own: the owner hands one over before recording.
    EXPECT_EQ(maker.GetCaptureRect(), CaptureRect{});
    EXPECT_EQ(maker.GifFrameRate(), 20);
    EXPECT_FLOAT_EQ(maker.Scale(), 0.5f);
    EXPECT_TRUE(maker.OutputPath().empty());
    EXPECT_EQ(maker.FrameCount(), 0);
    EXPECT_FALSE(maker.WorkerRunning());
    EXPECT_EQ(maker.Worker(), nullptr);
}

TEST(GifMaker, InvertedCaptureRectIsIgnored) {
    CGifMaker maker(FakeScreenSource::Factory(), TestTextRasterizer());
    maker.SetCaptureRect(1, 2, 30, 40);
    maker.SetCaptureRect(10, 10, 5, 20);
    EXPECT_EQ(maker.GetCaptureRect(), (CaptureRect{1, 2, 30, 40}));
    maker.SetCaptureRect(10, 20, 15, 19);
    EXPECT_EQ(maker.GetCaptureRect(), (CaptureRect{1, 2, 30, 40}));
    maker.SetCaptureRect(5, 5, 5, 5);
    EXPECT_EQ(maker.GetCaptureRect(), (CaptureRect{5, 5, 5, 5}));
}

TEST(GifMaker, FramesAreNumberedFromOne) {
    CGifMaker maker(FakeScreenSource::Factory(), TestTextRasterizer());
    maker.AppendFrame(Frame(1));
    maker.AppendFrame(Frame(2));
    maker.AppendFrame(nullptr); // refused
    ASSERT_EQ(maker.FrameCount(), 2);
    EXPECT_EQ(maker.GetFrame(0), nullptr);
    EXPECT_EQ(maker.GetFrame(3), nullptr);
    EXPECT_EQ(maker.GetFrame(-1), nullptr);
    EXPECT_EQ(maker.GetFrame(1)->Width(), 1u);
    EXPECT_EQ(maker.GetFrame(2)->Width(), 2u);
    EXPECT_EQ(maker.FrameBytes(), maker.GetFrame(1)->DibSize() + maker.GetFrame(2)->DibSize());
    maker.ClearFrames();
    EXPECT_EQ(maker.FrameCount(), 0);
    EXPECT_EQ(maker.GetFrame(1), nullptr);
}

TEST(GifMaker, DroppedFrameKeepsItsPlaceAndCanBeRestored) {
    CGifMaker maker(FakeScreenSource::Factory(), TestTextRasterizer());
    for (uint32_t w = 1; w <= 3; ++w)
        maker.AppendFrame(Frame(w));
    maker.SetKept(2, false);
    EXPECT_TRUE(maker.IsKept(1));
    EXPECT_FALSE(maker.IsKept(2));
    EXPECT_EQ(maker.GetFrame(2)->UserFlags(), 0u);
    EXPECT_EQ(maker.GetFrame(2)->Width(), 2u);
    maker.SetKept(2, true);
    EXPECT_EQ(maker.GetFrame(2)->UserFlags(), 1u);
    maker.SetKept(9, false); // no such frame: nothing happens
    EXPECT_FALSE(maker.IsKept(9));
}

TEST(GifMaker, GrabFrameAppendsAKeptFrameOfTheRectangle) {
    CGifMaker maker(FakeScreenSource::Factory(), TestTextRasterizer());
    FakeScreenSource::Options options;
    options.failEvery = 2;
    FakeScreenSource source(options);
    maker.SetCaptureRect(10, 20, 410, 320);
    EXPECT_TRUE(maker.GrabFrame(source));
    EXPECT_FALSE(maker.GrabFrame(source)); // a failed grab adds nothing
    ASSERT_EQ(maker.FrameCount(), 1);
    const CxImage* frame = maker.GetFrame(1);
    EXPECT_EQ(frame->Width(), 400u);
    EXPECT_EQ(frame->Height(), 300u);
    EXPECT_EQ(frame->BitsPerPixel(), 24u);
    EXPECT_EQ(frame->Stride(), 1200u);
    EXPECT_EQ(frame->UserFlags(), 1u);
}

TEST(GifMaker, EmptyRectangleGrabsNothing) {
    CGifMaker maker(FakeScreenSource::Factory(), TestTextRasterizer());
    FakeScreenSource source;
    maker.SetCaptureRect(10, 10, 10, 50);
    EXPECT_FALSE(maker.GrabFrame(source));
    EXPECT_EQ(maker.FrameCount(), 0);
}

TEST(GifMaker, SetGifParamsStoresRateScaleAndPath) {
    CGifMaker maker(FakeScreenSource::Factory(), TestTextRasterizer());
    maker.SetGifParams(7, 0.7f, "/tmp/x.gif");
    EXPECT_EQ(maker.GifFrameRate(), 7);
    EXPECT_FLOAT_EQ(maker.Scale(), 0.7f);
    EXPECT_EQ(maker.OutputPath(), "/tmp/x.gif");
}

TEST(MemoryBudget, EnvironmentOverridesInMegabytes) {
    EnvGuard env;
    env.Set("FRAMELOOP_MAX_MEMORY_MB", "64");
    EXPECT_EQ(DefaultMemoryBudget(), 64ull * 1024 * 1024);
    EXPECT_EQ(CGifMaker(FakeScreenSource::Factory(), TestTextRasterizer()).MemoryBudget(),
              64ull * 1024 * 1024);
}

TEST(MemoryBudget, UnusableEnvironmentValuesFallBackToHalfTheMemory) {
    uint64_t fallback = 0;
    {
        EnvGuard env;
        env.Unset("FRAMELOOP_MAX_MEMORY_MB");
        fallback = DefaultMemoryBudget();
    }
    EXPECT_GT(fallback, 0u);
    for (const char* value : {"", "0", "-5", "abc", "12MB", " 12", "99999999999999999999999"}) {
        EnvGuard env;
        env.Set("FRAMELOOP_MAX_MEMORY_MB", value);
        EXPECT_EQ(DefaultMemoryBudget(), fallback) << "value '" << value << "'";
    }
}

TEST(MemoryBudget, HugeEnvironmentValueDoesNotWrap) {
    EnvGuard env;
    env.Set("FRAMELOOP_MAX_MEMORY_MB", "18446744073709551615");
    EXPECT_GT(DefaultMemoryBudget(), 1ull << 40);
}

} // namespace
