#pragma once
// Internal to the image layer: the LZW stage of the GIF decoder. Only
// gif_decoder.cpp and the image layer's tests include this header; everyone
// else reads GIFs through image/gif_decoder.h.
//
// The decoder turns one image's compressed data into rows of palette indices
// and reports how the data ended, so the block reader knows where the next
// block starts. It is hardened like the rest of the reader: broken code
// streams degrade the picture but never read or write outside the tables,
// and decoding always ends.

#include <cstddef>
#include <cstdint>
#include <span>

#include "image/byte_source.h"

// Compressed data is read in chunks of this many bytes.
inline constexpr std::size_t kGifReadChunk = 16383;

// Receives decoded rows; `row` counts from the top of the image.
class GifRowOutput {
public:
    virtual ~GifRowOutput() = default;
    virtual void PutRow(uint32_t row, std::span<const uint8_t> indices) = 0;
};

enum class LzwStatus {
    EndCode,       // the end code was read
    EmptySubBlock, // a zero-length sub-block came before the end code
    FileEnded,     // the file ended inside the data
    BadCodeSize,   // minimum code size outside 2..11: nothing decoded
    TooManyPixels, // data went on past the last row
};

struct LzwResult {
    LzwStatus status = LzwStatus::EndCode;
    uint8_t minCodeSize = 0; // as read, also when it is refused
    uint32_t badCodes = 0;
    // Bytes read ahead into the chunk buffer but not consumed.
    std::size_t unconsumed = 0;
};

// Decodes one image's LZW data (starting at the minimum code size byte) into
// rows of `width` indices, interlaced or not; `rows` may be null to pass over
// the data. Never delivers more than `height` rows.
//
// Minimum code sizes 2 to 11 are decoded. Above 8 the codes start wider than
// the 8-bit indices a colour table can hold; ImageMagick and ffmpeg decode
// such data all the same, and so does this, keeping the low 8 bits of each
// literal. From 12 on the clear code alone needs 13 bits, past the 12-bit
// limit of GIF's code table, so the data cannot be real GIF and is refused.
LzwResult DecodeLzwImage(ByteSource& file, GifRowOutput* rows, uint32_t width, uint32_t height,
                         bool interlaced);
