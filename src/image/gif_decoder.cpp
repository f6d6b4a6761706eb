#include "image/gif_decoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <vector>

#include "image/gif_lzw.h"
#include "image/palette_ops.h"

namespace {

constexpr uint8_t kExtensionIntroducer = 0x21;
constexpr uint8_t kImageSeparator = 0x2C;
constexpr uint8_t kTrailer = 0x3B;

constexpr const char* kNotGifText = "Not a GIF file";
constexpr const char* kNoFramesText = "GIF frame index out of range";

// The 13-byte header: signature, logical screen and the packed flags byte.
struct GifHeader {
    uint16_t screenWidth = 0;
    uint16_t screenHeight = 0;
    uint8_t flags = 0;

    bool HasGlobalTable() const { return (flags & 0x80) != 0; }
    // 2^(n+1), also when the table is absent.
    uint32_t TableSize() const { return 2u << (flags & 7); }
};

// A colour table as stored in the file: separate red, green, blue arrays.
struct GifColorTable {
    std::array<uint8_t, 256> red{};
    std::array<uint8_t, 256> green{};
    std::array<uint8_t, 256> blue{};
    uint32_t size = 0;
    bool present = false;
};

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

// What the extensions read so far say. An image without its own graphic
// control extension inherits the last one read.
struct GifControlState {
    uint8_t flags = 0;
    uint16_t delay = 0;
    // The raw byte, also when the transparency flag is clear. Zero until a
    // graphic control extension has been read, so a file without any fills
    // its first canvas with index 0.
    uint8_t rawTransparentIndex = 0;
    int32_t transparentIndex = -1;
    uint8_t disposal = 0;
    std::string comment;
    int32_t loopCount = 0;

