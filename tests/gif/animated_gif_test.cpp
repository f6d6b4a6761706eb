// The animated GIF as outside tools see it: gifsicle for the file structure
// (images, rectangles, delays, colour tables, looping) and ImageMagick for the
// pictures a viewer shows.

#include "gif/animated_gif.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "image/cximage.h"
#include "test_files.h"

using testing_support::HaveProgram;
using testing_support::ReadWholeFile;
using testing_support::RunProgram;

namespace {

using PixelFn = std::function<RgbQuad(uint32_t x, uint32_t rowFromTop)>;

std::unique_ptr<CxImage> MakeFrame(uint32_t w, uint32_t h, const PixelFn& fn) {
    auto frame = std::make_unique<CxImage>();
    EXPECT_NE(frame->Create(w, h, 24), nullptr);
    for (uint32_t row = 0; row < h; ++row)
        for (uint32_t x = 0; x < w; ++x)
            frame->SetColorAt(x, h - 1 - row, fn(x, row));
    frame->SetUserFlags(1);
    return frame;
}

// Scenes with few colours, so the common palette holds every one exactly.
RgbQuad SceneA(uint32_t x, uint32_t row) {
    return MakeQuad(uint8_t(40 * (x / 8)), uint8_t(30 * (row / 6)), 200);
}
// Scene A with a 10 x 10 block changed at (10, 5).
RgbQuad SceneB(uint32_t x, uint32_t row) {
    if (x >= 10 && x < 20 && row >= 5 && row < 15)
        return MakeQuad(255, 255, 0);
    return SceneA(x, row);
}
// Scene A with a 3 x 7 block changed at (30, 20).
RgbQuad SceneC(uint32_t x, uint32_t row) {
    if (x >= 30 && x < 33 && row >= 20 && row < 27)
        return MakeQuad(0, 0, 0);
    return SceneA(x, row);
}
// More colours than a GIF holds: smooth gradients, as in a video.
RgbQuad RichScene(uint32_t x, uint32_t row, uint32_t shift) {
    return MakeQuad(uint8_t(x * 4 + shift), uint8_t(row * 6), uint8_t((x + row) * 2 + shift));
}

constexpr uint32_t kWidth = 48;
constexpr uint32_t kHeight = 36;

FrameList MakeFrames(const std::vector<PixelFn>& scenes, uint32_t w = kWidth,
                     uint32_t h = kHeight) {
    FrameList frames;
    for (const PixelFn& scene : scenes)
        frames.push_back(MakeFrame(w, h, scene));
    return frames;
}

struct Build {
    bool result = false;
    std::vector<int> progress;
};

Build WriteGif(const QString& path, FrameList& frames, uint32_t fps, bool dither = false) {
    Build b;
    b.result = WriteAnimatedGif(path.toStdString(), frames, fps, dither,
                                [&](int p) { b.progress.push_back(p); });
    return b;
}

// What gifsicle --info reports about one image.
struct GifImage {
    int width = 0, height = 0, left = 0, top = 0;
    int delay = -1; // hundredths
    bool localColorTable = false;
    bool disposalAsis = false;
};

struct GifInfo {
    bool loopForever = false;
    int globalColors = 0;
    int screenWidth = 0, screenHeight = 0;
    std::vector<GifImage> images;
};

GifInfo ReadInfo(const QString& path) {
    GifInfo info;
    const auto run = RunProgram("gifsicle", {"--info", path});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    const QString text = QString::fromUtf8(run.out);
    static const QRegularExpression screen("logical screen (\\d+)x(\\d+)");
    static const QRegularExpression global("global color table \\[(\\d+)\\]");
    static const QRegularExpression image("\\+ image #\\d+ (\\d+)x(\\d+)(?: at (\\d+),(\\d+))?");
    static const QRegularExpression delay("delay (\\d+(?:\\.\\d+)?)s");
    if (const auto m = screen.match(text); m.hasMatch()) {
        info.screenWidth = m.captured(1).toInt();
        info.screenHeight = m.captured(2).toInt();
    }
    if (const auto m = global.match(text); m.hasMatch())
        info.globalColors = m.captured(1).toInt();
    info.loopForever = text.contains("loop forever");
    for (const QString& line : text.split('\n')) {
        if (const auto m = image.match(line); m.hasMatch()) {
            GifImage img;
            img.width = m.captured(1).toInt();
            img.height = m.captured(2).toInt();
            img.left = m.captured(3).toInt();
            img.top = m.captured(4).toInt();
            info.images.push_back(img);
            continue;
        }
        if (info.images.empty())
            continue;
        GifImage& img = info.images.back();
        if (line.contains("local color table"))
            img.localColorTable = true;
        if (line.contains("disposal asis"))
            img.disposalAsis = true;
        if (const auto m = delay.match(line); m.hasMatch())
            img.delay = int(std::lround(m.captured(1).toDouble() * 100));
    }
    return info;
}

// The pictures a viewer shows, one RGB buffer per image.
std::vector<QByteArray> DecodeCoalesced(const QString& path, uint32_t w, uint32_t h) {
    const auto run = RunProgram("convert", {path, "-coalesce", "-depth", "8", "rgb:-"});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    const qsizetype frameBytes = qsizetype(w) * h * 3;
    std::vector<QByteArray> frames;
    for (qsizetype at = 0; at + frameBytes <= run.out.size(); at += frameBytes)
        frames.push_back(run.out.mid(at, frameBytes));
    EXPECT_EQ(run.out.size() % frameBytes, 0);
    return frames;
}

// Largest channel difference between a decoded frame and a scene.
int MaxError(const QByteArray& rgb, uint32_t w, uint32_t h, const PixelFn& scene) {
    int worst = 0;
    const auto* p = reinterpret_cast<const uint8_t*>(rgb.constData());
    for (uint32_t row = 0; row < h; ++row) {
        for (uint32_t x = 0; x < w; ++x, p += 3) {
            const RgbQuad want = scene(x, row);
            worst = std::max({worst, std::abs(p[0] - want.rgbRed), std::abs(p[1] - want.rgbGreen),
                              std::abs(p[2] - want.rgbBlue)});
        }
    }
    return worst;
}

std::vector<RgbQuad> GlobalColorTable(const QByteArray& gif) {
    std::vector<RgbQuad> table;
    const auto* p = reinterpret_cast<const uint8_t*>(gif.constData());
    if (gif.size() < 13 || !(p[10] & 0x80))
        return table;
    const int n = 2 << (p[10] & 7);
    for (int i = 0; i < n && 13 + 3 * i + 2 < gif.size(); ++i)
        table.push_back(MakeQuad(p[13 + 3 * i], p[14 + 3 * i], p[15 + 3 * i]));
    return table;
}

int Distance(RgbQuad a, int r, int g, int b) {
    return (a.rgbRed - r) * (a.rgbRed - r) + (a.rgbGreen - g) * (a.rgbGreen - g) +
           (a.rgbBlue - b) * (a.rgbBlue - b);
}

struct Fidelity {
    int notNearest = 0;     // pixels shown in a colour farther than the nearest entry
    double meanError = 0.0; // mean absolute channel difference
    double meanDrift = 0.0; // largest difference of a channel's average
};

Fidelity Compare(const QByteArray& rgb, uint32_t w, uint32_t h, const PixelFn& scene,
                 const std::vector<RgbQuad>& table) {
    Fidelity f;
    long total = 0;
    long drift[3] = {0, 0, 0};
    const auto* p = reinterpret_cast<const uint8_t*>(rgb.constData());
    for (uint32_t row = 0; row < h; ++row) {
        for (uint32_t x = 0; x < w; ++x, p += 3) {
            const RgbQuad want = scene(x, row);
            const int d[3] = {p[0] - want.rgbRed, p[1] - want.rgbGreen, p[2] - want.rgbBlue};
            for (int c = 0; c < 3; ++c) {
                total += std::abs(d[c]);
                drift[c] += d[c];
            }
            int best = 1 << 30;
            for (const RgbQuad& c : table)
                best = std::min(best, Distance(c, want.rgbRed, want.rgbGreen, want.rgbBlue));
            if (Distance(want, p[0], p[1], p[2]) != best)
                ++f.notNearest;
        }
    }
    f.meanError = double(total) / (3.0 * w * h);
    for (const long channel : drift)
        f.meanDrift = std::max(f.meanDrift, std::abs(double(channel)) / (double(w) * h));
    return f;
}

class AnimatedGif : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_TRUE(HaveProgram("gifsicle")) << "gifsicle is required (scripts/deps.sh)";
        ASSERT_TRUE(HaveProgram("convert")) << "ImageMagick is required (scripts/deps.sh)";
    }
    QString Path(const char* name = "out.gif") const { return dir_.filePath(name); }

    QTemporaryDir dir_;
};

