// The colour button on the test X server with the real screen reader: the
// pointer (moved and pressed by xdotool, through the server) presses the
// button, drags onto another client's window and lets go there.
#include <QAccessible>
#include <QColorDialog>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/xcb_pixel_reader.h"
#include "widgets/color_button.h"
#include "widgets/color_palette.h"
#include "x11_fixture.h"

using namespace x11_testing;

namespace {

// The shared test main starts the offscreen platform unless told otherwise;
// these tests need the pointer of the test X server, so the choice is made
// before main runs. Without a test display the tests fail in their set-up.
const bool kOnTestDisplay = [] {
    const char* display = std::getenv("FRAMELOOP_TEST_DISPLAY");
    if (!display || !*display)
        return false;
    setenv("DISPLAY", display, 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    return true;
}();

bool Xdotool(const QStringList& args) {
    return testing_support::RunProgram(QStringLiteral("xdotool"), args, 10000).exitCode == 0;
}

bool PointerTo(QPoint global) {
    return Xdotool(
        {QStringLiteral("mousemove"), QString::number(global.x()), QString::number(global.y())});
}

class ColorButtonX11Test : public ::testing::Test {
protected:
    void SetUp() override {
        display_ = RequireTestDisplay();
        ASSERT_NE(display_, nullptr);
        ASSERT_TRUE(kOnTestDisplay);
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
        RequireProgram("display");
        RequireProgram("import");
        RequireProgram("xdotool");
        ASSERT_TRUE(dir_.isValid());
    }
    void TearDown() override {
        // Whatever happened, the pointer's button goes up again.
        Xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
    }

    // A solid picture shown by ImageMagick's display, waited for until
    // import sees it (inside the few pixels of border display may add).
    std::unique_ptr<Client> ShowSolid(QColor colour, const QRect& where) {
        QImage picture(where.size(), QImage::Format_RGB888);
        picture.fill(colour);
        const QString path = dir_.filePath(QStringLiteral("solid.png"));
        EXPECT_TRUE(picture.save(path));
        auto client = std::make_unique<Client>(
            QStringLiteral("display"),
            QStringList{QStringLiteral("-geometry"),
                        QStringLiteral("+%1+%2").arg(where.x()).arg(where.y()), path});
        const QRect inner = where.adjusted(4, 4, -4, -4);
        const CaptureRect rect{inner.left(), inner.top(), inner.right() + 1, inner.bottom() + 1};
        QImage expected(inner.size(), QImage::Format_RGB888);
        expected.fill(colour);
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return MaxDifference(ImportCrop(rect), expected) == 0; }, 15000))
            << "display did not show its picture";
        return client;
    }

    const char* display_ = nullptr;
    QTemporaryDir dir_;
};

TEST_F(ColorButtonX11Test, EyedropperDragPicksThePixelOfAnotherClientsWindow) {
    const auto other = ShowSolid(QColor(200, 30, 90), QRect(1200, 500, 200, 150));
    XcbPixelReader reader(display_);
    ASSERT_TRUE(reader.Usable());

    QWidget window(nullptr, Qt::FramelessWindowHint);
    window.setGeometry(100, 100, 30, 16);
    CColorButton button(&window, &reader);
    button.setGeometry(0, 0, 30, 16);
    button.setAccessibleName(QStringLiteral("Text colour"));
    button.SetColor(0x102030, false);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_EQ(button.mapToGlobal(QPoint(0, 0)), QPoint(100, 100));
    QSignalSpy notified(&button, &CColorButton::Notified);

    ASSERT_TRUE(PointerTo({115, 108}));
    ASSERT_TRUE(Xdotool({QStringLiteral("mousedown"), QStringLiteral("1")}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return button.Palette() != nullptr; }, 10000));
    auto* palette = qobject_cast<CColorPalette*>(button.Palette());
    ASSERT_NE(palette, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(palette));
    EXPECT_EQ(palette->geometry(), QRect(100, 115, 191, 150));

    // On the screen the pop-up looks as it paints itself.
    const CaptureRect shown{100, 115, 291, 265};
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return MaxDifference(ImportCrop(shown), palette->grab().toImage()) == 0; }, 10000));

    // Held down, across the pop-up's grid (the yellow cell) and on to the
    // other client's window.
    ASSERT_TRUE(PointerTo({100 + 185, 115 + 65}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return palette->CurrentColor() == 0x00FFFFu; }, 10000));
    EXPECT_EQ(palette->HighlightedCell(), color_palette::CellIndex(18, 6));
    ASSERT_TRUE(PointerTo({1300, 560}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return palette->CurrentColor() == 0x5A1EC8u; }, 10000))
        << std::hex << palette->CurrentColor();
    EXPECT_EQ(button.Palette(), palette) << "still open while the button is held";
    ASSERT_TRUE(Xdotool({QStringLiteral("mouseup"), QStringLiteral("1")}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return button.Palette() == nullptr; }, 10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return notified.count() == 1; }, 10000));
    EXPECT_EQ(button.GetColor(), 0x5A1EC8u);
    EXPECT_EQ(button.accessibleDescription(), QStringLiteral("#C81E5A"));
}

