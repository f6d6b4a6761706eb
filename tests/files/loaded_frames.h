#pragma once
// What the files layer's tests compare: frames as R, G, B bytes, top row
// first, and the same from ImageMagick for the files it reads.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "image/cximage.h"
#include "test_files.h"

namespace files_test {

inline QByteArray RgbBytes(const CxImage& frame) {
    QByteArray out;
    out.reserve(qsizetype(frame.Width()) * frame.Height() * 3);
    for (uint32_t row = 0; row < frame.Height(); ++row) {
        for (uint32_t x = 0; x < frame.Width(); ++x) {
            const RgbQuad c = frame.ColorAt(x, frame.Height() - 1 - row);
            out.append(char(c.rgbRed)).append(char(c.rgbGreen)).append(char(c.rgbBlue));
        }
    }
    return out;
}

// ImageMagick's reading of `path`, one R, G, B block per frame (a GIF's frames
// coalesced, as a viewer shows them).
inline std::vector<QByteArray> ImageMagickFrames(const QString& path, int width, int height) {
    const auto r =
        testing_support::RunProgram("convert", {path, "-coalesce", "-depth", "8", "rgb:-"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const qsizetype frameBytes = qsizetype(width) * height * 3;
    std::vector<QByteArray> frames;
    if (frameBytes == 0)
        return frames;
    EXPECT_EQ(r.out.size() % frameBytes, 0) << path.toStdString();
    for (qsizetype at = 0; at + frameBytes <= r.out.size(); at += frameBytes)
        frames.push_back(r.out.mid(at, frameBytes));
    return frames;
}

// Runs a tool that makes a test input; false (with its words) when it fails.
inline ::testing::AssertionResult Made(const QString& program, const QStringList& args) {
    const auto r = testing_support::RunProgram(program, args);
    if (r.exitCode == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << program.toStdString() << ": " << r.err.toStdString();
}

} // namespace files_test
