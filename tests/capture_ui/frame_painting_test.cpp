// Status painting: the bars are rendered into images and their colours, marks
// and text placement checked; the texts themselves are checked as strings.
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cstdlib>

#include "capture_ui/frame_painting.h"

using namespace frame_painting;

namespace {

QImage Render(QSize size, void (*paint)(QPainter&, QSize, const FrameStatus&),
              const FrameStatus& status) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    paint(painter, size, status);
    return image;
}

QImage RenderTopBar(QSize size, const FrameStatus& status) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    PaintTopBar(painter, size, status, "Frameloop");
    return image;
}

bool Is(const QImage& image, int x, int y, const QColor& color) {
    return image.pixelColor(x, y) == color;
}

// Gradients are sampled at pixel centres, so their ends are close, not equal.
bool Near(const QImage& image, int x, int y, const QColor& color) {
    const QColor c = image.pixelColor(x, y);
    return std::abs(c.red() - color.red()) <= 6 && std::abs(c.green() - color.green()) <= 6 &&
           std::abs(c.blue() - color.blue()) <= 6;
}

// Pixels in `rect` that are clearly text of roughly `ink` on the light bar.
int InkPixels(const QImage& image, const QRect& rect, const QColor& ink) {
    int count = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            const bool dark = c.red() < 110 && c.green() < 110;
            const bool inkish = ink == kDarkBlue ? c.blue() > c.red() + 30 : c.blue() < 110;
            count += dark && inkish;
        }
    }
    return count;
}

FrameStatus Status(CaptureState state, int frames = 0, bool blink = false) {
    FrameStatus s;
    s.state = state;
    s.frameCount = frames;
    s.captureRate = 15;
    s.blinkOn = blink;
    s.capture = {5, 68, 305, 318};
    return s;
}

TEST(BottomBarTexts, IdleShowsPositionAndSize) {
    const auto texts = BottomBarTexts(Status(CaptureState::Idle), 310);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], (StatusText{"Top Left: 68, 5", QRect(200, 0, 110, 25), kBlack}));
    EXPECT_EQ(texts[1], (StatusText{"Size:(300*250)", QRect(200, 16, 110, 25), kBlack}));
}

TEST(BottomBarTexts, RecordingShowsFramesAndSecondsInDarkBlue) {
    const auto texts = BottomBarTexts(Status(CaptureState::Capturing, 45), 310);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], (StatusText{"45 Frames", QRect(8, 0, 82, 25), kDarkBlue}));
    EXPECT_EQ(texts[1], (StatusText{"3.0 Secs ", QRect(8, 16, 82, 25), kDarkBlue}));
}

TEST(BottomBarTexts, AfterRecordingTheWideBarAlsoShowsTheTotals) {
    EXPECT_EQ(BottomBarTexts(Status(CaptureState::Captured, 45), 200).size(), 2u);
    const auto wide = BottomBarTexts(Status(CaptureState::Captured, 46), 201);
    ASSERT_EQ(wide.size(), 4u);
    EXPECT_EQ(wide[0].text, "Top Left: 68, 5");
    EXPECT_EQ(wide[2], (StatusText{"46 Frames", QRect(8, 0, 82, 25), kBlack}));
    EXPECT_EQ(wide[3].text, "3.1 Secs ");
}

TEST(BottomBarTexts, BuildingShowsThePercentage) {
    FrameStatus s = Status(CaptureState::Creating);
    s.percent = 42;
    const auto texts = BottomBarTexts(s, 310);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], (StatusText{"Creating: 42%", QRect(7, 0, 310, 40), kBlack}));
}

TEST(BottomBarPainting, EdgesGradientAndPositionText) {
    const QImage image = Render({310, 40}, PaintBottomBar, Status(CaptureState::Idle));
    EXPECT_TRUE(Is(image, 0, 10, kFrameBlue));
    EXPECT_TRUE(Is(image, 4, 20, kFrameBlue));
    EXPECT_TRUE(Is(image, 309, 10, kFrameBlue));
    EXPECT_TRUE(Is(image, 150, 35, kFrameBlue));
    EXPECT_TRUE(Is(image, 150, 39, kFrameBlue));
    // Light grey at the top, nearly white above the blue line.
    EXPECT_TRUE(Near(image, 100, 0, kLightGrey));
    EXPECT_GT(image.pixelColor(100, 34).red(), 250);
    EXPECT_FALSE(Is(image, 5, 0, kGold));
    // Black text on the right only.
    EXPECT_GT(InkPixels(image, QRect(200, 0, 110, 35), kBlack), 40);
    EXPECT_EQ(InkPixels(image, QRect(5, 0, 190, 35), kBlack), 0);
}

