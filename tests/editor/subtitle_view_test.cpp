// What the frame view shows is what the GIF gets: the view's picture of a
// frame with subtitles against the same frame of a GIF built from it, read
// back with Qt's decoder.

#include <QDir>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/app_settings.h"
#include "editor/add_text_dlg.h"
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

// Clearly not letter yellow. Anti-aliased edge pixels lie between the two
// tests and may land on either side once the GIF's palette rounds them, so
// only a pixel that is yellow on one side and clearly something else on the
// other is a real difference.
bool FarFromYellow(QRgb c) {
    return qRed(c) < 150 || qGreen(c) < 150 || qBlue(c) > 150;
}

bool Disagree(QRgb a, QRgb b) {
    return (Yellowish(a) && FarFromYellow(b)) || (Yellowish(b) && FarFromYellow(a));
}

// The first frame of a GIF built from `frames` with `subtitles`, full size,
// read back with Qt's decoder.
QImage BuiltGifFrame(const FrameList& frames, const SubtitleList& subtitles) {
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("built.gif")).toStdString();
    const CaptureRect rect{0, 0, int32_t(frames[0]->Width()), int32_t(frames[0]->Height())};
    FrameList prepared;
    PrepareFrames(frames, rect, 1.0f, subtitles, TestTextRasterizer(), prepared, nullptr);
    if (!WriteAnimatedGif(path, prepared, 10, false, nullptr))
        return {};
    return QImageReader(QString::fromStdString(path)).read().convertToFormat(QImage::Format_RGB32);
}

// How two pictures of the same size agree on the subtitle's letters.
struct LetterAgreement {
    int letters = 0;           // yellow pixels of `expected`
    int disagreements = 0;     // yellow on one side, clearly not on the other
    double meanDifference = 0; // per channel, over the whole picture
};

LetterAgreement CompareLetters(const QImage& shown, const QImage& expected) {
    LetterAgreement result;
    long long difference = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
            const QRgb a = shown.pixel(x, y), b = expected.pixel(x, y);
            result.letters += Yellowish(b);
            result.disagreements += Disagree(a, b);
            difference += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                          std::abs(qBlue(a) - qBlue(b));
        }
    result.meanDifference = double(difference) / (double(shown.width()) * shown.height() * 3);
    return result;
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

        const QImage gif = BuiltGifFrame(frames, subtitles);
        ASSERT_EQ(gif.size(), view.size());

        // The letters sit on the same pixels; elsewhere only the palette differs.
        const LetterAgreement agreement = CompareLetters(view, gif);
        EXPECT_GT(agreement.letters, 100);
        EXPECT_LT(agreement.disagreements, agreement.letters / 50 + 3);
        EXPECT_LT(agreement.meanDifference, 4.0);
    }
}

// The editor shrinks a frame larger than its view; the picture it shows is
// the GIF's frame shrunk the same way, letters and all.
TEST(SubtitleView, TheEditorsShrunkFrameIsTheGifsFrameShrunk) {
    FrameList frames;
    frames.push_back(Gradient(1000, 700));
    SubtitleList subtitles;
    SubtitleStyle style;
    style.fontSize = 48;
    auto subtitle = CreateSubtitle({700, 1, 1}, style, 96, [] { return 0u; });
    std::strncpy(subtitle->text.text, "Seen in the GIF", sizeof subtitle->text.text - 1);
    subtitle->x = 60;
    subtitle->y = 600;
    subtitles.push_back(std::move(subtitle));
    AppSettings settings;

    CAddTextDlg editor(nullptr, 1,
                       EditorContext{frames, subtitles, settings, TestTextRasterizer(), nullptr});
    editor.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));
    const QImage shownView = editor.View().grab().toImage().convertToFormat(QImage::Format_RGB32);
    const FrameViewFit fit = editor.LastFit();
    ASSERT_GT(fit.scale, 1.2f); // shrunk
    const QImage shown = shownView.copy(fit.image);

    const QImage gif = BuiltGifFrame(frames, subtitles);
    ASSERT_EQ(gif.size(), QSize(1000, 700));
    const QImage expected =
        gif.scaled(shown.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);

    const LetterAgreement agreement = CompareLetters(shown, expected);
    EXPECT_GT(agreement.letters, 300);
    // Two different smoothing filters disagree only along the letters' edges.
    EXPECT_LT(agreement.disagreements, agreement.letters / 5);
    EXPECT_LT(agreement.meanDifference, 6.0);
    QDir().mkpath(QStringLiteral(FRAMELOOP_ARTIFACTS));
    shown.save(QStringLiteral(FRAMELOOP_ARTIFACTS "/view_shrunk.png"));
    expected.save(QStringLiteral(FRAMELOOP_ARTIFACTS "/gif_shrunk.png"));
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
