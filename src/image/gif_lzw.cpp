#include "image/gif_lzw.h"

#include <array>
#include <memory>
#include <vector>

namespace {

constexpr uint32_t kMaxLzwCodes = 4096;
constexpr std::size_t kLzwStackSize = 4095;
// The widest codes are 12 bits, so the first code after a clear (code size
// plus one bit) must fit in 12 bits as well.
constexpr uint8_t kMinCodeSize = 2;
constexpr uint8_t kMaxCodeSize = 11;

// Byte supply for the decoder: file data through a chunk buffer, split into
// the data sub-blocks.
class LzwBitReader {
public:
    explicit LzwBitReader(ByteSource& file) : file_(file), chunk_(kGifReadChunk) {}

    bool NextByte(uint8_t& byte) {
        if (position_ == filled_) {
            filled_ = file_.Read(chunk_);
            position_ = 0;
            if (filled_ == 0)
                return false;
        }
        byte = chunk_[position_++];
        return true;
    }

    enum class Result { Code, EmptySubBlock, FileEnded };

    // Codes are packed least-significant bit first across the sub-blocks.
    Result NextCode(uint32_t width, uint32_t& code) {
        while (bitCount_ < width) {
            if (subBlockLeft_ == 0) {
                uint8_t length = 0;
                if (!NextByte(length))
                    return Result::FileEnded;
                if (length == 0)
                    return Result::EmptySubBlock;
                subBlockLeft_ = length;
            }
            uint8_t byte = 0;
            if (!NextByte(byte))
                return Result::FileEnded;
            --subBlockLeft_;
            bits_ |= uint32_t(byte) << bitCount_;
            bitCount_ += 8;
        }
        code = bits_ & ((1u << width) - 1);
        bits_ >>= width;
        bitCount_ -= width;
        return Result::Code;
    }

    std::size_t Unconsumed() const { return filled_ - position_; }

private:
    ByteSource& file_;
    std::vector<uint8_t> chunk_;
    std::size_t filled_ = 0;
    std::size_t position_ = 0;
    uint32_t subBlockLeft_ = 0;
    uint32_t bits_ = 0;
    uint32_t bitCount_ = 0;
};

// Collects pixels into rows in the image's row order and refuses pixels past
// the last row.
class PixelRows {
public:
    PixelRows(GifRowOutput* output, uint32_t width, uint32_t height, bool interlaced)
        : output_(output), width_(width), height_(height), interlaced_(interlaced),
          done_(width == 0 || height == 0) {
        if (output_ && !done_)
            row_.resize(width);
    }

    bool Put(uint16_t index) {
        if (done_)
            return false;
        // Literals above 255 (code sizes 9 to 11) keep their low 8 bits, as
        // ffmpeg keeps them.
        if (output_)
            row_[x_] = uint8_t(index);
        if (++x_ == width_) {
            if (output_)
                output_->PutRow(y_, row_);
            x_ = 0;
            AdvanceRow();
        }
        return true;
    }

    // A partial last row is delivered as far as it goes.
    void Finish() {
        if (output_ && x_ > 0 && !done_)
            output_->PutRow(y_, std::span<const uint8_t>(row_.data(), x_));
        x_ = 0;
    }

private:
    void AdvanceRow() {
        if (!interlaced_) {
            done_ = ++y_ >= height_;
            return;
        }
        static constexpr uint32_t kStart[4] = {0, 4, 2, 1};
        static constexpr uint32_t kStep[4] = {8, 8, 4, 2};
        y_ += kStep[pass_];
        while (y_ >= height_) {
            if (++pass_ == 4) {
                done_ = true;
                return;
            }
            y_ = kStart[pass_];
        }
    }

    GifRowOutput* output_;
    uint32_t width_;
    uint32_t height_;
    bool interlaced_;
    bool done_;
    std::vector<uint8_t> row_;
    uint32_t x_ = 0;
    uint32_t y_ = 0;
    uint32_t pass_ = 0;
};

class LzwDecoder {
public:
    LzwDecoder(uint32_t minCodeSize, PixelRows& rows)
        : minCodeSize_(minCodeSize), clear_(1u << minCodeSize), end_(clear_ + 1), rows_(rows) {
        Reset();
    }

