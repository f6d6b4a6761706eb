#include "image/cximage.h"

#include "image/nearest_color.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

namespace {

constexpr uint32_t kHeaderSize = sizeof(BitmapInfoHeader);

uint32_t NormaliseDepth(uint32_t bpp) {
    if (bpp <= 1)
        return 1;
    if (bpp <= 4)
        return 4;
    if (bpp <= 8)
        return 8;
    return 24;
}

uint32_t ColorsForDepth(uint32_t bpp) {
    switch (bpp) {
    case 1:
        return 2;
    case 4:
        return 16;
    case 8:
        return 256;
    default:
        return 0;
    }
}

// Pixel data may not exceed 2^31 bits (268435456 bytes). Every product is taken
// in 64 bits and the pixel count is bounded before the depth multiplies it: in
// 32 bits 65536 x 65536 wraps to 0, and even in 64 bits width x height x 24 can
// wrap back under the limit. The padded rows count too, because a tall image one
// pixel wide needs four bytes a row whatever its bit count says.
bool WithinMemoryLimit(uint32_t width, uint32_t height, uint32_t bpp) {
    constexpr uint32_t kMaxSide = uint32_t(std::numeric_limits<int32_t>::max());
    if (width > kMaxSide || height > kMaxSide)
        return false; // the header keeps both as signed 32-bit values
    const uint64_t pixels = uint64_t(width) * height;
    if (pixels > kMaxPixelBits)
        return false;
    const uint64_t bits = pixels * bpp;
    if ((bits & ~uint64_t(7)) > kMaxPixelBits)
        return false;
    const uint64_t stride = (uint64_t(width) * bpp + 31) / 32 * 4;
    return stride * height <= kMaxPixelBits / 8;
}

// Dots per inch to the header's pixels per metre (96 -> 3780).
int32_t DpiToPelsPerMeter(int32_t dpi) {
    const double ppm = std::floor(dpi * 39.37007874015748 + 0.5);
    return int32_t(std::clamp(ppm, double(std::numeric_limits<int32_t>::min()),
                              double(std::numeric_limits<int32_t>::max())));
}

std::unique_ptr<uint8_t[]> AllocateBytes(std::size_t n) {
    return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[n]);
}

} // namespace

CxImage::CxImage(uint32_t imageType) {
    ResetInfo(imageType);
}

CxImage::CxImage(const CxImage& src, bool copyPixels, bool copySelection, bool copyAlpha) {
    ResetInfo(src.Type());
    info_ = src.info_;
    info_.pOwner = nullptr;
    info_.pImage = nullptr;
    if (!src.IsValid())
        return;
    if (!Create(src.Width(), src.Height(), src.BitsPerPixel(), src.Type()))
        return;
    // Create resets part of the record; the copy keeps the source's.
    const uint32_t stride = info_.dwEffWidth;
    uint8_t* const pixels = info_.pImage;
    info_ = src.info_;
    info_.pOwner = nullptr;
    info_.dwEffWidth = stride;
    info_.pImage = pixels;
    // Without copied pixels the header (colours important) is this image's own,
    // so the source's memo need not hold here.
    info_.last_c_isvalid = false;
    if (copyPixels) {
        std::memcpy(dib_, src.dib_, src.DibSize());
        head_ = src.head_;
    } else {
        const uint32_t n = std::min(NumColors(), 256u);
        if (n > 0 && src.NumColors() > 0)
            std::memcpy(Palette(), src.Palette(), std::min(n, src.NumColors()) * sizeof(RgbQuad));
    }
    const std::size_t planeSize = std::size_t(Width()) * Height();
    if (copySelection && src.selection_ && SelectionCreate())
        std::memcpy(selection_, src.selection_, planeSize);
    if (copyAlpha && src.alpha_ && AlphaCreate())
        std::memcpy(alpha_, src.alpha_, planeSize);
}

CxImage::~CxImage() {
    frames_.clear();
    Release();
}

void CxImage::ResetInfo(uint32_t imageType) {
    info_ = ImageInfo{};
    info_.dwType = imageType;
    info_.nBkgndIndex = -1;
    info_.xDPI = info_.yDPI = 96;
    info_.bLittleEndianHost = true;
    head_ = BitmapInfoHeader{};
}

