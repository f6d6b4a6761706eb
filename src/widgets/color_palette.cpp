#include "widgets/color_palette.h"

#include <QBitmap>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

#include <algorithm>
#include <array>

#include "platform/screen_pixel_reader.h"

namespace color_palette {

namespace {

constexpr std::array<int, kRows> kGreys = {255, 232, 209, 186, 163, 140, 117, 94, 71, 48, 23, 0};

// The eyedropper, one row of 16 pixels per entry, most significant bit
// leftmost: where the AND mask is 0 the cursor is opaque, black where the
// XOR mask is 0 and white where it is 1.
constexpr std::array<uint16_t, 16> kPipetteAnd = {0xFFF1, 0xFFE0, 0xFFC0, 0xFF00, 0xFF81, 0xFF03,
                                                  0xFE07, 0xFC17, 0xF83F, 0xF07F, 0xE0FF, 0xC1FF,
                                                  0x83FF, 0x87FF, 0x0FFF, 0x3FFF};
constexpr std::array<uint16_t, 16> kPipetteXor = {0x0000, 0x000C, 0x0008, 0x0010, 0x0000, 0x0040,
                                                  0x00E0, 0x01C0, 0x0380, 0x0700, 0x0E00, 0x1C00,
                                                  0x3800, 0x3000, 0x4000, 0x0000};

// The window's border; everything inside it is laid out from its inner
// corner.
constexpr int kBorder = 1;

// The top-left pixel of a cell, in window pixels.
QPoint CellOrigin(int cell) {
    return {kBorder + 10 * (cell % kColumns), kBorder + 10 * (cell / kColumns)};
}

} // namespace

uint32_t CellColor(int cell) {
    if (cell < 0 || cell >= kCellCount)
        return 0;
    const int column = cell % kColumns;
    const int row = cell / kColumns;
    if (column == 0) {
        const uint32_t g = uint32_t(kGreys[size_t(row)]);
        return g | g << 8 | g << 16;
    }
    const int half = row / 6;
    const int n = 108 * half + 6 * (column - 1) + row % 6;
    const uint32_t red = uint32_t(n / 36) * 51;
    const uint32_t green = uint32_t((n / 6) % 6) * 51;
    const uint32_t blue = uint32_t(n % 6) * 51;
    return red | green << 8 | blue << 16;
}

int CellAt(QPoint windowPos) {
    const int dx = windowPos.x();
    const int dy = windowPos.y();
    if (dx < 0 || dy < 0 || dx >= kWidth || dy >= kGridHeight)
        return kNoCell;
    // The border and the lines fall on multiples of 10.
    if (dx % 10 == 0 || dy % 10 == 0)
        return kNoCell;
    return CellIndex(dx / 10, dy / 10);
}

QRect HighlightRect(int cell) {
    return {CellOrigin(cell), QSize(10, 10)};
}

QPoint PopupPosition(const QRect& button, const QRect& screen) {
    int x = button.left();
    // One row up: the pop-up covers the button's last row.
    int y = button.bottom();
    const int rightmost = screen.left() + screen.width() - kWidth;
    if (x > rightmost)
        x = rightmost;
    else if (x < screen.left())
        x = screen.left();
    if (y > screen.top() + screen.height() - kHeight)
        y -= kHeight;
    return {x, y};
}

QString ColorText(uint32_t color) {
    return QString::asprintf("#%02X%02X%02X", color & 0xFF, (color >> 8) & 0xFF,
                             (color >> 16) & 0xFF);
}

QColor ToQColor(uint32_t color) {
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

uint32_t ToColorRef(const QColor& color) {
    const QRgb rgb = color.rgb();
    return uint32_t(qRed(rgb)) | uint32_t(qGreen(rgb)) << 8 | uint32_t(qBlue(rgb)) << 16;
}

QCursor PipetteCursor() {
    // Qt's masks: mask bit 1 opaque; bitmap bit 1 black, 0 white.
    std::array<uchar, 32> bitmap{};
    std::array<uchar, 32> mask{};
    for (size_t row = 0; row < kPipetteAnd.size(); ++row) {
        const uint16_t opaque = uint16_t(~kPipetteAnd[row]);
        const uint16_t black = uint16_t(opaque & ~kPipetteXor[row]);
        bitmap[2 * row] = uchar(black >> 8);
        bitmap[2 * row + 1] = uchar(black);
        mask[2 * row] = uchar(opaque >> 8);
        mask[2 * row + 1] = uchar(opaque);
    }
    return QCursor(QBitmap::fromData(QSize(16, 16), bitmap.data(), QImage::Format_Mono),
                   QBitmap::fromData(QSize(16, 16), mask.data(), QImage::Format_Mono), 0, 15);
}

void DrawFrame(QPainter& p, const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
    p.fillRect(r.left(), r.top(), r.width(), 1, topLeft);
    p.fillRect(r.left(), r.top(), 1, r.height(), topLeft);
    p.fillRect(r.left(), r.bottom(), r.width(), 1, bottomRight);
    p.fillRect(r.right(), r.top(), 1, r.height(), bottomRight);
}

PaletteTracker::PaletteTracker(uint32_t initialColor, int highlightedCell)
    : initial_(initialColor), current_(initialColor),
      highlighted_(highlightedCell >= 0 && highlightedCell < kCellCount ? highlightedCell
                                                                        : kNoCell) {}

void PaletteTracker::Press(QPoint global, bool opening) {
    press_ = global;
    pressOpened_ = opening;
    moved_ = false;
}

bool PaletteTracker::Move(QPoint global, PointerArea area, int cell,
                          const std::function<std::optional<uint32_t>()>& screenPixel) {
    if (press_ && global == *press_)
        return false;
    moved_ = true;
    const uint32_t oldColor = current_;
    const int oldCell = highlighted_;
    switch (area) {
    case PointerArea::Grid:
        // On a line the last cell stays, so sweeping across the grid never
        // flickers between a cell and nothing. Over a cell its colour is
        // taken even when that cell is still highlighted from before.
        if (cell != kNoCell) {
            highlighted_ = cell;
            current_ = CellColor(cell);
        }
        break;
    case PointerArea::Strip:
        highlighted_ = kNoCell;
        current_ = initial_;
        break;
    case PointerArea::Outside:
        if (const std::optional<uint32_t> pixel = screenPixel ? screenPixel() : std::nullopt)
            current_ = *pixel;
        break;
    }
    return current_ != oldColor || highlighted_ != oldCell;
}

bool PaletteTracker::ReleaseChooses(QPoint global) const {
    return moved_ || (press_ && !pressOpened_ && global == *press_);
}

void PaletteTracker::Step(int columns, int rows) {
    if (highlighted_ == kNoCell) {
        highlighted_ = 0;
    } else {
        const int column = std::clamp(highlighted_ % kColumns + columns, 0, kColumns - 1);
        const int row = std::clamp(highlighted_ / kColumns + rows, 0, kRows - 1);
        highlighted_ = CellIndex(column, row);
    }
    current_ = CellColor(highlighted_);
}

} // namespace color_palette

using namespace color_palette;

namespace {

// The highlighted cell outlives each pop-up: the next one opens with it.
int g_highlightedCell = kNoCell;

const QColor kLightGrey(192, 192, 192);
const QColor kEdgeShadow(128, 128, 128);

// Window pixels of the information strip's parts (client pixels + border).
const QRect kStrip(kBorder, kBorder + 120, 191, 30);
const QRect kSwatchFrame(kBorder + 5, kBorder + 125, 35, 18);
const QPoint kTextAt(kBorder + 80, kBorder + 127);
const QRect kMoreButton(kBorder + 167, kBorder + 126, 16, 16);

// Every other pixel of the rectangle's outline, inverted.
void DottedOutline(QPainter& p, const QRect& r) {
    p.save();
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    for (int x = r.left(); x <= r.right(); ++x) {
        for (int y = r.top(); y <= r.bottom(); ++y) {
            const bool edge = x == r.left() || x == r.right() || y == r.top() || y == r.bottom();
            if (edge && (x + y) % 2 == 0)
                p.fillRect(x, y, 1, 1, Qt::white);
        }
    }
    p.restore();
}

// Three small overlapping squares on a light grey face; the picture moves
// down and right while the button is held.
class MoreColoursPushButton : public QPushButton {
public:
    explicit MoreColoursPushButton(QWidget* parent) : QPushButton(parent) {
        setFocusPolicy(Qt::NoFocus);
        setCursor(Qt::ArrowCursor);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QRect r = rect();
        p.fillRect(r, kLightGrey);
        const bool sunken = isDown();
        DrawFrame(p, r, sunken ? kEdgeShadow : Qt::white, sunken ? Qt::white : kEdgeShadow);
        const int shift = sunken ? 1 : 0;
        const QColor colours[] = {Qt::red, Qt::green, Qt::yellow};
        for (int i = 0; i < 3; ++i) {
            const QRect square(3 + 2 * i + shift, 3 + 2 * i + shift, 5, 5);
            p.fillRect(square, Qt::black);
            p.fillRect(square.adjusted(1, 1, -1, -1), colours[i]);
        }
    }
};

} // namespace

CColorPalette::CColorPalette(uint32_t initialColor, ScreenPixelReader* pixels, QWidget* owner)
    : QWidget(owner, Qt::Popup | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      tracker_(initialColor, g_highlightedCell), pixels_(pixels), pipette_(PipetteCursor()),
      more_(new MoreColoursPushButton(this)) {
    setObjectName(QStringLiteral("ColorPalette"));
    setWindowTitle(QStringLiteral("Palatte"));
    setAccessibleName(QStringLiteral("Colour palette"));
    setFixedSize(kWidth, kHeight);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(pipette_);
    font_.setFamily(QStringLiteral("Verdana"));
    font_.setPixelSize(12);
    font_.setWeight(QFont::Normal);

    more_->setGeometry(kMoreButton);
    more_->setProperty("controlId", kMoreColorsId);
    more_->setAccessibleName(QStringLiteral("More colours..."));
    more_->setToolTip(QStringLiteral("More colours..."));
    connect(more_, &QAbstractButton::clicked, this, [this] { Finish(Outcome::MoreColors); });
    ShowState();
}

void CColorPalette::BeginPress(QPoint global) {
    tracker_.Press(global, true);
}

QString CColorPalette::InfoText() const {
    return ColorText(tracker_.Current());
}

PointerArea CColorPalette::AreaAt(QPoint windowPos) const {
    if (!rect().contains(windowPos))
        return PointerArea::Outside;
    return windowPos.y() < kGridHeight ? PointerArea::Grid : PointerArea::Strip;
}

void CColorPalette::ShowState() {
    g_highlightedCell = tracker_.Highlighted();
    setAccessibleDescription(InfoText());
    update();
}

void CColorPalette::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    // The grid: black where the cells leave room, which is the lines.
    p.fillRect(QRect(kBorder, kBorder, kWidth - 2 * kBorder, kGridHeight), Qt::black);
    for (int cell = 0; cell < kCellCount; ++cell)
        p.fillRect(QRect(CellOrigin(cell), QSize(9, 9)), ToQColor(CellColor(cell)));
    if (tracker_.Highlighted() != kNoCell)
        DottedOutline(p, HighlightRect(tracker_.Highlighted()));

    p.fillRect(kStrip, kLightGrey);
    p.fillRect(kSwatchFrame, Qt::black);
    p.fillRect(kSwatchFrame.adjusted(1, 1, -1, -1), ToQColor(tracker_.Current()));
    p.setFont(font_);
    p.setPen(Qt::black);
    p.drawText(QRect(kTextAt, QSize(80, 20)), Qt::AlignLeft | Qt::AlignTop, InfoText());

    DrawFrame(p, rect(), Qt::black, Qt::black);
}

void CColorPalette::mousePressEvent(QMouseEvent* event) {
    // Not the popup default, which closes on a press outside: a press
    // anywhere on the screen starts a choice.
    event->accept();
    if (event->button() == Qt::LeftButton) {
        tracker_.Press(event->globalPosition().toPoint(), false);
        ShowState();
    }
}

void CColorPalette::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    const QPoint local = event->position().toPoint();
    const QPoint global = event->globalPosition().toPoint();
    const PointerArea area = AreaAt(local);
    const bool changed = tracker_.Move(global, area, CellAt(local), [&]() {
        return pixels_ ? pixels_->PixelAt(global.x(), global.y()) : std::nullopt;
    });
    if (changed)
        ShowState();
    if (area == PointerArea::Strip)
        setCursor(Qt::ArrowCursor);
    else
        setCursor(pipette_);
}

