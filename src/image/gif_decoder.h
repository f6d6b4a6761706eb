#pragma once
// Reading GIF files (GIF87a and GIF89a) into images. Frame i is the picture a
// viewer shows while image i of the file is on screen: the images before it
// composed on a canvas of the logical-screen size by their disposal methods and
// transparency, image i pasted on top.
//
// Composition is in 24-bit colour, as browsers, ImageMagick and ffmpeg do it:
// - every image's pixels go through its own colour table (its local table,
//   else the global one), so earlier pixels keep their colours whatever table
//   a later image brings; entries a table lacks are black, and indices keep
//   their low 8 bits;
// - only the image's own transparent index is skipped; an image without a
//   graphic control extension has none (its delay and disposal are those of
//   the last extension read);
// - disposal 2 clears the image's rectangle to the background before the next
//   image, disposal 3 puts back what the rectangle held before the image;
// - an image reaching past the logical screen is clipped to it, and is a frame
//   like any other.
// The background is what pixels nothing painted show: the area outside the
// first image, its transparent pixels, and rectangles disposal 2 cleared. It
// is the global table's background entry, or black for a file without a
// global table (viewers differ there: ImageMagick shows white, ffmpeg leaves
// it transparent).
//
// Delivered frames are 24-bit, opaque, with no palette and transparent index
// -1. Each carries the frame count, its index, and the delay and disposal of
// its image.
//
// Two ways in: DecodeGif delivers one frame and starts again at the beginning of
// the file for every call (decoding frame i costs images 0..i), while
// DecodeAllGifFrames composes every frame in a single pass and hands each one to
// a callback, so reading a whole file is linear in its frame count. Both give
// the same pixels for the same frame.
//
// The reader is hardened against broken and hostile files: it never reads or
// writes outside its buffers, refuses a screen whose 24-bit canvas exceeds the
// image size limit before allocating anything (images are decoded a row at a
// time straight onto the canvas, so no image needs memory of its own), and
// always ends. Rows a broken image never delivered keep what was under them,
// as in browsers. Image data with an LZW code size that cannot be decoded
// (outside 2..11) ends decoding with an error rather than a made-up picture.

#include <cstdint>
#include <functional>
#include <string>

#include "image/byte_source.h"
#include "image/cximage.h"

// Decodes the frame chosen by the target's frame index. False when the file
// is not a GIF, the index is out of range, the logical screen is empty or
// exceeds the image size limit, or an image up to the requested one cannot be
// decoded; the frame count is stored in the target either way and the reason
// is its last error. True otherwise, also when the data ends before the
// requested image (the target then holds the composite of the last image
// decoded, or no pixels at all).
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
    TooLarge, // the screen's 24-bit canvas exceeds the image size limit
    BadData,  // an empty screen, or image data that cannot be decoded
};

struct GifDecodeSummary {
    int32_t frameCount = 0;
    GifDecodeError error = GifDecodeError::None;
    std::string errorText;
};

// Composes every frame in one pass and calls `onFrame` for frames 0 .. count-1,
// each equal to what DecodeGif delivers for that index. False (and the reason
// in `summary`) on the failures DecodeGif reports; frames before an image
// that cannot be decoded have been delivered by then.
bool DecodeAllGifFrames(ByteSource& file, const GifFrameCallback& onFrame,
                        GifDecodeSummary* summary = nullptr);
