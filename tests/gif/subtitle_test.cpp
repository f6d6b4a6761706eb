#include "gif/subtitle_factory.h"

#include <QGuiApplication>
#include <QScreen>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Hands out the given values in order, then zeros.
RandomSource Scripted(std::vector<uint32_t> values) {
    auto next = std::make_shared<std::size_t>(0);
    return [values = std::move(values), next] {
        return *next < values.size() ? values[(*next)++] : 0u;
    };
}

int32_t ScreenPixelsPerInch() {
    return int32_t(QGuiApplication::primaryScreen()->logicalDotsPerInchY());
}

TEST(SubtitleFontSize, PointsBecomeANegativePixelHeightRoundedToNearest) {
    struct Case {
        int32_t points, ppi, height;
    };
    const Case cases[] = {
        {14, 96, -19},                       // 18.67
        {10, 96, -13},                       // 13.33
        {12, 96, -16},                       // exact
        {15, 96, -20},                       // exact
        {3, 108, -5},                        // 4.5 rounds up
        {14, 120, -23},                      // 23.33
        {72, 96, -96},          {0, 96, -1}, // below one point: one point
        {-40, 96, -1},                       //
        {14, 0, -19},                        // no resolution: 96
        {14, -5, -19},                       //
        {INT32_MAX, 96, -2184},              // capped at kMaxFontPoints
    };
    for (const Case& c : cases)
        EXPECT_EQ(FontHeightFromPoints(c.points, c.ppi), c.height)
            << c.points << " pt at " << c.ppi;
}

TEST(SubtitleFontSize, HeightsReadBackAsTheSizesTheEditorOffers) {
    EXPECT_EQ(PointsFromFontHeight(-19, 96), 14);
    EXPECT_EQ(PointsFromFontHeight(-13, 96), 10);
    EXPECT_EQ(PointsFromFontHeight(0, 96), 0);
    EXPECT_EQ(PointsFromFontHeight(-19, 0), 14);
    EXPECT_EQ(PointsFromFontHeight(INT32_MIN, 1), INT32_MAX);
    for (int32_t ppi : {72, 96, 120, 144})
        for (int32_t size : {10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72})
            EXPECT_EQ(PointsFromFontHeight(FontHeightFromPoints(size, ppi), ppi), size)
                << size << " pt at " << ppi;
}

TEST(SubtitleFactory, NewSubtitleTakesPlacementStyleAndTwoRandomOffsets) {
    SubtitleStyle style;
    style.fontName = "DejaVu Serif";
    style.fontSize = 20;
    style.bold = false;
    style.italic = true;
    style.textColor = 0x00123456;
    style.background = int32_t(SubtitleBackground::Rectangle);
    style.backColor = 0x00654321;
    const auto s = CreateSubtitle({300, 4, 9}, style, 96, Scripted({7, 13}));
    EXPECT_EQ(s->selected, 0);
    EXPECT_EQ(s->x, 2);            // 7 mod 5
    EXPECT_EQ(s->y, 300 - 20 - 3); // 13 mod 5
    EXPECT_EQ(s->width, 0);
    EXPECT_EQ(s->height, 0);
    EXPECT_EQ(s->firstFrame, 4);
    EXPECT_EQ(s->lastFrame, 9);
    EXPECT_EQ(s->background, int32_t(SubtitleBackground::Rectangle));
    const TextInfo& t = s->text;
    EXPECT_STREQ(t.text, "Please Modify me");
    EXPECT_STREQ(t.font.lfFaceName, "DejaVu Serif");
    EXPECT_EQ(t.font.lfHeight, -27); // 26.67
    EXPECT_EQ(t.font.lfWeight, 400);
    EXPECT_EQ(t.font.lfItalic, 1);
    EXPECT_EQ(t.font.lfUnderline, 0);
    EXPECT_EQ(t.font.lfCharSet, 1);
    EXPECT_EQ(t.font.lfWidth, 0);
    EXPECT_EQ(t.font.lfStrikeOut, 0);
    EXPECT_EQ(t.textColor, 0x00123456u);
    EXPECT_EQ(t.align, 0);
    EXPECT_EQ(t.opaque, 1);
    EXPECT_EQ(t.boxColor, 0x00654321u);
    EXPECT_EQ(t.boxOpacity, 0.0f);
    EXPECT_EQ(t.cornerRound, 0);
    EXPECT_NE(t.smooth, 0);
}

