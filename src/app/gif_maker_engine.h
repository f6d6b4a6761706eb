#pragma once
// The capture engine of the program: the real CGifMaker behind the interface
// the controller uses.

#include <utility>

#include "app/capture_engine.h"
#include "engine/gif_maker.h"

// The engine of the program: a CGifMaker and its worker thread.
class GifMakerEngine final : public CaptureEngine {
public:
    GifMakerEngine(ScreenSourceFactory screens, TextRasterizer& text)
        : maker_(std::move(screens), text) {}

    void SetNotifyWindow(QObject* receiver) override { maker_.SetNotifyWindow(receiver); }
    bool StartWorker() override { return maker_.StartWorker(); }
    void StopWorker() override { maker_.StopWorker(); }
    bool PostToWorker(int message, uint64_t wParam, int64_t lParam) override {
        return maker_.PostToWorker(message, wParam, lParam);
    }
    void SetCaptureRect(const CaptureRect& r) override {
        maker_.SetCaptureRect(r.left, r.top, r.right, r.bottom);
    }
    void SetGifParams(int32_t frameRate, float scale, const QString& path) override;
    bool HasFrames() const override { return maker_.GetFrame(1) != nullptr; }
    uint64_t MemoryBudget() const override { return maker_.MemoryBudget(); }
    void ClearSubtitles() override { maker_.Subtitles().clear(); }
    FrameList& Frames() override { return maker_.Frames(); }
    SubtitleList& Subtitles() override { return maker_.Subtitles(); }
    TextRasterizer& Text() override { return maker_.Text(); }

private:
    CGifMaker maker_;
};
