#pragma once
// A recording engine and view for driving the capture controller without a
// worker thread or windows.

#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <vector>

#include "app/capture_controller.h"
#include "test_rasterizer.h"

struct Posted {
    int message;
    uint64_t wParam;
    int64_t lParam;
    bool operator==(const Posted&) const = default;
};

struct EngineLog {
    std::vector<std::string> calls; // in order: "start", "post 1234", "stop", ...
    std::vector<Posted> posted;
    CaptureRect rect;
    int32_t gifRate = 0;
    float scale = 0;
    QString gifPath;
    QObject* notify = nullptr;
    bool hasFrames = false;
    bool refusePosts = false;
    int subtitleClears = 0;
};

class FakeEngine : public CaptureEngine {
public:
    explicit FakeEngine(EngineLog& log) : log_(log) {}
    void SetNotifyWindow(QObject* receiver) override { log_.notify = receiver; }
    bool StartWorker() override {
        log_.calls.push_back("start");
        return true;
    }
    void StopWorker() override { log_.calls.push_back("stop"); }
    bool PostToWorker(int message, uint64_t wParam, int64_t lParam) override {
        if (log_.refusePosts)
            return false;
        log_.calls.push_back("post " + std::to_string(message));
        log_.posted.push_back({message, wParam, lParam});
        return true;
    }
    void SetCaptureRect(const CaptureRect& rect) override { log_.rect = rect; }
    void SetGifParams(int32_t frameRate, float scale, const QString& path) override {
        log_.gifRate = frameRate;
        log_.scale = scale;
        log_.gifPath = path;
    }
    bool HasFrames() const override { return log_.hasFrames; }
    uint64_t MemoryBudget() const override { return uint64_t(1) << 30; }
    void ClearSubtitles() override {
        log_.calls.push_back("clear subtitles");
        ++log_.subtitleClears;
    }
    FrameList& Frames() override { return frames_; }
    SubtitleList& Subtitles() override { return subtitles_; }
    TextRasterizer& Text() override { return TestTextRasterizer(); }

private:
    EngineLog& log_;
    FrameList frames_;
    SubtitleList subtitles_;
};

class FakeView : public CaptureView {
public:
    void SetCaptureButtonOn(bool on) override { captureOn = on; }
    void RepaintFrame() override { ++frameRepaints; }
    void RepaintStatus() override { ++statusRepaints; }
    void SetProgressPercent(int p) override { percent = p; }
    void ShowGif(const QString& path, int frames, int width, int height, float kb) override {
        shown = Shown{path, frames, width, height, kb};
    }
    void ShowMessage(const QString& text) override { messages << text; }
    void RunEditor(int32_t frameCount) override { editorRuns.push_back(frameCount); }
    std::optional<int32_t> ImportGif(const QString& path) override {
        imports << path;
        return importResult;
    }

    struct Shown {
        QString path;
        int frames, width, height;
        float kb;
    };
    bool captureOn = false;
    int frameRepaints = 0;
    int statusRepaints = 0;
    int percent = -1;
    std::optional<Shown> shown;
    QStringList messages;
    std::vector<int32_t> editorRuns;
    QStringList imports;
    std::optional<int32_t> importResult;
};
