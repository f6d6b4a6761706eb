// CColorButton and its pop-up on the offscreen platform, driven with QTest
// input: where the pop-up opens, what the grid, the strip and the eyedropper
// choose, when the owner hears of it, and how the pop-up and the button look.
#include <QAccessible>
#include <QApplication>
#include <QBitmap>
#include <QColorDialog>
#include <QDir>
#include <QImage>
#include <QMouseEvent>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

#include "fake_pixel_reader.h"
#include "widgets/color_button.h"
#include "widgets/color_palette.h"

namespace {

using color_palette::CellIndex;
using color_palette::kNoCell;

constexpr QSize kButtonSize(30, 16);
constexpr uint32_t kYellow = 0x00FFFF;

QRect ScreenRect() {
    return QGuiApplication::primaryScreen()->geometry();
}

// Posted work (the pop-up's answer, then the notification) runs to its end.
void Settle() {
    for (int i = 0; i < 4; ++i)
        QCoreApplication::processEvents();
}

// A colour button alone in a frameless window at a known place.
class Host {
public:
    explicit Host(QPoint at = {100, 100}, ScreenPixelReader* pixels = nullptr) {
        window_.setGeometry(QRect(at, kButtonSize));
        button_ = new CColorButton(&window_, pixels);
        button_->setGeometry(QRect(QPoint(0, 0), kButtonSize));
        button_->setAccessibleName(QStringLiteral("Text colour"));
        window_.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window_));
    }
    ~Host() {
        // A gesture cut short by Escape still ends with the button's release,
        // or the next test would start with the left button held.
        if (QGuiApplication::mouseButtons() & Qt::LeftButton)
            QTest::mouseRelease(&window_, Qt::LeftButton, {}, QPoint(1, 1));
        Settle();
    }

    CColorButton& Button() { return *button_; }
    QWindow* WindowHandle() { return window_.windowHandle(); }

    // Presses the left button on the button (and keeps it down).
    CColorPalette* Press(QPoint at = {15, 8}) {
        QTest::mousePress(button_, Qt::LeftButton, {}, at);
        return qobject_cast<CColorPalette*>(button_->Palette());
    }

private:
    // Takes the releases no one else wants.
    class Window : public QWidget {
    public:
        Window() : QWidget(nullptr, Qt::FramelessWindowHint) {}

    protected:
        void mouseReleaseEvent(QMouseEvent* event) override { event->accept(); }
    };

    Window window_;
    CColorButton* button_;
};

// Window pixels of the middle of a grid cell.
QPoint CellCentre(int column, int row) {
    return {10 * column + 5, 10 * row + 5};
}

