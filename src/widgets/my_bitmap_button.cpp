#include "widgets/my_bitmap_button.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

CMyBitmapButton::CMyBitmapButton(QWidget* parent) : QPushButton(parent) {
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
}

void CMyBitmapButton::SetAccessibleNames(const QString& name, const QString& onName) {
    name_ = name;
    onName_ = onName;
    UpdateAccessibleName();
}

void CMyBitmapButton::UpdateAccessibleName() {
    setAccessibleName(on_ && !onName_.isEmpty() ? onName_ : name_);
}

void CMyBitmapButton::LoadImages(const Images& images) {
    images_ = {images.normal, images.disabled, images.on,
               images.hover,  images.onHover,  images.pressed};
    if (Has(Normal)) {
        resize(images_[Normal].deviceIndependentSize().toSize());
    }
    update();
}

void CMyBitmapButton::SetOn(bool on) {
    if (on_ == on) {
        return;
    }
    on_ = on;
    if (!name_.isEmpty()) {
        UpdateAccessibleName(); // a name given with setAccessibleName stays
    }
    update();
}

CMyBitmapButton::Image CMyBitmapButton::CurrentImage() const {
    if (!isEnabled() && Has(Disabled)) {
        return Disabled;
    }
    if (pressed_ && Has(Pressed)) {
        return Pressed;
    }
    if (on_ && Has(On)) {
        return hover_ && Has(OnHover) ? OnHover : On;
    }
    if (hover_ && Has(Hover)) {
        return Hover;
    }
    return Normal;
}

QSize CMyBitmapButton::sizeHint() const {
    return Has(Normal) ? images_[Normal].deviceIndependentSize().toSize() : QSize(16, 16);
}

void CMyBitmapButton::paintEvent(QPaintEvent*) {
    const QPixmap& picture = images_[CurrentImage()];
    if (picture.isNull()) {
        return;
    }
    QPainter painter(this);
    // Unscaled: a picture drawn at the screen's ratio maps pixel for pixel.
    painter.drawPixmap(QPointF(0, 0), picture);
}

void CMyBitmapButton::TrackPointer(bool overButton) {
    // A drag that started elsewhere does not light the button up.
    if ((QApplication::mouseButtons() & Qt::LeftButton) && !hover_) {
        return;
    }
    if (overButton && !hover_) {
        hover_ = true;
        update();
    } else if (!overButton) {
        ClearHover();
    }
}

void CMyBitmapButton::ClearHover() {
    if (!hover_) {
        return;
    }
    hover_ = false;
    pressed_ = false;
    update();
}

void CMyBitmapButton::mouseMoveEvent(QMouseEvent* event) {
    TrackPointer(rect().contains(event->position().toPoint()));
    QPushButton::mouseMoveEvent(event);
}

void CMyBitmapButton::enterEvent(QEnterEvent* event) {
    TrackPointer(true);
    QPushButton::enterEvent(event);
}

void CMyBitmapButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        pressed_ = true;
        update();
    }
    QPushButton::mousePressEvent(event);
}

void CMyBitmapButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        pressed_ = false;
        update();
    }
    QPushButton::mouseReleaseEvent(event);
}

void CMyBitmapButton::leaveEvent(QEvent* event) {
    ClearHover();
    QPushButton::leaveEvent(event);
}

void CMyBitmapButton::focusOutEvent(QFocusEvent* event) {
    ClearHover();
    QPushButton::focusOutEvent(event);
}

void CMyBitmapButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) {
        ClearHover();
    }
    QPushButton::changeEvent(event);
}
