#include "image/cximage.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* kZeroSize = "CxImage::Create : width and height must be greater than zero";
constexpr const char* kTooBig = "CXIMAGE_MAX_MEMORY exceeded";

std::vector<RgbQuad> GreyTable(uint32_t n) {
    std::vector<RgbQuad> table(n);
    for (uint32_t i = 0; i < n; ++i)
        table[i] = MakeQuad(uint8_t(i), uint8_t(i), uint8_t(i));
    return table;
}

// Makes `img` a 24-bit image whose pixel (x, y) is (x, y, x + y).
void Gradient24(CxImage& img, uint32_t w, uint32_t h) {
    ASSERT_TRUE(img.Create(w, h, 24, 0));
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            img.SetColorAt(x, y, MakeQuad(uint8_t(x), uint8_t(y), uint8_t(x + y)));
}

bool SameColor(RgbQuad a, RgbQuad b) {
    return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
}

} // namespace

TEST(CxImageCreate, RefusesZeroSize) {
    CxImage img;
    EXPECT_EQ(img.Create(0, 10, 24, 0), nullptr);
    EXPECT_STREQ(img.LastError(), kZeroSize);
    EXPECT_EQ(img.Create(10, 0, 8, 0), nullptr);
    EXPECT_STREQ(img.LastError(), kZeroSize);
    EXPECT_FALSE(img.IsValid());
}

struct DepthCase {
    uint32_t width;
    uint32_t requestedBits;
    uint32_t bits;
    uint32_t colors;
    uint32_t stride;
};

class CxImageCreateDepth : public ::testing::TestWithParam<DepthCase> {};

TEST_P(CxImageCreateDepth, NormalisesDepthAndPadsRows) {
    const DepthCase c = GetParam();
    CxImage img;
    ASSERT_NE(img.Create(c.width, 5, c.requestedBits, 0), nullptr);
    EXPECT_EQ(img.BitsPerPixel(), c.bits);
    EXPECT_EQ(img.NumColors(), c.colors);
    EXPECT_EQ(img.Stride(), c.stride);

    // The block starts with the header the image reports, then a zeroed table.
    BitmapInfoHeader head;
    std::memcpy(&head, img.DibBlock(), sizeof head);
    EXPECT_EQ(head.biSize, 40u);
    EXPECT_EQ(head.biWidth, int32_t(c.width));
    EXPECT_EQ(head.biHeight, 5);
    EXPECT_EQ(head.biPlanes, 1);
    EXPECT_EQ(head.biBitCount, c.bits);
    EXPECT_EQ(head.biCompression, 0u);
    EXPECT_EQ(head.biSizeImage, c.stride * 5);
    EXPECT_EQ(head.biXPelsPerMeter, 3780);
    EXPECT_EQ(head.biYPelsPerMeter, 3780);
    EXPECT_EQ(head.biClrUsed, c.colors);
    EXPECT_EQ(img.DibSize(), 40u + c.colors * 4 + c.stride * 5);
    for (uint32_t i = 0; i < c.colors; ++i)
        EXPECT_TRUE(SameQuad(img.PaletteColor(i), RgbQuad{})) << i;
    EXPECT_EQ(img.Row(0), img.DibBlock() + 40 + c.colors * 4);
}

INSTANTIATE_TEST_SUITE_P(Table, CxImageCreateDepth,
                         ::testing::Values(DepthCase{7, 32, 24, 0, 24}, DepthCase{7, 24, 24, 0, 24},
                                           DepthCase{7, 9, 24, 0, 24}, DepthCase{7, 8, 8, 256, 8},
                                           DepthCase{7, 5, 8, 256, 8}, DepthCase{7, 4, 4, 16, 4},
                                           DepthCase{7, 2, 4, 16, 4}, DepthCase{7, 1, 1, 2, 4},
                                           DepthCase{7, 0, 1, 2, 4}, DepthCase{1, 24, 24, 0, 4},
                                           DepthCase{3, 1, 1, 2, 4}, DepthCase{33, 1, 1, 2, 8},
                                           DepthCase{9, 4, 4, 16, 8}, DepthCase{4, 24, 24, 0, 12}));

struct LimitCase {
    uint32_t width;
    uint32_t height;
    uint32_t bits;
    bool accepted;
};

