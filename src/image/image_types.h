#pragma once
// Plain records of the image layer: the bitmap header, colour quads, the
// per-image information record and the format codes.

#include <cstdint>

// Colour table entry and 24-bit pixel order: blue, green, red, reserved.
struct RgbQuad {
    uint8_t rgbBlue = 0;
    uint8_t rgbGreen = 0;
    uint8_t rgbRed = 0;
    uint8_t rgbReserved = 0;
};
static_assert(sizeof(RgbQuad) == 4);

// The 40-byte bitmap information header at the start of every pixel block.
// All fields are little-endian on disk; the program only runs on little-endian hosts.
struct BitmapInfoHeader {
    uint32_t biSize = 40;
    int32_t biWidth = 0;
    int32_t biHeight = 0;
    uint16_t biPlanes = 1;
    uint16_t biBitCount = 0;
    uint32_t biCompression = 0;
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 3780;
    int32_t biYPelsPerMeter = 3780;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

// Format codes, as returned by GetTypeFromExtension.
enum ImageFormat : uint32_t {
    CXIMAGE_FORMAT_UNKNOWN = 0,
    CXIMAGE_FORMAT_BMP = 1,
    CXIMAGE_FORMAT_GIF = 2,
    CXIMAGE_FORMAT_JPG = 3,
    CXIMAGE_FORMAT_PNG = 4,
};

class CxImage;

// The information record every image carries beside its header.
struct ImageInfo {
    uint32_t dwEffWidth = 0;         // row stride in bytes
    uint8_t* pImage = nullptr;       // first pixel row inside the pixel block
    const CxImage* pOwner = nullptr; // owner of a shared view, null when owning
    uint32_t dwType = CXIMAGE_FORMAT_UNKNOWN;
    char szLastError[256] = {};
    int32_t nProgress = 0;
    int32_t nEscape = 0;
    int32_t nBkgndIndex = -1; // transparent index, -1 = none
    RgbQuad nBkgndColor{};
    int32_t nFrame = 0;     // frame a decoder is to deliver
    int32_t nNumFrames = 0; // frames the decoder found
    uint32_t dwFrameDelay = 0;
    int32_t xDPI = 96;
    int32_t yDPI = 96;
    int32_t xOffset = 0;
    int32_t yOffset = 0;
    uint32_t dwCodecOpt[32] = {};
    RgbQuad last_c{}; // nearest-colour memo: colour, index, validity
    uint8_t last_c_index = 0;
    bool last_c_isvalid = false;
    uint32_t dwFlags = 0; // user flags; the frame list keeps "kept" here
    uint8_t dispmeth = 0;
    bool bLittleEndianHost = true;
};

// Pixel data may not exceed this many bytes (2^31 bits).
inline constexpr uint64_t kMaxPixelBits = 2147483648ull;

// Row stride for a width and depth: rows are padded to a multiple of 4 bytes.
inline constexpr uint32_t StrideFor(uint32_t width, uint32_t bpp) {
    return ((width * bpp + 31) / 32) * 4;
}

// Palette index of pixel x in a row of a 1-, 4- or 8-bit image: two pixels a
// byte at 4 bits (left one in the high nibble), eight at 1 bit (leftmost in
// the most significant bit).
inline constexpr uint8_t IndexInPackedRow(const uint8_t* row, uint32_t x, uint32_t bpp) {
    switch (bpp) {
    case 8:
        return row[x];
    case 4:
        return (x & 1) ? (row[x >> 1] & 0x0F) : uint8_t(row[x >> 1] >> 4);
    default:
        return (row[x >> 3] >> (7 - (x & 7))) & 1;
    }
}
