#include "image/cximage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

void FillRandom24(CxImage& img, uint32_t w, uint32_t h, uint32_t seed) {
    ASSERT_TRUE(img.Create(w, h, 24, 0));
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            img.SetColorAt(x, y,
                           MakeQuad(uint8_t(byte(rng)), uint8_t(byte(rng)), uint8_t(byte(rng))));
}

void FillUniform24(CxImage& img, uint32_t w, uint32_t h, RgbQuad c) {
    ASSERT_TRUE(img.Create(w, h, 24, 0));
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            img.SetColorAt(x, y, c);
}

std::vector<uint8_t> BlockOf(const CxImage& img) {
    return {img.DibBlock(), img.DibBlock() + img.DibSize()};
}

// The exact area average of the source rectangle a destination pixel covers,
// worked out in double precision: destination pixel d spans source edges
// [d * scale, (d + 1) * scale), source pixel p spans [p, p + 1).
double ExactMean(const CxImage& src, uint32_t dX, uint32_t dY, double sx, double sy, int channel) {
    const double x0 = dX * sx, x1 = (dX + 1) * sx;
    const double y0 = dY * sy, y1 = (dY + 1) * sy;
    double sum = 0.0;
    for (int y = int(std::floor(y0)); y < int(std::ceil(y1)); ++y) {
        const double wy = std::min<double>(y1, y + 1) - std::max<double>(y0, y);
        for (int x = int(std::floor(x0)); x < int(std::ceil(x1)); ++x) {
            const double wx = std::min<double>(x1, x + 1) - std::max<double>(x0, x);
            const RgbQuad c = src.ColorAt(std::min<int>(x, int(src.Width()) - 1),
                                          std::min<int>(y, int(src.Height()) - 1));
            const uint8_t v = channel == 0 ? c.rgbRed : channel == 1 ? c.rgbGreen : c.rgbBlue;
            sum += v * wx * wy;
        }
    }
    return sum / ((x1 - x0) * (y1 - y0));
}

struct RatioCase {
    uint32_t width, height, newWidth, newHeight;
};

const RatioCase kRatios[] = {
    {400, 300, 280, 210},               // 70 %
    {401, 300, 200, 150},               // unequal scales, one of them exactly 2
    {123, 77, 13, 8},                   // about 10 %
    {100, 100, 99, 99},                 // barely smaller: most areas straddle two cells
    {64, 48, 7, 5},       {9, 9, 1, 1}, // the whole image into one pixel
    {3, 3, 2, 2},                       // the last column and row reach one past the image
};

} // namespace

TEST(Resize, HalvingGivesTheTruncatedMeanOfEachTwoByTwoBlock) {
    CxImage src;
    FillRandom24(src, 400, 300, 1);
    CxImage img(src);
    ASSERT_TRUE(img.Resize(200, 150, 5, 5, nullptr, false));
    ASSERT_EQ(img.Width(), 200u);
    ASSERT_EQ(img.Height(), 150u);
    ASSERT_EQ(img.BitsPerPixel(), 24u);
    for (uint32_t y = 0; y < 150; ++y) {
        for (uint32_t x = 0; x < 200; ++x) {
            const RgbQuad a = src.ColorAt(2 * x, 2 * y), b = src.ColorAt(2 * x + 1, 2 * y);
            const RgbQuad c = src.ColorAt(2 * x, 2 * y + 1), d = src.ColorAt(2 * x + 1, 2 * y + 1);
            const RgbQuad got = img.ColorAt(x, y);
            ASSERT_EQ(got.rgbRed, (a.rgbRed + b.rgbRed + c.rgbRed + d.rgbRed) / 4) << x << "," << y;
            ASSERT_EQ(got.rgbGreen, (a.rgbGreen + b.rgbGreen + c.rgbGreen + d.rgbGreen) / 4);
            ASSERT_EQ(got.rgbBlue, (a.rgbBlue + b.rgbBlue + c.rgbBlue + d.rgbBlue) / 4);
        }
    }
}

TEST(Resize, EveryRatioGivesTheTruncatedAreaAverage) {
    for (const RatioCase& r : kRatios) {
        SCOPED_TRACE(testing::Message()
                     << r.width << "x" << r.height << " -> " << r.newWidth << "x" << r.newHeight);
        CxImage src;
        FillRandom24(src, r.width, r.height, r.width * 7 + r.newWidth);
        CxImage img(src);
        ASSERT_TRUE(img.Resize(int32_t(r.newWidth), int32_t(r.newHeight)));
        ASSERT_EQ(img.Width(), r.newWidth);
        ASSERT_EQ(img.Height(), r.newHeight);
        const double sx = double(r.width) / r.newWidth, sy = double(r.height) / r.newHeight;
        // The result is the truncated mean: at most one below the exact mean,
        // never above it, give or take the float rounding of the area's corners.
        double lowest = 0.0, highest = 0.0;
        for (uint32_t y = 0; y < r.newHeight; ++y) {
            for (uint32_t x = 0; x < r.newWidth; ++x) {
                const RgbQuad got = img.ColorAt(x, y);
                const uint8_t channels[3] = {got.rgbRed, got.rgbGreen, got.rgbBlue};
                for (int ch = 0; ch < 3; ++ch) {
                    const double exact = ExactMean(src, x, y, sx, sy, ch);
                    lowest = std::min(lowest, channels[ch] - exact);
                    highest = std::max(highest, channels[ch] - exact);
                }
            }
        }
        EXPECT_GT(lowest, -1.01);
        EXPECT_LT(highest, 0.01);
    }
}

