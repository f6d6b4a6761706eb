// Feeds arbitrary bytes to both GIF entry points. Every row of every frame
// they deliver is read in full, so a frame whose buffer is shorter than its
// header claims shows up under AddressSanitizer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "image/byte_source.h"
#include "image/cximage.h"
#include "image/gif_decoder.h"
#include "image/image_types.h"
#include "touch_pixels.h"

namespace {

// Delivered frames are 24-bit by contract; every byte of their rows is read.
void CheckFrame(const CxImage& frame) {
    if (frame.IsValid() && frame.BitsPerPixel() != 24)
        std::abort();
    TouchPixels(frame);
}

bool DecodeOne(std::span<const uint8_t> data, int32_t index, CxImage& frame) {
    MemorySource source(data);
    frame.SetFrameIndex(index);
    const bool ok = DecodeGif(source, frame);
    if (ok)
        CheckFrame(frame);
    return ok;
}

// A screen the decoder accepts but that is larger than 4 megapixels runs the
// same code as a small one, only for seconds per input under the sanitizers,
// which would starve the search (and trip the timeout). Screens the decoder
// refuses stay in: the refusal comes before any allocation.
bool IsSlowBigScreen(std::span<const uint8_t> data) {
    if (data.size() < 10)
        return false;
    const uint64_t width = data[6] | (data[7] << 8), height = data[8] | (data[9] << 8);
    const uint64_t stride = (width * 24 + 31) / 32 * 4;
    return width * height > (uint64_t{1} << 22) && stride * height <= kMaxPixelBits / 8;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, std::size_t size) {
    const std::span<const uint8_t> data(bytes, size);
    if (IsSlowBigScreen(data))
        return 0;

    int32_t delivered = 0;
    {
        MemorySource source(data);
        GifDecodeSummary summary;
        DecodeAllGifFrames(
            source,
            [&](const CxImage& frame, int32_t index) {
                if (index != delivered)
                    std::abort(); // frames come in order, none skipped
                ++delivered;
                CheckFrame(frame);
                return true;
            },
            &summary);
    }

    CxImage first;
    DecodeOne(data, 0, first);
    const int32_t count = first.FrameCount();
    if (count > 1) {
        CxImage second;
        DecodeOne(data, 1, second);
    }
    if (count > 2) {
        CxImage last;
        DecodeOne(data, count - 1, last);
    }
    return 0;
}
