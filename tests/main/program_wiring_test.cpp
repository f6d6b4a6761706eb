// The engine as the composition root assembles it: a recording with a
// subtitle comes out of a GIF build with the subtitle burnt in.

#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#include "engine/engine_messages.h"
#include "fake_screen_source.h"
#include "gif/subtitle_factory.h"
#include "image/text_rasterizer.h"
#include "main/composition_root.h"
#include "message_recorder.h"

namespace {

constexpr uint32_t kBlueBox = 0x00FF0000; // 0x00BBGGRR
constexpr uint32_t kYellowText = 0x0000FFFF;

std::unique_ptr<SubtitleItem> BoxedSubtitle() {
    SubtitleStyle style;
    style.textColor = kYellowText;
    style.background = int32_t(SubtitleBackground::Rectangle);
    style.backColor = kBlueBox;
    const SubtitlePlacement placement{60, 1, 1000};
    auto subtitle = CreateSubtitle(placement, style, 96, [] { return 0u; });
    subtitle->x = 10;
    subtitle->y = 45;
    return subtitle;
}

// Pixels of the frame that are clearly the box's blue: the fake screen has no
// blue at all in its first 256 grabs.
int BluePixels(const QImage& frame) {
    int count = 0;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x) {
            const QColor c = frame.pixelColor(x, y);
            count += c.blue() > 180 && c.red() < 90;
        }
    return count;
}

TEST(ProgramWiring, AGifBuildBurnsInTheRecordingsSubtitles) {
    QTemporaryDir dir;
    MessageRecorder recorder;
    const std::unique_ptr<TextRasterizer> text = MakeTextRasterizer();
    const std::unique_ptr<CaptureEngine> engine =
        MakeCaptureEngine(FakeScreenSource::Factory(), *text);
    CaptureEngine& e = *engine;
    e.SetNotifyWindow(&recorder);
    ASSERT_TRUE(e.StartWorker());
    e.SetCaptureRect(CaptureRect{0, 0, 160, 60});
    ASSERT_TRUE(e.PostToWorker(WM_CAPTURE_START, 0, 5));
    ASSERT_TRUE(recorder.WaitFor(WM_FRAME_CAPTURED, 3));
    ASSERT_TRUE(e.PostToWorker(WM_CAPTURE_STOP, 0, 0));
    ASSERT_TRUE(recorder.WaitFor(WM_CAPTURE_STOPPED));

    e.Subtitles().push_back(BoxedSubtitle());
    const QString path = dir.filePath(QStringLiteral("subtitled.gif"));
    e.SetGifParams(10, 1.0f, path);
    ASSERT_TRUE(e.PostToWorker(WM_MAKE_GIF, 0, 0));
    ASSERT_TRUE(recorder.WaitFor(WM_GIF_DONE));
    e.StopWorker();

    QImageReader reader(path);
    ASSERT_TRUE(reader.canRead()) << reader.errorString().toStdString();
    int frames = 0;
    for (QImage frame = reader.read(); !frame.isNull(); frame = reader.read(), ++frames) {
        SCOPED_TRACE(frames);
        // The box spans the text's height (about 19 pixels at 14 points) and
        // its width; most of it stays blue under the yellow letters.
        EXPECT_GT(BluePixels(frame.convertToFormat(QImage::Format_RGB32)), 150);
    }
    EXPECT_GE(frames, 1);
}

} // namespace
