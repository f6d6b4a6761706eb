// The single-image GIF writer, checked by decoders that share no code with it:
// Qt's GIF plugin, ImageMagick and gifsicle, plus a small LZW reader here that
// also counts clear codes.

#include "image/gif_encoder.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "image/cximage.h"
#include "test_files.h"

using testing_support::HaveProgram;
using testing_support::RunProgram;
using testing_support::WriteWholeFile;

namespace {

// Entry i of the test palette; every entry differs, so a decoded colour names
// its index.
RgbQuad TestColor(uint32_t i) {
    return MakeQuad(uint8_t(i), uint8_t(255 - i), uint8_t((i * 7 + 3) & 0xFF));
}

using IndexFn = std::function<uint8_t(uint32_t x, uint32_t rowFromTop)>;

// A palette image whose pixel (x, row counted from the top) is fn(x, row);
// without fn every pixel is index 0.
std::unique_ptr<CxImage> MakeIndexed(uint32_t w, uint32_t h, uint32_t bpp,
                                     const IndexFn& fn = nullptr) {
    auto img = std::make_unique<CxImage>();
    EXPECT_NE(img->Create(w, h, bpp), nullptr);
    for (uint32_t i = 0; i < img->NumColors(); ++i)
        img->SetPaletteColor(i, TestColor(i));
    img->ClearPixels();
    if (fn) {
        for (uint32_t row = 0; row < h; ++row)
            for (uint32_t x = 0; x < w; ++x)
                img->SetIndexAt(x, h - 1 - row, fn(x, row));
    }
    return img;
}

// Indices in GIF order: top row first.
std::vector<uint8_t> TopDownIndices(const CxImage& img) {
    std::vector<uint8_t> out;
    out.reserve(std::size_t(img.Width()) * img.Height());
    for (uint32_t row = 0; row < img.Height(); ++row) {
        const uint32_t y = img.Height() - 1 - row;
        if (img.BitsPerPixel() == 8) {
            out.insert(out.end(), img.Row(y), img.Row(y) + img.Width());
            continue;
        }
        for (uint32_t x = 0; x < img.Width(); ++x)
            out.push_back(img.IndexAt(x, y));
    }
    return out;
}

// Red, green, blue of each index's palette colour.
std::vector<uint8_t> ExpectedRgb(const std::vector<uint8_t>& indices) {
    std::vector<uint8_t> rgb(indices.size() * 3);
    uint8_t* out = rgb.data();
    for (const uint8_t i : indices) {
        const RgbQuad c = TestColor(i);
        *out++ = c.rgbRed;
        *out++ = c.rgbGreen;
        *out++ = c.rgbBlue;
    }
    return rgb;
}

QByteArray EncodeGif(CxImage& img) {
    uint8_t* buffer = nullptr;
    int32_t size = 0;
    if (!img.Encode(buffer, size, CXIMAGE_FORMAT_GIF)) {
        ADD_FAILURE() << "Encode failed: " << img.LastError();
        return {};
    }
    QByteArray bytes(reinterpret_cast<const char*>(buffer), size);
    CxImage::FreeEncodedBuffer(buffer);
    return bytes;
}

// A plain GIF reader for the first image: LZW data decoded by the book, with
// the number of clear codes seen. Empty when the stream is malformed.
struct LzwImage {
    std::vector<uint8_t> indices;
    int clearCodes = 0;
};

std::optional<LzwImage> ReadFirstImage(const QByteArray& gif) {
    const auto* p = reinterpret_cast<const uint8_t*>(gif.constData());
    const std::size_t n = std::size_t(gif.size());
    std::size_t pos = 13;
    if (n < pos)
        return std::nullopt;
    if (p[10] & 0x80)
        pos += 3u << ((p[10] & 7) + 1);
    auto skipSubBlocks = [&]() {
        while (pos < n && p[pos] != 0)
            pos += p[pos] + 1u;
        ++pos;
    };
    while (pos < n && p[pos] == 0x21) {
        pos += 2;
        skipSubBlocks();
    }
    if (pos + 11 > n || p[pos] != 0x2C)
        return std::nullopt;
    const uint32_t w = p[pos + 5] | (p[pos + 6] << 8);
    const uint32_t h = p[pos + 7] | (p[pos + 8] << 8);
    const int minCodeSize = p[pos + 10];
    pos += 11;
    std::vector<uint8_t> data;
    while (pos < n && p[pos] != 0) {
        const std::size_t len = p[pos];
        if (pos + 1 + len > n)
            return std::nullopt;
        data.insert(data.end(), p + pos + 1, p + pos + 1 + len);
        pos += len + 1;
    }
    if (minCodeSize < 2 || minCodeSize > 8)
        return std::nullopt;

    LzwImage out;
    const int clear = 1 << minCodeSize;
    const int end = clear + 1;
    std::vector<int> prefix(4096, -1);
    std::vector<uint8_t> suffix(4096, 0);
    for (int i = 0; i < clear; ++i)
        suffix[i] = uint8_t(i);
    int width = minCodeSize + 1;
    int next = clear + 2;
    int previous = -1;
    std::size_t bitPos = 0;
    std::vector<uint8_t> text;
    auto expand = [&](int code) {
        text.clear();
        for (; code >= 0; code = prefix[code])
            text.push_back(suffix[code]);
        std::reverse(text.begin(), text.end());
    };
    for (;;) {
        if (bitPos + width > data.size() * 8)
            return std::nullopt; // no end code
        int code = 0;
        for (int b = 0; b < width; ++b, ++bitPos)
            code |= ((data[bitPos / 8] >> (bitPos % 8)) & 1) << b;
        if (code == clear) {
            ++out.clearCodes;
            width = minCodeSize + 1;
            next = clear + 2;
            previous = -1;
            continue;
        }
        if (code == end)
            break;
        if (previous < 0) {
            if (code >= clear)
                return std::nullopt;
            expand(code);
        } else if (code < next) {
            expand(code);
            if (next < 4096) {
                prefix[next] = previous;
                suffix[next++] = text.front();
            }
        } else if (code == next && next < 4096) {
            expand(previous);
            text.push_back(text.front());
            prefix[next] = previous;
            suffix[next++] = text.front();
        } else {
            return std::nullopt;
        }
        out.indices.insert(out.indices.end(), text.begin(), text.end());
        previous = code;
        if (next == (1 << width) && width < 12)
            ++width;
    }
    if (out.indices.size() != std::size_t(w) * h)
        return std::nullopt;
    return out;
}

// Compares decoded colours (red, green, blue per pixel, top row first) with
// the expected ones; names the first pixel that differs.
::testing::AssertionResult SameRgb(const std::vector<uint8_t>& expected, const uint8_t* decoded,
                                   std::size_t offset = 0) {
    for (std::size_t i = 0; i < expected.size(); i += 3) {
        if (std::memcmp(&expected[i], decoded + i, 3) != 0)
            return ::testing::AssertionFailure() << "pixel " << (offset + i) / 3 << " differs";
    }
    return ::testing::AssertionSuccess();
}

void RequireTools() {
    ASSERT_TRUE(HaveProgram("gifsicle")) << "gifsicle is required (scripts/deps.sh installs it)";
    ASSERT_TRUE(HaveProgram("convert")) << "ImageMagick is required (scripts/deps.sh)";
}

struct EncodeCase {
    const char* name;
    uint32_t width;
    uint32_t height;
    uint32_t bpp;
    enum { Zero, Random, Stripes } pattern;
    bool expectsFullTable; // enough new strings to fill the dictionary
};

void PrintTo(const EncodeCase& c, std::ostream* os) {
    *os << c.name;
}

IndexFn PatternFor(const EncodeCase& c) {
    switch (c.pattern) {
    case EncodeCase::Zero:
        return nullptr;
    case EncodeCase::Stripes:
        return [](uint32_t x, uint32_t row) { return uint8_t((x / 3 + row) % 7); };
    case EncodeCase::Random:
    default: {
        auto rng = std::make_shared<std::mt19937>(12345u + c.width * 31u + c.height);
        const uint32_t colours = 1u << c.bpp;
        return [rng, colours](uint32_t, uint32_t) { return uint8_t((*rng)() % colours); };
    }
    }
}

class GifEncoderDecodes : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(GifEncoderDecodes, ToTheIndicesWritten) {
    RequireTools();
    const EncodeCase& c = GetParam();
    auto img = MakeIndexed(c.width, c.height, c.bpp, PatternFor(c));
    const std::vector<uint8_t> expected = TopDownIndices(*img);
    const QByteArray gif = EncodeGif(*img);
    ASSERT_FALSE(gif.isEmpty());

