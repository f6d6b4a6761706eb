#include "cli/frames_command.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "image/byte_source.h"
#include "image/cximage.h"
#include "image/frame_writers.h"
#include "image/gif_decoder.h"

const char* const kFramesUsage =
    "  frames INPUT.gif OUTDIR [--format png|bmp|jpg]\n"
    "      Write every frame of a GIF, composed as the import sees it, to\n"
    "      OUTDIR/frame-0001.png, ... as 24-bit pictures (OUTDIR is created\n"
    "      when missing) and print the number of frames.\n";

namespace {

struct FramesOptions {
    std::string input;
    std::string outputDir;
    std::string extension = "png";
    uint32_t format = CXIMAGE_FORMAT_PNG;
};

void PrintError(const std::string& text) {
    std::fprintf(stderr, "frameloop-cli: %s\n", text.c_str());
}

int UsageError(const std::string& text) {
    PrintError(text);
    std::fprintf(stderr, "Usage: frameloop-cli\n%s", kFramesUsage);
    return 2;
}

std::string Quoted(const std::string& path) {
    return "'" + path + "'";
}

std::optional<uint32_t> FormatFor(std::string_view name) {
    if (name == "png")
        return CXIMAGE_FORMAT_PNG;
    if (name == "bmp")
        return CXIMAGE_FORMAT_BMP;
    if (name == "jpg")
        return CXIMAGE_FORMAT_JPG;
    return std::nullopt;
}

// Returns 0 when `options` is complete, else the exit status to end with.
int ParseArguments(std::span<char* const> args, FramesOptions& options) {
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        std::optional<std::string_view> format;
        if (arg == "--format") {
            if (i + 1 == args.size())
                return UsageError("--format needs a value");
            format = args[++i];
        } else if (arg.starts_with("--format=")) {
            format = arg.substr(std::strlen("--format="));
        } else if (arg.starts_with("-") && arg.size() > 1) {
            return UsageError("unknown option '" + std::string(arg) + "'");
        } else {
            positional.emplace_back(arg);
            continue;
        }
        const auto code = FormatFor(*format);
        if (!code)
            return UsageError("unknown format '" + std::string(*format) +
                              "' (choose png, bmp or jpg)");
        options.format = *code;
        options.extension = std::string(*format);
    }
    if (positional.size() < 2)
        return UsageError(positional.empty() ? "missing INPUT.gif and OUTDIR" : "missing OUTDIR");
    if (positional.size() > 2)
        return UsageError("unexpected argument '" + positional[2] + "'");
    options.input = positional[0];
    options.outputDir = positional[1];
    return 0;
}

std::string FramePath(const FramesOptions& options, int32_t index) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%04d.", index + 1);
    return (std::filesystem::path(options.outputDir) / (name + options.extension)).string();
}

bool MakeOutputDir(const std::string& dir) {
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error || !std::filesystem::is_directory(dir, error)) {
        PrintError("cannot create folder " + Quoted(dir) + ": " +
                   (error ? error.message() : std::string("Not a directory")));
        return false;
    }
    return true;
}

// Encoding a picture (zlib, for PNG) costs more than composing the next GIF
// frame, so pictures are written on worker threads while decoding goes on.
// The queue is short, so only a few frames are held at a time.
class PictureWriters {
public:
    explicit PictureWriters(uint32_t format) : format_(format) {
        const unsigned count = std::max(1u, std::thread::hardware_concurrency());
        for (unsigned i = 0; i < count; ++i)
            threads_.emplace_back([this] { Work(); });
        capacity_ = 2 * count;
    }
    ~PictureWriters() { Finish(); }
    PictureWriters(const PictureWriters&) = delete;
    PictureWriters& operator=(const PictureWriters&) = delete;

    void Submit(std::unique_ptr<CxImage> frame, std::string path, int32_t index) {
        std::unique_lock lock(mutex_);
        space_.wait(lock, [this] { return jobs_.size() < capacity_; });
        jobs_.push_back(Job{std::move(frame), std::move(path), index});
        work_.notify_one();
    }

