// Times opening a GIF for editing the way the interface does it: a
// GifImportJob on its own thread, polled every 25 ms until it ends.
//
//   import_bench FILE.gif
//
// Prints the frames and their size, the wall time until the file has passed
// its checks (Probed()) and until the whole import has ended, the bytes of
// the loaded frames and the peak resident memory of the process.
#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "files/gif_import.h"
#include "image/frame_list.h"

namespace {

// Far above any file we measure: the budget check must never be what stops it.
constexpr uint64_t kBudget = uint64_t(64) * 1024 * 1024 * 1024;
constexpr auto kPoll = std::chrono::milliseconds(25);

void Usage(std::FILE* out) {
    std::fprintf(out, "usage: import_bench FILE.gif\n"
                      "       import_bench --cancel-after MS FILE.gif\n"
                      "Opens FILE.gif for editing as the interface does (GifImportJob, polled\n"
                      "every 25 ms) and prints the frames, their size, the wall time of the probe\n"
                      "and of the whole import, the bytes of the frames and the peak RSS.\n"
                      "With --cancel-after, cancels the import MS milliseconds after its start\n"
                      "and prints how long the import thread took to end after the cancel.\n");
}

double MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// How soon the import thread ends once the user cancels: the window hides at
// once, but the recording is only safe to use again when the thread is done.
int CancelLatency(const char* path, int afterMs) {
    GifImportJob job(QString::fromLocal8Bit(path), kBudget);
    job.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(afterMs));
    const int32_t framesAtCancel = job.Progress();
    const auto cancelled = std::chrono::steady_clock::now();
    job.Cancel();
    job.Wait();
    std::printf("cancelled after %d ms (%d frames composed, %s): the thread ended %.1f ms later\n",
                afterMs, framesAtCancel, job.Probed() ? "counted" : "still counting",
                MsSince(cancelled));
    return job.Status() == GifImportStatus::Cancelled ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        Usage(stdout);
        return 0;
    }
    if (argc == 4 && std::strcmp(argv[1], "--cancel-after") == 0 && std::atoi(argv[2]) >= 0)
        return CancelLatency(argv[3], std::atoi(argv[2]));
    if (argc != 2 || argv[1][0] == '-') {
        Usage(stderr);
        return 2;
    }

    // What the process holds before any frame (libraries, Qt): the peak
    // above it is what the import costs.
    rusage before{};
    getrusage(RUSAGE_SELF, &before);

    GifImportJob job(QString::fromLocal8Bit(argv[1]), kBudget);
    const auto start = std::chrono::steady_clock::now();
    job.Start();
    // Polled like the progress window does, so both times are rounded up to
    // the next poll, as the user would see them.
    double probeMs = -1;
    while (job.Status() == GifImportStatus::Running) {
        if (probeMs < 0 && job.Probed())
            probeMs = MsSince(start);
        std::this_thread::sleep_for(kPoll);
    }
    if (probeMs < 0 && job.Probed())
        probeMs = MsSince(start);
    const double totalMs = MsSince(start);
    job.Wait();

    if (job.Status() != GifImportStatus::Loaded) {
        std::fprintf(stderr, "import failed: %s\n",
                     job.Status() == GifImportStatus::Failed ? job.Error().toLocal8Bit().constData()
                                                             : "cancelled");
        return 1;
    }
    const FrameList frames = job.TakeFrames();
    uint64_t frameBytes = 0;
    for (const auto& frame : frames)
        frameBytes += uint64_t(frame->Stride()) * frame->Height();
    const GifImportProbe& probe = job.Probe();

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    // ru_maxrss is in KiB.
    const double peakMiB = double(usage.ru_maxrss) / 1024.0;
    const double baseMiB = double(before.ru_maxrss) / 1024.0;
    const double framesMiB = double(frameBytes) / (1024.0 * 1024.0);
    const double oneFrameMiB = frames.empty() ? 0.0 : framesMiB / double(frames.size());
    const auto inFrames = [&](double mib) { return oneFrameMiB > 0 ? mib / oneFrameMiB : 0.0; };
    std::printf("frames %zu, %dx%d; probe %.1f ms, import %.1f ms; frames %llu bytes (%.1f MiB); "
                "peak RSS %ld KiB (%.1f MiB = frames + %.1f frames); before the import %.1f MiB, "
                "so the import's peak is frames + %.1f frames\n",
                frames.size(), probe.width, probe.height, probeMs, totalMs,
                static_cast<unsigned long long>(frameBytes), framesMiB, usage.ru_maxrss, peakMiB,
                inFrames(peakMiB - framesMiB), baseMiB, inFrames(peakMiB - baseMiB - framesMiB));
    return 0;
}
