#include "image/gif_encoder.h"

#include <algorithm>
#include <array>
#include <vector>

namespace {

constexpr int kHashSize = 5003; // a prime a little above 4096 keeps probe chains short
constexpr int kHashShift = 4;   // spreads the pixel over the hash range
constexpr int kMaxCodeBits = 12;
constexpr int kCodeLimit = 1 << kMaxCodeBits; // 4096 codes in all
constexpr int kSubBlockBytes = 254;
constexpr uint32_t kMaxGifSide = 65535; // the GIF size fields have 16 bits

// Remembers the first failed write so that one check at the end covers the
// whole stream, whatever the sink does after a failure.
class CheckedSink {
public:
    explicit CheckedSink(ByteSink& sink) : sink_(sink) {}
    void Write(std::span<const uint8_t> bytes) {
        if (ok_ && !sink_.Write(bytes))
            ok_ = false;
    }
    bool FlushAndCheck() {
        if (ok_ && !sink_.Flush())
            ok_ = false;
        return ok_;
    }

private:
    ByteSink& sink_;
    bool ok_ = true;
};

// Packs codes least significant bit first and cuts the bytes into sub-blocks.
class CodePacker {
public:
    explicit CodePacker(CheckedSink& out) : out_(out) {}

    void Put(int code, int bits) {
        bitBuffer_ |= uint32_t(code) << bitCount_;
        bitCount_ += bits;
        while (bitCount_ >= 8) {
            PutByte(uint8_t(bitBuffer_));
            bitBuffer_ >>= 8;
            bitCount_ -= 8;
        }
    }

    // Writes the partial last byte and the last, shorter sub-block.
    void Finish() {
        if (bitCount_ > 0)
            PutByte(uint8_t(bitBuffer_));
        bitBuffer_ = 0;
        bitCount_ = 0;
        WriteBlock();
    }

private:
    void PutByte(uint8_t b) {
        block_[1 + blockLength_++] = b;
        if (blockLength_ == kSubBlockBytes)
            WriteBlock();
    }
    void WriteBlock() {
        if (blockLength_ == 0)
            return;
        block_[0] = uint8_t(blockLength_);
        out_.Write(std::span<const uint8_t>(block_.data(), std::size_t(blockLength_) + 1));
        blockLength_ = 0;
    }

    CheckedSink& out_;
    uint32_t bitBuffer_ = 0;
    int bitCount_ = 0;
    std::array<uint8_t, kSubBlockBytes + 1> block_{};
    int blockLength_ = 0;
};

// GIF's variable-width LZW. The dictionary maps (prefix code, pixel) to a code
// through an open-addressing hash table; when all 4096 codes are taken it is
// thrown away and a clear code tells the decoder to do the same.
class LzwCompressor {
public:
    LzwCompressor(int minCodeSize, CodePacker& out)
        : out_(out), initialBits_(minCodeSize + 1), clearCode_(1 << minCodeSize),
          endCode_(clearCode_ + 1), keys_(kHashSize, kEmpty), codes_(kHashSize, 0) {
        ResetWidth();
        nextCode_ = clearCode_ + 2;
        Emit(clearCode_);
    }

    void Add(uint8_t pixel) {
        if (prefix_ < 0) {
            prefix_ = pixel;
            return;
        }
        const int32_t key = (int32_t(pixel) << kMaxCodeBits) + prefix_;
        const int slot = FindSlot(key, pixel);
        if (keys_[slot] == key) {
            prefix_ = codes_[slot];
            return;
        }
        Emit(prefix_);
        if (nextCode_ < kCodeLimit) {
            codes_[slot] = uint16_t(nextCode_++);
            keys_[slot] = key;
        } else {
            ClearDictionary();
        }
        prefix_ = pixel;
    }

    void Finish() {
        if (prefix_ >= 0)
            Emit(prefix_);
        Emit(endCode_);
        out_.Finish();
    }

private:
    static constexpr int32_t kEmpty = -1;

    // The slot holding `key`, or the empty slot where it belongs.
    int FindSlot(int32_t key, uint8_t pixel) const {
        int slot = (int(pixel) << kHashShift) ^ prefix_;
        if (keys_[slot] == key || keys_[slot] == kEmpty)
            return slot;
        const int step = slot == 0 ? 1 : kHashSize - slot;
        do {
            slot -= step;
            if (slot < 0)
                slot += kHashSize;
        } while (keys_[slot] != key && keys_[slot] != kEmpty);
        return slot;
    }