class CxImageCreateLimit : public ::testing::TestWithParam<LimitCase> {};

TEST_P(CxImageCreateLimit, PixelDataMayNotExceed256MiB) {
    const LimitCase c = GetParam();
    CxImage img;
    const bool created = img.Create(c.width, c.height, c.bits, 0) != nullptr;
    EXPECT_EQ(created, c.accepted);
    if (!c.accepted)
        EXPECT_STREQ(img.LastError(), kTooBig);
    else
        EXPECT_EQ(img.Width(), c.width);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CxImageCreateLimit,
    ::testing::Values(LimitCase{8192, 8192, 24, true}, LimitCase{10000, 10000, 24, false},
                      // Exactly 2^31 bits, unpadded, is allowed; one row more is not.
                      LimitCase{65536, 32768, 1, true}, LimitCase{65536, 32769, 1, false},
                      // 65536 x 65536 is 0 in 32 bits: it must not slip through.
                      LimitCase{65536, 65536, 1, false}, LimitCase{65536, 65536, 4, false},
                      LimitCase{65536, 65536, 8, false}, LimitCase{65536, 65536, 24, false},
                      // width x height x depth wraps 64 bits to just under 2^31.
                      LimitCase{2147443515u, 1073761891u, 8, false},
                      LimitCase{2147443511u, 357920631u, 24, false},
                      // Few bits but four bytes a row once padded.
                      LimitCase{1, 67108865, 24, false}, LimitCase{0xFFFFFFFFu, 1, 1, false},
                      LimitCase{1, 0x80000000u, 1, false}));

TEST(CxImageCreate, ReplacesContentAndKeepsTheRecord) {
    CxImage img;
    ASSERT_TRUE(img.Create(4, 4, 8, 0));
    img.SetUserFlags(1);
    ASSERT_TRUE(img.AlphaCreate());
    ASSERT_TRUE(img.Create(6, 3, 24, CXIMAGE_FORMAT_GIF));
    EXPECT_EQ(img.Width(), 6u);
    EXPECT_EQ(img.Height(), 3u);
    EXPECT_EQ(img.Type(), uint32_t(CXIMAGE_FORMAT_GIF));
    EXPECT_EQ(img.UserFlags(), 1u);
    EXPECT_FALSE(img.HasAlpha());
}

TEST(CxImageCreate, AFailedCreateLeavesAnEmptyZeroSizedImage) {
    CxImage img;
    ASSERT_TRUE(img.Create(40, 30, 24, 0));
    EXPECT_EQ(img.Create(65536, 65536, 24, 0), nullptr);
    EXPECT_FALSE(img.IsValid());
    EXPECT_EQ(img.Width(), 0u);
    EXPECT_EQ(img.Height(), 0u);
    EXPECT_EQ(img.DibBlock(), nullptr);
}

TEST(CxImageConstruct, StartsEmptyWithDefaults) {
    const CxImage img(CXIMAGE_FORMAT_GIF);
    EXPECT_FALSE(img.IsValid());
    EXPECT_EQ(img.Type(), uint32_t(CXIMAGE_FORMAT_GIF));
    EXPECT_EQ(img.TransparentIndex(), -1);
    EXPECT_EQ(img.XDpi(), 96);
    EXPECT_EQ(img.YDpi(), 96);
    EXPECT_EQ(img.UserFlags(), 0u);
    EXPECT_STREQ(img.LastError(), "");
    EXPECT_TRUE(img.Info().bLittleEndianHost);
}

