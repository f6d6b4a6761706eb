#include "platform/qt_text_rasterizer.h"

#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

LogFont MakeFont(int32_t height, int32_t weight = 400, bool italic = false, bool underline = false,
                 const char* face = "Verdana") {
    LogFont f;
    f.lfHeight = height;
    f.lfWeight = weight;
    f.lfItalic = italic ? 1 : 0;
    f.lfUnderline = underline ? 1 : 0;
    std::strncpy(f.lfFaceName, face, sizeof f.lfFaceName - 1);
    return f;
}

TextExtent MeasureOf(const std::string& text, const LogFont& font,
                     TextPrefix prefix = TextPrefix::None) {
    QtTextRasterizer r;
    TextExtent e;
    EXPECT_TRUE(r.Measure(text, font, prefix, e));
    return e;
}

// A whole text box rendered into a top-down intensity buffer.
struct Rendered {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;
    uint8_t At(int32_t x, int32_t y) const { return pixels[std::size_t(y) * width + x]; }
    int Lit() const {
        return int(std::count_if(pixels.begin(), pixels.end(), [](uint8_t v) { return v; }));
    }
    bool operator==(const Rendered&) const = default;
};

Rendered RenderBox(const std::string& text, const LogFont& font,
                   TextPrefix prefix = TextPrefix::None) {
    QtTextRasterizer r;
    const TextExtent e = MeasureOf(text, font, prefix);
    Rendered out{e.width + e.height, e.height, {}};
    out.pixels.assign(std::size_t(out.width) * out.height, 0xAB);
    TextRaster t{out.pixels, out.width, out.height, std::size_t(out.width), 1, 0, 0};
    EXPECT_TRUE(r.Render(text, font, prefix, out.width, out.height, t));
    return out;
}

TEST(QtTextRasterizer, LineBreaksOfEveryKindStartANewLine) {
    const LogFont font = MakeFont(-19);
    const TextExtent a = MeasureOf("A", font);
    const TextExtent wide = MeasureOf("WWW", font);
    for (const char* text : {"A\rWWW", "A\nWWW", "A\r\nWWW", "WWW\rA"}) {
        SCOPED_TRACE(text);
        const TextExtent e = MeasureOf(text, font);
        EXPECT_EQ(e.width, wide.width);
        EXPECT_EQ(e.height, 2 * a.height);
    }
    EXPECT_EQ(MeasureOf("A\r\rA", font).height, 3 * a.height);
}

TEST(QtTextRasterizer, MnemonicModeHidesTheAmpersandAndNoPrefixModeKeepsIt) {
    const LogFont font = MakeFont(-19);
    const TextExtent plainAB = MeasureOf("AB", font, TextPrefix::Mnemonic);
    EXPECT_EQ(MeasureOf("A&B", font, TextPrefix::Mnemonic).width, plainAB.width);
    EXPECT_GT(MeasureOf("A&B", font, TextPrefix::None).width, plainAB.width);
    // "&&" is one visible ampersand.
    EXPECT_EQ(MeasureOf("A&&B", font, TextPrefix::Mnemonic).width,
              MeasureOf("A&B", font, TextPrefix::None).width);

    // The hidden ampersand underlines the next character: the rendering of
    // "A&B" is that of "AB" plus a line below the baseline.
    const Rendered withMark = RenderBox("A&B", font, TextPrefix::Mnemonic);
    const Rendered without = RenderBox("AB", font, TextPrefix::Mnemonic);
    ASSERT_EQ(withMark.width, without.width);
    int added = 0;
    for (std::size_t i = 0; i < without.pixels.size(); ++i) {
        EXPECT_GE(withMark.pixels[i], without.pixels[i]);
        added += withMark.pixels[i] > without.pixels[i];
    }
    EXPECT_GE(added, 5);
}

TEST(QtTextRasterizer, PixelSizeComesFromTheHeightWhateverItsSign) {
    const TextExtent small = MeasureOf("Hg", MakeFont(-12));
    const TextExtent large = MeasureOf("Hg", MakeFont(-48));
    EXPECT_GE(small.height, 12);
    EXPECT_LT(small.height, 20);
    EXPECT_GE(large.height, 48);
    EXPECT_LT(large.height, 72);
    EXPECT_EQ(MeasureOf("Hg", MakeFont(48)).height, large.height);
    // Zero asks for a default size rather than an empty box.
    EXPECT_GT(MeasureOf("Hg", MakeFont(0)).height, 8);
}

TEST(QtTextRasterizer, WeightItalicAndUnderlineShowInThePixels) {
    const Rendered regular = RenderBox("Hello", MakeFont(-24));
    const Rendered bold = RenderBox("Hello", MakeFont(-24, 700));
    const Rendered italic = RenderBox("Hello", MakeFont(-24, 400, true));
    const Rendered underlined = RenderBox("Hello", MakeFont(-24, 400, false, true));
    EXPECT_GT(bold.Lit(), regular.Lit());
    EXPECT_NE(italic, regular);
    // Underline: a row under the baseline lit across most of the text.
    ASSERT_EQ(underlined.width, regular.width);
    int bestRun = 0;
    for (int32_t y = 0; y < underlined.height; ++y) {
        int run = 0;
        for (int32_t x = 0; x < underlined.width; ++x)
            run += underlined.At(x, y) > regular.At(x, y);
        bestRun = std::max(bestRun, run);
    }
    EXPECT_GT(bestRun, MeasureOf("Hello", MakeFont(-24)).width / 2);
}

