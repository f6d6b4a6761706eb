#include "editor/frame_thumbnail.h"

#include <cmath>

#include "image/cximage.h"

QRect FitFrameInBox(QSize frameSize, const QRect& box) {
    const int64_t fw = frameSize.width();
    const int64_t fh = frameSize.height();
    const int64_t bw = box.width();
    const int64_t bh = box.height();
    if (fw <= 0 || fh <= 0 || bw <= 0 || bh <= 0)
        return {};
    if (fw < bw && fh < bh) {
        return {box.left() + int((bw - fw) / 2), box.top() + int((bh - fh) / 2), int(fw), int(fh)};
    }
    // Scale factor s = max(fw / bw, fh / bh); the side that gives it fills the
    // box exactly and the other is truncate(length / s), done in integers so
    // that a frame twice the box's width comes out exactly the box's width.
    if (fw * bh > fh * bw) {
        const int height = int(fh * bw / fw);
        return {box.left(), box.top() + int((bh - height) / 2), int(bw), height};
    }
    const int width = int(fw * bh / fh);
    return {box.left() + int((bw - width) / 2), box.top(), width, int(bh)};
}

QSize ThumbnailPixelSize(QSize frameSize, QSize logicalSize, double devicePixelRatio) {
    const int width = int(std::lround(logicalSize.width() * devicePixelRatio));
    const int height = int(std::lround(logicalSize.height() * devicePixelRatio));
    if (width >= frameSize.width() || height >= frameSize.height())
        return frameSize;
    return {width, height};
}

namespace {

// The frame's memory rows as an image, bottom row first (so upside down).
// 24-bit rows are blue, green, red triples and are wrapped without copying;
// palette depths are expanded.
QImage RowsAsImage(const CxImage& frame) {
    const int width = int(frame.Width());
    const int height = int(frame.Height());
    if (frame.BitsPerPixel() == 24) {
        return QImage(frame.Row(0), width, height, qsizetype(frame.Stride()),
                      QImage::Format_BGR888);
    }
    QImage rows(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* out = reinterpret_cast<QRgb*>(rows.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const RgbQuad c = frame.PaletteColor(frame.IndexAt(x, y));
            out[x] = qRgb(c.rgbRed, c.rgbGreen, c.rgbBlue);
        }
    }
    return rows;
}

} // namespace

QImage MakeThumbnail(const CxImage& frame, QSize pixelSize) {
    if (!frame.IsValid() || frame.Width() == 0 || frame.Height() == 0 || pixelSize.isEmpty())
        return {};
    const QImage rows = RowsAsImage(frame);
    const QImage sized = pixelSize == rows.size() ? rows
                                                  : rows.scaled(pixelSize, Qt::IgnoreAspectRatio,
                                                                Qt::SmoothTransformation);
    return sized.mirrored(false, true).convertToFormat(QImage::Format_RGB32);
}

const QImage* ThumbnailCache::Find(int32_t frame) {
    const auto it = index_.find(frame);
    if (it == index_.end())
        return nullptr;
    order_.splice(order_.begin(), order_, it->second);
    return &it->second->second;
}

void ThumbnailCache::Insert(int32_t frame, QImage image) {
    if (const auto it = index_.find(frame); it != index_.end()) {
        it->second->second = std::move(image);
        order_.splice(order_.begin(), order_, it->second);
        return;
    }
    order_.emplace_front(frame, std::move(image));
    index_.emplace(frame, order_.begin());
    Trim();
}

void ThumbnailCache::Clear() {
    index_.clear();
    order_.clear();
}

void ThumbnailCache::SetCapacity(std::size_t capacity) {
    capacity_ = capacity;
    Trim();
}

void ThumbnailCache::Trim() {
    while (order_.size() > capacity_) {
        index_.erase(order_.back().first);
        order_.pop_back();
    }
}
