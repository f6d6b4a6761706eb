// Text drawing against a rasteriser whose glyphs are known pixel for pixel, so
// every position, blend and clip of the mask can be checked exactly.

#include "image/cximage.h"
#include "image/text_info.h"
#include "image/text_rasterizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Glyph cells 6 pixels wide and one line height (|lfHeight|) high. A glyph
// fills columns 1..4 and rows 1..height-2 of its cell: column 1 at intensity
// 128, columns 2..3 at 255, column 4 at 64. A space is empty. An underlined
// character also lights the last row of its cell.
class BlockRasterizer final : public TextRasterizer {
public:
    static constexpr int kCell = 6;
    static constexpr uint8_t kLeftEdge = 128;
    static constexpr uint8_t kRightEdge = 64;

    bool failRender = false;
    int measures = 0;
    int renders = 0;
    TextPrefix lastPrefix = TextPrefix::None;
    LogFont lastFont;

    bool Measure(std::string_view text, const LogFont& font, TextPrefix prefix,
                 TextExtent& extent) override {
        ++measures;
        lastPrefix = prefix;
        lastFont = font;
        const Layout layout = Lay(text, font, prefix);
        extent.width = layout.columns * kCell;
        extent.height = int32_t(layout.lines.size()) * layout.lineHeight;
        return true;
    }

    bool Render(std::string_view text, const LogFont& font, TextPrefix prefix, int32_t boxWidth,
                int32_t boxHeight, const TextRaster& target) override {
        ++renders;
        lastPrefix = prefix;
        lastFont = font;
        if (failRender || target.bytesPerPixel != 1)
            return false;
        const Layout layout = Lay(text, font, prefix);
        for (int32_t ty = 0; ty < target.height; ++ty) {
            for (int32_t tx = 0; tx < target.width; ++tx) {
                const int32_t bx = tx + target.originX;
                const int32_t by = ty + target.originY;
                const bool inBox = bx >= 0 && by >= 0 && bx < boxWidth && by < boxHeight;
                target.pixels[std::size_t(ty) * target.stride + tx] =
                    inBox ? layout.Intensity(bx, by) : 0;
            }
        }
        return true;
    }

private:
    struct Glyph {
        char c;
        bool underlined;
    };
    struct Layout {
        std::vector<std::vector<Glyph>> lines{{}};
        int32_t columns = 0;
        int32_t lineHeight = 0;
        uint8_t Intensity(int32_t x, int32_t y) const {
            const std::size_t line = std::size_t(y / lineHeight);
            const std::size_t column = std::size_t(x / kCell);
            if (line >= lines.size() || column >= lines[line].size())
                return 0;
            const Glyph g = lines[line][column];
            const int32_t cx = x % kCell;
            const int32_t cy = y % lineHeight;
            if (g.underlined && cy == lineHeight - 1)
                return 255;
            if (g.c == ' ' || cy < 1 || cy > lineHeight - 2 || cx < 1 || cx > 4)
                return 0;
            return cx == 1 ? kLeftEdge : cx == 4 ? kRightEdge : 255;
        }
    };

    static Layout Lay(std::string_view text, const LogFont& font, TextPrefix prefix) {
        Layout layout;
        layout.lineHeight = font.lfHeight < 0 ? -font.lfHeight : font.lfHeight;
        for (std::size_t i = 0; i < text.size(); ++i) {
            char c = text[i];
            bool underlined = font.lfUnderline != 0;
            if (c == '\r' || c == '\n') {
                if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                    ++i;
                layout.lines.emplace_back();
                continue;
            }
            if (c == '&' && prefix == TextPrefix::Mnemonic && i + 1 < text.size()) {
                c = text[++i];
                underlined = underlined || c != '&';
            }
            layout.lines.back().push_back({c, underlined});
            layout.columns = std::max(layout.columns, int32_t(layout.lines.back().size()));
        }
        return layout;
    }
};

constexpr RgbQuad kGrey{100, 100, 100, 0};

