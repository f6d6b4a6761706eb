#pragma once
// First stage of a GIF build: copies of the kept frames with their subtitles
// burnt in, shrunk to the GIF size.

#include <cstdint>

#include "gif/progress.h"
#include "gif/subtitle.h"
#include "image/frame_list.h"

class TextRasterizer;

// Draws onto `image` every subtitle of `subtitles` that covers `frameNumber`
// (1-based), in list order, with `text` doing the lettering.
void BurnSubtitles(CxImage& image, int32_t frameNumber, const SubtitleList& subtitles,
                   TextRasterizer& text);

// Appends to `prepared` one GIF-ready copy per kept frame of `frames`, of size
// ScaledLength(rect width, scale) x ScaledLength(rect height, scale).
// Reports progress from 0 to below 60.
void PrepareFrames(const FrameList& frames, const CaptureRect& rect, float scale,
                   const SubtitleList& subtitles, TextRasterizer& text, FrameList& prepared,
                   const ProgressSink& progress);