    bool Failed() const {
        std::lock_guard lock(mutex_);
        return !failure_.empty();
    }

    // Waits for every picture; returns the failure of the earliest frame, or "".
    std::string Finish() {
        {
            std::lock_guard lock(mutex_);
            closing_ = true;
        }
        work_.notify_all();
        threads_.clear(); // joins
        return failure_;
    }

private:
    struct Job {
        std::unique_ptr<CxImage> frame;
        std::string path;
        int32_t index = 0;
    };

    void Work() {
        for (;;) {
            Job job;
            {
                std::unique_lock lock(mutex_);
                work_.wait(lock, [this] { return closing_ || !jobs_.empty(); });
                if (jobs_.empty())
                    return;
                job = std::move(jobs_.front());
                jobs_.pop_front();
            }
            space_.notify_one();
            if (!SaveFrameToFile(*job.frame, job.path, format_)) {
                std::lock_guard lock(mutex_);
                if (job.index < failedIndex_) {
                    failedIndex_ = job.index;
                    failure_ = "cannot write " + Quoted(job.path);
                }
            }
        }
    }

    const uint32_t format_;
    mutable std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable space_;
    std::deque<Job> jobs_;
    std::size_t capacity_ = 2;
    bool closing_ = false;
    int32_t failedIndex_ = std::numeric_limits<int32_t>::max();
    std::string failure_;
    std::vector<std::jthread> threads_;
};

int WriteFrames(const FramesOptions& options) {
    std::error_code error;
    if (std::filesystem::is_directory(options.input, error)) {
        PrintError("cannot open " + Quoted(options.input) + ": " + std::strerror(EISDIR));
        return 1;
    }
    FileSource source(options.input);
    if (!source.IsOpen()) {
        PrintError("cannot open " + Quoted(options.input) + ": " +
                   std::strerror(source.OpenError()));
        return 1;
    }

    // The folder is made at the first frame, so a file that is not a GIF
    // leaves nothing behind.
    bool dirReady = false;
    std::string failure;
    int32_t written = 0;
    GifDecodeSummary summary;
    PictureWriters writers(options.format);
    const bool decoded = DecodeAllGifFrames(
        source,
        [&](const CxImage& composed, int32_t index) {
            if (!dirReady && !(dirReady = MakeOutputDir(options.outputDir)))
                return false;
            if (!composed.IsValid()) {
                failure = "frame " + std::to_string(index + 1) + " of " + Quoted(options.input) +
                          " holds no picture";
                return false;
            }
            // Frames come composed in 24 bits; the writers need their own
            // copy because the composite goes on changing.
            auto frame = std::make_unique<CxImage>(composed);
            if (!frame->IsValid()) {
                failure =
                    "cannot copy frame " + std::to_string(index + 1) + ": " + frame->LastError();
                return false;
            }
            writers.Submit(std::move(frame), FramePath(options, index), index);
            ++written;
            return !writers.Failed();
        },
        &summary);
    if (std::string writeFailure = writers.Finish(); failure.empty())
        failure = std::move(writeFailure);

    if (!decoded) {
        switch (summary.error) {
        case GifDecodeError::NotGif:
            PrintError(Quoted(options.input) + " is not a GIF file");
            break;
        case GifDecodeError::NoFrames:
            PrintError(Quoted(options.input) + " holds no image");
            break;
        default:
            PrintError("cannot decode " + Quoted(options.input) + ": " + summary.errorText);
            break;
        }
        return 1;
    }
    if (!dirReady)
        return 1; // the reason is already printed
    if (!failure.empty()) {
        PrintError(failure);
        return 1;
    }
    std::printf("%d frames\n", written);
    return 0;
}

} // namespace

int RunFrames(std::span<char* const> args) {
    for (const char* arg : args) {
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            std::printf("Usage: frameloop-cli\n%s", kFramesUsage);
            return 0;
        }
    }
    FramesOptions options;
    if (const int status = ParseArguments(args, options); status != 0)
        return status;
    return WriteFrames(options);
}