TEST(CxImageCopy, IsDeepAndCarriesTheRecordAndPlanes) {
    CxImage src;
    ASSERT_TRUE(src.Create(5, 4, 8, 0));
    const std::vector<RgbQuad> table = GreyTable(256);
    src.SetPaletteColors(table);
    for (uint32_t y = 0; y < 4; ++y)
        for (uint32_t x = 0; x < 5; ++x)
            src.SetIndexAt(x, y, uint8_t(10 * y + x));
    src.SetUserFlags(1);
    src.SetTransparentIndex(7);
    src.SetFrameDelay(12);
    ASSERT_TRUE(src.AlphaCreate());
    src.SetAlphaAt(2, 1, 9);
    ASSERT_TRUE(src.SelectionCreate());
    src.SelectionPlane()[3] = 200;

    CxImage copy(src);
    ASSERT_TRUE(copy.IsValid());
    EXPECT_NE(copy.DibBlock(), src.DibBlock());
    EXPECT_EQ(copy.UserFlags(), 1u);
    EXPECT_EQ(copy.TransparentIndex(), 7);
    EXPECT_EQ(copy.FrameDelay(), 12u);
    ASSERT_EQ(copy.DibSize(), src.DibSize());
    EXPECT_EQ(std::memcmp(copy.DibBlock(), src.DibBlock(), src.DibSize()), 0);
    ASSERT_TRUE(copy.HasAlpha());
    EXPECT_EQ(copy.AlphaAt(2, 1), 9);
    ASSERT_TRUE(copy.HasSelection());
    EXPECT_EQ(copy.SelectionPlane()[3], 200);

    // Deep: changing the copy leaves the source alone.
    copy.SetIndexAt(0, 0, 99);
    copy.SetAlphaAt(2, 1, 1);
    EXPECT_EQ(src.IndexAt(0, 0), 0);
    EXPECT_EQ(src.AlphaAt(2, 1), 9);
}

TEST(CxImageCopy, WithoutPixelsCopiesOnlyTheTableAndRequestedPlanes) {
    CxImage src;
    ASSERT_TRUE(src.Create(3, 3, 4, 0));
    src.SetPaletteColors(GreyTable(16));
    ASSERT_TRUE(src.AlphaCreate());
    const CxImage copy(src, false, false, false);
    ASSERT_TRUE(copy.IsValid());
    EXPECT_EQ(copy.BitsPerPixel(), 4u);
    for (uint32_t i = 0; i < 16; ++i)
        EXPECT_TRUE(SameQuad(copy.PaletteColor(i), src.PaletteColor(i))) << i;
    EXPECT_FALSE(copy.HasAlpha());
}

TEST(CxImageCopy, OfAKeptFrameIsKept) {
    CxImage frame;
    Gradient24(frame, 3, 2);
    frame.SetUserFlags(1, false);
    const CxImage copy(frame, true, true, true);
    EXPECT_EQ(copy.UserFlags(), 1u);
    EXPECT_TRUE(SameColor(copy.ColorAt(2, 1), MakeQuad(2, 1, 3)));
}

TEST(CxImageCopy, OfAnEmptyImageIsEmpty) {
    CxImage empty;
    empty.SetUserFlags(3);
    const CxImage copy(empty);
    EXPECT_FALSE(copy.IsValid());
    EXPECT_EQ(copy.UserFlags(), 3u);
}

TEST(CxImageTakeOver, MovesEverythingAndEmptiesTheSource) {
    CxImage src;
    Gradient24(src, 6, 4);
    src.SetUserFlags(1);
    ASSERT_TRUE(src.AlphaCreate());
    const uint8_t* block = src.DibBlock();

    CxImage target;
    ASSERT_TRUE(target.Create(2, 2, 8, 0));
    ASSERT_TRUE(target.TakeOver(src));
    EXPECT_EQ(target.DibBlock(), block);
    EXPECT_EQ(target.Width(), 6u);
    EXPECT_EQ(target.BitsPerPixel(), 24u);
    EXPECT_EQ(target.UserFlags(), 1u);
    EXPECT_TRUE(target.HasAlpha());
    EXPECT_TRUE(SameColor(target.ColorAt(5, 3), MakeQuad(5, 3, 8)));

    EXPECT_FALSE(src.IsValid());
    EXPECT_EQ(src.DibBlock(), nullptr);
    EXPECT_FALSE(src.HasAlpha());
    EXPECT_EQ(src.Width(), 0u);
    EXPECT_EQ(src.UserFlags(), 0u);
}

TEST(CxImageTakeOver, OfItselfKeepsTheImage) {
    CxImage img;
    Gradient24(img, 3, 3);
    EXPECT_TRUE(img.TakeOver(img));
    ASSERT_TRUE(img.IsValid());
    EXPECT_TRUE(SameColor(img.ColorAt(1, 2), MakeQuad(1, 2, 3)));
}

