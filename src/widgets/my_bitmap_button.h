#pragma once
// A push button that shows one of up to six pictures instead of a text (the
// text stays for accessibility and tests): the picture follows the button's on flag, whether the
// mouse hovers over it and whether the left button went down on it.
// Assistive tools, which see no picture, read the text or an accessible name
// that can follow the on flag as the picture does.
#include <QPixmap>
#include <QPushButton>
#include <QString>

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

    // What assistive tools call the button while it is off and while it is on
    // (the Capture button says "Stop" while recording). An empty `onName`
    // keeps `name` in both states.
    void SetAccessibleNames(const QString& name, const QString& onName = QString());

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
    void UpdateAccessibleName();

    std::array<QPixmap, ImageCount> images_;
    bool on_ = false;
    bool hover_ = false;
    bool pressed_ = false;
    QString name_;
    QString onName_;
};
