// NearestIndex must answer exactly as a plain scan of the searched entries,
// whatever caching sits behind it, and forget its answers whenever the table
// or the searched length changes.

#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "image/cximage.h"

namespace {

// The scan as the image layer defines it, written out independently.
uint8_t ScanNearest(const std::vector<RgbQuad>& table, uint32_t colorsImportant, RgbQuad c) {
    const std::size_t m =
        colorsImportant != 0 && colorsImportant < table.size() ? colorsImportant : table.size();
    long best = 200000;
    uint8_t bestIndex = 0;
    for (std::size_t i = 0; i < m; ++i) {
        const long dr = long(table[i].rgbRed) - c.rgbRed;
        const long dg = long(table[i].rgbGreen) - c.rgbGreen;
        const long db = long(table[i].rgbBlue) - c.rgbBlue;
        const long d = dr * dr + dg * dg + db * db;
        if (d < best) {
            best = d;
            bestIndex = uint8_t(i);
            if (d == 0)
                break;
        }
    }
    return bestIndex;
}

std::vector<RgbQuad> TableOf(const CxImage& img) {
    return std::vector<RgbQuad>(img.Palette(), img.Palette() + img.NumColors());
}

// Palettes of several shapes: spread out, on a coarse grid (many exact ties
// for colours half-way between), and drawn from a few colours (duplicates).
std::vector<RgbQuad> RandomTable(std::mt19937& rng, std::size_t size) {
    std::uniform_int_distribution<int> byte(0, 255), shape(0, 2), coarse(0, 8), pick(0, 5);
    std::vector<RgbQuad> pool;
    for (int i = 0; i < 6; ++i)
        pool.push_back(MakeQuad(uint8_t(byte(rng)), uint8_t(byte(rng)), uint8_t(byte(rng))));
    const int kind = shape(rng);
    std::vector<RgbQuad> table(size);
    for (RgbQuad& q : table) {
        if (kind == 0)
            q = MakeQuad(uint8_t(byte(rng)), uint8_t(byte(rng)), uint8_t(byte(rng)),
                         uint8_t(byte(rng)));
        else if (kind == 1)
            q = MakeQuad(uint8_t(coarse(rng) * 30), uint8_t(coarse(rng) * 30),
                         uint8_t(coarse(rng) * 30));
        else
            q = pool[std::size_t(pick(rng))];
    }
    return table;
}

// Query colours: random, exact entries, and points between two entries.
RgbQuad RandomQuery(std::mt19937& rng, const std::vector<RgbQuad>& table) {
    std::uniform_int_distribution<int> byte(0, 255), kind(0, 2);
    std::uniform_int_distribution<std::size_t> entry(0, table.size() - 1);
    switch (kind(rng)) {
    case 0:
        return MakeQuad(uint8_t(byte(rng)), uint8_t(byte(rng)), uint8_t(byte(rng)),
                        uint8_t(byte(rng)));
    case 1: {
        RgbQuad q = table[entry(rng)];
        q.rgbReserved = uint8_t(byte(rng)); // ignored by the distance
        return q;
    }
    default: {
        const RgbQuad a = table[entry(rng)], b = table[entry(rng)];
        return MakeQuad(uint8_t((a.rgbRed + b.rgbRed) / 2), uint8_t((a.rgbGreen + b.rgbGreen) / 2),
                        uint8_t((a.rgbBlue + b.rgbBlue) / 2));
    }
    }
}

} // namespace

TEST(NearestIndex, LowestIndexWinsTiesAndExactMatchStopsEarly) {
    CxImage img;
    ASSERT_NE(img.Create(4, 4, 8), nullptr);
    std::vector<RgbQuad> table(256, MakeQuad(250, 250, 250));
    table[3] = MakeQuad(100, 100, 90);
    table[7] = MakeQuad(100, 100, 110);
    table[9] = MakeQuad(20, 30, 40);
    table[200] = MakeQuad(20, 30, 40);
    img.SetPaletteColors(table);
    EXPECT_EQ(img.NearestIndex(MakeQuad(100, 100, 100)), 3);
    EXPECT_EQ(img.NearestIndex(MakeQuad(20, 30, 40, 77)), 9);
}

// (15,15,15) is exactly as far from (30,30,30) as from (0,0,0); the first
// entry must win although it lies outside the colour's neighbourhood and the
// second entry inside it.
TEST(NearestIndex, TieWithAFarEntryKeepsTheLowerIndex) {
    CxImage img;
    ASSERT_NE(img.Create(1, 1, 8), nullptr);
    img.SetPaletteColor(0, MakeQuad(30, 30, 30));
    img.SetPaletteColor(1, MakeQuad(0, 0, 0));
    img.SetColorsImportant(2);
    EXPECT_EQ(img.NearestIndex(MakeQuad(15, 15, 15)), 0);
    EXPECT_EQ(img.NearestIndex(MakeQuad(14, 15, 15)), 1);
}

