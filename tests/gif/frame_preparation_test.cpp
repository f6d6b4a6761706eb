// Frame preparation and subtitle burning with the program's own rasteriser.

#include "gif/frame_preparation.h"
#include "gif/subtitle_factory.h"
#include "image/text_rasterizer.h"
#include "test_rasterizer.h"

#include <QThread>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr RgbQuad kGrey{90, 90, 90, 0};
constexpr RgbQuad kYellow{0, 255, 255, 0};
constexpr RgbQuad kBlack{0, 0, 0, 0};

bool Same(RgbQuad a, RgbQuad b) {
    return SameQuad(a, b);
}

std::unique_ptr<CxImage> Frame(uint32_t w, uint32_t h, RgbQuad c, uint32_t kept = 1) {
    auto img = std::make_unique<CxImage>();
    img->Create(w, h, 24);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            img->SetColorAt(x, y, c);
    img->SetUserFlags(kept);
    return img;
}

// Colour at column x, row counted from the top.
RgbQuad TopDown(const CxImage& img, int64_t x, int64_t row) {
    return img.ColorAt(x, int64_t(img.Height()) - 1 - row);
}

bool SamePixels(const CxImage& a, const CxImage& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height())
        return false;
    for (uint32_t y = 0; y < a.Height(); ++y)
        for (uint32_t x = 0; x < a.Width(); ++x)
            if (!Same(a.ColorAt(x, y), b.ColorAt(x, y)))
                return false;
    return true;
}

std::unique_ptr<SubtitleItem> Subtitle(const char* text, int32_t x, int32_t y, int32_t first,
                                       int32_t last, SubtitleBackground background) {
    SubtitleStyle style;
    style.background = int32_t(background);
    auto s = CreateSubtitle({100, first, last}, style, 96, [] { return 0u; });
    std::strncpy(s->text.text, text, sizeof s->text.text - 1);
    s->x = x;
    s->y = y;
    s->firstFrame = first;
    s->lastFrame = last;
    return s;
}

TextExtent Measure(const TextInfo& t, TextPrefix prefix) {
    TextExtent e;
    EXPECT_TRUE(TestTextRasterizer().Measure(t.text, t.font, prefix, e));
    return e;
}

// Every test draws with the Qt rasteriser, as the program does.
class FramePreparationTest : public ::testing::Test {};

TEST_F(FramePreparationTest, OnlyKeptFramesArePreparedAndProgressCountsEveryFrame) {
    FrameList frames;
    const uint8_t shades[] = {10, 20, 30, 40, 50};
    for (int i = 0; i < 5; ++i)
        frames.push_back(
            Frame(40, 30, RgbQuad{shades[i], shades[i], shades[i], 0}, i == 1 || i == 3 ? 0 : 1));
    FrameList prepared;
    std::vector<int> reports;
    PrepareFrames(frames, CaptureRect{0, 0, 40, 30}, 1.0f, {}, TestTextRasterizer(), prepared,
                  [&](int p) { reports.push_back(p); });
    EXPECT_EQ(reports, (std::vector<int>{0, 12, 24, 36, 48}));
    ASSERT_EQ(prepared.size(), 3u);
    EXPECT_EQ(prepared[0]->ColorAt(5, 5).rgbRed, 10);
    EXPECT_EQ(prepared[1]->ColorAt(5, 5).rgbRed, 30);
    EXPECT_EQ(prepared[2]->ColorAt(5, 5).rgbRed, 50);
    // Copies keep the kept flag; the recording is left as it was.
    EXPECT_EQ(prepared[1]->UserFlags(), 1u);
    EXPECT_EQ(frames.size(), 5u);
    EXPECT_EQ(frames[1]->UserFlags(), 0u);
}

