#include "image/cximage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

// A palette image of the given depth with a distinct colour per entry and
// random indices.
void MakePaletteImage(CxImage& img, uint32_t bits, uint32_t w, uint32_t h) {
    ASSERT_TRUE(img.Create(w, h, bits, 0));
    std::vector<RgbQuad> table(img.NumColors());
    for (uint32_t i = 0; i < table.size(); ++i)
        table[i] = MakeQuad(uint8_t(i * 7 + 1), uint8_t(255 - i), uint8_t(i * 3 + 50), uint8_t(i));
    img.SetPaletteColors(table);
    std::mt19937 rng(bits);
    std::uniform_int_distribution<uint32_t> index(0, img.NumColors() - 1);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            img.SetIndexAt(x, y, uint8_t(index(rng)));
}

bool SameColor(RgbQuad a, RgbQuad b) {
    return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
}

std::vector<uint8_t> BlockOf(const CxImage& img) {
    return {img.DibBlock(), img.DibBlock() + img.DibSize()};
}

} // namespace

class IncreaseBppTo24 : public ::testing::TestWithParam<uint32_t> {};

TEST_P(IncreaseBppTo24, GivesEachPixelItsPaletteColourAndKeepsTheRecord) {
    const uint32_t bits = GetParam();
    CxImage img;
    MakePaletteImage(img, bits, 13, 7);
    const CxImage before(img);
    const int32_t transparent = int32_t(img.NumColors()) - 1;
    img.SetTransparentIndex(transparent);
    img.SetUserFlags(1);
    img.SetFrameDelay(8);
    img.SetOffset(3, 4);

    ASSERT_TRUE(img.IncreaseBpp(24));
    EXPECT_EQ(img.BitsPerPixel(), 24u);
    EXPECT_EQ(img.NumColors(), 0u);
    EXPECT_EQ(img.Width(), 13u);
    EXPECT_EQ(img.Height(), 7u);
    for (uint32_t y = 0; y < 7; ++y)
        for (uint32_t x = 0; x < 13; ++x)
            ASSERT_TRUE(SameColor(img.ColorAt(x, y), before.ColorAt(x, y))) << x << "," << y;

    // The transparent index survives, its colour becomes the background colour.
    EXPECT_EQ(img.TransparentIndex(), transparent);
    EXPECT_TRUE(SameQuad(img.BackgroundColor(), before.PaletteColor(uint32_t(transparent))));
    EXPECT_EQ(img.UserFlags(), 1u);
    EXPECT_EQ(img.FrameDelay(), 8u);
    EXPECT_EQ(img.OffsetX(), 3);
    EXPECT_EQ(img.OffsetY(), 4);
}

INSTANTIATE_TEST_SUITE_P(Depths, IncreaseBppTo24, ::testing::Values(1u, 4u, 8u));

TEST(IncreaseBpp, WithoutTransparencyTheBackgroundColourStays) {
    CxImage img;
    MakePaletteImage(img, 8, 4, 4);
    img.SetBackgroundColor(MakeQuad(1, 2, 3));
    ASSERT_TRUE(img.IncreaseBpp(24));
    EXPECT_EQ(img.TransparentIndex(), -1);
    EXPECT_TRUE(SameColor(img.BackgroundColor(), MakeQuad(1, 2, 3)));
}

TEST(IncreaseBpp, CarriesTheAlphaAndSelectionPlanes) {
    CxImage img;
    MakePaletteImage(img, 8, 5, 3);
    ASSERT_TRUE(img.AlphaCreate());
    ASSERT_TRUE(img.SelectionCreate());
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 5; ++x)
            img.SetAlphaAt(x, y, uint8_t(x * 50 + y));
    img.SelectionPlane()[7] = 123;
    ASSERT_TRUE(img.IncreaseBpp(24));
    ASSERT_TRUE(img.HasAlpha());
    ASSERT_TRUE(img.HasSelection());
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 5; ++x)
            EXPECT_EQ(img.AlphaAt(x, y), x * 50 + y);
    EXPECT_EQ(img.SelectionPlane()[7], 123);
}

TEST(IncreaseBpp, TrueColourIsLeftAsItIs) {
    CxImage img;
    ASSERT_TRUE(img.Create(3, 3, 24, 0));
    img.ClearPixels();
    img.SetColorAt(1, 1, MakeQuad(5, 6, 7));
    const std::vector<uint8_t> before = BlockOf(img);
    const uint8_t* block = img.DibBlock();
    EXPECT_TRUE(img.IncreaseBpp(24));
    EXPECT_EQ(img.DibBlock(), block);
    EXPECT_EQ(BlockOf(img), before);
}

TEST(IncreaseBpp, RefusesAnEmptyImageOrMoreThan24Bits) {
    CxImage empty;
    EXPECT_FALSE(empty.IncreaseBpp(24));
    CxImage img;
    MakePaletteImage(img, 8, 2, 2);
    EXPECT_FALSE(img.IncreaseBpp(32));
    EXPECT_EQ(img.BitsPerPixel(), 8u);
}

TEST(IncreaseBpp, ToADeeperPaletteKeepsTableAndIndices) {
    CxImage img;
    MakePaletteImage(img, 1, 11, 3);
    const CxImage before(img);
    ASSERT_TRUE(img.IncreaseBpp(8));
    EXPECT_EQ(img.BitsPerPixel(), 8u);
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 11; ++x)
            ASSERT_EQ(img.IndexAt(x, y), before.IndexAt(x, y));
    EXPECT_TRUE(SameQuad(img.PaletteColor(1), before.PaletteColor(1)));
}

TEST(IncreaseBpp, AStopRequestLeavesTheImageUnchanged) {
    CxImage img;
    MakePaletteImage(img, 4, 6, 6);
    const std::vector<uint8_t> before = BlockOf(img);
    img.SetEscape(1);
    EXPECT_FALSE(img.IncreaseBpp(24));
    EXPECT_EQ(img.BitsPerPixel(), 4u);
    EXPECT_EQ(BlockOf(img), before);
}