TEST(NearestIndex, NoColourTableGivesZero) {
    CxImage empty;
    EXPECT_EQ(empty.NearestIndex(MakeQuad(1, 2, 3)), 0);
    CxImage trueColor;
    ASSERT_NE(trueColor.Create(2, 2, 24), nullptr);
    EXPECT_EQ(trueColor.NearestIndex(MakeQuad(1, 2, 3)), 0);
}

TEST(NearestIndex, MatchesPlainScanOnRandomTables) {
    std::mt19937 rng(20261210);
    const std::array<uint32_t, 3> depths{1, 4, 8};
    std::uniform_int_distribution<uint32_t> important(0, 300);
    for (int round = 0; round < 180; ++round) {
        CxImage img;
        const uint32_t bits = depths[std::size_t(round) % depths.size()];
        ASSERT_NE(img.Create(3, 3, bits), nullptr);
        img.SetPaletteColors(RandomTable(rng, img.NumColors()));
        // Half the rounds limit the search, some past the table's end.
        const uint32_t limit = round % 2 ? important(rng) % (img.NumColors() + 20) : 0;
        img.SetColorsImportant(limit);
        const std::vector<RgbQuad> table = TableOf(img);
        for (int q = 0; q < 1000; ++q) {
            const RgbQuad c = RandomQuery(rng, table);
            const uint8_t want = ScanNearest(table, limit, c);
            if (img.NearestIndex(c) != want) { // checked first: ASSERT per query is slow
                ASSERT_EQ(img.NearestIndex(c), want) << "round " << round << " query " << q;
            }
        }
    }
}

// Every way of changing what is searched must drop the cached answers.
TEST(NearestIndex, ForgetsAnswersWhenTheTableChanges) {
    std::mt19937 rng(7);
    CxImage img;
    ASSERT_NE(img.Create(2, 2, 8), nullptr);
    img.SetPaletteColors(RandomTable(rng, 256));
    std::vector<RgbQuad> queries;
    for (int i = 0; i < 400; ++i)
        queries.push_back(RandomQuery(rng, TableOf(img)));
    const auto expectScan = [&](CxImage& image, const char* step) {
        const std::vector<RgbQuad> table = TableOf(image);
        for (const RgbQuad& c : queries)
            ASSERT_EQ(image.NearestIndex(c), ScanNearest(table, image.ColorsImportant(), c))
                << step;
    };
    expectScan(img, "first table");

    img.SetPaletteColors(RandomTable(rng, 256));
    expectScan(img, "SetPaletteColors");

    // Move every queried colour's answer to a new exact entry 0.
    for (const RgbQuad& c : queries) {
        img.SetPaletteColor(0, c);
        const std::vector<RgbQuad> table = TableOf(img);
        ASSERT_EQ(img.NearestIndex(c), ScanNearest(table, 0, c)) << "SetPaletteColor";
    }

    img.SetColorsImportant(5);
    expectScan(img, "SetColorsImportant 5");
    img.SetColorsImportant(0);
    expectScan(img, "SetColorsImportant 0");

    img.Palette()[17] = queries[3];
    expectScan(img, "write through Palette()");

    CxImage other;
    ASSERT_NE(other.Create(2, 2, 8), nullptr);
    other.SetPaletteColors(RandomTable(rng, 256));
    ASSERT_TRUE(img.TakeOver(other));
    expectScan(img, "TakeOver");

    ASSERT_NE(img.Create(2, 2, 8), nullptr); // table zeroed
    expectScan(img, "Create");
    img.SetPaletteColors(RandomTable(rng, 256));

    CxImage copy(img);
    expectScan(copy, "copy");
    CxImage view;
    view.ShareView(img);
    expectScan(view, "view");
    img.SetPaletteColors(RandomTable(rng, 256));
    expectScan(img, "owner after its view searched");
}

// Images with different tables taking turns, more of them than a thread keeps
// lookups for, still get the scan's answers.
TEST(NearestIndex, ImagesTakingTurnsWithManyTables) {
    std::mt19937 rng(17);
    std::array<CxImage, 7> images;
    std::array<std::vector<RgbQuad>, 7> tables;
    for (std::size_t i = 0; i < images.size(); ++i) {
        ASSERT_NE(images[i].Create(1, 1, 8), nullptr);
        images[i].SetPaletteColors(RandomTable(rng, 256));
        tables[i] = TableOf(images[i]);
    }
    for (int round = 0; round < 300; ++round) {
        // Every other round only the first two images: they get lookups then.
        const std::size_t n = round % 2 ? images.size() : 2;
        for (std::size_t i = 0; i < n; ++i) {
            const RgbQuad c = RandomQuery(rng, tables[i]);
            ASSERT_EQ(images[i].NearestIndex(c), ScanNearest(tables[i], 0, c))
                << "round " << round << " image " << i;
        }
    }
}