// Every test draws through a BlockRasterizer of its own.
class TextDrawingTest : public ::testing::Test {
protected:
    static void Fill(CxImage& img, RgbQuad c) {
        for (uint32_t y = 0; y < img.Height(); ++y)
            for (uint32_t x = 0; x < img.Width(); ++x)
                img.SetColorAt(x, y, c);
    }
    static std::unique_ptr<CxImage> Frame(uint32_t w, uint32_t h, RgbQuad c = kGrey) {
        auto img = std::make_unique<CxImage>();
        img->Create(w, h, 24);
        Fill(*img, c);
        return img;
    }
    static bool SamePixels(const CxImage& a, const CxImage& b) {
        for (uint32_t y = 0; y < a.Height(); ++y)
            for (uint32_t x = 0; x < a.Width(); ++x)
                if (!SameQuad(a.ColorAt(x, y), b.ColorAt(x, y)))
                    return false;
        return a.Width() == b.Width() && a.Height() == b.Height();
    }
    // Colour at column x, row counted from the top.
    static RgbQuad TopDown(const CxImage& img, int64_t x, int64_t row) {
        return img.ColorAt(x, int64_t(img.Height()) - 1 - row);
    }
    static TextInfo Styled(const char* text, int32_t height, uint32_t textColor, uint8_t smooth = 1,
                           uint8_t opaque = 0, uint32_t boxColor = 0) {
        TextInfo t;
        std::strncpy(t.text, text, sizeof t.text - 1);
        t.font.lfHeight = -height;
        t.font.lfWeight = 700;
        std::strcpy(t.font.lfFaceName, "Verdana");
        t.textColor = textColor;
        t.smooth = smooth;
        t.opaque = opaque;
        t.boxColor = boxColor;
        return t;
    }

    std::shared_ptr<BlockRasterizer> blocks_ = std::make_shared<BlockRasterizer>();

private:
};

constexpr uint32_t kRed = 0x000000FF; // 0x00BBGGRR
constexpr uint32_t kBlue = 0x00FF0000;
constexpr RgbQuad kRedQuad{0, 0, 255, 0};
constexpr RgbQuad kBlueQuad{255, 0, 0, 0};

TEST_F(TextDrawingTest, BoxBottomLandsOnRowYAndA16PixelBoxCoversRows5To20) {
    auto frame = Frame(60, 40);
    ASSERT_EQ(frame->DrawStyledText(*blocks_, 3, 20, Styled("ab", 16, kRed, 1, 1, kBlue)), 1);
    // Box: 2 glyphs of 6 columns plus 16 / 3 = 5.
    for (int64_t row = 0; row < 40; ++row) {
        for (int64_t x = 0; x < 60; ++x) {
            const bool inBox = row >= 5 && row <= 20 && x >= 3 && x < 3 + 12 + 5;
            const RgbQuad c = TopDown(*frame, x, row);
            if (!inBox)
                ASSERT_TRUE(SameQuad(c, kGrey)) << x << "," << row;
            else
                ASSERT_FALSE(SameQuad(c, kGrey)) << x << "," << row;
        }
    }
}

TEST_F(TextDrawingTest, OpaqueBoxIsAPlainRectangleWiderByAThirdOfTheLineHeight) {
    struct Case {
        const char* text;
        int32_t lineHeight;
        bool italic;
        int64_t width;
        int64_t height;
    };
    const Case cases[] = {
        {"abc", 15, false, 18 + 5, 15},
        {"abc\rw", 15, false, 18 + 5, 30},       // (30 / 2 lines) / 3 = 5
        {"abc\r\nw\rxy", 12, false, 18 + 4, 36}, // CR LF counts as one break
        {"abc", 15, true, 18 + 7 + 5, 15},       // italic: + (15 / 2) / 1
        {"abc\rw", 16, true, 18 + 8 + 5, 32},    // italic: + (32 / 2) / 2
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        auto frame = Frame(80, 60);
        TextInfo info = Styled(c.text, c.lineHeight, kRed, 0, 1, kBlue);
        info.font.lfItalic = c.italic ? 1 : 0;
        ASSERT_EQ(frame->DrawStyledText(*blocks_, 10, 50, info), 1);
        int64_t boxPixels = 0;
        for (int64_t row = 0; row < 60; ++row)
            for (int64_t x = 0; x < 80; ++x)
                boxPixels += !SameQuad(TopDown(*frame, x, row), kGrey);
        EXPECT_EQ(boxPixels, c.width * c.height);
        // Corners and the right margin are the box colour: no rounding.
        const int64_t top = 50 - c.height + 1;
        const int64_t right = 10 + c.width - 1;
        for (auto [x, row] : {std::pair{int64_t(10), top},
                              {right, top},
                              {int64_t(10), int64_t(50)},
                              {right, int64_t(50)},
                              {right - 1, (top + 50) / 2}})
            EXPECT_TRUE(SameQuad(TopDown(*frame, x, row), kBlueQuad)) << x << "," << row;
    }
}

