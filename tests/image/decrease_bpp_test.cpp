// Palette reduction: independent reference computations on plain arrays,
// one small case worked out by hand, and the early-exit and failure rules.

#include <array>
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "image/cximage.h"

namespace {

struct Rgb {
    int r = 0, g = 0, b = 0;
};

uint8_t Nearest(const std::vector<RgbQuad>& table, std::size_t m, Rgb c) {
    long best = 200000;
    uint8_t index = 0;
    for (std::size_t i = 0; i < m; ++i) {
        const long d = long(table[i].rgbRed - c.r) * (table[i].rgbRed - c.r) +
                       long(table[i].rgbGreen - c.g) * (table[i].rgbGreen - c.g) +
                       long(table[i].rgbBlue - c.b) * (table[i].rgbBlue - c.b);
        if (d < best) {
            best = d;
            index = uint8_t(i);
            if (d == 0)
                break;
        }
    }
    return index;
}

Rgb ToRgb(RgbQuad q) {
    return {q.rgbRed, q.rgbGreen, q.rgbBlue};
}

// Pixels as colours in memory row order, and a way to snap written colours
// the way storing into the source does (identity for a true-colour source).
struct Picture {
    uint32_t width = 0, height = 0;
    std::vector<Rgb> pixels;
    std::vector<RgbQuad> ownTable; // empty for a true-colour source
    std::size_t ownSearched = 0;
    Rgb& at(uint32_t x, uint32_t y) { return pixels[std::size_t(y) * width + x]; }
    Rgb Snap(Rgb c) const {
        if (ownTable.empty())
            return c;
        return ToRgb(ownTable[Nearest(ownTable, ownSearched, c)]);
    }
};

Picture PictureOf(const CxImage& img) {
    Picture p{img.Width(), img.Height(), {}, {}, 0};
    for (uint32_t y = 0; y < p.height; ++y)
        for (uint32_t x = 0; x < p.width; ++x)
            p.pixels.push_back(ToRgb(img.ColorAt(x, y)));
    if (img.NumColors() != 0) {
        p.ownTable.assign(img.Palette(), img.Palette() + img.NumColors());
        p.ownSearched = img.ColorsImportant()
                            ? std::min<std::size_t>(img.ColorsImportant(), img.NumColors())
                            : img.NumColors();
    }
    return p;
}

int Clamp(int v) {
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}

// The reduction written straight from its description: memory rows from 0 up,
// the error shared 7, 2, 4, 1 sixteenths with C++'s truncating division.
std::vector<uint8_t> ReferenceReduce(Picture p, const std::vector<RgbQuad>& table, std::size_t m,
                                     bool diffuse) {
    std::vector<uint8_t> out;
    for (uint32_t y = 0; y < p.height; ++y) {
        for (uint32_t x = 0; x < p.width; ++x) {
            const Rgb c = p.at(x, y);
            const uint8_t index = Nearest(table, m, c);
            out.push_back(index);
            if (!diffuse)
                continue;
            const Rgb e{c.r - table[index].rgbRed, c.g - table[index].rgbGreen,
                        c.b - table[index].rgbBlue};
            const auto share = [&](int64_t nx, int64_t ny, int w) {
                if (nx < 0 || ny < 0 || nx >= p.width || ny >= p.height)
                    return;
                Rgb& n = p.at(uint32_t(nx), uint32_t(ny));
                n = p.Snap({Clamp(n.r + e.r * w / 16), Clamp(n.g + e.g * w / 16),
                            Clamp(n.b + e.b * w / 16)});
            };
            share(x + 1, y, 7);
            share(int64_t(x) - 1, y + 1, 2);
            share(x, y + 1, 4);
            share(x + 1, y + 1, 1);
        }
    }
    return out;
}

std::vector<uint8_t> IndicesOf(const CxImage& img) {
    std::vector<uint8_t> out;
    for (uint32_t y = 0; y < img.Height(); ++y)
        for (uint32_t x = 0; x < img.Width(); ++x)
            out.push_back(img.IndexAt(x, y));
    return out;
}

void FillRandom(CxImage& img, std::mt19937& rng) {
    std::uniform_int_distribution<int> byte(0, 255);
    for (uint32_t y = 0; y < img.Height(); ++y)
        for (uint32_t x = 0; x < img.Width(); ++x) {
            if (img.NumColors())
                img.SetIndexAt(x, y, uint8_t(byte(rng) % img.NumColors()));
            else
                img.SetColorAt(
                    x, y, MakeQuad(uint8_t(byte(rng)), uint8_t(byte(rng)), uint8_t(byte(rng))));
        }
}

// A table of few distinct colours with duplicates, so ties and big errors occur.
std::vector<RgbQuad> RandomTable(std::mt19937& rng) {
    std::uniform_int_distribution<int> byte(0, 255), pick(0, 11);
    std::vector<RgbQuad> pool;
    for (int i = 0; i < 12; ++i)
        pool.push_back(MakeQuad(uint8_t(byte(rng)), uint8_t(byte(rng)), uint8_t(byte(rng))));
    std::vector<RgbQuad> table(256);
    for (RgbQuad& q : table)
        q = pool[std::size_t(pick(rng))];
    return table;
}

std::vector<uint8_t> BlockOf(const CxImage& img) {
    return std::vector<uint8_t>(img.DibBlock(), img.DibBlock() + img.DibSize());
}

} // namespace

