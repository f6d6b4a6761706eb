#pragma once
// A small push button that shows a colour and lets the user pick another:
// pressing it opens the colour pop-up (CColorPalette) under it, and the
// colour is chosen from the pop-up's grid, from any pixel of the screen with
// press-drag-release (the eyedropper), or from the more-colours dialog.
// Colours are 0x00BBGGRR values (red in the low byte).
#include <QPointer>
#include <QPushButton>

#include <cstdint>
#include <optional>

class CColorPalette;
class ScreenPixelReader;

class CColorButton : public QPushButton {
    Q_OBJECT
public:
    // `pixels` reads the screen for the eyedropper; null: the palette grid and
    // the more-colours dialog only. It must outlive the button (or be
    // replaced first).
    explicit CColorButton(QWidget* parent = nullptr, ScreenPixelReader* pixels = nullptr);
    ~CColorButton() override;

    void SetPixelReader(ScreenPixelReader* pixels);
    // Stores the colour and repaints; with notify, Notified() follows from the
    // event queue (as a posted button click would).
    void SetColor(uint32_t colorRef, bool notify);
    // The colour; the button face colour until one is set.
    uint32_t GetColor() const;
    // The pop-up while it is open (tests), else null.
    QWidget* Palette() const;

    QSize sizeHint() const override;

signals:
    // A colour was set with notify: chosen by the user (even an unchanged one
    // from the more-colours dialog), or set by the owner.
    void Notified();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    // `press`: the press that opens it (global); none when opened by keys.
    void OpenPalette(std::optional<QPoint> press);
    void ClosePalette();
    void OnChosen(uint32_t color);
    void OnMoreColors();

    uint32_t color_;
    ScreenPixelReader* pixels_;
    QPointer<CColorPalette> palette_;
};
