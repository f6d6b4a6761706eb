// The GIF frame decoder: composition rules on hand-made files, pixel equality
// with ImageMagick's coalesced frames on files other tools wrote, equality of
// the one-pass and per-frame entry points, and survival of broken files. The
// LZW stage is also driven on its own through its internal header, for what
// only it reports (row order, how the data ended).
#include "image/gif_decoder.h"
#include "image/gif_lzw.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "gif_builder.h"
#include "test_files.h"

using gif_test::GifBuilder;
using gif_test::ImagePlan;
using gif_test::Rgb;
using gif_test::Solid;

namespace {

// What a decoded frame shows, in a form tests compare: depth, palette,
// indices (or colours for true colour), top row first.
struct Snapshot {
    uint32_t width = 0, height = 0, bpp = 0;
    int32_t transparent = -1;
    std::vector<uint32_t> palette;
    std::vector<uint32_t> pixels; // index, or 0xRRGGBB for 24 bits
    std::vector<uint8_t> alpha;
    bool operator==(const Snapshot&) const = default;
};

uint32_t Packed(RgbQuad q) {
    return uint32_t(q.rgbRed) << 16 | q.rgbGreen << 8 | q.rgbBlue;
}

Snapshot Snap(const CxImage& img) {
    Snapshot s;
    if (!img.IsValid())
        return s;
    s.width = img.Width();
    s.height = img.Height();
    s.bpp = img.BitsPerPixel();
    s.transparent = img.TransparentIndex();
    for (uint32_t i = 0; i < img.NumColors(); ++i)
        s.palette.push_back(Packed(img.PaletteColor(i)));
    for (uint32_t row = 0; row < s.height; ++row) {
        const uint32_t y = s.height - 1 - row;
        for (uint32_t x = 0; x < s.width; ++x) {
            s.pixels.push_back(s.bpp == 24 ? Packed(img.ColorAt(x, y)) : img.IndexAt(x, y));
            if (img.HasAlpha())
                s.alpha.push_back(img.AlphaAt(x, y));
        }
    }
    return s;
}

// Colours of a decoded frame as R, G, B bytes, top row first.
std::vector<uint8_t> RgbBytes(const CxImage& img) {
    std::vector<uint8_t> out;
    for (uint32_t row = 0; row < img.Height(); ++row) {
        for (uint32_t x = 0; x < img.Width(); ++x) {
            const RgbQuad c = img.ColorAt(x, img.Height() - 1 - row);
            out.insert(out.end(), {c.rgbRed, c.rgbGreen, c.rgbBlue});
        }
    }
    return out;
}

bool DecodeFrame(const std::vector<uint8_t>& bytes, int32_t index, CxImage& out) {
    MemorySource source(bytes);
    out.SetFrameIndex(index);
    return DecodeGif(source, out);
}

std::vector<Snapshot> DecodeEachFrame(const std::vector<uint8_t>& bytes) {
    std::vector<Snapshot> frames;
    CxImage probe;
    if (!DecodeFrame(bytes, 0, probe))
        return frames;
    for (int32_t i = 0; i < probe.FrameCount(); ++i) {
        CxImage img;
        EXPECT_TRUE(DecodeFrame(bytes, i, img)) << "frame " << i;
        frames.push_back(Snap(img));
    }
    return frames;
}

std::vector<Snapshot> DecodeOnePass(const std::vector<uint8_t>& bytes, bool* ok = nullptr) {
    std::vector<Snapshot> frames;
    MemorySource source(bytes);
    const bool result = DecodeAllGifFrames(source, [&](const CxImage& frame, int32_t index) {
        EXPECT_EQ(index, int32_t(frames.size()));
        frames.push_back(Snap(frame));
        return true;
    });
    if (ok)
        *ok = result;
    return frames;
}

// Index of the pixel at (x, row counted from the top).
uint32_t IndexTop(const CxImage& img, uint32_t x, uint32_t row) {
    return img.IndexAt(x, img.Height() - 1 - row);
}

std::vector<Rgb> Table(uint32_t n) {
    return gif_test::DistinctTable(n);
}

// ---------------------------------------------------------------------------
// Basic contract

TEST(GifDecoder, RejectsWhatIsNotAGif) {
    const std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 0, 0};
    CxImage img;
    EXPECT_FALSE(DecodeFrame(png, 0, img));
    EXPECT_FALSE(img.IsValid());
    EXPECT_STREQ(img.LastError(), "Not a GIF file");

    GifDecodeSummary summary;
    MemorySource source(png);
    EXPECT_FALSE(DecodeAllGifFrames(
        source, [](const CxImage&, int32_t) { return true; }, &summary));
    EXPECT_EQ(summary.error, GifDecodeError::NotGif);
}

TEST(GifDecoder, AcceptsBothVersionsWithoutComparingTheVersionLetters) {
    GifBuilder b;
    b.Header(2, 2, Table(4)).Image({0, 0, 2, 2, {0, 1, 2, 3}, {}, false, 2}).Trailer();
    for (const char* version : {"87a", "89a", "8xz"}) {
        std::vector<uint8_t> bytes = b.bytes;
        std::memcpy(bytes.data() + 3, version, 3);
        CxImage img;
        EXPECT_TRUE(DecodeFrame(bytes, 0, img)) << version;
        EXPECT_EQ(IndexTop(img, 1, 1), 3u);
    }
}

TEST(GifDecoder, RefusesAFrameIndexOutOfRangeButStoresTheCount) {
    GifBuilder b;
    b.Header(2, 2, Table(4));
    for (int i = 0; i < 3; ++i)
        b.Image({0, 0, 2, 2, Solid(2, 2, uint8_t(i)), {}, false, 2});
    b.Trailer();
    for (int32_t index : {-1, 3, 100}) {
        CxImage img;
        EXPECT_FALSE(DecodeFrame(b.bytes, index, img)) << index;
        EXPECT_FALSE(img.IsValid());
        EXPECT_EQ(img.FrameCount(), 3);
    }
}

