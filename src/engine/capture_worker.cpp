#include "engine/capture_worker.h"

#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <algorithm>

#include "gif/animated_gif.h"
#include "gif/frame_preparation.h"

namespace {

// What the next grab of `rect` adds to the frame list: the header and the
// 24-bit rows of the bitmap block.
uint64_t FrameBytesFor(const CaptureRect& rect) {
    const int64_t w = int64_t(rect.right) - rect.left;
    const int64_t h = int64_t(rect.bottom) - rect.top;
    if (w <= 0 || h <= 0)
        return 0;
    const uint64_t stride = (uint64_t(w) * 24 + 31) / 32 * 4;
    return sizeof(BitmapInfoHeader) + stride * uint64_t(h);
}

} // namespace

CaptureWorker::CaptureWorker(CGifMaker& maker, ScreenSourceFactory factory)
    : maker_(maker), factory_(std::move(factory)) {}

CaptureWorker::~CaptureWorker() = default;

void CaptureWorker::RunLoop() {
    // Made here so the timer belongs to the worker thread and ticks into its queue.
    timer_ = std::make_unique<QTimer>();
    timer_->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer_.get(), &QTimer::timeout, this, [this] { OnTick(); });
    QEventLoop loop;
    loop_ = &loop;
    loop.exec();
    loop_ = nullptr;
    timer_.reset();
    source_.reset();
}

bool CaptureWorker::event(QEvent* e) {
    const EngineMessage* m = AsEngineMessage(e);
    if (!m)
        return QObject::event(e);
    if (quitting_)
        return true; // posted after the quit: the worker is gone for these
    switch (m->Message()) {
    case WM_CAPTURE_START:
        OnCaptureStart(m->LParam());
        break;
    case WM_CAPTURE_STOP:
        OnCaptureStop(kStopRequested);
        break;
    case WM_MAKE_GIF:
        OnMakeGif(m->LParam() != 0);
        break;
    case WM_WORKER_QUIT:
        quitting_ = true;
        StopGrabbing();
        if (loop_)
            loop_->exit(0);
        break;
    default:
        break;
    }
    return true;
}

void CaptureWorker::OnCaptureStart(int64_t periodMs) {
    maker_.ClearFrames();
    grabbed_ = 0;
    recordedBytes_ = 0;
    stopped_ = false;
    // One timer serves every recording: a second start without a stop only
    // changes its period instead of leaving a forgotten timer running.
    timer_->stop();
    if (periodMs >= 1)
        timer_->start(static_cast<int>(std::min<int64_t>(periodMs, 24 * 3600 * 1000)));
}

void CaptureWorker::StopGrabbing() {
    stopped_ = true;
    if (timer_)
        timer_->stop();
}

void CaptureWorker::OnCaptureStop(CaptureStopReason reason) {
    StopGrabbing();
    maker_.PostToNotify(WM_CAPTURE_STOPPED, reason, 0);
}

ScreenSource* CaptureWorker::Source() {
    if (!source_ && factory_)
        source_ = factory_();
    return source_.get();
}

void CaptureWorker::OnTick() {
    if (stopped_)
        return;
    // A recording that would outgrow the memory budget ends here, as if the
    // user had stopped it, so the frames so far survive and can be built.
    const uint64_t next = FrameBytesFor(maker_.GetCaptureRect());
    if (recordedBytes_ + next > maker_.MemoryBudget()) {
        OnCaptureStop(kStopMemoryBudget);
        return;
    }
    ScreenSource* source = Source();
    if (!source || !maker_.GrabFrame(*source)) {
        // A grab may fail now and then; a source that is gone fails for ever.
        if (!source || source->Lost())
            OnCaptureStop(kStopDisplayLost);
        return;
    }
    recordedBytes_ += maker_.Frames().back()->DibSize();
    ++grabbed_;
    maker_.PostToNotify(WM_FRAME_CAPTURED, 0, grabbed_);
}

void CaptureWorker::OnMakeGif(bool dither) {
    // Percent values only go up, whatever the stages report.
    int posted = -1;
    const ProgressSink progress = [this, &posted](int percent) {
        percent = std::clamp(percent, 0, 100);
        if (percent < posted)
            return;
        posted = percent;
        maker_.PostToNotify(WM_GIF_PROGRESS, 0, percent);
    };
    maker_.ClearPrepared();
    const CaptureRect rect = maker_.GetCaptureRect();
    const float scale = maker_.Scale();
    if (!maker_.Frames().empty()) {
        static const SubtitleList kNoSubtitles;
        const SubtitleList* subtitles = maker_.subtitleSource_;
        PrepareFrames(maker_.Frames(), rect, scale, subtitles ? *subtitles : kNoSubtitles,
                      maker_.Text(), maker_.Prepared(), progress);
    }
    const auto prepared = static_cast<uint64_t>(maker_.Prepared().size());
    if (prepared > 0) {
        // A rate below 1 would make no sense as a frame delay.
        const auto rate = static_cast<uint32_t>(std::max(maker_.GifFrameRate(), 1));
        // A file that could not be finished is removed, so nobody takes what
        // is left of it for the GIF.
        if (!WriteAnimatedGif(maker_.OutputPath(), maker_.Prepared(), rate, dither, progress))
            QFile::remove(QFile::decodeName(maker_.OutputPath().c_str()));
        // The controller waits for the last values even when writing failed.
        if (posted < 95)
            progress(95);
        if (posted < 100)
            progress(100);
    }
    maker_.PostToNotify(
        WM_GIF_DONE, prepared,
        PackGifSize(ScaledLength(rect.Width(), scale), ScaledLength(rect.Height(), scale)));
    maker_.ClearPrepared();
}