// The pointer moves with no button held (QTest would warp the cursor).
void Hover(QWidget* w, QPoint pos) {
    QMouseEvent e(QEvent::MouseMove, pos, w->mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

QImage Render(QWidget* w, qreal dpr) {
    QImage image((QSizeF(w->size()) * dpr).toSize(), QImage::Format_RGB32);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::magenta);
    w->render(&image);
    return image;
}

// Kept beside the test program for a person to look at.
void SaveArtifact(const QImage& image, const QString& name) {
    const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/artifacts");
    QDir().mkpath(folder);
    image.save(folder + QLatin1Char('/') + name);
}

uint32_t ColorRefAt(const QImage& image, int x, int y) {
    return color_palette::ToColorRef(QColor(image.pixel(x, y)));
}

// --- Where the pop-up opens -------------------------------------------------

struct PlacementCase {
    const char* name;
    // The button's top-left from the screen's left/top (>= 0) or, negative,
    // from its right/bottom edge.
    QPoint button;
    // Expected top-left of the pop-up in the same terms.
    QPoint palette;
};

void PrintTo(const PlacementCase& c, std::ostream* os) {
    *os << c.name;
}

QPoint FromScreen(QPoint p, const QRect& screen) {
    return {p.x() >= 0 ? screen.left() + p.x() : screen.left() + screen.width() + p.x(),
            p.y() >= 0 ? screen.top() + p.y() : screen.top() + screen.height() + p.y()};
}

class Placement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(Placement, OpensUnderTheButtonAndStaysOnTheScreen) {
    const PlacementCase& c = GetParam();
    const QRect screen = ScreenRect();
    ASSERT_GE(screen.width(), 400);
    ASSERT_GE(screen.height(), 400);
    Host host(FromScreen(c.button, screen));
    ASSERT_EQ(host.Button().mapToGlobal(QPoint(0, 0)), FromScreen(c.button, screen));
    CColorPalette* palette = host.Press();
    ASSERT_NE(palette, nullptr);
    EXPECT_TRUE(palette->isVisible());
    EXPECT_EQ(palette->frameGeometry().topLeft(), FromScreen(c.palette, screen));
    EXPECT_EQ(palette->size(), QSize(191, 150));
    QTest::keyClick(palette, Qt::Key_Escape);
}

// A 30 x 16 button; the pop-up's top is the button's last row (top + 15).
INSTANTIATE_TEST_SUITE_P(
    Screen, Placement,
    ::testing::Values(PlacementCase{"Normal", {100, 100}, {100, 115}},
                      PlacementCase{"AtTheLeftEdge", {0, 200}, {0, 215}},
                      PlacementCase{"NearTheRightEdge", {-100, 100}, {-191, 115}},
                      PlacementCase{"AtTheRightEdge", {-30, 100}, {-191, 115}},
                      // Bottom at screen height - 150 + 1: moved up by 150.
                      PlacementCase{"NearTheBottomEdge", {100, -164}, {100, -164 + 15 - 150}},
                      // Its top row lands exactly at height - 150: stays below.
                      PlacementCase{"JustAboveTheBottomZone", {100, -165}, {100, -150}},
                      PlacementCase{"BottomRightCorner", {-40, -20}, {-191, -20 + 15 - 150}}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Choosing from the grid -------------------------------------------------

struct CellCase {
    const char* name;
    int column;
    int row;
    uint32_t color; // 0x00BBGGRR, worked out by hand from the colour rule
};

void PrintTo(const CellCase& c, std::ostream* os) {
    *os << c.name;
}

class GridCell : public ::testing::TestWithParam<CellCase> {};

TEST_P(GridCell, DragAndReleaseOverTheCellChoosesItsColour) {
    const CellCase& c = GetParam();
    Host host;
    host.Button().SetColor(0x123456, false);
    QSignalSpy notified(&host.Button(), &CColorButton::Notified);
    CColorPalette* palette = host.Press();
    ASSERT_NE(palette, nullptr);
    // The grid shows the colour the cell gives.
    const QImage shown = Render(palette, 1);
    EXPECT_EQ(ColorRefAt(shown, 10 * c.column + 5, 10 * c.row + 5), c.color);

    QTest::mouseMove(palette, CellCentre(c.column, c.row) + QPoint(-3, 2));
    QTest::mouseMove(palette, CellCentre(c.column, c.row));
    EXPECT_EQ(palette->HighlightedCell(), CellIndex(c.column, c.row));
    EXPECT_EQ(palette->CurrentColor(), c.color);
    QTest::mouseRelease(palette, Qt::LeftButton, {}, CellCentre(c.column, c.row));
    Settle();
    EXPECT_EQ(host.Button().Palette(), nullptr);
    EXPECT_EQ(host.Button().GetColor(), c.color);
    EXPECT_EQ(notified.count(), 1);
    EXPECT_EQ(host.Button().accessibleDescription(), color_palette::ColorText(c.color));
}

INSTANTIATE_TEST_SUITE_P(
    Colours, GridCell,
    ::testing::Values(CellCase{"WhiteGrey", 0, 0, 0xFFFFFF}, CellCase{"Grey232", 0, 1, 0xE8E8E8},
                      CellCase{"Grey23", 0, 10, 0x171717}, CellCase{"BlackGrey", 0, 11, 0x000000},
                      CellCase{"FirstColourIsBlack", 1, 0, 0x000000},
                      CellCase{"RowStepsBlue", 1, 1, 0x330000},       // n = 1
                      CellCase{"ColumnStepsGreen", 2, 0, 0x003300},   // n = 6
                      CellCase{"TopRight", 18, 0, 0x00FF66},          // n = 102
                      CellCase{"SecondHalfStepsRed", 1, 6, 0x000099}, // n = 108
                      CellCase{"Yellow", 18, 6, kYellow},             // n = 210
                      CellCase{"Mixed", 7, 9, 0x9900CC},              // n = 147
                      CellCase{"LastIsWhite", 18, 11, 0xFFFFFF}),     // n = 215
    [](const auto& info) { return std::string(info.param.name); });

TEST(ColorPaletteGeometry, PositionOnAScreenThatDoesNotStartAtZero) {
    using color_palette::PopupPosition;
    const QRect first(0, 0, 800, 600);
    EXPECT_EQ(PopupPosition(QRect(-10, 100, 30, 16), first), QPoint(0, 115));
    const QRect second(800, 0, 1024, 768);
    EXPECT_EQ(PopupPosition(QRect(900, 100, 30, 16), second), QPoint(900, 115));
    EXPECT_EQ(PopupPosition(QRect(790, 100, 30, 16), second), QPoint(800, 115));
    EXPECT_EQ(PopupPosition(QRect(1800, 700, 30, 16), second), QPoint(800 + 1024 - 191, 565));
}

TEST(ColorPaletteGeometry, CellsLinesAndBorder) {
    using color_palette::CellAt;
    EXPECT_EQ(CellAt({5, 5}), CellIndex(0, 0));
    EXPECT_EQ(CellAt({1, 1}), CellIndex(0, 0));
    EXPECT_EQ(CellAt({9, 9}), CellIndex(0, 0));
    EXPECT_EQ(CellAt({11, 1}), CellIndex(1, 0));
    EXPECT_EQ(CellAt({189, 119}), CellIndex(18, 11));
    for (const QPoint p : {QPoint(0, 5), QPoint(5, 0), QPoint(10, 5), QPoint(5, 10), QPoint(190, 5),
                           QPoint(100, 110), QPoint(5, 120), QPoint(-1, 5)})
        EXPECT_EQ(CellAt(p), kNoCell) << p.x() << "," << p.y();
}

TEST(ColorPalette, HoveringAGridLineKeepsTheCellAndTheColour) {
    Host host;
    CColorPalette* palette = host.Press();
    ASSERT_NE(palette, nullptr);
    QTest::mouseMove(palette, CellCentre(3, 2));
    const int cell = CellIndex(3, 2);
    const uint32_t color = color_palette::CellColor(cell);
    ASSERT_EQ(palette->HighlightedCell(), cell);
    ASSERT_EQ(palette->CurrentColor(), color);
    // The vertical line right of the cell, the horizontal one below it, and
    // where they cross.
    for (const QPoint line : {QPoint(40, 25), QPoint(35, 30), QPoint(40, 30)}) {
        QTest::mouseMove(palette, line);
        EXPECT_EQ(palette->HighlightedCell(), cell) << line.x() << "," << line.y();
        EXPECT_EQ(palette->CurrentColor(), color) << line.x() << "," << line.y();
    }
    // Releasing on the line chooses the cell's colour.
    QTest::mouseRelease(palette, Qt::LeftButton, {}, QPoint(40, 30));
    Settle();
    EXPECT_EQ(host.Button().GetColor(), color);
}

// --- The information strip --------------------------------------------------

TEST(ColorPalette, StripShowsYellowAsFFFF00WithItsSwatch) {
    Host host;
    CColorPalette* palette = host.Press();
    ASSERT_NE(palette, nullptr);
    QTest::mouseMove(palette, CellCentre(18, 6));
    ASSERT_EQ(palette->CurrentColor(), kYellow);
    EXPECT_EQ(palette->InfoText(), QStringLiteral("#FFFF00"));
    EXPECT_EQ(palette->accessibleDescription(), QStringLiteral("#FFFF00"));
    const QImage image = Render(palette, 2);
    SaveArtifact(image, QStringLiteral("color_palette_yellow.png"));
    // The swatch fills window (7, 127) .. (39, 142) inside a black frame.
    for (const QPoint p : {QPoint(7, 127), QPoint(23, 135), QPoint(39, 142)})
        EXPECT_EQ(ColorRefAt(image, 2 * p.x(), 2 * p.y()), kYellow) << p.x() << "," << p.y();
    EXPECT_EQ(ColorRefAt(image, 2 * 6, 2 * 135), 0u);
    EXPECT_EQ(ColorRefAt(image, 2 * 40 + 1, 2 * 135), 0u);
    // Dark text right of x 81 and nothing of it left of there.
    int textPixels = 0;
    for (int y = 2 * 128; y < 2 * 144; ++y) {
        for (int x = 2 * 44; x < 2 * 160; ++x)
            textPixels += qGray(image.pixel(x, y)) < 100;
    }
    EXPECT_GT(textPixels, 100);
    int leftOfText = 0;
    for (int y = 2 * 128; y < 2 * 144; ++y) {
        for (int x = 2 * 42; x < 2 * 80; ++x)
            leftOfText += qGray(image.pixel(x, y)) < 100;
    }
    EXPECT_EQ(leftOfText, 0);
    EXPECT_EQ(ColorRefAt(image, 2 * 60, 2 * 135), 0xC0C0C0u);

    // Red first: a colour with three different channels.
    QTest::mouseMove(palette, CellCentre(18, 0));
    EXPECT_EQ(palette->InfoText(), QStringLiteral("#66FF00"));
    QTest::keyClick(palette, Qt::Key_Escape);
}

TEST(ColorPalette, OverTheStripTheInitialColourReturnsAndTheHighlightGoes) {
    Host host;
    host.Button().SetColor(0x445566, false);
    CColorPalette* palette = host.Press();
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(palette->InitialColor(), 0x445566u);
    QTest::mouseMove(palette, CellCentre(5, 5));
    ASSERT_NE(palette->CurrentColor(), 0x445566u);
    QTest::mouseMove(palette, QPoint(100, 135));
    EXPECT_EQ(palette->CurrentColor(), 0x445566u);
    EXPECT_EQ(palette->HighlightedCell(), kNoCell);
    EXPECT_EQ(palette->cursor().shape(), Qt::ArrowCursor);
    QTest::mouseMove(palette, CellCentre(5, 5));
    EXPECT_EQ(palette->cursor().shape(), Qt::BitmapCursor);
    // Releasing over the strip chooses the colour the button had: no news.
    QSignalSpy notified(&host.Button(), &CColorButton::Notified);
    QTest::mouseMove(palette, QPoint(100, 135));
    QTest::mouseRelease(palette, Qt::LeftButton, {}, QPoint(100, 135));
    Settle();
    EXPECT_EQ(host.Button().Palette(), nullptr);
    EXPECT_EQ(host.Button().GetColor(), 0x445566u);
    EXPECT_EQ(notified.count(), 0);
}

// --- The eyedropper ---------------------------------------------------------

TEST(ColorPalette, EyedropperPicksThePixelUnderThePointerOutsideThePopup) {
    FakePixelReader screen;
    Host host({300, 200}, &screen);
    QSignalSpy notified(&host.Button(), &CColorButton::Notified);
    CColorPalette* palette = host.Press();
    ASSERT_NE(palette, nullptr);
    // Far left of the pop-up, then above it (over the button itself).
    const QPoint first(-200, 40);
    QTest::mouseMove(palette, first);
    const QPoint g1 = palette->mapToGlobal(first);
    EXPECT_EQ(palette->CurrentColor(), FakePixelReader::PatternColor(g1.x(), g1.y()));
    EXPECT_EQ(palette->cursor().shape(), Qt::BitmapCursor);
    const QPoint second(7, -6);
    QTest::mouseMove(palette, second);
    const QPoint g2 = palette->mapToGlobal(second);
    const uint32_t expected = FakePixelReader::PatternColor(g2.x(), g2.y());
    ASSERT_NE(expected, FakePixelReader::PatternColor(g1.x(), g1.y()));
    EXPECT_EQ(palette->CurrentColor(), expected);
    EXPECT_EQ(palette->InfoText(), color_palette::ColorText(expected));
    QTest::mouseRelease(palette, Qt::LeftButton, {}, second);
    Settle();
    EXPECT_EQ(host.Button().Palette(), nullptr);
    EXPECT_EQ(host.Button().GetColor(), expected);
    EXPECT_EQ(notified.count(), 1);
}

TEST(ColorPalette, PointerEventsThatArriveAtAnotherWindowReachTheOpenPopup) {
    // Through the window system, as a real pointer: the press lands on the
    // button's window, and so do the moves and the release that follow.
    FakePixelReader screen;
    Host host({300, 200}, &screen);
    QWindow* window = host.WindowHandle();
    ASSERT_NE(window, nullptr);
    QTest::mousePress(window, Qt::LeftButton, {}, QPoint(15, 8));
    auto* palette = qobject_cast<CColorPalette*>(host.Button().Palette());
    ASSERT_NE(palette, nullptr);
    ASSERT_EQ(palette->pos(), QPoint(300, 215));
    // The yellow cell's middle, (185, 65) in the pop-up, is (185, 80) from
    // the button's window.
    QTest::mouseMove(window, QPoint(180, 76));
    QTest::mouseMove(window, QPoint(185, 80));
    EXPECT_EQ(palette->HighlightedCell(), CellIndex(18, 6));
    EXPECT_EQ(palette->CurrentColor(), kYellow);
    QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(185, 80));
    Settle();
    EXPECT_EQ(host.Button().Palette(), nullptr);
    EXPECT_EQ(host.Button().GetColor(), kYellow);
}

TEST(ColorPalette, WhereTheScreenCannotBeReadTheColourStays) {
    FakePixelReader screen(FakePixelReader::Pattern(400, 400));
    Host host({300, 200}, &screen);
    CColorPalette* palette = host.Press();
    ASSERT_NE(palette, nullptr);
    QTest::mouseMove(palette, QPoint(-20, 20)); // global (280, 235): readable
    const uint32_t readable = palette->CurrentColor();
    EXPECT_EQ(readable, FakePixelReader::PatternColor(280, 235));
    const int reads = screen.Reads();
    QTest::mouseMove(palette, QPoint(200, 20)); // x 500: outside the fake screen
    EXPECT_EQ(screen.Reads(), reads + 1);
    EXPECT_EQ(palette->CurrentColor(), readable);
    // The grid is read from its own colours, never from the screen.
    QTest::mouseMove(palette, CellCentre(2, 2));
    EXPECT_EQ(screen.Reads(), reads + 1);
    QTest::keyClick(palette, Qt::Key_Escape);
}

TEST(ColorPalette, WithoutAReaderOnlyTheGridChooses) {
    Host host({300, 200});
    host.Button().SetColor(0x010203, false);
    CColorPalette* palette = host.Press();
    ASSERT_NE(palette, nullptr);
    QTest::mouseMove(palette, QPoint(-50, 50));
    EXPECT_EQ(palette->CurrentColor(), 0x010203u);
    // A reader given while the pop-up is open is used at once.
    FakePixelReader screen;
    host.Button().SetPixelReader(&screen);
    QTest::mouseMove(palette, QPoint(-60, 50));
    const QPoint g = palette->mapToGlobal(QPoint(-60, 50));
    EXPECT_EQ(palette->CurrentColor(), FakePixelReader::PatternColor(g.x(), g.y()));
    QTest::keyClick(palette, Qt::Key_Escape);
    Settle();
    host.Button().SetPixelReader(nullptr);
}

// --- What the owner hears -------------------------------------------------

TEST(ColorButton, SetColorWithNotifyTellsTheOwnerOnceFromTheEventQueue) {
    Host host;
    QSignalSpy notified(&host.Button(), &CColorButton::Notified);
    host.Button().SetColor(0x00FF00, false);
    Settle();
    EXPECT_EQ(notified.count(), 0);
    host.Button().SetColor(0x0000FF, true);
    EXPECT_EQ(host.Button().GetColor(), 0x0000FFu);
    EXPECT_EQ(notified.count(), 0) << "posted, not sent";
    Settle();
    EXPECT_EQ(notified.count(), 1);
    Settle();
    EXPECT_EQ(notified.count(), 1);
    // The same colour again still notifies: the owner asked for it.
    host.Button().SetColor(0x0000FF, true);
    Settle();
    EXPECT_EQ(notified.count(), 2);
}

TEST(ColorButton, ChoosingTheColourItAlreadyHasPostsNothing) {
    Host host;
    const uint32_t cell = color_palette::CellColor(CellIndex(4, 4));
    host.Button().SetColor(cell, false);
    QSignalSpy notified(&host.Button(), &CColorButton::Notified);
    CColorPalette* palette = host.Press();
    ASSERT_NE(palette, nullptr);
    QTest::mouseMove(palette, CellCentre(4, 4));
    QTest::mouseRelease(palette, Qt::LeftButton, {}, CellCentre(4, 4));
    Settle();
    EXPECT_EQ(host.Button().Palette(), nullptr);
    EXPECT_EQ(host.Button().GetColor(), cell);
    EXPECT_EQ(notified.count(), 0);
}

TEST(ColorButton, EscapeClosesWithoutChange) {
    Host host;
    host.Button().SetColor(0x335577, false);
    QSignalSpy notified(&host.Button(), &CColorButton::Notified);
    CColorPalette* palette = host.Press();
    ASSERT_NE(palette, nullptr);
    QPointer<CColorPalette> watch(palette);
    QTest::mouseMove(palette, CellCentre(9, 3));
    ASSERT_NE(palette->CurrentColor(), 0x335577u);
    QTest::keyClick(palette, Qt::Key_Escape);
    Settle();
    EXPECT_EQ(host.Button().Palette(), nullptr);
    EXPECT_TRUE(watch.isNull()) << "the pop-up is deleted";
    EXPECT_EQ(host.Button().GetColor(), 0x335577u);
    EXPECT_EQ(notified.count(), 0);
}

TEST(ColorButton, PlainClickLeavesThePopupOpenAndTheNextClickChooses) {
    Host host;
    QSignalSpy notified(&host.Button(), &CColorButton::Notified);
    CColorPalette* palette = host.Press({15, 8});
    ASSERT_NE(palette, nullptr);
    // The release of the opening click, at the press point.
    const QPoint pressAt = palette->mapFromGlobal(host.Button().mapToGlobal(QPoint(15, 8)));
    QTest::mouseRelease(palette, Qt::LeftButton, {}, pressAt);
    Settle();
    ASSERT_EQ(host.Button().Palette(), palette);
    // Pointer over a cell, then a click there.
    Hover(palette, CellCentre(12, 7));
    EXPECT_EQ(host.Button().Palette(), palette);
    QTest::mouseClick(palette, Qt::LeftButton, {}, CellCentre(12, 7));
    Settle();
    EXPECT_EQ(host.Button().Palette(), nullptr);
    EXPECT_EQ(host.Button().GetColor(), color_palette::CellColor(CellIndex(12, 7)));
    EXPECT_EQ(notified.count(), 1);
}

TEST(ColorButton, AClickWithoutAMoveAfterAPlainClickChoosesTooAnywhere) {
    FakePixelReader screen;
    Host host({300, 300}, &screen);
    CColorPalette* palette = host.Press();
    ASSERT_NE(palette, nullptr);
    const QPoint pressAt = palette->mapFromGlobal(host.Button().mapToGlobal(QPoint(15, 8)));
    QTest::mouseRelease(palette, Qt::LeftButton, {}, pressAt);
    Hover(palette, QPoint(250, 60)); // right of the pop-up
    const QPoint g = palette->mapToGlobal(QPoint(250, 60));
    QTest::mouseClick(palette, Qt::LeftButton, {}, QPoint(250, 60));
    Settle();
    EXPECT_EQ(host.Button().Palette(), nullptr);
    EXPECT_EQ(host.Button().GetColor(), FakePixelReader::PatternColor(g.x(), g.y()));
}

TEST(ColorButton, HighlightSurvivesReopeningAndItsCellCanBePicked) {
    Host host;
    host.Button().SetColor(0x0A0B0C, false);
    CColorPalette* palette = host.Press();
    ASSERT_NE(palette, nullptr);
    QTest::mouseMove(palette, CellCentre(6, 8));
    QTest::keyClick(palette, Qt::Key_Escape);
    Settle();
    ASSERT_EQ(host.Button().Palette(), nullptr);

    palette = host.Press();
    ASSERT_NE(palette, nullptr);
    const int cell = CellIndex(6, 8);
    EXPECT_EQ(palette->HighlightedCell(), cell);
    EXPECT_EQ(palette->CurrentColor(), 0x0A0B0Cu) << "the button's colour until the pointer moves";
    // The dotted outline: every other pixel of the 10 x 10 ring inverted.
    const uint32_t color = color_palette::CellColor(cell);
    const QImage image = Render(palette, 1);
    const QRect ring = color_palette::HighlightRect(cell);
    EXPECT_EQ(ColorRefAt(image, ring.left(), ring.top()), color ^ 0xFFFFFF);
    EXPECT_EQ(ColorRefAt(image, ring.left() + 1, ring.top()), color);
    EXPECT_EQ(ColorRefAt(image, ring.left() + 4, ring.top() + 4), color);
    EXPECT_EQ(ColorRefAt(image, ring.right(), ring.top() + 1), 0xFFFFFFu) << "the line, inverted";
    EXPECT_EQ(ColorRefAt(image, ring.right(), ring.top()), 0u);
    // No other cell is outlined.
    const QRect other = color_palette::HighlightRect(CellIndex(2, 2));
    EXPECT_EQ(ColorRefAt(image, other.left(), other.top()),
              color_palette::CellColor(CellIndex(2, 2)));

    // Dragging onto that same cell picks its colour.
    QTest::mouseMove(palette, CellCentre(6, 8) + QPoint(1, 1));
    QTest::mouseRelease(palette, Qt::LeftButton, {}, CellCentre(6, 8) + QPoint(1, 1));
    Settle();
    EXPECT_EQ(host.Button().GetColor(), color);
}

TEST(ColorButton, APopupClosedFromOutsideKeepsWhatThePointerFound) {
    // As when the system closes pop-ups: after a move the colour counts,
    // before any move nothing changes.
    for (const bool moved : {false, true}) {
        Host host;
        host.Button().SetColor(0x010101, false);
        QSignalSpy notified(&host.Button(), &CColorButton::Notified);
        CColorPalette* palette = host.Press();
        ASSERT_NE(palette, nullptr);
        if (moved)
            QTest::mouseMove(palette, CellCentre(10, 10));
        palette->close();
        Settle();
        EXPECT_EQ(host.Button().Palette(), nullptr) << moved;
        EXPECT_EQ(host.Button().GetColor(),
                  moved ? color_palette::CellColor(CellIndex(10, 10)) : 0x010101u)
            << moved;
        EXPECT_EQ(notified.count(), moved ? 1 : 0) << moved;
    }
}

TEST(ColorButton, MoreColoursOpensTheColourDialogAndOkSetsTheColour) {
    Host host;
    host.Button().SetColor(0x204060, false);
    QSignalSpy notified(&host.Button(), &CColorButton::Notified);
    CColorPalette* palette = host.Press();
    ASSERT_NE(palette, nullptr);
    QAbstractButton* more = palette->MoreColorsButton();
    ASSERT_NE(more, nullptr);
    EXPECT_EQ(more->property("controlId").toInt(), 100);
    EXPECT_EQ(more->accessibleName(), QStringLiteral("More colours..."));
    EXPECT_EQ(more->geometry(), QRect(168, 127, 16, 16));
    const QImage face = Render(more, 2);
    SaveArtifact(face, QStringLiteral("more_colours.png"));
    EXPECT_EQ(ColorRefAt(face, 2 * 4, 2 * 4), 0x0000FFu);     // red square
    EXPECT_EQ(ColorRefAt(face, 2 * 6 + 1, 2 * 8), 0x00FF00u); // green square
    EXPECT_EQ(ColorRefAt(face, 2 * 9, 2 * 9), kYellow);       // yellow square on top
    EXPECT_EQ(ColorRefAt(face, 2 * 14, 2 * 2), 0xC0C0C0u);    // face
    QTest::mouseClick(more, Qt::LeftButton);
    Settle();
    EXPECT_EQ(host.Button().Palette(), nullptr);
    auto* dialog = host.Button().findChild<QColorDialog*>();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->currentColor(), QColor(0x60, 0x40, 0x20));
    dialog->setCurrentColor(QColor(10, 200, 30));
    dialog->accept();
    Settle();
    EXPECT_EQ(host.Button().GetColor(), 0x1EC80Au);
    EXPECT_EQ(notified.count(), 1);
}

TEST(ColorButton, CancellingTheColourDialogChangesNothing) {
    Host host;
    host.Button().SetColor(0x204060, false);
    QSignalSpy notified(&host.Button(), &CColorButton::Notified);
    CColorPalette* palette = host.Press();
    ASSERT_NE(palette, nullptr);
    QTest::mouseClick(palette->MoreColorsButton(), Qt::LeftButton);
    Settle();
    auto* dialog = host.Button().findChild<QColorDialog*>();
    ASSERT_NE(dialog, nullptr);
    dialog->setCurrentColor(QColor(10, 200, 30));
    dialog->reject();
    Settle();
    EXPECT_EQ(host.Button().GetColor(), 0x204060u);
    EXPECT_EQ(notified.count(), 0);
}

TEST(ColorButton, KeysOpenThePopupAndPickFromTheGrid) {
    Host host;
    host.Button().setFocus();
    QTest::keyClick(&host.Button(), Qt::Key_Space);
    auto* palette = qobject_cast<CColorPalette*>(host.Button().Palette());
    ASSERT_NE(palette, nullptr);
    Hover(palette, QPoint(100, 135)); // the strip: nothing highlighted
    ASSERT_EQ(palette->HighlightedCell(), kNoCell);
    QTest::keyClick(palette, Qt::Key_Down); // the first key lands on the top-left cell
    EXPECT_EQ(palette->HighlightedCell(), CellIndex(0, 0));
    QTest::keyClick(palette, Qt::Key_Right);
    QTest::keyClick(palette, Qt::Key_Down);
    QTest::keyClick(palette, Qt::Key_Up);
    QTest::keyClick(palette, Qt::Key_Up); // stays in the top row
    QTest::keyClick(palette, Qt::Key_Down);
    EXPECT_EQ(palette->HighlightedCell(), CellIndex(1, 1));
    QTest::keyClick(palette, Qt::Key_Return);
    Settle();
    EXPECT_EQ(host.Button().Palette(), nullptr);
    EXPECT_EQ(host.Button().GetColor(), 0x330000u);
}

// --- Looks --------------------------------------------------------------------

TEST(ColorPalette, PipetteCursorComesFromItsMasks) {
    Host host;
    CColorPalette* palette = host.Press();
    ASSERT_NE(palette, nullptr);
    const QCursor cursor = palette->cursor();
    ASSERT_EQ(cursor.shape(), Qt::BitmapCursor);
    EXPECT_EQ(cursor.hotSpot(), QPoint(0, 15));
    const QImage bitmap = cursor.bitmap().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage mask = cursor.mask().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(bitmap.size(), QSize(16, 16));
    enum Look { Clear, Black, White };
    auto look = [&](int x, int y) {
        if (mask.pixel(x, y) != qRgb(0, 0, 0)) // mask bit 0: transparent
            return Clear;
        return bitmap.pixel(x, y) == qRgb(0, 0, 0) ? Black : White;
    };
    // Row 0: AND FF F1 -> pixels 12..14 opaque, all black.
    EXPECT_EQ(look(11, 0), Clear);
    EXPECT_EQ(look(12, 0), Black);
    EXPECT_EQ(look(14, 0), Black);
    EXPECT_EQ(look(15, 0), Clear);
    // Row 1: AND FF E0, XOR 00 0C -> 11 black, 12 and 13 white, 14 and 15 black.
    EXPECT_EQ(look(11, 1), Black);
    EXPECT_EQ(look(12, 1), White);
    EXPECT_EQ(look(13, 1), White);
    EXPECT_EQ(look(15, 1), Black);
    // Row 14: AND 0F FF, XOR 40 00 -> 0 black, 1 white, 2 and 3 black.
    EXPECT_EQ(look(0, 14), Black);
    EXPECT_EQ(look(1, 14), White);
    EXPECT_EQ(look(3, 14), Black);
    EXPECT_EQ(look(4, 14), Clear);
    // Row 15: AND 3F FF -> the tip, pixels 0 and 1.
    EXPECT_EQ(look(0, 15), Black);
    EXPECT_EQ(look(2, 15), Clear);
    EXPECT_EQ(look(0, 0), Clear);
    QTest::keyClick(palette, Qt::Key_Escape);
}

TEST(ColorPalette, CrispAtTwiceTheDevicePixels) {
    Host host;
    CColorPalette* palette = host.Press();
    ASSERT_NE(palette, nullptr);
    QTest::mouseMove(palette, QPoint(100, 135)); // no highlight in the way
    const QImage image = Render(palette, 2);
    SaveArtifact(image, QStringLiteral("color_palette_2x.png"));
    ASSERT_EQ(image.size(), QSize(382, 300));
    // Along device row 30 (window y 15, the second row of cells): the
    // border, a grey, a line, two colours; each line two device pixels wide.
    EXPECT_EQ(ColorRefAt(image, 0, 30), 0u);
    EXPECT_EQ(ColorRefAt(image, 1, 30), 0u);
    EXPECT_EQ(ColorRefAt(image, 2, 30), 0xE8E8E8u);
    EXPECT_EQ(ColorRefAt(image, 19, 30), 0xE8E8E8u);
    EXPECT_EQ(ColorRefAt(image, 20, 30), 0u);
    EXPECT_EQ(ColorRefAt(image, 21, 30), 0u);
    EXPECT_EQ(ColorRefAt(image, 22, 30), 0x330000u);
    EXPECT_EQ(ColorRefAt(image, 39, 30), 0x330000u);
    EXPECT_EQ(ColorRefAt(image, 40, 30), 0u);
    EXPECT_EQ(ColorRefAt(image, 41, 30), 0u);
    EXPECT_EQ(ColorRefAt(image, 42, 30), 0x333300u);
    // Down device column 30 (window x 15): the last row of cells, the last
    // line (window row 120), then the strip.
    EXPECT_EQ(ColorRefAt(image, 30, 2 * 119 + 1), 0xFF0099u);
    EXPECT_EQ(ColorRefAt(image, 30, 2 * 120), 0u);
    EXPECT_EQ(ColorRefAt(image, 30, 2 * 120 + 1), 0u);
    EXPECT_EQ(ColorRefAt(image, 30, 2 * 121), 0xC0C0C0u);
    // The window's border all round.
    EXPECT_EQ(ColorRefAt(image, 381, 270), 0u);
    EXPECT_EQ(ColorRefAt(image, 379, 270), 0xC0C0C0u);
    EXPECT_EQ(ColorRefAt(image, 200, 299), 0u);
    EXPECT_EQ(ColorRefAt(image, 200, 297), 0xC0C0C0u);
    QTest::keyClick(palette, Qt::Key_Escape);
}

struct FaceCase {
    const char* name;
    bool enabled;
    uint32_t arrow;
};

void PrintTo(const FaceCase& c, std::ostream* os) {
    *os << c.name;
}

class ButtonFace : public ::testing::TestWithParam<FaceCase> {};

TEST_P(ButtonFace, SwatchInARaisedEdgeWithTheArrowNotch) {
    Host host;
    CColorButton& button = host.Button();
    button.SetColor(0x3060C0, false);
    button.setEnabled(GetParam().enabled);
    const QImage image = Render(&button, 2);
    SaveArtifact(image,
                 QStringLiteral("color_button_%1.png").arg(QString::fromUtf8(GetParam().name)));
    // Raised: white top-left, shadow bottom-right.
    EXPECT_EQ(ColorRefAt(image, 10, 0), 0xFFFFFFu);
    EXPECT_EQ(ColorRefAt(image, 0, 10), 0xFFFFFFu);
    const uint32_t shadow = color_palette::ToColorRef(button.palette().color(QPalette::Shadow));
    EXPECT_EQ(ColorRefAt(image, 10, 31), shadow);
    EXPECT_EQ(ColorRefAt(image, 59, 10), shadow);
    // The swatch from (3, 3) to (26, 12), framed grey top-left, white
    // bottom-right.
    EXPECT_EQ(ColorRefAt(image, 2 * 3, 2 * 3), 0x3060C0u);
    EXPECT_EQ(ColorRefAt(image, 2 * 14, 2 * 8), 0x3060C0u);
    EXPECT_EQ(ColorRefAt(image, 2 * 18, 2 * 12), 0x3060C0u);
    EXPECT_EQ(ColorRefAt(image, 2 * 10, 2 * 2), 0x808080u);
    EXPECT_EQ(ColorRefAt(image, 2 * 10, 2 * 13), 0xFFFFFFu);
    // The notch at the bottom right: face colour with the arrow in it.
    const uint32_t face = color_palette::ToColorRef(button.palette().color(QPalette::Button));
    EXPECT_EQ(ColorRefAt(image, 2 * 20, 2 * 9), face);
    EXPECT_EQ(ColorRefAt(image, 2 * 26, 2 * 12), face);
    for (const QPoint p : {QPoint(22, 10), QPoint(23, 10), QPoint(24, 10), QPoint(23, 11)})
        EXPECT_EQ(ColorRefAt(image, 2 * p.x() + 1, 2 * p.y() + 1), GetParam().arrow)
            << p.x() << "," << p.y();
    EXPECT_EQ(ColorRefAt(image, 2 * 22, 2 * 11), face);
}

INSTANTIATE_TEST_SUITE_P(States, ButtonFace,
                         ::testing::Values(FaceCase{"Enabled", true, 0x000000},
                                           FaceCase{"Disabled", false, 0x808080}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ColorButton, PressedInWhileThePopupIsOpen) {
    Host host;
    CColorPalette* palette = host.Press();
    ASSERT_NE(palette, nullptr);
    EXPECT_FALSE(host.Button().isDown());
    const QImage image = Render(&host.Button(), 1);
    EXPECT_NE(ColorRefAt(image, 10, 0), 0xFFFFFFu);
    EXPECT_EQ(ColorRefAt(image, 10, 15), 0xFFFFFFu);
    QTest::keyClick(palette, Qt::Key_Escape);
    Settle();
    EXPECT_EQ(ColorRefAt(Render(&host.Button(), 1), 10, 0), 0xFFFFFFu);
}

TEST(ColorButton, AccessibleNamesAndTheColourAsDescription) {
    Host host;
    CColorButton& button = host.Button();
    button.SetColor(kYellow, false);
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&button);
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("Text colour"));
    EXPECT_EQ(iface->text(QAccessible::Description), QStringLiteral("#FFFF00"));
    button.SetColor(0x563412, false);
    EXPECT_EQ(iface->text(QAccessible::Description), QStringLiteral("#123456"));

    CColorPalette* palette = host.Press();
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(palette->objectName(), QStringLiteral("ColorPalette"));
    QAccessibleInterface* popup = QAccessible::queryAccessibleInterface(palette);
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->text(QAccessible::Name), QStringLiteral("Colour palette"));
    EXPECT_EQ(popup->text(QAccessible::Description), QStringLiteral("#123456"));
    QAccessibleInterface* more = QAccessible::queryAccessibleInterface(palette->MoreColorsButton());
    ASSERT_NE(more, nullptr);
    EXPECT_EQ(more->text(QAccessible::Name), QStringLiteral("More colours..."));
    EXPECT_EQ(more->role(), QAccessible::Button);
    QTest::keyClick(palette, Qt::Key_Escape);
}

TEST(ColorButton, StartsWithTheButtonFaceColour) {
    CColorButton button;
    EXPECT_EQ(button.GetColor(),
              color_palette::ToColorRef(button.palette().color(QPalette::Button)));
    EXPECT_EQ(button.Palette(), nullptr);
}

TEST(ColorButton, DestroyedWithItsPopupOpen) {
    auto host = std::make_unique<Host>();
    QPointer<CColorPalette> palette = host->Press();
    ASSERT_FALSE(palette.isNull());
    host.reset();
    Settle();
    EXPECT_TRUE(palette.isNull());
}

} // namespace
