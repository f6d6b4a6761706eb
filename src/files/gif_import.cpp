#include "files/gif_import.h"

#include <utility>

#include "files/frame_append.h"
#include "files/gif_frames.h"

namespace {

constexpr uint64_t kMegabyte = 1024 * 1024;

// Bytes of one 24-bit frame: rows padded to four bytes.
uint64_t FrameBytes(int32_t width, int32_t height) {
    const uint64_t stride = (uint64_t(width) * 24 + 31) / 32 * 4;
    return stride * uint64_t(height);
}

QString Megabytes(uint64_t bytes) {
    return QString::number((bytes + kMegabyte - 1) / kMegabyte);
}

// A loader's reason ("cannot open 'x': …") as a sentence for a message box.
QString AsSentence(QString reason) {
    if (!reason.isEmpty())
        reason[0] = reason[0].toUpper();
    return reason + QLatin1Char('.');
}

// The checks made on the first composed frame, which comes with the count:
// the GIF must move, and its frames must fit the budget.
bool CheckShape(const QString& path, const CxImage& first, int32_t frameCount,
                uint64_t memoryBudget, GifImportProbe& probe, QString& error) {
    const QString name = QuotedPath(path);
    probe.frameCount = frameCount;
    probe.width = int32_t(first.Width());
    probe.height = int32_t(first.Height());
    if (probe.frameCount <= 1) {
        error = QStringLiteral("%1 is a still picture (one frame): only animated GIFs can be "
                               "opened for editing.")
                    .arg(name);
        return false;
    }
    probe.bytesNeeded = FrameBytes(probe.width, probe.height) * uint64_t(probe.frameCount);
    if (probe.bytesNeeded > memoryBudget) {
        error = QStringLiteral("%1 is too large to open: its %2 frames of %3*%4 need %5 MB of "
                               "memory, and a recording may take at most %6 MB.")
                    .arg(name)
                    .arg(probe.frameCount)
                    .arg(probe.width)
                    .arg(probe.height)
                    .arg(Megabytes(probe.bytesNeeded), Megabytes(memoryBudget));
        return false;
    }
    return true;
}

} // namespace

bool HasGifExtension(const QString& path) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 && path.mid(dot + 1).toLower() == QLatin1String("gif");
}

GifImportJob::GifImportJob(QString path, uint64_t memoryBudget)
    : path_(std::move(path)), memoryBudget_(memoryBudget) {}

GifImportJob::~GifImportJob() {
    Cancel();
    Wait();
}

void GifImportJob::Start() {
    if (!thread_.joinable())
        thread_ = std::thread([this] { Run(); });
}

void GifImportJob::Wait() {
    if (thread_.joinable())
        thread_.join();
}

void GifImportJob::Run() {
    // Error and frames are published by the status, which is written last.
    if (!HasGifExtension(path_)) {
        error_ = QStringLiteral("%1 is not opened: only GIF files (names ending in .gif) can be "
                                "opened for editing.")
                     .arg(QuotedPath(path_));
        status_ = GifImportStatus::Failed;
        return;
    }
    // One pass: the first frame, which comes with the count, is checked
    // before any other is composed.
    FrameList frames;
    bool refused = false;
    QString error;
    const GifLoadResult result = LoadGifFrames(
        path_, frames, error,
        [&](int32_t framesSoFar, int32_t frameCount) {
            if (framesSoFar == 1) {
                if (!CheckShape(path_, *frames.front(), frameCount, memoryBudget_, probe_,
                                error_)) {
                    refused = true;
                    return false;
                }
                frames.reserve(std::size_t(probe_.frameCount));
                probed_ = true;
            }
            done_ = framesSoFar;
            return !cancel_;
        },
        &cancel_);
    if (cancel_) {
        status_ = GifImportStatus::Cancelled;
    } else if (refused) {
        status_ = GifImportStatus::Failed;
    } else if (result == GifLoadResult::Failed) {
        error_ = AsSentence(error);
        status_ = GifImportStatus::Failed;
    } else {
        frames_ = std::move(frames);
        status_ = GifImportStatus::Loaded;
    }
}

FrameList GifImportJob::TakeFrames() {
    if (status_ != GifImportStatus::Loaded)
        return {};
    return std::move(frames_);
}