struct RateCase {
    uint32_t fps;
    int delay;
};

void PrintTo(const RateCase& c, std::ostream* os) {
    *os << c.fps << " fps";
}

class AnimatedGifRate : public AnimatedGif, public ::testing::WithParamInterface<RateCase> {};

TEST_P(AnimatedGifRate, OneFrameIsOneLoopingImageWithTheFrameDelay) {
    FrameList frames = MakeFrames({SceneA});
    const Build b = WriteGif(Path(), frames, GetParam().fps);
    EXPECT_TRUE(b.result);
    EXPECT_EQ(b.progress, (std::vector<int>{60, 95, 100}));

    EXPECT_TRUE(ReadWholeFile(Path()).startsWith("GIF89a"));
    const GifInfo info = ReadInfo(Path());
    EXPECT_EQ(info.screenWidth, int(kWidth));
    EXPECT_EQ(info.screenHeight, int(kHeight));
    EXPECT_EQ(info.globalColors, 256);
    EXPECT_TRUE(info.loopForever);
    ASSERT_EQ(info.images.size(), 1u);
    EXPECT_EQ(info.images[0].delay, GetParam().delay);
    EXPECT_FALSE(info.images[0].localColorTable);
    EXPECT_TRUE(info.images[0].disposalAsis);
    EXPECT_EQ(frames[0]->BitsPerPixel(), 8u) << "frames are reduced in place";
}

