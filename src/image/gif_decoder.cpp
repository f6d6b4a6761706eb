#include "image/gif_decoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <vector>

#include "image/gif_lzw.h"

namespace {

constexpr uint8_t kExtensionIntroducer = 0x21;
constexpr uint8_t kImageSeparator = 0x2C;
constexpr uint8_t kTrailer = 0x3B;

constexpr const char* kNotGifText = "Not a GIF file";
constexpr const char* kNoFramesText = "GIF frame index out of range";
constexpr const char* kTooLargeText = "CXIMAGE_MAX_MEMORY exceeded";
constexpr const char* kEmptyScreenText = "GIF logical screen is empty";

// Bytes of one canvas pixel: blue, green, red.
constexpr uint32_t kPixelBytes = 3;

// Without a global table the file names no background colour. Viewers differ
// there (ImageMagick shows white, ffmpeg leaves it transparent); black is the
// one fill a frame of a recording can always show.
constexpr RgbQuad kBackgroundWithoutGlobalTable{0, 0, 0, 0};

// The 13-byte header: signature, logical screen and the packed flags byte.
struct GifHeader {
    uint16_t screenWidth = 0;
    uint16_t screenHeight = 0;
    uint8_t flags = 0;
    uint8_t backgroundIndex = 0;

    bool HasGlobalTable() const { return (flags & 0x80) != 0; }
    // 2^(n+1), also when the table is absent.
    uint32_t TableSize() const { return 2u << (flags & 7); }
};

// A colour table, every index answered: entries the file does not give are
// black, so any 8-bit index has a colour.
using GifColorTable = std::array<RgbQuad, 256>;

// The 9 bytes after an image separator.
struct GifImageDescriptor {
    uint16_t left = 0;
    uint16_t top = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t flags = 0;

    bool HasLocalTable() const { return (flags & 0x80) != 0; }
    bool IsInterlaced() const { return (flags & 0x40) != 0; }
    uint32_t TableSize() const { return 2u << (flags & 7); }
};

// What the extensions read so far say. Delay and disposal carry over to an
// image without its own graphic control extension, as ImageMagick reports
// them; transparency belongs to the one image that follows the extension.
struct GifControlState {
    uint16_t delay = 0;
    int32_t transparentIndex = -1;
    uint8_t disposal = 0;
    std::string comment;
    int32_t loopCount = 0;

