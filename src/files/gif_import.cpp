#include "files/gif_import.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <utility>

#include "files/frame_append.h"
#include "files/gif_frames.h"
#include "image/byte_source.h"
#include "image/gif_decoder.h"

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

} // namespace

bool HasGifExtension(const QString& path) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 && path.mid(dot + 1).toLower() == QLatin1String("gif");
}

bool ProbeGifForImport(const QString& path, uint64_t memoryBudget, GifImportProbe& probe,
                       QString& error) {
    const QString name = QuotedPath(path);
    if (!HasGifExtension(path)) {
        error = QStringLiteral("%1 is not opened: only GIF files (names ending in .gif) can be "
                               "opened for editing.")
                    .arg(name);
        return false;
    }
    if (QFileInfo(path).isDir()) {
        error = QStringLiteral("Cannot open %1: %2.")
                    .arg(name, QString::fromLocal8Bit(std::strerror(EISDIR)));
        return false;
    }
    FileSource source(QFile::encodeName(path).toStdString());
    if (!source.IsOpen()) {
        error = QStringLiteral("Cannot open %1: %2.")
                    .arg(name, QString::fromLocal8Bit(std::strerror(source.OpenError())));
        return false;
    }

    // Counts the frames and composes only the first, for its size.
    GifDecodeSummary summary;
    bool hasPicture = false;
    const bool decoded = DecodeAllGifFrames(
        source,
        [&](const CxImage& first, int32_t) {
            hasPicture = first.IsValid();
            probe.width = int32_t(first.Width());
            probe.height = int32_t(first.Height());
            return false;
        },
        &summary);
    probe.frameCount = summary.frameCount;
    if (!decoded) {
        switch (summary.error) {
        case GifDecodeError::TooLarge:
            error = QStringLiteral("%1 is too large to open: its picture exceeds the size an "
                                   "image may have.")
                        .arg(name);
            break;
        case GifDecodeError::BadData:
            error = QStringLiteral("%1 cannot be read: %2.")
                        .arg(name, QString::fromStdString(summary.errorText));
            break;
        default:
            error = QStringLiteral("%1 is not a GIF file, or it is damaged.").arg(name);
            break;
        }
        return false;
    }
    if (!hasPicture || probe.width <= 0 || probe.height <= 0) {
        error = QStringLiteral("%1 holds no picture that can be shown.").arg(name);
        return false;
    }
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
    if (!ProbeGifForImport(path_, memoryBudget_, probe_, error_)) {
        status_ = GifImportStatus::Failed;
        return;
    }
    probed_ = true;
    FrameList frames;
    frames.reserve(std::size_t(probe_.frameCount));
    QString error;
    const GifLoadResult result =
        LoadGifFrames(path_, frames, error, [this](int32_t framesSoFar, int32_t) {
            done_ = framesSoFar;
            return !cancel_;
        });
    if (result == GifLoadResult::Loaded && !cancel_) {
        frames_ = std::move(frames);
        status_ = GifImportStatus::Loaded;
    } else if (result == GifLoadResult::Failed) {
        error_ = QStringLiteral("Cannot open %1 for editing: %2.").arg(QuotedPath(path_), error);
        status_ = GifImportStatus::Failed;
    } else {
        status_ = GifImportStatus::Cancelled;
    }
}

FrameList GifImportJob::TakeFrames() {
    if (status_ != GifImportStatus::Loaded)
        return {};
    return std::move(frames_);
}
