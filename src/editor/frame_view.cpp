#include "editor/frame_view.h"

#include <QMouseEvent>
#include <QPainter>

CFrameView::CFrameView(QWidget* parent, FrameViewClient& client)
    : QWidget(parent), client_(client) {
    setAccessibleName(QStringLiteral("Frame view"));
    setAccessibleDescription(
        QStringLiteral("The current frame with its subtitles; drag a subtitle to move it"));
    // Everything is painted here; nothing of the parent shows through.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CFrameView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.fillRect(rect(), QBrush(QColor::fromRgb(kHatchColor), Qt::DiagCrossPattern));
    client_.DrawFrameView(painter, rect());
}

void CFrameView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        client_.FrameViewPressed(event->position().toPoint());
    QWidget::mousePressEvent(event);
}

void CFrameView::mouseMoveEvent(QMouseEvent* event) {
    client_.FrameViewDragged(event->position().toPoint(), event->buttons());
    QWidget::mouseMoveEvent(event);
}