TEST(Resize, EachNewPixelIsTheAreaColourAtItsSourceCentre) {
    for (const RatioCase& r : kRatios) {
        SCOPED_TRACE(testing::Message()
                     << r.width << "x" << r.height << " -> " << r.newWidth << "x" << r.newHeight);
        CxImage src;
        FillRandom24(src, r.width, r.height, r.height);
        CxImage img(src);
        ASSERT_TRUE(img.Resize(int32_t(r.newWidth), int32_t(r.newHeight)));
        const float xs = float(r.width) / float(r.newWidth);
        const float ys = float(r.height) / float(r.newHeight);
        for (uint32_t y = 0; y < r.newHeight; ++y) {
            for (uint32_t x = 0; x < r.newWidth; ++x) {
                const float sX = (float(x) + 0.5f) * xs - 0.5f;
                const float sY = (float(y) + 0.5f) * ys - 0.5f;
                const RgbQuad want = src.AreaColor(sX, sY, xs, ys);
                const RgbQuad got = img.ColorAt(x, y);
                ASSERT_EQ(got.rgbRed, want.rgbRed) << x << "," << y;
                ASSERT_EQ(got.rgbGreen, want.rgbGreen) << x << "," << y;
                ASSERT_EQ(got.rgbBlue, want.rgbBlue) << x << "," << y;
            }
        }
    }
}

TEST(Resize, AUniformImageStaysUniform) {
    for (const uint8_t v : {1, 128, 255}) {
        for (const RatioCase& r : kRatios) {
            SCOPED_TRACE(testing::Message() << int(v) << " " << r.width << "x" << r.height << " -> "
                                            << r.newWidth << "x" << r.newHeight);
            CxImage img;
            FillUniform24(img, r.width, r.height, MakeQuad(v, v, v));
            ASSERT_TRUE(img.Resize(int32_t(r.newWidth), int32_t(r.newHeight)));
            for (uint32_t y = 0; y < r.newHeight; ++y) {
                for (uint32_t x = 0; x < r.newWidth; ++x) {
                    const RgbQuad c = img.ColorAt(x, y);
                    // Truncating the float mean may lose one, never more.
                    ASSERT_LE(c.rgbRed, v);
                    ASSERT_GE(c.rgbRed + 1, v);
                    ASSERT_EQ(c.rgbRed, c.rgbGreen);
                    ASSERT_EQ(c.rgbRed, c.rgbBlue);
                }
            }
        }
    }
}

TEST(Resize, ToTheSameSizeLeavesThePixelsUntouched) {
    CxImage img;
    FillRandom24(img, 31, 17, 2);
    const std::vector<uint8_t> before = BlockOf(img);
    const uint8_t* block = img.DibBlock();
    EXPECT_TRUE(img.Resize(31, 17));
    EXPECT_EQ(img.DibBlock(), block);
    EXPECT_EQ(BlockOf(img), before);

    CxImage destination;
    EXPECT_TRUE(img.Resize(31, 17, 5, 5, &destination));
    ASSERT_TRUE(destination.IsValid());
    EXPECT_EQ(BlockOf(destination), before);
    EXPECT_EQ(BlockOf(img), before);
}

TEST(Resize, RefusesSizesOfZeroOrLessAndLeavesTheImage) {
    CxImage img;
    FillRandom24(img, 8, 8, 3);
    const std::vector<uint8_t> before = BlockOf(img);
    EXPECT_FALSE(img.Resize(0, 5));
    EXPECT_FALSE(img.Resize(5, 0));
    EXPECT_FALSE(img.Resize(-4, 5));
    EXPECT_FALSE(img.Resize(5, -1));
    EXPECT_EQ(BlockOf(img), before);

    CxImage empty;
    EXPECT_FALSE(empty.Resize(2, 2));
    EXPECT_FALSE(empty.IsValid());
}

