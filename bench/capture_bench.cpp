// Capture figures on the current X display:
//   frameloop-capture-bench grab WIDTHxHEIGHT shm|plain COUNT
//       median, 95th percentile and worst time of one grab, in milliseconds
//   frameloop-capture-bench ticks WIDTHxHEIGHT FPS SECONDS
//       records through the engine and counts the ticks that brought no frame
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/gif_maker.h"
#include "image/text_rasterizer.h"
#include "main/composition_root.h"
#include "platform/xcb_screen_source.h"

namespace {

bool ParseSize(const char* text, int& width, int& height) {
    return std::sscanf(text, "%dx%d", &width, &height) == 2 && width > 0 && height > 0;
}

// CPU time of the calling thread: what a grab costs us, whatever else runs.
double ThreadCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    const auto ms = [](const timeval& t) {
        return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * double(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

int BenchGrab(int width, int height, bool shm, int count) {
    XcbScreenSource source(nullptr, shm);
    if (!source.Usable()) {
        std::fprintf(stderr, "cannot open the X display\n");
        return 1;
    }
    if (shm && !source.UsingShm()) {
        std::fprintf(stderr, "the server offers no MIT-SHM\n");
        return 1;
    }
    const CaptureRect rect{0, 0, width, height};
    std::vector<double> ms;
    std::vector<double> cpuMs;
    for (int i = 0; i < count + 3; ++i) {
        CxImage frame;
        const double cpuStart = ThreadCpuMs();
        const auto start = std::chrono::steady_clock::now();
        if (!source.Grab(rect, frame)) {
            std::fprintf(stderr, "grab failed\n");
            return 1;
        }
        const auto end = std::chrono::steady_clock::now();
        const double cpuEnd = ThreadCpuMs();
        if (i >= 3) { // the first grabs set up the segment and warm the caches
            ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
            cpuMs.push_back(cpuEnd - cpuStart);
        }
    }
    std::printf("grab %dx%d %s: median %.2f ms, p95 %.2f ms, max %.2f ms; our CPU median %.2f ms "
                "(%d grabs)\n",
                width, height, shm ? "shm" : "get_image", Percentile(ms, 0.5), Percentile(ms, 0.95),
                *std::max_element(ms.begin(), ms.end()), Percentile(cpuMs, 0.5), count);
    return 0;
}

// Counts the worker's frames and the gaps between them.
class TickCounter : public QObject {
public:
    int frames = 0;
    bool stopped = false;
    std::vector<double> gapsMs;

protected:
    bool event(QEvent* e) override {
        const EngineMessage* m = AsEngineMessage(e);
        if (!m)
            return QObject::event(e);
        if (m->Message() == WM_FRAME_CAPTURED) {
            if (clock_.isValid())
                gapsMs.push_back(double(clock_.nsecsElapsed()) / 1e6);
            clock_.start();
            frames = int(m->LParam());
        } else if (m->Message() == WM_CAPTURE_STOPPED) {
            stopped = true;
            QCoreApplication::exit(0);
        }
        return true;
    }

private:
    QElapsedTimer clock_;
};

int BenchTicks(int width, int height, int fps, double seconds) {
    if (!XcbScreenSource::CanConnect()) {
        std::fprintf(stderr, "cannot open the X display\n");
        return 1;
    }
    const std::unique_ptr<TextRasterizer> text = MakeTextRasterizer();
    CGifMaker maker(ChooseScreenBackend().makeSource, *text);
    TickCounter counter;
    maker.SetNotifyWindow(&counter);
    maker.SetCaptureRect(0, 0, width, height);
    maker.StartWorker();
    const int period = 1000 / fps;
    // The ticks due are counted over the time between posting the start and
    // posting the stop, as the worker sees it (both go through one queue).
    QElapsedTimer wall;
    double recordedMs = 0;
    wall.start();
    maker.PostToWorker(WM_CAPTURE_START, 0, period);
    QTimer::singleShot(int(seconds * 1000), Qt::PreciseTimer, [&] {
        recordedMs = double(wall.nsecsElapsed()) / 1e6;
        maker.PostToWorker(WM_CAPTURE_STOP);
    });
    QCoreApplication::exec();
    maker.StopWorker();
    const int expected = int(recordedMs) / period;
    const int missed = std::max(0, expected - counter.frames);
    std::printf("record %dx%d at %d fps for %.1f s: %d frames of %d ticks, %d missed (%.2f %%), "
                "gap median %.1f ms, max %.1f ms, recorded %.0f ms\n",
                width, height, fps, seconds, counter.frames, expected, missed,
                100.0 * missed / std::max(expected, 1),
                counter.gapsMs.empty() ? 0.0 : Percentile(counter.gapsMs, 0.5),
                counter.gapsMs.empty()
                    ? 0.0
                    : *std::max_element(counter.gapsMs.begin(), counter.gapsMs.end()),
                recordedMs);
    return 0;
}

int Usage() {
    std::fprintf(stderr, "usage: frameloop-capture-bench grab WxH shm|plain COUNT\n"
                         "       frameloop-capture-bench ticks WxH FPS SECONDS\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int width = 0;
    int height = 0;
    if (argc == 5 && std::strcmp(argv[1], "grab") == 0 && ParseSize(argv[2], width, height)) {
        const bool shm = std::strcmp(argv[3], "shm") == 0;
        if (!shm && std::strcmp(argv[3], "plain") != 0)
            return Usage();
        return BenchGrab(width, height, shm, std::max(1, std::atoi(argv[4])));
    }
    if (argc == 5 && std::strcmp(argv[1], "ticks") == 0 && ParseSize(argv[2], width, height)) {
        const int fps = std::atoi(argv[3]);
        const double seconds = std::atof(argv[4]);
        if (fps < 1 || fps > 1000 || seconds <= 0)
            return Usage();
        return BenchTicks(width, height, fps, seconds);
    }
    return Usage();
}
