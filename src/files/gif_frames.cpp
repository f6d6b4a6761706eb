#include "files/gif_frames.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <span>

#include "files/frame_append.h"
#include "image/byte_source.h"
#include "image/gif_decoder.h"

namespace {

QString CannotOpen(const QString& path, int error) {
    return QStringLiteral("cannot open %1: %2")
        .arg(QuotedPath(path), QString::fromLocal8Bit(std::strerror(error)));
}

// The file as a cancellable load reads it: ended once the flag is set.
class CancellableSource final : public ByteSource {
public:
    CancellableSource(ByteSource& file, const std::atomic<bool>* cancel)
        : file_(file), cancel_(cancel) {}
    std::size_t Read(std::span<uint8_t> buffer) override {
        return cancel_ && *cancel_ ? 0 : file_.Read(buffer);
    }
    bool Seek(int64_t position) override { return file_.Seek(position); }
    int64_t Tell() const override { return file_.Tell(); }

private:
    ByteSource& file_;
    const std::atomic<bool>* cancel_;
};

QString DecodeFailure(const QString& path, const GifDecodeSummary& summary) {
    switch (summary.error) {
    case GifDecodeError::NotGif:
    case GifDecodeError::NoFrames:
        return QStringLiteral("%1 is not a GIF file").arg(QuotedPath(path));
    case GifDecodeError::TooLarge:
        return QStringLiteral("%1 is too large: its picture exceeds the size an image may have")
            .arg(QuotedPath(path));
    default:
        return QStringLiteral("cannot read %1: %2")
            .arg(QuotedPath(path), QString::fromStdString(summary.errorText));
    }
}

} // namespace

GifLoadResult LoadGifFrames(const QString& path, FrameList& frames, QString& error,
                            const GifLoadProgress& progress, const std::atomic<bool>* cancel) {
    // A folder opens as a file on Linux and would only read as "not a GIF".
    if (QFileInfo(path).isDir()) {
        error = CannotOpen(path, EISDIR);
        return GifLoadResult::Failed;
    }
    FileSource file(QFile::encodeName(path).toStdString());
    if (!file.IsOpen()) {
        error = CannotOpen(path, file.OpenError());
        return GifLoadResult::Failed;
    }
    CancellableSource source(file, cancel);

    bool failed = false;
    bool stopped = false;
    int32_t loaded = 0;
    GifDecodeSummary summary;
    const bool decoded = DecodeAllGifFrames(
        source,
        [&](const CxImage& composed, int32_t index) {
            // A file whose data breaks off before its first picture still
            // counts its frames; they have nothing to show.
            if (!composed.IsValid()) {
                error = QStringLiteral("frame %1 of %2 holds no picture")
                            .arg(index + 1)
                            .arg(QuotedPath(path));
                failed = true;
                return false;
            }
            // The decoder composes in 24 bits already; the list keeps a copy
            // because the composite goes on changing.
            auto frame = std::make_unique<CxImage>(composed);
            if (!frame->IsValid()) {
                error = QStringLiteral("cannot read %1: %2")
                            .arg(QuotedPath(path), QString::fromLatin1(frame->LastError()));
                failed = true;
                return false;
            }
            if (!AppendLoadedFrame(frames, std::move(frame), path, error)) {
                failed = true;
                return false;
            }
            ++loaded;
            if (progress && !progress(loaded, composed.FrameCount())) {
                stopped = true;
                return false;
            }
            return true;
        },
        &summary);
    if (cancel && *cancel)
        return GifLoadResult::Stopped;
    if (!decoded) {
        error = DecodeFailure(path, summary);
        return GifLoadResult::Failed;
    }
    if (failed)
        return GifLoadResult::Failed;
    return stopped ? GifLoadResult::Stopped : GifLoadResult::Loaded;
}