TEST(CxImageTakeOver, FramesMoveOnlyWhenAsked) {
    CxImage src;
    Gradient24(src, 2, 2);
    src.Frames().push_back(std::make_unique<CxImage>());
    CxImage a;
    ASSERT_TRUE(a.TakeOver(src, false));
    EXPECT_TRUE(a.Frames().empty());

    CxImage src2;
    Gradient24(src2, 2, 2);
    src2.Frames().push_back(std::make_unique<CxImage>());
    CxImage b;
    ASSERT_TRUE(b.TakeOver(src2, true));
    EXPECT_EQ(b.Frames().size(), 1u);
}

TEST(CxImageShareView, SeesTheOwnersPixelsAndOwnsNothing) {
    CxImage owner;
    Gradient24(owner, 4, 3);
    owner.SetUserFlags(1);
    {
        CxImage view;
        view.ShareView(owner);
        EXPECT_TRUE(view.IsView());
        EXPECT_TRUE(view.IsValid());
        EXPECT_EQ(view.DibBlock(), owner.DibBlock());
        EXPECT_EQ(view.Width(), 4u);
        EXPECT_EQ(view.UserFlags(), 1u);
        EXPECT_TRUE(SameColor(view.ColorAt(3, 2), MakeQuad(3, 2, 5)));
        // A view can neither drop nor replace the owner's data.
        EXPECT_FALSE(view.Release());
        EXPECT_EQ(view.Create(2, 2, 24, 0), nullptr);
        CxImage other;
        Gradient24(other, 2, 2);
        EXPECT_FALSE(view.TakeOver(other));
        EXPECT_TRUE(other.IsValid());
        EXPECT_EQ(view.DibBlock(), owner.DibBlock());
    }
    // The view's end freed nothing (AddressSanitizer would object).
    ASSERT_TRUE(owner.IsValid());
    EXPECT_TRUE(SameColor(owner.ColorAt(1, 1), MakeQuad(1, 1, 2)));
}

struct TransparentCase {
    uint32_t bits;
    int32_t index;
    int32_t stored;
};

class CxImageTransparentIndex : public ::testing::TestWithParam<TransparentCase> {};

TEST_P(CxImageTransparentIndex, StoresOnlyIndicesInsideTheTable) {
    const TransparentCase c = GetParam();
    CxImage img;
    ASSERT_TRUE(img.Create(2, 2, c.bits, 0));
    img.SetTransparentIndex(c.index);
    EXPECT_EQ(img.TransparentIndex(), c.stored);
}

INSTANTIATE_TEST_SUITE_P(Table, CxImageTransparentIndex,
                         ::testing::Values(TransparentCase{24, -1, -1}, TransparentCase{24, 5, 0},
                                           TransparentCase{24, 0, 0}, TransparentCase{8, 5, 5},
                                           TransparentCase{8, 255, 255}, TransparentCase{8, 256, 0},
                                           TransparentCase{8, -1, -1}, TransparentCase{4, 15, 15},
                                           TransparentCase{4, 16, 0}, TransparentCase{1, 1, 1},
                                           TransparentCase{1, 2, 0}));

TEST(CxImageUserFlags, KeepLowHalfMasksTheValue) {
    CxImage img;
    img.SetUserFlags(0x12345678, false);
    EXPECT_EQ(img.UserFlags(), 0x12345678u);
    img.SetUserFlags(0x12345678, true);
    EXPECT_EQ(img.UserFlags(), 0x5678u);
}

TEST(CxImageNearestIndex, LowestIndexWinsATie) {
    CxImage img;
    ASSERT_TRUE(img.Create(1, 1, 8, 0));
    std::vector<RgbQuad> table(256, MakeQuad(255, 255, 255));
    table[3] = MakeQuad(100, 100, 90);
    table[7] = MakeQuad(100, 100, 110);
    img.SetPaletteColors(table);
    EXPECT_EQ(img.NearestIndex(MakeQuad(100, 100, 100)), 3);
}

