// The xcb grabber against a real X server (the one scripts/test starts) with
// ImageMagick's display showing pictures no test code draws on the screen, and
// ImageMagick's import as the independent grabber. The pixel conversion is
// also checked on its own for the formats other servers use.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <bit>
#include <cstring>
#include <ostream>
#include <thread>
#include <vector>

#include "platform/xcb_screen_source.h"
#include "x11_fixture.h"

using namespace x11_testing;

namespace {

// --- Pixel conversion, no server needed -------------------------------------

struct FormatCase {
    const char* name;
    XPixelFormat format;
};

// Packs one colour the way a server of `f` lays it out.
void PutPixel(const XPixelFormat& f, uint8_t* p, uint8_t r, uint8_t g, uint8_t b) {
    auto place = [](uint32_t mask, uint8_t v) {
        int shift = 0;
        while (!((mask >> shift) & 1))
            ++shift;
        int bits = 0;
        while ((mask >> (shift + bits)) & 1)
            ++bits;
        const uint32_t scaled = bits >= 8 ? uint32_t(v) << (bits - 8) : uint32_t(v) >> (8 - bits);
        return scaled << shift;
    };
    const uint32_t value = place(f.redMask, r) | place(f.greenMask, g) | place(f.blueMask, b);
    const uint32_t bytes = f.bitsPerPixel / 8;
    for (uint32_t i = 0; i < bytes; ++i) {
        const uint32_t shift = f.msbFirst ? 8 * (bytes - 1 - i) : 8 * i;
        p[i] = uint8_t(value >> shift);
    }
}

// Shown in test names instead of the record's bytes.
void PrintTo(const FormatCase& c, std::ostream* os) {
    *os << c.name;
}

class ConvertXRowsTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(ConvertXRowsTest, ReadsEveryPixelIntoBottomUpBgrRows) {
    const XPixelFormat& f = GetParam().format;
    const uint32_t w = 5, h = 3;
    const uint32_t stride =
        ((w * f.bitsPerPixel + f.scanlinePad - 1) / f.scanlinePad) * f.scanlinePad / 8;
    std::vector<uint8_t> server(stride * h, 0xEE);
    auto colour = [](uint32_t x, uint32_t y) {
        return std::array<uint8_t, 3>{uint8_t(0x33 * x + 7 * y), uint8_t(0xFF - 0x21 * y - x),
                                      uint8_t(0x1D * (x + y))};
    };
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            const auto c = colour(x, y);
            PutPixel(f, &server[y * stride + x * f.bitsPerPixel / 8], c[0], c[1], c[2]);
        }
    }
    CxImage out;
    ASSERT_TRUE(out.Create(w + 2, h + 1, 24));
    out.ClearPixels();
    ASSERT_TRUE(ConvertXRows(f, server.data(), stride, w, h, out, 2, 1));
    // A channel narrower than 8 bits is spread over 0..255, so full
    // intensity stays full.
    auto expand = [](uint8_t v, uint32_t mask) {
        const int bits = std::popcount(mask);
        if (bits >= 8)
            return v;
        const uint32_t top = uint32_t(v) >> (8 - bits);
        return uint8_t(top * 255 / ((1u << bits) - 1));
    };
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            const auto c = colour(x, y);
            // Picture line y + 1 from the top is memory row height - 2 - y.
            const RgbQuad got = out.ColorAtRaw(x + 2, int64_t(h + 1) - 2 - y);
            EXPECT_EQ(got.rgbRed, expand(c[0], f.redMask)) << x << "," << y;
            EXPECT_EQ(got.rgbGreen, expand(c[1], f.greenMask)) << x << "," << y;
            EXPECT_EQ(got.rgbBlue, expand(c[2], f.blueMask)) << x << "," << y;
        }
    }
    // Untouched: the top line and the two left columns.
    EXPECT_TRUE(SameQuad(out.ColorAtRaw(0, h), RgbQuad{}));
    EXPECT_TRUE(SameQuad(out.ColorAtRaw(1, 0), RgbQuad{}));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ConvertXRowsTest,
    ::testing::Values(FormatCase{"Bgrx32", {32, 32, false, 0xFF0000, 0xFF00, 0xFF}},
                      FormatCase{"Xrgb32MsbFirst", {32, 32, true, 0xFF0000, 0xFF00, 0xFF}},
                      FormatCase{"Rgbx32", {32, 32, false, 0xFF, 0xFF00, 0xFF0000}},
                      FormatCase{"Packed24", {24, 32, false, 0xFF0000, 0xFF00, 0xFF}},
                      FormatCase{"Packed24MsbFirst", {24, 32, true, 0xFF0000, 0xFF00, 0xFF}},
                      FormatCase{"Rgb565", {16, 32, false, 0xF800, 0x7E0, 0x1F}},
                      FormatCase{"Rgb565MsbFirst", {16, 32, true, 0xF800, 0x7E0, 0x1F}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ConvertXRows, RefusesFormatsItCannotRead) {
    CxImage out;
    ASSERT_TRUE(out.Create(4, 4, 24));
    const std::vector<uint8_t> server(256, 0);
    const XPixelFormat noMasks{32, 32, false, 0, 0, 0};
    const XPixelFormat fourBits{4, 32, false, 0xF, 0xF, 0xF};
    const XPixelFormat good{32, 32, false, 0xFF0000, 0xFF00, 0xFF};
    EXPECT_FALSE(ConvertXRows(noMasks, server.data(), 16, 4, 4, out, 0, 0));
    EXPECT_FALSE(ConvertXRows(fourBits, server.data(), 16, 4, 4, out, 0, 0));
    // Rows that would land outside the image.
    EXPECT_FALSE(ConvertXRows(good, server.data(), 16, 4, 4, out, 1, 0));
    EXPECT_FALSE(ConvertXRows(good, server.data(), 16, 4, 4, out, 0, 1));
}

// --- Against the X server ---------------------------------------------------

class XcbScreenSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        display_ = RequireTestDisplay();
        ASSERT_NE(display_, nullptr);
        RequireProgram("display");
        RequireProgram("import");
        ASSERT_TRUE(dir_.isValid());
    }

    // Shows a numbered picture with ImageMagick's display at (x, y) and waits
    // until it is on the screen.
    std::unique_ptr<Client> Show(int number, QSize size, int x, int y) {
        const QString path = dir_.filePath(QStringLiteral("picture-%1.png").arg(number));
        EXPECT_TRUE(NumberedPicture(number, size).save(path));
        auto client = std::make_unique<Client>(
            QStringLiteral("display"),
            QStringList{QStringLiteral("-geometry"), QStringLiteral("+%1+%2").arg(x).arg(y), path});
        EXPECT_TRUE(WaitForContent(CaptureRect{x, y, x + size.width(), y + size.height()}))
            << "display did not show its picture";
        return client;
    }

    const char* display_ = nullptr;
    QTemporaryDir dir_;
};