TEST(DecreaseBpp, MatchesReferenceWithAndWithoutDiffusion) {
    struct Case {
        const char* name;
        uint32_t sourceBits, targetBits, colorsImportant;
    };
    const std::array<Case, 5> cases{{
        {"24 to 8", 24, 8, 0},
        {"24 to 8, 40 important", 24, 8, 40},
        {"24 to 4", 24, 4, 0},
        {"24 to 1", 24, 1, 0},
        {"8 to 8, 9 important", 8, 8, 9},
    }};
    std::mt19937 rng(99);
    for (const Case& c : cases) {
        for (const bool diffuse : {false, true}) {
            for (int round = 0; round < 6; ++round) {
                CxImage img;
                ASSERT_NE(img.Create(23 + round, 17, c.sourceBits), nullptr);
                if (img.NumColors())
                    img.SetPaletteColors(RandomTable(rng));
                FillRandom(img, rng);
                const std::vector<RgbQuad> table = RandomTable(rng);
                const std::size_t m =
                    c.colorsImportant ? c.colorsImportant : (std::size_t(1) << c.targetBits);
                const std::vector<uint8_t> want =
                    ReferenceReduce(PictureOf(img), table, m, diffuse);

                ASSERT_TRUE(img.DecreaseBpp(c.targetBits, diffuse, table.data(), c.colorsImportant))
                    << c.name;
                ASSERT_EQ(img.BitsPerPixel(), c.targetBits);
                ASSERT_EQ(img.ColorsImportant(), c.colorsImportant);
                ASSERT_EQ(IndicesOf(img), want) << c.name << (diffuse ? " diffused" : " plain");
                for (uint32_t i = 0; i < std::min<std::size_t>(m, img.NumColors()); ++i)
                    ASSERT_TRUE(SameQuad(img.PaletteColor(i), table[i])) << c.name;
            }
        }
    }
}

// Grey picture, black/white table, worked through by hand (one channel shown,
// (x, y) with y = 0 the bottom line; each share is e x w / 16 truncated):
//   (0,0) 128 -> white, e -127: (1,0) 0-55 -> 0; (0,1) 128-31 = 97; (1,1) 100-7 = 93
//   (1,0) 0 -> black, no error
//   (2,0) 200 -> white, e -55: (1,1) 93-6 = 87; (2,1) 40-13 = 27
//   (0,1) 97 -> black, e 97: (1,1) 87+42 = 129
//   (1,1) 129 -> white, e -126: (2,1) 27-55 -> 0
//   (2,1) 0 -> black
// Without diffusion, walking top-down, using 7-3-5-1, flooring, or not clamping
// each gives another pattern.
TEST(DecreaseBpp, DiffusesByHandWorkedExample) {
    const std::array<std::array<uint8_t, 3>, 2> grey{{{128, 0, 200}, {128, 100, 40}}};
    std::vector<RgbQuad> table(256, MakeQuad(0, 0, 0));
    table[1] = MakeQuad(255, 255, 255);
    struct Case {
        bool diffuse;
        std::vector<uint8_t> indices; // memory row order
    };
    for (const Case& c : {Case{true, {1, 0, 1, 0, 1, 0}}, Case{false, {1, 0, 1, 1, 0, 0}}}) {
        CxImage img;
        ASSERT_NE(img.Create(3, 2, 24), nullptr);
        for (uint32_t y = 0; y < 2; ++y)
            for (uint32_t x = 0; x < 3; ++x)
                img.SetColorAt(x, y, MakeQuad(grey[y][x], grey[y][x], grey[y][x]));
        ASSERT_TRUE(img.DecreaseBpp(8, c.diffuse, table.data(), 0));
        EXPECT_EQ(IndicesOf(img), c.indices) << (c.diffuse ? "diffused" : "plain");
    }
}

