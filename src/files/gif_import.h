#pragma once
// Opening an existing animated GIF for editing. The file is checked (its
// name, that it is a GIF, that it moves, that its frames fit the memory
// budget) and every frame is composed, in one pass on a thread of its own,
// into a new frame list, so the interface stays alive, can show progress and
// can cancel. The caller's recording is touched by nobody here: the caller
// swaps the new frames in only when the whole file has been read.

#include <QString>

#include <atomic>
#include <cstdint>
#include <thread>

#include "image/frame_list.h"

// What a GIF needs before it is loaded.
struct GifImportProbe {
    int32_t frameCount = 0;
    int32_t width = 0;
    int32_t height = 0;
    uint64_t bytesNeeded = 0; // the 24-bit frames of the whole file
};

// True when the name ends in ".gif", in any case (".GIF" yes, ".gif.bak" no).
bool HasGifExtension(const QString& path);

enum class GifImportStatus { Running, Loaded, Failed, Cancelled };

// Loads a GIF on its own thread in one decoding pass. A file is refused, with
// a sentence for the user in Error(), when its name lacks the .gif extension,
// it cannot be read or is not a GIF, it is a still picture (one frame), or its
// frames would take more than `memoryBudget` bytes; the first frame, which
// comes with the frame count, is checked before any other is composed.
// The interface thread polls Probed(), Progress() and Status(), may Cancel()
// at any time (the loader stops at once, even while frames are counted), and
// takes the frames once the status is Loaded.
class GifImportJob {
public:
    GifImportJob(QString path, uint64_t memoryBudget);
    ~GifImportJob(); // cancels and waits for the thread

    GifImportJob(const GifImportJob&) = delete;
    GifImportJob& operator=(const GifImportJob&) = delete;

    void Start();
    void Cancel() { cancel_ = true; }
    // True once the file has passed its checks; Probe() is valid from then on.
    bool Probed() const { return probed_; }
    const GifImportProbe& Probe() const { return probe_; }
    // Frames composed so far.
    int32_t Progress() const { return done_; }
    GifImportStatus Status() const { return status_; }
    // Blocks until the thread has ended.
    void Wait();
    // The reason of a failure, a sentence for the user; read once the status
    // is Failed.
    const QString& Error() const { return error_; }
    // The loaded frames, each 24-bit, of the GIF's screen size, marked kept;
    // empty unless the status is Loaded.
    FrameList TakeFrames();

private:
    void Run();

    QString path_;
    uint64_t memoryBudget_;
    GifImportProbe probe_;
    std::atomic<bool> probed_{false};
    std::atomic<bool> cancel_{false};
    std::atomic<int32_t> done_{0};
    std::atomic<GifImportStatus> status_{GifImportStatus::Running};
    FrameList frames_;
    QString error_;
    std::thread thread_;
};