TEST(GifDecoder, StillImageKeepsPaletteDepthAndRecordFields) {
    GifBuilder b;
    b.Header(3, 2, Table(16))
        .Control(0, -1, 25)
        .Image({0, 0, 3, 2, {1, 2, 3, 4, 5, 15}, {}, false, 4});
    b.Trailer();
    CxImage img;
    ASSERT_TRUE(DecodeFrame(b.bytes, 0, img));
    EXPECT_EQ(img.Width(), 3u);
    EXPECT_EQ(img.Height(), 2u);
    EXPECT_EQ(img.BitsPerPixel(), 4u);
    EXPECT_EQ(img.Type(), uint32_t(CXIMAGE_FORMAT_GIF));
    EXPECT_EQ(img.FrameCount(), 1);
    EXPECT_EQ(img.FrameDelay(), 25u);
    EXPECT_EQ(img.TransparentIndex(), -1);
    const std::vector<uint32_t> expected = {1, 2, 3, 4, 5, 15};
    EXPECT_EQ(Snap(img).pixels, expected);
    EXPECT_EQ(Packed(img.PaletteColor(15)), Packed(MakeQuad(15, 240, 105)));
}

// The depth follows the palette size: <= 2 entries 1 bit, <= 16 4 bits, else 8.
TEST(GifDecoder, DepthFollowsThePaletteSize) {
    const std::pair<uint32_t, uint32_t> cases[] = {{2, 1}, {4, 4}, {16, 4}, {32, 8}, {256, 8}};
    for (auto [entries, bpp] : cases) {
        GifBuilder b;
        b.Header(2, 1, Table(entries)).Image({0, 0, 2, 1, {0, 1}, {}, false, 8}).Trailer();
        CxImage img;
        ASSERT_TRUE(DecodeFrame(b.bytes, 0, img));
        EXPECT_EQ(img.BitsPerPixel(), bpp) << entries << " entries";
    }
}

// ---------------------------------------------------------------------------
// Composition rules

TEST(GifDecoder, LaterFramesShowEarlierOnesAroundAndThroughThem) {
    GifBuilder b;
    b.Header(4, 3, Table(8));
    b.Control(1).Image({0, 0, 4, 3, Solid(4, 3, 1), {}, false, 3});
    b.Control(1).Image({1, 1, 2, 1, {2, 3}, {}, false, 3});
    b.Control(1, 7).Image({0, 0, 2, 2, {7, 4, 5, 7}, {}, false, 3});
    b.Trailer();
    CxImage img;
    ASSERT_TRUE(DecodeFrame(b.bytes, 2, img));
    const std::vector<uint32_t> expected = {1, 4, 1, 1, //
                                            5, 2, 3, 1, //
                                            1, 1, 1, 1};
    EXPECT_EQ(Snap(img).pixels, expected);
}

TEST(GifDecoder, DisposalTwoFillsWithTheHighestIndexWhenTheFirstImageHadNoTransparency) {
    struct Case {
        uint32_t entries;
        uint8_t codeSize;
        uint32_t fill;
    };
    for (const Case c : {Case{256, 8, 255}, Case{16, 4, 15}, Case{2, 2, 1}}) {
        GifBuilder b;
        b.Header(3, 2, Table(c.entries));
        b.Control(1).Image({0, 0, 3, 2, Solid(3, 2, 0), {}, false, c.codeSize});
        b.Control(2).Image({0, 0, 1, 1, {1}, {}, false, c.codeSize});
        b.Control(1).Image({2, 1, 1, 1, {0}, {}, false, c.codeSize});
        b.Trailer();
        CxImage img;
        ASSERT_TRUE(DecodeFrame(b.bytes, 2, img));
        const std::vector<uint32_t> expected = {c.fill, c.fill, c.fill, c.fill, c.fill, 0};
        EXPECT_EQ(Snap(img).pixels, expected) << c.entries << " entries";
    }
}

TEST(GifDecoder, DisposalTwoFillsWithTheFirstImagesTransparentIndex) {
    GifBuilder b;
    b.Header(2, 2, Table(8));
    b.Control(2, 6).Image({0, 0, 2, 2, {1, 2, 3, 4}, {}, false, 3});
    b.Control(1).Image({1, 1, 1, 1, {5}, {}, false, 3});
    b.Trailer();
    CxImage img;
    ASSERT_TRUE(DecodeFrame(b.bytes, 1, img));
    const std::vector<uint32_t> expected = {6, 6, 6, 5};
    EXPECT_EQ(Snap(img).pixels, expected);
    EXPECT_EQ(img.TransparentIndex(), 6);
}

TEST(GifDecoder, DisposalThreeReturnsToTheLastKeptComposite) {
    GifBuilder b;
    b.Header(3, 1, Table(8));
    b.Control(1).Image({0, 0, 3, 1, {1, 1, 1}, {}, false, 3});
    b.Control(1).Image({0, 0, 1, 1, {2}, {}, false, 3});
    b.Control(3).Image({1, 0, 1, 1, {3}, {}, false, 3});
    b.Control(3).Image({2, 0, 1, 1, {4}, {}, false, 3});
    b.Control(1).Image({0, 0, 1, 1, {5}, {}, false, 3});
    b.Trailer();
    const std::vector<std::vector<uint32_t>> expected = {
        {1, 1, 1}, {2, 1, 1}, {2, 3, 1}, {2, 1, 4}, {5, 1, 1}};
    const auto frames = DecodeEachFrame(b.bytes);
    ASSERT_EQ(frames.size(), expected.size());
    for (std::size_t i = 0; i < frames.size(); ++i)
        EXPECT_EQ(frames[i].pixels, expected[i]) << "frame " << i;
}

