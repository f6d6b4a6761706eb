#pragma once
// Last stage of a GIF build: one palette for all frames, identical neighbours
// merged, the looping animation written by libgd.

#include <cstdint>
#include <string>

#include "gif/progress.h"
#include "image/frame_list.h"

// Writes `frames` (24-bit, all one size, count >= 1) as a looping GIF at `path`.
// The frames are reduced to 8 bits in place. Reports progress 60..<95, 95, 100.
bool WriteAnimatedGif(const std::string& path, FrameList& frames, uint32_t frameRate, bool dither,
                      const ProgressSink& progress);
