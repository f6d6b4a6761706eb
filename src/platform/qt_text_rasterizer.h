#pragma once
// The text rasteriser the program letters subtitles with: Qt fonts (fontconfig
// picks a substitute for a face that is not installed), Qt's measuring and
// Qt's painter drawing into an offscreen image. Works on any thread once a
// QGuiApplication exists; without one it refuses to measure or render.

#include <QFont>
#include <QString>

#include "image/text_rasterizer.h"

class QtTextRasterizer final : public TextRasterizer {
public:
    bool Measure(std::string_view text, const LogFont& font, TextPrefix prefix,
                 TextExtent& extent) override;
    bool Render(std::string_view text, const LogFont& font, TextPrefix prefix, int32_t boxWidth,
                int32_t boxHeight, const TextRaster& target) override;
};

// The Qt font for a logical font: pixel size from the height (negative or
// positive alike; 0 picks a default size), weight, italic, underline,
// strike-out and face name.
QFont QFontFromLogFont(const LogFont& font);

// The text as Qt lays it out: UTF-8 decoded, every CR LF, CR or LF a line break.
QString QtTextFromUtf8(std::string_view text);
