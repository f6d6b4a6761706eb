#pragma once
// Thumbnails of recorded frames for the editor's strip: where a frame goes in
// its picture box, the shrunken picture itself, and a small cache of them, so
// a long recording costs only the rows the user looks at.

#include <QImage>
#include <QRect>
#include <QSize>

#include <cstddef>
#include <cstdint>
#include <list>
#include <unordered_map>
#include <utility>

class CxImage;

// Where a frame of `frameSize` is drawn inside `box`: unscaled and centred
// (integer halves) when it is smaller than the box both ways; otherwise shrunk
// so that it fills the box on one side (the height when both ratios are equal)
// and centred on the other. Empty for an empty frame or box.
QRect FitFrameInBox(QSize frameSize, const QRect& box);

// How many pixels a thumbnail drawn into `logicalSize` at `devicePixelRatio`
// needs: one per device pixel, but never more than the frame has (a small
// frame is enlarged by the painter, not stored larger).
QSize ThumbnailPixelSize(QSize frameSize, QSize logicalSize, double devicePixelRatio);

// The frame upright as an RGB32 picture of `pixelSize`, area-averaged when it
// is smaller than the frame. Reads the frame's rows in place; null for a frame
// without pixels or an empty size.
QImage MakeThumbnail(const CxImage& frame, QSize pixelSize);

// The most recently used thumbnails, keyed by frame number.
class ThumbnailCache {
public:
    explicit ThumbnailCache(std::size_t capacity) : capacity_(capacity) {}

    // The thumbnail of `frame`, now the most recently used; null when absent.
    const QImage* Find(int32_t frame);
    // Stores (or replaces) the thumbnail of `frame`, dropping the least
    // recently used ones beyond the capacity.
    void Insert(int32_t frame, QImage image);
    void Clear();
    std::size_t Size() const { return index_.size(); }
    std::size_t Capacity() const { return capacity_; }
    void SetCapacity(std::size_t capacity);

private:
    using Entry = std::pair<int32_t, QImage>;
    void Trim();

    std::list<Entry> order_; // most recently used first
    std::unordered_map<int32_t, std::list<Entry>::iterator> index_;
    std::size_t capacity_;
};
