#pragma once
// Reading GIF files (GIF87a and GIF89a) into images. Frame i is the picture a
// viewer shows while image i of the file is on screen: the images before it
// composed on a canvas of the logical-screen size by their disposal methods and
// transparency, image i pasted on top.
//
// Two ways in: DecodeGif delivers one frame and starts again at the beginning of
// the file for every call (decoding frame i costs images 0..i), while
// DecodeAllGifFrames composes every frame in a single pass and hands each one to
// a callback, so reading a whole file is linear in its frame count. Both give
// the same pixels for the same frame.
//
// The reader is hardened against broken and hostile files: it never reads or
// writes outside its buffers, never allocates more than the image size limit
// allows, and always ends. Pixels a broken image never delivered are index 0.

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "image/byte_source.h"
#include "image/cximage.h"

// Compressed data is read in chunks of this many bytes.
inline constexpr std::size_t kGifReadChunk = 16383;

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

// Reads one extension (the 0x21 introducer already consumed). False when
// parsing cannot go on.
bool ReadGifExtension(ByteSource& file, GifControlState& state);

// Counts the images inside the logical screen from the current position and
// returns there. A 0 x 0 screen takes the first image's size. Reads the
// extensions on the way, so `state` ends holding the file's last graphic
// control extension.
int32_t CountGifFrames(ByteSource& file, GifHeader& header, GifControlState& state);

// Copies `frame` onto `canvas` at the descriptor's position, skipping pixels of
// `transparentIndex` (-1: none). Indices are truncated to the canvas's depth.
void PasteFrame(CxImage& canvas, const CxImage& frame, const GifImageDescriptor& descriptor,
                int32_t transparentIndex);

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
    BadCodeSize,   // minimum code size outside 2..9: nothing decoded
    TooManyPixels, // data went on past the last row
};

struct LzwResult {
    LzwStatus status = LzwStatus::EndCode;
    uint32_t badCodes = 0;
    // Bytes read ahead into the chunk buffer but not consumed.
    std::size_t unconsumed = 0;
};

// Decodes one image's LZW data (starting at the minimum code size byte) into
// rows of `width` indices, interlaced or not; `rows` may be null to pass over
// the data. Never delivers more than `height` rows.
LzwResult DecodeLzwImage(ByteSource& file, GifRowOutput* rows, uint32_t width, uint32_t height,
                         bool interlaced);

// Decodes the frame chosen by the target's frame index. The target's
// transparent index (-1 for a fresh image) seeds the current transparent
// index. False when the file is not a GIF, the index is out of range or the
// logical screen exceeds the image size limit; the frame count is stored in
// the target either way and the reason is its last error. True otherwise,
// also when the data ends before the requested image (the target then holds
// the composite of the last image decoded, or no pixels at all).
bool DecodeGif(ByteSource& file, CxImage& target);

// DecodeGif on the file at `path`; a file that cannot be opened fails with
// the system's reason as the target's last error.
bool DecodeGifFile(const std::string& path, CxImage& target);

// Called with every composed frame in order; return false to stop early.
using GifFrameCallback = std::function<bool(const CxImage& composedFrame, int32_t index)>;

enum class GifDecodeError {
    None,
    NotGif,
    NoFrames,
    TooLarge, // an image the screen needs exceeds the image size limit
};

struct GifDecodeSummary {
    int32_t frameCount = 0;
    GifDecodeError error = GifDecodeError::None;
    std::string errorText;
};

// Composes every frame in one pass and calls `onFrame` for frames 0 .. count-1,
// each equal to what DecodeGif delivers for that index. False (and the reason
// in `summary`) on the failures DecodeGif reports.
bool DecodeAllGifFrames(ByteSource& file, const GifFrameCallback& onFrame,
                        GifDecodeSummary* summary = nullptr);