TEST(BottomBarPainting, RecordingTextAndBlinkingMarks) {
    const QImage lit = Render({310, 40}, PaintBottomBar, Status(CaptureState::Capturing, 45, true));
    EXPECT_TRUE(Is(lit, 0, 0, kGold));
    EXPECT_TRUE(Is(lit, 24, 4, kGold));
    EXPECT_TRUE(Is(lit, 285, 0, kGold));
    EXPECT_TRUE(Is(lit, 309, 4, kGold));
    EXPECT_FALSE(Is(lit, 25, 0, kGold));
    EXPECT_FALSE(Is(lit, 0, 5, kGold));
    EXPECT_GT(InkPixels(lit, QRect(8, 5, 82, 30), kDarkBlue), 40);
    EXPECT_EQ(InkPixels(lit, QRect(100, 0, 205, 35), kBlack), 0);

    const QImage dark =
        Render({310, 40}, PaintBottomBar, Status(CaptureState::Capturing, 46, false));
    EXPECT_FALSE(Is(dark, 0, 0, kGold));
    EXPECT_FALSE(Is(dark, 309, 4, kGold));
    // blinkOn left over outside a recording lights nothing.
    const QImage stopped =
        Render({310, 40}, PaintBottomBar, Status(CaptureState::Captured, 46, true));
    EXPECT_FALSE(Is(stopped, 0, 0, kGold));
}

TEST(SideStripPainting, BlueWithGoldEndsWhileLit) {
    const QImage plain = Render({5, 250}, PaintSideStrip, Status(CaptureState::Idle));
    for (const int y : {0, 19, 125, 249}) {
        EXPECT_TRUE(Is(plain, 2, y, kFrameBlue)) << y;
    }
    const QImage lit = Render({5, 250}, PaintSideStrip, Status(CaptureState::Capturing, 1, true));
    EXPECT_TRUE(Is(lit, 0, 0, kGold));
    EXPECT_TRUE(Is(lit, 4, 19, kGold));
    EXPECT_TRUE(Is(lit, 2, 20, kFrameBlue));
    EXPECT_TRUE(Is(lit, 2, 229, kFrameBlue));
    EXPECT_TRUE(Is(lit, 2, 230, kGold));
    EXPECT_TRUE(Is(lit, 2, 249, kGold));
}

TEST(TopBarPainting, TitleBandBodyEdgesAndMarks) {
    const QImage image = RenderTopBar({310, 68}, Status(CaptureState::Capturing, 1, true));
    EXPECT_TRUE(Near(image, 150, 0, kLightBlue));
    EXPECT_TRUE(Near(image, 150, 24, kFrameBlue));
    EXPECT_TRUE(Is(image, 2, 30, kFrameBlue));
    EXPECT_TRUE(Is(image, 307, 40, kFrameBlue));
    EXPECT_TRUE(Near(image, 150, 25, kWhite));
    EXPECT_TRUE(Near(image, 150, 67, kLightGrey));
    EXPECT_TRUE(Is(image, 0, 63, kGold));
    EXPECT_TRUE(Is(image, 24, 67, kGold));
    EXPECT_TRUE(Is(image, 285, 67, kGold));
    EXPECT_FALSE(Is(image, 0, 62, kGold));
    // White title text in its box.
    int white = 0;
    for (int y = 7; y < 22; ++y) {
        for (int x = 8; x < 120; ++x) {
            const QColor c = image.pixelColor(x, y);
            white += c.red() > 240 && c.green() > 240 && c.blue() > 240;
        }
    }
    EXPECT_GT(white, 30);
    const QImage idle = RenderTopBar({310, 68}, Status(CaptureState::Idle, 0, true));
    EXPECT_FALSE(Is(idle, 0, 67, kGold));
}

TEST(Fonts, CellHeights) {
    EXPECT_LE(QFontMetrics(TitleFont()).height(), 14);
    EXPECT_GE(QFontMetrics(TitleFont()).height(), 12);
    EXPECT_TRUE(TitleFont().bold());
    EXPECT_LE(QFontMetrics(StatusFont()).height(), 12);
    EXPECT_GE(QFontMetrics(StatusFont()).height(), 10);
}

} // namespace