INSTANTIATE_TEST_SUITE_P(Rates, AnimatedGifRate,
                         ::testing::Values(RateCase{1, 100}, RateCase{5, 20}, RateCase{10, 10},
                                           RateCase{15, 7}, RateCase{20, 5}),
                         [](const ::testing::TestParamInfo<RateCase>& info) {
                             return "Fps" + std::to_string(info.param.fps);
                         });

TEST_F(AnimatedGif, OnlyIdenticalNeighboursMerge) {
    struct Case {
        const char* name;
        std::vector<PixelFn> scenes;
        std::vector<int> delays;
    };
    const Case cases[] = {
        {"A A B A", {SceneA, SceneA, SceneB, SceneA}, {20, 10, 10}},
        {"A A A", {SceneA, SceneA, SceneA}, {30}},
        {"A B B C C C", {SceneA, SceneB, SceneB, SceneC, SceneC, SceneC}, {10, 20, 30}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FrameList frames = MakeFrames(c.scenes);
        ASSERT_TRUE(WriteGif(Path(), frames, 10).result);
        const GifInfo info = ReadInfo(Path());
        std::vector<int> delays;
        for (const GifImage& img : info.images) {
            delays.push_back(img.delay);
            EXPECT_FALSE(img.localColorTable);
            EXPECT_TRUE(img.disposalAsis);
        }
        EXPECT_EQ(delays, c.delays);
    }
}

std::vector<int> Delays(const GifInfo& info) {
    std::vector<int> delays;
    for (const GifImage& img : info.images)
        delays.push_back(img.delay);
    return delays;
}

// Image k ends at the frame time of its last frame rounded to the nearest
// hundredth, so merged runs and the whole animation keep their exact length
// when the rate does not divide 100.
TEST_F(AnimatedGif, DelaysAddUpToTheExactTime) {
    struct Case {
        uint32_t fps;
        std::vector<PixelFn> scenes;
        std::vector<int> delays;
    };
    const Case cases[] = {
        {15, {SceneA, SceneA, SceneA}, {20}},                                // 3 x 6.67
        {15, {SceneA, SceneB, SceneC}, {7, 6, 7}},                           // ends 6.67 13.33 20
        {15, {SceneA, SceneA, SceneB, SceneA, SceneA, SceneA}, {13, 7, 20}}, // 13.33 20 40
        {30, {SceneA, SceneB, SceneB, SceneB, SceneC}, {3, 10, 4}},          // 3.33 13.33 16.67
        {7, {SceneA, SceneA, SceneA, SceneB}, {43, 14}},                     // 42.86 57.14
        {3, {SceneA, SceneB, SceneC}, {33, 34, 33}},                         // 33.33 66.67 100
        {20, {SceneA, SceneA, SceneB}, {10, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.fps) + " fps, " + std::to_string(c.scenes.size()) +
                     " frames");
        FrameList frames = MakeFrames(c.scenes);
        ASSERT_TRUE(WriteGif(Path(), frames, c.fps).result);
        EXPECT_EQ(Delays(ReadInfo(Path())), c.delays);
    }
}

TEST_F(AnimatedGif, TwoHundredFramesAt15FpsLastThirteenAndAThirdSeconds) {
    FrameList frames;
    for (int i = 0; i < 200; ++i)
        frames.push_back(MakeFrame(8, 6, [i](uint32_t x, uint32_t) {
            return MakeQuad(uint8_t(x * 30), uint8_t(i % 2 * 200), 0);
        }));
    ASSERT_TRUE(WriteGif(Path(), frames, 15).result);
    const std::vector<int> delays = Delays(ReadInfo(Path()));
    ASSERT_EQ(delays.size(), 200u);
    EXPECT_EQ(std::accumulate(delays.begin(), delays.end(), 0), 1333);
    for (const int d : delays)
        EXPECT_TRUE(d == 6 || d == 7) << d;
}

TEST_F(AnimatedGif, LaterImagesAreTheChangedRectangles) {
    FrameList frames = MakeFrames({SceneA, SceneB, SceneC});
    ASSERT_TRUE(WriteGif(Path(), frames, 10).result);
    const GifInfo info = ReadInfo(Path());
    ASSERT_EQ(info.images.size(), 3u);
    const GifImage& first = info.images[0];
    EXPECT_EQ(first.width, int(kWidth));
    EXPECT_EQ(first.height, int(kHeight));
    // B differs from A in its block; C differs from B in both blocks.
    const GifImage& second = info.images[1];
    EXPECT_EQ((std::vector<int>{second.left, second.top, second.width, second.height}),
              (std::vector<int>{10, 5, 10, 10}));
    const GifImage& third = info.images[2];
    EXPECT_EQ((std::vector<int>{third.left, third.top, third.width, third.height}),
              (std::vector<int>{10, 5, 23, 22}));

    const std::vector<PixelFn> scenes = {SceneA, SceneB, SceneC};
    const std::vector<QByteArray> shown = DecodeCoalesced(Path(), kWidth, kHeight);
    ASSERT_EQ(shown.size(), 3u);
    for (std::size_t i = 0; i < shown.size(); ++i)
        EXPECT_EQ(MaxError(shown[i], kWidth, kHeight, scenes[i]), 0) << "frame " << i;
}

TEST_F(AnimatedGif, RichFramesDecodeToTheirNearestPaletteColours) {
    for (const bool dither : {false, true}) {
        SCOPED_TRACE(dither ? "dithered" : "nearest colour");
        const std::vector<PixelFn> scenes = {
            [](uint32_t x, uint32_t row) { return RichScene(x, row, 0); },
            [](uint32_t x, uint32_t row) { return RichScene(x, row, 9); },
            [](uint32_t x, uint32_t row) { return RichScene(x, row, 17); },
        };
        FrameList frames = MakeFrames(scenes, 64, 40);
        FrameList again = MakeFrames(scenes, 64, 40);
        ASSERT_TRUE(WriteGif(Path("a.gif"), frames, 10, dither).result);
        ASSERT_TRUE(WriteGif(Path("b.gif"), again, 10, dither).result);
        const QByteArray file = ReadWholeFile(Path("a.gif"));
        EXPECT_EQ(file, ReadWholeFile(Path("b.gif"))) << "the same frames must give the same file";

        const std::vector<RgbQuad> table = GlobalColorTable(file);
        const std::vector<QByteArray> shown = DecodeCoalesced(Path("a.gif"), 64, 40);
        ASSERT_EQ(shown.size(), scenes.size());
        for (std::size_t i = 0; i < shown.size(); ++i) {
            const Fidelity f = Compare(shown[i], 64, 40, scenes[i], table);
            EXPECT_LT(f.meanError, 8.0) << "frame " << i;
            EXPECT_LT(f.meanDrift, 4.0) << "frame " << i;
            if (dither) // diffusion gives up the per-pixel optimum for the area's average
                EXPECT_GT(f.notNearest, 0) << "frame " << i;
            else
                EXPECT_EQ(f.notNearest, 0) << "frame " << i;
        }
    }
}

// A screen: a white address bar, a light grey page and a bluish grey sidebar,
// with a busy picture (far more colours than a GIF holds) over a fifth of it.
// The flat colours cover most pixels, so each must keep an exact entry.
constexpr uint32_t kScreenWidth = 160;
constexpr uint32_t kScreenHeight = 120;
const RgbQuad kWhite = MakeQuad(255, 255, 255);
const RgbQuad kPage = MakeQuad(0xF1, 0xF1, 0xF1);
const RgbQuad kSidebar = MakeQuad(0xE8, 0xE9, 0xEE);

// 80 x 48 at (60, 40), a fifth of the screen, grown by `margin` on each side.
bool InBusyBlock(uint32_t x, uint32_t row, uint32_t margin = 0) {
    return x + margin >= 60 && x < 140 + margin && row + margin >= 40 && row < 88 + margin;
}

RgbQuad FlatScreen(uint32_t x, uint32_t row) {
    if (row < 16)
        return kWhite;
    return x < 40 ? kSidebar : kPage;
}

// Pseudo-random but reproducible colours over the whole RGB cube.
RgbQuad Noise(uint32_t x, uint32_t row, uint32_t frame) {
    uint32_t h = (x * 73856093u) ^ (row * 19349663u) ^ (frame * 83492791u);
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return MakeQuad(uint8_t(h), uint8_t(h >> 8), uint8_t(h >> 16));
}

// A photo-like block: smooth in all three channels, light in one corner.
RgbQuad Gradient(uint32_t x, uint32_t row, uint32_t frame) {
    return MakeQuad(uint8_t(x * 3 + frame * 5), uint8_t(row * 5 + frame * 3),
                    uint8_t(255 - (x + row) * 2));
}

// Largest channel difference between a decoded screen and its flat colours,
// away from the busy block by `margin` pixels.
int FlatError(const QByteArray& rgb, uint32_t margin) {
    int worst = 0;
    const auto* p = reinterpret_cast<const uint8_t*>(rgb.constData());
    for (uint32_t row = 0; row < kScreenHeight; ++row) {
        for (uint32_t x = 0; x < kScreenWidth; ++x, p += 3) {
            if (InBusyBlock(x, row, margin))
                continue;
            const RgbQuad want = FlatScreen(x, row);
            worst = std::max({worst, std::abs(p[0] - want.rgbRed), std::abs(p[1] - want.rgbGreen),
                              std::abs(p[2] - want.rgbBlue)});
        }
    }
    return worst;
}

TEST_F(AnimatedGif, FlatScreenColoursKeepExactEntriesBesideABusyArea) {
    using BusyFn = RgbQuad (*)(uint32_t, uint32_t, uint32_t);
    struct Case {
        const char* name;
        BusyFn busy;
    };
    const Case cases[] = {{"noise", Noise}, {"gradient", Gradient}};
    for (const Case& c : cases) {
        for (const bool dither : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (dither ? ", dithered" : ""));
            std::vector<PixelFn> scenes;
            for (uint32_t f = 0; f < 3; ++f)
                scenes.push_back([busy = c.busy, f](uint32_t x, uint32_t row) {
                    return InBusyBlock(x, row) ? busy(x, row, f) : FlatScreen(x, row);
                });
            FrameList frames = MakeFrames(scenes, kScreenWidth, kScreenHeight);
            ASSERT_TRUE(WriteGif(Path(), frames, 10, dither).result);
            const std::vector<QByteArray> shown =
                DecodeCoalesced(Path(), kScreenWidth, kScreenHeight);
            ASSERT_EQ(shown.size(), scenes.size());
            // Diffusion carries the block's error a few pixels into the page.
            const uint32_t margin = dither ? 6 : 0;
            for (std::size_t i = 0; i < shown.size(); ++i)
                EXPECT_EQ(FlatError(shown[i], margin), 0) << "frame " << i;
        }
    }
}