    const std::optional<LzwImage> lzw = ReadFirstImage(gif);
    EXPECT_TRUE(lzw.has_value()) << "malformed LZW stream";
    if (lzw) {
        EXPECT_TRUE(lzw->indices == expected) << "indices differ";
        if (c.expectsFullTable)
            EXPECT_GT(lzw->clearCodes, 1) << "the dictionary never filled up";
        else
            EXPECT_EQ(lzw->clearCodes, 1);
    }

    QBuffer device;
    device.setData(gif);
    QImageReader reader(&device, "gif");
    const QImage qt = reader.read();
    ASSERT_FALSE(qt.isNull()) << reader.errorString().toStdString();
    ASSERT_EQ(qt.size(), QSize(int(c.width), int(c.height)));
    const QImage qtRgb = qt.convertToFormat(QImage::Format_RGB888);
    const std::vector<uint8_t> rgb = ExpectedRgb(expected);
    const std::size_t rowBytes = std::size_t(c.width) * 3;
    for (uint32_t row = 0; row < c.height; ++row) {
        const std::vector<uint8_t> want(rgb.begin() + row * rowBytes,
                                        rgb.begin() + (row + 1) * rowBytes);
        ASSERT_TRUE(SameRgb(want, qtRgb.constScanLine(int(row)), row * rowBytes)) << "Qt";
    }

