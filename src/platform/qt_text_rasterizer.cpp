#include "platform/qt_text_rasterizer.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// A font height of 0 asks for the platform's default size.
constexpr int kDefaultPixelSize = 16;
// Glyphs this large already cover any frame; larger requests only cost time.
constexpr int64_t kMaxPixelSize = 4096;
// QImage refuses dimensions past this; a box that large is never drawn whole.
constexpr int32_t kMaxRasterSide = 32767;

// Qt's font database needs a QGuiApplication; without one every font call
// would abort, so the rasteriser refuses instead.
bool FontsAvailable() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

int TextFlags(TextPrefix prefix) {
    const int align = Qt::AlignLeft | Qt::AlignTop;
    return prefix == TextPrefix::Mnemonic ? align | Qt::TextShowMnemonic : align;
}

bool TargetIsSound(const TextRaster& t) {
    if (t.width <= 0 || t.height <= 0 || t.width > kMaxRasterSide || t.height > kMaxRasterSide)
        return false;
    if (t.bytesPerPixel != 1 && t.bytesPerPixel != 3)
        return false;
    const std::size_t rowBytes = std::size_t(t.width) * t.bytesPerPixel;
    if (t.stride < rowBytes)
        return false;
    const std::size_t needed = t.stride * std::size_t(t.height - 1) + rowBytes;
    return t.pixels.size() >= needed;
}

void CopyOut(const QImage& grey, const TextRaster& target) {
    for (int32_t row = 0; row < target.height; ++row) {
        const uchar* src = grey.constScanLine(row);
        uint8_t* dst = target.pixels.data() + std::size_t(row) * target.stride;
        if (target.bytesPerPixel == 1) {
            std::memcpy(dst, src, std::size_t(target.width));
            continue;
        }
        for (int32_t x = 0; x < target.width; ++x) {
            dst[3 * x] = src[x];
            dst[3 * x + 1] = src[x];
            dst[3 * x + 2] = src[x];
        }
    }
}

} // namespace

QFont QFontFromLogFont(const LogFont& lf) {
    QFont font;
    const std::size_t faceLength = strnlen(lf.lfFaceName, sizeof lf.lfFaceName);
    if (faceLength > 0)
        font.setFamily(QString::fromUtf8(lf.lfFaceName, qsizetype(faceLength)));
    const int64_t height = std::llabs(int64_t(lf.lfHeight));
    font.setPixelSize(height == 0 ? kDefaultPixelSize : int(std::min(height, kMaxPixelSize)));
    // 0 means "don't care": the normal weight.
    const int weight = lf.lfWeight <= 0 ? int(QFont::Normal) : std::min(lf.lfWeight, 1000);
    font.setWeight(QFont::Weight(weight));
    font.setItalic(lf.lfItalic != 0);
    font.setUnderline(lf.lfUnderline != 0);
    font.setStrikeOut(lf.lfStrikeOut != 0);
    // Grey-level edges only: the mask must have three equal channels.
    font.setStyleStrategy(
        QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias));
    return font;
}

QString QtTextFromUtf8(std::string_view text) {
    QString s = QString::fromUtf8(text.data(), qsizetype(text.size()));
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

bool QtTextRasterizer::Measure(std::string_view text, const LogFont& font, TextPrefix prefix,
                               TextExtent& extent) {
    if (!FontsAvailable())
        return false;
    // Measured against an image, as the text will be drawn, so no screen is
    // consulted and any thread may measure.
    const QImage device(1, 1, QImage::Format_Grayscale8);
    const QFontMetrics metrics(QFontFromLogFont(font), &device);
    const QRect box =
        metrics.boundingRect(QRect(0, 0, 0, 0), TextFlags(prefix), QtTextFromUtf8(text));
    extent.width = std::max(0, box.right() + 1);
    extent.height = std::max(0, box.bottom() + 1);
    return true;
}

bool QtTextRasterizer::Render(std::string_view text, const LogFont& font, TextPrefix prefix,
                              int32_t boxWidth, int32_t boxHeight, const TextRaster& target) {
    if (!FontsAvailable() || !TargetIsSound(target) || boxWidth <= 0 || boxHeight <= 0)
        return false;
    QImage grey(target.width, target.height, QImage::Format_Grayscale8);
    if (grey.isNull())
        return false;
    grey.fill(0);
    {
        QPainter painter(&grey);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        painter.setFont(QFontFromLogFont(font));
        painter.setPen(Qt::white);
        painter.translate(-target.originX, -target.originY);
        painter.drawText(QRect(0, 0, boxWidth, boxHeight), TextFlags(prefix), QtTextFromUtf8(text));
    }
    CopyOut(grey, target);
    return true;
}
