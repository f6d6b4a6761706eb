#pragma once
// The text-drawing record: what a subtitle carries to be burnt into a frame.

#include <cstdint>

#include "image/image_types.h"

// Logical font description (the fields the program reads).
struct LogFont {
    int32_t lfHeight = 0; // negative: character height in pixels
    int32_t lfWidth = 0;
    int32_t lfEscapement = 0;
    int32_t lfOrientation = 0;
    int32_t lfWeight = 0; // 400 normal, 700 bold
    uint8_t lfItalic = 0;
    uint8_t lfUnderline = 0;
    uint8_t lfStrikeOut = 0;
    uint8_t lfCharSet = 0;
    uint8_t lfOutPrecision = 0;
    uint8_t lfClipPrecision = 0;
    uint8_t lfQuality = 0;
    uint8_t lfPitchAndFamily = 0;
    char lfFaceName[32] = {}; // zero-terminated, at most 31 characters
};

struct TextInfo {
    char text[4096] = {}; // zero-terminated; a carriage return (13) starts a new line
    LogFont font;
    uint32_t textColor = 0; // 0x00BBGGRR
    int32_t align = 0;      // 0 left (the only value the program sets)
    uint8_t smooth = 0;     // 0 hard-edged, else anti-aliased
    uint8_t opaque = 0;     // non-zero: solid box in boxColor behind the text
    uint32_t boxColor = 0;  // 0x00BBGGRR
    float boxOpacity = 0.0f;
    uint8_t outlineWidth = 0;
    uint8_t cornerRound = 0;
};

// 0x00BBGGRR to a (blue, green, red, 0) quad.
inline RgbQuad ColorRefToQuad(uint32_t color) {
    return RgbQuad{uint8_t(color >> 16), uint8_t(color >> 8), uint8_t(color), 0};
}