    QTemporaryDir dir;
    const QString path = dir.filePath("frame.gif");
    ASSERT_TRUE(WriteWholeFile(path, gif));
    const auto magick = RunProgram("convert", {path, "-depth", "8", "rgb:-"});
    ASSERT_EQ(magick.exitCode, 0) << magick.err.toStdString();
    ASSERT_EQ(std::size_t(magick.out.size()), rgb.size());
    EXPECT_TRUE(SameRgb(rgb, reinterpret_cast<const uint8_t*>(magick.out.constData())))
        << "ImageMagick";

    // gifsicle decompresses every image when asked to rewrite it and warns
    // about broken LZW data.
    const auto info = RunProgram("gifsicle", {"--info", path});
    ASSERT_EQ(info.exitCode, 0) << info.err.toStdString();
    const std::string text = info.out.toStdString();
    const std::string size = std::to_string(c.width) + "x" + std::to_string(c.height);
    EXPECT_NE(text.find("1 image"), std::string::npos) << text;
    EXPECT_NE(text.find("logical screen " + size), std::string::npos) << text;
    EXPECT_NE(text.find("global color table [" + std::to_string(1u << c.bpp) + "]"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("+ image #0 " + size), std::string::npos) << text;
    const auto rewrite = RunProgram("gifsicle", {"--careful", path, "-o", dir.filePath("x.gif")});
    EXPECT_EQ(rewrite.exitCode, 0);
    EXPECT_TRUE(rewrite.err.isEmpty()) << rewrite.err.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Frames, GifEncoderDecodes,
    ::testing::Values(EncodeCase{"OnePixel", 1, 1, 8, EncodeCase::Random, false},
                      EncodeCase{"AllZero640x480", 640, 480, 8, EncodeCase::Zero, false},
                      // Runs of one index grow by one pixel per code: this many
                      // pixels use up all 4096 codes.
                      EncodeCase{"AllZeroLong", 2800, 2700, 8, EncodeCase::Zero, true},
                      EncodeCase{"Random640x480", 640, 480, 8, EncodeCase::Random, true},
                      EncodeCase{"RandomOddWidth", 97, 53, 8, EncodeCase::Random, true},
                      EncodeCase{"NarrowOddWidth", 3, 5, 8, EncodeCase::Random, false},
                      EncodeCase{"WideTwoRows", 641, 2, 8, EncodeCase::Random, false},
                      EncodeCase{"Stripes", 333, 77, 8, EncodeCase::Stripes, false},
                      EncodeCase{"FourBits", 13, 7, 4, EncodeCase::Random, false},
                      EncodeCase{"OneBit", 9, 3, 1, EncodeCase::Random, false}),
    [](const ::testing::TestParamInfo<EncodeCase>& info) { return info.param.name; });

TEST(GifEncoder, HeaderOf640x480FrameHasTheFixedBlocks) {
    auto img = MakeIndexed(640, 480, 8, [](uint32_t x, uint32_t) { return uint8_t(x); });
    const QByteArray gif = EncodeGif(*img);
    ASSERT_GT(gif.size(), 13 + 768 + 8 + 11);
    const auto* p = reinterpret_cast<const uint8_t*>(gif.constData());

    const std::vector<uint8_t> screen(p, p + 13);
    EXPECT_EQ(screen, (std::vector<uint8_t>{'G', 'I', 'F', '8', '9', 'a', 0x80, 0x02, 0xE0, 0x01,
                                            0xE7, 0x00, 0x00}));
    for (uint32_t i = 0; i < 256; ++i) {
        const RgbQuad c = TestColor(i);
        ASSERT_EQ(p[13 + 3 * i], c.rgbRed) << i;
        ASSERT_EQ(p[14 + 3 * i], c.rgbGreen) << i;
        ASSERT_EQ(p[15 + 3 * i], c.rgbBlue) << i;
    }
    const std::vector<uint8_t> blocks(p + 13 + 768, p + 13 + 768 + 19);
    EXPECT_EQ(blocks, (std::vector<uint8_t>{0x21, 0xF9, 0x04, 0x00, 0x00, 0x00, 0xFF, 0x00, // GCE
                                            0x2C, 0, 0, 0, 0, 0x80, 0x02, 0xE0, 0x01, 0x00, 0x08}));
    EXPECT_EQ(uint8_t(gif.back()), 0x3B);
    EXPECT_EQ(uint8_t(gif.at(gif.size() - 2)), 0x00);
    // Sub-blocks are at most 254 bytes long.
    std::size_t pos = 13 + 768 + 19;
    while (p[pos] != 0) {
        ASSERT_LE(p[pos], 254);
        pos += p[pos] + 1u;
    }
    EXPECT_EQ(pos + 2, std::size_t(gif.size()));
}

TEST(GifEncoder, GraphicControlCarriesTransparencyDelayAndDisposal) {
    auto img = MakeIndexed(4, 4, 8, [](uint32_t x, uint32_t) { return uint8_t(x); });
    img->SetTransparentIndex(3);
    img->SetFrameDelay(0x1234);
    img->SetDisposalMethod(2);
    const QByteArray gif = EncodeGif(*img);
    ASSERT_GT(gif.size(), 13 + 768 + 8);
    const auto* gce = reinterpret_cast<const uint8_t*>(gif.constData()) + 13 + 768;
    EXPECT_EQ(std::vector<uint8_t>(gce, gce + 8),
              (std::vector<uint8_t>{0x21, 0xF9, 0x04, 0x09, 0x34, 0x12, 0x03, 0x00}));
}

// A sink that fails once `capacity` bytes have gone in.
class FailingSink final : public ByteSink {
public:
    explicit FailingSink(std::size_t capacity) : capacity_(capacity) {}
    bool Write(std::span<const uint8_t> bytes) override {
        written_ += bytes.size();
        return written_ <= capacity_;
    }

private:
    std::size_t capacity_;
    std::size_t written_ = 0;
};

TEST(GifEncoder, FailuresLeaveTheReason) {
    auto palette = MakeIndexed(8, 8, 8, [](uint32_t x, uint32_t) { return uint8_t(x); });

    {
        CxImageGIF gif;
        gif.ShareView(*palette);
        EXPECT_FALSE(gif.Encode(nullptr));
        EXPECT_STREQ(gif.LastError(), "null file handler");
    }
    {
        CxImageGIF gif;
        MemorySink sink;
        EXPECT_FALSE(gif.Encode(&sink));
        EXPECT_STREQ(gif.LastError(), "null image!!!");
    }
    for (const std::size_t capacity : {std::size_t(0), std::size_t(100), std::size_t(800)}) {
        CxImageGIF gif;
        gif.ShareView(*palette);
        FailingSink sink(capacity);
        EXPECT_FALSE(gif.Encode(&sink)) << capacity;
        EXPECT_STREQ(gif.LastError(), "Write Error in GIF file") << capacity;
    }
}

TEST(GifEncoder, EncodeToMemoryRefusesWhatItCannotWrite) {
    struct Case {
        const char* name;
        std::function<void(CxImage&)> setup;
        bool preFilledBuffer;
        const char* error;
    };
    const Case cases[] = {
        {"buffer not empty", [](CxImage& img) { img.Create(4, 4, 8); }, true,
         "the buffer must be empty"},
        {"no pixels", [](CxImage&) {}, false, "null image!!!"},
        {"true colour", [](CxImage& img) { img.Create(4, 4, 24); }, false,
         "GIF: only palette images of up to 8 bits per pixel can be written"},
        {"wider than a GIF", [](CxImage& img) { img.Create(70000, 1, 8); }, false,
         "GIF: width and height must not exceed 65535"},
        {"unknown format", [](CxImage& img) { img.Create(4, 4, 8); }, false,
         "Encode: Unknown format"},
    };
    for (const Case& c : cases) {
        CxImage img;
        c.setup(img);
        uint8_t marker = 0;
        uint8_t* buffer = c.preFilledBuffer ? &marker : nullptr;
        int32_t size = -7;
        const uint32_t format = std::string(c.name) == "unknown format" ? 99u : CXIMAGE_FORMAT_GIF;
        EXPECT_FALSE(img.Encode(buffer, size, format)) << c.name;
        EXPECT_STREQ(img.LastError(), c.error) << c.name;
        EXPECT_EQ(buffer, c.preFilledBuffer ? &marker : nullptr) << c.name;
        EXPECT_EQ(size, -7) << c.name;
    }
}

TEST(GifEncoder, EncodeDoesNotChangeTheImage) {
    auto img = MakeIndexed(31, 17, 8, [](uint32_t x, uint32_t row) { return uint8_t(x * row); });
    const std::vector<uint8_t> before(img->DibBlock(), img->DibBlock() + img->DibSize());
    EncodeGif(*img);
    EncodeGif(*img); // a second call sees the same image
    EXPECT_EQ(std::vector<uint8_t>(img->DibBlock(), img->DibBlock() + img->DibSize()), before);
    EXPECT_FALSE(img->IsView());
}

} // namespace
