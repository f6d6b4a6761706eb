#pragma once
// Writes small GIF files byte by byte for decoder tests, so every block of a
// test file is chosen on purpose (disposal, palettes, interlace, broken data).
// Image data is written with the simplest valid LZW stream: literal codes
// only, with a clear code before the table would widen the code size.

#include <cstdint>
#include <string>
#include <vector>

namespace gif_test {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};

// A table of `n` distinct colours: entry i = (i, 255 - i, (i * 7) & 255).
inline std::vector<Rgb> DistinctTable(uint32_t n) {
    std::vector<Rgb> t(n);
    for (uint32_t i = 0; i < n; ++i)
        t[i] = Rgb{uint8_t(i), uint8_t(255 - i), uint8_t((i * 7) & 255)};
    return t;
}

// log2(size) - 1, the GIF size bits of a table of `size` entries (2..256).
inline uint8_t TableBits(std::size_t size) {
    uint8_t bits = 0;
    while ((2u << bits) < size)
        ++bits;
    return bits;
}

struct ImagePlan {
    uint16_t left = 0, top = 0, width = 0, height = 0;
    std::vector<uint8_t> pixels; // width x height indices, top row first
    std::vector<Rgb> localTable; // empty: none
    bool interlaced = false;
    uint8_t minCodeSize = 8;
    bool endCode = true; // false: the data ends with the empty sub-block only
};

class GifBuilder {
public:
    GifBuilder& Header(uint16_t width, uint16_t height, const std::vector<Rgb>& globalTable,
                       uint8_t tableBitsWithoutTable = 7) {
        Append("GIF89a");
        Le16(width);
        Le16(height);
        if (globalTable.empty()) {
            bytes.push_back(tableBitsWithoutTable & 7);
        } else {
            bytes.push_back(uint8_t(0x80 | TableBits(globalTable.size())));
        }
        bytes.push_back(0); // background
        bytes.push_back(0); // pixel ratio
        WriteTable(globalTable);
        return *this;
    }

    // The header's background colour index (0 unless set here).
    GifBuilder& BackgroundIndex(uint8_t index) {
        bytes.at(11) = index;
        return *this;
    }

    // Graphic control extension: disposal 0..7, transparent index or -1.
    GifBuilder& Control(uint8_t disposal, int transparent = -1, uint16_t delay = 0,
                        uint8_t rawTransparent = 0) {
        bytes.insert(bytes.end(), {0x21, 0xF9, 4});
        uint8_t flags = uint8_t((disposal & 7) << 2);
        if (transparent >= 0)
            flags |= 1;
        bytes.push_back(flags);
        Le16(delay);
        bytes.push_back(transparent >= 0 ? uint8_t(transparent) : rawTransparent);
        bytes.push_back(0);
        return *this;
    }

    GifBuilder& Comment(const std::string& text) {
        bytes.insert(bytes.end(), {0x21, 0xFE});
        if (!text.empty()) {
            bytes.push_back(uint8_t(text.size()));
            Append(text);
        }
        bytes.push_back(0);
        return *this;
    }

    GifBuilder& Loop(uint16_t count) {
        bytes.insert(bytes.end(), {0x21, 0xFF, 11});
        Append("NETSCAPE2.0");
        bytes.insert(bytes.end(), {3, 1});
        Le16(count);
        bytes.push_back(0);
        return *this;
    }

    GifBuilder& Image(const ImagePlan& s) {
        bytes.push_back(0x2C);
        Le16(s.left);
        Le16(s.top);
        Le16(s.width);
        Le16(s.height);
        uint8_t flags = s.interlaced ? 0x40 : 0;
        if (!s.localTable.empty())
            flags |= uint8_t(0x80 | TableBits(s.localTable.size()));
        bytes.push_back(flags);
        WriteTable(s.localTable);
        bytes.push_back(s.minCodeSize);
        WriteSubBlocks(EncodeLiterals(InFileOrder(s), s.minCodeSize, s.endCode));
        return *this;
    }

