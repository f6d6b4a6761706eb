// Loading every composed frame of a GIF into a recording: pixels equal to
// ImageMagick's coalesced frames on files other tools wrote, the size rule,
// the progress callback, and the reasons given for files it cannot use.
#include "files/gif_frames.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "../image/gif_builder.h"
#include "loaded_frames.h"
#include "test_files.h"

using files_test::ImageMagickFrames;
using files_test::Made;
using files_test::RgbBytes;

namespace {

// Where one image of a GIF lies in the file.
struct ImageBlock {
    qsizetype start = 0;     // the image separator
    qsizetype dataStart = 0; // the minimum code size byte
    qsizetype dataEnd = 0;   // after the block terminator
    int left = 0, top = 0, width = 0, height = 0;
};

// The images of a well-formed GIF, found by walking its blocks.
std::vector<ImageBlock> ImageBlocks(const QByteArray& gif) {
    const auto byte = [&](qsizetype i) { return i < gif.size() ? uint8_t(gif[i]) : uint8_t(0); };
    const auto le16 = [&](qsizetype i) { return int(byte(i) | byte(i + 1) << 8); };
    const auto skipSubBlocks = [&](qsizetype& at) {
        while (at < gif.size() && byte(at) != 0)
            at += byte(at) + 1;
        ++at;
    };
    std::vector<ImageBlock> images;
    qsizetype at = 13;
    if (byte(10) & 0x80)
        at += 3 * (2 << (byte(10) & 7));
    while (at < gif.size()) {
        if (byte(at) == 0x21) {
            at += 2;
            skipSubBlocks(at);
        } else if (byte(at) == 0x2C) {
            ImageBlock image{at, 0, 0, le16(at + 1), le16(at + 3), le16(at + 5), le16(at + 7)};
            const uint8_t flags = byte(at + 9);
            at += 10;
            if (flags & 0x80)
                at += 3 * (2 << (flags & 7));
            image.dataStart = at++;
            skipSubBlocks(at);
            image.dataEnd = at;
            images.push_back(image);
        } else {
            break; // the trailer
        }
    }
    return images;
}

class GifFramesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        for (const char* tool : {"convert", "ffmpeg"})
            ASSERT_TRUE(testing_support::HaveProgram(tool))
                << tool << " is needed (scripts/test installs it)";
    }

    QString Path(const QString& name) const { return dir_.filePath(name); }

    // Three 48x32 full-screen frames written by ImageMagick.
    QString MovingShapes() {
        const QString gif = Path("moving.gif");
        QStringList args = testing_support::MovingShapesArgs();
        args << "-dispose"
             << "none" << gif;
        EXPECT_TRUE(Made("convert", args));
        return gif;
    }

    void ExpectFramesLikeImageMagick(const QString& gif, const FrameList& frames) {
        ASSERT_FALSE(frames.empty());
        const int width = int(frames[0]->Width()), height = int(frames[0]->Height());
        const auto expected = ImageMagickFrames(gif, width, height);
        ASSERT_EQ(frames.size(), expected.size());
        for (std::size_t i = 0; i < frames.size(); ++i) {
            EXPECT_EQ(frames[i]->BitsPerPixel(), 24u) << "frame " << i;
            EXPECT_EQ(frames[i]->UserFlags(), 1u) << "frame " << i << " is not kept";
            EXPECT_TRUE(RgbBytes(*frames[i]) == expected[i]) << "frame " << i;
        }
    }

    QTemporaryDir dir_;
};

TEST_F(GifFramesTest, FramesOfAnImageMagickGifAreItsCoalescedFrames) {
    const QString gif = MovingShapes();
    FrameList frames;
    QString error;
    ASSERT_EQ(LoadGifFrames(gif, frames, error), GifLoadResult::Loaded) << error.toStdString();
    EXPECT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0]->Width(), 48u);
    EXPECT_EQ(frames[0]->Height(), 32u);
    ExpectFramesLikeImageMagick(gif, frames);
}

