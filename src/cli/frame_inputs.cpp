#include "cli/frame_inputs.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

#include <cstring>

#include "image/byte_source.h"
#include "image/gif_decoder.h"

namespace {

QString Quoted(const QString& path) {
    return QLatin1Char('\'') + path + QLatin1Char('\'');
}

bool HasGifSignature(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(4) == "GIF8";
}

bool IsImageName(const QString& name) {
    const QByteArray suffix = QFileInfo(name).suffix().toLower().toLatin1();
    return !suffix.isEmpty() && QImageReader::supportedImageFormats().contains(suffix);
}

class FrameCollector {
public:
    FrameCollector(FrameList& frames, QString& error) : frames_(frames), error_(error) {}

    bool Add(std::unique_ptr<CxImage> frame, const QString& source) {
        if (!frame || !frame->IsValid()) {
            error_ = QStringLiteral("cannot read %1: %2")
                         .arg(Quoted(source), frame ? QString::fromLatin1(frame->LastError())
                                                    : QStringLiteral("out of memory"));
            return false;
        }
        if (!frames_.empty()) {
            const CxImage& first = *frames_.front();
            if (frame->Width() != first.Width() || frame->Height() != first.Height()) {
                error_ = QStringLiteral("%1 is %2*%3, but the first frame is %4*%5")
                             .arg(Quoted(source))
                             .arg(frame->Width())
                             .arg(frame->Height())
                             .arg(first.Width())
                             .arg(first.Height());
                return false;
            }
        }
        frame->SetUserFlags(1);
        frames_.push_back(std::move(frame));
        return true;
    }

    bool AddGif(const QString& path) {
        FileSource source(QFile::encodeName(path).toStdString());
        if (!source.IsOpen()) {
            error_ =
                QStringLiteral("cannot open %1: %2")
                    .arg(Quoted(path), QString::fromLocal8Bit(std::strerror(source.OpenError())));
            return false;
        }
        bool ok = true;
        GifDecodeSummary summary;
        const bool decoded = DecodeAllGifFrames(
            source,
            [&](const CxImage& composed, int32_t) {
                auto frame = std::make_unique<CxImage>(composed);
                ok = frame->IncreaseBpp(24) && Add(std::move(frame), path);
                return ok;
            },
            &summary);
        if (!decoded && ok)
            error_ = QStringLiteral("%1 is not a GIF file").arg(Quoted(path));
        return decoded && ok;
    }

    bool AddImage(const QString& path) {
        QImageReader reader(path);
        const QImage image = reader.read();
        if (image.isNull()) {
            error_ = QStringLiteral("cannot read %1: %2").arg(Quoted(path), reader.errorString());
            return false;
        }
        return Add(FrameFromQImage(image), path);
    }

    bool AddFile(const QString& path) {
        return HasGifSignature(path) ? AddGif(path) : AddImage(path);
    }

    bool AddFolder(const QString& path) {
        const QDir dir(path);
        const QStringList names = dir.entryList(QDir::Files | QDir::Readable, QDir::Name);
        bool any = false;
        for (const QString& name : names) {
            if (!IsImageName(name))
                continue;
            any = true;
            if (!AddFile(dir.filePath(name)))
                return false;
        }
        if (!any)
            error_ = QStringLiteral("%1 holds no images").arg(Quoted(path));
        return any;
    }

private:
    FrameList& frames_;
    QString& error_;
};

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
    FrameCollector collector(frames, error);
    for (const QString& input : inputs) {
        const QFileInfo info(input);
        if (!info.exists()) {
            error = QStringLiteral("cannot open %1: No such file or directory").arg(Quoted(input));
            return false;
        }
        const bool ok = info.isDir() ? collector.AddFolder(input) : collector.AddFile(input);
        if (!ok)
            return false;
    }
    return true;
}
