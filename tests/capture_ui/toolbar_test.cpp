// The toolbar: button places for any bar width, and the button pictures.
#include <QImage>

#include <gtest/gtest.h>

#include "capture_ui/toolbar_pictures.h"

using namespace toolbar_pictures;

namespace {

TEST(Toolbar, ButtonPlacesInA310PixelBar) {
    EXPECT_EQ(ButtonRect(Button::Close, 310), QRect(283, 0, 24, 20));
    EXPECT_EQ(ButtonRect(Button::Inert, 310), QRect(258, 0, 24, 20));
    EXPECT_EQ(ButtonRect(Button::Minimise, 310), QRect(233, 0, 24, 20));
    EXPECT_EQ(ButtonRect(Button::Capture, 310), QRect(5, 32, 65, 29));
    EXPECT_EQ(ButtonRect(Button::Subtitle, 310), QRect(71, 32, 65, 29));
    EXPECT_EQ(ButtonRect(Button::Gif, 310), QRect(137, 32, 100, 29));
    EXPECT_EQ(ButtonRect(Button::More, 310), QRect(238, 32, 65, 29));
    EXPECT_EQ(ButtonRect(Button::More, 310).right() + 1, 303);
}

TEST(Toolbar, WideningKeepsCaptionButtonsRightAndLargeOnesLeft) {
    EXPECT_EQ(ButtonRect(Button::Close, 500).right() + 1, 497);
    EXPECT_EQ(ButtonRect(Button::Minimise, 500).left(), 500 - 24 * 3 - 5);
    EXPECT_EQ(ButtonRect(Button::Capture, 500), ButtonRect(Button::Capture, 310));
    EXPECT_EQ(ButtonRect(Button::More, 500), ButtonRect(Button::More, 310));
}

int CountPixels(const QPixmap& pixmap, bool (*test)(QColor)) {
    const QImage image = pixmap.toImage();
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            n += test(image.pixelColor(x, y));
        }
    }
    return n;
}

TEST(Toolbar, PicturesAreDrawnAtTheScreenRatio) {
    for (const Button b : {Button::Minimise, Button::Inert, Button::Close, Button::Capture,
                           Button::Subtitle, Button::Gif, Button::More}) {
        const auto images = ImagesFor(b, 2.0);
        ASSERT_FALSE(images.normal.isNull());
        EXPECT_EQ(images.normal.size(), SizeOf(b) * 2);
        EXPECT_EQ(images.normal.deviceIndependentSize().toSize(), SizeOf(b));
        EXPECT_FALSE(images.hover.isNull());
        EXPECT_TRUE(images.disabled.isNull());
        EXPECT_TRUE(images.pressed.isNull());
    }
}

TEST(Toolbar, CloseTurnsRedOnHoverAndCaptureShowsStopWhenOn) {
    const auto close = ImagesFor(Button::Close, 1.0);
    auto red = [](QColor c) { return c.red() > 170 && c.green() < 100 && c.blue() < 100; };
    EXPECT_EQ(CountPixels(close.normal, red), 0);
    EXPECT_GT(CountPixels(close.hover, red), 24 * 20 / 2);

    const auto capture = ImagesFor(Button::Capture, 1.0);
    ASSERT_FALSE(capture.on.isNull());
    ASSERT_FALSE(capture.onHover.isNull());
    // The record mark is red; the pause bars of the on face are not.
    EXPECT_GT(CountPixels(capture.normal, red), 40);
    EXPECT_EQ(CountPixels(capture.on, red), 0);
    EXPECT_NE(capture.on.toImage(), capture.onHover.toImage());
    EXPECT_TRUE(ImagesFor(Button::Gif, 1.0).on.isNull());
}

} // namespace
