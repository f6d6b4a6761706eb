// Encoding a whole image into a memory block that a C library can take over.

#include <cstdlib>
#include <cstring>
#include <limits>

#include "image/byte_sink.h"
#include "image/cximage.h"
#include "image/gif_encoder.h"

bool CxImage::Encode(uint8_t*& buffer, int32_t& size, uint32_t imageType) {
    if (buffer != nullptr) {
        SetLastError("the buffer must be empty");
        return false;
    }
    MemorySink memory;
    switch (imageType) {
    case CXIMAGE_FORMAT_GIF: {
        CxImageGIF gif;
        gif.ShareView(*this);
        if (!gif.Encode(&memory)) {
            SetLastError(gif.LastError());
            return false;
        }
        break;
    }
    default:
        SetLastError("Encode: Unknown format");
        return false;
    }

    const std::vector<uint8_t>& bytes = memory.Data();
    if (bytes.size() > std::size_t(std::numeric_limits<int32_t>::max())) {
        SetLastError("Encode: image too large for a memory buffer");
        return false;
    }
    // malloc, because FreeEncodedBuffer releases with free().
    auto* block = static_cast<uint8_t*>(std::malloc(bytes.size()));
    if (!block) {
        SetLastError("Encode: can't allocate memory");
        return false;
    }
    std::memcpy(block, bytes.data(), bytes.size());
    buffer = block;
    size = int32_t(bytes.size());
    return true;
}