    // Descriptor and raw data bytes as given (for broken images).
    GifBuilder& RawImage(uint16_t left, uint16_t top, uint16_t width, uint16_t height,
                         const std::vector<uint8_t>& afterDescriptor, uint8_t flags = 0) {
        bytes.push_back(0x2C);
        Le16(left);
        Le16(top);
        Le16(width);
        Le16(height);
        bytes.push_back(flags);
        bytes.insert(bytes.end(), afterDescriptor.begin(), afterDescriptor.end());
        return *this;
    }

    GifBuilder& Raw(const std::vector<uint8_t>& raw) {
        bytes.insert(bytes.end(), raw.begin(), raw.end());
        return *this;
    }

    GifBuilder& Trailer() {
        bytes.push_back(0x3B);
        return *this;
    }

    // LZW data of literal codes, least-significant bit first, without sub-blocks.
    static std::vector<uint8_t> EncodeLiterals(const std::vector<uint8_t>& pixels,
                                               uint8_t minCodeSize, bool endCode) {
        const uint32_t clear = 1u << minCodeSize;
        const uint32_t width = minCodeSize + 1u;
        std::vector<uint8_t> out;
        uint32_t acc = 0, bits = 0;
        auto put = [&](uint32_t code) {
            acc |= code << bits;
            bits += width;
            while (bits >= 8) {
                out.push_back(uint8_t(acc));
                acc >>= 8;
                bits -= 8;
            }
        };
        // After a clear the decoder adds one entry per code but the first; it
        // widens once the table reaches 2 * clear, so clear-2 literals are safe.
        const uint32_t run = clear - 2;
        uint32_t sinceClear = run;
        for (uint8_t p : pixels) {
            if (sinceClear == run) {
                put(clear);
                sinceClear = 0;
            }
            put(p & (clear - 1));
            ++sinceClear;
        }
        if (endCode)
            put(clear + 1);
        if (bits > 0)
            out.push_back(uint8_t(acc));
        return out;
    }

    void WriteSubBlocks(const std::vector<uint8_t>& data) {
        for (std::size_t i = 0; i < data.size(); i += 255) {
            const std::size_t n = std::min<std::size_t>(255, data.size() - i);
            bytes.push_back(uint8_t(n));
            bytes.insert(bytes.end(), data.begin() + long(i), data.begin() + long(i + n));
        }
        bytes.push_back(0);
    }

    std::vector<uint8_t> bytes;

private:
    static std::vector<uint8_t> InFileOrder(const ImagePlan& s) {
        if (!s.interlaced)
            return s.pixels;
        std::vector<uint8_t> out;
        const uint32_t starts[4] = {0, 4, 2, 1};
        const uint32_t steps[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (uint32_t row = starts[pass]; row < s.height; row += steps[pass])
                out.insert(out.end(), s.pixels.begin() + long(row) * s.width,
                           s.pixels.begin() + long(row + 1) * s.width);
        return out;
    }

    void WriteTable(const std::vector<Rgb>& table) {
        if (table.empty())
            return;
        const std::size_t size = 2u << TableBits(table.size());
        for (std::size_t i = 0; i < size; ++i) {
            const Rgb c = i < table.size() ? table[i] : Rgb{};
            bytes.insert(bytes.end(), {c.r, c.g, c.b});
        }
    }

    void Le16(uint16_t v) {
        bytes.push_back(uint8_t(v));
        bytes.push_back(uint8_t(v >> 8));
    }

    void Append(const std::string& s) { bytes.insert(bytes.end(), s.begin(), s.end()); }
};

// Every pixel of a w x h image set to `index`.
inline std::vector<uint8_t> Solid(uint16_t w, uint16_t h, uint8_t index) {
    return std::vector<uint8_t>(std::size_t(w) * h, index);
}

} // namespace gif_test
