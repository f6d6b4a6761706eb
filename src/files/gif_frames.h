#pragma once
// Every frame of a GIF file, composed the way a viewer shows it, as 24-bit
// frames of a recording: what the GIF import and the command line's GIF
// inputs load.

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>

#include "image/frame_list.h"

// Told after each frame joins the list, with how many frames of the file have
// joined so far and how many the file holds; returning false stops loading
// (a progress window's cancel button).
using GifLoadProgress = std::function<bool(int32_t framesSoFar, int32_t frameCount)>;

enum class GifLoadResult {
    Loaded,
    Failed,  // the reason is in `error`
    Stopped, // the progress callback said so
};

// Appends every composed frame of the GIF at `path` to `frames`, as 24-bit
// frames marked kept; each must have the size of the list's first frame.
// Frames appended before a failure or a stop stay in the list: the caller
// decides whether a partly loaded file is of any use. Once `*cancel` is set
// (by another thread) the file reads as ended, so the load stops at once,
// even in the pass that counts the frames; the result is then Stopped.
GifLoadResult LoadGifFrames(const QString& path, FrameList& frames, QString& error,
                            const GifLoadProgress& progress = {},
                            const std::atomic<bool>* cancel = nullptr);
