#pragma once
// The checks a frame read from a file passes before it joins a recording,
// shared by every loader so they refuse the same things with the same words.

#include <QString>

#include <memory>

#include "image/frame_list.h"

// `path` in single quotes, the way error texts name files.
QString QuotedPath(const QString& path);

// Appends `frame` (read from `source`) to `frames`, marked kept. Refused with a
// one-line reason in `error` when the frame holds no picture or its size
// differs from the first frame's: a recording has one size throughout.
bool AppendLoadedFrame(FrameList& frames, std::unique_ptr<CxImage> frame, const QString& source,
                       QString& error);
