#include "widgets/dialog_units.h"

#include <QFontMetrics>
#include <QString>

#include <algorithm>

DialogUnits::DialogUnits(const QFont& templateFont) {
    const QFontMetrics metrics(templateFont);
    // The average width of the 52 letters, rounded, as the templates assume.
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    baseX_ = std::max(1, (metrics.horizontalAdvance(letters) / 26 + 1) / 2);
    baseY_ = std::max(1, metrics.height());
}