TEST(DecreaseBpp, DepthRules) {
    std::mt19937 rng(5);
    const std::vector<RgbQuad> table = RandomTable(rng);
    struct Case {
        const char* name;
        uint32_t sourceBits, ownImportant, targetBits, colorsImportant;
        bool result;
        const char* error;
    };
    const std::array<Case, 5> cases{{
        {"same depth, none important", 8, 0, 8, 0, true, ""},
        {"same depth, own limit below", 8, 5, 8, 9, true, ""},
        {"greater depth", 8, 0, 24, 0, false, "DecreaseBpp: target BPP greater than source BPP"},
        {"4 to 8", 4, 0, 8, 0, false, "DecreaseBpp: target BPP greater than source BPP"},
        {"1 to 4", 1, 0, 4, 16, false, "DecreaseBpp: target BPP greater than source BPP"},
    }};
    for (const Case& c : cases) {
        CxImage img;
        ASSERT_NE(img.Create(9, 4, c.sourceBits), nullptr);
        img.SetPaletteColors(RandomTable(rng));
        img.SetColorsImportant(c.ownImportant);
        FillRandom(img, rng);
        const std::vector<uint8_t> before = BlockOf(img);
        EXPECT_EQ(img.DecreaseBpp(c.targetBits, true, table.data(), c.colorsImportant), c.result)
            << c.name;
        EXPECT_STREQ(img.LastError(), c.error) << c.name;
        EXPECT_EQ(BlockOf(img), before) << c.name << ": image changed";
    }
    CxImage empty;
    EXPECT_FALSE(empty.DecreaseBpp(8, false, table.data(), 0));
}

TEST(DecreaseBpp, KeepsFlagsTransparencyPlanesAndSubFrames) {
    std::mt19937 rng(11);
    CxImage img;
    ASSERT_NE(img.Create(6, 5, 24), nullptr);
    FillRandom(img, rng);
    img.SetUserFlags(1);
    img.SetTransparentIndex(-1);
    img.SetFrameDelay(7);
    ASSERT_TRUE(img.AlphaCreate());
    img.SetAlphaAt(2, 3, 17);
    img.Frames().push_back(std::make_unique<CxImage>());
    const std::vector<RgbQuad> table = RandomTable(rng);

    ASSERT_TRUE(img.DecreaseBpp(8, true, table.data(), 0));
    EXPECT_EQ(img.BitsPerPixel(), 8u);
    EXPECT_EQ(img.UserFlags(), 1u);
    EXPECT_EQ(img.TransparentIndex(), -1);
    EXPECT_EQ(img.FrameDelay(), 7u);
    ASSERT_TRUE(img.HasAlpha());
    EXPECT_EQ(img.AlphaAt(2, 3), 17);
    EXPECT_EQ(img.Frames().size(), 1u);

    CxImage palette;
    ASSERT_NE(palette.Create(6, 5, 8), nullptr);
    palette.SetPaletteColors(table);
    palette.SetTransparentIndex(200);
    palette.SetUserFlags(0);
    ASSERT_TRUE(palette.DecreaseBpp(8, false, table.data(), 50));
    EXPECT_EQ(palette.TransparentIndex(), 200);
    EXPECT_EQ(palette.UserFlags(), 0u);
}

// A stopped reduction must not leave half-written rows behind.
TEST(DecreaseBpp, StoppedReductionLeavesTheImageUnchanged) {
    std::mt19937 rng(13);
    for (const bool diffuse : {false, true}) {
        for (const uint32_t bits : {24u, 8u}) {
            CxImage img;
            ASSERT_NE(img.Create(8, 8, bits), nullptr);
            if (bits == 8)
                img.SetPaletteColors(RandomTable(rng));
            FillRandom(img, rng);
            const std::vector<uint8_t> before = BlockOf(img);
            const std::vector<RgbQuad> table = RandomTable(rng);
            img.SetEscape(1);
            EXPECT_FALSE(img.DecreaseBpp(8, diffuse, table.data(), bits == 8 ? 30 : 0));
            EXPECT_EQ(BlockOf(img), before);
        }
    }
}

// A view cannot take a new pixel block, and must not write its error into the
// owner's pixels on the way to finding that out.
TEST(DecreaseBpp, RefusesASharedView) {
    std::mt19937 rng(21);
    CxImage owner;
    ASSERT_NE(owner.Create(5, 4, 24), nullptr);
    FillRandom(owner, rng);
    const std::vector<uint8_t> before = BlockOf(owner);
    CxImage view;
    view.ShareView(owner);
    const std::vector<RgbQuad> table = RandomTable(rng);
    EXPECT_FALSE(view.DecreaseBpp(8, true, table.data(), 0));
    EXPECT_EQ(BlockOf(owner), before);
    EXPECT_EQ(view.BitsPerPixel(), 24u);
}
