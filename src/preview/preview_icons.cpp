#include "preview/preview_icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

namespace preview_icons {

namespace {

constexpr int kIconSize = 24;

QIcon DrawAtRatios(const std::function<void(QPainter&)>& draw) {
    QIcon icon;
    for (const qreal ratio : {1.0, 2.0}) {
        QPixmap pixmap(QSize(kIconSize, kIconSize) * ratio);
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

QIcon ShareIcon() {
    return DrawAtRatios([](QPainter& p) {
        p.setPen(QPen(QColor(0, 120, 150), 1));
        p.setBrush(QColor(0, 190, 220));
        p.drawEllipse(QRectF(1.5, 1.5, 21, 21));
        QPainterPath arrow;
        arrow.moveTo(12, 5);
        arrow.lineTo(18, 12);
        arrow.lineTo(14.5, 12);
        arrow.lineTo(14.5, 18);
        arrow.lineTo(9.5, 18);
        arrow.lineTo(9.5, 12);
        arrow.lineTo(6, 12);
        arrow.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawPath(arrow);
    });
}

QIcon CopyIcon() {
    return DrawAtRatios([](QPainter& p) {
        p.setPen(QPen(QColor(20, 110, 40), 1));
        p.setBrush(QColor(120, 200, 120));
        p.drawRect(QRectF(3.5, 2.5, 12, 15));
        p.setBrush(QColor(60, 170, 80));
        p.drawRect(QRectF(8.5, 6.5, 12, 15));
    });
}

} // namespace preview_icons
