#include "image/frame_writers.h"

#include "image/cximage.h"
#include "test_files.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <utility>
#include <vector>

using testing_support::HaveProgram;
using testing_support::RunProgram;

namespace {

// Pixel (x, y) gets a colour of its own; widths in the tests are odd so every
// row carries padding.
void MakePattern24(CxImage& img, uint32_t w, uint32_t h) {
    ASSERT_TRUE(img.Create(w, h, 24, 0));
    // Garbage in the padding must never reach a file.
    std::memset(img.Row(0), 0xAB, std::size_t(img.Stride()) * h);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            img.SetColorAt(x, y, MakeQuad(uint8_t(x * 9), uint8_t(y * 13), uint8_t(x * y + 5)));
}

// Smooth colours, which JPEG keeps close.
void MakeSmooth24(CxImage& img, uint32_t w, uint32_t h) {
    ASSERT_TRUE(img.Create(w, h, 24, 0));
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            img.SetColorAt(x, y, MakeQuad(uint8_t(40 + x * 2), uint8_t(200 - y * 2), 120));
}

void MakePalette(CxImage& img, uint32_t bits, uint32_t w, uint32_t h) {
    ASSERT_TRUE(img.Create(w, h, bits, 0));
    std::vector<RgbQuad> table(img.NumColors());
    for (uint32_t i = 0; i < table.size(); ++i)
        table[i] = MakeQuad(uint8_t(i * 37), uint8_t(255 - i * 11), uint8_t(i * 5 + 3));
    img.SetPaletteColors(table);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            img.SetIndexAt(x, y, uint8_t((x + 3 * y) % img.NumColors()));
}

std::vector<uint8_t> Encode(const CxImage& img, uint32_t format) {
    MemorySink sink;
    EXPECT_TRUE(SaveFrame(img, sink, format));
    return sink.TakeData();
}

QImage Decode(const std::vector<uint8_t>& bytes, const char* format) {
    return QImage::fromData(
        QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())), format);
}

// Largest channel difference between a decoded picture (top-down) and the
// image (bottom-up), and the mean absolute difference.
struct Difference {
    int worst = 0;
    double mean = 0.0;
};

Difference Compare(const QImage& decoded, const CxImage& img) {
    Difference d;
    const uint32_t w = img.Width(), h = img.Height();
    double total = 0.0;
    for (uint32_t row = 0; row < h; ++row) {
        for (uint32_t x = 0; x < w; ++x) {
            const QRgb got = decoded.pixel(int(x), int(row));
            const RgbQuad want = img.ColorAt(x, h - 1 - row);
            for (const int diff : {qRed(got) - want.rgbRed, qGreen(got) - want.rgbGreen,
                                   qBlue(got) - want.rgbBlue}) {
                d.worst = std::max(d.worst, std::abs(diff));
                total += std::abs(diff);
            }
        }
    }
    d.mean = total / (3.0 * w * h);
    return d;
}

uint32_t Le32(const std::vector<uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}
uint16_t Le16(const std::vector<uint8_t>& b, std::size_t at) {
    return uint16_t(b[at] | b[at + 1] << 8);
}
uint32_t Be32(const std::vector<uint8_t>& b, std::size_t at) {
    return uint32_t(b[at]) << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3];
}

// The chunks of a PNG file by type (the last one of each type wins).
std::map<std::string, std::vector<uint8_t>> PngChunks(const std::vector<uint8_t>& b) {
    std::map<std::string, std::vector<uint8_t>> chunks;
    std::size_t at = 8;
    while (at + 12 <= b.size()) {
        const uint32_t length = Be32(b, at);
        const std::string type(b.begin() + long(at) + 4, b.begin() + long(at) + 8);
        if (at + 12 + length > b.size())
            break;
        chunks[type] = {b.begin() + long(at) + 8, b.begin() + long(at) + 8 + length};
        at += 12 + length;
    }
    return chunks;
}

