#include "cli/cli_common.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>

void PrintError(const QString& text) {
    std::fprintf(stderr, "frameloop-cli: %s\n", text.toLocal8Bit().constData());
}

std::optional<int> ParseInt(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

bool IsGifBuildOption(const QString& arg) {
    return arg == QLatin1String("--fps") || arg == QLatin1String("--scale") ||
           arg == QLatin1String("--quality");
}

namespace {

bool ApplyRange(const QString& arg, const QString& value, int low, int high, int& target) {
    const auto number = ParseInt(value);
    if (!number || *number < low || *number > high) {
        PrintError(
            QStringLiteral("bad %1 '%2': expected %3 to %4").arg(arg, value).arg(low).arg(high));
        return false;
    }
    target = *number;
    return true;
}

} // namespace

bool ApplyGifBuildOption(const QString& arg, const QString& value, GifBuildOptions& options) {
    // Above 100 fps the frame delay of 100 / fps hundredths would be 0.
    if (arg == QLatin1String("--fps"))
        return ApplyRange(arg, value, 1, 100, options.fps);
    if (arg == QLatin1String("--scale"))
        return ApplyRange(arg, value, 10, 100, options.scalePercent);
    if (value != QLatin1String("high") && value != QLatin1String("medium")) {
        PrintError(QStringLiteral("bad %1 '%2': expected high or medium").arg(arg, value));
        return false;
    }
    options.highQuality = value == QLatin1String("high");
    return true;
}

PartialOutput::PartialOutput(QString output)
    : output_(std::move(output)), partial_(output_ + QStringLiteral(".part")) {}

PartialOutput::~PartialOutput() {
    if (!committed_)
        QFile::remove(partial_);
}

bool PartialOutput::Reserve() {
    QFile probe(partial_);
    if (!probe.open(QIODevice::WriteOnly)) {
        PrintError(QStringLiteral("cannot write '%1': %2").arg(output_, probe.errorString()));
        return false;
    }
    return true;
}

bool PartialOutput::Commit() {
    if (QFileInfo(partial_).size() > 0 &&
        std::rename(QFile::encodeName(partial_).constData(),
                    QFile::encodeName(output_).constData()) == 0) {
        committed_ = true;
        return true;
    }
    PrintError(QStringLiteral("cannot write '%1'").arg(output_));
    return false;
}

void PrintGifSummary(uint64_t frames, int32_t width, int32_t height, const QString& output) {
    std::printf("%llu frames, %d*%d, %.2f KB\n", static_cast<unsigned long long>(frames), width,
                height, double(QFileInfo(output).size()) / 1024.0);
}
