// CMyBitmapButton: which picture shows for each combination of flags and
// loaded pictures, and how hovering and pressing set the flags.
#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include "widgets/my_bitmap_button.h"

namespace {

QPixmap Solid(QSize size, QColor color) {
    QPixmap p(size);
    p.fill(color);
    return p;
}

void Move(QWidget& w, QPoint p) {
    QMouseEvent e(QEvent::MouseMove, p, w.mapToGlobal(p), Qt::NoButton, Qt::NoButton,
                  Qt::NoModifier);
    QApplication::sendEvent(&w, &e);
}

void Press(QWidget& w, QEvent::Type type) {
    const QPoint p(5, 5);
    QMouseEvent e(type, p, w.mapToGlobal(p), Qt::LeftButton,
                  type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &e);
}

void Leave(QWidget& w) {
    QEvent e(QEvent::Leave);
    QApplication::sendEvent(&w, &e);
}

using Image = CMyBitmapButton::Image;

struct Case {
    unsigned loaded; // bit per Image slot
    bool enabled, pressed, on, hover;
    Image want;
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << "loaded " << c.loaded << (c.enabled ? " enabled" : " disabled")
        << (c.pressed ? " pressed" : "") << (c.on ? " on" : "") << (c.hover ? " hover" : "");
}

class Precedence : public ::testing::TestWithParam<Case> {};

constexpr unsigned All = 0x3f;
constexpr unsigned Bit(Image i) {
    return 1u << i;
}

TEST_P(Precedence, PicksTheImageByTheRules) {
    const Case c = GetParam();
    CMyBitmapButton button;
    CMyBitmapButton::Images images;
    const QSize size(30, 20);
    QPixmap* targets[] = {&images.normal, &images.disabled, &images.on,
                          &images.hover,  &images.onHover,  &images.pressed};
    for (int i = 0; i < CMyBitmapButton::ImageCount; ++i) {
        if (c.loaded & (1u << i)) {
            *targets[i] = Solid(size, QColor::fromHsv(i * 50, 255, 255));
        }
    }
    button.LoadImages(images);
    button.show();
    if (c.hover) {
        Move(button, {5, 5});
    }
    if (c.pressed) {
        Press(button, QEvent::MouseButtonPress);
    }
    button.SetOn(c.on);
    button.setEnabled(c.enabled);
    EXPECT_EQ(button.CurrentImage(), c.want);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, Precedence,
    ::testing::Values(Case{All, true, false, false, false, Image::Normal},
                      Case{All, false, true, true, true, Image::Disabled},
                      Case{Bit(Image::Normal), false, false, false, false, Image::Normal},
                      Case{All, true, true, true, true, Image::Pressed},
                      Case{All & ~Bit(Image::Pressed), true, true, true, true, Image::OnHover},
                      Case{All, true, false, true, false, Image::On},
                      Case{All & ~Bit(Image::OnHover), true, false, true, true, Image::On},
                      Case{Bit(Image::Normal) | Bit(Image::Hover), true, false, true, true,
                           Image::Hover},
                      Case{All, true, false, false, true, Image::Hover},
                      Case{Bit(Image::Normal), true, true, true, true, Image::Normal}));

TEST(BitmapButton, TakesTheSizeOfItsNormalPicture) {
    CMyBitmapButton button;
    button.move(7, 9);
    QPixmap big(48, 40);
    big.setDevicePixelRatio(2.0);
    big.fill(Qt::red);
    button.LoadImages({big, {}, {}, {}, {}, {}});
    EXPECT_EQ(button.size(), QSize(24, 20));
    EXPECT_EQ(button.pos(), QPoint(7, 9));
}

TEST(BitmapButton, HoverComesAndGoesAndClickReachesTheOwner) {
    CMyBitmapButton button;
    button.LoadImages({Solid({30, 20}, Qt::blue), {}, {}, Solid({30, 20}, Qt::red), {}, {}});
    button.show();
    QSignalSpy clicked(&button, &QAbstractButton::clicked);

    Move(button, {5, 5});
    EXPECT_TRUE(button.IsHover());
    EXPECT_EQ(button.CurrentImage(), Image::Hover);
    Press(button, QEvent::MouseButtonPress);
    EXPECT_TRUE(button.IsPressed());
    Press(button, QEvent::MouseButtonRelease);
    EXPECT_FALSE(button.IsPressed());
    EXPECT_EQ(clicked.count(), 1);

    // Leaving clears hover and pressed.
    Press(button, QEvent::MouseButtonPress);
    Leave(button);
    EXPECT_FALSE(button.IsHover());
    EXPECT_FALSE(button.IsPressed());
    EXPECT_EQ(button.CurrentImage(), Image::Normal);
    Press(button, QEvent::MouseButtonRelease);

    // Off the button.
    Move(button, {5, 5});
    Move(button, {100, 100});
    EXPECT_FALSE(button.IsHover());

    // The painted picture is the chosen one.
    Move(button, {5, 5});
    QPixmap shot = button.grab();
    EXPECT_EQ(shot.toImage().pixelColor(10, 10), QColor(Qt::red));
}

} // namespace