TEST_F(TextDrawingTest, StyledTextBlendsThroughTheInvertedMask) {
    // Text colour (200, 200, 200) over a grey 50 frame, smooth: the interior
    // is the text colour, the edges mix by a = t / 255 of the inverted mask.
    auto frame = Frame(30, 20, RgbQuad{50, 50, 50, 0});
    ASSERT_EQ(frame->DrawStyledText(*blocks_, 0, 15, Styled("a", 10, 0x00C8C8C8)), 1);
    const int64_t row = 15 - 10 + 1 + 4; // a glyph row inside the cell
    const auto value = [&](int64_t x) { return TopDown(*frame, x, row).rgbRed; };
    EXPECT_EQ(value(0), 50);  // cell column 0: empty
    EXPECT_EQ(value(1), 125); // t = 127: 0.498 * (50 - 200) + 200 = 125.29
    EXPECT_EQ(value(2), 200); // t = 0: exactly the text colour
    EXPECT_EQ(value(3), 200);
    EXPECT_EQ(value(4), 87); // t = 191: 0.749 * (50 - 200) + 200 = 87.65
    EXPECT_EQ(value(5), 50);
    EXPECT_EQ(TopDown(*frame, 4, row).rgbReserved, 0);
}

TEST_F(TextDrawingTest, SmoothZeroLeavesOnlyPureTextPixelsAndSmoothOneMixesEdges) {
    const RgbQuad yellow{0, 255, 255, 0};
    for (uint8_t smooth : {uint8_t(0), uint8_t(1)}) {
        SCOPED_TRACE(int(smooth));
        auto frame = Frame(60, 30);
        ASSERT_EQ(frame->DrawStyledText(*blocks_, 2, 25, Styled("abc\rde", 10, 0x0000FFFF, smooth)),
                  1);
        int pure = 0;
        int mixed = 0;
        for (int64_t row = 0; row < 30; ++row) {
            for (int64_t x = 0; x < 60; ++x) {
                const RgbQuad c = TopDown(*frame, x, row);
                pure += SameQuad(c, yellow);
                mixed += !SameQuad(c, yellow) && !SameQuad(c, kGrey);
            }
        }
        // 5 glyphs of 8 rows; hard edges keep the 128 column and drop the 64 one.
        EXPECT_EQ(pure, smooth ? 5 * 8 * 2 : 5 * 8 * 3);
        EXPECT_EQ(mixed, smooth ? 5 * 8 * 2 : 0);
    }
}

TEST_F(TextDrawingTest, PlainTextGivesEveryLitPixelTheFullColour) {
    auto frame = Frame(30, 20);
    ASSERT_EQ(
        frame->DrawPlainText(*blocks_, 0, 15, "a", kRedQuad, "Verdana", -10, 400, false, false), 1);
    const int64_t row = 10;
    EXPECT_TRUE(SameQuad(TopDown(*frame, 0, row), kGrey));
    for (int64_t x = 1; x <= 4; ++x)
        EXPECT_TRUE(SameQuad(TopDown(*frame, x, row), kRedQuad)) << x;
    EXPECT_TRUE(SameQuad(TopDown(*frame, 5, row), kGrey));
    // Rows 0 and 9 of the cell hold nothing.
    EXPECT_TRUE(SameQuad(TopDown(*frame, 2, 6), kGrey));
    EXPECT_TRUE(SameQuad(TopDown(*frame, 2, 7), kRedQuad));
    EXPECT_TRUE(SameQuad(TopDown(*frame, 2, 14), kRedQuad));
    EXPECT_TRUE(SameQuad(TopDown(*frame, 2, 15), kGrey));
}