void CxImage::SetLastError(std::string_view text) {
    const std::size_t n = std::min(text.size(), sizeof(info_.szLastError) - 1);
    std::memcpy(info_.szLastError, text.data(), n);
    info_.szLastError[n] = '\0';
}

std::size_t CxImage::DibSize() const {
    if (!dib_)
        return 0;
    return kHeaderSize + std::size_t(head_.biClrUsed) * sizeof(RgbQuad) + head_.biSizeImage;
}

RgbQuad* CxImage::Palette() {
    if (!dib_ || head_.biClrUsed == 0)
        return nullptr;
    // The caller may write the table.
    info_.last_c_isvalid = false;
    return reinterpret_cast<RgbQuad*>(dib_ + kHeaderSize);
}

const RgbQuad* CxImage::Palette() const {
    if (!dib_ || head_.biClrUsed == 0)
        return nullptr;
    return reinterpret_cast<const RgbQuad*>(dib_ + kHeaderSize);
}

uint8_t* CxImage::Create(uint32_t width, uint32_t height, uint32_t bpp, uint32_t imageType) {
    if (!Release())
        return nullptr;
    if (width == 0 || height == 0) {
        SetLastError("CxImage::Create : width and height must be greater than zero");
        return nullptr;
    }
    bpp = NormaliseDepth(bpp);
    if (!WithinMemoryLimit(width, height, bpp)) {
        SetLastError("CXIMAGE_MAX_MEMORY exceeded");
        return nullptr;
    }

    head_ = BitmapInfoHeader{};
    head_.biWidth = int32_t(width);
    head_.biHeight = int32_t(height);
    head_.biBitCount = uint16_t(bpp);
    head_.biClrUsed = ColorsForDepth(bpp);
    const uint32_t stride = StrideFor(width, bpp);
    head_.biSizeImage = stride * height;
    head_.biXPelsPerMeter = DpiToPelsPerMeter(info_.xDPI);
    head_.biYPelsPerMeter = DpiToPelsPerMeter(info_.yDPI);
    info_.dwEffWidth = stride;
    info_.dwType = imageType;

    const std::size_t paletteBytes = std::size_t(head_.biClrUsed) * sizeof(RgbQuad);
    const std::size_t total = kHeaderSize + paletteBytes + head_.biSizeImage;
    ownedDib_ = AllocateBytes(total);
    if (!ownedDib_) {
        SetLastError("CxImage::Create can't allocate memory");
        return nullptr;
    }
    dib_ = ownedDib_.get();
    std::memset(dib_ + kHeaderSize, 0, paletteBytes);
    FreePlanes();
    std::memcpy(dib_, &head_, kHeaderSize);
    info_.pImage = dib_ + kHeaderSize + paletteBytes;
    info_.last_c_isvalid = false;
    return dib_;
}

void CxImage::FreePlanes() {
    ownedAlpha_.reset();
    ownedSelection_.reset();
    alpha_ = nullptr;
    selection_ = nullptr;
}

bool CxImage::Release() {
    if (IsView())
        return false;
    FreePlanes();
    ownedDib_.reset();
    dib_ = nullptr;
    info_.pImage = nullptr;
    nearestToken_ = 0;
    info_.dwEffWidth = 0;
    // An empty image reads as 0 x 0, so a caller that forgets IsValid loops over
    // nothing instead of walking stale dimensions.
    head_ = BitmapInfoHeader{};
    return true;
}

bool CxImage::TakeOver(CxImage& other, bool takeFrames) {
    if (&other == this)
        return !IsView();
    if (!Release())
        return false;
    head_ = other.head_;
    info_ = other.info_;
    ownedDib_ = std::move(other.ownedDib_);
    ownedAlpha_ = std::move(other.ownedAlpha_);
    ownedSelection_ = std::move(other.ownedSelection_);
    dib_ = other.dib_;
    alpha_ = other.alpha_;
    selection_ = other.selection_;
    if (takeFrames)
        frames_ = std::move(other.frames_);
    nearestToken_ = other.nearestToken_; // the table moves with it
    other.nearestToken_ = 0;

    other.head_ = BitmapInfoHeader{};
    other.info_ = ImageInfo{};
    other.dib_ = other.alpha_ = other.selection_ = nullptr;
    return true;
}