TEST(GifDecoder, DisposalThreeToAGreyScaleFrameGivesTheCanvasAnAlphaPlane) {
    std::vector<Rgb> grey(256);
    for (uint32_t i = 0; i < 256; ++i)
        grey[i] = Rgb{uint8_t(i), uint8_t(i), uint8_t(i)};
    GifBuilder b;
    b.Header(2, 1, grey);
    b.Control(1).Image({0, 0, 2, 1, {2, 3}, {}, false, 8});
    b.Control(3).Image({0, 0, 1, 1, {1}, {}, false, 8});
    b.Control(1).Image({0, 0, 1, 1, {0}, {}, false, 8});
    b.Trailer();
    CxImage img;
    ASSERT_TRUE(DecodeFrame(b.bytes, 2, img));
    ASSERT_TRUE(img.HasAlpha());
    const Snapshot s = Snap(img);
    EXPECT_EQ(s.pixels, (std::vector<uint32_t>{0, 3}));
    EXPECT_EQ(s.alpha, (std::vector<uint8_t>{2, 3}));
}

TEST(GifDecoder, TheNewestLocalPaletteColoursTheWholeCanvas) {
    std::vector<Rgb> first = {{10, 0, 0}, {20, 0, 0}, {30, 0, 0}, {40, 0, 0}};
    std::vector<Rgb> second = {{0, 10, 0}, {0, 20, 0}, {0, 30, 0}, {0, 40, 0}};
    GifBuilder b;
    b.Header(2, 1, {});
    b.Control(1).Image({0, 0, 2, 1, {1, 2}, first, false, 2});
    b.Control(1).Image({1, 0, 1, 1, {3}, second, false, 2});
    b.Trailer();
    CxImage img;
    ASSERT_TRUE(DecodeFrame(b.bytes, 1, img));
    // The pixel left from the first frame keeps its index and takes the colour
    // the second palette gives it.
    EXPECT_EQ(IndexTop(img, 0, 0), 1u);
    EXPECT_EQ(Packed(img.ColorAt(0, 0)), 0x001400u);
    EXPECT_EQ(Packed(img.ColorAt(1, 0)), 0x002800u);
}

TEST(GifDecoder, AOneBitFirstFrameKeepsTheCanvasOneBitDeep) {
    GifBuilder b;
    b.Header(4, 1, {});
    b.Control(1).Image({0, 0, 4, 1, {0, 1, 0, 1}, Table(2), false, 2});
    b.Control(1).Image({0, 0, 4, 1, {2, 3, 254, 255}, Table(256), false, 8});
    b.Trailer();
    CxImage img;
    ASSERT_TRUE(DecodeFrame(b.bytes, 1, img));
    EXPECT_EQ(img.BitsPerPixel(), 1u);
    EXPECT_EQ(Snap(img).pixels, (std::vector<uint32_t>{0, 1, 0, 1}));
    // Through the newest palette's first two entries.
    EXPECT_EQ(Packed(img.ColorAt(1, 0)), Packed(MakeQuad(1, 254, 7)));
}

TEST(GifDecoder, AnImageWithoutItsOwnControlSeesTheCompositesTransparentIndex) {
    // The first image's transparent index stays the current one: the second
    // image has no graphic control extension, so its index 3 is see-through.
    GifBuilder b;
    b.Header(2, 1, Table(4));
    b.Control(1, 3).Image({0, 0, 2, 1, {1, 2}, {}, false, 2});
    b.Image({0, 0, 2, 1, {3, 0}, {}, false, 2});
    b.Trailer();
    CxImage img;
    ASSERT_TRUE(DecodeFrame(b.bytes, 1, img));
    EXPECT_EQ(Snap(img).pixels, (std::vector<uint32_t>{1, 0}));
}

TEST(GifDecoder, TheFirstCanvasStartsFromTheRawTransparentByte) {
    // The flag is clear, so nothing is transparent, but the byte still fills
    // the screen around a smaller first image.
    GifBuilder b;
    b.Header(3, 1, Table(8));
    b.Control(1, -1, 0, 5).Image({0, 0, 1, 1, {2}, {}, false, 3});
    b.Trailer();
    CxImage img;
    ASSERT_TRUE(DecodeFrame(b.bytes, 0, img));
    EXPECT_EQ(Snap(img).pixels, (std::vector<uint32_t>{2, 5, 5}));
}

TEST(GifDecoder, WithoutAnyControlExtensionTheFirstCanvasIsIndexZero) {
    GifBuilder b;
    b.Header(3, 2, Table(8)).Image({1, 1, 1, 1, {6}, {}, false, 3}).Trailer();
    CxImage img;
    ASSERT_TRUE(DecodeFrame(b.bytes, 0, img));
    EXPECT_EQ(Snap(img).pixels, (std::vector<uint32_t>{0, 0, 0, 0, 6, 0}));
}

// Rows hold their own number, so a row in the wrong place shows.
ImagePlan RowNumberedInterlacedPlan() {
    return ImagePlan{0, 0, 2, 4, {0, 0, 1, 1, 2, 2, 3, 3}, {}, true, 2};
}

TEST(GifLzw, InterlacedRowsArriveInPassOrder) {
    GifBuilder b;
    b.Header(2, 4, Table(4)).Image(RowNumberedInterlacedPlan()).Trailer();

    struct Recorder : GifRowOutput {
        std::vector<uint32_t> order;
        void PutRow(uint32_t row, std::span<const uint8_t> indices) override {
            order.push_back(row);
            EXPECT_EQ(indices[0], row);
        }
    } recorder;
    MemorySource source(b.bytes);
    source.Seek(13 + 12 + 10); // header, 4-entry table, descriptor
    const LzwResult r = DecodeLzwImage(source, &recorder, 2, 4, true);
    EXPECT_EQ(r.status, LzwStatus::EndCode);
    EXPECT_EQ(recorder.order, (std::vector<uint32_t>{0, 2, 1, 3}));
}

