#include "cli/record_command.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>

#include "cli/cli_common.h"
#include "engine/gif_maker.h"

const char* const kRecordUsage =
    "  record --rect X,Y,W,H --seconds S [--fps N] [--scale PERCENT]\n"
    "         [--quality high|medium] OUTPUT.gif\n"
    "      Record the screen rectangle at X,Y of W x H pixels for S seconds\n"
    "      (needs an X display) and build a looping GIF from it.\n"
    "      Defaults: 20 fps, 100 %, high quality.\n";

namespace {

struct RecordOptions {
    CaptureRect rect;
    double seconds = 0;
    GifBuildOptions gif;
    QString output;
};

// X,Y,W,H with a non-empty size that the X protocol can carry.
std::optional<CaptureRect> ParseRect(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4)
        return std::nullopt;
    const auto x = ParseInt(parts[0]), y = ParseInt(parts[1]);
    const auto w = ParseInt(parts[2]), h = ParseInt(parts[3]);
    if (!x || !y || !w || !h || *w < 1 || *h < 1 || *w > 32767 || *h > 32767)
        return std::nullopt;
    const int64_t right = int64_t(*x) + *w, bottom = int64_t(*y) + *h;
    if (right > std::numeric_limits<int32_t>::max() || bottom > std::numeric_limits<int32_t>::max())
        return std::nullopt;
    return CaptureRect{*x, *y, int32_t(right), int32_t(bottom)};
}

// Returns 0 when the arguments are usable, else the exit status.
int ParseArguments(const QStringList& args, RecordOptions& options) {
    QStringList positional;
    bool haveRect = false;
    bool haveSeconds = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        const bool takesValue = arg == QLatin1String("--rect") ||
                                arg == QLatin1String("--seconds") || IsGifBuildOption(arg);
        if (!takesValue) {
            if (arg.startsWith(QLatin1String("--")) && arg.size() > 2) {
                PrintError(QStringLiteral("unknown option '%1'").arg(arg));
                return 2;
            }
            positional << arg;
            continue;
        }
        if (i + 1 >= args.size()) {
            PrintError(QStringLiteral("%1 needs a value").arg(arg));
            return 2;
        }
        const QString value = args[++i];
        if (arg == QLatin1String("--rect")) {
            const auto rect = ParseRect(value);
            if (!rect) {
                PrintError(QStringLiteral("bad --rect '%1': expected X,Y,W,H with W and H "
                                          "from 1 to 32767")
                               .arg(value));
                return 2;
            }
            options.rect = *rect;
            haveRect = true;
        } else if (arg == QLatin1String("--seconds")) {
            bool ok = false;
            const double seconds = value.toDouble(&ok);
            if (!ok || !std::isfinite(seconds) || seconds <= 0 || seconds > 86400) {
                PrintError(QStringLiteral("bad --seconds '%1': expected more than 0, at most "
                                          "86400")
                               .arg(value));
                return 2;
            }
            options.seconds = seconds;
            haveSeconds = true;
        } else if (!ApplyGifBuildOption(arg, value, options.gif)) {
            return 2;
        }
    }
    if (!haveRect || !haveSeconds || positional.size() != 1) {
        PrintError(QStringLiteral("record needs --rect, --seconds and one output file"));
        return 2;
    }
    options.output = positional.front();
    return 0;
}

// Plays the controller's part: starts the recording, stops it when the time
// is up, asks for the GIF when the worker reports the stop, and ends the
// event loop when the GIF is done.
class RecordSession : public QObject {
public:
    RecordSession(CGifMaker& maker, const RecordOptions& options, QString buildPath)
        : maker_(maker), options_(options), buildPath_(std::move(buildPath)) {}

    void Start() {
        const CaptureRect& r = options_.rect;
        maker_.SetCaptureRect(r.left, r.top, r.right, r.bottom);
        maker_.PostToWorker(WM_CAPTURE_START, 0, 1000 / options_.gif.fps);
        stopTimer_.setSingleShot(true);
        stopTimer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&stopTimer_, &QTimer::timeout, this,
                         [this] { maker_.PostToWorker(WM_CAPTURE_STOP); });
        stopTimer_.start(int(std::llround(options_.seconds * 1000.0)));
    }

    int32_t FramesRecorded() const { return framesRecorded_; }
    uint64_t StopReason() const { return stopReason_; }
    bool Done() const { return done_; }
    uint64_t PreparedFrames() const { return preparedFrames_; }
    int64_t GifSize() const { return gifSize_; }