// Accepts `budget` bytes, then fails (or throws, as a memory sink that cannot
// grow would).
class BrokenSink final : public ByteSink {
public:
    BrokenSink(std::size_t budget, bool throws) : budget_(budget), throws_(throws) {}
    bool Write(std::span<const uint8_t> bytes) override {
        if (bytes.size() > budget_) {
            budget_ = 0;
            if (throws_)
                throw std::bad_alloc();
            return false;
        }
        budget_ -= bytes.size();
        return true;
    }

private:
    std::size_t budget_;
    bool throws_;
};

std::string Identify(const QString& format, const QString& path) {
    if (!HaveProgram("identify"))
        ADD_FAILURE() << "ImageMagick's identify is required (scripts/deps.sh installs it)";
    const auto result = RunProgram("identify", {"-format", format, path});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    return QString::fromUtf8(result.out).trimmed().toStdString();
}

} // namespace

// ---------------------------------------------------------------------------
// Extension lookup

struct ExtensionCase {
    const char* text;
    uint32_t format;
};

class GetTypeFromExtensionTable : public ::testing::TestWithParam<ExtensionCase> {};

TEST_P(GetTypeFromExtensionTable, JudgesTheFirstThreeCharactersIgnoringCase) {
    EXPECT_EQ(GetTypeFromExtension(GetParam().text), GetParam().format) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, GetTypeFromExtensionTable,
    ::testing::Values(ExtensionCase{"bmp", 1}, ExtensionCase{"BMP", 1}, ExtensionCase{"bmpx", 1},
                      ExtensionCase{"gif", 2}, ExtensionCase{"jpg", 3}, ExtensionCase{"JPG", 3},
                      ExtensionCase{"jpeg", 3}, ExtensionCase{"jpe", 3}, ExtensionCase{"jfif", 3},
                      ExtensionCase{"JFI", 3}, ExtensionCase{"png", 4}, ExtensionCase{"PNG", 4},
                      ExtensionCase{"Png", 4}, ExtensionCase{"tiff", 6}, ExtensionCase{"jp2", 11},
                      ExtensionCase{"ppm", 14}, ExtensionCase{"", 0}, ExtensionCase{"jp", 0},
                      ExtensionCase{"p", 0}, ExtensionCase{"txt", 0}, ExtensionCase{" png", 0},
                      ExtensionCase{"pics/frame", 0}, ExtensionCase{"pics/x", 0}));

TEST(ExtensionAfterLastDot, TakesTheTextAfterTheLastDotAnywhere) {
    EXPECT_EQ(ExtensionAfterLastDot("/home/me/frame7.PNG"), "PNG");
    EXPECT_EQ(ExtensionAfterLastDot("frame.jpeg"), "jpeg");
    EXPECT_EQ(ExtensionAfterLastDot("a.b.bmp"), "bmp");
    EXPECT_EQ(ExtensionAfterLastDot("/home/me/my.pics/x"), "pics/x");
    EXPECT_EQ(ExtensionAfterLastDot("/home/me/frame"), "");
    EXPECT_EQ(ExtensionAfterLastDot("frame."), "");
    EXPECT_EQ(ExtensionAfterLastDot(""), "");
    // The folder's dot decides, and nothing matches: nothing is written.
    EXPECT_EQ(GetTypeFromExtension(ExtensionAfterLastDot("/home/me/my.pics/x")), 0u);
    EXPECT_EQ(GetTypeFromExtension(ExtensionAfterLastDot("frame7.PNG")), 4u);
}

// ---------------------------------------------------------------------------
// BMP