TEST_F(FramePreparationTest, ProgressStaysBelowSixtyForAnyFrameCount) {
    struct Case {
        int frames;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {1, {0}},
        {3, {0, 20, 40}},
        {7, {0, 8, 17, 25, 34, 42, 51}},
    };
    for (const Case& c : cases) {
        FrameList frames;
        for (int i = 0; i < c.frames; ++i)
            frames.push_back(Frame(4, 4, kGrey, 0));
        FrameList prepared;
        std::vector<int> reports;
        PrepareFrames(frames, CaptureRect{0, 0, 4, 4}, 1.0f, {}, TestTextRasterizer(), prepared,
                      [&](int p) { reports.push_back(p); });
        EXPECT_EQ(reports, c.expected) << c.frames;
        EXPECT_TRUE(prepared.empty());
    }
    FrameList none;
    FrameList prepared;
    int calls = 0;
    PrepareFrames(none, CaptureRect{0, 0, 4, 4}, 1.0f, {}, TestTextRasterizer(), prepared,
                  [&](int) { ++calls; });
    EXPECT_EQ(calls, 0);
}

TEST_F(FramePreparationTest, EveryCopyHasTheScaledSizeAndNoTransparency) {
    struct Case {
        float scale;
        int32_t w, h;
    };
    for (const Case c : {Case{0.5f, 200, 150}, Case{1.0f, 400, 300}, Case{0.7f, 279, 209}}) {
        FrameList frames;
        frames.push_back(Frame(400, 300, kGrey));
        // A frame of another size (an imported one) still ends at the GIF size.
        frames.push_back(Frame(420, 310, kGrey));
        frames[0]->SetTransparentIndex(0);
        FrameList prepared;
        PrepareFrames(frames, CaptureRect{100, 50, 500, 350}, c.scale, {}, TestTextRasterizer(),
                      prepared, nullptr);
        ASSERT_EQ(prepared.size(), 2u);
        for (const auto& p : prepared) {
            EXPECT_EQ(p->Width(), uint32_t(c.w)) << c.scale;
            EXPECT_EQ(p->Height(), uint32_t(c.h)) << c.scale;
            EXPECT_EQ(p->TransparentIndex(), -1);
            EXPECT_TRUE(Same(p->ColorAt(3, 3), kGrey));
        }
        EXPECT_EQ(frames[0]->Width(), 400u);
        EXPECT_EQ(frames[0]->TransparentIndex(), 0);
    }
}

TEST_F(FramePreparationTest, ASubtitleOfOneFrameIsBurntOnlyIntoThatKeptFrame) {
    for (bool secondKept : {true, false}) {
        SCOPED_TRACE(secondKept);
        FrameList frames;
        for (int i = 0; i < 4; ++i)
            frames.push_back(Frame(120, 60, kGrey, i == 1 && !secondKept ? 0 : 1));
        SubtitleList subtitles;
        subtitles.push_back(Subtitle("Two", 10, 40, 2, 2, SubtitleBackground::Outline));
        FrameList prepared;
        PrepareFrames(frames, CaptureRect{0, 0, 120, 60}, 1.0f, subtitles, TestTextRasterizer(),
                      prepared, nullptr);
        ASSERT_EQ(prepared.size(), secondKept ? 4u : 3u);
        for (std::size_t i = 0; i < prepared.size(); ++i) {
            const bool isSecond = secondKept && i == 1;
            EXPECT_EQ(!SamePixels(*prepared[i], *frames[0]), isSecond) << i;
        }
        // The recording itself never carries the subtitle.
        EXPECT_TRUE(SamePixels(*frames[1], *frames[0]));
    }
}

