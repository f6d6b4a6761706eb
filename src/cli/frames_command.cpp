#include "cli/frames_command.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
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
            CxImage frame(composed);
            if (!frame.IncreaseBpp(24)) {
                failure =
                    "cannot convert frame " + std::to_string(index + 1) + ": " + frame.LastError();
                return false;
            }
            const std::string path = FramePath(options, index);
            if (!SaveFrameToFile(frame, path, options.format)) {
                failure = "cannot write " + Quoted(path);
                return false;
            }
            ++written;
            return true;
        },
        &summary);

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
