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

#include <cstdint>
#include <functional>
#include <string>

#include "image/byte_source.h"
#include "image/cximage.h"

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