TEST(SaveFrameBmp, WritesAFileHeaderAnInfoHeaderAndPaddedRowsBottomUp) {
    CxImage img;
    MakePattern24(img, 5, 3);
    const std::vector<uint8_t> b = Encode(img, CXIMAGE_FORMAT_BMP);
    const uint32_t stride = 16; // 5 x 3 bytes padded to a multiple of 4
    ASSERT_EQ(b.size(), 14u + 40u + stride * 3);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(Le32(b, 2), b.size());
    EXPECT_EQ(Le32(b, 6), 0u);
    EXPECT_EQ(Le32(b, 10), 54u);
    EXPECT_EQ(Le32(b, 14), 40u);
    EXPECT_EQ(Le32(b, 18), 5u);
    EXPECT_EQ(Le32(b, 22), 3u); // positive: bottom-up
    EXPECT_EQ(Le16(b, 26), 1);
    EXPECT_EQ(Le16(b, 28), 24);
    EXPECT_EQ(Le32(b, 30), 0u);
    EXPECT_EQ(Le32(b, 34), stride * 3);
    EXPECT_EQ(Le32(b, 38), 3780u);
    EXPECT_EQ(Le32(b, 42), 3780u);
    EXPECT_EQ(Le32(b, 46), 0u); // no colour table
    // First stored row is the bottom line, blue first; padding is zero.
    const RgbQuad bottomRight = img.ColorAt(4, 0);
    EXPECT_EQ(b[54 + 12], bottomRight.rgbBlue);
    EXPECT_EQ(b[54 + 13], bottomRight.rgbGreen);
    EXPECT_EQ(b[54 + 14], bottomRight.rgbRed);
    for (uint32_t row = 0; row < 3; ++row)
        EXPECT_EQ(b[54 + row * stride + 15], 0) << row;
}

TEST(SaveFrame, LosslessFormatsDecodeToTheSamePixels) {
    CxImage img;
    MakePattern24(img, 37, 21);
    for (const auto& [format, qtName] :
         {std::pair{CXIMAGE_FORMAT_BMP, "BMP"}, std::pair{CXIMAGE_FORMAT_PNG, "PNG"}}) {
        SCOPED_TRACE(qtName);
        const QImage decoded = Decode(Encode(img, format), qtName);
        ASSERT_FALSE(decoded.isNull());
        ASSERT_EQ(decoded.size(), QSize(37, 21));
        EXPECT_EQ(Compare(decoded, img).worst, 0);
    }
}

// ---------------------------------------------------------------------------
// PNG

TEST(SaveFramePng, IsEightBitRgbNotInterlacedWithWhiteBackgroundAndResolution) {
    CxImage img;
    MakePattern24(img, 9, 4);
    const std::vector<uint8_t> b = Encode(img, CXIMAGE_FORMAT_PNG);
    auto chunks = PngChunks(b);
    ASSERT_EQ(chunks["IHDR"].size(), 13u);
    const std::vector<uint8_t>& ihdr = chunks["IHDR"];
    EXPECT_EQ(Be32(ihdr, 0), 9u);
    EXPECT_EQ(Be32(ihdr, 4), 4u);
    EXPECT_EQ(ihdr[8], 8);  // bit depth
    EXPECT_EQ(ihdr[9], 2);  // RGB
    EXPECT_EQ(ihdr[12], 0); // not interlaced
    EXPECT_EQ(chunks["bKGD"], (std::vector<uint8_t>{0, 255, 0, 255, 0, 255}));
    ASSERT_EQ(chunks["pHYs"].size(), 9u);
    EXPECT_EQ(Be32(chunks["pHYs"], 0), 3780u);
    EXPECT_EQ(Be32(chunks["pHYs"], 4), 3780u);
    EXPECT_EQ(chunks["pHYs"][8], 1); // per metre
    EXPECT_TRUE(chunks.count("IEND"));
}

TEST(SaveFramePng, ImageMagickReadsTheResolutionAndHeader) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    CxImage img;
    MakePattern24(img, 9, 4);
    const QString path = dir.filePath("frame7.PNG");
    ASSERT_TRUE(SaveFrameToFile(img, path.toStdString(),
                                GetTypeFromExtension(ExtensionAfterLastDot(path.toStdString()))));
    EXPECT_EQ(Identify("%m|%w|%h|%[png:pHYs]|%[png:IHDR.bit_depth]", path),
              "PNG|9|4|x_res=3780, y_res=3780, units=1|8");
}

