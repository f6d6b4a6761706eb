#include "editor/editor_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace editor_icons {

namespace {

constexpr int kSide = 16;
const QColor kGreen(0x2E, 0xA0, 0x3C);
const QColor kRed(0xD0, 0x21, 0x21);

// One icon drawn at 1x and 2x on a 16 x 16 canvas.
QIcon Drawn(const std::function<void(QPainter&)>& draw) {
    QIcon icon;
    for (const qreal ratio : {1.0, 2.0}) {
        QPixmap pixmap(int(kSide * ratio), int(kSide * ratio));
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        draw(painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

QIcon Play() {
    return Drawn([](QPainter& p) {
        QPainterPath triangle;
        triangle.moveTo(4, 2);
        triangle.lineTo(13, 8);
        triangle.lineTo(4, 14);
        triangle.closeSubpath();
        p.fillPath(triangle, kGreen);
    });
}

QIcon Pause() {
    return Drawn([](QPainter& p) {
        p.fillRect(QRectF(3.5, 2.5, 3.5, 11), kGreen);
        p.fillRect(QRectF(9, 2.5, 3.5, 11), kGreen);
    });
}

QIcon RecycleBin() {
    return Drawn([](QPainter& p) {
        const QColor body(0x5A, 0x6B, 0x7D);
        p.setPen(QPen(body, 1.2));
        p.setBrush(QColor(0xDD, 0xE3, 0xEA));
        QPainterPath can;
        can.moveTo(3.5, 4.5);
        can.lineTo(12.5, 4.5);
        can.lineTo(11.5, 14.5);
        can.lineTo(4.5, 14.5);
        can.closeSubpath();
        p.drawPath(can);
        p.drawLine(QPointF(2, 3.5), QPointF(14, 3.5));
        p.drawLine(QPointF(6.5, 1.8), QPointF(9.5, 1.8));
        for (const qreal x : {6.3, 8.0, 9.7})
            p.drawLine(QPointF(x, 6.5), QPointF(x, 12.5));
    });
}

QIcon AddSubtitle() {
    return Drawn([](QPainter& p) {
        p.setPen(QPen(kGreen, 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 3), QPointF(8, 13));
        p.drawLine(QPointF(3, 8), QPointF(13, 8));
    });
}

QIcon DeleteSubtitle() {
    return Drawn([](QPainter& p) {
        p.setPen(QPen(kRed, 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(4, 12), QPointF(12, 4));
    });
}

} // namespace editor_icons
