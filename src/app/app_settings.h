#pragma once
// The thirteen choices kept between runs. One record lives in CCaptureApp; the
// user-interface thread reads and changes it directly.

#include <cstdint>
#include <string>

struct AppSettings {
    int32_t captureRate = 15;    // frames per second grabbed; always >= 1
    int32_t gifRate = 15;        // frames per second of the built GIF; always >= 1
    int32_t scalePercent = 70;   // GIF size in percent of the capture, 10..100
    bool highQuality = true;     // error diffusion ("High Quality but Large File")
    bool showBlankNotice = true; // carried along in the file, read by nothing else
    bool alwaysOnTop = true;
    std::string fontName = "Verdana"; // face of new subtitles, at most 31 bytes
    int32_t fontSize = 14;            // one of the editor's sizes (kFontSizes)
    bool fontBold = true;
    bool fontItalic = false;
    uint32_t fontColor = 0x00FFFF; // 0x00BBGGRR: yellow
    int32_t backStyle = 2;         // SubtitleBackground: 0 none, 1 rectangle, 2 outline
    uint32_t backColor = 0;        // black

    bool operator==(const AppSettings&) const = default;
};

// The sizes the editor's size box offers; a stored size is always one of them.
inline constexpr int32_t kFontSizes[] = {10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72};

// Longest face name the subtitle font record holds.
inline constexpr size_t kMaxFontNameBytes = 31;