TEST_F(AnimatedGif, ProgressRunsFrom60InFrameSteps) {
    FrameList frames;
    for (int i = 0; i < 10; ++i)
        frames.push_back(MakeFrame(
            4, 4, [i](uint32_t x, uint32_t) { return MakeQuad(uint8_t(20 * i), uint8_t(x), 0); }));
    const Build b = WriteGif(Path(), frames, 20);
    // trunc(j x 3.5 + 60) for j = 0..9, then 95 and 100.
    EXPECT_EQ(b.progress, (std::vector<int>{60, 63, 67, 70, 74, 77, 81, 84, 88, 91, 95, 100}));
    EXPECT_EQ(ReadInfo(Path()).images.size(), 10u);
}

TEST_F(AnimatedGif, UnwritablePathWritesNothingAndStillReportsTheEnd) {
    FrameList frames = MakeFrames({SceneA, SceneB});
    const QString path = dir_.filePath("missing/out.gif");
    const Build b = WriteGif(path, frames, 10);
    EXPECT_FALSE(b.result);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(b.progress, (std::vector<int>{60, 77, 95, 100}));
}

TEST_F(AnimatedGif, FrameRateBelowOneIsRefusedBeforeAnyWork) {
    FrameList frames = MakeFrames({SceneA});
    const Build b = WriteGif(Path(), frames, 0);
    EXPECT_FALSE(b.result);
    EXPECT_TRUE(b.progress.empty());
    EXPECT_FALSE(QFile::exists(Path()));
    EXPECT_EQ(frames[0]->BitsPerPixel(), 24u);
}

