#pragma once
// Frames for the editor tests, and a driver for menus and dialogs that run
// their own event loop.

#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

#include "image/cximage.h"

namespace editor_test {

// A kept 24-bit frame whose pixel (x, y), y counted from the top, is `color(x, y)`.
inline std::unique_ptr<CxImage> MakeFrame(int width, int height,
                                          const std::function<QRgb(int, int)>& color) {
    auto frame = std::make_unique<CxImage>();
    frame->Create(uint32_t(width), uint32_t(height), 24);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = frame->Row(uint32_t(height - 1 - y)); // memory rows run bottom-up
        for (int x = 0; x < width; ++x) {
            const QRgb c = color(x, y);
            row[3 * x] = uint8_t(qBlue(c));
            row[3 * x + 1] = uint8_t(qGreen(c));
            row[3 * x + 2] = uint8_t(qRed(c));
        }
    }
    frame->SetUserFlags(1);
    return frame;
}

inline std::unique_ptr<CxImage> SolidFrame(int width, int height, QRgb color) {
    return MakeFrame(width, height, [color](int, int) { return color; });
}

// The frame upright, as it is meant to look.
inline QImage Upright(const CxImage& frame) {
    const int width = int(frame.Width());
    const int height = int(frame.Height());
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = frame.Row(uint32_t(height - 1 - y));
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]));
    }
    return image;
}

// Waits, inside whatever event loop runs, for a visible popup or modal widget
// of type T and hands it to `act` once. A widget that `act` left open is
// closed soon after, so a failing test cannot hang.
template <class T> class WhenShown {
public:
    explicit WhenShown(std::function<void(T*)> act) : act_(std::move(act)) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start();
    }
    bool Seen() const { return seen_; }

private:
    void Poll() {
        QWidget* shown = QApplication::activePopupWidget();
        if (!shown)
            shown = QApplication::activeModalWidget();
        T* widget = qobject_cast<T*>(shown);
        if (!widget || !widget->isVisible())
            return;
        timer_.stop();
        seen_ = true;
        const QPointer<T> guard(widget);
        act_(widget);
        if (guard && guard->isVisible()) {
            QTimer::singleShot(2000, guard, [guard] {
                if (guard)
                    guard->close();
            });
        }
    }

    std::function<void(T*)> act_;
    QTimer timer_;
    bool seen_ = false;
};

} // namespace editor_test
