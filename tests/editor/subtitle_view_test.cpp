// What the frame view shows is what the GIF gets: the view's picture of a
// frame with subtitles against the same frame of a GIF built from it, read
// back with Qt's decoder.

#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "editor/subtitle_view.h"
#include "gif/animated_gif.h"
#include "gif/frame_preparation.h"
#include "gif/subtitle_factory.h"
#include "test_rasterizer.h"

namespace {

std::unique_ptr<CxImage> Gradient(uint32_t w, uint32_t h) {
    auto frame = std::make_unique<CxImage>();
    frame->Create(w, h, 24);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            frame->SetColorAt(x, y, RgbQuad{uint8_t(60 + x / 4), uint8_t(80 + y / 2), 90, 0});
    frame->SetUserFlags(1);
    return frame;
}

std::unique_ptr<SubtitleItem> Subtitle(const char* text, int32_t x, int32_t y,
                                       SubtitleBackground background) {
    SubtitleStyle style;
    style.background = int32_t(background);
    style.backColor = 0x00800000; // dark blue
    auto s = CreateSubtitle({120, 1, 1}, style, 96, [] { return 0u; });
    std::strncpy(s->text.text, text, sizeof s->text.text - 1);
    s->x = x;
    s->y = y;
    return s;
}

bool Yellowish(QRgb c) {
    return qRed(c) > 200 && qGreen(c) > 200 && qBlue(c) < 100;
}

TEST(SubtitleView, TheViewShowsTheFrameAsTheGifGetsIt) {
    for (SubtitleBackground background :
         {SubtitleBackground::Outline, SubtitleBackground::Rectangle, SubtitleBackground::None}) {
        SCOPED_TRACE(int(background));
        FrameList frames;
        frames.push_back(Gradient(240, 120));
        SubtitleList subtitles;
        subtitles.push_back(Subtitle("Hello GIF", 20, 90, background));

        const QImage view =
            RenderFrameWithSubtitles(*frames[0], 1, subtitles, TestTextRasterizer(), Qt::blue)
                .convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(view.size(), QSize(240, 120));
        EXPECT_GT(subtitles[0]->width, 40); // measured while drawing
        EXPECT_GT(subtitles[0]->height, 10);

        QTemporaryDir dir;
        const std::string path = dir.filePath(QStringLiteral("view.gif")).toStdString();
        FrameList prepared;
        PrepareFrames(frames, CaptureRect{0, 0, 240, 120}, 1.0f, subtitles, TestTextRasterizer(),
                      prepared, nullptr);
        ASSERT_TRUE(WriteAnimatedGif(path, prepared, 10, false, nullptr));
        QImageReader reader(QString::fromStdString(path));
        const QImage gif = reader.read().convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(gif.size(), view.size());

        // The letters sit on the same pixels; elsewhere only the palette differs.
        int letters = 0, mismatched = 0;
        long long difference = 0;
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 240; ++x) {
                const QRgb a = view.pixel(x, y), b = gif.pixel(x, y);
                letters += Yellowish(a);
                mismatched += Yellowish(a) != Yellowish(b);
                difference += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                              std::abs(qBlue(a) - qBlue(b));
            }
        EXPECT_GT(letters, 100);
        EXPECT_LT(mismatched, letters / 50 + 3);
        EXPECT_LT(double(difference) / (240.0 * 120 * 3), 4.0);
    }
}

TEST(SubtitleView, OnlyTheSelectedSubtitleGetsTheHighlightOutline) {
    FrameList frames;
    frames.push_back(Gradient(240, 120));
    SubtitleList subtitles;
    subtitles.push_back(Subtitle("One", 20, 50, SubtitleBackground::None));
    subtitles.push_back(Subtitle("Two", 20, 110, SubtitleBackground::None));
    subtitles[1]->selected = 1;
    const QImage view =
        RenderFrameWithSubtitles(*frames[0], 1, subtitles, TestTextRasterizer(), QColor(0, 0, 255))
            .convertToFormat(QImage::Format_RGB32);
    const SubtitleItem& two = *subtitles[1];
    // The outline runs two pixels outside the box: its left side at x - 2.
    EXPECT_EQ(view.pixel(two.x - 2, two.y - two.height / 2), qRgb(0, 0, 255));
    const SubtitleItem& one = *subtitles[0];
    EXPECT_NE(view.pixel(one.x - 2, one.y - one.height / 2), qRgb(0, 0, 255));
}

} // namespace