TEST_F(ColorButtonX11Test, PlainClickKeepsThePopupOpenAndTheNextClickOnTheScreenChooses) {
    const auto other = ShowSolid(QColor(20, 180, 60), QRect(1300, 200, 160, 120));
    XcbPixelReader reader(display_);
    QWidget window(nullptr, Qt::FramelessWindowHint);
    window.setGeometry(400, 300, 30, 16);
    CColorButton button(&window, &reader);
    button.setGeometry(0, 0, 30, 16);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QSignalSpy notified(&button, &CColorButton::Notified);

    ASSERT_TRUE(PointerTo({410, 305}));
    ASSERT_TRUE(Xdotool({QStringLiteral("click"), QStringLiteral("1")}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return button.Palette() != nullptr; }, 10000));
    QPointer<CColorPalette> palette = qobject_cast<CColorPalette*>(button.Palette());
    ASSERT_FALSE(palette.isNull());
    // The release of that click does not close it: once a later move (a cell
    // of the grid) has arrived, the pop-up is still there.
    ASSERT_TRUE(PointerTo(QPoint(400, 315) + QPoint(35, 35)));
    const uint32_t cell = color_palette::CellColor(color_palette::CellIndex(3, 3));
    ASSERT_TRUE(QTest::qWaitFor([&] { return palette && palette->CurrentColor() == cell; }, 10000));
    ASSERT_EQ(button.Palette(), palette.data());
    // Without a button held the pointer still drives the eyedropper, and a
    // click on the other client's window chooses its colour.
    ASSERT_TRUE(PointerTo({1380, 260}));
    ASSERT_TRUE(Xdotool({QStringLiteral("click"), QStringLiteral("1")}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return button.Palette() == nullptr; }, 10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return notified.count() == 1; }, 10000));
    EXPECT_EQ(button.GetColor(), 0x3CB414u);
}

TEST_F(ColorButtonX11Test, EscapeOnTheKeyboardClosesWithoutChange) {
    QWidget window(nullptr, Qt::FramelessWindowHint);
    window.setGeometry(800, 300, 30, 16);
    CColorButton button(&window);
    button.setGeometry(0, 0, 30, 16);
    button.SetColor(0x204060, false);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QSignalSpy notified(&button, &CColorButton::Notified);
    ASSERT_TRUE(PointerTo({810, 305}));
    ASSERT_TRUE(Xdotool({QStringLiteral("mousedown"), QStringLiteral("1")}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return button.Palette() != nullptr; }, 10000));
    auto* palette = qobject_cast<CColorPalette*>(button.Palette());
    ASSERT_TRUE(PointerTo(QPoint(800, 315) + QPoint(55, 25)));
    const uint32_t cell = color_palette::CellColor(color_palette::CellIndex(5, 2));
    ASSERT_TRUE(QTest::qWaitFor([&] { return palette->CurrentColor() == cell; }, 10000));
    ASSERT_TRUE(Xdotool({QStringLiteral("key"), QStringLiteral("Escape")}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return button.Palette() == nullptr; }, 10000));
    EXPECT_EQ(button.GetColor(), 0x204060u);
    EXPECT_EQ(notified.count(), 0);
}

TEST_F(ColorButtonX11Test, TheMoreColoursButtonTakesARealClick) {
    QWidget window(nullptr, Qt::FramelessWindowHint);
    window.setGeometry(600, 600, 30, 16);
    CColorButton button(&window);
    button.setGeometry(0, 0, 30, 16);
    button.SetColor(0x204060, false);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(PointerTo({610, 605}));
    ASSERT_TRUE(Xdotool({QStringLiteral("click"), QStringLiteral("1")}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return button.Palette() != nullptr; }, 10000));
    auto* palette = qobject_cast<CColorPalette*>(button.Palette());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(palette));
    const QPoint more = palette->MoreColorsButton()->mapToGlobal(QPoint(8, 8));
    ASSERT_TRUE(PointerTo(more));
    ASSERT_TRUE(Xdotool({QStringLiteral("click"), QStringLiteral("1")}));
    QColorDialog* dialog = nullptr;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return (dialog = button.findChild<QColorDialog*>()) != nullptr; }, 10000));
    EXPECT_EQ(button.Palette(), nullptr);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->currentColor(), QColor(0x60, 0x40, 0x20));
    dialog->reject();
    EXPECT_EQ(button.GetColor(), 0x204060u);
}

} // namespace