TEST(GifDecoder, InterlacedRowsLandOnTheirRows) {
    const ImagePlan plan = RowNumberedInterlacedPlan();
    GifBuilder b;
    b.Header(2, 4, Table(4)).Image(plan).Trailer();
    CxImage img;
    ASSERT_TRUE(DecodeFrame(b.bytes, 0, img));
    EXPECT_EQ(Snap(img).pixels, std::vector<uint32_t>(plan.pixels.begin(), plan.pixels.end()));
}

TEST(GifDecoder, InterlacedImagesOfEveryHeightDecodeLikeTheirPlainTwins) {
    for (uint16_t h = 1; h <= 17; ++h) {
        std::vector<uint8_t> pixels;
        for (uint16_t row = 0; row < h; ++row)
            pixels.insert(pixels.end(), {uint8_t(row), uint8_t(row + 100)});
        GifBuilder plain, interlaced;
        plain.Header(2, h, Table(256)).Image({0, 0, 2, h, pixels, {}, false, 8}).Trailer();
        interlaced.Header(2, h, Table(256)).Image({0, 0, 2, h, pixels, {}, true, 8}).Trailer();
        CxImage a, b;
        ASSERT_TRUE(DecodeFrame(plain.bytes, 0, a));
        ASSERT_TRUE(DecodeFrame(interlaced.bytes, 0, b));
        EXPECT_EQ(Snap(a), Snap(b)) << "height " << h;
    }
}

TEST(GifDecoder, AZeroByZeroScreenTakesTheFirstImagesSize) {
    GifBuilder b;
    b.Header(0, 0, Table(4));
    b.Image({0, 0, 3, 2, {0, 1, 2, 3, 2, 1}, {}, false, 2});
    b.Image({1, 0, 2, 2, Solid(2, 2, 3), {}, false, 2});
    b.Trailer();
    CxImage img;
    ASSERT_TRUE(DecodeFrame(b.bytes, 1, img));
    EXPECT_EQ(img.Width(), 3u);
    EXPECT_EQ(img.Height(), 2u);
    EXPECT_EQ(img.FrameCount(), 2);
    EXPECT_EQ(Snap(img).pixels, (std::vector<uint32_t>{0, 3, 3, 3, 3, 3}));
}

TEST(GifDecoder, AStrayByteIsIgnoredUpToTheNextZero) {
    GifBuilder b;
    b.Header(2, 1, Table(4));
    b.Image({0, 0, 2, 1, {1, 1}, {}, false, 2});
    // Garbage that looks like blocks: skipped until the 0.
    b.Raw({0x55, 0x2C, 0x21, 0x3B, 0x00});
    b.Image({0, 0, 1, 1, {2}, {}, false, 2});
    b.Trailer();
    CxImage img;
    ASSERT_TRUE(DecodeFrame(b.bytes, 1, img));
    EXPECT_EQ(img.FrameCount(), 2);
    EXPECT_EQ(Snap(img).pixels, (std::vector<uint32_t>{2, 1}));
}

TEST(GifDecoder, ImagesOutsideTheScreenAreNeitherCountedNorShown) {
    GifBuilder b;
    b.Header(2, 2, Table(4));
    b.Image({0, 0, 2, 2, Solid(2, 2, 1), {}, false, 2});
    b.Image({1, 1, 2, 1, {3, 3}, {}, false, 2}); // one column too far right
    b.Image({0, 1, 1, 1, {2}, {}, false, 2});
    b.Trailer();
    CxImage img;
    ASSERT_TRUE(DecodeFrame(b.bytes, 1, img));
    EXPECT_EQ(img.FrameCount(), 2);
    EXPECT_EQ(Snap(img).pixels, (std::vector<uint32_t>{1, 1, 2, 1}));
}

TEST(GifDecoder, TilesOfATrueColourPictureMakeOneImage) {
    // No global table and a first image smaller than the screen both ways:
    // the tiles form one true-colour picture, whichever frame is asked for.
    std::vector<Rgb> red = {{200, 0, 0}, {100, 0, 0}};
    std::vector<Rgb> blue = {{0, 0, 200}, {0, 0, 100}};
    GifBuilder b;
    b.Header(4, 2, {});
    b.Image({0, 0, 2, 1, {0, 1}, red, false, 2});
    b.Image({2, 1, 2, 1, {1, 0}, blue, false, 2});
    b.Trailer();
    for (int32_t index : {0, 1}) {
        CxImage img;
        ASSERT_TRUE(DecodeFrame(b.bytes, index, img));
        EXPECT_EQ(img.BitsPerPixel(), 24u);
        EXPECT_EQ(img.FrameCount(), 2);
        // Areas no tile covers are black.
        EXPECT_EQ(Snap(img).pixels, (std::vector<uint32_t>{0xC80000, 0x640000, 0, 0, //
                                                           0, 0, 0x000064, 0x0000C8}));
    }
    const auto onePass = DecodeOnePass(b.bytes);
    ASSERT_EQ(onePass.size(), 2u);
    EXPECT_EQ(onePass[0], onePass[1]);
    EXPECT_EQ(onePass, DecodeEachFrame(b.bytes));
}

// ---------------------------------------------------------------------------
// Broken and hostile files (the mended behaviour)

