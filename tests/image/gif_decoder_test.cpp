// The GIF frame decoder: composition rules on hand-made files, pixel equality
// with ImageMagick's and ffmpeg's frames on files other tools wrote, equality
// of the one-pass and per-frame entry points, and survival of broken files.
// The LZW stage is also driven on its own through its internal header, for
// what only it reports (row order, how the data ended).
#include "image/gif_decoder.h"
#include "image/gif_lzw.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <initializer_list>
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
// colours (0xRRGGBB, top row first) and record fields.
struct Snapshot {
    uint32_t width = 0, height = 0, bpp = 0;
    int32_t transparent = -1;
    std::vector<uint32_t> palette;
    std::vector<uint32_t> pixels;
    std::vector<uint8_t> alpha;
    uint32_t delay = 0;
    uint32_t disposal = 0;
    bool operator==(const Snapshot&) const = default;
};

uint32_t Packed(RgbQuad q) {
    return uint32_t(q.rgbRed) << 16 | q.rgbGreen << 8 | q.rgbBlue;
}

uint32_t Packed(Rgb c) {
    return uint32_t(c.r) << 16 | c.g << 8 | c.b;
}

Snapshot Snap(const CxImage& img) {
    Snapshot s;
    if (!img.IsValid())
        return s;
    s.width = img.Width();
    s.height = img.Height();
    s.bpp = img.BitsPerPixel();
    s.transparent = img.TransparentIndex();
    s.delay = img.FrameDelay();
    s.disposal = img.DisposalMethod();
    for (uint32_t i = 0; i < img.NumColors(); ++i)
        s.palette.push_back(Packed(img.PaletteColor(i)));
    for (uint32_t row = 0; row < s.height; ++row) {
        const uint32_t y = s.height - 1 - row;
        for (uint32_t x = 0; x < s.width; ++x) {
            s.pixels.push_back(Packed(img.ColorAt(x, y)));
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

// The colours of every frame, through both entry points, which must agree.
std::vector<std::vector<uint32_t>> FrameColours(const std::vector<uint8_t>& bytes) {
    const auto each = DecodeEachFrame(bytes);
    EXPECT_EQ(DecodeOnePass(bytes), each);
    std::vector<std::vector<uint32_t>> out;
    for (const Snapshot& s : each)
        out.push_back(s.pixels);
    return out;
}

std::vector<uint32_t> FrameColours(const std::vector<uint8_t>& bytes, int32_t index) {
    CxImage img;
    EXPECT_TRUE(DecodeFrame(bytes, index, img)) << "frame " << index;
    return Snap(img).pixels;
}

std::vector<Rgb> Table(uint32_t n) {
    return gif_test::DistinctTable(n);
}

// The colour of entry i of every Table(n), packed.
uint32_t Entry(uint32_t i) {
    return Packed(gif_test::DistinctTable(i + 1)[i]);
}

std::vector<uint32_t> Entries(std::initializer_list<uint32_t> indices) {
    std::vector<uint32_t> out;
    for (const uint32_t i : indices)
        out.push_back(Entry(i));
    return out;
}

constexpr uint32_t kBlack = 0x000000;

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
        EXPECT_EQ(FrameColours(bytes, 0), Entries({0, 1, 2, 3})) << version;
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

// The composite is opaque true colour: no palette, no transparent index.
TEST(GifDecoder, AStillImageIsAnOpaqueTrueColourFrameWithItsRecordFields) {
    GifBuilder b;
    b.Header(3, 2, Table(16))
        .Control(1, 4, 25)
        .Image({0, 0, 3, 2, {1, 2, 3, 4, 5, 15}, {}, false, 4});
    b.Trailer();
    CxImage img;
    ASSERT_TRUE(DecodeFrame(b.bytes, 0, img));
    EXPECT_EQ(img.Width(), 3u);
    EXPECT_EQ(img.Height(), 2u);
    EXPECT_EQ(img.BitsPerPixel(), 24u);
    EXPECT_EQ(img.NumColors(), 0u);
    EXPECT_FALSE(img.HasAlpha());
    EXPECT_EQ(img.Type(), uint32_t(CXIMAGE_FORMAT_GIF));
    EXPECT_EQ(img.FrameCount(), 1);
    EXPECT_EQ(img.FrameIndex(), 0);
    EXPECT_EQ(img.FrameDelay(), 25u);
    EXPECT_EQ(img.DisposalMethod(), 1u);
    EXPECT_EQ(img.TransparentIndex(), -1);
    // Index 4 is transparent: the background (entry 0) shows through.
    EXPECT_EQ(Snap(img).pixels, Entries({1, 2, 3, 0, 5, 15}));
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
    EXPECT_EQ(FrameColours(b.bytes, 2), Entries({1, 4, 1, 1, //
                                                 5, 2, 3, 1, //
                                                 1, 1, 1, 1}));
}

// Every table size and depth gives colours, and any depth may follow any other.
TEST(GifDecoder, EachImageShowsItsOwnTableAtAnyDepth) {
    const std::vector<Rgb> two = {{9, 9, 9}, {200, 100, 50}};
    struct Case {
        const char* name;
        std::vector<Rgb> firstTable;
        uint8_t firstCodeSize;
        std::vector<Rgb> secondTable;
        uint8_t secondCodeSize;
    };
    const Case cases[] = {
        {"1 bit then 8 bits", two, 2, Table(256), 8},
        {"8 bits then 1 bit", Table(256), 8, two, 2},
        {"4 bits then 8 bits", Table(16), 4, Table(256), 8},
        {"8 bits then 4 bits", Table(256), 8, Table(16), 4},
        {"1 bit then 4 bits", two, 2, Table(4), 2},
    };
    for (const Case& c : cases) {
        GifBuilder b;
        b.Header(4, 1, {});
        b.Control(1).Image({0, 0, 4, 1, {0, 1, 0, 1}, c.firstTable, false, c.firstCodeSize});
        b.Control(1).Image({2, 0, 2, 1, {2, 3}, c.secondTable, false, c.secondCodeSize});
        b.Trailer();
        const auto frames = FrameColours(b.bytes);
        ASSERT_EQ(frames.size(), 2u) << c.name;
        const auto first = [&](uint32_t i) { return Packed(c.firstTable[i]); };
        const auto second = [&](uint32_t i) {
            return i < c.secondTable.size() ? Packed(c.secondTable[i]) : 0u;
        };
        EXPECT_EQ(frames[0], (std::vector<uint32_t>{first(0), first(1), first(0), first(1)}))
            << c.name;
        // Indices past a 2-entry table are black.
        EXPECT_EQ(frames[1], (std::vector<uint32_t>{first(0), first(1), second(2), second(3)}))
            << c.name;
    }
}

// Pixels keep the colour their own image's table gave them, whatever table a
// later image uses: a local table, then the global one, then another local.
TEST(GifDecoder, EarlierPixelsKeepTheirColoursWhenTheTableChanges) {
    const std::vector<Rgb> reds = {{10, 0, 0}, {20, 0, 0}, {30, 0, 0}, {40, 0, 0}};
    const std::vector<Rgb> greens = {{0, 10, 0}, {0, 20, 0}, {0, 30, 0}, {0, 40, 0}};
    GifBuilder b;
    b.Header(4, 1, Table(4));
    b.Control(1).Image({0, 0, 4, 1, {1, 1, 1, 1}, reds, false, 2});
    b.Control(1).Image({1, 0, 1, 1, {2}, {}, false, 2});
    b.Control(1).Image({2, 0, 1, 1, {3}, greens, false, 2});
    b.Control(1).Image({3, 0, 1, 1, {0}, {}, false, 2});
    b.Trailer();
    const std::vector<std::vector<uint32_t>> expected = {
        {0x140000, 0x140000, 0x140000, 0x140000},
        {0x140000, Entry(2), 0x140000, 0x140000},
        {0x140000, Entry(2), 0x002800, 0x140000},
        {0x140000, Entry(2), 0x002800, Entry(0)},
    };
    EXPECT_EQ(FrameColours(b.bytes), expected);
}

// An image's transparent index is its own: the next image paints that index,
// whether it has a control extension of its own or not.
TEST(GifDecoder, TransparencyBelongsToTheOneImageAfterTheExtension) {
    struct Case {
        const char* name;
        bool secondHasControl;
    };
    for (const Case c : {Case{"no extension", false}, Case{"an opaque extension", true}}) {
        GifBuilder b;
        b.Header(3, 1, Table(4));
        b.Control(1, 3, 40).Image({0, 0, 3, 1, {1, 3, 2}, {}, false, 2});
        if (c.secondHasControl)
            b.Control(1);
        b.Image({0, 0, 2, 1, {3, 3}, {}, false, 2});
        b.Control(1, 0).Image({0, 0, 3, 1, {0, 0, 0}, {}, false, 2});
        b.Trailer();
        const std::vector<std::vector<uint32_t>> expected = {Entries({1, 0, 2}), Entries({3, 3, 2}),
                                                             Entries({3, 3, 2})};
        EXPECT_EQ(FrameColours(b.bytes), expected) << c.name;
        // Delay and disposal carry over to an image without an extension.
        CxImage img;
        ASSERT_TRUE(DecodeFrame(b.bytes, 1, img));
        EXPECT_EQ(img.FrameDelay(), c.secondHasControl ? 0u : 40u) << c.name;
        EXPECT_EQ(img.DisposalMethod(), 1u) << c.name;
    }
}

// What nothing painted shows: the global table's background entry, or black
// without a global table. Never the transparent index's colour or entry 0.
TEST(GifDecoder, UnpaintedPixelsShowTheBackground) {
    std::vector<Rgb> global = Table(8);
    const uint32_t background = Entry(5);
    struct Case {
        const char* name;
        bool globalTable;
        int transparent; // of the first image
        uint32_t expectedFill;
    };
    const Case cases[] = {
        {"global table, opaque first image", true, -1, background},
        {"global table, transparent first image", true, 2, background},
        {"no global table, opaque first image", false, -1, kBlack},
        {"no global table, transparent first image", false, 2, kBlack},
    };
    for (const Case& c : cases) {
        GifBuilder b;
        b.Header(3, 2, c.globalTable ? global : std::vector<Rgb>{}).BackgroundIndex(5);
        // The raw transparent byte (6) plays no part when the flag is clear.
        if (c.transparent >= 0)
            b.Control(1, c.transparent);
        else
            b.Control(1, -1, 0, 6);
        b.Image({1, 0, 2, 1, {2, 1}, c.globalTable ? std::vector<Rgb>{} : global, false, 3});
        b.Trailer();
        const uint32_t painted = c.transparent == 2 ? c.expectedFill : Entry(2);
        EXPECT_EQ(FrameColours(b.bytes, 0),
                  (std::vector<uint32_t>{c.expectedFill, painted, Entry(1), c.expectedFill,
                                         c.expectedFill, c.expectedFill}))
            << c.name;
    }
    // Without any control extension.
    GifBuilder b;
    b.Header(3, 2, global).BackgroundIndex(5).Image({1, 1, 1, 1, {6}, {}, false, 3}).Trailer();
    EXPECT_EQ(FrameColours(b.bytes, 0), (std::vector<uint32_t>{background, background, background,
                                                               background, Entry(6), background}));
}

// Disposal 2 clears the image's own rectangle to the background before the
// next image; the rest of the screen keeps what it showed.
TEST(GifDecoder, DisposalTwoClearsOnlyItsRectangleToTheBackground) {
    struct Case {
        const char* name;
        std::vector<Rgb> global;
        int disposedTransparent;
        uint32_t fill;
    };
    const Case cases[] = {
        {"global table", Table(8), -1, Entry(3)},
        {"global table, transparent image", Table(8), 1, Entry(3)},
        {"no global table", {}, -1, kBlack},
    };
    for (const Case& c : cases) {
        const std::vector<Rgb> local = c.global.empty() ? Table(8) : std::vector<Rgb>{};
        GifBuilder b;
        b.Header(3, 2, c.global).BackgroundIndex(3);
        b.Control(1).Image({0, 0, 3, 2, Solid(3, 2, 7), local, false, 3});
        b.Control(2, c.disposedTransparent).Image({1, 0, 2, 2, {1, 2, 1, 2}, local, false, 3});
        b.Control(1).Image({2, 1, 1, 1, {4}, local, false, 3});
        b.Trailer();
        const auto frames = FrameColours(b.bytes);
        ASSERT_EQ(frames.size(), 3u) << c.name;
        const uint32_t one = c.disposedTransparent == 1 ? Entry(7) : Entry(1);
        EXPECT_EQ(frames[1],
                  (std::vector<uint32_t>{Entry(7), one, Entry(2), Entry(7), one, Entry(2)}))
            << c.name << ": the disposed image is still shown in its own frame";
        EXPECT_EQ(frames[2],
                  (std::vector<uint32_t>{Entry(7), c.fill, c.fill, Entry(7), c.fill, Entry(4)}))
            << c.name;
    }
}

// Disposal 3 puts back what the image's rectangle held before it was drawn,
// including a rectangle an earlier disposal 2 cleared.
TEST(GifDecoder, DisposalThreeRestoresWhatWasUnderTheImage) {
    GifBuilder b;
    b.Header(3, 1, Table(8)).BackgroundIndex(6);
    b.Control(1).Image({0, 0, 3, 1, {1, 1, 1}, {}, false, 3});
    b.Control(1).Image({0, 0, 1, 1, {2}, {}, false, 3});
    b.Control(3).Image({1, 0, 1, 1, {3}, {}, false, 3});
    b.Control(3).Image({2, 0, 1, 1, {4}, {}, false, 3});
    b.Control(2).Image({0, 0, 1, 1, {5}, {}, false, 3});
    b.Control(3).Image({0, 0, 2, 1, {7, 7}, {}, false, 3});
    b.Control(1).Image({2, 0, 1, 1, {0}, {}, false, 3});
    b.Trailer();
    const std::vector<std::vector<uint32_t>> expected = {
        Entries({1, 1, 1}), Entries({2, 1, 1}), Entries({2, 3, 1}), Entries({2, 1, 4}),
        Entries({5, 1, 1}), Entries({7, 7, 1}), Entries({6, 1, 0})};
    EXPECT_EQ(FrameColours(b.bytes), expected);
}

// The composite stays opaque: restoring a grey picture gives no alpha plane.
TEST(GifDecoder, DisposalThreeToAGreyPictureStaysOpaque) {
    std::vector<Rgb> grey(256);
    for (uint32_t i = 0; i < 256; ++i)
        grey[i] = Rgb{uint8_t(i), uint8_t(i), uint8_t(i)};
    GifBuilder b;
    b.Header(2, 1, grey);
    b.Control(1).Image({0, 0, 2, 1, {2, 3}, {}, false, 8});
    b.Control(3).Image({0, 0, 1, 1, {1}, {}, false, 8});
    b.Control(1).Image({1, 0, 1, 1, {9}, {}, false, 8});
    b.Trailer();
    CxImage img;
    ASSERT_TRUE(DecodeFrame(b.bytes, 2, img));
    EXPECT_FALSE(img.HasAlpha());
    EXPECT_EQ(Snap(img).pixels, (std::vector<uint32_t>{0x020202, 0x090909}));
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
    GifBuilder b;
    b.Header(2, 4, Table(4)).Image(RowNumberedInterlacedPlan()).Trailer();
    EXPECT_EQ(FrameColours(b.bytes, 0), Entries({0, 0, 1, 1, 2, 2, 3, 3}));
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
    EXPECT_EQ(Snap(img).pixels, Entries({0, 3, 3, 3, 3, 3}));
}

// A screen with no area has nothing to show, whatever its images hold.
TEST(GifDecoder, AnEmptyScreenIsRefused) {
    const std::pair<uint16_t, uint16_t> screens[] = {{0, 5}, {5, 0}};
    for (const auto& [w, h] : screens) {
        GifBuilder b;
        b.Header(w, h, Table(4)).Image({0, 0, 2, 1, {1, 2}, {}, false, 2}).Trailer();
        CxImage img;
        EXPECT_FALSE(DecodeFrame(b.bytes, 0, img)) << w << "x" << h;
        EXPECT_FALSE(img.IsValid());
        EXPECT_EQ(img.FrameCount(), 1);
        EXPECT_STREQ(img.LastError(), "GIF logical screen is empty");
    }
    // A 0 x 0 screen whose first image is 0 x 0 too.
    GifBuilder b;
    b.Header(0, 0, Table(4)).RawImage(0, 0, 0, 0, {2, 1, 0x05, 0}).Trailer();
    GifDecodeSummary summary;
    MemorySource source(b.bytes);
    EXPECT_FALSE(DecodeAllGifFrames(
        source, [](const CxImage&, int32_t) { return true; }, &summary));
    EXPECT_EQ(summary.error, GifDecodeError::BadData);
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
    EXPECT_EQ(Snap(img).pixels, Entries({2, 1}));
}

// As browsers, ImageMagick and ffmpeg do: the part on the screen is shown and
// the image is a frame like any other, also the first one and one wholly off
// the screen.
TEST(GifDecoder, ImagesReachingPastTheScreenAreClippedAndCounted) {
    GifBuilder b;
    b.Header(3, 2, Table(8)).BackgroundIndex(7);
    b.Control(1).Image({1, 1, 3, 2, {1, 2, 3, 4, 5, 6}, {}, false, 3});
    b.Control(1).Image({2, 0, 2, 1, {5, 5}, {}, false, 3});
    b.Control(1).Image({5, 5, 1, 1, {6}, {}, false, 3});
    b.Control(1).Image({0, 0, 1, 1, {4}, {}, false, 3});
    b.Trailer();
    const std::vector<std::vector<uint32_t>> expected = {
        Entries({7, 7, 7, 7, 1, 2}), Entries({7, 7, 5, 7, 1, 2}), Entries({7, 7, 5, 7, 1, 2}),
        Entries({4, 7, 5, 7, 1, 2})};
    EXPECT_EQ(FrameColours(b.bytes), expected);
}

// A file without a global table whose first image is smaller than the screen
// is composed frame by frame like any other: pieces of one picture build up.
TEST(GifDecoder, TilesOfATrueColourPictureAreComposedFrameByFrame) {
    std::vector<Rgb> red = {{200, 0, 0}, {100, 0, 0}};
    std::vector<Rgb> blue = {{0, 0, 200}, {0, 0, 100}};
    GifBuilder b;
    b.Header(4, 2, {});
    b.Image({0, 0, 2, 1, {0, 1}, red, false, 2});
    b.Image({2, 1, 2, 1, {1, 0}, blue, false, 2});
    b.Trailer();
    const std::vector<std::vector<uint32_t>> expected = {
        {0xC80000, 0x640000, kBlack, kBlack, kBlack, kBlack, kBlack, kBlack},
        {0xC80000, 0x640000, kBlack, kBlack, kBlack, kBlack, 0x000064, 0x0000C8}};
    EXPECT_EQ(FrameColours(b.bytes), expected);
}

// Code sizes 9 to 11 are decoded as ImageMagick and ffmpeg decode them; 12
// and above, and below 2, are refused with the reason, never shown as a
// made-up picture. Frames before such an image are still delivered.
TEST(GifDecoder, LzwCodeSizesAboveEightDecodeUpToElevenAndAreRefusedBeyond) {
    for (const uint8_t codeSize : {uint8_t(2), uint8_t(8), uint8_t(9), uint8_t(10), uint8_t(11)}) {
        GifBuilder b;
        b.Header(4, 1, Table(4)).Image({0, 0, 4, 1, {3, 2, 1, 0}, {}, false, codeSize}).Trailer();
        EXPECT_EQ(FrameColours(b.bytes, 0), Entries({3, 2, 1, 0})) << int(codeSize);
    }
    for (const uint8_t codeSize : {uint8_t(0), uint8_t(1), uint8_t(12), uint8_t(255)}) {
        GifBuilder b;
        b.Header(2, 1, Table(4));
        b.Image({0, 0, 2, 1, {1, 2}, {}, false, 2});
        b.RawImage(0, 0, 2, 1, {codeSize, 2, 0xFF, 0xFF, 0});
        b.Trailer();
        CxImage img;
        EXPECT_TRUE(DecodeFrame(b.bytes, 0, img)) << int(codeSize);
        EXPECT_FALSE(DecodeFrame(b.bytes, 1, img)) << int(codeSize);
        EXPECT_FALSE(img.IsValid());
        EXPECT_EQ(img.FrameCount(), 2);
        EXPECT_EQ(std::string(img.LastError()), "GIF image 2 has LZW code size " +
                                                    std::to_string(codeSize) +
                                                    ", which cannot be decoded");
        GifDecodeSummary summary;
        MemorySource source(b.bytes);
        int delivered = 0;
        EXPECT_FALSE(DecodeAllGifFrames(
            source, [&](const CxImage&, int32_t) { return ++delivered, true; }, &summary));
        EXPECT_EQ(delivered, 1) << int(codeSize);
        EXPECT_EQ(summary.error, GifDecodeError::BadData);
    }
}

// ---------------------------------------------------------------------------
// Broken and hostile files (the mended behaviour)

TEST(GifDecoder, RowsABrokenImageNeverDeliveredKeepWhatWasUnderThem) {
    GifBuilder b;
    b.Header(3, 4, Table(8)).BackgroundIndex(6);
    b.Control(1).Image({0, 0, 3, 2, Solid(3, 2, 2), {}, false, 3});
    // Only 5 pixels of data: row 0 full, row 1 partly, rows 2-3 never.
    ImagePlan plan{0, 0, 3, 4, Solid(3, 4, 7), {}, false, 3};
    plan.pixels.resize(5);
    b.Control(1).Image(plan).Trailer();
    EXPECT_EQ(FrameColours(b.bytes, 1), Entries({7, 7, 7, //
                                                 7, 7, 2, //
                                                 6, 6, 6, //
                                                 6, 6, 6}));
}

TEST(GifDecoder, AHugeScreenFailsCleanlyWithoutAllocating) {
    // 13056 x 59392 is a 1-bit canvas within the limit but 2.3 GB at 24 bits.
    const std::pair<uint16_t, uint16_t> screens[] = {
        {65535, 65535}, {47000, 47000}, {13056, 59392}, {65535, 1366}};
    for (const auto& [w, h] : screens) {
        GifBuilder b;
        b.Header(w, h, Table(2)).Image({0, 0, 1, 1, {1}, {}, false, 2}).Trailer();
        CxImage img;
        EXPECT_FALSE(DecodeFrame(b.bytes, 0, img)) << w << "x" << h;
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

// A huge image on a small screen needs no memory of its own: it is decoded
// row by row onto the screen and clipped.
TEST(GifDecoder, AHugeImageOnASmallScreenIsClipped) {
    GifBuilder b;
    b.Header(2, 1, Table(4));
    b.RawImage(0, 0, 65535, 65535, {2, 2, 0x4C, 0x01, 0}); // clear, 1, end
    b.Trailer();
    CxImage img;
    ASSERT_TRUE(DecodeFrame(b.bytes, 0, img));
    EXPECT_EQ(img.Width(), 2u);
    EXPECT_EQ(img.Height(), 1u);
    EXPECT_EQ(Snap(img).pixels, Entries({1, 0}));
}

TEST(GifDecoder, AnEmptyCommentDoesNotEndTheFile) {
    GifBuilder b;
    b.Header(2, 1, Table(4));
    b.Control(1).Image({0, 0, 2, 1, {1, 1}, {}, false, 2});
    b.Comment("");
    b.Control(1).Image({0, 0, 1, 1, {2}, {}, false, 2});
    b.Trailer();
    EXPECT_EQ(FrameColours(b.bytes, 1), Entries({2, 1}));
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
    EXPECT_EQ(Snap(img).pixels, Entries({1, 3}));
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
    EXPECT_EQ(Snap(img).pixels.at(1), Entry(3));
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
    EXPECT_EQ(Snap(img).pixels, Entries({1, 2}));
    EXPECT_EQ(DecodeOnePass(b.bytes), DecodeEachFrame(b.bytes));
}

TEST(GifDecoder, ZeroSizedImagesCountButShowNothing) {
    GifBuilder b;
    b.Header(2, 1, Table(4));
    b.Image({0, 0, 2, 1, {1, 2}, {}, false, 2});
    b.RawImage(1, 0, 0, 0, {2, 1, 0x05, 0});
    b.Image({1, 0, 1, 1, {3}, {}, false, 2});
    b.Trailer();
    const std::vector<std::vector<uint32_t>> expected = {Entries({1, 2}), Entries({1, 2}),
                                                         Entries({1, 3})};
    EXPECT_EQ(FrameColours(b.bytes), expected);
}

TEST(GifDecoder, TooMuchDataStopsAtTheLastRow) {
    GifBuilder b;
    b.Header(2, 1, Table(4));
    b.Image({0, 0, 2, 1, Solid(2, 3, 1), {}, false, 2}); // 6 pixels for 2
    b.Image({0, 0, 1, 1, {2}, {}, false, 2});
    b.Trailer();
    const std::vector<std::vector<uint32_t>> expected = {Entries({1, 1}), Entries({2, 1})};
    EXPECT_EQ(FrameColours(b.bytes), expected);
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
    for (const uint8_t codeSize :
         {uint8_t(0), uint8_t(1), uint8_t(12), uint8_t(13), uint8_t(255)}) {
        const std::vector<uint8_t> bytes = {codeSize, 2, 0xFF, 0xFF, 0};
        MemorySource source(bytes);
        RowLog log;
        EXPECT_EQ(DecodeLzwImage(source, &log, 2, 1, false).status, LzwStatus::BadCodeSize)
            << int(codeSize);
        EXPECT_TRUE(log.rows.empty());
    }
    for (const uint8_t codeSize : {uint8_t(2), uint8_t(9), uint8_t(10), uint8_t(11)}) {
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
    {
        // Clipping, every disposal, wide codes and a transparent first image.
        GifBuilder b;
        b.Header(6, 4, Table(8)).BackgroundIndex(4);
        b.Control(3, 2).Image({2, 1, 6, 4, Solid(6, 4, 2), {}, false, 3});
        b.Control(2).Image({0, 0, 3, 3, {1, 2, 3, 4, 5, 6, 7, 0, 1}, Table(16), true, 10});
        b.Control(3, 0).Image({4, 2, 3, 3, {0, 1, 0, 1, 0, 1, 0, 1, 0}, {}, false, 11});
        b.Control(1).Image({1, 1, 2, 2, {5, 5, 6, 6}, {}, false, 9});
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
// Files written by other tools (and hand-made ones), checked against the
// frames ImageMagick and ffmpeg decode

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

    // Every frame as R, G, B, A bytes from another program, or empty.
    std::vector<QByteArray> RgbaFrames(const QString& program, const QStringList& args,
                                       std::size_t frameBytes) {
        const auto r = testing_support::RunProgram(program, args);
        EXPECT_EQ(r.exitCode, 0) << program.toStdString() << ": " << r.err.toStdString();
        std::vector<QByteArray> frames;
        if (frameBytes == 0 || r.out.size() % qsizetype(frameBytes) != 0)
            return frames;
        for (qsizetype at = 0; at < r.out.size(); at += qsizetype(frameBytes))
            frames.push_back(r.out.mid(at, qsizetype(frameBytes)));
        return frames;
    }

    // What unpainted pixels show: the global table's background entry, else black.
    static std::array<uint8_t, 3> BackgroundOf(const std::vector<uint8_t>& gif) {
        if (gif.size() < 13 || !(gif[10] & 0x80))
            return {0, 0, 0};
        const std::size_t at = 13 + 3 * std::size_t(gif[11]);
        if (at + 3 > gif.size() || gif[11] >= (2u << (gif[10] & 7)))
            return {0, 0, 0};
        return {gif[at], gif[at + 1], gif[at + 2]};
    }

    // Checks every frame, through both entry points, against ImageMagick's
    // coalesced frames and ffmpeg's decoded frames. The two disagree on what
    // nothing painted shows (each has its own idea of transparency there), so
    // a pixel is checked where both agree: both opaque with the same colour,
    // or both transparent, where ours shows the background. Where they
    // disagree nothing is asserted; at least `minAgreement` of all pixels
    // must be checked.
    void ExpectSameAsImageMagickAndFfmpeg(const QString& name, double minAgreement = 0.9) {
        const auto bytes = Bytes(name);
        ASSERT_FALSE(bytes.empty());
        std::vector<std::vector<uint8_t>> ours;
        MemorySource source(bytes);
        ASSERT_TRUE(DecodeAllGifFrames(source, [&](const CxImage& frame, int32_t) {
            EXPECT_EQ(frame.BitsPerPixel(), 24u);
            ours.push_back(RgbBytes(frame));
            return true;
        }));
        ASSERT_FALSE(ours.empty());
        const std::size_t pixels = ours[0].size() / 3;
        const auto magick =
            RgbaFrames("convert", {Path(name), "-coalesce", "-depth", "8", "rgba:-"}, pixels * 4);
        const auto ffmpeg = RgbaFrames("ffmpeg",
                                       {"-loglevel", "error", "-i", Path(name), "-vsync", "0", "-f",
                                        "rawvideo", "-pix_fmt", "rgba", "-"},
                                       pixels * 4);
        ASSERT_EQ(magick.size(), ours.size()) << name.toStdString() << ": frame count";
        ASSERT_EQ(ffmpeg.size(), ours.size()) << name.toStdString() << ": frame count";
        const auto background = BackgroundOf(bytes);
        std::size_t checked = 0;
        for (std::size_t i = 0; i < ours.size(); ++i) {
            std::size_t wrong = 0;
            for (std::size_t p = 0; p < pixels; ++p) {
                const auto* m = reinterpret_cast<const uint8_t*>(magick[i].constData()) + 4 * p;
                const auto* f = reinterpret_cast<const uint8_t*>(ffmpeg[i].constData()) + 4 * p;
                const uint8_t* o = ours[i].data() + 3 * p;
                if (m[3] == 255 && f[3] == 255 && std::equal(m, m + 3, f)) {
                    wrong += !std::equal(o, o + 3, m);
                } else if (m[3] == 0 && f[3] == 0) {
                    wrong += !std::equal(o, o + 3, background.begin());
                } else {
                    continue;
                }
                ++checked;
            }
            EXPECT_EQ(wrong, 0u) << name.toStdString() << " frame " << i;
            CxImage single;
            ASSERT_TRUE(DecodeFrame(bytes, int32_t(i), single));
            EXPECT_TRUE(RgbBytes(single) == ours[i]) << "frame " << i << " differs per frame";
        }
        EXPECT_GE(double(checked), minAgreement * double(pixels * ours.size()))
            << name.toStdString() << ": ImageMagick and ffmpeg disagree too often to compare";
    }

    // Eight 64x48 frames of ffmpeg's test pattern (a moving gradient, a
    // counter, colour bars) as PNG files; returns their paths.
    QStringList TestPatternFrames() {
        Run("ffmpeg", {"-loglevel", "error", "-y", "-f", "lavfi", "-i",
                       "testsrc=size=64x48:rate=10:duration=0.8", Path("pattern-%02d.png")});
        QStringList frames;
        for (const QString& file : QDir(dir_.path()).entryList({"pattern-*.png"}, QDir::Files))
            frames << Path(file);
        EXPECT_EQ(frames.size(), 8);
        return frames;
    }

    // ffmpeg's GIF of the test pattern, with `filter` when given.
    void MakeWithFfmpeg(const QString& name, const QString& filter) {
        QStringList args = {"-loglevel",
                            "error",
                            "-y",
                            "-f",
                            "lavfi",
                            "-i",
                            "testsrc=size=64x48:rate=10:duration=0.8"};
        if (!filter.isEmpty())
            args << "-vf" << filter;
        Run("ffmpeg", args << Path(name));
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
    ExpectSameAsImageMagickAndFfmpeg("global.gif");
}

TEST_F(GifFromOtherTools, FullFrameLocalPalettes) {
    Run("convert", {"-size", "40x30", "gradient:red-blue", "-size", "40x30",
                    "gradient:green-yellow", "-size", "40x30", "radial-gradient:white-purple",
                    "-dispose", "undefined", "-loop", "0", Path("local.gif")});
    ExpectSameAsImageMagickAndFfmpeg("local.gif");
}

TEST_F(GifFromOtherTools, InterlacedWithDisposalNone) {
    MakeMovingShapes("inter.gif", {"-dispose", "none", "-interlace", "GIF"});
    ExpectSameAsImageMagickAndFfmpeg("inter.gif");
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
    ExpectSameAsImageMagickAndFfmpeg("sub.gif");
}

TEST_F(GifFromOtherTools, TransparencyOverEarlierFramesFromGifsicle) {
    MakeMovingShapes("moving.gif", {"-dispose", "none"});
    Run("gifsicle", {"-O3", "--colors", "64", Path("moving.gif"), "-o", Path("optimised.gif")});
    ExpectSameAsImageMagickAndFfmpeg("optimised.gif");
}

TEST_F(GifFromOtherTools, TransparencyAndCroppedFramesFromFfmpeg) {
    Run("ffmpeg", {"-loglevel", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=64x48:rate=10",
                   "-t", "1", Path("ffmpeg.gif")});
    ExpectSameAsImageMagickAndFfmpeg("ffmpeg.gif");
}

TEST_F(GifFromOtherTools, CompressedDataWithAFullCodeTable) {
    // Noise fills the 4096-entry table, so the decoder meets the full-table
    // rule and the clear codes that follow it.
    Run("convert", {"-size", "160x120", "xc:", "+noise", "Random", "-colors", "256", "(", "+clone",
                    "-flip", ")", "-dispose", "none", "-loop", "0", Path("noise.gif")});
    ExpectSameAsImageMagickAndFfmpeg("noise.gif");
}

// The rules above, on hand-made files, as ImageMagick and ffmpeg see them.
TEST_F(GifFromOtherTools, HandMadeFilesLookAsTheOtherToolsShowThem) {
    const std::vector<Rgb> table = Table(8);
    const std::vector<Rgb> none;
    std::vector<std::pair<const char*, GifBuilder>> files(8);
    files[0].first = "background-around-a-small-first-image";
    files[0].second.Header(4, 2, table).BackgroundIndex(2);
    files[0].second.Control(1).Image({0, 0, 2, 1, {0, 1}, {}, false, 3});
    files[0].second.Control(1).Image({3, 1, 1, 1, {4}, {}, false, 3});
    files[1].first = "transparent-first-image";
    files[1].second.Header(4, 2, table).BackgroundIndex(2);
    files[1].second.Control(1, 0).Image({0, 0, 2, 1, {0, 1}, {}, false, 3});
    files[1].second.Control(1).Image({3, 1, 1, 1, {4}, {}, false, 3});
    files[2].first = "disposal-2-with-transparency";
    files[2].second.Header(4, 2, table).BackgroundIndex(2);
    files[2].second.Control(1).Image({0, 0, 4, 2, Solid(4, 2, 3), {}, false, 3});
    files[2].second.Control(2, 7).Image({1, 0, 2, 2, Solid(2, 2, 1), {}, false, 3});
    files[2].second.Control(1).Image({0, 0, 1, 1, {5}, {}, false, 3});
    files[3].first = "disposal-3";
    files[3].second.Header(4, 1, table).BackgroundIndex(2);
    files[3].second.Control(1).Image({0, 0, 4, 1, Solid(4, 1, 0), {}, false, 3});
    files[3].second.Control(3).Image({1, 0, 2, 1, {1, 1}, {}, false, 3});
    files[3].second.Control(1).Image({0, 0, 1, 1, {4}, {}, false, 3});
    files[4].first = "clipped-images";
    files[4].second.Header(4, 2, table).BackgroundIndex(2);
    files[4].second.Control(1).Image(
        {2, 0, 4, 3, {0, 1, 2, 4, 5, 6, 0, 1, 4, 4, 4, 4}, {}, false, 3});
    files[4].second.Control(1).Image({3, 1, 3, 1, {5, 6, 7}, {}, false, 3});
    files[5].first = "local-then-global-then-local";
    files[5].second.Header(4, 1, table).BackgroundIndex(2);
    files[5].second.Control(1).Image({0, 0, 4, 1, {1, 2, 3, 4}, Table(256), false, 8});
    files[5].second.Control(1).Image({1, 0, 1, 1, {5}, {}, false, 3});
    files[5].second.Control(1, 0).Image(
        {0, 0, 4, 1, {0, 0, 1, 0}, {{9, 9, 9}, {99, 9, 9}}, false, 2});
    files[6].first = "image-without-control-after-transparency";
    files[6].second.Header(4, 1, table);
    files[6].second.Control(1, 3).Image({0, 0, 4, 1, {0, 1, 3, 0}, {}, false, 3});
    files[6].second.Image({0, 0, 4, 1, {3, 3, 4, 4}, {}, false, 3});
    files[7].first = "one-bit-then-eight-bits-without-global-table";
    files[7].second.Header(4, 1, none);
    files[7].second.Control(1).Image({0, 0, 4, 1, {0, 1, 0, 1}, {{9, 9, 9}, {99, 9, 9}}, false, 2});
    files[7].second.Control(1).Image({1, 0, 2, 1, {200, 3}, Table(256), false, 8});
    for (uint8_t codeSize = 9; codeSize <= 11; ++codeSize) {
        GifBuilder b;
        b.Header(4, 2, table).Image({0, 0, 4, 2, {0, 1, 2, 3, 4, 5, 6, 7}, {}, false, codeSize});
        files.emplace_back("wide-code-size", b);
    }
    for (auto& [name, builder] : files) {
        builder.Trailer();
        const QString file = QString(name) + ".gif";
        ASSERT_TRUE(testing_support::WriteWholeFile(
            Path(file), QByteArray(reinterpret_cast<const char*>(builder.bytes.data()),
                                   qsizetype(builder.bytes.size()))));
        ExpectSameAsImageMagickAndFfmpeg(file, 0.5);
    }
}

// The test pattern as ImageMagick writes it in several ways. Local tables on
// every frame, and transparent pixels over earlier frames drawn with other
// tables: the pixels under them must keep the colours of their own tables.
TEST_F(GifFromOtherTools, ImageMagickWritingsOfTheTestPattern) {
    const struct {
        const char* file;
        QStringList options;
    } cases[] = {
        {"local-8.gif", {"-delay", "10"}},
        {"frame.gif", {"-layers", "OptimizeFrame"}},
        {"transparency.gif", {"-layers", "OptimizeTransparency"}},
        {"transparency-global.gif", {"+map", "-layers", "OptimizeTransparency"}},
        {"interlaced.gif", {"-interlace", "GIF"}},
    };
    const QStringList frames = TestPatternFrames();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        Run("convert", frames + c.options + QStringList{"-loop", "0", Path(c.file)});
        ExpectSameAsImageMagickAndFfmpeg(c.file);
    }
}

// ffmpeg's default output: a local table on the first image, then cropped
// images with transparency.
TEST_F(GifFromOtherTools, FfmpegDefaultOutput) {
    MakeWithFfmpeg("ffmpeg-default.gif", "");
    ExpectSameAsImageMagickAndFfmpeg("ffmpeg-default.gif");
}

TEST_F(GifFromOtherTools, FfmpegPaletteWithRectangleDiffMode) {
    // palettegen reads the whole input first, so the source must end by itself.
    MakeWithFfmpeg("ffmpeg-rect.gif",
                   "split[a][b];[a]palettegen[p];[b][p]paletteuse=diff_mode=rectangle");
    ExpectSameAsImageMagickAndFfmpeg("ffmpeg-rect.gif");
}

TEST_F(GifFromOtherTools, GifsicleOptimisedAndSixteenColours) {
    QStringList args = TestPatternFrames();
    Run("convert", args << "+map"
                        << "-loop"
                        << "0" << Path("pattern.gif"));
    Run("gifsicle", {"-O3", Path("pattern.gif"), "-o", Path("o3.gif")});
    ExpectSameAsImageMagickAndFfmpeg("o3.gif");
    Run("gifsicle", {"-O3", "--colors", "16", Path("pattern.gif"), "-o", Path("c16.gif")});
    ExpectSameAsImageMagickAndFfmpeg("c16.gif");
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
        // Image data that cannot be decoded ends the run after the frames
        // before it; other failures come before any frame.
        if (summary.error == GifDecodeError::None) {
            EXPECT_EQ(frames, summary.frameCount);
        } else if (summary.error != GifDecodeError::BadData) {
            EXPECT_EQ(frames, 0);
        }
        EXPECT_LE(frames, summary.frameCount);
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

// Headers and data made to provoke: huge and empty screens, huge images on
// small screens, and LZW streams of random codes at every code size.
TEST(GifDecoderFuzz, HostileFilesDecodeSafely) {
    std::mt19937 random(1478);
    std::vector<std::vector<uint8_t>> files;
    const std::pair<uint16_t, uint16_t> screens[] = {
        {65535, 65535}, {65535, 1}, {1, 65535}, {13056, 59392}, {0, 0}, {0, 7}, {7, 0}, {3, 2}};
    for (const auto& [w, h] : screens) {
        for (const uint16_t imageSide : {uint16_t(0), uint16_t(1), uint16_t(65535)}) {
            GifBuilder b;
            b.Header(w, h, Table(4));
            for (int i = 0; i < 3; ++i)
                b.Control(uint8_t(i + 1), i).RawImage(0, 0, imageSide, imageSide, {2, 1, 0x4C, 0});
            files.push_back(b.Trailer().bytes);
        }
    }
    for (uint8_t codeSize = 0; codeSize <= 13; ++codeSize) {
        for (int round = 0; round < 4; ++round) {
            std::vector<uint8_t> data(600);
            for (uint8_t& byte : data)
                byte = uint8_t(random());
            GifBuilder b;
            b.Header(5, 4, Table(256)).Control(2);
            b.bytes.insert(b.bytes.end(),
                           {0x2C, 0, 0, 0, 0, 9, 0, 3, 0, uint8_t(round % 2 ? 0x40 : 0), codeSize});
            b.WriteSubBlocks(data);
            b.Control(3).Image({1, 1, 9, 9, Solid(9, 9, 3), {}, false, 8});
            files.push_back(b.Trailer().bytes);
        }
    }
    for (const auto& file : files)
        DecodeBothWays(file);
}

} // namespace