    void ApplyGraphicControl(uint8_t newFlags, uint16_t newDelay, uint8_t newTransparent);
};

uint16_t Le16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

bool ReadColorTable(ByteSource& file, uint32_t size, GifColorTable& table) {
    std::array<uint8_t, 3 * 256> raw{};
    table.size = size;
    table.present = true;
    // A short table keeps black entries for what is missing; the data after it
    // is missing too, so the image decodes as far as the file goes.
    const bool complete = file.ReadExact(std::span<uint8_t>(raw.data(), 3 * size));
    for (uint32_t i = 0; i < size; ++i) {
        table.red[i] = raw[3 * i];
        table.green[i] = raw[3 * i + 1];
        table.blue[i] = raw[3 * i + 2];
    }
    return complete;
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

bool OutsideScreen(const GifImageDescriptor& d, const GifHeader& h) {
    return uint32_t(d.left) + d.width > h.screenWidth ||
           uint32_t(d.top) + d.height > h.screenHeight;
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

void GifControlState::ApplyGraphicControl(uint8_t newFlags, uint16_t newDelay,
                                          uint8_t newTransparent) {
    flags = newFlags;
    delay = newDelay;
    rawTransparentIndex = newTransparent;
    transparentIndex = (newFlags & 1) ? int32_t(newTransparent) : -1;
    disposal = uint8_t((newFlags >> 2) & 7);
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

// Counts the images inside the logical screen from the current position and
// returns there. A 0 x 0 screen takes the first image's size. Reads the
// extensions on the way, so `state` ends holding the file's last graphic
// control extension.
int32_t CountGifFrames(ByteSource& file, GifHeader& header, GifControlState& state) {
    const int64_t start = file.Tell();
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
            ReadGifExtension(file, state);
        } else if (byte == kImageSeparator) {
            GifImageDescriptor d;
            if (!ReadDescriptor(file, d))
                break;
            if (header.screenWidth == 0 && header.screenHeight == 0) {
                header.screenWidth = d.width;
                header.screenHeight = d.height;
            }
            if (OutsideScreen(d, header))
                continue;
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

// Copies `frame` onto `canvas` at the descriptor's position, skipping pixels of
// `transparentIndex` (-1: none). Indices are truncated to the canvas's depth.
void PasteFrame(CxImage& canvas, const CxImage& frame, const GifImageDescriptor& descriptor,
                int32_t transparentIndex) {
    if (!canvas.IsValid() || !frame.IsValid())
        return;
    const int64_t canvasHeight = canvas.Height();
    const int64_t columns =
        std::min<int64_t>(frame.Width(), int64_t(canvas.Width()) - descriptor.left);
    const int64_t frameHeight = frame.Height();
    for (int64_t r = 0; r < frameHeight; ++r) {
        const int64_t frameY = frameHeight - 1 - r;
        const int64_t canvasY = canvasHeight - 1 - (descriptor.top + r);
        for (int64_t c = 0; c < columns; ++c) {
            const uint8_t index = frame.IndexAt(c, frameY);
            if (int32_t(index) != transparentIndex)
                canvas.SetIndexAt(descriptor.left + c, canvasY, index);
        }
    }
}

// Writes decoded rows into a palette image (row 0 = top of the picture).
class ImageRows final : public GifRowOutput {
public:
    explicit ImageRows(CxImage& image) : image_(image) {}
    void PutRow(uint32_t row, std::span<const uint8_t> indices) override {
        if (row >= image_.Height())
            return;
        const uint32_t y = image_.Height() - 1 - row;
        const std::size_t n = std::min<std::size_t>(indices.size(), image_.Width());
        if (image_.BitsPerPixel() == 8) {
            std::memcpy(image_.Row(y), indices.data(), n);
            return;
        }
        for (std::size_t x = 0; x < n; ++x)
            image_.SetIndexAt(int64_t(x), y, indices[x]);
    }

private:
    CxImage& image_;
};

// Replaces `target`'s content with a deep copy of `source`.
void CopyInto(CxImage& target, const CxImage& source) {
    CxImage copy(source);
    target.TakeOver(copy);
}

bool FitsImageLimit(uint32_t width, uint32_t height, uint32_t bpp) {
    return (uint64_t(width) * height * bpp & ~uint64_t(7)) <= kMaxPixelBits;
}

uint32_t DepthForPalette(uint32_t paletteSize) {
    if (paletteSize <= 2)
        return 1;
    if (paletteSize <= 16)
        return 4;
    return 8;
}

// ---------------------------------------------------------------------------
// The decoding run shared by DecodeGif and DecodeAllGifFrames.

class GifDecoder {
public:
    GifDecoder(ByteSource& file, int32_t startTransparentIndex) : file_(file) {
        state_.transparentIndex = startTransparentIndex;
    }

    // Decodes up to image `requested` (or all images with `onFrame`), leaving
    // the result in Result(). False on the failures the callers report.
    bool Run(int32_t requested, const GifFrameCallback* onFrame);

    CxImage& Result() { return mosaic_ >= 2 ? mosaicImage_ : composite_; }
    int32_t FrameCount() const { return frameCount_; }
    GifDecodeError Error() const { return error_; }
    const std::string& ErrorText() const { return errorText_; }
    uint16_t ResultDelay() const { return resultDelay_; }
    uint8_t ResultDisposal() const { return resultDisposal_; }

private:
    enum class Step { Continue, Stop, Fail };

    bool ReadHeader();
    Step ProcessImage();
    bool PrepareCanvas(uint32_t bpp);
    void BuildFramePalette(const GifColorTable* table, uint32_t paletteSize);
    void ComposeOrdinary(const GifImageDescriptor& d);
    bool ComposeMosaic(const GifImageDescriptor& d);
    void FinishMosaic();
    bool Fail(GifDecodeError error, std::string text);
    bool Deliver(int32_t index);

    ByteSource& file_;
    GifHeader header_;
    GifColorTable globalTable_;
    GifControlState state_;
    int32_t frameCount_ = 0;
    int32_t requested_ = 0;
    int32_t mosaic_ = 0;
    int32_t firstTransparent_ = -1;
    uint8_t previousDisposal_ = 0;
    int32_t imageNumber_ = 0;
    int32_t delivered_ = 0; // frames handed to the callback so far
    bool stoppedByCaller_ = false;
    const GifFrameCallback* onFrame_ = nullptr;
    uint16_t resultDelay_ = 0;
    uint8_t resultDisposal_ = 0;
    GifDecodeError error_ = GifDecodeError::None;
    std::string errorText_;

    CxImage composite_{CXIMAGE_FORMAT_GIF}; // frame so far, the decoder's result
    CxImage canvas_{CXIMAGE_FORMAT_GIF};    // being composed for the current image
    CxImage saved_{CXIMAGE_FORMAT_GIF};     // what disposal 3 returns to
    CxImage frame_{CXIMAGE_FORMAT_GIF};     // the current image alone
    CxImage mosaicImage_{CXIMAGE_FORMAT_GIF};
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
    return true;
}

bool GifDecoder::Run(int32_t requested, const GifFrameCallback* onFrame) {
    onFrame_ = onFrame;
    if (!ReadHeader())
        return Fail(GifDecodeError::NotGif, kNotGifText);
    if (header_.HasGlobalTable())
        ReadColorTable(file_, header_.TableSize(), globalTable_);
    else
        mosaic_ = 1;

    const int64_t blocksStart = file_.Tell();
    frameCount_ = CountGifFrames(file_, header_, state_);
    requested_ = onFrame ? frameCount_ - 1 : requested;
    if (frameCount_ <= 0)
        return Fail(GifDecodeError::NoFrames, kNoFramesText);
    if (requested_ < 0 || requested_ >= frameCount_)
        return Fail(GifDecodeError::NoFrames, kNoFramesText);
    if (frameCount_ == 1)
        mosaic_ = 0;
    // Refuse an impossible screen before anything is allocated for it.
    if (!FitsImageLimit(header_.screenWidth, header_.screenHeight, 1))
        return Fail(GifDecodeError::TooLarge, "CXIMAGE_MAX_MEMORY exceeded");

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
    if (mosaic_ >= 2)
        FinishMosaic();
    saved_.Release();

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
    CxImage& image = Result();
    image.SetFrameIndex(index);
    image.SetFrameCount(frameCount_);
    ++delivered_;
    if (!(*onFrame_)(image, index))
        stoppedByCaller_ = true;
    return !stoppedByCaller_;
}

GifDecoder::Step GifDecoder::ProcessImage() {
    GifImageDescriptor d;
    if (!ReadDescriptor(file_, d))
        return Step::Stop;
    if (OutsideScreen(d, header_))
        return Step::Continue; // its table and data are scanned as blocks
    if (imageNumber_ == 0 && d.width != header_.screenWidth && d.height != header_.screenHeight)
        ++mosaic_;

    GifColorTable localTable;
    if (d.HasLocalTable())
        ReadColorTable(file_, d.TableSize(), localTable);
    const uint32_t paletteSize = d.HasLocalTable() ? d.TableSize() : header_.TableSize();
    const GifColorTable* table =
        d.HasLocalTable() ? &localTable : (globalTable_.present ? &globalTable_ : nullptr);
    const uint32_t bpp = DepthForPalette(paletteSize);

    if (mosaic_ < 2 && !PrepareCanvas(bpp))
        return Step::Fail;

    // A zero-sized image cannot be created; it still takes its turn as a frame
    // and contributes no pixels.
    const bool hasPixels = d.width > 0 && d.height > 0;
    if (hasPixels) {
        if (!frame_.Create(d.width, d.height, bpp, CXIMAGE_FORMAT_GIF)) {
            Fail(GifDecodeError::TooLarge, frame_.LastError());
            return Step::Fail;
        }
        // Rows a broken image never delivers stay index 0 instead of whatever
        // the allocation held.
        frame_.ClearPixels();
        BuildFramePalette(table, paletteSize);
    } else {
        frame_.Release();
    }

    const int64_t dataStart = file_.Tell();
    ImageRows rows(frame_);
    const LzwResult lzw =
        DecodeLzwImage(file_, hasPixels ? &rows : nullptr, d.width, d.height, d.IsInterlaced());

    if (mosaic_ < 2) {
        ComposeOrdinary(d);
    } else if (!ComposeMosaic(d)) {
        return Step::Fail;
    }
    previousDisposal_ = uint8_t((state_.flags >> 2) & 7);
    RepositionAfterImage(file_, dataStart, lzw);
    if (mosaic_ < 2 && previousDisposal_ <= 1)
        CopyInto(saved_, composite_);

    resultDelay_ = state_.delay;
    resultDisposal_ = previousDisposal_;
    if (mosaic_ < 2) {
        composite_.SetFrameDelay(resultDelay_);
        composite_.SetDisposalMethod(resultDisposal_);
        if (onFrame_ && !Deliver(imageNumber_))
            return Step::Stop;
    }
    if (imageNumber_ == requested_)
        return Step::Stop;
    ++imageNumber_;
    return Step::Continue;
}

bool GifDecoder::PrepareCanvas(uint32_t bpp) {
    if (imageNumber_ == 0) {
        if (!canvas_.Create(header_.screenWidth, header_.screenHeight, bpp, CXIMAGE_FORMAT_GIF))
            return Fail(GifDecodeError::TooLarge, canvas_.LastError());
        firstTransparent_ = state_.transparentIndex;
        FillWithIndex(canvas_, state_.rawTransparentIndex);
        CopyInto(saved_, canvas_);
        return true;
    }
    switch (previousDisposal_) {
    case 2: {
        // Back to the background: the whole screen becomes the first image's
        // transparent index (255, or the depth's highest index, when it had none).
        if (!canvas_.Create(composite_.Width(), composite_.Height(), composite_.BitsPerPixel(),
                            CXIMAGE_FORMAT_GIF))
            return Fail(GifDecodeError::TooLarge, canvas_.LastError());
        if (composite_.NumColors() > 0)
            canvas_.SetPaletteColors(
                std::span<const RgbQuad>(composite_.Palette(), composite_.NumColors()));
        FillWithIndex(canvas_, uint8_t(firstTransparent_));
        break;
    }
    case 3:
        CopyInto(canvas_, saved_);
        AlphaFromGrayImage(canvas_, saved_);
        break;
    default:
        CopyInto(canvas_, composite_);
        break;
    }
    return canvas_.IsValid() ||
           Fail(GifDecodeError::TooLarge, "CxImage::Create can't allocate memory");
}

void GifDecoder::BuildFramePalette(const GifColorTable* table, uint32_t paletteSize) {
    if (!table)
        return;
    std::array<uint8_t, 256> red{};
    std::array<uint8_t, 256> green{};
    std::array<uint8_t, 256> blue{};
    const uint32_t n = std::min<uint32_t>(table->size, 256);
    std::copy_n(table->red.begin(), n, red.begin());
    std::copy_n(table->green.begin(), n, green.begin());
    std::copy_n(table->blue.begin(), n, blue.begin());
    uint32_t offered = std::min<uint32_t>(paletteSize, 256);
    if (state_.transparentIndex >= 0) {
        std::fill(red.begin() + n, red.end(), 255);
        std::fill(green.begin() + n, green.end(), 255);
        std::fill(blue.begin() + n, blue.end(), 255);
        offered = 256;
    }
    SetPaletteFromRgb(frame_, std::span(red).first(offered), std::span(green).first(offered),
                      std::span(blue).first(offered));
}

void GifDecoder::ComposeOrdinary(const GifImageDescriptor& d) {
    if (frame_.IsValid()) {
        PasteFrame(canvas_, frame_, d, state_.transparentIndex);
        // The newest image's palette applies to the whole canvas. Only the
        // entries the frame really has are copied; the canvas keeps the rest.
        if (frame_.NumColors() > 0)
            canvas_.SetPaletteColors(
                std::span<const RgbQuad>(frame_.Palette(), frame_.NumColors()));
    }
    canvas_.SetTransparentIndex(firstTransparent_);
    composite_.TakeOver(canvas_);
    // An image without its own graphic control extension sees the composite's
    // transparent index, not the previous image's.
    state_.transparentIndex = composite_.TransparentIndex();
}

bool GifDecoder::ComposeMosaic(const GifImageDescriptor& d) {
    // Tiles of one true-colour picture: the whole file makes one frame.
    requested_ = frameCount_ - 1;
    if (!mosaicImage_.IsValid()) {
        if (!mosaicImage_.Create(header_.screenWidth, header_.screenHeight, 24, CXIMAGE_FORMAT_GIF))
            return Fail(GifDecodeError::TooLarge, mosaicImage_.LastError());
        mosaicImage_.ClearPixels(); // areas no tile covers are black
    }
    if (!frame_.IsValid())
        return true;
    const int64_t screenHeight = mosaicImage_.Height();
    for (uint32_t r = 0; r < frame_.Height(); ++r) {
        const int64_t y = screenHeight - 1 - (int64_t(d.top) + r);
        const int64_t frameY = int64_t(frame_.Height()) - 1 - r;
        for (uint32_t c = 0; c < frame_.Width(); ++c)
            mosaicImage_.SetColorAt(int64_t(d.left) + c, y, frame_.ColorAt(c, frameY));
    }
    return true;
}

void GifDecoder::FinishMosaic() {
    if (!mosaicImage_.IsValid())
        return;
    if (state_.flags & 1) {
        mosaicImage_.SetBackgroundColor(frame_.PaletteColor(uint32_t(state_.transparentIndex)));
        mosaicImage_.SetTransparentIndex(0);
    }
    mosaicImage_.SetFrameDelay(resultDelay_);
    mosaicImage_.SetDisposalMethod(resultDisposal_);
}

} // namespace

bool DecodeGif(ByteSource& file, CxImage& target) {
    GifDecoder decoder(file, target.TransparentIndex());
    const int32_t requested = target.FrameIndex();
    const bool ok = decoder.Run(requested, nullptr);
    target.SetFrameCount(decoder.FrameCount());
    if (!ok) {
        target.Release();
        target.SetLastError(decoder.ErrorText());
        return false;
    }
    CxImage& result = decoder.Result();
    if (result.IsValid()) {
        target.TakeOver(result);
    } else {
        target.Release();
    }
    target.SetFrameCount(decoder.FrameCount());
    target.SetFrameIndex(requested);
    target.SetFrameDelay(decoder.ResultDelay());
    target.SetDisposalMethod(decoder.ResultDisposal());
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
    GifDecoder decoder(file, -1);
    const bool ok = decoder.Run(0, &onFrame);
    if (summary) {
        summary->frameCount = decoder.FrameCount();
        summary->error = decoder.Error();
        summary->errorText = decoder.ErrorText();
    }
    return ok;
}
