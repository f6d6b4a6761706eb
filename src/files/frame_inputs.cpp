#include "files/frame_inputs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

#include "files/frame_append.h"
#include "files/gif_frames.h"

namespace {

bool HasGifSignature(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(4) == "GIF8";
}

bool IsImageName(const QString& name) {
    const QByteArray suffix = QFileInfo(name).suffix().toLower().toLatin1();
    return !suffix.isEmpty() && QImageReader::supportedImageFormats().contains(suffix);
}

bool AddImage(const QString& path, FrameList& frames, QString& error) {
    QImageReader reader(path);
    const QImage image = reader.read();
    if (image.isNull()) {
        error = QStringLiteral("cannot read %1: %2").arg(QuotedPath(path), reader.errorString());
        return false;
    }
    return AppendLoadedFrame(frames, FrameFromQImage(image), path, error);
}

bool AddFile(const QString& path, FrameList& frames, QString& error) {
    if (HasGifSignature(path))
        return LoadGifFrames(path, frames, error) == GifLoadResult::Loaded;
    return AddImage(path, frames, error);
}

bool AddFolder(const QString& path, FrameList& frames, QString& error) {
    const QDir dir(path);
    const QStringList names = dir.entryList(QDir::Files | QDir::Readable, QDir::Name);
    bool any = false;
    for (const QString& name : names) {
        if (!IsImageName(name))
            continue;
        any = true;
        if (!AddFile(dir.filePath(name), frames, error))
            return false;
    }
    if (!any)
        error = QStringLiteral("%1 holds no images").arg(QuotedPath(path));
    return any;
}

} // namespace

std::unique_ptr<CxImage> FrameFromQImage(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    auto frame = std::make_unique<CxImage>();
    if (!frame->Create(uint32_t(rgb.width()), uint32_t(rgb.height()), 24))
        return frame;
    const uint32_t height = frame->Height();
    for (uint32_t row = 0; row < height; ++row) {
        const uchar* src = rgb.constScanLine(int(row));
        uint8_t* dst = frame->Row(height - 1 - row); // memory rows run bottom-up
        for (uint32_t x = 0; x < frame->Width(); ++x, src += 3, dst += 3) {
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
        }
    }
    return frame;
}

bool LoadFrameInputs(const QStringList& inputs, FrameList& frames, QString& error) {
    for (const QString& input : inputs) {
        const QFileInfo info(input);
        if (!info.exists()) {
            error =
                QStringLiteral("cannot open %1: No such file or directory").arg(QuotedPath(input));
            return false;
        }
        const bool ok =
            info.isDir() ? AddFolder(input, frames, error) : AddFile(input, frames, error);
        if (!ok)
            return false;
    }
    return true;
}