    LzwResult Run(LzwBitReader& reader) {
        LzwResult result;
        bool afterClear = true;
        for (;;) {
            uint32_t code = 0;
            const auto got = reader.NextCode(width_, code);
            if (got == LzwBitReader::Result::EmptySubBlock) {
                result.status = LzwStatus::EmptySubBlock;
                break;
            }
            if (got == LzwBitReader::Result::FileEnded) {
                result.status = LzwStatus::FileEnded;
                break;
            }
            if (code == clear_) {
                Reset();
                afterClear = true;
                continue;
            }
            if (code == end_) {
                result.status = LzwStatus::EndCode;
                break;
            }
            const bool emitted = afterClear ? FirstCode(code) : NextCode(code, result.badCodes);
            afterClear = false;
            if (!emitted) {
                result.status = LzwStatus::TooManyPixels;
                break;
            }
        }
        rows_.Finish();
        return result;
    }

private:
    void Reset() {
        width_ = minCodeSize_ + 1;
        freeCode_ = clear_ + 2;
    }

    // The first code after a clear (or at the start) is a single pixel.
    bool FirstCode(uint32_t code) {
        if (code >= freeCode_)
            code = 0;
        oldCode_ = code;
        firstChar_ = uint16_t(code);
        return rows_.Put(uint16_t(code));
    }

    bool NextCode(uint32_t code, uint32_t& badCodes) {
        const uint32_t incoming = code;
        std::size_t depth = 0;
        if (code >= freeCode_) {
            // Not in the table yet: the old string followed by its own first
            // character. Beyond the next free code the data is broken, but it is
            // decoded the same way so the picture degrades rather than stops.
            if (code > freeCode_)
                ++badCodes;
            stack_[depth++] = firstChar_;
            code = oldCode_;
        }
        // Broken data can make chains that never reach a root; the stack bound
        // cuts them.
        while (code >= clear_ && depth < kLzwStackSize) {
            stack_[depth++] = suffix_[code];
            code = prefix_[code];
        }
        if (code < clear_ && depth < kLzwStackSize)
            stack_[depth++] = uint16_t(code);
        firstChar_ = stack_[depth - 1];
        while (depth > 0) {
            if (!rows_.Put(stack_[--depth]))
                return false;
        }
        if (freeCode_ < kMaxLzwCodes) {
            prefix_[freeCode_] = uint16_t(oldCode_);
            suffix_[freeCode_] = firstChar_;
            ++freeCode_;
            oldCode_ = incoming;
            if (freeCode_ >= (1u << width_) && width_ < 12)
                ++width_;
        }
        return true;
    }

    uint32_t minCodeSize_;
    uint32_t clear_;
    uint32_t end_;
    PixelRows& rows_;
    uint32_t width_ = 0;
    uint32_t freeCode_ = 0;
    uint32_t oldCode_ = 0;
    uint16_t firstChar_ = 0;
    std::array<uint16_t, kMaxLzwCodes> prefix_{};
    std::array<uint16_t, kMaxLzwCodes> suffix_{};
    std::array<uint16_t, kMaxLzwCodes> stack_{};
};

} // namespace

LzwResult DecodeLzwImage(ByteSource& file, GifRowOutput* rows, uint32_t width, uint32_t height,
                         bool interlaced) {
    LzwBitReader reader(file);
    LzwResult result;
    uint8_t minCodeSize = 0;
    if (!reader.NextByte(minCodeSize)) {
        result.status = LzwStatus::FileEnded;
        return result;
    }
    result.minCodeSize = minCodeSize;
    if (minCodeSize < kMinCodeSize || minCodeSize > kMaxCodeSize) {
        result.status = LzwStatus::BadCodeSize;
        result.unconsumed = reader.Unconsumed();
        return result;
    }
    PixelRows pixels(rows, width, height, interlaced);
    // The code tables take 24 KB, too much for every caller's stack.
    auto decoder = std::make_unique<LzwDecoder>(minCodeSize, pixels);
    result = decoder->Run(reader);
    result.minCodeSize = minCodeSize;
    result.unconsumed = reader.Unconsumed();
    return result;
}
