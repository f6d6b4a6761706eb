// Opening the editor and scrolling its thumbnail strip over a long
// recording: the time to fill the strip and show its first screen, the time
// to scroll it from the first row to the last one row at a time, one paint
// per step, with the number of thumbnails made on the way, and the time to
// open the whole editor dialog on the recording until its first paint.
//
// Usage: editor_bench [--frames N] [--width W] [--height H]
// (defaults 300 frames of 1280x720; every frame is its own 24-bit image, as
// in a recording, so 2000 such frames take 5.5 GB).

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/app_settings.h"
#include "editor/add_text_dlg.h"
#include "editor/x_list_view.h"
#include "image/cximage.h"
#include "image/frame_list.h"
#include "platform/qt_text_rasterizer.h"

namespace {

struct Options {
    int frames = 300;
    int width = 1280;
    int height = 720;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc)
            return false;
        const int value = std::atoi(argv[++i]);
        if (value <= 0)
            return false;
        if (arg == "--frames")
            options.frames = value;
        else if (arg == "--width")
            options.width = value;
        else if (arg == "--height")
            options.height = value;
        else
            return false;
    }
    return true;
}

// Shows `window` and waits for its first exposure, so its first paint has run.
void ShowAndPaint(QWidget& window) {
    window.show();
    while (!window.windowHandle() || !window.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    window.repaint();
}

// A recording: the same picture (a gradient with a bright block) copied into
// every frame.
FrameList MakeRecording(const Options& options) {
    CxImage pattern;
    pattern.Create(uint32_t(options.width), uint32_t(options.height), 24);
    for (uint32_t y = 0; y < pattern.Height(); ++y) {
        uint8_t* row = pattern.Row(y);
        for (uint32_t x = 0; x < pattern.Width(); ++x) {
            const bool block = x > pattern.Width() / 3 && x < pattern.Width() / 2 &&
                               y > pattern.Height() / 3 && y < pattern.Height() / 2;
            row[3 * x] = uint8_t(block ? 255 : x * 255 / pattern.Width());
            row[3 * x + 1] = uint8_t(block ? 255 : y * 255 / pattern.Height());
            row[3 * x + 2] = uint8_t(block ? 255 : 128);
        }
    }
    const std::size_t bytes = std::size_t(pattern.Stride()) * pattern.Height();
    FrameList frames;
    frames.reserve(std::size_t(options.frames));
    for (int n = 0; n < options.frames; ++n) {
        auto frame = std::make_unique<CxImage>();
        frame->Create(pattern.Width(), pattern.Height(), 24);
        std::memcpy(frame->Row(0), pattern.Row(0), bytes);
        frame->SetUserFlags(1);
        frames.push_back(std::move(frame));
    }
    return frames;
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: editor_bench [--frames N] [--width W] [--height H]\n");
        return 2;
    }
    QApplication app(argc, argv);

    QElapsedTimer clock;
    clock.start();
    const FrameList frames = MakeRecording(options);
    std::printf("recording: %d frames of %dx%d (%.2f GB), made in %lld ms\n", options.frames,
                options.width, options.height,
                double(options.frames) * options.width * options.height * 3 / 1e9,
                static_cast<long long>(clock.elapsed()));

    // The editor's strip: as wide as its Delete / Undo button and as high as
    // the dialog below that button.
    QWidget dialog;
    dialog.resize(900, 640);
    auto* strip = new XListView(&dialog);
    strip->setGeometry(0, 50, 124, 566);

    clock.restart();
    for (const auto& frame : frames)
        strip->AddFrame(frame.get());
    strip->InitialUpdate();
    const double filledMs = double(clock.nsecsElapsed()) / 1e6;
    dialog.show();
    // Painting starts once the window is exposed; that first paint draws the strip.
    while (!dialog.windowHandle() || !dialog.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    strip->viewport()->repaint();
    const double openMs = double(clock.nsecsElapsed()) / 1e6;
    const int64_t madeOpening = strip->ThumbnailsMade();
    std::printf("open: AddFrame x %d + InitialUpdate %.2f ms, with show and first paint %.2f ms,"
                " %lld thumbnails made (row height %d, viewport %dx%d)\n",
                options.frames, filledMs, openMs, static_cast<long long>(madeOpening),
                strip->ItemHeight(), strip->viewport()->width(), strip->viewport()->height());

    const int32_t last = strip->verticalScrollBar()->maximum();
    const int32_t step = strip->ItemHeight();
    std::vector<double> stepMs;
    clock.restart();
    for (int32_t position = step; position <= last; position += step) {
        QElapsedTimer one;
        one.start();
        strip->SetScrollPos(position);
        strip->viewport()->repaint();
        stepMs.push_back(double(one.nsecsElapsed()) / 1e6);
    }
    const double scrollMs = double(clock.nsecsElapsed()) / 1e6;
    std::vector<double> sorted = stepMs;
    std::sort(sorted.begin(), sorted.end());
    const auto at = [&](double q) {
        return sorted.empty() ? 0.0 : sorted[std::size_t(q * double(sorted.size() - 1))];
    };
    std::printf("scroll end to end: %zu steps of one row in %.1f ms; per step median %.2f ms,"
                " p95 %.2f ms, max %.2f ms; %lld thumbnails made in all, %zu cached\n",
                stepMs.size(), scrollMs, at(0.5), at(0.95), sorted.empty() ? 0.0 : sorted.back(),
                static_cast<long long>(strip->ThumbnailsMade()), strip->CachedThumbnails());

    // The whole editor, as Subtitle opens it: strip, style controls with the
    // font list, subtitle list and the frame view showing frame 1.
    FrameList recording = MakeRecording(options);
    SubtitleList subtitles;
    AppSettings settings;
    QtTextRasterizer text;
    clock.restart();
    {
        CAddTextDlg editor(nullptr, int32_t(recording.size()),
                           EditorContext{recording, subtitles, settings, text, nullptr});
        const double builtMs = double(clock.nsecsElapsed()) / 1e6;
        ShowAndPaint(editor);
        const double shownMs = double(clock.nsecsElapsed()) / 1e6;
        std::printf("editor dialog: constructed in %.1f ms, shown and painted after %.1f ms,"
                    " %lld thumbnails made\n",
                    builtMs, shownMs, static_cast<long long>(editor.Strip().ThumbnailsMade()));
    }
    return 0;
}