TEST(GifDecoder, RowsABrokenImageNeverReceivedAreIndexZero) {
    // The first canvas is filled with 5 and the image covers it all, so any
    // row the data does not reach shows what the decoder put there.
    GifBuilder good;
    good.Header(3, 4, Table(8)).Control(1, -1, 0, 5);
    ImagePlan plan{0, 0, 3, 4, Solid(3, 4, 7), {}, false, 3};
    // Only 5 pixels of data: row 0 full, row 1 partly, rows 2-3 never.
    plan.pixels.resize(5);
    good.Image(plan).Trailer();
    CxImage img;
    ASSERT_TRUE(DecodeFrame(good.bytes, 0, img));
    EXPECT_EQ(Snap(img).pixels, (std::vector<uint32_t>{7, 7, 7, 7, 7, 0, 0, 0, 0, 0, 0, 0}));

    // A bad code size delivers nothing at all.
    GifBuilder bad;
    bad.Header(2, 1, Table(8)).Control(1, -1, 0, 5);
    bad.RawImage(0, 0, 2, 1, {12, 2, 0xFF, 0xFF, 0});
    bad.Trailer();
    ASSERT_TRUE(DecodeFrame(bad.bytes, 0, img));
    EXPECT_EQ(Snap(img).pixels, (std::vector<uint32_t>{0, 0}));
}

TEST(GifDecoder, AHugeScreenFailsCleanlyWithoutAllocating) {
    for (uint16_t side : {uint16_t(65535), uint16_t(47000)}) {
        GifBuilder b;
        b.Header(side, side, Table(2)).Image({0, 0, 1, 1, {1}, {}, false, 2}).Trailer();
        CxImage img;
        EXPECT_FALSE(DecodeFrame(b.bytes, 0, img));
        EXPECT_STREQ(img.LastError(), "CXIMAGE_MAX_MEMORY exceeded");
        EXPECT_EQ(img.FrameCount(), 1);
        GifDecodeSummary summary;
        MemorySource source(b.bytes);
        int calls = 0;
        EXPECT_FALSE(DecodeAllGifFrames(
            source, [&](const CxImage&, int32_t) { return ++calls, true; }, &summary));
        EXPECT_EQ(summary.error, GifDecodeError::TooLarge);
        EXPECT_EQ(calls, 0);
    }
    // A zero-by-zero screen takes a huge first image's size: same refusal.
    GifBuilder b;
    b.Header(0, 0, Table(256)).RawImage(0, 0, 65535, 65535, {8, 1, 0, 0}).Trailer();
    CxImage img;
    EXPECT_FALSE(DecodeFrame(b.bytes, 0, img));
    EXPECT_STREQ(img.LastError(), "CXIMAGE_MAX_MEMORY exceeded");
}

TEST(GifDecoder, AnEmptyCommentDoesNotEndTheFile) {
    GifBuilder b;
    b.Header(2, 1, Table(4));
    b.Control(1).Image({0, 0, 2, 1, {1, 1}, {}, false, 2});
    b.Comment("");
    b.Control(1).Image({0, 0, 1, 1, {2}, {}, false, 2});
    b.Trailer();
    CxImage img;
    ASSERT_TRUE(DecodeFrame(b.bytes, 1, img));
    EXPECT_EQ(Snap(img).pixels, (std::vector<uint32_t>{2, 1}));
}

TEST(GifDecoder, DataClosedWithoutEndCodeKeepsTheNextControlExtension) {
    GifBuilder b;
    b.Header(2, 1, Table(4)).Loop(0);
    ImagePlan first{0, 0, 2, 1, {1, 1}, {}, false, 2};
    first.endCode = false;
    b.Control(1).Image(first);
    // This extension makes index 2 transparent for the second image.
    b.Control(1, 2, 40).Image({0, 0, 2, 1, {2, 3}, {}, false, 2});
    b.Trailer();
    CxImage img;
    ASSERT_TRUE(DecodeFrame(b.bytes, 1, img));
    EXPECT_EQ(Snap(img).pixels, (std::vector<uint32_t>{1, 3}));
    EXPECT_EQ(img.FrameDelay(), 40u);
}

TEST(GifDecoder, BadCodesResynchroniseOnTheNextImage) {
    GifBuilder b;
    b.Header(2, 1, Table(4));
    // Code size 2: clear (4), literal 1, then 7 (beyond the next free code 6).
    b.Control(1).RawImage(0, 0, 2, 1, {2, 3, 0xCC, 0xFF, 0xFF, 0});
    b.Raw({0x33, 0x00});
    b.Control(1).Image({1, 0, 1, 1, {3}, {}, false, 2});
    b.Trailer();
    CxImage img;
    ASSERT_TRUE(DecodeFrame(b.bytes, 1, img));
    EXPECT_EQ(img.FrameCount(), 2);
    EXPECT_EQ(IndexTop(img, 1, 0), 3u);
}

TEST(GifDecoder, DataEndingEarlyGivesTheLastCompositeForLaterFrames) {
    // A broken application extension stops decoding but not counting.
    GifBuilder b;
    b.Header(2, 1, Table(4));
    b.Image({0, 0, 2, 1, {1, 2}, {}, false, 2});
    b.Raw({0x21, 0xFF, 5, 'a', 'b', 'c', 'd', 'e', 0});
    b.Image({0, 0, 2, 1, {3, 3}, {}, false, 2});
    b.Trailer();
    CxImage img;
    ASSERT_TRUE(DecodeFrame(b.bytes, 1, img));
    EXPECT_EQ(img.FrameCount(), 2);
    EXPECT_EQ(Snap(img).pixels, (std::vector<uint32_t>{1, 2}));
    EXPECT_EQ(DecodeOnePass(b.bytes), DecodeEachFrame(b.bytes));
}

TEST(GifDecoder, ZeroSizedImagesCountButShowNothing) {
    GifBuilder b;
    b.Header(2, 1, Table(4));
    b.Image({0, 0, 2, 1, {1, 2}, {}, false, 2});
    b.RawImage(1, 0, 0, 0, {2, 1, 0x05, 0});
    b.Image({1, 0, 1, 1, {3}, {}, false, 2});
    b.Trailer();
    const auto frames = DecodeEachFrame(b.bytes);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[1].pixels, (std::vector<uint32_t>{1, 2}));
    EXPECT_EQ(frames[2].pixels, (std::vector<uint32_t>{1, 3}));
    EXPECT_EQ(DecodeOnePass(b.bytes), frames);
}

