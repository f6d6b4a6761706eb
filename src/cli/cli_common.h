#pragma once
// What the GIF-building commands share: error printing, the GIF options, and
// writing the output through a partial file.

#include <QString>

#include <cstdint>
#include <optional>

#include "main/composition_root.h"

// What the entry point hands every command: the parts chosen for this run.
struct CliParts {
    ScreenBackend screen;
    TextRasterizer& text;
};

void PrintError(const QString& text);
std::optional<int> ParseInt(const QString& text);

// --fps, --scale and --quality, with a fresh user's settings as defaults.
struct GifBuildOptions {
    int fps = 20;
    int scalePercent = 100;
    bool highQuality = true;
};

bool IsGifBuildOption(const QString& arg);
// Applies one of the options above; false (after printing why) on a bad value.
bool ApplyGifBuildOption(const QString& arg, const QString& value, GifBuildOptions& options);

// The GIF is built into OUTPUT.part and renamed at the end, so a failed build
// never destroys an existing file of that name. The partial file is removed
// unless Commit succeeds.
class PartialOutput {
public:
    explicit PartialOutput(QString output);
    ~PartialOutput();
    PartialOutput(const PartialOutput&) = delete;
    PartialOutput& operator=(const PartialOutput&) = delete;

    // Checks that the partial file can be written; false (after printing why)
    // when it cannot.
    bool Reserve();
    QString PartialPath() const { return partial_; }
    // Moves a non-empty partial file over the output; false (after printing
    // why) otherwise.
    bool Commit();

private:
    QString output_;
    QString partial_;
    bool committed_ = false;
};

// The closing line: "N frames, W*H, K.KK KB".
void PrintGifSummary(uint64_t frames, int32_t width, int32_t height, const QString& output);
