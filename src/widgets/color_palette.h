#pragma once
// The colour pop-up of a colour button: a grid of 12 greys and 216 colours,
// an information strip with the current colour, a more-colours button, and an
// eyedropper that follows the pointer anywhere on the screen while the pop-up
// holds the mouse. Colours are 0x00BBGGRR values (red in the low byte).
//
// The geometry is in the window's own pixels, its one-pixel border included:
// the grid's cells are 9 x 9 with one-pixel black lines between them, so cell
// (column c, row r) covers x 10c + 1 .. 10c + 9, y 10r + 1 .. 10r + 9.

#include <QColor>
#include <QCursor>
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>

class QAbstractButton;
class QPainter;
class ScreenPixelReader;

namespace color_palette {

inline constexpr int kWidth = 191;
inline constexpr int kHeight = 150;
inline constexpr int kGridHeight = 120; // the top of the window, border included
inline constexpr int kColumns = 19;     // the grey column and 18 colour columns
inline constexpr int kRows = 12;
inline constexpr int kCellCount = kColumns * kRows;
inline constexpr int kNoCell = -1;
inline constexpr int kMoreColorsId = 100; // control id of the more-colours button

// Cell index r * 19 + c of column c (0: greys) and row r.
inline constexpr int CellIndex(int column, int row) {
    return row * kColumns + column;
}
// The colour of a cell: the greys 255 .. 0 down the first column, then six
// levels of each channel (0, 51, .. 255) in two blocks of six rows.
uint32_t CellColor(int cell);
// The cell under `windowPos` (window pixels), or kNoCell on a grid line, on
// the border, or outside the grid.
int CellAt(QPoint windowPos);
// Where the 10 x 10 highlight of a cell goes, in window pixels: the cell with
// the grid lines right of and below it.
QRect HighlightRect(int cell);

// Where the pop-up of a button whose window rectangle is `button` (global)
// opens on `screen`: under the button's last pixel row, moved left to stay on
// the screen, and 150 pixels higher when it would run off the bottom.
QPoint PopupPosition(const QRect& button, const QRect& screen);

// "#RRGGBB", red first, upper case.
QString ColorText(uint32_t color);
QColor ToQColor(uint32_t color);
uint32_t ToColorRef(const QColor& color);

// The eyedropper's cursor (16 x 16, hot spot at the tip, bottom-left).
QCursor PipetteCursor();

// A one-pixel frame on the outermost pixels of `r`, drawn as rectangles so it
// stays crisp at any device pixel ratio.
void DrawFrame(QPainter& p, const QRect& r, const QColor& topLeft, const QColor& bottomRight);

// Where the pointer is, as the pop-up sees it.
enum class PointerArea { Grid, Strip, Outside };

// What the pointer and the keys do to the pop-up, apart from any window.
class PaletteTracker {
public:
    PaletteTracker(uint32_t initialColor, int highlightedCell);

    // A left-button press at `global`. `opening`: the press on the colour
    // button that opened the pop-up; releasing it where it went down keeps
    // the pop-up open, so a plain click on the button only opens it.
    void Press(QPoint global, bool opening);
    // The pointer at `global` over `area`; `cell` (Grid only) is kNoCell on a
    // grid line. `screenPixel` is asked only outside the pop-up. True when
    // anything shown changed.
    bool Move(QPoint global, PointerArea area, int cell,
              const std::function<std::optional<uint32_t>()>& screenPixel);
    // True when a left-button release at `global` chooses the current colour.
    bool ReleaseChooses(QPoint global) const;
    // Keys: moves the highlight by whole cells (from the top-left cell when
    // nothing is highlighted), taking the colour of the cell it lands on.
    void Step(int columns, int rows);

    uint32_t Initial() const { return initial_; }
    uint32_t Current() const { return current_; }
    int Highlighted() const { return highlighted_; }
    bool Moved() const { return moved_; }

private:
    uint32_t initial_;
    uint32_t current_;
    int highlighted_;
    std::optional<QPoint> press_;
    bool pressOpened_ = false;
    bool moved_ = false;
};

} // namespace color_palette

// The pop-up window. It belongs to its colour button (its Qt parent) and
// says what the user did through exactly one of its signals; the button then
// closes it.
class CColorPalette : public QWidget {
    Q_OBJECT
public:
    // `pixels` reads the screen outside the pop-up; null: only the grid.
    CColorPalette(uint32_t initialColor, ScreenPixelReader* pixels, QWidget* owner);

    // The press on the colour button that opened the pop-up (global).
    void BeginPress(QPoint global);
    void SetPixelReader(ScreenPixelReader* pixels) { pixels_ = pixels; }

    uint32_t InitialColor() const { return tracker_.Initial(); }
    uint32_t CurrentColor() const { return tracker_.Current(); }
    // kNoCell or the highlighted cell, which is kept from one pop-up to the next.
    int HighlightedCell() const { return tracker_.Highlighted(); }
    // The information strip's text: the current colour as "#RRGGBB".
    QString InfoText() const;
    QAbstractButton* MoreColorsButton() const { return more_; }

signals:
    void Chosen(uint32_t color);
    void Cancelled();
    void MoreColorsRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    enum class Outcome { Chosen, Cancelled, MoreColors };

    color_palette::PointerArea AreaAt(QPoint windowPos) const;
    void ShowState();
    void Finish(Outcome outcome);

    color_palette::PaletteTracker tracker_;
    ScreenPixelReader* pixels_;
    QFont font_;
    QCursor pipette_;
    QAbstractButton* more_;
    bool finished_ = false;
};
