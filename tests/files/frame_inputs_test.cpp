// The command line's inputs as a recording: images and GIFs in a folder taken
// in name order with pixels equal to ImageMagick's reading, GIFs told by
// their content, and the size rule across inputs. Missing inputs, unreadable
// images and broken GIFs are already checked through frameloop-cli make-gif.
#include "files/frame_inputs.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "loaded_frames.h"
#include "test_files.h"

using files_test::ImageMagickFrames;
using files_test::Made;
using files_test::RgbBytes;

namespace {

class FrameInputsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_TRUE(testing_support::HaveProgram("convert")) << "ImageMagick is needed";
    }

    QString Path(const QString& name) const { return dir_.filePath(name); }

    // A picture written by ImageMagick from `args`; `format` chooses the PNG
    // flavour (8 bits a sample, so both readers agree on every value).
    QString Picture(const QString& name, const QStringList& args,
                    const QString& format = "PNG24:") {
        const QString path = Path(name);
        QDir().mkpath(QFileInfo(path).path());
        EXPECT_TRUE(Made("convert", QStringList(args) << "-depth"
                                                      << "8" << format + path));
        return path;
    }

    // Three 48x32 frames written by ImageMagick.
    QString MovingShapes(const QString& name) {
        const QString gif = Path(name);
        QDir().mkpath(QFileInfo(gif).path());
        QStringList args = testing_support::MovingShapesArgs();
        args << "-dispose"
             << "none"
             << "GIF:" + gif;
        EXPECT_TRUE(Made("convert", args));
        return gif;
    }

    QTemporaryDir dir_;
};

TEST_F(FrameInputsTest, AFolderGivesItsImagesAndGifsInNameOrder) {
    // Written out of order, in several PNG flavours, with a file that is no image.
    const QString c = MovingShapes("in/c.gif");
    const QString b = Picture("in/b.png", {"-size", "48x32", "xc:orange"}, "PNG8:");
    const QString a = Picture("in/a.png", {"-size", "48x32", "gradient:red-blue"});
    const QString d = Picture(
        "in/d.png", {"-size", "48x32", "gradient:white-black", "-type", "Grayscale"}, "PNG:");
    ASSERT_TRUE(testing_support::WriteWholeFile(Path("in/notes.txt"), "not a picture"));

    FrameList frames;
    QString error;
    ASSERT_TRUE(LoadFrameInputs({Path("in")}, frames, error)) << error.toStdString();
    std::vector<QByteArray> expected = ImageMagickFrames(a, 48, 32);
    for (const QString& path : {b, c, d}) {
        const auto more = ImageMagickFrames(path, 48, 32);
        expected.insert(expected.end(), more.begin(), more.end());
    }
    ASSERT_EQ(expected.size(), 6u);
    ASSERT_EQ(frames.size(), expected.size());
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i]->BitsPerPixel(), 24u) << "frame " << i;
        EXPECT_EQ(frames[i]->UserFlags(), 1u) << "frame " << i << " is not kept";
        EXPECT_TRUE(RgbBytes(*frames[i]) == expected[i]) << "frame " << i;
    }
}

TEST_F(FrameInputsTest, TheFirstBytesNotTheNameTellAGif) {
    const QString gifNamedPng = MovingShapes("moving.png");
    const QString pngNamedGif = Picture("still.gif", {"-size", "48x32", "gradient:green-yellow"});
    ASSERT_EQ(testing_support::ReadWholeFile(pngNamedGif).left(4), "\x89PNG");

    FrameList frames;
    QString error;
    ASSERT_TRUE(LoadFrameInputs({gifNamedPng, pngNamedGif}, frames, error)) << error.toStdString();
    std::vector<QByteArray> expected = ImageMagickFrames(gifNamedPng, 48, 32);
    ASSERT_EQ(expected.size(), 3u);
    expected.push_back(ImageMagickFrames(pngNamedGif, 48, 32).at(0));
    ASSERT_EQ(frames.size(), expected.size());
    for (std::size_t i = 0; i < frames.size(); ++i)
        EXPECT_TRUE(RgbBytes(*frames[i]) == expected[i]) << "frame " << i;
}

TEST_F(FrameInputsTest, EveryFrameMustHaveTheFirstOnesSize) {
    const QString first = Picture("first.png", {"-size", "40x30", "xc:red"});
    const QString small = Picture("in/b.png", {"-size", "30x20", "xc:blue"});
    Picture("in/a.png", {"-size", "40x30", "xc:green"});
    const QString gif = MovingShapes("moving.gif");
    struct Case {
        QStringList inputs;
        QString error;
        std::size_t framesBefore;
    };
    const Case cases[] = {
        {{first, Path("in")},
         QStringLiteral("'%1' is 30*20, but the first frame is 40*30").arg(small),
         2},
        {{first, gif}, QStringLiteral("'%1' is 48*32, but the first frame is 40*30").arg(gif), 1},
        {{gif, first}, QStringLiteral("'%1' is 40*30, but the first frame is 48*32").arg(first), 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.inputs.join(' ').toStdString());
        FrameList frames;
        QString error;
        EXPECT_FALSE(LoadFrameInputs(c.inputs, frames, error));
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(frames.size(), c.framesBefore);
    }
}

TEST_F(FrameInputsTest, AFolderWithoutImagesIsRefused) {
    ASSERT_TRUE(QDir().mkpath(Path("empty")));
    ASSERT_TRUE(testing_support::WriteWholeFile(Path("empty/readme.txt"), "no pictures here"));
    FrameList frames;
    QString error;
    EXPECT_FALSE(LoadFrameInputs({Path("empty")}, frames, error));
    EXPECT_EQ(error, QStringLiteral("'%1' holds no images").arg(Path("empty")));
    EXPECT_TRUE(frames.empty());
}

TEST_F(FrameInputsTest, QImagesOfAnyFormatBecomeTheirColours) {
    QImage argb(3, 2, QImage::Format_ARGB32);
    argb.fill(QColor(10, 20, 30));
    argb.setPixelColor(2, 0, QColor(200, 100, 50));
    argb.setPixelColor(0, 1, QColor(1, 2, 3));
    QImage indexed = argb.convertToFormat(QImage::Format_Indexed8);
    for (const QImage& image : {argb, indexed, argb.convertToFormat(QImage::Format_RGB16)}) {
        SCOPED_TRACE(int(image.format()));
        const auto frame = FrameFromQImage(image);
        ASSERT_TRUE(frame && frame->IsValid());
        EXPECT_EQ(frame->BitsPerPixel(), 24u);
        EXPECT_EQ(frame->Width(), 3u);
        EXPECT_EQ(frame->Height(), 2u);
        QByteArray expected;
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 3; ++x) {
                const QColor c = image.pixelColor(x, y);
                expected.append(char(c.red())).append(char(c.green())).append(char(c.blue()));
            }
        }
        EXPECT_TRUE(RgbBytes(*frame) == expected);
    }
}

} // namespace