TEST(QtTextRasterizer, RendersWhiteAntialiasedTextOnBlack) {
    const Rendered r = RenderBox("Smooth text", MakeFont(-20));
    const auto count = [&](auto pred) {
        return std::count_if(r.pixels.begin(), r.pixels.end(), pred);
    };
    EXPECT_GT(count([](uint8_t v) { return v == 0; }), 0);
    EXPECT_GT(count([](uint8_t v) { return v == 255; }), 0);
    EXPECT_GT(count([](uint8_t v) { return v > 0 && v < 255; }), 0);
    // Nothing is drawn in the box's right margin (one line height wide).
    const int32_t textWidth = MeasureOf("Smooth text", MakeFont(-20)).width;
    for (int32_t y = 0; y < r.height; ++y)
        for (int32_t x = textWidth + 2; x < r.width; ++x)
            ASSERT_EQ(r.At(x, y), 0) << x << "," << y;
}

TEST(QtTextRasterizer, ThreeByteBufferRepeatsTheIntensityAndKeepsItsPadding) {
    const LogFont font = MakeFont(-18, 700);
    const Rendered grey = RenderBox("Abc", font);
    const std::size_t stride = std::size_t(grey.width) * 3 + 5;
    std::vector<uint8_t> bgr(stride * grey.height, 0x5A);
    QtTextRasterizer r;
    ASSERT_TRUE(r.Render("Abc", font, TextPrefix::None, grey.width, grey.height,
                         TextRaster{bgr, grey.width, grey.height, stride, 3, 0, 0}));
    for (int32_t y = 0; y < grey.height; ++y) {
        for (int32_t x = 0; x < grey.width; ++x)
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(bgr[y * stride + 3 * x + c], grey.At(x, y));
        for (std::size_t pad = std::size_t(grey.width) * 3; pad < stride; ++pad)
            ASSERT_EQ(bgr[y * stride + pad], 0x5A);
    }
}

TEST(QtTextRasterizer, AWindowOfTheBoxMatchesTheSameCropOfTheWholeBox) {
    const LogFont font = MakeFont(-22, 700, true);
    const std::string text = "Window\rcrop";
    const Rendered whole = RenderBox(text, font);
    struct Case {
        int32_t x, y, w, h;
    };
    for (const Case c :
         {Case{0, 0, 5, 5}, Case{7, 3, 20, 9}, Case{whole.width - 4, whole.height - 6, 4, 6}}) {
        std::vector<uint8_t> part(std::size_t(c.w) * c.h, 0x77);
        QtTextRasterizer r;
        ASSERT_TRUE(r.Render(text, font, TextPrefix::None, whole.width, whole.height,
                             TextRaster{part, c.w, c.h, std::size_t(c.w), 1, c.x, c.y}));
        for (int32_t y = 0; y < c.h; ++y)
            for (int32_t x = 0; x < c.w; ++x)
                ASSERT_EQ(part[y * c.w + x], whole.At(c.x + x, c.y + y))
                    << c.x + x << "," << c.y + y;
    }
}

TEST(QtTextRasterizer, RefusesMalformedTargets) {
    QtTextRasterizer r;
    const LogFont font = MakeFont(-16);
    std::vector<uint8_t> buf(100, 0);
    struct Case {
        const char* what;
        TextRaster target;
    };
    const Case cases[] = {
        {"stride below a row", TextRaster{buf, 10, 5, 9, 1, 0, 0}},
        {"buffer too short", TextRaster{buf, 10, 11, 10, 1, 0, 0}},
        {"three bytes do not fit", TextRaster{buf, 10, 5, 10, 3, 0, 0}},
        {"two bytes per pixel", TextRaster{buf, 10, 5, 20, 2, 0, 0}},
        {"empty", TextRaster{buf, 0, 5, 10, 1, 0, 0}},
        {"negative", TextRaster{buf, 10, -1, 10, 1, 0, 0}},
    };
    for (const Case& c : cases)
        EXPECT_FALSE(r.Render("x", font, TextPrefix::None, 10, 5, c.target)) << c.what;
    EXPECT_FALSE(r.Render("x", font, TextPrefix::None, 0, 5, TextRaster{buf, 10, 5, 10, 1, 0, 0}));
}

TEST(QtTextRasterizer, MissingFaceFallsBackToAnInstalledOne) {
    const Rendered r = RenderBox("Fallback", MakeFont(-20, 400, false, false, "No Such Face 1234"));
    EXPECT_GT(r.Lit(), 50);
}

TEST(QtTextRasterizer, HugeHeightsAreBoundedAndTextIsNotWrapped) {
    const TextExtent e = MeasureOf("W", MakeFont(INT32_MIN));
    EXPECT_GT(e.height, 1000);
    EXPECT_LT(e.height, 10000);
    const std::string longLine(3000, 'x');
    EXPECT_EQ(MeasureOf(longLine, MakeFont(-10)).height, MeasureOf("x", MakeFont(-10)).height);
}

TEST(QtTextRasterizer, WorkerThreadsRenderTheSamePixelsAsTheGuiThread) {
    const LogFont font = MakeFont(-21, 700, true, true);
    const std::string text = "Worker & GUI\rtwo lines";
    const Rendered onGui = RenderBox(text, font, TextPrefix::Mnemonic);

    Rendered onStdThread;
    std::thread worker([&] { onStdThread = RenderBox(text, font, TextPrefix::Mnemonic); });
    worker.join();
    EXPECT_EQ(onStdThread, onGui);

    Rendered onQThread;
    std::unique_ptr<QThread> qthread(
        QThread::create([&] { onQThread = RenderBox(text, font, TextPrefix::Mnemonic); }));
    qthread->start();
    ASSERT_TRUE(qthread->wait(30000));
    EXPECT_EQ(onQThread, onGui);
}

} // namespace