// ---------------------------------------------------------------------------
// JPEG

TEST(SaveFrameJpeg, DecodesCloseToTheImage) {
    CxImage img;
    MakeSmooth24(img, 64, 48);
    const QImage decoded = Decode(Encode(img, CXIMAGE_FORMAT_JPG), "JPEG");
    ASSERT_FALSE(decoded.isNull());
    ASSERT_EQ(decoded.width(), 64);
    ASSERT_EQ(decoded.height(), 48);
    const Difference d = Compare(decoded, img);
    EXPECT_LE(d.mean, 2.0);
    EXPECT_LE(d.worst, 12);
}

TEST(SaveFrameJpeg, IsBaselineWithJfifDotsPerInch) {
    CxImage img;
    MakeSmooth24(img, 17, 9);
    const std::vector<uint8_t> b = Encode(img, CXIMAGE_FORMAT_JPG);
    ASSERT_GT(b.size(), 20u);
    EXPECT_EQ(b[0], 0xFF);
    EXPECT_EQ(b[1], 0xD8);
    // APP0 "JFIF": unit 1 (dots per inch), 96 x 96.
    EXPECT_EQ(b[2], 0xFF);
    EXPECT_EQ(b[3], 0xE0);
    EXPECT_EQ(std::string(b.begin() + 6, b.begin() + 11), std::string("JFIF\0", 5));
    EXPECT_EQ(b[13], 1);
    EXPECT_EQ(b[14] << 8 | b[15], 96);
    EXPECT_EQ(b[16] << 8 | b[17], 96);
    bool baseline = false, progressive = false;
    for (std::size_t i = 0; i + 1 < b.size(); ++i) {
        baseline |= b[i] == 0xFF && b[i + 1] == 0xC0;
        progressive |= b[i] == 0xFF && b[i + 1] == 0xC2;
    }
    EXPECT_TRUE(baseline);
    EXPECT_FALSE(progressive);
}

TEST(SaveFrameJpeg, ImageMagickSeesQuality90SubsamplingAndDensity) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    CxImage img;
    MakeSmooth24(img, 33, 20);
    const QString path = dir.filePath("frame.jpeg");
    ASSERT_TRUE(SaveFrameToFile(img, path.toStdString(),
                                GetTypeFromExtension(ExtensionAfterLastDot(path.toStdString()))));
    EXPECT_EQ(Identify("%m|%[jpeg:sampling-factor]|%Q|%x|%y|%U|%[interlace]", path),
              "JPEG|2x2,1x1,1x1|90|96|96|PixelsPerInch|None");
}

// ---------------------------------------------------------------------------
// Palette images, failures

class SaveFramePalette : public ::testing::TestWithParam<uint32_t> {};

TEST_P(SaveFramePalette, IsWrittenAsTrueColour) {
    CxImage img;
    MakePalette(img, GetParam(), 23, 11);
    for (const auto& [format, name] :
         {std::pair{CXIMAGE_FORMAT_BMP, "BMP"}, std::pair{CXIMAGE_FORMAT_PNG, "PNG"}}) {
        const QImage decoded = Decode(Encode(img, format), name);
        ASSERT_FALSE(decoded.isNull()) << name;
        EXPECT_EQ(Compare(decoded, img).worst, 0) << name;
    }
    const QImage jpeg = Decode(Encode(img, CXIMAGE_FORMAT_JPG), "JPEG");
    ASSERT_FALSE(jpeg.isNull());
    EXPECT_EQ(jpeg.width(), 23);
}

INSTANTIATE_TEST_SUITE_P(Depths, SaveFramePalette, ::testing::Values(1u, 4u, 8u));