TEST_F(FramePreparationTest, SubtitlesLandOnExactlyTheFramesOfTheirRangeAtTheirPlace) {
    FrameList frames;
    for (int i = 0; i < 6; ++i)
        frames.push_back(Frame(200, 80, kGrey));
    SubtitleList subtitles;
    subtitles.push_back(Subtitle("Hello", 30, 60, 2, 4, SubtitleBackground::Outline));
    const TextInfo& t = subtitles[0]->text;
    const TextExtent e = Measure(t, TextPrefix::Mnemonic);
    ASSERT_GT(e.width, 20);
    FrameList prepared;
    PrepareFrames(frames, CaptureRect{0, 0, 200, 80}, 1.0f, subtitles, TestTextRasterizer(),
                  prepared, nullptr);
    ASSERT_EQ(prepared.size(), 6u);
    for (int n = 1; n <= 6; ++n) {
        SCOPED_TRACE(n);
        const CxImage& img = *prepared[n - 1];
        int yellow = 0;
        int black = 0;
        for (int64_t row = 0; row < 80; ++row) {
            for (int64_t x = 0; x < 200; ++x) {
                const RgbQuad c = TopDown(img, x, row);
                if (Same(c, kGrey))
                    continue;
                // Text box (x, y - height + 1)..(x + width + height - 1, y),
                // one pixel more all round for the outline.
                ASSERT_GE(x, 30 - 1);
                ASSERT_LE(x, 30 + e.width + e.height);
                ASSERT_GE(row, 60 - e.height);
                ASSERT_LE(row, 60 + 1);
                yellow += Same(c, kYellow);
                black += Same(c, kBlack);
                ASSERT_TRUE(Same(c, kYellow) || Same(c, kBlack)) << x << "," << row;
                // The outline closes every text pixel off from the frame.
                if (!Same(c, kYellow))
                    continue;
                for (int dx = -1; dx <= 1; ++dx)
                    for (int dy = -1; dy <= 1; ++dy)
                        ASSERT_FALSE(Same(TopDown(img, x + dx, row + dy), kGrey));
            }
        }
        const bool covered = n >= 2 && n <= 4;
        EXPECT_EQ(yellow > 50, covered);
        EXPECT_EQ(black > 50, covered);
        EXPECT_EQ(yellow + black == 0, !covered);
    }
    EXPECT_TRUE(SamePixels(*prepared[1], *prepared[3]));
}

TEST_F(FramePreparationTest, AnOutlineAtColumnZeroLosesItsLeftColumn) {
    const auto at = [](int32_t x) {
        auto frame = Frame(160, 50, kGrey);
        SubtitleList subtitles;
        subtitles.push_back(Subtitle("Edge", x, 40, 1, 1, SubtitleBackground::Outline));
        // The underline starts at the text's first column, so its outline
        // needs the column left of it.
        subtitles[0]->text.font.lfUnderline = 1;
        BurnSubtitles(*frame, 1, subtitles, TestTextRasterizer());
        return frame;
    };
    const auto atZero = at(0);
    const auto atFive = at(5);
    // Same drawing shifted: column c at x = 0 is column c + 5 at x = 5 ...
    for (int64_t row = 0; row < 50; ++row)
        for (int64_t x = 0; x < 150; ++x)
            ASSERT_TRUE(Same(TopDown(*atZero, x, row), TopDown(*atFive, x + 5, row)))
                << x << "," << row;
    // ... and the outline column left of the text exists only when there is room.
    int lost = 0;
    for (int64_t row = 0; row < 50; ++row)
        lost += Same(TopDown(*atFive, 4, row), kBlack);
    EXPECT_GE(lost, 3);
}

