#include "files/gif_frames.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include "files/frame_append.h"
#include "image/byte_source.h"
#include "image/gif_decoder.h"

namespace {

QString CannotOpen(const QString& path, int error) {
    return QStringLiteral("cannot open %1: %2")
        .arg(QuotedPath(path), QString::fromLocal8Bit(std::strerror(error)));
}

} // namespace

GifLoadResult LoadGifFrames(const QString& path, FrameList& frames, QString& error,
                            const GifLoadProgress& progress) {
    // A folder opens as a file on Linux and would only read as "not a GIF".
    if (QFileInfo(path).isDir()) {
        error = CannotOpen(path, EISDIR);
        return GifLoadResult::Failed;
    }
    FileSource source(QFile::encodeName(path).toStdString());
    if (!source.IsOpen()) {
        error = CannotOpen(path, source.OpenError());
        return GifLoadResult::Failed;
    }

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
    if (!decoded) {
        const bool notGif =
            summary.error == GifDecodeError::NotGif || summary.error == GifDecodeError::NoFrames;
        error = notGif ? QStringLiteral("%1 is not a GIF file").arg(QuotedPath(path))
                       : QStringLiteral("cannot read %1: %2")
                             .arg(QuotedPath(path), QString::fromStdString(summary.errorText));
        return GifLoadResult::Failed;
    }
    if (failed)
        return GifLoadResult::Failed;
    return stopped ? GifLoadResult::Stopped : GifLoadResult::Loaded;
}
