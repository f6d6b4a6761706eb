#include "gif/octree_quantizer.h"

#include <array>
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "image/cximage.h"

namespace {

const RgbQuad kUntouched = MakeQuad(1, 2, 3, 4);

std::vector<RgbQuad> FreshTable() {
    return std::vector<RgbQuad>(256, kUntouched);
}

// A 24-bit image of one row holding `colors` from left to right.
void MakeRow(CxImage& img, const std::vector<RgbQuad>& colors) {
    ASSERT_NE(img.Create(uint32_t(colors.size()), 1, 24), nullptr);
    for (std::size_t x = 0; x < colors.size(); ++x)
        img.SetColorAt(int64_t(x), 0, colors[x]);
}

void ExpectQuad(RgbQuad got, RgbQuad want, const char* what) {
    EXPECT_EQ(got.rgbRed, want.rgbRed) << what;
    EXPECT_EQ(got.rgbGreen, want.rgbGreen) << what;
    EXPECT_EQ(got.rgbBlue, want.rgbBlue) << what;
    EXPECT_EQ(got.rgbReserved, want.rgbReserved) << what;
}

} // namespace

TEST(OctreeQuantizer, SingleColourGivesOneEntryAndLeavesTheRest) {
    CxImage img;
    ASSERT_NE(img.Create(7, 5, 24), nullptr);
    for (int64_t y = 0; y < 5; ++y)
        for (int64_t x = 0; x < 7; ++x)
            img.SetColorAt(x, y, MakeQuad(12, 200, 99));
    OctreeQuantizer q(256, 8);
    ASSERT_TRUE(q.AddImage(img));
    EXPECT_EQ(q.LeafCount(), 1u);
    std::vector<RgbQuad> table = FreshTable();
    EXPECT_EQ(q.FillPalette(table), 1u);
    ExpectQuad(table[0], MakeQuad(12, 200, 99, 0), "the colour");
    for (std::size_t i = 1; i < table.size(); ++i)
        ASSERT_TRUE(SameQuad(table[i], kUntouched)) << "entry " << i;
}

// 256 blues, one pixel each, fill the tree exactly; white is the 257th colour.
// Its own branch has no other leaf to merge with, so a level-7 node of two
// blues folds. Every pair costs the same (two pixels one step apart), and
// among equals the newest goes.
TEST(OctreeQuantizer, The257thColourFoldsTheNewestOfEquallyLightNodes) {
    struct Case {
        const char* name;
        bool ascending;
        uint32_t foldedEntry; // where the merged pair lands in the palette
        RgbQuad merged;
    };
    const std::array<Case, 2> cases{{
        {"blue 0 to 255", true, 254, MakeQuad(0, 0, 254)}, // (254 + 255) / 2 truncated
        {"blue 255 to 0", false, 0, MakeQuad(0, 0, 0)},    // (0 + 1) / 2 truncated
    }};
    for (const Case& c : cases) {
        std::vector<RgbQuad> colors;
        for (int i = 0; i < 256; ++i)
            colors.push_back(MakeQuad(0, 0, uint8_t(c.ascending ? i : 255 - i)));
        colors.push_back(MakeQuad(255, 255, 255));
        CxImage img;
        MakeRow(img, colors);
        OctreeQuantizer q(256, 8);
        ASSERT_TRUE(q.AddImage(img));
        EXPECT_EQ(q.LeafCount(), 256u) << c.name;

        std::vector<RgbQuad> table = FreshTable();
        ASSERT_EQ(q.FillPalette(table), 256u) << c.name;
        ExpectQuad(table[c.foldedEntry], c.merged, c.name);
        ExpectQuad(table[255], MakeQuad(255, 255, 255), c.name);
        // The other blues stay exact, in tree (ascending blue) order.
        uint32_t blue = c.foldedEntry == 0 ? 2 : 0;
        for (uint32_t i = 0; i < 255; ++i) {
            if (i == c.foldedEntry)
                continue;
            ExpectQuad(table[i], MakeQuad(0, 0, uint8_t(blue++)), c.name);
        }
    }
}

