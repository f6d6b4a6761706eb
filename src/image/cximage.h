#pragma once
// CxImage: the raster image of the whole program. Every captured frame,
// prepared frame and scratch image is one of these. The pixel block is a packed
// device-independent bitmap (40-byte header, colour table, rows bottom-up and
// padded to 4 bytes) because the palette quantiser reads it directly.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "image/image_types.h"

struct TextInfo;
class TextRasterizer;

class CxImage {
public:
    explicit CxImage(uint32_t imageType = CXIMAGE_FORMAT_UNKNOWN);
    // Deep copy. Carries the information record, so user flags and the
    // transparent index travel with the copy.
    CxImage(const CxImage& src, bool copyPixels = true, bool copySelection = true,
            bool copyAlpha = true);
    CxImage& operator=(const CxImage&) = delete;
    CxImage(CxImage&&) = delete;
    CxImage& operator=(CxImage&&) = delete;
    ~CxImage();

    // Life cycle.
    uint8_t* Create(uint32_t width, uint32_t height, uint32_t bpp,
                    uint32_t imageType = CXIMAGE_FORMAT_UNKNOWN);
    bool Release();
    // Moves everything out of `other` into this image; `other` ends empty.
    bool TakeOver(CxImage& other, bool takeFrames = false);
    // Makes this image a non-owning view of `src`; it must not outlive `src`.
    void ShareView(const CxImage& src);
    // Copies the information record, only into an image without pixel block.
    void CopyInfoFrom(const CxImage& src);

    // Queries.
    bool IsValid() const { return dib_ != nullptr; }
    bool IsView() const { return info_.pOwner != nullptr; }
    uint32_t Width() const { return static_cast<uint32_t>(head_.biWidth); }
    uint32_t Height() const { return static_cast<uint32_t>(head_.biHeight); }
    uint32_t BitsPerPixel() const { return head_.biBitCount; }
    uint32_t NumColors() const { return head_.biClrUsed; }
    uint32_t Stride() const { return info_.dwEffWidth; }
    uint32_t Type() const { return info_.dwType; }
    const BitmapInfoHeader& Header() const { return head_; }
    const ImageInfo& Info() const { return info_; }
    // The packed bitmap block (header, colour table, rows), or null.
    uint8_t* DibBlock() { return dib_; }
    const uint8_t* DibBlock() const { return dib_; }
    std::size_t DibSize() const;
    // Memory row y (0 = bottom line of the picture).
    uint8_t* Row(uint32_t y) { return info_.pImage + std::size_t(y) * info_.dwEffWidth; }
    const uint8_t* Row(uint32_t y) const {
        return info_.pImage + std::size_t(y) * info_.dwEffWidth;
    }
    RgbQuad* Palette();
    const RgbQuad* Palette() const;
    const char* LastError() const { return info_.szLastError; }
    void SetLastError(std::string_view text);

    // Information record fields.
    uint32_t UserFlags() const { return info_.dwFlags; }
    void SetUserFlags(uint32_t value, bool keepLowHalf = false);
    int32_t TransparentIndex() const { return info_.nBkgndIndex; }
    void SetTransparentIndex(int32_t index);
    RgbQuad BackgroundColor() const { return info_.nBkgndColor; }
    void SetBackgroundColor(RgbQuad c) { info_.nBkgndColor = c; }
    int32_t FrameIndex() const { return info_.nFrame; }
    void SetFrameIndex(int32_t i) { info_.nFrame = i; }
    int32_t FrameCount() const { return info_.nNumFrames; }
    void SetFrameCount(int32_t n) { info_.nNumFrames = n; }
    uint32_t FrameDelay() const { return info_.dwFrameDelay; }
    void SetFrameDelay(uint32_t d) { info_.dwFrameDelay = d; }
    uint8_t DisposalMethod() const { return info_.dispmeth; }
    void SetDisposalMethod(uint8_t d) { info_.dispmeth = d; }
    int32_t OffsetX() const { return info_.xOffset; }
    int32_t OffsetY() const { return info_.yOffset; }
    void SetOffset(int32_t x, int32_t y) {
        info_.xOffset = x;
        info_.yOffset = y;
    }
    int32_t XDpi() const { return info_.xDPI; }
    int32_t YDpi() const { return info_.yDPI; }
    int32_t Escape() const { return info_.nEscape; }
    void SetEscape(int32_t e) { info_.nEscape = e; }
    int32_t Progress() const { return info_.nProgress; }
    void SetProgress(int32_t p) { info_.nProgress = p; }
    uint32_t ColorsImportant() const { return head_.biClrImportant; }
    void SetColorsImportant(uint32_t n);

    // Palette.
    RgbQuad PaletteColor(uint32_t i) const;
    void SetPaletteColors(std::span<const RgbQuad> table);
    void SetPaletteColor(uint32_t i, RgbQuad c);
    bool IsGrayScale() const;
    uint8_t NearestIndex(RgbQuad c);