TEST_F(GifFramesTest, FfmpegsTransparentCroppedFramesComeOutWhole) {
    const QString gif = Path("ffmpeg.gif");
    ASSERT_TRUE(Made("ffmpeg", {"-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                "testsrc=size=64x48:rate=10", "-t", "0.5", gif}));
    FrameList frames;
    QString error;
    ASSERT_EQ(LoadGifFrames(gif, frames, error), GifLoadResult::Loaded) << error.toStdString();
    EXPECT_EQ(frames.size(), 5u);
    ExpectFramesLikeImageMagick(gif, frames);
}

// Transparent images over earlier ones drawn through other local tables, and
// ffmpeg's rectangle diff mode: the earlier pixels keep their own colours.
TEST_F(GifFramesTest, OptimisedFramesWithLocalTablesComeOutWhole) {
    const QString pattern = "testsrc=size=64x48:rate=10:duration=0.6";
    const QString rect = Path("rect.gif");
    ASSERT_TRUE(Made("ffmpeg",
                     {"-loglevel", "error", "-y", "-f", "lavfi", "-i", pattern, "-vf",
                      "split[a][b];[a]palettegen[p];[b][p]paletteuse=diff_mode=rectangle", rect}));
    const QString optimised = Path("optimised.gif");
    ASSERT_TRUE(Made("ffmpeg", {"-loglevel", "error", "-y", "-f", "lavfi", "-i", pattern,
                                Path("pattern-%02d.png")}));
    QStringList args;
    for (int i = 1; i <= 6; ++i)
        args << Path(QString("pattern-%1.png").arg(i, 2, 10, QChar('0')));
    ASSERT_TRUE(Made("convert", args << "-layers"
                                     << "OptimizeTransparency" << optimised));
    for (const QString& gif : {rect, optimised}) {
        FrameList frames;
        QString error;
        ASSERT_EQ(LoadGifFrames(gif, frames, error), GifLoadResult::Loaded) << error.toStdString();
        EXPECT_EQ(frames.size(), 6u) << gif.toStdString();
        ExpectFramesLikeImageMagick(gif, frames);
    }
}

TEST_F(GifFramesTest, FramesJoinAListOfTheirSizeOnly) {
    const QString gif = MovingShapes();
    FrameList frames;
    frames.push_back(std::make_unique<CxImage>());
    ASSERT_TRUE(frames[0]->Create(48, 32, 24));
    QString error;
    ASSERT_EQ(LoadGifFrames(gif, frames, error), GifLoadResult::Loaded) << error.toStdString();
    EXPECT_EQ(frames.size(), 4u);

    FrameList smaller;
    smaller.push_back(std::make_unique<CxImage>());
    ASSERT_TRUE(smaller[0]->Create(10, 10, 24));
    EXPECT_EQ(LoadGifFrames(gif, smaller, error), GifLoadResult::Failed);
    EXPECT_EQ(error, QStringLiteral("'%1' is 48*32, but the first frame is 10*10").arg(gif));
    EXPECT_EQ(smaller.size(), 1u);
}

TEST_F(GifFramesTest, ProgressCountsTheFramesAndCanStopTheLoad) {
    const QString gif = MovingShapes();
    std::vector<std::pair<int32_t, int32_t>> calls;
    FrameList frames;
    QString error;
    ASSERT_EQ(LoadGifFrames(gif, frames, error,
                            [&](int32_t soFar, int32_t count) {
                                calls.emplace_back(soFar, count);
                                return true;
                            }),
              GifLoadResult::Loaded);
    EXPECT_EQ(calls, (std::vector<std::pair<int32_t, int32_t>>{{1, 3}, {2, 3}, {3, 3}}));

    calls.clear();
    FrameList stopped;
    EXPECT_EQ(LoadGifFrames(gif, stopped, error,
                            [&](int32_t soFar, int32_t count) {
                                calls.emplace_back(soFar, count);
                                return soFar < 2;
                            }),
              GifLoadResult::Stopped);
    EXPECT_EQ(calls, (std::vector<std::pair<int32_t, int32_t>>{{1, 3}, {2, 3}}));
    ASSERT_EQ(stopped.size(), 2u);
    EXPECT_TRUE(RgbBytes(*stopped[1]) == RgbBytes(*frames[1]));
}

TEST_F(GifFramesTest, ATruncatedGifKeepsEveryFrameBeforeTheCut) {
    const QString gif = MovingShapes();
    const QByteArray whole = testing_support::ReadWholeFile(gif);
    const auto images = ImageBlocks(whole);
    ASSERT_EQ(images.size(), 3u);
    const ImageBlock last = images.back();
    ASSERT_EQ(last.top, 0);
    ASSERT_EQ(last.width, 48);
    const auto expected = ImageMagickFrames(gif, 48, 32);
    ASSERT_EQ(expected.size(), 3u);

    // Cut halfway through the last image's data.
    const QString cut = Path("cut.gif");
    ASSERT_TRUE(
        testing_support::WriteWholeFile(cut, whole.left((last.dataStart + last.dataEnd) / 2)));
    FrameList frames;
    QString error;
    ASSERT_EQ(LoadGifFrames(cut, frames, error), GifLoadResult::Loaded) << error.toStdString();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_TRUE(RgbBytes(*frames[0]) == expected[0]);
    EXPECT_TRUE(RgbBytes(*frames[1]) == expected[1]);
    // The rows that arrived are there.
    const qsizetype rowBytes = 48 * 3;
    EXPECT_TRUE(RgbBytes(*frames[2]).left(rowBytes) == expected[2].left(rowBytes));

    // Cut before the first image, or inside the header: nothing to load.
    for (const qsizetype size : {images.front().start, qsizetype(8)}) {
        ASSERT_TRUE(testing_support::WriteWholeFile(cut, whole.left(size)));
        FrameList none;
        EXPECT_EQ(LoadGifFrames(cut, none, error), GifLoadResult::Failed) << size;
        EXPECT_EQ(error, QStringLiteral("'%1' is not a GIF file").arg(cut)) << size;
        EXPECT_TRUE(none.empty());
    }
}

TEST_F(GifFramesTest, AFrameWithoutAPictureIsRefused) {
    // A broken extension ends decoding before the first image, which is
    // still counted as a frame.
    gif_test::GifBuilder b;
    b.Header(2, 1, gif_test::DistinctTable(4));
    b.Raw({0x21, 0xFF, 5, 'a', 'b', 'c', 'd', 'e', 0});
    b.Image({0, 0, 2, 1, {1, 2}, {}, false, 2});
    b.Trailer();
    const QString gif = Path("broken.gif");
    ASSERT_TRUE(testing_support::WriteWholeFile(
        gif, QByteArray(reinterpret_cast<const char*>(b.bytes.data()), qsizetype(b.bytes.size()))));
    FrameList frames;
    QString error;
    EXPECT_EQ(LoadGifFrames(gif, frames, error), GifLoadResult::Failed);
    EXPECT_EQ(error, QStringLiteral("frame 1 of '%1' holds no picture").arg(gif));
    EXPECT_TRUE(frames.empty());
}

// A file the decoder refuses part-way keeps the frames before the refusal
// and names the reason; a screen too large for memory loads nothing.
TEST_F(GifFramesTest, ARefusedGifGivesTheDecodersReason) {
    gif_test::GifBuilder undecodable;
    undecodable.Header(2, 1, gif_test::DistinctTable(4));
    undecodable.Image({0, 0, 2, 1, {1, 2}, {}, false, 2});
    undecodable.RawImage(0, 0, 2, 1, {12, 2, 0xFF, 0xFF, 0}).Trailer();
    gif_test::GifBuilder huge;
    huge.Header(65535, 65535, gif_test::DistinctTable(2));
    huge.Image({0, 0, 1, 1, {1}, {}, false, 2}).Trailer();
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        std::size_t framesKept;
        QString error;
    } cases[] = {
        {"undecodable.gif", undecodable.bytes, 1,
         "cannot read '%1': GIF image 2 has LZW code size 12, which cannot be decoded"},
        {"huge.gif", huge.bytes, 0,
         "'%1' is too large: its picture exceeds the size an image may have"},
    };
    for (const auto& c : cases) {
        const QString gif = Path(c.name);
        ASSERT_TRUE(testing_support::WriteWholeFile(
            gif,
            QByteArray(reinterpret_cast<const char*>(c.bytes.data()), qsizetype(c.bytes.size()))));
        FrameList frames;
        QString error;
        EXPECT_EQ(LoadGifFrames(gif, frames, error), GifLoadResult::Failed) << c.name;
        EXPECT_EQ(error, c.error.arg(gif));
        EXPECT_EQ(frames.size(), c.framesKept) << c.name;
    }
}

TEST_F(GifFramesTest, FilesItCannotUseAreNamedWithTheReason) {
    const QString png = Path("picture.gif");
    ASSERT_TRUE(Made("convert", {"-size", "8x8", "xc:red", "PNG24:" + png}));
    const QString text = Path("text.gif");
    ASSERT_TRUE(testing_support::WriteWholeFile(text, "hello, this is not a picture"));
    const struct {
        QString path;
        QString error;
    } cases[] = {
        {Path("missing.gif"), "cannot open '%1': No such file or directory"},
        {dir_.path(), "cannot open '%1': Is a directory"},
        {png, "'%1' is not a GIF file"},
        {text, "'%1' is not a GIF file"},
    };
    for (const auto& c : cases) {
        FrameList frames;
        QString error;
        EXPECT_EQ(LoadGifFrames(c.path, frames, error), GifLoadResult::Failed)
            << c.path.toStdString();
        EXPECT_EQ(error, c.error.arg(c.path));
        EXPECT_TRUE(frames.empty());
    }
}

} // namespace