TEST(SaveFrame, RefusesEmptyImagesAndFormatsWithoutAWriter) {
    CxImage empty;
    MemorySink sink;
    EXPECT_FALSE(SaveFrame(empty, sink, CXIMAGE_FORMAT_PNG));
    CxImage img;
    MakePattern24(img, 3, 3);
    for (const uint32_t format : {0u, 2u, 5u, 6u, 19u, 99u})
        EXPECT_FALSE(SaveFrame(img, sink, format)) << format;
    EXPECT_TRUE(sink.Data().empty());
}

TEST(SaveFrame, AFailingOrThrowingSinkEndsInFalseForEveryFormat) {
    CxImage img;
    MakePattern24(img, 300, 200); // big enough for several encoder buffers
    for (const uint32_t format : {CXIMAGE_FORMAT_BMP, CXIMAGE_FORMAT_JPG, CXIMAGE_FORMAT_PNG}) {
        for (const std::size_t budget : {0u, 1u, 20u, 60u, 5000u, 20000u}) {
            for (const bool throws : {false, true}) {
                BrokenSink sink(budget, throws);
                EXPECT_FALSE(SaveFrame(img, sink, format))
                    << format << " budget " << budget << " throws " << throws;
            }
        }
    }
}

TEST(SaveFrame, TooLargeForTheEncoderFailsCleanly) {
    CxImage wide;
    ASSERT_TRUE(wide.Create(1000001, 1, 24, 0)); // past libpng's and libjpeg's widths
    wide.ClearPixels();
    MemorySink sink;
    EXPECT_FALSE(SaveFrame(wide, sink, CXIMAGE_FORMAT_PNG));
    EXPECT_FALSE(SaveFrame(wide, sink, CXIMAGE_FORMAT_JPG));
}

TEST(SaveFrameToFile, WritesEachFormatThatQtCanRead) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    CxImage img;
    MakePattern24(img, 19, 7);
    img.SetUserFlags(0); // a deleted frame saves like any other
    for (const char* name : {"a.bmp", "b.PNG", "c.jpg", "d.jfif", "e.JPE"}) {
        const std::string path = dir.filePath(name).toStdString();
        ASSERT_TRUE(SaveFrameToFile(img, path, GetTypeFromExtension(ExtensionAfterLastDot(path))))
            << name;
        const QImage decoded(QString::fromStdString(path));
        ASSERT_FALSE(decoded.isNull()) << name;
        EXPECT_EQ(decoded.width(), 19);
        EXPECT_EQ(decoded.height(), 7);
    }
}

TEST(SaveFrameToFile, WritesNothingWithoutAFormatOrImage) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkdir("my.pics"));
    CxImage img;
    MakePattern24(img, 4, 4);
    const std::string folderDot = dir.filePath("my.pics/x").toStdString();
    EXPECT_FALSE(
        SaveFrameToFile(img, folderDot, GetTypeFromExtension(ExtensionAfterLastDot(folderDot))));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(folderDot)));

    const std::string gif = dir.filePath("x.gif").toStdString();
    EXPECT_FALSE(SaveFrameToFile(img, gif, GetTypeFromExtension(ExtensionAfterLastDot(gif))));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(gif)));

    CxImage empty;
    const std::string png = dir.filePath("y.png").toStdString();
    EXPECT_FALSE(SaveFrameToFile(empty, png, CXIMAGE_FORMAT_PNG));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(png)));

    EXPECT_FALSE(
        SaveFrameToFile(img, dir.filePath("missing/z.png").toStdString(), CXIMAGE_FORMAT_PNG));
}

TEST(SaveFrameToFile, EmptiesAnExistingFileFirst) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("old.bmp");
    ASSERT_TRUE(testing_support::WriteWholeFile(path, QByteArray(100000, 'x')));
    CxImage img;
    MakePattern24(img, 2, 2);
    ASSERT_TRUE(SaveFrameToFile(img, path.toStdString(), CXIMAGE_FORMAT_BMP));
    EXPECT_EQ(QFile(path).size(), 14 + 40 + 8 * 2);
}