TEST_F(TextDrawingTest, PlainTextAsksForMnemonicsAndStyledTextForLiteralAmpersands) {
    auto frame = Frame(60, 30);
    frame->DrawPlainText(*blocks_, 0, 20, "a&b", kRedQuad, "Face", -10, 700, true, false);
    EXPECT_EQ(blocks_->lastPrefix, TextPrefix::Mnemonic);
    frame->DrawStyledText(*blocks_, 0, 20, Styled("a&b", 10, kRed));
    EXPECT_EQ(blocks_->lastPrefix, TextPrefix::None);
}

TEST_F(TextDrawingTest, PlainTextUsesOnlyFaceHeightWeightItalicAndUnderline) {
    auto frame = Frame(20, 20);
    const std::string longFace(40, 'F');
    frame->DrawPlainText(*blocks_, 0, 10, "a", kRedQuad, longFace, -11, 700, true, true);
    const LogFont& f = blocks_->lastFont;
    EXPECT_EQ(std::string(f.lfFaceName), std::string(31, 'F'));
    EXPECT_EQ(f.lfHeight, -11);
    EXPECT_EQ(f.lfWeight, 700);
    EXPECT_EQ(f.lfItalic, 1);
    EXPECT_EQ(f.lfUnderline, 1);
    EXPECT_EQ(f.lfCharSet, 0);
    EXPECT_EQ(f.lfStrikeOut, 0);
    EXPECT_EQ(f.lfWidth, 0);
}

TEST_F(TextDrawingTest, NegativeXMovesStyledTextButClipsPlainText) {
    const TextInfo info = Styled("abc", 10, kRed, 1, 1, kBlue);
    auto atZero = Frame(40, 20);
    auto pushedLeft = Frame(40, 20);
    atZero->DrawStyledText(*blocks_, 0, 15, info);
    pushedLeft->DrawStyledText(*blocks_, -7, 15, info);
    EXPECT_TRUE(SamePixels(*atZero, *pushedLeft));

    auto plainAtZero = Frame(40, 20);
    auto plainLeft = Frame(40, 20);
    plainAtZero->DrawPlainText(*blocks_, 0, 15, "abc", kRedQuad, "F", -10, 400, false, false);
    plainLeft->DrawPlainText(*blocks_, -7, 15, "abc", kRedQuad, "F", -10, 400, false, false);
    for (int64_t row = 0; row < 20; ++row)
        for (int64_t x = 0; x < 40; ++x) {
            const RgbQuad expected = x + 7 < 40 ? TopDown(*plainAtZero, x + 7, row) : kGrey;
            ASSERT_TRUE(SameQuad(TopDown(*plainLeft, x, row), expected)) << x << "," << row;
        }
}

TEST_F(TextDrawingTest, ClippedDrawingMatchesTheSameCropOfAnUnclippedOne) {
    // A small frame against a large one that holds it at (20, 20): every
    // pixel the small frame shows must equal the large frame's pixel.
    struct Case {
        int32_t x, y;
    };
    const TextInfo info = Styled("ab c\rdef", 12, kRed, 1, 1, kBlue);
    for (const Case c : {Case{0, 5}, Case{25, 10}, Case{5, 45}, Case{30, 40}, Case{3, 0},
                         Case{-3, 18}, Case{10, -1}, Case{40, 10}}) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        for (bool plain : {false, true}) {
            auto small = Frame(40, 30);
            auto large = Frame(80, 70);
            if (plain) {
                EXPECT_EQ(small->DrawPlainText(*blocks_, c.x, c.y, info.text, kRedQuad, "F", -12,
                                               400, false, true),
                          1);
                large->DrawPlainText(*blocks_, c.x + 20, c.y + 20, info.text, kRedQuad, "F", -12,
                                     400, false, true);
            } else {
                if (c.x < 0)
                    continue; // styled text moves instead of clipping
                EXPECT_EQ(small->DrawStyledText(*blocks_, c.x, c.y, info), 1);
                large->DrawStyledText(*blocks_, c.x + 20, c.y + 20, info);
            }
            for (int64_t row = 0; row < 30; ++row)
                for (int64_t x = 0; x < 40; ++x)
                    ASSERT_TRUE(
                        SameQuad(TopDown(*small, x, row), TopDown(*large, x + 20, row + 20)))
                        << (plain ? "plain " : "styled ") << x << "," << row;
        }
    }
}