protected:
    bool event(QEvent* e) override {
        const EngineMessage* m = AsEngineMessage(e);
        if (!m)
            return QObject::event(e);
        switch (m->Message()) {
        case WM_FRAME_CAPTURED:
            framesRecorded_ = int32_t(m->LParam());
            break;
        case WM_CAPTURE_STOPPED:
            OnStopped(m->WParam());
            break;
        case WM_GIF_DONE:
            done_ = true;
            preparedFrames_ = m->WParam();
            gifSize_ = m->LParam();
            QCoreApplication::exit(0);
            break;
        default:
            break;
        }
        return true;
    }

private:
    void OnStopped(uint64_t reason) {
        if (building_)
            return;
        building_ = true;
        // The worker stops by itself when the recording reaches its memory
        // budget or the display goes away; the frames so far are built either way.
        stopReason_ = reason;
        stopTimer_.stop();
        std::printf("%d frames recorded\n", framesRecorded_);
        std::fflush(stdout);
        maker_.SetGifParams(options_.gif.fps, float(options_.gif.scalePercent) / 100.0f,
                            QFile::encodeName(buildPath_).toStdString());
        maker_.PostToWorker(WM_MAKE_GIF, 0, options_.gif.highQuality ? 1 : 0);
    }

    CGifMaker& maker_;
    const RecordOptions& options_;
    QString buildPath_;
    QTimer stopTimer_;
    uint64_t stopReason_ = kStopRequested;
    bool building_ = false;
    bool done_ = false;
    int32_t framesRecorded_ = 0;
    uint64_t preparedFrames_ = 0;
    int64_t gifSize_ = 0;
};

int Record(const RecordOptions& options, const CliParts& parts) {
    if (!parts.screen.available()) {
        PrintError(QStringLiteral("cannot open the X display"));
        return 1;
    }
    PartialOutput output(options.output);
    if (!output.Reserve())
        return 1;
    const QString partial = output.PartialPath();
    QFile::remove(partial);

    CGifMaker maker(parts.screen.makeSource, parts.text);
    RecordSession session(maker, options, partial);
    maker.SetNotifyWindow(&session);
    if (!maker.StartWorker()) {
        PrintError(QStringLiteral("cannot start the capture thread"));
        return 1;
    }
    session.Start();
    QCoreApplication::exec();
    maker.StopWorker();

    if (session.StopReason() == kStopMemoryBudget)
        PrintError(QStringLiteral("the recording reached its memory limit and stopped early "
                                  "(FRAMELOOP_MAX_MEMORY_MB sets the limit)"));
    const bool displayLost = session.StopReason() == kStopDisplayLost;
    if (displayLost)
        PrintError(QStringLiteral("the X display went away after %1 frames; the recording "
                                  "stopped there")
                       .arg(session.FramesRecorded()));
    if (!session.Done() || session.PreparedFrames() == 0) {
        PrintError(QStringLiteral("no frames were recorded"));
        return 1;
    }
    if (!output.Commit())
        return 1;
    PrintGifSummary(session.PreparedFrames(), GifWidthOf(session.GifSize()),
                    GifHeightOf(session.GifSize()), options.output);
    // The frames so far are saved, but the recording did not run its course.
    return displayLost ? 1 : 0;
}

} // namespace

int RunRecord(const QStringList& args, const CliParts& parts) {
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        std::printf("Usage: frameloop-cli\n%s", kRecordUsage);
        return 0;
    }
    RecordOptions options;
    if (const int status = ParseArguments(args, options); status != 0) {
        std::fprintf(stderr, "Usage: frameloop-cli\n%s", kRecordUsage);
        return status;
    }
    if (QCoreApplication::instance())
        return Record(options, parts);
    static int argc = 1;
    static char name[] = "frameloop-cli";
    static char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    return Record(options, parts);
}