TEST_F(XcbScreenSourceTest, ConnectsToTheTestDisplayAndReadsItsFormat) {
    XcbScreenSource source(display_);
    ASSERT_TRUE(source.Usable());
    EXPECT_TRUE(source.UsingShm()) << "Xvfb offers MIT-SHM";
    EXPECT_EQ(source.Format().bitsPerPixel, 32u);
    EXPECT_EQ(source.Format().redMask, 0xFF0000u);
    EXPECT_TRUE(XcbScreenSource::CanConnect(display_));
    EXPECT_FALSE(XcbScreenSource::CanConnect(":4093"));
    EXPECT_FALSE(XcbScreenSource(":4093").Usable());
}

TEST_F(XcbScreenSourceTest, GrabMatchesImportWithShmAndWithGetImage) {
    const auto client = Show(2, QSize(240, 140), 300, 200);
    const CaptureRect rect{280, 190, 560, 360}; // the picture and some root around it
    const QImage expected = ImportCrop(rect);
    ASSERT_FALSE(expected.isNull());
    ASSERT_GT(DistinctColours(expected), 3);

    XcbScreenSource shm(display_, true);
    XcbScreenSource plain(display_, false);
    ASSERT_TRUE(shm.UsingShm());
    ASSERT_FALSE(plain.UsingShm());
    CxImage viaShm;
    CxImage viaGetImage;
    ASSERT_TRUE(shm.Grab(rect, viaShm));
    ASSERT_TRUE(plain.Grab(rect, viaGetImage));
    EXPECT_EQ(viaShm.Width(), 280u);
    EXPECT_EQ(viaShm.Height(), 170u);
    EXPECT_EQ(viaShm.BitsPerPixel(), 24u);
    EXPECT_EQ(MaxDifference(ToQImage(viaShm), expected), 0);
    EXPECT_EQ(MaxDifference(ToQImage(viaGetImage), expected), 0);
    // Same bytes, row padding included.
    ASSERT_EQ(viaShm.DibSize(), viaGetImage.DibSize());
    EXPECT_EQ(std::memcmp(viaShm.DibBlock(), viaGetImage.DibBlock(), viaShm.DibSize()), 0);
}