void CxImage::ShareView(const CxImage& src) {
    if (&src == this)
        return;
    Release();
    nearestToken_ = 0;
    head_ = src.head_;
    info_ = src.info_;
    info_.pOwner = &src;
    // The view never writes through these; the owner keeps them alive.
    dib_ = const_cast<uint8_t*>(src.dib_);
    alpha_ = const_cast<uint8_t*>(src.alpha_);
    selection_ = const_cast<uint8_t*>(src.selection_);
}

void CxImage::CopyInfoFrom(const CxImage& src) {
    if (dib_)
        return;
    info_ = src.info_;
    info_.pOwner = nullptr;
    info_.pImage = nullptr;
}

void CxImage::SetUserFlags(uint32_t value, bool keepLowHalf) {
    info_.dwFlags = keepLowHalf ? (value & 0xFFFF) : value;
}

void CxImage::SetTransparentIndex(int32_t index) {
    info_.nBkgndIndex = index < int32_t(head_.biClrUsed) ? index : 0;
}

void CxImage::SetColorsImportant(uint32_t n) {
    head_.biClrImportant = n;
    if (dib_)
        reinterpret_cast<BitmapInfoHeader*>(dib_)->biClrImportant = n;
    info_.last_c_isvalid = false;
}

RgbQuad CxImage::PaletteColor(uint32_t i) const {
    const RgbQuad* pal = Palette();
    if (!pal || i >= head_.biClrUsed)
        return RgbQuad{};
    return pal[i];
}

void CxImage::SetPaletteColors(std::span<const RgbQuad> table) {
    RgbQuad* pal = Palette();
    if (!pal)
        return;
    const std::size_t n = std::min<std::size_t>(table.size(), head_.biClrUsed);
    std::copy_n(table.begin(), n, pal);
    info_.last_c_isvalid = false;
}

void CxImage::SetPaletteColor(uint32_t i, RgbQuad c) {
    RgbQuad* pal = Palette();
    if (!pal || i >= head_.biClrUsed)
        return;
    pal[i] = c;
    info_.last_c_isvalid = false;
}

bool CxImage::IsGrayScale() const {
    const RgbQuad* pal = Palette();
    if (!pal)
        return false;
    for (uint32_t i = 0; i < head_.biClrUsed; ++i) {
        if (pal[i].rgbBlue != i || pal[i].rgbGreen != i || pal[i].rgbRed != i)
            return false;
    }
    return true;
}

uint8_t CxImage::NearestIndex(RgbQuad c) {
    const RgbQuad* pal = std::as_const(*this).Palette();
    if (!pal)
        return 0;
    if (info_.last_c_isvalid && SameQuad(info_.last_c, c))
        return info_.last_c_index;
    const uint32_t m =
        head_.biClrImportant ? std::min(head_.biClrImportant, head_.biClrUsed) : head_.biClrUsed;
    const std::span<const RgbQuad> searched(pal, m);
    // An invalid memo means the table or its searched length may have changed.
    NearestColorLookup* lookup =
        NearestColorLookup::ForTable(searched, nearestToken_, info_.last_c_isvalid);
    info_.last_c = c;
    info_.last_c_isvalid = true;
    info_.last_c_index = lookup ? lookup->Find(c) : NearestColorLookup::Scan(searched, c);
    return info_.last_c_index;
}

uint8_t CxImage::IndexAt(int64_t x, int64_t y) const {
    // Only 1-, 4- and 8-bit images have a colour table.
    if (!dib_ || head_.biClrUsed == 0 || !IsInside(x, y))
        return 0;
    return IndexInPackedRow(Row(uint32_t(y)), uint32_t(x), head_.biBitCount);
}

void CxImage::SetIndexAt(int64_t x, int64_t y, uint8_t i) {
    if (!dib_ || head_.biClrUsed == 0 || !IsInside(x, y))
        return;
    uint8_t* row = Row(uint32_t(y));
    switch (head_.biBitCount) {
    case 8:
        row[x] = i;
        break;
    case 4: {
        uint8_t& byte = row[x >> 1];
        byte = (x & 1) ? uint8_t((byte & 0xF0) | (i & 0x0F)) : uint8_t((byte & 0x0F) | (i << 4));
        break;
    }
    case 1: {
        const uint8_t mask = uint8_t(0x80 >> (x & 7));
        uint8_t& byte = row[x >> 3];
        byte = (i & 1) ? uint8_t(byte | mask) : uint8_t(byte & ~mask);
        break;
    }
    default:
        break;
    }
}