TEST_F(FramePreparationTest, RectangleAndPlainStylesDrawTheWholeTextRecord) {
    auto frame = Frame(200, 60, kGrey);
    SubtitleList subtitles;
    subtitles.push_back(Subtitle("Box", 20, 40, 1, 1, SubtitleBackground::Rectangle));
    subtitles[0]->text.boxColor = 0x00FF0000; // blue
    subtitles.push_back(Subtitle("Bare", 120, 40, 1, 1, SubtitleBackground::None));
    subtitles[1]->text.smooth = 0;
    BurnSubtitles(*frame, 1, subtitles, TestTextRasterizer());

    const TextExtent box = Measure(subtitles[0]->text, TextPrefix::None);
    const int64_t boxWidth = box.width + box.height / 3;
    const RgbQuad blue{255, 0, 0, 0};
    for (auto [x, row] : {std::pair<int64_t, int64_t>{20, 40},
                          {20, 40 - box.height + 1},
                          {20 + boxWidth - 1, 40},
                          {20 + boxWidth - 1, 40 - box.height + 1}})
        EXPECT_TRUE(Same(TopDown(*frame, x, row), blue)) << x << "," << row;
    EXPECT_TRUE(Same(TopDown(*frame, 20 + boxWidth, 40), kGrey));
    EXPECT_TRUE(Same(TopDown(*frame, 19, 40), kGrey));
    EXPECT_TRUE(Same(TopDown(*frame, 20, 40 - box.height), kGrey));

    // Hard-edged bare text: only yellow pixels appear, and none of the box.
    int yellow = 0;
    for (int64_t row = 0; row < 60; ++row)
        for (int64_t x = 115; x < 200; ++x) {
            const RgbQuad c = TopDown(*frame, x, row);
            ASSERT_TRUE(Same(c, kGrey) || Same(c, kYellow)) << x << "," << row;
            yellow += Same(c, kYellow);
        }
    EXPECT_GT(yellow, 30);
}

TEST_F(FramePreparationTest, ASixteenPixelBoxAtRowTwentyCoversRowsFiveToTwenty) {
    auto s = Subtitle("Sixteen", 4, 20, 1, 1, SubtitleBackground::Rectangle);
    int32_t found = 0;
    for (int32_t h = 8; h <= 20 && !found; ++h) {
        s->text.font.lfHeight = -h;
        if (Measure(s->text, TextPrefix::None).height == 16)
            found = h;
    }
    ASSERT_NE(found, 0) << "no pixel size measures 16 rows";
    auto frame = Frame(150, 40, kGrey);
    SubtitleList subtitles;
    subtitles.push_back(std::move(s));
    BurnSubtitles(*frame, 1, subtitles, TestTextRasterizer());
    for (int64_t row = 0; row < 40; ++row) {
        const bool inBox = row >= 5 && row <= 20;
        EXPECT_EQ(!Same(TopDown(*frame, 4, row), kGrey), inBox) << row;
    }
}

TEST_F(FramePreparationTest, LaterSubtitlesLieOnTopOfEarlierOnes) {
    auto frame = Frame(200, 60, kGrey);
    SubtitleList subtitles;
    subtitles.push_back(Subtitle("First", 10, 40, 1, 1, SubtitleBackground::Rectangle));
    subtitles[0]->text.boxColor = 0x000000FF; // red
    subtitles.push_back(nullptr);             // tolerated
    subtitles.push_back(Subtitle("Second", 14, 42, 1, 1, SubtitleBackground::Rectangle));
    subtitles[2]->text.boxColor = 0x0000FF00; // green
    BurnSubtitles(*frame, 1, subtitles, TestTextRasterizer());
    EXPECT_TRUE(Same(TopDown(*frame, 14, 42), RgbQuad{0, 255, 0, 0}));
    EXPECT_TRUE(Same(TopDown(*frame, 10, 40), RgbQuad{0, 0, 255, 0}));
}

TEST_F(FramePreparationTest, AmpersandIsTextForStyledDrawingAndAMnemonicForPlainDrawing) {
    TextInfo t = Subtitle("A&B", 0, 0, 1, 1, SubtitleBackground::None)->text;
    t.smooth = 0;
    const auto styledWidth = [&](const char* text) {
        std::strcpy(t.text, text);
        auto frame = Frame(150, 40, kGrey);
        frame->DrawStyledText(TestTextRasterizer(), 0, 30, t);
        int64_t rightmost = -1;
        for (int64_t row = 0; row < 40; ++row)
            for (int64_t x = 0; x < 150; ++x)
                if (!Same(TopDown(*frame, x, row), kGrey))
                    rightmost = std::max(rightmost, x);
        return rightmost;
    };
    EXPECT_GT(styledWidth("A&B"), styledWidth("AB") + 5);

    const auto plain = [&](const char* text) {
        auto frame = Frame(150, 40, kGrey);
        frame->DrawPlainText(TestTextRasterizer(), 0, 30, text, kYellow, t.font.lfFaceName,
                             t.font.lfHeight, t.font.lfWeight, false, false);
        return frame;
    };
    const auto marked = plain("A&B");
    const auto bare = plain("AB");
    int underline = 0;
    for (int64_t row = 0; row < 40; ++row)
        for (int64_t x = 0; x < 150; ++x) {
            const bool inBare = Same(TopDown(*bare, x, row), kYellow);
            const bool inMarked = Same(TopDown(*marked, x, row), kYellow);
            ASSERT_TRUE(!inBare || inMarked) << x << "," << row;
            underline += inMarked && !inBare;
        }
    EXPECT_GE(underline, 5);
}