// Shared memory segments this process created that still exist, with their
// permission bits.
std::vector<std::pair<int, int>> OurShmSegments() {
    std::vector<std::pair<int, int>> segments;
    QFile table(QStringLiteral("/proc/sysvipc/shm"));
    if (!table.open(QIODevice::ReadOnly))
        return segments;
    table.readLine(); // column names
    while (!table.atEnd()) {
        const QList<QByteArray> f = table.readLine().simplified().split(' ');
        if (f.size() > 4 && f[4].toInt() == int(getpid()))
            segments.emplace_back(f[1].toInt(), f[2].toInt(nullptr, 8));
    }
    return segments;
}

TEST_F(XcbScreenSourceTest, ShmSegmentsArePrivateAndGoAwayWithTheSource) {
    ASSERT_TRUE(QFile::exists(QStringLiteral("/proc/sysvipc/shm")));
    ASSERT_TRUE(OurShmSegments().empty());
    {
        XcbScreenSource source(display_);
        CxImage frame;
        ASSERT_TRUE(source.Grab(CaptureRect{0, 0, 64, 48}, frame));
        auto segments = OurShmSegments();
        ASSERT_EQ(segments.size(), 1u);
        EXPECT_EQ(segments[0].second & 0777, 0600);
        // Same size: the segment is kept; new size: replaced, not added.
        const int first = segments[0].first;
        ASSERT_TRUE(source.Grab(CaptureRect{10, 10, 74, 58}, frame));
        segments = OurShmSegments();
        ASSERT_EQ(segments.size(), 1u);
        EXPECT_EQ(segments[0].first, first);
        ASSERT_TRUE(source.Grab(CaptureRect{0, 0, 100, 100}, frame));
        EXPECT_EQ(OurShmSegments().size(), 1u);
    }
    // The server lets go when it handles the detach; ask it by a round trip.
    XcbScreenSource other(display_, false);
    CxImage frame;
    other.Grab(CaptureRect{0, 0, 1, 1}, frame);
    EXPECT_TRUE(QTest::qWaitFor([] { return OurShmSegments().empty(); }, 5000));
}

TEST_F(XcbScreenSourceTest, EnvironmentSwitchesShmOff) {
    setenv("FRAMELOOP_NO_SHM", "1", 1);
    const XcbScreenSource off(display_);
    setenv("FRAMELOOP_NO_SHM", "0", 1);
    const XcbScreenSource on(display_);
    unsetenv("FRAMELOOP_NO_SHM");
    EXPECT_FALSE(off.UsingShm());
    EXPECT_TRUE(on.UsingShm());
}

TEST_F(XcbScreenSourceTest, SizeChangesBetweenGrabsKeepThePixelsRight) {
    const auto client = Show(1, QSize(200, 120), 600, 400);
    XcbScreenSource source(display_);
    for (const CaptureRect& rect :
         {CaptureRect{590, 390, 810, 530}, CaptureRect{600, 400, 701, 463},
          CaptureRect{590, 390, 810, 530}, CaptureRect{650, 410, 651, 411}}) {
        CxImage frame;
        ASSERT_TRUE(source.Grab(rect, frame));
        EXPECT_EQ(MaxDifference(ToQImage(frame), ImportCrop(rect)), 0)
            << rect.left << "," << rect.top << " " << rect.Width() << "x" << rect.Height();
    }
}

