#include "files/frame_qimage.h"

#include <cstring>

#include "image/cximage.h"

QImage QImageFromFrame(const CxImage& frame) {
    if (!frame.IsValid() || frame.Width() == 0 || frame.Height() == 0)
        return {};
    const int width = int(frame.Width());
    const int height = int(frame.Height());
    // Blue, green, red in memory: the frame's own byte order.
    QImage image(width, height, QImage::Format_BGR888);
    if (image.isNull())
        return {};
    const bool packed = frame.BitsPerPixel() == 24;
    for (int y = 0; y < height; ++y) {
        const uint32_t memoryRow = uint32_t(height - 1 - y); // rows run bottom-up
        uchar* dst = image.scanLine(y);
        if (packed) {
            std::memcpy(dst, frame.Row(memoryRow), std::size_t(width) * 3);
            continue;
        }
        for (int x = 0; x < width; ++x, dst += 3) {
            const RgbQuad c = frame.ColorAt(x, memoryRow);
            dst[0] = c.rgbBlue;
            dst[1] = c.rgbGreen;
            dst[2] = c.rgbRed;
        }
    }
    return image;
}