TEST_F(AnimatedGif, FramesThatCannotBeEncodedAreLeftOut) {
    FrameList frames = MakeFrames({SceneA});
    frames.push_back(std::make_unique<CxImage>()); // no pixels
    frames.push_back(nullptr);
    frames.push_back(MakeFrame(kWidth, kHeight, SceneB));
    const Build b = WriteGif(Path(), frames, 10);
    EXPECT_TRUE(b.result);
    EXPECT_EQ(b.progress, (std::vector<int>{60, 68, 77, 86, 95, 100}));
    const GifInfo info = ReadInfo(Path());
    ASSERT_EQ(info.images.size(), 2u);
    EXPECT_EQ(info.images[0].delay, 10);
    EXPECT_EQ(info.images[1].delay, 10);
}

TEST_F(AnimatedGif, NoFileWhenNoFrameCanBeEncoded) {
    FrameList frames;
    frames.push_back(std::make_unique<CxImage>());
    frames.push_back(std::make_unique<CxImage>());
    const Build b = WriteGif(Path(), frames, 10);
    EXPECT_FALSE(b.result);
    EXPECT_EQ(b.progress, (std::vector<int>{60, 77, 95, 100}));
    EXPECT_FALSE(QFile::exists(Path()));
}

TEST_F(AnimatedGif, NoFramesWritesNothing) {
    FrameList frames;
    EXPECT_FALSE(WriteGif(Path(), frames, 10).result);
    EXPECT_FALSE(QFile::exists(Path()));
}

