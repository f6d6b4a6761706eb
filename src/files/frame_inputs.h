#pragma once
// Turning the command line's inputs into a recording: image files, folders of
// images and GIFs, in the order given.

#include <QString>
#include <QStringList>

#include <memory>

#include "image/frame_list.h"

class QImage;

// A 24-bit bottom-up frame with the pixels of `image`.
std::unique_ptr<CxImage> FrameFromQImage(const QImage& image);

// Appends the frames of every input to `frames`, each marked kept: an image
// file is one frame, a folder gives its images in name order, a GIF gives its
// frames composed as the import sees them. Whether a file is a GIF goes by its
// first bytes, not its name. Every frame must have the size of the first. On
// failure returns false with a one-line reason in `error`.
bool LoadFrameInputs(const QStringList& inputs, FrameList& frames, QString& error);