RgbQuad CxImage::ColorAtRaw(int64_t x, int64_t y, bool withAlpha) const {
    RgbQuad c;
    if (head_.biClrUsed) {
        c = PaletteColor(IndexAt(x, y));
    } else {
        const uint8_t* p = Row(uint32_t(y)) + x * 3;
        c = RgbQuad{p[0], p[1], p[2], info_.nBkgndColor.rgbReserved};
    }
    if (withAlpha && alpha_)
        c.rgbReserved = alpha_[std::size_t(y) * Width() + std::size_t(x)];
    return c;
}

RgbQuad CxImage::ColorAt(int64_t x, int64_t y, bool withAlpha) const {
    if (dib_ && IsInside(x, y))
        return ColorAtRaw(x, y, withAlpha);
    if (info_.nBkgndIndex >= 0) {
        if (head_.biBitCount < 24)
            return PaletteColor(uint32_t(info_.nBkgndIndex));
        return info_.nBkgndColor;
    }
    if (dib_)
        return ColorAtRaw(0, 0, withAlpha);
    return info_.nBkgndColor;
}

void CxImage::SetColorAtRaw(int64_t x, int64_t y, RgbQuad c, bool withAlpha) {
    if (head_.biClrUsed) {
        SetIndexAt(x, y, NearestIndex(c));
    } else {
        uint8_t* p = Row(uint32_t(y)) + x * 3;
        p[0] = c.rgbBlue;
        p[1] = c.rgbGreen;
        p[2] = c.rgbRed;
    }
    if (withAlpha && alpha_)
        alpha_[std::size_t(y) * Width() + std::size_t(x)] = c.rgbReserved;
}

void CxImage::SetColorAt(int64_t x, int64_t y, RgbQuad c, bool withAlpha) {
    if (!dib_ || !IsInside(x, y))
        return;
    SetColorAtRaw(x, y, c, withAlpha);
}

void CxImage::FillIndex(uint8_t i) {
    if (!dib_ || head_.biClrUsed == 0)
        return;
    uint8_t pattern = i;
    if (head_.biBitCount == 4)
        pattern = uint8_t((i & 0x0F) * 0x11);
    else if (head_.biBitCount == 1)
        pattern = (i & 1) ? 0xFF : 0x00;
    std::memset(info_.pImage, pattern, head_.biSizeImage);
}

void CxImage::ClearPixels() {
    if (dib_)
        std::memset(info_.pImage, 0, head_.biSizeImage);
}

bool CxImage::AlphaCreate() {
    if (!dib_)
        return false;
    if (alpha_)
        return true;
    if (IsView())
        return false;
    const std::size_t n = std::size_t(Width()) * Height();
    ownedAlpha_ = AllocateBytes(n);
    if (!ownedAlpha_)
        return false;
    std::memset(ownedAlpha_.get(), 255, n);
    alpha_ = ownedAlpha_.get();
    return true;
}

void CxImage::AlphaDelete() {
    if (IsView())
        return;
    ownedAlpha_.reset();
    alpha_ = nullptr;
}

uint8_t CxImage::AlphaAt(int64_t x, int64_t y) const {
    if (!alpha_ || !IsInside(x, y))
        return 255;
    return alpha_[std::size_t(y) * Width() + std::size_t(x)];
}

void CxImage::SetAlphaAt(int64_t x, int64_t y, uint8_t a) {
    if (!alpha_ || !IsInside(x, y))
        return;
    alpha_[std::size_t(y) * Width() + std::size_t(x)] = a;
}

bool CxImage::SelectionCreate() {
    if (!dib_)
        return false;
    if (selection_)
        return true;
    if (IsView())
        return false;
    const std::size_t n = std::size_t(Width()) * Height();
    ownedSelection_ = AllocateBytes(n);
    if (!ownedSelection_)
        return false;
    std::memset(ownedSelection_.get(), 0, n);
    selection_ = ownedSelection_.get();
    return true;
}

void CxImage::SelectionDelete() {
    if (IsView())
        return;
    ownedSelection_.reset();
    selection_ = nullptr;
}

void CxImage::FreeEncodedBuffer(uint8_t* buffer) {
    std::free(buffer);
}