// At 1 frame per second each frame lasts 100 hundredths; 700 identical frames
// last 70000, more than one delay field holds. The run is split so that the
// animation keeps its full length.
TEST_F(AnimatedGif, LongStillRunsAreSplitAtTheDelayLimit) {
    FrameList frames;
    for (int i = 0; i < 700; ++i)
        frames.push_back(MakeFrame(4, 4, SceneA));
    frames.push_back(MakeFrame(4, 4, [](uint32_t, uint32_t) { return MakeQuad(0, 0, 0); }));
    ASSERT_TRUE(WriteGif(Path(), frames, 1).result);
    const GifInfo info = ReadInfo(Path());
    std::vector<int> delays;
    for (const GifImage& img : info.images)
        delays.push_back(img.delay);
    EXPECT_EQ(delays, (std::vector<int>{65500, 4500, 100}));
    const std::vector<QByteArray> shown = DecodeCoalesced(Path(), 4, 4);
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(MaxError(shown[0], 4, 4, SceneA), 0);
    EXPECT_EQ(MaxError(shown[1], 4, 4, SceneA), 0);
    EXPECT_EQ(MaxError(shown[2], 4, 4, [](uint32_t, uint32_t) { return MakeQuad(0, 0, 0); }), 0);
}

} // namespace
