#pragma once
// CGifMaker: the capture engine. It owns the recording (the frame list), the
// capture rectangle, the GIF parameters and one worker thread. The controller
// talks to the worker only through posted messages (engine_messages.h); the
// worker answers with messages posted to the notify object.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/engine_messages.h"
#include "gif/subtitle.h"
#include "image/frame_list.h"
#include "platform/screen_source.h"

class QObject;
class QThread;
class CaptureWorker;
class TextRasterizer;

// Makes the worker's screen source. Called on the worker thread, once, when
// the first grab needs it.
using ScreenSourceFactory = std::function<std::unique_ptr<ScreenSource>()>;

// Bytes the frame list may hold before a recording stops by itself: the value
// of FRAMELOOP_MAX_MEMORY_MB when it is a positive whole number, otherwise half
// of the physical memory.
uint64_t DefaultMemoryBudget();

class CGifMaker {
public:
    // Frames come from the sources `screens` makes; subtitles are lettered by
    // `text`, which must outlive the engine. Both are chosen where the program
    // is assembled.
    CGifMaker(ScreenSourceFactory screens, TextRasterizer& text);
    virtual ~CGifMaker(); // stops the worker when it still runs
    CGifMaker(const CGifMaker&) = delete;
    CGifMaker& operator=(const CGifMaker&) = delete;

    // --- Interface thread ---------------------------------------------------
    // The receiver of WM_FRAME_CAPTURED, WM_CAPTURE_STOPPED, WM_GIF_PROGRESS and
    // WM_GIF_DONE (as EngineMessage events). Set it before StartWorker.
    void SetNotifyWindow(QObject* receiver);
    // Starts the worker thread; false when it could not be started.
    bool StartWorker();
    // Posts the quit message behind everything already posted, waits for the
    // worker to end (no time limit). The worker empties the frame list.
    void StopWorker();
    bool WorkerRunning() const;
    // Posts a protocol message to the worker (WM_CAPTURE_START, WM_CAPTURE_STOP,
    // WM_MAKE_GIF). Messages are handled strictly in the order posted.
    // False when no worker runs.
    bool PostToWorker(int message, uint64_t wParam = 0, int64_t lParam = 0);
    // The object the protocol messages go to, or null without a worker.
    QObject* Worker() const;

    // Ignored when right < left or bottom < top. The engine keeps a copy of
    // the owner's rectangle, handed over before each recording; until then it
    // is empty and grabs nothing.
    void SetCaptureRect(int32_t left, int32_t top, int32_t right, int32_t bottom);
    const CaptureRect& GetCaptureRect() const { return captureRect_; }
    // The whole path is kept (a cut path would write the GIF somewhere else).
    void SetGifParams(int32_t frameRate, float scale, const std::string& path);
    int32_t GifFrameRate() const { return gifFrameRate_; }
    float Scale() const { return scale_; }
    const std::string& OutputPath() const { return outputPath_; }
    // The subtitles burnt in by the next GIF build; null = none. The list must
    // stay alive and unchanged while a build runs. Defaults to Subtitles().
    void SetSubtitleList(const SubtitleList* list) { subtitleSource_ = list; }
    // A subtitle list owned by the engine, for callers without a list of their own.
    SubtitleList& Subtitles() { return subtitles_; }
    // Limit on the bytes of the frame list during a recording; set before a
    // WM_CAPTURE_START. When the next frame would exceed it, the worker stops
    // the recording exactly as WM_CAPTURE_STOP does.
    void SetMemoryBudget(uint64_t bytes) { memoryBudget_ = bytes; }
    uint64_t MemoryBudget() const { return memoryBudget_; }
    TextRasterizer& Text() const { return text_; }

    // --- Frame list (interface thread only while the worker is idle) --------
    // Frame n, 1-based; null when n < 1 or n > FrameCount().
    CxImage* GetFrame(int32_t n) const;
    int32_t FrameCount() const { return static_cast<int32_t>(frames_.size()); }
    // Appends at the end; the list takes ownership. Null is refused.
    void AppendFrame(std::unique_ptr<CxImage> frame);
    void ClearFrames();
    void ClearPrepared();
    // Kept flag of frame n (1-based): true = goes into the GIF.
    bool IsKept(int32_t n) const;
    void SetKept(int32_t n, bool kept);
    FrameList& Frames() { return frames_; }
    const FrameList& Frames() const { return frames_; }
    FrameList& Prepared() { return prepared_; }
    // Bytes held by the pixel blocks of the frame list.
    uint64_t FrameBytes() const;

    // --- Worker thread --------------------------------------------------------
    // Grabs the capture rectangle from `source` into a new kept frame at the end
    // of the list. False when nothing was appended.
    bool GrabFrame(ScreenSource& source);
    // Body of the worker thread: handles the posted messages until the quit
    // message, then empties the frame list.
    virtual void Run();

private:
    friend class CaptureWorker;
    void PostToNotify(int message, uint64_t wParam, int64_t lParam);

    FrameList frames_;
    FrameList prepared_;
    CaptureRect captureRect_;
    int32_t gifFrameRate_ = 20;
    float scale_ = 0.5f;
    std::string outputPath_;
    std::unique_ptr<QThread> thread_;
    std::unique_ptr<CaptureWorker> worker_;
    QThread* ownerThread_ = nullptr; // where the worker object returns when it ends
    QObject* notify_ = nullptr;

    SubtitleList subtitles_;
    const SubtitleList* subtitleSource_ = &subtitles_;
    uint64_t memoryBudget_;
    ScreenSourceFactory sourceFactory_;
    TextRasterizer& text_;
};
