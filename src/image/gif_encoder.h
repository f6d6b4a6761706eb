#pragma once
// Single-image GIF89a writer. libgd assembles the animation from GIF data in
// memory, so every prepared frame passes through here on its way into the file.

#include <cstdint>

#include "image/byte_sink.h"
#include "image/cximage.h"

// The GIF codec. It looks at the frame through a shared view, so encoding never
// copies the pixels:
//     CxImageGIF gif;
//     gif.ShareView(frame);
//     gif.Encode(&sink);
class CxImageGIF : public CxImage {
public:
    CxImageGIF() : CxImage(CXIMAGE_FORMAT_GIF) {}

    // Writes header, global colour table, graphic control block, one image and
    // the trailer. Only palette images (1, 4 or 8 bits) can be written: a GIF
    // cannot hold more than 256 colours, and turning a true-colour image into
    // one needs a palette chosen by the caller. On failure the last error says
    // why and the sink may hold a partial stream.
    bool Encode(ByteSink* file);
};
