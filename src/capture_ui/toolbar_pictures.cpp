#include "capture_ui/toolbar_pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include <functional>

#include "capture_ui/frame_painting.h"

namespace toolbar_pictures {

namespace {

using Draw = std::function<void(QPainter&, QSizeF)>;

QPixmap Picture(QSize size, qreal ratio, const Draw& draw) {
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    draw(painter, QSizeF(size));
    return pixmap;
}

// --- caption buttons: white symbols on the title band's blue ---------------

void CaptionFace(QPainter& p, QSizeF s, const QColor& top, const QColor& bottom) {
    QLinearGradient g(0, 0, 0, s.height());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.fillRect(QRectF(QPointF(0, 0), s), g);
}

void BlueFace(QPainter& p, QSizeF s) {
    CaptionFace(p, s, frame_painting::kLightBlue, frame_painting::kFrameBlue);
}

void HoverFace(QPainter& p, QSizeF s) {
    CaptionFace(p, s, QColor(120, 190, 240), QColor(90, 140, 210));
}

void RedFace(QPainter& p, QSizeF s) {
    CaptionFace(p, s, QColor(232, 72, 60), QColor(190, 30, 30));
}

QPen WhitePen(qreal width) {
    return QPen(Qt::white, width, Qt::SolidLine, Qt::RoundCap);
}

void Dash(QPainter& p, QSizeF s) {
    p.setPen(WhitePen(2));
    p.drawLine(QPointF(7, s.height() - 6), QPointF(s.width() - 7, s.height() - 6));
}

void MaximiseBox(QPainter& p, QSizeF) {
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(7.5, 5.5, 9, 9));
    p.drawLine(QPointF(7.5, 7), QPointF(16.5, 7));
}

void Cross(QPainter& p, QSizeF s) {
    p.setPen(WhitePen(2));
    const QPointF c(s.width() / 2, s.height() / 2);
    p.drawLine(c + QPointF(-4.5, -4.5), c + QPointF(4.5, 4.5));
    p.drawLine(c + QPointF(-4.5, 4.5), c + QPointF(4.5, -4.5));
}

// --- large buttons: a symbol and a caption on a light face ------------------

void LargeFace(QPainter& p, QSizeF s, bool hover) {
    const QRectF r(0.5, 0.5, s.width() - 1, s.height() - 1);
    QLinearGradient g(0, 0, 0, s.height());
    g.setColorAt(0, hover ? QColor(255, 255, 255) : QColor(250, 250, 250));
    g.setColorAt(1, hover ? QColor(205, 228, 250) : QColor(222, 222, 222));
    p.setPen(hover ? QColor(65, 111, 181) : QColor(170, 170, 170));
    p.setBrush(g);
    p.drawRoundedRect(r, 4, 4);
}

void Caption(QPainter& p, QSizeF s, qreal left, const QString& text) {
    QFont font(QStringLiteral("Verdana"));
    font.setPixelSize(11);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(40, 40, 40));
    p.drawText(QRectF(left, 0, s.width() - left - 3, s.height()),
               Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
}

void RecordMark(QPainter& p) {
    p.setPen(QPen(QColor(150, 0, 0), 1));
    p.setBrush(QColor(220, 30, 30));
    p.drawEllipse(QRectF(6.5, 8.5, 12, 12));
}

void PauseBars(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 70, 140));
    p.drawRect(QRectF(7, 8, 4, 13));
    p.drawRect(QRectF(14, 8, 4, 13));
}

void Wrench(QPainter& p) {
    p.save();
    p.translate(12.5, 14.5);
    p.rotate(-45);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 90, 100));
    p.drawRoundedRect(QRectF(-1.8, -2, 3.6, 10), 1, 1);
    QPainterPath head;
    head.addEllipse(QPointF(0, -4), 4.5, 4.5);
    QPainterPath jaw;
    jaw.addRect(QRectF(-1.6, -10, 3.2, 6.5));
    p.drawPath(head.subtracted(jaw));
    p.restore();
}

void CurvedArrow(QPainter& p) {
    QPen pen(QColor(30, 140, 60), 2.5, Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    QPainterPath arc;
    arc.moveTo(6, 21);
    arc.cubicTo(6, 11, 12, 8, 18, 9);
    p.drawPath(arc);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 140, 60));
    QPainterPath head;
    head.moveTo(22, 9);
    head.lineTo(16, 4.5);
    head.lineTo(16, 13.5);
    head.closeSubpath();
    p.drawPath(head);
}