    void ApplyGraphicControl(uint8_t flags, uint16_t newDelay, uint8_t transparent);
    void ImageDone() { transparentIndex = -1; }
};

uint16_t Le16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

// A short table keeps black entries for what is missing; the data after it is
// missing too, so the image decodes as far as the file goes.
void ReadColorTable(ByteSource& file, uint32_t size, GifColorTable& table) {
    std::array<uint8_t, 3 * 256> raw{};
    file.ReadExact(std::span<uint8_t>(raw.data(), 3 * size));
    for (uint32_t i = 0; i < 256; ++i)
        table[i] = i < size ? MakeQuad(raw[3 * i], raw[3 * i + 1], raw[3 * i + 2]) : RgbQuad{};
}

bool ReadDescriptor(ByteSource& file, GifImageDescriptor& d) {
    uint8_t raw[9];
    if (!file.ReadExact(raw))
        return false;
    d.left = Le16(raw);
    d.top = Le16(raw + 2);
    d.width = Le16(raw + 4);
    d.height = Le16(raw + 6);
    d.flags = raw[8];
    return true;
}

// Skips sub-blocks up to and including the zero-length one.
bool SkipSubBlocks(ByteSource& file) {
    for (;;) {
        uint8_t length = 0;
        if (!file.ReadByte(length))
            return false;
        if (length == 0)
            return true;
        if (!file.Seek(file.Tell() + length))
            return false;
    }
}

// Moves to the first 0x2C that directly follows a 0x00 at or after `from`, or
// to the end of the file when there is none.
void ResynchroniseAfter(ByteSource& file, int64_t from) {
    if (!file.Seek(from))
        return;
    std::vector<uint8_t> chunk(kGifReadChunk);
    uint8_t previous = 0xFF;
    int64_t chunkStart = from;
    for (;;) {
        const std::size_t n = file.Read(chunk);
        if (n == 0)
            return;
        for (std::size_t i = 0; i < n; ++i) {
            if (previous == 0 && chunk[i] == kImageSeparator) {
                file.Seek(chunkStart + int64_t(i));
                return;
            }
            previous = chunk[i];
        }
        chunkStart += int64_t(n);
    }
}

// Where the block loop goes on after an image's data (also used by counting,
// so both passes see the same blocks).
void RepositionAfterImage(ByteSource& file, int64_t dataStart, const LzwResult& r) {
    if (r.badCodes > 0) {
        ResynchroniseAfter(file, dataStart);
        return;
    }
    const int64_t firstUnconsumed = file.Tell() - int64_t(r.unconsumed);
    // After an end code the next byte is normally the block terminator, which is
    // skipped. When a zero-length sub-block ended the data, that terminator has
    // already been consumed; skipping one more byte would swallow the introducer
    // of the next block (and with it, say, the next frame's graphic control).
    const int64_t skip = r.status == LzwStatus::EmptySubBlock ? 0 : 1;
    file.Seek(firstUnconsumed + skip);
}

void GifControlState::ApplyGraphicControl(uint8_t flags, uint16_t newDelay, uint8_t transparent) {
    delay = newDelay;
    transparentIndex = (flags & 1) ? int32_t(transparent) : -1;
    disposal = uint8_t((flags >> 2) & 7);
}

// Reads one extension (the 0x21 introducer already consumed). False when
// parsing cannot go on.
bool ReadGifExtension(ByteSource& file, GifControlState& state) {
    uint8_t label = 0;
    if (!file.ReadByte(label))
        return false;
    switch (label) {
    case 0xF9: {
        uint8_t size = 0;
        uint8_t body[4];
        if (!file.ReadByte(size) || !file.ReadExact(body) || size != 4)
            return false;
        state.ApplyGraphicControl(body[0], Le16(body + 1), body[3]);
        break;
    }
    case 0xFE: {
        uint8_t length = 0;
        if (!file.ReadByte(length))
            return false;
        // An empty comment is only its terminator: the extension is over.
        if (length == 0) {
            state.comment.clear();
            return true;
        }
        std::array<char, 256> text{};
        if (!file.ReadExact(std::span<uint8_t>(reinterpret_cast<uint8_t*>(text.data()), length)))
            return false;
        state.comment.assign(text.data(), length);
        break;
    }
    case 0xFF: {
        uint8_t length = 0;
        uint8_t identifier[11];
        if (!file.ReadByte(length) || length != 11 || !file.ReadExact(identifier))
            return false;
        uint8_t dataLength = 0;
        if (!file.ReadByte(dataLength))
            return false;
        if (dataLength == 0)
            return true; // that was the terminator
        std::array<uint8_t, 255> data{};
        if (!file.ReadExact(std::span<uint8_t>(data.data(), dataLength)))
            return false;
        if (dataLength > 2)
            state.loopCount = data[1] | (data[2] << 8);
        break;
    }
    default:
        break;
    }
    return SkipSubBlocks(file);
}

// Counts the images from the current position and returns there. Every image
// is a frame, also one reaching past the screen (it is clipped when drawn). A
// 0 x 0 screen takes the first image's size.
int32_t CountGifFrames(ByteSource& file, GifHeader& header) {
    const int64_t start = file.Tell();
    // Extensions are read only to pass over them; decoding reads them again.
    GifControlState scratch;
    int32_t count = 0;
    bool skipping = false;
    for (;;) {
        uint8_t byte = 0;
        if (!file.ReadByte(byte))
            break;
        if (skipping && byte != 0)
            continue;
        if (byte == kExtensionIntroducer) {
            // A broken extension stops decoding but not counting.
            ReadGifExtension(file, scratch);
        } else if (byte == kImageSeparator) {
            GifImageDescriptor d;
            if (!ReadDescriptor(file, d))
                break;
            if (header.screenWidth == 0 && header.screenHeight == 0) {
                header.screenWidth = d.width;
                header.screenHeight = d.height;
            }
            if (count == std::numeric_limits<int32_t>::max())
                break;
            ++count;
            if (d.HasLocalTable())
                file.Seek(file.Tell() + 3 * int64_t(d.TableSize()));
            const int64_t dataStart = file.Tell();
            const LzwResult lzw =
                DecodeLzwImage(file, nullptr, d.width, d.height, d.IsInterlaced());
            RepositionAfterImage(file, dataStart, lzw);
        } else if (byte == kTrailer) {
            break;
        } else {
            skipping = byte != 0;
        }
    }
    file.Seek(start);
    return count;
}

// The 24-bit canvas needs 3 bytes a pixel and rows padded to 4 bytes; both
// sides are at most 65535, so the product fits in 64 bits.
bool CanvasFitsImageLimit(uint32_t width, uint32_t height) {
    const uint64_t stride = (uint64_t(width) * 24 + 31) / 32 * 4;
    return stride * height <= kMaxPixelBits / 8;
}

// A rectangle of the screen, already clipped to it.
struct ScreenRect {
    uint32_t left = 0;
    uint32_t top = 0;
    uint32_t width = 0;
    uint32_t height = 0;
};

ScreenRect ClipToScreen(const GifImageDescriptor& d, const CxImage& canvas) {
    ScreenRect r;
    r.left = std::min<uint32_t>(d.left, canvas.Width());
    r.top = std::min<uint32_t>(d.top, canvas.Height());
    r.width = std::min<uint32_t>(d.width, canvas.Width() - r.left);
    r.height = std::min<uint32_t>(d.height, canvas.Height() - r.top);
    return r;
}

// The bytes of a rectangle's pixels on row `row` (counted from the top).
std::span<uint8_t> RectRow(CxImage& canvas, const ScreenRect& r, uint32_t row) {
    uint8_t* start = canvas.Row(canvas.Height() - 1 - (r.top + row)) + r.left * kPixelBytes;
    return {start, std::size_t(r.width) * kPixelBytes};
}

void FillRect(CxImage& canvas, const ScreenRect& r, RgbQuad colour) {
    for (uint32_t row = 0; row < r.height; ++row) {
        const std::span<uint8_t> bytes = RectRow(canvas, r, row);
        for (std::size_t i = 0; i < bytes.size(); i += kPixelBytes) {
            bytes[i] = colour.rgbBlue;
            bytes[i + 1] = colour.rgbGreen;
            bytes[i + 2] = colour.rgbRed;
        }
    }
}

std::vector<uint8_t> CopyRect(CxImage& canvas, const ScreenRect& r) {
    std::vector<uint8_t> out;
    out.reserve(std::size_t(r.width) * r.height * kPixelBytes);
    for (uint32_t row = 0; row < r.height; ++row) {
        const std::span<const uint8_t> bytes = RectRow(canvas, r, row);
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    return out;
}

void PasteRect(CxImage& canvas, const ScreenRect& r, std::span<const uint8_t> saved) {
    const std::size_t rowBytes = std::size_t(r.width) * kPixelBytes;
    for (uint32_t row = 0; row < r.height; ++row) {
        const std::span<uint8_t> bytes = RectRow(canvas, r, row);
        std::copy_n(saved.begin() + std::ptrdiff_t(row * rowBytes), rowBytes, bytes.begin());
    }
}

// Paints decoded rows straight onto the canvas through the image's colour
// table, clipped to the screen; the transparent index leaves what is under.
class CanvasRows final : public GifRowOutput {
public:
    CanvasRows(CxImage& canvas, const GifImageDescriptor& d, const GifColorTable& colours,
               int32_t transparentIndex)
        : canvas_(canvas), descriptor_(d), colours_(colours), transparent_(transparentIndex) {}

    void PutRow(uint32_t row, std::span<const uint8_t> indices) override {
        const uint64_t y = uint64_t(descriptor_.top) + row;
        if (y >= canvas_.Height() || descriptor_.left >= canvas_.Width())
            return;
        const std::size_t columns =
            std::min<std::size_t>(indices.size(), canvas_.Width() - descriptor_.left);
        uint8_t* out =
            canvas_.Row(canvas_.Height() - 1 - uint32_t(y)) + descriptor_.left * kPixelBytes;
        for (std::size_t x = 0; x < columns; ++x, out += kPixelBytes) {
            if (int32_t(indices[x]) == transparent_)
                continue;
            const RgbQuad c = colours_[indices[x]];
            out[0] = c.rgbBlue;
            out[1] = c.rgbGreen;
            out[2] = c.rgbRed;
        }
    }

private:
    CxImage& canvas_;
    const GifImageDescriptor& descriptor_;
    const GifColorTable& colours_;
    int32_t transparent_;
};

// ---------------------------------------------------------------------------
// The decoding run shared by DecodeGif and DecodeAllGifFrames.

class GifDecoder {
public:
    explicit GifDecoder(ByteSource& file) : file_(file) {}

    // Decodes up to image `requested` (or all images with `onFrame`), leaving
    // the result in Result(). False on the failures the callers report.
    bool Run(int32_t requested, const GifFrameCallback* onFrame);

    CxImage& Result() { return canvas_; }
    int32_t FrameCount() const { return frameCount_; }
    GifDecodeError Error() const { return error_; }
    const std::string& ErrorText() const { return errorText_; }

private:
    enum class Step { Continue, Stop, Fail };

    bool ReadHeader();
    bool CheckScreen();
    Step ProcessImage();
    bool PrepareCanvas();
    void DisposePrevious();
    Step FinishImage(const LzwResult& lzw, int64_t dataStart);
    bool Fail(GifDecodeError error, std::string text);
    bool Deliver(int32_t index);

    ByteSource& file_;
    GifHeader header_;
    GifColorTable globalTable_{};
    RgbQuad background_ = kBackgroundWithoutGlobalTable;
    GifControlState state_;
    int32_t frameCount_ = 0;
    int32_t requested_ = 0;
    int32_t imageNumber_ = 0;
    int32_t delivered_ = 0; // frames handed to the callback so far
    bool stoppedByCaller_ = false;
    const GifFrameCallback* onFrame_ = nullptr;
    GifDecodeError error_ = GifDecodeError::None;
    std::string errorText_;

    // The composite so far: the decoder's result, 24-bit from the first image.
    CxImage canvas_{CXIMAGE_FORMAT_GIF};
    // What the last image asks to be done with its rectangle before the next
    // one is drawn, and for disposal 3 the pixels it covered.
    uint8_t pendingDisposal_ = 0;
    ScreenRect pendingRect_;
    std::vector<uint8_t> underPending_;
};

bool GifDecoder::Fail(GifDecodeError error, std::string text) {
    error_ = error;
    errorText_ = std::move(text);
    return false;
}

bool GifDecoder::ReadHeader() {
    uint8_t raw[13];
    if (!file_.ReadExact(raw) || std::memcmp(raw, "GIF8", 4) != 0)
        return false;
    header_.screenWidth = Le16(raw + 6);
    header_.screenHeight = Le16(raw + 8);
    header_.flags = raw[10];
    header_.backgroundIndex = raw[11];
    return true;
}

// Refuses a screen that cannot be shown before anything is allocated for it.
bool GifDecoder::CheckScreen() {
    if (!CanvasFitsImageLimit(header_.screenWidth, header_.screenHeight))
        return Fail(GifDecodeError::TooLarge, kTooLargeText);
    if (header_.screenWidth == 0 || header_.screenHeight == 0)
        return Fail(GifDecodeError::BadData, kEmptyScreenText);
    return true;
}

bool GifDecoder::Run(int32_t requested, const GifFrameCallback* onFrame) {
    onFrame_ = onFrame;
    if (!ReadHeader())
        return Fail(GifDecodeError::NotGif, kNotGifText);
    if (header_.HasGlobalTable()) {
        ReadColorTable(file_, header_.TableSize(), globalTable_);
        background_ = globalTable_[header_.backgroundIndex];
    }

    const int64_t blocksStart = file_.Tell();
    frameCount_ = CountGifFrames(file_, header_);
    requested_ = onFrame ? frameCount_ - 1 : requested;
    if (frameCount_ <= 0 || requested_ < 0 || requested_ >= frameCount_)
        return Fail(GifDecodeError::NoFrames, kNoFramesText);
    if (!CheckScreen())
        return false;

    file_.Seek(blocksStart);
    bool skipping = false;
    for (;;) {
        uint8_t byte = 0;
        if (!file_.ReadByte(byte))
            break;
        if (skipping && byte != 0)
            continue;
        if (byte == kExtensionIntroducer) {
            if (!ReadGifExtension(file_, state_))
                break;
        } else if (byte == kImageSeparator) {
            const Step step = ProcessImage();
            if (step == Step::Fail)
                return false;
            if (step == Step::Stop)
                break;
        } else if (byte == kTrailer) {
            break;
        } else {
            skipping = byte != 0;
        }
    }

    // The data ended (or a broken extension stopped it) before the counted
    // frames were all composed: the rest show the last composite, as a
    // one-frame decode of those indices does.
    if (onFrame_) {
        while (delivered_ < frameCount_ && !stoppedByCaller_)
            Deliver(delivered_);
    }
    return true;
}

bool GifDecoder::Deliver(int32_t index) {
    canvas_.SetFrameIndex(index);
    canvas_.SetFrameCount(frameCount_);
    ++delivered_;
    if (!(*onFrame_)(canvas_, index))
        stoppedByCaller_ = true;
    return !stoppedByCaller_;
}

GifDecoder::Step GifDecoder::ProcessImage() {
    GifImageDescriptor d;
    if (!ReadDescriptor(file_, d))
        return Step::Stop;
    GifColorTable localTable;
    if (d.HasLocalTable())
        ReadColorTable(file_, d.TableSize(), localTable);
    const GifColorTable& colours = d.HasLocalTable() ? localTable : globalTable_;

    if (!PrepareCanvas())
        return Step::Fail;
    DisposePrevious();
    pendingDisposal_ = state_.disposal;
    pendingRect_ = ClipToScreen(d, canvas_);
    if (pendingDisposal_ == 3)
        underPending_ = CopyRect(canvas_, pendingRect_);

    const int64_t dataStart = file_.Tell();
    CanvasRows rows(canvas_, d, colours, state_.transparentIndex);
    const LzwResult lzw = DecodeLzwImage(file_, &rows, d.width, d.height, d.IsInterlaced());
    return FinishImage(lzw, dataStart);
}

GifDecoder::Step GifDecoder::FinishImage(const LzwResult& lzw, int64_t dataStart) {
    if (lzw.status == LzwStatus::BadCodeSize) {
        Fail(GifDecodeError::BadData, "GIF image " + std::to_string(imageNumber_ + 1) +
                                          " has LZW code size " + std::to_string(lzw.minCodeSize) +
                                          ", which cannot be decoded");
        return Step::Fail;
    }
    RepositionAfterImage(file_, dataStart, lzw);
    state_.ImageDone();
    canvas_.SetFrameDelay(state_.delay);
    canvas_.SetDisposalMethod(state_.disposal);
    if (onFrame_ && !Deliver(imageNumber_))
        return Step::Stop;
    if (imageNumber_ == requested_)
        return Step::Stop;
    ++imageNumber_;
    return Step::Continue;
}

// The canvas is made at the first image, so a file whose data ends before any
// image holds no pixels at all.
bool GifDecoder::PrepareCanvas() {
    if (canvas_.IsValid())
        return true;
    if (!canvas_.Create(header_.screenWidth, header_.screenHeight, 24, CXIMAGE_FORMAT_GIF))
        return Fail(GifDecodeError::TooLarge, canvas_.LastError());
    FillRect(canvas_, ScreenRect{0, 0, canvas_.Width(), canvas_.Height()}, background_);
    return true;
}

// Done before the next image is drawn, so the frame of the disposed image
// still shows it.
void GifDecoder::DisposePrevious() {
    if (pendingDisposal_ == 2)
        FillRect(canvas_, pendingRect_, background_);
    else if (pendingDisposal_ == 3)
        PasteRect(canvas_, pendingRect_, underPending_);
    pendingDisposal_ = 0;
    underPending_.clear();
}

} // namespace

bool DecodeGif(ByteSource& file, CxImage& target) {
    GifDecoder decoder(file);
    const int32_t requested = target.FrameIndex();
    const bool ok = decoder.Run(requested, nullptr);
    if (!ok) {
        target.Release();
        target.SetFrameCount(decoder.FrameCount());
        target.SetLastError(decoder.ErrorText());
        return false;
    }
    CxImage& result = decoder.Result();
    // The canvas carries the delay and disposal of the requested image.
    if (result.IsValid())
        target.TakeOver(result);
    else
        target.Release();
    target.SetTransparentIndex(-1); // the composite is opaque
    target.SetFrameCount(decoder.FrameCount());
    target.SetFrameIndex(requested);
    return true;
}

bool DecodeGifFile(const std::string& path, CxImage& target) {
    FileSource file(path);
    if (!file.IsOpen()) {
        target.Release();
        target.SetLastError(std::strerror(file.OpenError()));
        return false;
    }
    return DecodeGif(file, target);
}

bool DecodeAllGifFrames(ByteSource& file, const GifFrameCallback& onFrame,
                        GifDecodeSummary* summary) {
    GifDecoder decoder(file);
    const bool ok = decoder.Run(0, &onFrame);
    if (summary) {
        summary->frameCount = decoder.FrameCount();
        summary->error = decoder.Error();
        summary->errorText = decoder.ErrorText();
    }
    return ok;
}
