#pragma once
// A recording's frame as a Qt picture, for the windows that show frames.

#include <QImage>

class CxImage;

// The frame's pixels top row first; 24-bit frames are copied row by row,
// other depths through their colour table. Null for a frame without pixels.
QImage QImageFromFrame(const CxImage& frame);