struct OffScreenCase {
    const char* name;
    CaptureRect rect;
    QPoint picture; // where display shows its picture
};

void PrintTo(const OffScreenCase& c, std::ostream* os) {
    *os << c.name;
}

class XcbOffScreenTest : public XcbScreenSourceTest,
                         public ::testing::WithParamInterface<OffScreenCase> {};

TEST_P(XcbOffScreenTest, PartsOffTheScreenAreBlack) {
    const OffScreenCase& c = GetParam();
    const auto client = Show(3, QSize(160, 100), c.picture.x(), c.picture.y());
    const CaptureRect onScreen{std::max(c.rect.left, 0), std::max(c.rect.top, 0),
                               std::min(c.rect.right, 1920), std::min(c.rect.bottom, 1080)};
    const QImage expected = ImportCrop(onScreen);
    ASSERT_GT(DistinctColours(expected), 2);

    for (const bool shm : {true, false}) {
        XcbScreenSource source(display_, shm);
        CxImage frame;
        ASSERT_TRUE(source.Grab(c.rect, frame));
        ASSERT_EQ(frame.Width(), uint32_t(c.rect.Width()));
        ASSERT_EQ(frame.Height(), uint32_t(c.rect.Height()));
        const QImage got = ToQImage(frame);
        const QRect inside(onScreen.left - c.rect.left, onScreen.top - c.rect.top, onScreen.Width(),
                           onScreen.Height());
        EXPECT_EQ(MaxDifference(got.copy(inside), expected), 0) << "shm " << shm;
        int lit = 0;
        for (int y = 0; y < got.height(); ++y) {
            for (int x = 0; x < got.width(); ++x)
                lit += !inside.contains(x, y) && got.pixel(x, y) != qRgb(0, 0, 0);
        }
        EXPECT_EQ(lit, 0) << "shm " << shm;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Edges, XcbOffScreenTest,
    ::testing::Values(OffScreenCase{"TopLeft", {-40, -30, 160, 120}, {0, 0}},
                      OffScreenCase{"BottomRight", {1800, 1000, 1990, 1100}, {1760, 980}},
                      OffScreenCase{"AllSides", {-10, -10, 1930, 1090}, {900, 500}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(XcbScreenSourceTest, RectangleWhollyOffTheScreenIsBlack) {
    XcbScreenSource source(display_);
    CxImage frame;
    ASSERT_TRUE(source.Grab(CaptureRect{2000, 50, 2040, 80}, frame));
    EXPECT_EQ(frame.Width(), 40u);
    EXPECT_EQ(DistinctColours(ToQImage(frame)), 1);
    EXPECT_EQ(ToQImage(frame).pixel(0, 0), qRgb(0, 0, 0));
}

TEST_F(XcbScreenSourceTest, EmptyRectangleIsRefused) {
    XcbScreenSource source(display_);
    CxImage frame;
    EXPECT_FALSE(source.Grab(CaptureRect{10, 10, 10, 40}, frame));
    EXPECT_FALSE(source.Grab(CaptureRect{10, 10, 5, 40}, frame));
}

TEST_F(XcbScreenSourceTest, GrabsOnAnotherThreadThanTheOneTestingIt) {
    // The engine makes and uses its source on the worker thread.
    const auto client = Show(0, QSize(120, 80), 100, 700);
    const CaptureRect rect{100, 700, 220, 780};
    QImage fromThread;
    std::thread worker([&] {
        XcbScreenSource source(display_);
        CxImage frame;
        if (source.Grab(rect, frame))
            fromThread = ToQImage(frame);
    });
    worker.join();
    EXPECT_EQ(MaxDifference(fromThread, ImportCrop(rect)), 0);
}

} // namespace