TEST_F(TextDrawingTest, BoxesEntirelyOutsideTheFrameDrawNothingAndAskNoRendering) {
    auto frame = Frame(30, 20);
    auto untouched = Frame(30, 20);
    const TextInfo info = Styled("abc", 10, kRed, 1, 1, kBlue);
    for (auto [x, y] : {std::pair{0, -1}, {0, 30}, {31, 10}, {INT32_MAX, 10}, {0, INT32_MIN}}) {
        EXPECT_EQ(frame->DrawStyledText(*blocks_, x, y, info), 1);
        EXPECT_EQ(
            frame->DrawPlainText(*blocks_, x, y, "abc", kRedQuad, "F", -10, 400, false, false), 1);
    }
    EXPECT_EQ(
        frame->DrawPlainText(*blocks_, -100, 10, "abc", kRedQuad, "F", -10, 400, false, false), 1);
    EXPECT_EQ(blocks_->renders, 0);
    EXPECT_TRUE(SamePixels(*frame, *untouched));
}

TEST_F(TextDrawingTest, FrameWithoutPixelsReturnsOneForPlainAndMinusOneForStyled) {
    CxImage empty;
    EXPECT_EQ(empty.DrawPlainText(*blocks_, 0, 10, "abc", kRedQuad, "F", -10, 400, false, false),
              1);
    EXPECT_EQ(empty.DrawStyledText(*blocks_, 0, 10, Styled("abc", 10, kRed)), -1);
    EXPECT_FALSE(empty.IsValid());
}

TEST_F(TextDrawingTest, WithoutAWorkingRasterizerNothingIsDrawnAndZeroIsReturned) {
    auto frame = Frame(30, 20);
    auto untouched = Frame(30, 20);
    blocks_->failRender = true;
    EXPECT_EQ(frame->DrawPlainText(*blocks_, 0, 15, "abc", kRedQuad, "F", -10, 400, false, false),
              0);
    EXPECT_EQ(frame->DrawStyledText(*blocks_, 0, 15, Styled("abc", 10, kRed)), 0);
    EXPECT_TRUE(SamePixels(*frame, *untouched));
}

TEST_F(TextDrawingTest, EmptyTextDrawsOnlyTheBox) {
    auto frame = Frame(30, 20);
    ASSERT_EQ(frame->DrawStyledText(*blocks_, 2, 15, Styled("", 12, kRed, 1, 1, kBlue)), 1);
    EXPECT_TRUE(SameQuad(TopDown(*frame, 2, 15), kBlueQuad));
    EXPECT_TRUE(SameQuad(TopDown(*frame, 5, 4), kBlueQuad)); // 4 = 12 / 3 columns
    EXPECT_TRUE(SameQuad(TopDown(*frame, 6, 15), kGrey));
    EXPECT_EQ(frame->DrawPlainText(*blocks_, 2, 15, "", kRedQuad, "F", -12, 400, false, false), 1);
}

TEST_F(TextDrawingTest, PaletteFramesTakeTheNearestColours) {
    CxImage frame;
    ASSERT_NE(frame.Create(30, 20, 8), nullptr);
    frame.SetPaletteColor(0, kGrey);
    frame.SetPaletteColor(1, RgbQuad{0, 0, 250, 0}); // nearly red
    frame.SetPaletteColor(2, RgbQuad{250, 0, 0, 0}); // nearly blue
    frame.FillIndex(0);
    ASSERT_EQ(frame.DrawStyledText(*blocks_, 0, 15, Styled("a", 10, kRed, 0, 1, kBlue)), 1);
    const int64_t mem = 20 - 1 - 10;
    EXPECT_EQ(frame.IndexAt(0, mem), 2); // box
    EXPECT_EQ(frame.IndexAt(2, mem), 1); // text
}

} // namespace
