#pragma once
// CFrameView: the editor's large frame area. It paints the hatch and whatever
// its owner draws on it, and hands its mouse presses and drags to the owner;
// the rules live in the owner, so the widget stays a surface.

#include <QWidget>

class QPainter;

class FrameViewClient {
public:
    virtual ~FrameViewClient() = default;
    // Draws the frame onto `painter`, which covers the view's whole rectangle
    // (hatch already drawn).
    virtual void DrawFrameView(QPainter& painter, const QRect& area) = 0;
    // Left button pressed, or moved with buttons held, at a view point.
    virtual void FrameViewPressed(QPoint point) = 0;
    virtual void FrameViewDragged(QPoint point, Qt::MouseButtons buttons) = 0;
};

class CFrameView : public QWidget {
    Q_OBJECT
public:
    // Light grey cross-hatch on white behind the frame.
    static constexpr QRgb kHatchColor = 0xFFBFBFBF;

    CFrameView(QWidget* parent, FrameViewClient& client);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    FrameViewClient& client_;
};
