#include "widgets/color_button.h"

#include <QColorDialog>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include "widgets/color_palette.h"

using color_palette::ColorText;
using color_palette::DrawFrame;
using color_palette::ToColorRef;
using color_palette::ToQColor;

namespace {

const QColor kGrey(128, 128, 128);

} // namespace

CColorButton::CColorButton(QWidget* parent, ScreenPixelReader* pixels)
    : QPushButton(parent), color_(ToColorRef(palette().color(QPalette::Button))), pixels_(pixels) {
    // Enter in a dialog belongs to the dialog's own default button.
    setAutoDefault(false);
    setAccessibleDescription(ColorText(color_));
    // Keys (Space) and assistive tools click the button: the pop-up opens as
    // after a plain click, and the keys pick from its grid.
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (!palette_)
            OpenPalette(std::nullopt);
    });
}

CColorButton::~CColorButton() {
    // The pop-up goes first, while the button it reports to is whole.
    delete palette_;
}

void CColorButton::SetPixelReader(ScreenPixelReader* pixels) {
    pixels_ = pixels;
    if (palette_)
        palette_->SetPixelReader(pixels);
}

void CColorButton::SetColor(uint32_t colorRef, bool notify) {
    color_ = colorRef & 0xFFFFFF;
    setAccessibleDescription(ColorText(color_));
    update();
    if (notify)
        QMetaObject::invokeMethod(
            this, [this] { emit Notified(); }, Qt::QueuedConnection);
}

uint32_t CColorButton::GetColor() const {
    return color_;
}

QWidget* CColorButton::Palette() const {
    return palette_;
}

QSize CColorButton::sizeHint() const {
    return {30, 16};
}

void CColorButton::mousePressEvent(QMouseEvent* event) {
    QPushButton::mousePressEvent(event);
    if (event->button() != Qt::LeftButton || palette_)
        return;
    // The pop-up takes the mouse, so this button never sees the release: it
    // must not stay down.
    setDown(false);
    OpenPalette(event->globalPosition().toPoint());
}

void CColorButton::OpenPalette(std::optional<QPoint> press) {
    auto* palette = new CColorPalette(color_, pixels_, this);
    palette_ = palette;
    connect(palette, &CColorPalette::Chosen, this, &CColorButton::OnChosen, Qt::QueuedConnection);
    connect(
        palette, &CColorPalette::Cancelled, this,
        [this] {
            ClosePalette();
            update();
        },
        Qt::QueuedConnection);
    connect(palette, &CColorPalette::MoreColorsRequested, this, &CColorButton::OnMoreColors,
            Qt::QueuedConnection);
    const QRect global(mapToGlobal(QPoint(0, 0)), size());
    palette->move(color_palette::PopupPosition(global, screen()->geometry()));
    if (press)
        palette->BeginPress(*press);
    palette->show();
    palette->setFocus();
    palette->grabMouse();
    update();
}

void CColorButton::ClosePalette() {
    if (!palette_)
        return;
    CColorPalette* palette = palette_;
    palette_ = nullptr;
    palette->releaseMouse();
    palette->hide();
    palette->deleteLater();
}

void CColorButton::OnChosen(uint32_t color) {
    ClosePalette();
    if (color != color_)
        SetColor(color, true);
    else
        update();
}

void CColorButton::OnMoreColors() {
    ClosePalette();
    update();
    // Qt's dialog always shows a colour; it starts from the button's.
    auto* dialog = new QColorDialog(ToQColor(color_), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QColorDialog::colorSelected, this,
            [this](const QColor& chosen) { SetColor(ToColorRef(chosen), true); });
    dialog->open();
}

void CColorButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect();
    const QColor face = palette().color(QPalette::Button);
    const QColor shadow = palette().color(QPalette::Shadow);
    p.fillRect(r, face);
    // Raised while closed, pressed in while its pop-up is open.
    if (palette_)
        DrawFrame(p, r, shadow, Qt::white);
    else
        DrawFrame(p, r, Qt::white, shadow);
    if (hasFocus()) {
        const QRect ring = r.adjusted(1, 1, -1, -1);
        for (int x = ring.left(); x <= ring.right(); x += 2) {
            p.fillRect(x, ring.top(), 1, 1, Qt::black);
            p.fillRect(x, ring.bottom(), 1, 1, Qt::black);
        }
        for (int y = ring.top(); y <= ring.bottom(); y += 2) {
            p.fillRect(ring.left(), y, 1, 1, Qt::black);
            p.fillRect(ring.right(), y, 1, 1, Qt::black);
        }
    }

    const QRect swatch = r.adjusted(3, 3, -3, -3);
    if (swatch.isEmpty())
        return;
    DrawFrame(p, swatch.adjusted(-1, -1, 1, 1), kGrey, Qt::white);
    p.fillRect(swatch, ToQColor(color_));

    // The notch in the swatch's bottom-right corner with a small down arrow.
    const QRect notch(swatch.right() - 6, swatch.bottom() - 3, 7, 4);
    p.fillRect(notch.intersected(swatch), face);
    const QColor arrow = isEnabled() ? QColor(Qt::black) : kGrey;
    const int middle = notch.left() + 3;
    p.fillRect(middle - 1, notch.top() + 1, 3, 1, arrow);
    p.fillRect(middle, notch.top() + 2, 1, 1, arrow);
}