TEST(Resize, KeepsUserFlagsTransparencyAndResolution) {
    CxImage img;
    FillUniform24(img, 40, 30, MakeQuad(9, 9, 9));
    img.SetUserFlags(1);
    img.SetTransparentIndex(-1);
    img.SetFrameDelay(7);
    ASSERT_TRUE(img.Resize(20, 15));
    EXPECT_EQ(img.UserFlags(), 1u);
    EXPECT_EQ(img.TransparentIndex(), -1);
    EXPECT_EQ(img.FrameDelay(), 7u);
    EXPECT_EQ(img.Header().biXPelsPerMeter, 3780);

    img.SetUserFlags(0);
    img.SetTransparentIndex(4); // a true-colour image stores 0
    ASSERT_TRUE(img.Resize(10, 7));
    EXPECT_EQ(img.UserFlags(), 0u);
    EXPECT_EQ(img.TransparentIndex(), 0);
}

TEST(Resize, APaletteImageKeepsItsDepthAndTableAndPicksTheNearestEntry) {
    CxImage img;
    ASSERT_TRUE(img.Create(2, 2, 8, 0));
    std::vector<RgbQuad> grey(256);
    for (int i = 0; i < 256; ++i)
        grey[i] = MakeQuad(uint8_t(i), uint8_t(i), uint8_t(i));
    img.SetPaletteColors(grey);
    img.SetIndexAt(0, 0, 10);
    img.SetIndexAt(1, 0, 20);
    img.SetIndexAt(0, 1, 30);
    img.SetIndexAt(1, 1, 41);
    img.SetTransparentIndex(200);
    ASSERT_TRUE(img.Resize(1, 1));
    EXPECT_EQ(img.BitsPerPixel(), 8u);
    EXPECT_EQ(img.TransparentIndex(), 200);
    for (int i = 0; i < 256; ++i)
        ASSERT_TRUE(SameQuad(img.PaletteColor(i), grey[i])) << i;
    EXPECT_EQ(img.IndexAt(0, 0), 25); // (10 + 20 + 30 + 41) / 4, truncated
}

TEST(Resize, TheAlphaPlaneIsResizedByPicking) {
    CxImage img;
    FillUniform24(img, 9, 6, MakeQuad(1, 2, 3));
    ASSERT_TRUE(img.AlphaCreate());
    for (uint32_t y = 0; y < 6; ++y)
        for (uint32_t x = 0; x < 9; ++x)
            img.SetAlphaAt(x, y, uint8_t(10 * y + x));
    ASSERT_TRUE(img.Resize(4, 4));
    ASSERT_TRUE(img.HasAlpha());
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 4; ++x)
            EXPECT_EQ(img.AlphaAt(x, y), 10 * uint32_t(y * 1.5f) + uint32_t(x * 2.25f))
                << x << "," << y;
}

TEST(Resize, ADestinationReceivesTheResultAndTheSourceStays) {
    CxImage img;
    FillRandom24(img, 20, 10, 4);
    img.SetUserFlags(1);
    const std::vector<uint8_t> before = BlockOf(img);
    CxImage destination;
    ASSERT_TRUE(destination.Create(3, 3, 8, 0));
    ASSERT_TRUE(img.Resize(10, 5, 5, 5, &destination));
    EXPECT_EQ(BlockOf(img), before);
    EXPECT_EQ(destination.Width(), 10u);
    EXPECT_EQ(destination.Height(), 5u);
    EXPECT_EQ(destination.BitsPerPixel(), 24u);
    EXPECT_EQ(destination.UserFlags(), 1u);
}

TEST(Resize, AStopRequestLeavesTheImageUnchanged) {
    CxImage img;
    FillRandom24(img, 20, 10, 5);
    const std::vector<uint8_t> before = BlockOf(img);
    img.SetEscape(1);
    EXPECT_FALSE(img.Resize(10, 5));
    EXPECT_EQ(img.Width(), 20u);
    EXPECT_EQ(BlockOf(img), before);
}

TEST(Resize, EnlargingAndOneWayShrinkingGiveSaneResults) {
    CxImage up;
    FillRandom24(up, 4, 3, 6);
    CxImage src(up);
    ASSERT_TRUE(up.Resize(8, 6));
    ASSERT_EQ(up.Width(), 8u);
    for (uint32_t y = 0; y < 6; ++y)
        for (uint32_t x = 0; x < 8; ++x)
            ASSERT_TRUE(SameQuad(up.ColorAt(x, y), src.ColorAt(x / 2, y / 2)));

    CxImage narrow;
    FillUniform24(narrow, 50, 20, MakeQuad(200, 100, 50));
    ASSERT_TRUE(narrow.Resize(25, 40));
    for (uint32_t y = 0; y < 40; ++y) {
        for (uint32_t x = 0; x < 25; ++x) {
            const RgbQuad c = narrow.ColorAt(x, y);
            ASSERT_GE(c.rgbRed, 199);
            ASSERT_GE(c.rgbGreen, 99);
            ASSERT_GE(c.rgbBlue, 49);
        }
    }
}