void CColorPalette::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton &&
        tracker_.ReleaseChooses(event->globalPosition().toPoint()))
        Finish(Outcome::Chosen);
}

void CColorPalette::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        Finish(Outcome::Cancelled);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        Finish(Outcome::Chosen);
        return;
    case Qt::Key_Left:
        tracker_.Step(-1, 0);
        break;
    case Qt::Key_Right:
        tracker_.Step(1, 0);
        break;
    case Qt::Key_Up:
        tracker_.Step(0, -1);
        break;
    case Qt::Key_Down:
        tracker_.Step(0, 1);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    ShowState();
}

void CColorPalette::hideEvent(QHideEvent* event) {
    // Hidden by anyone but its button (the system closing pop-ups when the
    // program loses the screen, say): what the pointer went over counts.
    if (!finished_)
        Finish(tracker_.Moved() ? Outcome::Chosen : Outcome::Cancelled);
    QWidget::hideEvent(event);
}

void CColorPalette::Finish(Outcome outcome) {
    if (finished_)
        return;
    finished_ = true;
    releaseMouse();
    switch (outcome) {
    case Outcome::Chosen:
        emit Chosen(tracker_.Current());
        break;
    case Outcome::Cancelled:
        emit Cancelled();
        break;
    case Outcome::MoreColors:
        emit MoreColorsRequested();
        break;
    }
}