    // Pixel access; y counts memory rows (0 = bottom line of the picture).
    bool IsInside(int64_t x, int64_t y) const {
        return x >= 0 && y >= 0 && x < head_.biWidth && y < head_.biHeight;
    }
    uint8_t IndexAt(int64_t x, int64_t y) const;
    void SetIndexAt(int64_t x, int64_t y, uint8_t i);
    RgbQuad ColorAtRaw(int64_t x, int64_t y, bool withAlpha = false) const;
    RgbQuad ColorAt(int64_t x, int64_t y, bool withAlpha = false) const;
    void SetColorAtRaw(int64_t x, int64_t y, RgbQuad c, bool withAlpha = false);
    void SetColorAt(int64_t x, int64_t y, RgbQuad c, bool withAlpha = false);
    // Sets every pixel to the index `i` (packed for the depth).
    void FillIndex(uint8_t i);
    // Sets every byte of the pixel rows, padding included, to zero.
    void ClearPixels();

    // Optional planes (width x height bytes, memory row order).
    bool HasAlpha() const { return alpha_ != nullptr; }
    bool AlphaCreate();
    void AlphaDelete();
    uint8_t AlphaAt(int64_t x, int64_t y) const;
    void SetAlphaAt(int64_t x, int64_t y, uint8_t a);
    uint8_t* AlphaPlane() { return alpha_; }
    const uint8_t* AlphaPlane() const { return alpha_; }
    bool HasSelection() const { return selection_ != nullptr; }
    bool SelectionCreate();
    void SelectionDelete();
    uint8_t* SelectionPlane() { return selection_; }
    const uint8_t* SelectionPlane() const { return selection_; }

    // Sub-frames of a multi-frame image.
    std::vector<std::unique_ptr<CxImage>>& Frames() { return frames_; }

    // Operations implemented in their own files.
    // resample.cpp
    bool Resize(int32_t newWidth, int32_t newHeight, int interpolation = 5, int overflow = 5,
                CxImage* destination = nullptr, bool noAveraging = false);
    RgbQuad AreaColor(float xc, float yc, float w, float h) const;
    // increase_bpp.cpp: raising to 24 bits.
    bool IncreaseBpp(uint32_t bits);
    // decrease_bpp.cpp: palette reduction with optional error diffusion.
    bool DecreaseBpp(uint32_t bits, bool errorDiffusion, const RgbQuad* table = nullptr,
                     uint32_t colorsImportant = 0);
    // image_encode.cpp: the whole image encoded into a new buffer.
    bool Encode(uint8_t*& buffer, int32_t& size, uint32_t imageType);
    static void FreeEncodedBuffer(uint8_t* buffer);
    // text_drawing.cpp: text burnt into the image through `rasterizer`.
    // x counts from the left, y from the top line of the picture, and the
    // bottom line of the text box lands on row y.
    // One solid colour, hard edges, "&" marks a mnemonic. Returns 1 (also
    // without pixel block), 0 when the rasteriser cannot draw the text.
    int32_t DrawPlainText(TextRasterizer& rasterizer, int32_t x, int32_t y, std::string_view text,
                          RgbQuad color, std::string_view faceName, int32_t height, int32_t weight,
                          bool italic, bool underline, bool withAlpha = false);
    // The whole text record: optional solid box, then the text blended in.
    // Returns 1, -1 without pixel block, 0 when the rasteriser cannot draw the text.
    int32_t DrawStyledText(TextRasterizer& rasterizer, int32_t x, int32_t y, const TextInfo& info,
                           bool withAlpha = false);

private:
    void ResetInfo(uint32_t imageType);
    void FreePlanes();

    BitmapInfoHeader head_{};
    ImageInfo info_{};
    // The block and planes are owned here unless this image is a shared view,
    // in which case the raw pointers alias the owner's storage.
    std::unique_ptr<uint8_t[]> ownedDib_;
    std::unique_ptr<uint8_t[]> ownedAlpha_;
    std::unique_ptr<uint8_t[]> ownedSelection_;
    uint8_t* dib_ = nullptr;
    uint8_t* alpha_ = nullptr;
    uint8_t* selection_ = nullptr;
    std::vector<std::unique_ptr<CxImage>> frames_;
    // Names the state of the thread's nearest-colour lookup that answered for
    // this table last (0 = none). It is trusted only while the memo in info_
    // is valid: every path that rewrites the table clears the memo.
    uint64_t nearestToken_ = 0;
};

// Colour helpers shared by the image operations.
inline RgbQuad MakeQuad(uint8_t r, uint8_t g, uint8_t b, uint8_t reserved = 0) {
    return RgbQuad{b, g, r, reserved};
}
inline bool SameQuad(RgbQuad a, RgbQuad b) {
    return a.rgbBlue == b.rgbBlue && a.rgbGreen == b.rgbGreen && a.rgbRed == b.rgbRed &&
           a.rgbReserved == b.rgbReserved;
}