TEST(SubtitleFactory, DefaultStyleIsBoldYellowVerdana14WithABlackOutline) {
    const int32_t ppi = ScreenPixelsPerInch();
    EXPECT_EQ(ppi, 96) << "offscreen and Xvfb report 96 pixels per inch";
    const auto s = CreateSubtitle({240, 1, 30}, SubtitleStyle{}, ppi, Scripted({0, 0}));
    EXPECT_STREQ(s->text.font.lfFaceName, "Verdana");
    EXPECT_EQ(s->text.font.lfHeight, -19);
    EXPECT_EQ(PointsFromFontHeight(s->text.font.lfHeight, ppi), 14);
    EXPECT_EQ(s->text.font.lfWeight, 700);
    EXPECT_EQ(s->text.font.lfItalic, 0);
    EXPECT_EQ(s->text.textColor, 0x0000FFFFu);
    const RgbQuad yellow = ColorRefToQuad(s->text.textColor);
    EXPECT_EQ(yellow.rgbRed, 255);
    EXPECT_EQ(yellow.rgbGreen, 255);
    EXPECT_EQ(yellow.rgbBlue, 0);
    EXPECT_EQ(s->background, int32_t(SubtitleBackground::Outline));
    EXPECT_EQ(s->text.opaque, 0);
    EXPECT_EQ(s->text.boxColor, 0u);
    EXPECT_EQ(s->x, 0);
    EXPECT_EQ(s->y, 220);
}

TEST(SubtitleFactory, OffsetsStayWithinFivePixelsForAnyRandomValue) {
    for (uint32_t r : {0u, 4u, 5u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        const auto s = CreateSubtitle({100, 1, 1}, SubtitleStyle{}, 96, Scripted({r, r}));
        EXPECT_GE(s->x, 0);
        EXPECT_LE(s->x, 4);
        EXPECT_EQ(s->x + s->y, 80) << r; // same offset taken off y
    }
    const RandomSource clock = TimeSeededRandom();
    for (int i = 0; i < 20; ++i) {
        const auto s = CreateSubtitle({100, 1, 1}, SubtitleStyle{}, 96, clock);
        EXPECT_GE(s->x, 0);
        EXPECT_LE(s->x, 4);
        EXPECT_GE(s->y, 76);
        EXPECT_LE(s->y, 80);
    }
}

TEST(SubtitleFactory, OnlyTheThreeBackgroundsExistAndOnlyRectangleIsOpaque) {
    struct Case {
        int32_t asked, got;
        uint8_t opaque;
    };
    for (const Case c :
         {Case{0, 0, 0}, Case{1, 1, 1}, Case{2, 2, 0}, Case{3, 2, 0}, Case{-1, 2, 0}}) {
        SubtitleStyle style;
        style.background = c.asked;
        const auto s = CreateSubtitle({100, 1, 1}, style, 96, Scripted({}));
        EXPECT_EQ(s->background, c.got) << c.asked;
        EXPECT_EQ(s->text.opaque, c.opaque) << c.asked;
    }
}

TEST(SubtitleFactory, LongFaceNamesAreCutWithoutSplittingACharacter) {
    SubtitleStyle style;
    style.fontName = std::string(30, 'a') + "\xC3\xA9" + "tail"; // é straddles byte 31
    const auto s = CreateSubtitle({100, 1, 1}, style, 96, Scripted({}));
    EXPECT_EQ(std::string(s->text.font.lfFaceName), std::string(30, 'a'));
    style.fontName = std::string(45, 'b');
    EXPECT_EQ(
        std::strlen(CreateSubtitle({100, 1, 1}, style, 96, Scripted({}))->text.font.lfFaceName),
        31u);
}

TEST(SubtitleFactory, FrameRangeAlwaysLiesWithinTheRecording) {
    struct Case {
        int32_t shown, count, first, last;
    };
    for (const Case c : {Case{1, 1, 1, 1}, Case{5, 5, 5, 5}, Case{0, 5, 1, 5}, Case{9, 5, 5, 5},
                         Case{3, 0, 1, 1}}) {
        const auto s = CreateSubtitle({100, c.shown, c.count}, SubtitleStyle{}, 96, Scripted({}));
        EXPECT_EQ(s->firstFrame, c.first) << c.shown << "/" << c.count;
        EXPECT_EQ(s->lastFrame, c.last) << c.shown << "/" << c.count;
    }
}

TEST(SubtitleItem, CoversItsInclusiveRangeOnly) {
    SubtitleItem s;
    s.firstFrame = 2;
    s.lastFrame = 2;
    EXPECT_FALSE(s.Covers(1));
    EXPECT_TRUE(s.Covers(2));
    EXPECT_FALSE(s.Covers(3));
}

} // namespace
