#include "engine/gif_maker.h"

#include <QCoreApplication>
#include <QThread>

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <new>

#include "engine/capture_worker.h"

namespace {

class WorkerThread : public QThread {
public:
    explicit WorkerThread(CGifMaker& maker) : maker_(maker) {}

protected:
    void run() override { maker_.Run(); }

private:
    CGifMaker& maker_;
};

constexpr uint64_t kMiB = 1024 * 1024;

// FRAMELOOP_MAX_MEMORY_MB as bytes, or 0 when unset or not a positive number.
uint64_t BudgetFromEnvironment() {
    const char* text = std::getenv("FRAMELOOP_MAX_MEMORY_MB");
    if (!text || *text < '0' || *text > '9')
        return 0;
    errno = 0;
    char* end = nullptr;
    const unsigned long long mb = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0' || mb == 0)
        return 0;
    constexpr uint64_t kMaxMb = UINT64_MAX / kMiB;
    return (mb > kMaxMb ? kMaxMb : mb) * kMiB;
}

uint64_t HalfOfPhysicalMemory() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return 1024 * kMiB;
    return uint64_t(pages) * uint64_t(pageSize) / 2;
}

} // namespace

uint64_t DefaultMemoryBudget() {
    const uint64_t fromEnvironment = BudgetFromEnvironment();
    return fromEnvironment ? fromEnvironment : HalfOfPhysicalMemory();
}

CGifMaker::CGifMaker(ScreenSourceFactory screens, TextRasterizer& text)
    : memoryBudget_(DefaultMemoryBudget()), sourceFactory_(std::move(screens)), text_(text) {}

CGifMaker::~CGifMaker() {
    StopWorker();
}

void CGifMaker::SetNotifyWindow(QObject* receiver) {
    notify_ = receiver;
}

bool CGifMaker::StartWorker() {
    if (thread_)
        return true;
    ownerThread_ = QThread::currentThread();
    worker_ = std::make_unique<CaptureWorker>(*this, sourceFactory_);
    thread_ = std::make_unique<WorkerThread>(*this);
    // Messages posted before the thread runs wait in its queue.
    worker_->moveToThread(thread_.get());
    thread_->start();
    if (!thread_->isRunning() && !thread_->isFinished()) {
        worker_.reset();
        thread_.reset();
        return false;
    }
    return true;
}

void CGifMaker::StopWorker() {
    if (!thread_)
        return;
    // Behind every message already posted, so a stop posted before is handled.
    PostToWorker(WM_WORKER_QUIT);
    thread_->wait();
    thread_.reset();
    worker_.reset();
}

bool CGifMaker::WorkerRunning() const {
    return thread_ != nullptr;
}

QObject* CGifMaker::Worker() const {
    return worker_.get();
}

bool CGifMaker::PostToWorker(int message, uint64_t wParam, int64_t lParam) {
    if (!worker_)
        return false;
    QCoreApplication::postEvent(worker_.get(), new EngineMessage(message, wParam, lParam));
    return true;
}

void CGifMaker::PostToNotify(int message, uint64_t wParam, int64_t lParam) {
    if (notify_)
        QCoreApplication::postEvent(notify_, new EngineMessage(message, wParam, lParam));
}

void CGifMaker::Run() {
    worker_->RunLoop();
    // Back to the thread that deletes it, with whatever was posted after the quit.
    worker_->moveToThread(ownerThread_);
    ClearFrames();
    ClearPrepared();
}

void CGifMaker::SetCaptureRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (right < left || bottom < top)
        return;
    captureRect_ = CaptureRect{left, top, right, bottom};
}

void CGifMaker::SetGifParams(int32_t frameRate, float scale, const std::string& path) {
    gifFrameRate_ = frameRate;
    scale_ = scale;
    outputPath_ = path;
}

CxImage* CGifMaker::GetFrame(int32_t n) const {
    if (n < 1 || n > FrameCount())
        return nullptr;
    return frames_[std::size_t(n) - 1].get();
}

void CGifMaker::AppendFrame(std::unique_ptr<CxImage> frame) {
    if (frame)
        frames_.push_back(std::move(frame));
}

void CGifMaker::ClearFrames() {
    frames_.clear();
}

void CGifMaker::ClearPrepared() {
    prepared_.clear();
}

bool CGifMaker::IsKept(int32_t n) const {
    const CxImage* frame = GetFrame(n);
    return frame && frame->UserFlags() == 1;
}

void CGifMaker::SetKept(int32_t n, bool kept) {
    if (CxImage* frame = GetFrame(n))
        frame->SetUserFlags(kept ? 1 : 0);
}

uint64_t CGifMaker::FrameBytes() const {
    uint64_t total = 0;
    for (const auto& frame : frames_)
        total += frame ? frame->DibSize() : 0;
    return total;
}

bool CGifMaker::GrabFrame(ScreenSource& source) {
    try {
        auto frame = std::make_unique<CxImage>(CXIMAGE_FORMAT_UNKNOWN);
        // Only whole 24-bit frames enter the list: the GIF stages read every pixel.
        if (!source.Grab(captureRect_, *frame) || !frame->IsValid() || frame->BitsPerPixel() != 24)
            return false;
        frame->SetUserFlags(1);
        frames_.push_back(std::move(frame));
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}