TEST(GifDecoder, TooMuchDataStopsAtTheLastRow) {
    GifBuilder b;
    b.Header(2, 1, Table(4));
    b.Image({0, 0, 2, 1, Solid(2, 3, 1), {}, false, 2}); // 6 pixels for 2
    b.Image({0, 0, 1, 1, {2}, {}, false, 2});
    b.Trailer();
    CxImage img;
    ASSERT_TRUE(DecodeFrame(b.bytes, 0, img));
    EXPECT_EQ(Snap(img).pixels, (std::vector<uint32_t>{1, 1}));
    EXPECT_EQ(DecodeOnePass(b.bytes), DecodeEachFrame(b.bytes));
}

TEST(GifLzw, ARunawayChainIsCutAndTheDecoderEnds) {
    // Codes beyond the next free code make entries that chain onto themselves;
    // the decoder must cut such strings, count the bad codes and end.
    std::vector<uint8_t> codes;
    uint32_t acc = 0, bits = 0;
    auto put = [&](uint32_t c, uint32_t w) {
        acc |= c << bits;
        bits += w;
        while (bits >= 8) {
            codes.push_back(uint8_t(acc));
            acc >>= 8;
            bits -= 8;
        }
    };
    // Code size 2: clear (4), a literal, then the highest code of each width.
    uint32_t width = 3, freeCode = 6;
    put(4, width);
    put(1, width);
    for (int i = 0; i < 2000; ++i) {
        put((1u << width) - 1, width);
        if (freeCode < 4096 && ++freeCode >= (1u << width) && width < 12)
            ++width;
    }
    put(5, width);
    if (bits)
        codes.push_back(uint8_t(acc));
    GifBuilder sub;
    sub.bytes.push_back(2);
    sub.WriteSubBlocks(codes);
    MemorySource source(sub.bytes);
    const LzwResult r = DecodeLzwImage(source, nullptr, 60000, 60000, false);
    EXPECT_GT(r.badCodes, 0u);
    EXPECT_EQ(r.status, LzwStatus::EndCode);
}

// Collects what the LZW stage delivers, row by row.
struct RowLog final : GifRowOutput {
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> rows;
    void PutRow(uint32_t row, std::span<const uint8_t> indices) override {
        rows.emplace_back(row, std::vector<uint8_t>(indices.begin(), indices.end()));
    }
};

// Code size byte and sub-blocks of literal codes for `pixels`, then `after`.
std::vector<uint8_t> LzwData(const std::vector<uint8_t>& pixels, uint8_t codeSize, bool endCode,
                             const std::vector<uint8_t>& after) {
    GifBuilder b;
    b.bytes.push_back(codeSize);
    b.WriteSubBlocks(GifBuilder::EncodeLiterals(pixels, codeSize, endCode));
    b.Raw(after);
    return b.bytes;
}

TEST(GifLzw, ReportsHowTheDataEndedAndWhereTheNextBlockStarts) {
    using Rows = std::vector<std::pair<uint32_t, std::vector<uint8_t>>>;
    {
        // The end code leaves the block terminator unread.
        const auto bytes = LzwData({1, 2, 3, 0}, 2, true, {0x3B});
        MemorySource source(bytes);
        RowLog log;
        const LzwResult r = DecodeLzwImage(source, &log, 2, 2, false);
        EXPECT_EQ(r.status, LzwStatus::EndCode);
        EXPECT_EQ(r.badCodes, 0u);
        EXPECT_EQ(source.Tell() - int64_t(r.unconsumed), int64_t(bytes.size()) - 2);
        EXPECT_EQ(log.rows, (Rows{{0, {1, 2}}, {1, {3, 0}}}));
    }
    {
        // Without an end code the zero-length sub-block closes the data and is
        // consumed with it. Four 4-bit codes fill two bytes exactly, so no
        // padding bits read as one more pixel.
        const auto bytes = LzwData({1, 2, 3}, 3, false, {0x3B});
        MemorySource source(bytes);
        RowLog log;
        const LzwResult r = DecodeLzwImage(source, &log, 3, 1, false);
        EXPECT_EQ(r.status, LzwStatus::EmptySubBlock);
        EXPECT_EQ(source.Tell() - int64_t(r.unconsumed), int64_t(bytes.size()) - 1);
        EXPECT_EQ(log.rows, (Rows{{0, {1, 2, 3}}}));
    }
    {
        // The file ends inside the data: a partial last row goes out as far as
        // it goes.
        auto bytes = LzwData({1, 2, 3, 0}, 2, true, {});
        bytes.resize(4); // code size, length, two of the three data bytes
        MemorySource source(bytes);
        RowLog log;
        const LzwResult r = DecodeLzwImage(source, &log, 2, 2, false);
        EXPECT_EQ(r.status, LzwStatus::FileEnded);
        EXPECT_EQ(log.rows, (Rows{{0, {1, 2}}, {1, {3}}}));
    }
    {
        MemorySource empty(std::span<const uint8_t>{});
        EXPECT_EQ(DecodeLzwImage(empty, nullptr, 2, 2, false).status, LzwStatus::FileEnded);
    }
    for (const uint8_t codeSize : {uint8_t(0), uint8_t(1), uint8_t(10), uint8_t(12)}) {
        const std::vector<uint8_t> bytes = {codeSize, 2, 0xFF, 0xFF, 0};
        MemorySource source(bytes);
        RowLog log;
        EXPECT_EQ(DecodeLzwImage(source, &log, 2, 1, false).status, LzwStatus::BadCodeSize)
            << int(codeSize);
        EXPECT_TRUE(log.rows.empty());
    }
    for (const uint8_t codeSize : {uint8_t(2), uint8_t(9)}) {
        const auto bytes = LzwData({1, 0, 1}, codeSize, true, {});
        MemorySource source(bytes);
        RowLog log;
        EXPECT_EQ(DecodeLzwImage(source, &log, 3, 1, false).status, LzwStatus::EndCode)
            << int(codeSize);
        EXPECT_EQ(log.rows, (Rows{{0, {1, 0, 1}}})) << int(codeSize);
    }
    {
        // Six pixels for a 2 x 1 image: the third one stops decoding.
        const auto bytes = LzwData(Solid(2, 3, 1), 2, true, {});
        MemorySource source(bytes);
        RowLog log;
        EXPECT_EQ(DecodeLzwImage(source, &log, 2, 1, false).status, LzwStatus::TooManyPixels);
        EXPECT_EQ(log.rows, (Rows{{0, {1, 1}}}));
    }
}

