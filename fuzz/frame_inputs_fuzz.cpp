// Loads arbitrary bytes as one make-gif input through the same loaders the
// command uses. The first byte picks the file name's extension (PNG, JPEG,
// BMP or GIF), the rest is the file; GIFs are recognised by their first
// bytes, other pictures go to Qt's readers, whose name-based guess the
// extension steers.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>

#include "files/frame_inputs.h"
#include "image/frame_list.h"
#include "touch_pixels.h"

namespace {

constexpr std::array<const char*, 4> kNames = {"input.png", "input.jpg", "input.bmp", "input.gif"};

std::unique_ptr<QTemporaryDir> g_dir;
void WriteFile(const QString& path, std::span<const uint8_t> data) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char*>(data.data()), qint64(data.size())) !=
            qint64(data.size()))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // The command runs with a QGuiApplication; no display is needed to read
    // pictures.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Lives until the end of the process: as a function's static it is
    // destroyed before the Qt globals its constructor set up, which a
    // namespace-level object would outlive.
    static QGuiApplication app(*argc, *argv);
    g_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/frameloop-fuzz-XXXXXX");
    if (!g_dir->isValid())
        std::abort();
    // Qt loads its image plugins and fills its caches on first use; doing
    // that here keeps those one-time allocations out of the leak checks.
    const QImage probe(2, 2, QImage::Format_RGB32);
    for (const char* name : kNames) {
        const QString path = g_dir->filePath(QString::fromLatin1(name));
        probe.save(path);
        FrameList frames;
        QString error;
        LoadFrameInputs({path}, frames, error);
        QFile::remove(path);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, std::size_t size) {
    if (size == 0)
        return 0;
    const std::span<const uint8_t> data(bytes, size);
    const QString path = g_dir->filePath(QString::fromLatin1(kNames[data[0] % kNames.size()]));
    WriteFile(path, data.subspan(1));

    FrameList frames;
    QString error;
    const bool ok = LoadFrameInputs({path}, frames, error);
    // Success gives frames; a failure always says why in one line.
    if (ok && frames.empty())
        std::abort();
    if (!ok && (error.isEmpty() || error.contains(QLatin1Char('\n'))))
        std::abort();
    for (const auto& frame : frames)
        TouchPixels(*frame);
    QFile::remove(path);
    return 0;
}