void Cog(QPainter& p) {
    p.save();
    p.translate(12.5, 14.5);
    QPainterPath wheel;
    constexpr int kTeeth = 8;
    for (int i = 0; i < kTeeth * 2; ++i) {
        const qreal radius = (i % 2 == 0) ? 7.0 : 5.2;
        const qreal a0 = (i - 0.5) * M_PI / kTeeth;
        const qreal a1 = (i + 0.5) * M_PI / kTeeth;
        const QPointF from(radius * qCos(a0), radius * qSin(a0));
        const QPointF to(radius * qCos(a1), radius * qSin(a1));
        if (i == 0) {
            wheel.moveTo(from);
        } else {
            wheel.lineTo(from);
        }
        wheel.lineTo(to);
    }
    wheel.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(QPointF(0, 0), 2.3, 2.3);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 95, 110));
    p.drawPath(wheel.subtracted(hole));
    p.restore();
}

Draw Large(std::function<void(QPainter&)> symbol, QString text, bool hover) {
    return [symbol = std::move(symbol), text = std::move(text), hover](QPainter& p, QSizeF s) {
        LargeFace(p, s, hover);
        symbol(p);
        Caption(p, s, 24, text);
    };
}

} // namespace

QSize SizeOf(Button button) {
    switch (button) {
    case Button::Minimise:
    case Button::Inert:
    case Button::Close:
        return {24, 20};
    case Button::Gif:
        return {100, 29};
    case Button::Capture:
    case Button::Subtitle:
    case Button::More:
        break;
    }
    return {65, 29};
}

CMyBitmapButton::Images ImagesFor(Button button, qreal ratio) {
    const QSize size = SizeOf(button);
    auto make = [&](const Draw& draw) { return Picture(size, ratio, draw); };
    auto caption = [&](void (*face)(QPainter&, QSizeF), void (*symbol)(QPainter&, QSizeF)) {
        return make([face, symbol](QPainter& p, QSizeF s) {
            face(p, s);
            symbol(p, s);
        });
    };
    CMyBitmapButton::Images images;
    switch (button) {
    case Button::Minimise:
        images.normal = caption(BlueFace, Dash);
        images.hover = caption(HoverFace, Dash);
        break;
    case Button::Inert:
        images.normal = caption(BlueFace, MaximiseBox);
        images.hover = images.normal;
        break;
    case Button::Close:
        images.normal = caption(BlueFace, Cross);
        images.hover = caption(RedFace, Cross);
        break;
    case Button::Capture:
        images.normal = make(Large(RecordMark, QStringLiteral("Start"), false));
        images.hover = make(Large(RecordMark, QStringLiteral("Start"), true));
        images.on = make(Large(PauseBars, QStringLiteral("Stop"), false));
        images.onHover = make(Large(PauseBars, QStringLiteral("Stop"), true));
        break;
    case Button::Subtitle:
        images.normal = make(Large(Wrench, QStringLiteral("Edit"), false));
        images.hover = make(Large(Wrench, QStringLiteral("Edit"), true));
        break;
    case Button::Gif:
        images.normal = make(Large(CurvedArrow, QStringLiteral("Create GIF"), false));
        images.hover = make(Large(CurvedArrow, QStringLiteral("Create GIF"), true));
        break;
    case Button::More:
        images.normal = make(Large(Cog, QStringLiteral("More"), false));
        images.hover = make(Large(Cog, QStringLiteral("More"), true));
        break;
    }
    return images;
}

} // namespace toolbar_pictures

namespace toolbar_pictures {

QRect ButtonRect(Button button, int w) {
    const int close = SizeOf(Button::Close).width();
    const int inert = SizeOf(Button::Inert).width();
    const int minimise = SizeOf(Button::Minimise).width();
    const int capture = SizeOf(Button::Capture).width();
    const int subtitle = SizeOf(Button::Subtitle).width();
    const int gif = SizeOf(Button::Gif).width();
    const QSize size = SizeOf(button);
    switch (button) {
    case Button::Close:
        return {w - close - 3, 0, size.width(), 20};
    case Button::Inert:
        return {w - close - inert - 4, 0, size.width(), 20};
    case Button::Minimise:
        return {w - close - inert - minimise - 5, 0, size.width(), 20};
    case Button::Capture:
        return {5, 32, size.width(), 29};
    case Button::Subtitle:
        return {capture + 6, 32, size.width(), 29};
    case Button::Gif:
        return {capture + subtitle + 7, 32, size.width(), 29};
    case Button::More:
        break;
    }
    return {capture + subtitle + gif + 8, 32, size.width(), 29};
}

} // namespace toolbar_pictures