// ---------------------------------------------------------------------------
// One pass and per frame agree

std::vector<std::vector<uint8_t>> HandMadeFiles() {
    std::vector<std::vector<uint8_t>> files;
    {
        GifBuilder b;
        b.Header(5, 4, Table(16)).Loop(0);
        b.Control(1, -1, 10).Image({0, 0, 5, 4, Solid(5, 4, 3), {}, false, 4});
        b.Control(2, 4).Image({1, 1, 3, 2, {4, 5, 6, 7, 4, 9}, {}, false, 4});
        b.Control(3, 4).Image({0, 0, 2, 2, {1, 2, 3, 4}, {}, true, 4});
        b.Control(1).Image({2, 2, 3, 2, {8, 8, 8, 9, 9, 9}, Table(4), false, 2});
        b.Control(0).Image({4, 0, 1, 4, {1, 2, 3, 0}, {}, true, 4});
        b.Trailer();
        files.push_back(b.bytes);
    }
    {
        GifBuilder b;
        b.Header(3, 3, {});
        b.Control(1).Image({0, 0, 3, 3, Solid(3, 3, 1), Table(2), false, 2});
        b.Control(2).Image({0, 0, 3, 1, {5, 6, 7}, Table(256), false, 8});
        b.Image({1, 1, 2, 2, {0, 1, 1, 0}, Table(256), true, 8});
        b.Trailer();
        files.push_back(b.bytes);
    }
    return files;
}

TEST(GifDecoder, OnePassDeliversExactlyWhatEachFrameDecodeDoes) {
    for (const auto& file : HandMadeFiles()) {
        const auto each = DecodeEachFrame(file);
        ASSERT_GE(each.size(), 3u);
        bool ok = false;
        EXPECT_EQ(DecodeOnePass(file, &ok), each);
        EXPECT_TRUE(ok);
    }
}

TEST(GifDecoder, OnePassStopsWhenTheCallerSaysSo) {
    const auto file = HandMadeFiles().front();
    MemorySource source(file);
    int calls = 0;
    EXPECT_TRUE(DecodeAllGifFrames(source, [&](const CxImage&, int32_t index) {
        ++calls;
        return index < 1;
    }));
    EXPECT_EQ(calls, 2);
}

TEST(GifDecoder, ReadsFilesThroughTheFileSource) {
    QTemporaryDir dir;
    const auto file = HandMadeFiles().front();
    const QString path = dir.filePath("hand.gif");
    ASSERT_TRUE(testing_support::WriteWholeFile(
        path, QByteArray(reinterpret_cast<const char*>(file.data()), qsizetype(file.size()))));
    FileSource source(path.toStdString());
    ASSERT_TRUE(source.IsOpen());
    std::vector<Snapshot> fromFile;
    ASSERT_TRUE(DecodeAllGifFrames(source, [&](const CxImage& frame, int32_t) {
        fromFile.push_back(Snap(frame));
        return true;
    }));
    EXPECT_EQ(fromFile, DecodeEachFrame(file));

    CxImage last;
    last.SetFrameIndex(int32_t(fromFile.size()) - 1);
    ASSERT_TRUE(DecodeGifFile(path.toStdString(), last));
    EXPECT_EQ(Snap(last), fromFile.back());
    EXPECT_FALSE(DecodeGifFile(dir.filePath("missing.gif").toStdString(), last));
    EXPECT_STREQ(last.LastError(), "No such file or directory");

    FileSource missing(dir.filePath("missing.gif").toStdString());
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_EQ(missing.OpenError(), ENOENT);
}

// ---------------------------------------------------------------------------
// Files written by other tools, checked against ImageMagick's coalesced frames

class GifFromOtherTools : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"convert", "gifsicle", "ffmpeg"})
            ASSERT_TRUE(testing_support::HaveProgram(tool))
                << tool << " is needed (scripts/test installs it)";
        ASSERT_TRUE(dir_.isValid());
    }

    QString Path(const QString& name) const { return dir_.filePath(name); }

    void Run(const QString& program, const QStringList& args) {
        const auto r = testing_support::RunProgram(program, args);
        ASSERT_EQ(r.exitCode, 0) << program.toStdString() << ": " << r.err.toStdString();
    }

    std::vector<uint8_t> Bytes(const QString& name) {
        const QByteArray data = testing_support::ReadWholeFile(Path(name));
        return std::vector<uint8_t>(data.begin(), data.end());
    }

    // Checks every frame, through both entry points, against ImageMagick.
    void ExpectSameAsImageMagick(const QString& name) {
        const auto bytes = Bytes(name);
        ASSERT_FALSE(bytes.empty());
        const auto r = testing_support::RunProgram(
            "convert", {Path(name), "-coalesce", "-depth", "8", "rgb:-"});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();

        std::vector<std::vector<uint8_t>> onePass;
        MemorySource source(bytes);
        ASSERT_TRUE(DecodeAllGifFrames(source, [&](const CxImage& frame, int32_t) {
            onePass.push_back(RgbBytes(frame));
            return true;
        }));
        ASSERT_FALSE(onePass.empty());
        const std::size_t frameBytes = onePass[0].size();
        ASSERT_EQ(std::size_t(r.out.size()), frameBytes * onePass.size()) << "frame count";
        for (std::size_t i = 0; i < onePass.size(); ++i) {
            const std::vector<uint8_t> expected(r.out.begin() + qsizetype(i * frameBytes),
                                                r.out.begin() + qsizetype((i + 1) * frameBytes));
            EXPECT_TRUE(onePass[i] == expected) << name.toStdString() << " frame " << i;
            CxImage single;
            ASSERT_TRUE(DecodeFrame(bytes, int32_t(i), single));
            EXPECT_TRUE(RgbBytes(single) == onePass[i]) << "frame " << i << " differs per frame";
        }
    }

    // Three 48x32 frames: a gradient with a shape drawn on it.
    void MakeMovingShapes(const QString& name, const QStringList& extra) {
        QStringList args = testing_support::MovingShapesArgs();
        args << extra << "-loop"
             << "0" << Path(name);
        Run("convert", args);
    }

    QTemporaryDir dir_;
};