// The same 256 blues, each twice except blues 100 and 101; then white. The
// level-7 node of 100 and 101 holds the fewest pixels, one step apart like
// every pair, so it is the cheapest fold wherever it arrived: colours covering
// more of the picture stay exact.
TEST(OctreeQuantizer, The257thColourFoldsTheLightestNode) {
    for (const bool lightFirst : {true, false}) {
        std::vector<RgbQuad> colors;
        if (lightFirst)
            colors = {MakeQuad(0, 0, 100), MakeQuad(0, 0, 101)};
        for (int i = 0; i < 256; ++i) {
            if (i != 100 && i != 101)
                colors.insert(colors.end(), 2, MakeQuad(0, 0, uint8_t(i)));
        }
        if (!lightFirst)
            colors.insert(colors.end(), {MakeQuad(0, 0, 100), MakeQuad(0, 0, 101)});
        colors.push_back(MakeQuad(255, 255, 255));
        CxImage img;
        MakeRow(img, colors);
        OctreeQuantizer q(256, 8);
        ASSERT_TRUE(q.AddImage(img));
        ASSERT_EQ(q.LeafCount(), 256u);

        std::vector<RgbQuad> table = FreshTable();
        ASSERT_EQ(q.FillPalette(table), 256u);
        const char* what = lightFirst ? "light pair first" : "light pair last";
        for (uint32_t i = 0; i < 100; ++i)
            ExpectQuad(table[i], MakeQuad(0, 0, uint8_t(i)), what);
        ExpectQuad(table[100], MakeQuad(0, 0, 100), what); // (100 + 101) / 2 truncated
        for (uint32_t i = 101; i < 255; ++i)
            ExpectQuad(table[i], MakeQuad(0, 0, uint8_t(i + 1)), what);
        ExpectQuad(table[255], MakeQuad(255, 255, 255), what);
    }
}

TEST(OctreeQuantizer, NeverHoldsMoreLeavesThanColours) {
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> byte(0, 255);
    CxImage img;
    ASSERT_NE(img.Create(97, 61, 24), nullptr);
    for (int64_t y = 0; y < 61; ++y)
        for (int64_t x = 0; x < 97; ++x)
            img.SetColorAt(x, y,
                           MakeQuad(uint8_t(byte(rng)), uint8_t(byte(rng)), uint8_t(byte(rng))));
    for (const uint32_t colors : {256u, 16u, 3u}) {
        OctreeQuantizer q(colors, 8);
        ASSERT_TRUE(q.AddImage(img));
        EXPECT_LE(q.LeafCount(), std::max(colors, 16u));
        EXPECT_GE(q.LeafCount(), std::max(colors, 16u) - 7); // a fold removes at most 7
        std::vector<RgbQuad> table = FreshTable();
        EXPECT_EQ(q.FillPalette(table), q.LeafCount());
    }
}

TEST(OctreeQuantizer, AveragesTruncate) {
    // With 7 colour bits, red 10 and 11 share a leaf.
    CxImage img;
    MakeRow(img, {MakeQuad(10, 0, 0), MakeQuad(11, 0, 0)});
    OctreeQuantizer q(256, 7);
    ASSERT_TRUE(q.AddImage(img));
    std::vector<RgbQuad> table = FreshTable();
    ASSERT_EQ(q.FillPalette(table), 1u);
    ExpectQuad(table[0], MakeQuad(10, 0, 0), "average of 10 and 11");
}

// With no colour bits the root is the only leaf, so the one palette entry is
// the average of exactly the pixels that were read: wrong nibble or bit order,
// or reading row padding, shows in it.
TEST(OctreeQuantizer, ReadsPaletteImagesThroughTheirTable) {
    struct Case {
        uint32_t bits;
        std::vector<uint8_t> indices; // 3 x 2, memory row order
        RgbQuad average;
    };
    // Entry i: red 30 i, green 60 + i, blue 0, reserved 10 i.
    const std::array<Case, 3> cases{{
        {8, {1, 2, 2, 5, 0, 3}, MakeQuad(65, 62, 0, 21)},
        {4, {1, 2, 2, 5, 0, 3}, MakeQuad(65, 62, 0, 21)},
        {1, {1, 0, 0, 1, 1, 0}, MakeQuad(15, 60, 0, 5)},
    }};
    for (const Case& c : cases) {
        CxImage img;
        ASSERT_NE(img.Create(3, 2, c.bits), nullptr);
        for (uint32_t i = 0; i < img.NumColors(); ++i)
            img.SetPaletteColor(i, MakeQuad(uint8_t(30 * i), uint8_t(60 + i), 0, uint8_t(10 * i)));
        std::memset(img.Row(0), 0xFF, img.Stride() * 2); // padding full of high indices
        for (uint32_t k = 0; k < 6; ++k)
            img.SetIndexAt(k % 3, k / 3, c.indices[k]);
        OctreeQuantizer q(256, 0);
        ASSERT_TRUE(q.AddImage(img)) << c.bits;
        std::vector<RgbQuad> table = FreshTable();
        ASSERT_EQ(q.FillPalette(table), 1u);
        ExpectQuad(table[0], c.average, "palette image");
    }
}

