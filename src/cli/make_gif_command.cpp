#include "cli/make_gif_command.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>

#include <cmath>
#include <cstdio>
#include <optional>
#include <unistd.h>

#include "cli/cli_common.h"
#include "cli/subtitle_option.h"
#include "files/frame_inputs.h"
#include "gif/animated_gif.h"
#include "gif/frame_preparation.h"
#include "image/text_rasterizer.h"

const char* const kMakeGifUsage =
    "  make-gif [--fps N] [--scale PERCENT] [--quality high|medium]\n"
    "           [--subtitle FIRST:LAST:X:Y:TEXT]... INPUT... OUTPUT.gif\n"
    "      Build a looping GIF from image files, folders of images (taken in\n"
    "      name order) and GIFs. Defaults: 20 fps, 100 %, high quality.\n"
    "      A subtitle shows TEXT on frames FIRST..LAST (1-based), its box's\n"
    "      bottom-left corner at X,Y, in yellow Verdana 14 bold with a black\n"
    "      outline.\n";

namespace {

struct MakeGifOptions {
    GifBuildOptions gif;
    SubtitleList subtitles;
    QStringList inputs;
    QString output;
};

int32_t ScreenPixelsPerInch() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? int32_t(std::lround(screen->logicalDotsPerInchY())) : 96;
}

// Returns 0 on success, else the exit status (usage errors print the usage).
int ParseArguments(const QStringList& args, MakeGifOptions& options) {
    QString error;
    QStringList positional;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (IsGifBuildOption(arg) || arg == QLatin1String("--subtitle")) {
            if (!hasValue) {
                PrintError(QStringLiteral("%1 needs a value").arg(arg));
                return 2;
            }
            const QString value = args[++i];
            if (IsGifBuildOption(arg)) {
                if (!ApplyGifBuildOption(arg, value, options.gif))
                    return 2;
                continue;
            }
            auto item = ParseSubtitleOption(value, ScreenPixelsPerInch(), error);
            if (!item) {
                PrintError(error);
                return 2;
            }
            options.subtitles.push_back(std::move(item));
        } else if (arg.startsWith(QLatin1String("--")) && arg.size() > 2) {
            PrintError(QStringLiteral("unknown option '%1'").arg(arg));
            return 2;
        } else {
            positional << arg;
        }
    }
    if (positional.size() < 2) {
        PrintError(QStringLiteral("make-gif needs at least one input and the output file"));
        return 2;
    }
    options.output = positional.takeLast();
    options.inputs = positional;
    return 0;
}

// Qt wants a private runtime folder and complains on stderr without one.
void UsePrivateRuntimeDir() {
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return;
    const QString dir = QDir::tempPath() + QStringLiteral("/frameloop-runtime-%1").arg(getuid());
    if (QDir().mkpath(dir) &&
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir));
}

// Percent on one terminal line, only when someone watches.
class TerminalProgress {
public:
    TerminalProgress() : enabled_(isatty(STDERR_FILENO) == 1) {}
    ~TerminalProgress() {
        if (enabled_ && last_ >= 0)
            std::fputc('\n', stderr);
    }
    void operator()(int percent) {
        if (!enabled_ || percent == last_)
            return;
        last_ = percent;
        std::fprintf(stderr, "\rBuilding GIF: %3d%%", percent);
        std::fflush(stderr);
    }

private:
    bool enabled_;
    int last_ = -1;
};

} // namespace

namespace {

int BuildGif(MakeGifOptions& options, TextRasterizer& text);

} // namespace

int RunMakeGif(const QStringList& args, TextRasterizer& text) {
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        std::printf("Usage: frameloop-cli\n%s", kMakeGifUsage);
        return 0;
    }
    // Text is drawn with Qt's fonts, which need a GUI application; no window is
    // ever shown, so the offscreen platform serves on any machine.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    UsePrivateRuntimeDir();
    static int argc = 1;
    static char name[] = "frameloop-cli";
    static char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);

    MakeGifOptions options;
    if (const int status = ParseArguments(args, options); status != 0) {
        std::fprintf(stderr, "Usage: frameloop-cli\n%s", kMakeGifUsage);
        return status;
    }
    return BuildGif(options, text);
}

namespace {

int BuildGif(MakeGifOptions& options, TextRasterizer& text) {
    FrameList frames;
    QString error;
    if (!LoadFrameInputs(options.inputs, frames, error)) {
        PrintError(error);
        return 1;
    }

    const CxImage& first = *frames.front();
    const CaptureRect rect{0, 0, int32_t(first.Width()), int32_t(first.Height())};
    const float scale = float(options.gif.scalePercent) / 100.0f;
    const int32_t width = ScaledLength(rect.Width(), scale);
    const int32_t height = ScaledLength(rect.Height(), scale);

    TerminalProgress terminal;
    const ProgressSink progress = [&terminal](int percent) { terminal(percent); };
    FrameList prepared;
    PrepareFrames(frames, rect, scale, options.subtitles, text, prepared, progress);
    frames.clear(); // the originals are no longer needed; halves the peak memory
    if (prepared.empty()) {
        PrintError(QStringLiteral("no frames to build"));
        return 1;
    }
    const std::size_t preparedCount = prepared.size();
    PartialOutput output(options.output);
    if (!output.Reserve())
        return 1;
    if (!WriteAnimatedGif(QFile::encodeName(output.PartialPath()).toStdString(), prepared,
                          uint32_t(options.gif.fps), options.gif.highQuality, progress)) {
        // Most likely the disk filled up; the old file, if any, is untouched.
        PrintError(QStringLiteral("cannot write '%1': writing the GIF failed (is the disk full?)")
                       .arg(options.output));
        return 1;
    }
    if (!output.Commit())
        return 1;
    PrintGifSummary(preparedCount, width, height, options.output);
    return 0;
}

} // namespace