TEST_F(FramePreparationTest, ExtremePositionsAndSizesDrawOnlyWhatFallsInside) {
    auto frame = Frame(100, 60, kGrey);
    SubtitleList subtitles;
    for (auto background :
         {SubtitleBackground::None, SubtitleBackground::Rectangle, SubtitleBackground::Outline})
        for (auto [x, y] : {std::pair{INT32_MAX, INT32_MAX},
                            {INT32_MIN, INT32_MIN},
                            {INT32_MAX, 30},
                            {10, INT32_MIN},
                            {10, INT32_MAX}})
            subtitles.push_back(Subtitle("Far away", x, y, 1, 1, background));
    BurnSubtitles(*frame, 1, subtitles, TestTextRasterizer());
    EXPECT_TRUE(SamePixels(*frame, *Frame(100, 60, kGrey)));

    // An absurd font height still draws, within the frame only: the middle
    // of a full block glyph covers the whole frame.
    subtitles.clear();
    subtitles.push_back(Subtitle("\xE2\x96\x88", 0, 0, 1, 1, SubtitleBackground::Outline));
    subtitles[0]->text.font.lfHeight = INT32_MIN;
    const TextExtent e = Measure(subtitles[0]->text, TextPrefix::Mnemonic);
    EXPECT_GT(e.height, 1000);
    subtitles[0]->y = e.height / 2;
    BurnSubtitles(*frame, 1, subtitles, TestTextRasterizer());
    EXPECT_TRUE(SamePixels(*frame, *Frame(100, 60, kYellow)));
}

TEST_F(FramePreparationTest, WorkerThreadsPrepareTheSamePixelsAsTheGuiThread) {
    FrameList frames;
    for (int i = 0; i < 3; ++i)
        frames.push_back(Frame(160, 60, kGrey));
    SubtitleList subtitles;
    subtitles.push_back(Subtitle("Outlined", 5, 30, 1, 3, SubtitleBackground::Outline));
    subtitles.push_back(Subtitle("Boxed & smooth", 20, 55, 2, 3, SubtitleBackground::Rectangle));
    const auto prepare = [&] {
        FrameList out;
        PrepareFrames(frames, CaptureRect{0, 0, 160, 60}, 0.5f, subtitles, TestTextRasterizer(),
                      out, nullptr);
        return out;
    };
    const FrameList onGui = prepare();
    FrameList onStdThread;
    std::thread worker([&] { onStdThread = prepare(); });
    worker.join();
    FrameList onQThread;
    std::unique_ptr<QThread> qthread(QThread::create([&] { onQThread = prepare(); }));
    qthread->start();
    ASSERT_TRUE(qthread->wait(30000));
    ASSERT_EQ(onGui.size(), 3u);
    ASSERT_EQ(onStdThread.size(), 3u);
    ASSERT_EQ(onQThread.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_FALSE(SamePixels(*onGui[i], *Frame(80, 30, kGrey)));
        EXPECT_TRUE(SamePixels(*onStdThread[i], *onGui[i])) << i;
        EXPECT_TRUE(SamePixels(*onQThread[i], *onGui[i])) << i;
    }
}

} // namespace