TEST(OctreeQuantizer, SkipsRowPaddingOfTrueColourImages) {
    CxImage img;
    ASSERT_NE(img.Create(3, 2, 24), nullptr); // 9 of 12 bytes used per row
    std::memset(img.Row(0), 0xFF, img.Stride() * 2);
    for (int64_t y = 0; y < 2; ++y)
        for (int64_t x = 0; x < 3; ++x)
            img.SetColorAt(x, y, MakeQuad(uint8_t(10 * x), uint8_t(20 * y), 7));
    OctreeQuantizer q(256, 0);
    ASSERT_TRUE(q.AddImage(img));
    std::vector<RgbQuad> table = FreshTable();
    ASSERT_EQ(q.FillPalette(table), 1u);
    ExpectQuad(table[0], MakeQuad(10, 10, 7, 0), "24-bit average");
}

TEST(OctreeQuantizer, RefusesBadBlocksAndAddsNothing) {
    CxImage img;
    ASSERT_NE(img.Create(4, 4, 8), nullptr);
    img.FillIndex(0);
    std::vector<uint8_t> block(img.DibBlock(), img.DibBlock() + img.DibSize());
    const auto withDepth = [&](uint16_t bits) {
        std::vector<uint8_t> b = block;
        std::memcpy(b.data() + 14, &bits, 2); // biBitCount
        return b;
    };
    // 8-bit rows with a 16-entry table and one index past it.
    std::vector<uint8_t> shortTable = block;
    const uint32_t sixteen = 16;
    std::memcpy(shortTable.data() + 32, &sixteen, 4); // biClrUsed
    shortTable[40 + 16 * 4 + 5] = 200;

    OctreeQuantizer q(256, 8);
    EXPECT_FALSE(q.AddImage(withDepth(16)));
    EXPECT_FALSE(q.AddImage(withDepth(32)));
    EXPECT_FALSE(q.AddImage(withDepth(2)));
    EXPECT_FALSE(q.AddImage(std::span<const uint8_t>(block.data(), block.size() - 1)));
    EXPECT_FALSE(q.AddImage(std::span<const uint8_t>(block.data(), 20)));
    EXPECT_FALSE(q.AddImage(shortTable));
    EXPECT_FALSE(q.AddImage(CxImage()));
    EXPECT_EQ(q.LeafCount(), 0u);
    std::vector<RgbQuad> table = FreshTable();
    EXPECT_EQ(q.FillPalette(table), 0u);
    EXPECT_TRUE(SameQuad(table[0], kUntouched));
    EXPECT_TRUE(q.AddImage(block));
    EXPECT_EQ(q.LeafCount(), 1u);
}

TEST(OctreeQuantizer, FillPaletteStopsAtTheEndOfTheTable) {
    std::vector<RgbQuad> colors;
    for (int i = 0; i < 40; ++i)
        colors.push_back(MakeQuad(uint8_t(6 * i), uint8_t(255 - 6 * i), 0));
    CxImage img;
    MakeRow(img, colors);
    OctreeQuantizer q(256, 8);
    ASSERT_TRUE(q.AddImage(img));
    ASSERT_EQ(q.LeafCount(), 40u);
    std::vector<RgbQuad> table = FreshTable();
    EXPECT_EQ(q.FillPalette(std::span<RgbQuad>(table.data(), 4)), 4u);
    EXPECT_TRUE(SameQuad(table[4], kUntouched));
}