TEST_F(GifFromOtherTools, GlobalPaletteOnly) {
    MakeMovingShapes("global-full.gif", {"-dispose", "none"});
    Run("gifsicle", {"--colors", "64", Path("global-full.gif"), "-o", Path("global.gif")});
    ExpectSameAsImageMagick("global.gif");
}

TEST_F(GifFromOtherTools, FullFrameLocalPalettes) {
    Run("convert", {"-size", "40x30", "gradient:red-blue", "-size", "40x30",
                    "gradient:green-yellow", "-size", "40x30", "radial-gradient:white-purple",
                    "-dispose", "undefined", "-loop", "0", Path("local.gif")});
    ExpectSameAsImageMagick("local.gif");
}

TEST_F(GifFromOtherTools, InterlacedWithDisposalNone) {
    MakeMovingShapes("inter.gif", {"-dispose", "none", "-interlace", "GIF"});
    ExpectSameAsImageMagick("inter.gif");
}

TEST_F(GifFromOtherTools, SubRectanglesAtOffsets) {
    Run("convert", {"-size",
                    "48x32",
                    "gradient:red-blue",
                    "(",
                    "-size",
                    "10x8",
                    "xc:green",
                    "-repage",
                    "48x32+5+4",
                    ")",
                    "(",
                    "-size",
                    "12x6",
                    "xc:yellow",
                    "-repage",
                    "48x32+30+20",
                    ")",
                    "-dispose",
                    "none",
                    "-loop",
                    "0",
                    Path("sub-local.gif")});
    // One global palette, so the newest-palette rule cannot change old pixels.
    Run("gifsicle", {"--colors", "64", Path("sub-local.gif"), "-o", Path("sub.gif")});
    ExpectSameAsImageMagick("sub.gif");
}

TEST_F(GifFromOtherTools, TransparencyOverEarlierFramesFromGifsicle) {
    MakeMovingShapes("moving.gif", {"-dispose", "none"});
    Run("gifsicle", {"-O3", "--colors", "64", Path("moving.gif"), "-o", Path("optimised.gif")});
    ExpectSameAsImageMagick("optimised.gif");
}

TEST_F(GifFromOtherTools, TransparencyAndCroppedFramesFromFfmpeg) {
    Run("ffmpeg", {"-loglevel", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=64x48:rate=10",
                   "-t", "1", Path("ffmpeg.gif")});
    ExpectSameAsImageMagick("ffmpeg.gif");
}

TEST_F(GifFromOtherTools, CompressedDataWithAFullCodeTable) {
    // Noise fills the 4096-entry table, so the decoder meets the full-table
    // rule and the clear codes that follow it.
    Run("convert", {"-size", "160x120", "xc:", "+noise", "Random", "-colors", "256", "(", "+clone",
                    "-flip", ")", "-dispose", "none", "-loop", "0", Path("noise.gif")});
    ExpectSameAsImageMagick("noise.gif");
}

// ---------------------------------------------------------------------------
// Broken copies of good files: never a crash, never a sanitizer report.

void DecodeBothWays(const std::vector<uint8_t>& bytes) {
    MemorySource source(bytes);
    int32_t frames = 0;
    GifDecodeSummary summary;
    DecodeAllGifFrames(
        source,
        [&](const CxImage& frame, int32_t) {
            ++frames;
            (void)Snap(frame);
            return true;
        },
        &summary);
    if (summary.frameCount > 0) {
        EXPECT_EQ(frames, summary.error == GifDecodeError::None ? summary.frameCount : 0);
        CxImage last;
        DecodeFrame(bytes, summary.frameCount - 1, last);
    }
}

std::vector<std::vector<uint8_t>> FuzzSeeds() {
    auto files = HandMadeFiles();
    const QString path = QString(FRAMELOOP_TEST_DATA) + "/two-frames.gif";
    const QByteArray stored = testing_support::ReadWholeFile(path);
    EXPECT_FALSE(stored.isEmpty()) << path.toStdString();
    files.emplace_back(stored.begin(), stored.end());
    return files;
}

TEST(GifDecoderFuzz, EveryTruncationDecodesSafely) {
    for (const auto& file : FuzzSeeds()) {
        for (std::size_t n = 0; n < file.size(); ++n)
            DecodeBothWays(std::vector<uint8_t>(file.begin(), file.begin() + long(n)));
    }
}

TEST(GifDecoderFuzz, FlippedBytesDecodeSafely) {
    std::mt19937 random(20261210);
    for (const auto& file : FuzzSeeds()) {
        for (int round = 0; round < 100; ++round) {
            std::vector<uint8_t> mutated = file;
            const int flips = 1 + int(random() % 4);
            for (int f = 0; f < flips; ++f) {
                const std::size_t at = random() % mutated.size();
                mutated[at] =
                    round % 2 ? uint8_t(random()) : uint8_t(mutated[at] ^ (1u << (random() % 8)));
            }
            DecodeBothWays(mutated);
        }
    }
}

} // namespace