TEST(CxImageNearestIndex, AnExactMatchEndsTheSearch) {
    CxImage img;
    ASSERT_TRUE(img.Create(1, 1, 8, 0));
    std::vector<RgbQuad> table(256, MakeQuad(255, 255, 255));
    table[9] = MakeQuad(1, 2, 3);
    table[200] = MakeQuad(1, 2, 3);
    table[4] = MakeQuad(1, 2, 4);
    img.SetPaletteColors(table);
    EXPECT_EQ(img.NearestIndex(MakeQuad(1, 2, 3)), 9);
    // The reserved byte takes no part in the distance.
    EXPECT_EQ(img.NearestIndex(MakeQuad(1, 2, 3, 77)), 9);
}

TEST(CxImageNearestIndex, TheMemoIsClearedWhenTheTableChanges) {
    CxImage img;
    ASSERT_TRUE(img.Create(1, 1, 8, 0));
    std::vector<RgbQuad> table = GreyTable(256);
    img.SetPaletteColors(table);
    const RgbQuad red = MakeQuad(200, 0, 0);
    const uint8_t before = img.NearestIndex(red);
    EXPECT_EQ(img.NearestIndex(red), before);
    table[250] = red;
    img.SetPaletteColors(table);
    EXPECT_EQ(img.NearestIndex(red), 250);
}

TEST(CxImageNearestIndex, ColorsImportantLimitsTheSearch) {
    CxImage img;
    ASSERT_TRUE(img.Create(1, 1, 8, 0));
    std::vector<RgbQuad> table(256, MakeQuad(0, 0, 0));
    table[1] = MakeQuad(250, 250, 250);
    table[100] = MakeQuad(255, 255, 255);
    img.SetPaletteColors(table);
    img.SetColorsImportant(50);
    EXPECT_EQ(img.NearestIndex(MakeQuad(255, 255, 255)), 1);
    img.SetColorsImportant(0);
    EXPECT_EQ(img.NearestIndex(MakeQuad(255, 255, 255)), 100);
}

TEST(CxImageNearestIndex, ImagesWithoutATableAnswerZero) {
    CxImage empty;
    EXPECT_EQ(empty.NearestIndex(MakeQuad(1, 2, 3)), 0);
    CxImage rgb;
    Gradient24(rgb, 2, 2);
    EXPECT_EQ(rgb.NearestIndex(MakeQuad(1, 2, 3)), 0);
}

TEST(CxImagePixels, PackingFollowsTheDepth) {
    CxImage four;
    ASSERT_TRUE(four.Create(3, 1, 4, 0));
    four.ClearPixels();
    four.SetIndexAt(0, 0, 0xA);
    four.SetIndexAt(1, 0, 0x5);
    four.SetIndexAt(2, 0, 0xF);
    EXPECT_EQ(four.Row(0)[0], 0xA5); // left pixel in the high nibble
    EXPECT_EQ(four.Row(0)[1], 0xF0);
    EXPECT_EQ(four.IndexAt(1, 0), 5);

    CxImage one;
    ASSERT_TRUE(one.Create(10, 2, 1, 0));
    one.ClearPixels();
    one.SetIndexAt(0, 1, 1);
    one.SetIndexAt(9, 1, 1);
    EXPECT_EQ(one.Row(1)[0], 0x80); // leftmost pixel in the top bit
    EXPECT_EQ(one.Row(1)[1], 0x40);
    EXPECT_EQ(one.Row(0)[0], 0x00);
    EXPECT_EQ(one.IndexAt(9, 1), 1);
    EXPECT_EQ(one.IndexAt(8, 1), 0);

    CxImage rgb;
    ASSERT_TRUE(rgb.Create(2, 1, 24, 0));
    rgb.SetColorAt(1, 0, MakeQuad(10, 20, 30));
    EXPECT_EQ(rgb.Row(0)[3], 30); // blue, green, red
    EXPECT_EQ(rgb.Row(0)[4], 20);
    EXPECT_EQ(rgb.Row(0)[5], 10);
}

TEST(CxImagePixels, WritesOutsideAreIgnored) {
    CxImage img;
    ASSERT_TRUE(img.Create(3, 3, 8, 0));
    img.FillIndex(1);
    img.SetIndexAt(-1, 0, 7);
    img.SetIndexAt(3, 0, 7);
    img.SetIndexAt(0, 3, 7);
    img.SetColorAt(-1, -1, MakeQuad(1, 1, 1));
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 3; ++x)
            EXPECT_EQ(img.IndexAt(x, y), 1);
    // Index writes to a true-colour image are ignored too.
    CxImage rgb;
    Gradient24(rgb, 2, 2);
    rgb.SetIndexAt(0, 0, 9);
    EXPECT_TRUE(SameColor(rgb.ColorAt(0, 0), MakeQuad(0, 0, 0)));
}

