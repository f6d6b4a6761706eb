#pragma once
// Windows laid out from template rectangles in dialog units: x in quarters of
// the template font's average character width, y in eighths of its height.

#include <QFont>
#include <QRect>
#include <QSize>

class DialogUnits {
public:
    explicit DialogUnits(const QFont& templateFont);

    int X(int units) const { return units * baseX_ / 4; }
    int Y(int units) const { return units * baseY_ / 8; }
    QSize Size(int width, int height) const { return {X(width), Y(height)}; }
    QRect Rect(int x, int y, int width, int height) const {
        return {X(x), Y(y), X(width), Y(height)};
    }

private:
    int baseX_ = 1;
    int baseY_ = 1;
};
