#include "files/gif_import.h"

#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <utility>

#include "files/frame_append.h"
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

// The file as the import thread reads it: once the user cancels, it reads
// as ended, so even the counting pass over a long file stops at once.
class CancellableSource final : public ByteSource {
public:
    CancellableSource(ByteSource& file, const std::atomic<bool>& cancel)
        : file_(file), cancel_(cancel) {}
    std::size_t Read(std::span<uint8_t> buffer) override {
        return cancel_ ? 0 : file_.Read(buffer);
    }
    bool Seek(int64_t position) override { return file_.Seek(position); }
    int64_t Tell() const override { return file_.Tell(); }

private:
    ByteSource& file_;
    const std::atomic<bool>& cancel_;
};

} // namespace

bool HasGifExtension(const QString& path) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 && path.mid(dot + 1).toLower() == QLatin1String("gif");
}

namespace {

// The checks made before the file is read: its name, and that it opens.
bool CheckFile(const QString& path, QString& error) {
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
    return true;
}

bool OpenFile(const QString& path, std::optional<FileSource>& source, QString& error) {
    source.emplace(QFile::encodeName(path).toStdString());
    if (source->IsOpen())
        return true;
    error = QStringLiteral("Cannot open %1: %2.")
                .arg(QuotedPath(path), QString::fromLocal8Bit(std::strerror(source->OpenError())));
    return false;
}

// The checks made on the first composed frame, which comes with the count.
bool CheckShape(const QString& path, const CxImage& first, uint64_t memoryBudget,
                GifImportProbe& probe, QString& error) {
    const QString name = QuotedPath(path);
    probe.frameCount = first.FrameCount();
    probe.width = int32_t(first.Width());
    probe.height = int32_t(first.Height());
    if (!first.IsValid() || probe.width <= 0 || probe.height <= 0) {
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

QString DecodeFailure(const QString& path, const GifDecodeSummary& summary) {
    const QString name = QuotedPath(path);
    switch (summary.error) {
    case GifDecodeError::TooLarge:
        return QStringLiteral("%1 is too large to open: its picture exceeds the size an image "
                              "may have.")
            .arg(name);
    case GifDecodeError::BadData:
        return QStringLiteral("%1 cannot be read: %2.")
            .arg(name, QString::fromStdString(summary.errorText));
    default:
        return QStringLiteral("%1 is not a GIF file, or it is damaged.").arg(name);
    }
}

} // namespace

bool ProbeGifForImport(const QString& path, uint64_t memoryBudget, GifImportProbe& probe,
                       QString& error) {
    std::optional<FileSource> source;
    if (!CheckFile(path, error) || !OpenFile(path, source, error))
        return false;
    // Counts the frames and composes only the first.
    bool fits = false;
    GifDecodeSummary summary;
    const bool decoded = DecodeAllGifFrames(
        *source,
        [&](const CxImage& first, int32_t) {
            fits = CheckShape(path, first, memoryBudget, probe, error);
            return false;
        },
        &summary);
    if (!decoded) {
        probe.frameCount = summary.frameCount;
        error = DecodeFailure(path, summary);
        return false;
    }
    return fits;
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
    std::optional<FileSource> source;
    if (!CheckFile(path_, error_) || !OpenFile(path_, source, error_)) {
        status_ = GifImportStatus::Failed;
        return;
    }
    // One pass: the first frame, which comes with the count, is checked
    // before any other is composed.
    FrameList frames;
    bool failed = false;
    GifDecodeSummary summary;
    CancellableSource file(*source, cancel_);
    const bool decoded = DecodeAllGifFrames(
        file,
        [&](const CxImage& composed, int32_t index) {
            if (index == 0) {
                if (!CheckShape(path_, composed, memoryBudget_, probe_, error_)) {
                    failed = true;
                    return false;
                }
                frames.reserve(std::size_t(probe_.frameCount));
                probed_ = true;
            }
            QString error;
            if (!AppendLoadedFrame(frames, std::make_unique<CxImage>(composed), path_, error)) {
                error_ =
                    QStringLiteral("Cannot open %1 for editing: %2.").arg(QuotedPath(path_), error);
                failed = true;
                return false;
            }
            done_ = int32_t(frames.size());
            return !cancel_;
        },
        &summary);
    if (cancel_) {
        status_ = GifImportStatus::Cancelled;
    } else if (!decoded) {
        error_ = DecodeFailure(path_, summary);
        status_ = GifImportStatus::Failed;
    } else if (failed) {
        status_ = GifImportStatus::Failed;
    } else if (int32_t(frames.size()) != probe_.frameCount) {
        // Every counted frame is delivered unless the thread stopped early.
        status_ = GifImportStatus::Cancelled;
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
