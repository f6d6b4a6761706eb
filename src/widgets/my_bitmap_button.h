#pragma once
// A push button that shows one of up to six pictures instead of a text (the
// text stays for accessibility and tests): the picture follows the button's on flag, whether the
// mouse hovers over it and whether the left button went down on it.
#include <QPixmap>
#include <QPushButton>

#include <array>

class CMyBitmapButton : public QPushButton {
    Q_OBJECT
public:
    // The picture slots, in the order they are loaded.
    enum Image { Normal = 0, Disabled, On, Hover, OnHover, Pressed, ImageCount };

    struct Images {
        QPixmap normal;
        QPixmap disabled;
        QPixmap on;
        QPixmap hover;
        QPixmap onHover;
        QPixmap pressed;
    };

    explicit CMyBitmapButton(QWidget* parent = nullptr);

    // Replaces every picture and gives the button the size of the normal
    // picture (in device-independent pixels); position stays.
    void LoadImages(const Images& images);

    // The owner's on flag (the Capture button shows Stop while recording).
    void SetOn(bool on);
    bool IsOn() const { return on_; }
    bool IsHover() const { return hover_; }
    bool IsPressed() const { return pressed_; }

    // The slot that painting uses now, after the precedence rules.
    Image CurrentImage() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool Has(Image image) const { return !images_[image].isNull(); }
    void TrackPointer(bool overButton);
    void ClearHover();

    std::array<QPixmap, ImageCount> images_;
    bool on_ = false;
    bool hover_ = false;
    bool pressed_ = false;
};