    void ClearDictionary() {
        std::fill(keys_.begin(), keys_.end(), kEmpty);
        nextCode_ = clearCode_ + 2;
        clearPending_ = true;
        Emit(clearCode_);
    }

    // The width changes after the code that needs it has gone out at the old
    // width, in step with the decoder, which grows its table one code later.
    void Emit(int code) {
        out_.Put(code, bits_);
        if (clearPending_) {
            ResetWidth();
            clearPending_ = false;
        } else if (nextCode_ > maxCode_) {
            ++bits_;
            maxCode_ = bits_ == kMaxCodeBits ? kCodeLimit : (1 << bits_) - 1;
        }
    }

    void ResetWidth() {
        bits_ = initialBits_;
        maxCode_ = (1 << bits_) - 1;
    }

    CodePacker& out_;
    const int initialBits_;
    const int clearCode_;
    const int endCode_;
    std::vector<int32_t> keys_;
    std::vector<uint16_t> codes_;
    int bits_ = 0;
    int maxCode_ = 0;
    int nextCode_ = 0;
    bool clearPending_ = false;
    int prefix_ = -1;
};

void PutLe16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

// Offsets the GIF fields cannot hold fall back to the origin.
uint32_t GifOffset(int32_t offset, uint32_t side) {
    return offset >= 0 && uint32_t(offset) + side <= kMaxGifSide ? uint32_t(offset) : 0;
}

} // namespace

bool CxImageGIF::Encode(ByteSink* file) {
    if (!file) {
        SetLastError("null file handler");
        return false;
    }
    if (!IsValid()) {
        SetLastError("null image!!!");
        return false;
    }
    const uint32_t bpp = BitsPerPixel();
    if (bpp > 8 || NumColors() == 0) {
        SetLastError("GIF: only palette images of up to 8 bits per pixel can be written");
        return false;
    }
    const uint32_t w = Width();
    const uint32_t h = Height();
    if (w > kMaxGifSide || h > kMaxGifSide) {
        SetLastError("GIF: width and height must not exceed 65535");
        return false;
    }

    std::vector<uint8_t> head;
    head.reserve(32 + 3 * 256);
    for (const char c : {'G', 'I', 'F', '8', '9', 'a'})
        head.push_back(uint8_t(c));
    PutLe16(head, w);
    PutLe16(head, h);
    head.push_back(uint8_t(0x80 | ((bpp - 1) << 5) | (bpp - 1)));
    head.push_back(0); // background colour index
    head.push_back(0); // pixel proportions: not given
    for (uint32_t i = 0; i < NumColors(); ++i) {
        const RgbQuad c = PaletteColor(i);
        head.insert(head.end(), {c.rgbRed, c.rgbGreen, c.rgbBlue});
    }

    const int32_t transparent = TransparentIndex();
    head.insert(head.end(), {0x21, 0xF9, 0x04});
    head.push_back(uint8_t((transparent != -1 ? 1 : 0) | ((DisposalMethod() & 7) << 2)));
    PutLe16(head, std::min<uint32_t>(FrameDelay(), 0xFFFF));
    head.push_back(uint8_t(transparent));
    head.push_back(0);

    head.push_back(0x2C);
    PutLe16(head, GifOffset(OffsetX(), w));
    PutLe16(head, GifOffset(OffsetY(), h));
    PutLe16(head, w);
    PutLe16(head, h);
    head.push_back(0x00); // no local colour table, not interlaced
    const int minCodeSize = std::max<int>(int(bpp), 2);
    head.push_back(uint8_t(minCodeSize));

    CheckedSink out(*file);
    out.Write(head);

    CodePacker packer(out);
    LzwCompressor lzw(minCodeSize, packer);
    // GIF rows run top to bottom; memory rows bottom to top.
    for (uint32_t row = h; row-- > 0;) {
        const uint8_t* pixels = Row(row);
        for (uint32_t x = 0; x < w; ++x)
            lzw.Add(IndexInPackedRow(pixels, x, bpp));
    }
    lzw.Finish();

    const uint8_t tail[] = {0x00, 0x3B}; // block terminator, trailer
    out.Write(tail);
    if (!out.FlushAndCheck()) {
        SetLastError("Write Error in GIF file");
        return false;
    }
    return true;
}