TEST(CxImagePixels, PaletteWritesPickTheNearestEntry) {
    CxImage img;
    ASSERT_TRUE(img.Create(2, 1, 8, 0));
    img.SetPaletteColors(GreyTable(256));
    img.SetColorAt(1, 0, MakeQuad(90, 100, 110));
    EXPECT_EQ(img.IndexAt(1, 0), 100);
    EXPECT_TRUE(SameQuad(img.ColorAt(1, 0), MakeQuad(100, 100, 100)));
}

TEST(CxImageColorAt, OutsideWithoutTransparencyGivesPixelZeroZero) {
    CxImage img;
    Gradient24(img, 4, 4);
    img.SetColorAt(0, 0, MakeQuad(11, 22, 33));
    EXPECT_TRUE(SameColor(img.ColorAt(-1, 0), MakeQuad(11, 22, 33)));
    EXPECT_TRUE(SameColor(img.ColorAt(4, 4), MakeQuad(11, 22, 33)));
}

TEST(CxImageColorAt, OutsideWithTransparencyGivesTheTransparentColour) {
    CxImage rgb;
    Gradient24(rgb, 4, 4);
    rgb.SetTransparentIndex(3); // stored as 0 on a true-colour image
    rgb.SetBackgroundColor(MakeQuad(7, 8, 9));
    EXPECT_TRUE(SameColor(rgb.ColorAt(-1, 0), MakeQuad(7, 8, 9)));

    CxImage pal;
    ASSERT_TRUE(pal.Create(2, 2, 8, 0));
    pal.SetPaletteColors(GreyTable(256));
    pal.FillIndex(40);
    pal.SetTransparentIndex(2);
    EXPECT_TRUE(SameColor(pal.ColorAt(0, 5), MakeQuad(2, 2, 2)));
    EXPECT_TRUE(SameColor(pal.ColorAt(1, 1), MakeQuad(40, 40, 40)));
}

TEST(CxImageColorAt, AnEmptyImageGivesTheBackgroundColour) {
    CxImage img;
    img.SetBackgroundColor(MakeQuad(1, 2, 3));
    EXPECT_TRUE(SameColor(img.ColorAt(0, 0), MakeQuad(1, 2, 3)));
}

TEST(CxImageColorAt, AlphaReplacesTheReservedByteWhenAsked) {
    CxImage img;
    Gradient24(img, 2, 2);
    img.SetBackgroundColor(MakeQuad(0, 0, 0, 5));
    EXPECT_EQ(img.ColorAt(1, 1).rgbReserved, 5);
    ASSERT_TRUE(img.AlphaCreate());
    img.SetAlphaAt(1, 1, 66);
    EXPECT_EQ(img.ColorAt(1, 1, true).rgbReserved, 66);
    EXPECT_EQ(img.ColorAt(1, 1, false).rgbReserved, 5);
    img.SetColorAt(0, 1, MakeQuad(1, 1, 1, 44), true);
    EXPECT_EQ(img.AlphaAt(0, 1), 44);
}

TEST(CxImagePalette, SettersStayInsideTheTable) {
    CxImage img;
    ASSERT_TRUE(img.Create(1, 1, 1, 0));
    img.SetPaletteColors(GreyTable(256)); // only two entries fit
    EXPECT_TRUE(SameQuad(img.PaletteColor(1), MakeQuad(1, 1, 1)));
    EXPECT_TRUE(SameQuad(img.PaletteColor(2), RgbQuad{}));
    img.SetPaletteColor(5, MakeQuad(9, 9, 9));
    EXPECT_TRUE(SameQuad(img.PaletteColor(5), RgbQuad{}));

    CxImage rgb;
    Gradient24(rgb, 1, 1);
    rgb.SetPaletteColors(GreyTable(4)); // no table: nothing happens
    EXPECT_EQ(rgb.NumColors(), 0u);
}
