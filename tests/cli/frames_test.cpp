// frameloop-cli frames, run as a program: usage and errors, frames equal to
// ImageMagick's coalesced frames, and broken files that must never crash it.
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "../image/gif_builder.h"
#include "test_files.h"

using testing_support::ProcessResult;
using testing_support::ReadWholeFile;
using testing_support::RunProgram;
using testing_support::WriteWholeFile;

namespace {

ProcessResult Cli(const QStringList& args) {
    return RunProgram(FRAMELOOP_CLI, args);
}

QByteArray ToBytes(const std::vector<uint8_t>& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
}

// Empty when both show the same colours, else where they first differ.
std::string Difference(const QImage& actual, const QImage& expected) {
    if (actual.size() != expected.size())
        return "size " + std::to_string(actual.width()) + "x" + std::to_string(actual.height());
    for (int y = 0; y < actual.height(); ++y) {
        for (int x = 0; x < actual.width(); ++x) {
            const QRgb a = actual.pixel(x, y) & 0xFFFFFF;
            const QRgb e = expected.pixel(x, y) & 0xFFFFFF;
            if (a != e)
                return "pixel " + std::to_string(x) + "," + std::to_string(y) + ": " +
                       QString::number(a, 16).toStdString() + " instead of " +
                       QString::number(e, 16).toStdString();
        }
    }
    return {};
}

class FramesCommand : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        for (const char* tool : {"convert", "gifsicle"})
            ASSERT_TRUE(testing_support::HaveProgram(tool))
                << tool << " is needed (scripts/test installs it)";
    }

    QString Path(const QString& name) const { return dir_.filePath(name); }

    void Tool(const QString& program, const QStringList& args) {
        const auto r = RunProgram(program, args);
        ASSERT_EQ(r.exitCode, 0) << program.toStdString() << ": " << r.err.toStdString();
    }

    // ImageMagick's coalesced frames.
    std::vector<QImage> Coalesced(const QString& gif) {
        const QString pattern = Path("im-%d.png");
        Tool("convert", {gif, "-coalesce", "+repage", pattern});
        std::vector<QImage> frames;
        for (int i = 0;; ++i) {
            const QString file = Path(QString("im-%1.png").arg(i));
            if (!QFileInfo::exists(file))
                break;
            frames.push_back(QImage(file));
            QFile::remove(file);
        }
        return frames;
    }

    QTemporaryDir dir_;
};

TEST_F(FramesCommand, HelpAndBadUsage) {
    for (const QStringList& args :
         {QStringList{"--help"}, QStringList{"-h"}, QStringList{"frames", "--help"}}) {
        const auto r = Cli(args);
        EXPECT_EQ(r.exitCode, 0) << args.join(' ').toStdString();
        EXPECT_TRUE(r.out.contains("frames INPUT.gif OUTDIR [--format png|bmp|jpg]"));
    }
    const QStringList bad[] = {
        {},
        {"no-such-command"},
        {"frames"},
        {"frames", "in.gif"},
        {"frames", "in.gif", "out", "extra"},
        {"frames", "in.gif", "out", "--format"},
        {"frames", "in.gif", "out", "--format", "gif"},
        {"frames", "in.gif", "out", "--colour"},
    };
    for (const QStringList& args : bad) {
        const auto r = Cli(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_FALSE(r.crashed);
        EXPECT_TRUE(r.err.contains("Usage: frameloop-cli")) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
}

TEST_F(FramesCommand, ReportsFilesItCannotUse) {
    const QString missing = Path("missing.gif");
    auto r = Cli({"frames", missing, Path("out")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(
        r.err.contains(("cannot open '" + missing + "': No such file or directory").toUtf8()))
        << r.err.toStdString();

    const QString text = Path("notes.gif");
    ASSERT_TRUE(WriteWholeFile(text, "just some words, no picture\n"));
    r = Cli({"frames", text, Path("out")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(("'" + text + "' is not a GIF file").toUtf8()))
        << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(Path("out")))
        << "nothing is created for a file that is not a GIF";

    r = Cli({"frames", dir_.path(), Path("out")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("cannot open")) << r.err.toStdString();

    // The output folder cannot be made inside a plain file.
    const QString gif = Path("still.gif");
    Tool("convert", {"-size", "8x8", "xc:red", gif});
    r = Cli({"frames", gif, text + "/out"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("cannot create folder")) << r.err.toStdString();

    // A folder where the second picture should go: that frame cannot be written,
    // and the first failing frame is the one reported.
    const QString twoFrames = Path("two.gif");
    Tool("convert", {"-size", "8x8", "xc:red", "xc:blue", "xc:green", "-loop", "0", twoFrames});
    ASSERT_TRUE(QDir().mkpath(Path("blocked/frame-0002.png")));
    ASSERT_TRUE(QDir().mkpath(Path("blocked/frame-0003.png")));
    r = Cli({"frames", twoFrames, Path("blocked")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(("cannot write '" + Path("blocked/frame-0002.png") + "'").toUtf8()))
        << r.err.toStdString();
    EXPECT_TRUE(QFileInfo(Path("blocked/frame-0001.png")).isFile());
}

TEST_F(FramesCommand, RefusesAScreenTooLargeForMemory) {
    gif_test::GifBuilder b;
    b.Header(65535, 65535, gif_test::DistinctTable(2));
    b.Image({0, 0, 1, 1, {1}, {}, false, 2}).Trailer();
    ASSERT_TRUE(WriteWholeFile(Path("huge.gif"), ToBytes(b.bytes)));
    const auto r = Cli({"frames", Path("huge.gif"), Path("out")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(r.crashed);
    EXPECT_TRUE(r.err.contains("CXIMAGE_MAX_MEMORY exceeded")) << r.err.toStdString();
}

// Image data it cannot decode: the frames before it are written, then the
// reason, and the exit status says it failed.
TEST_F(FramesCommand, ReportsImageDataItCannotDecode) {
    gif_test::GifBuilder b;
    b.Header(2, 1, gif_test::DistinctTable(4));
    b.Image({0, 0, 2, 1, {1, 2}, {}, false, 2});
    b.RawImage(0, 0, 2, 1, {12, 2, 0xFF, 0xFF, 0}).Trailer();
    ASSERT_TRUE(WriteWholeFile(Path("wide.gif"), ToBytes(b.bytes)));
    const auto r = Cli({"frames", Path("wide.gif"), Path("out")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(r.crashed);
    EXPECT_TRUE(r.err.contains("GIF image 2 has LZW code size 12, which cannot be decoded"))
        << r.err.toStdString();
    EXPECT_TRUE(QFileInfo(Path("out/frame-0001.png")).isFile());
    EXPECT_FALSE(QFileInfo::exists(Path("out/frame-0002.png")));
}

TEST_F(FramesCommand, WritesAStillGifAsOneFrame) {
    const QString gif = Path("still.gif");
    Tool("convert", {"-size", "20x10", "gradient:red-blue", "-colors", "16", gif});
    const auto r = Cli({"frames", gif, Path("new/folder")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "1 frames\n");
    const QStringList files = QDir(Path("new/folder")).entryList(QDir::Files);
    EXPECT_EQ(files, QStringList{"frame-0001.png"});
    const QImage frame(Path("new/folder/frame-0001.png"));
    ASSERT_FALSE(frame.isNull());
    EXPECT_EQ(frame.size(), QSize(20, 10));
    EXPECT_EQ(Difference(frame, Coalesced(gif).at(0)), "");
}

TEST_F(FramesCommand, FramesMatchImageMagicksCoalescedFrames) {
    // Sub-rectangles with transparency over earlier frames (gifsicle -O3),
    // then local palettes and interlace on full frames.
    Tool("convert", testing_support::MovingShapesArgs() +
                        QStringList{"-dispose", "none", "-loop", "0", Path("moving.gif")});
    Tool("gifsicle", {"-O3", "--colors", "64", Path("moving.gif"), "-o", Path("optimised.gif")});
    Tool("convert", {"-size", "40x30", "gradient:red-blue", "-size", "40x30",
                     "gradient:green-yellow", "-size", "40x30", "radial-gradient:white-purple",
                     "-interlace", "GIF", "-loop", "0", Path("local.gif")});
    // ffmpeg's default output (a local table on the first image, transparency
    // on the rest) and ImageMagick's transparency optimisation over frames
    // with their own local tables.
    ASSERT_TRUE(testing_support::HaveProgram("ffmpeg"));
    const QString pattern = "testsrc=size=64x48:rate=10:duration=0.6";
    Tool("ffmpeg", {"-loglevel", "error", "-y", "-f", "lavfi", "-i", pattern, Path("ffmpeg.gif")});
    Tool("ffmpeg",
         {"-loglevel", "error", "-y", "-f", "lavfi", "-i", pattern, Path("pattern-%02d.png")});
    QStringList patternFrames;
    for (int i = 1; i <= 6; ++i)
        patternFrames << Path(QString("pattern-%1.png").arg(i, 2, 10, QChar('0')));
    Tool("convert", patternFrames << "-layers"
                                  << "OptimizeTransparency" << Path("transparency.gif"));
    for (const QString name : {"optimised.gif", "local.gif", "ffmpeg.gif", "transparency.gif"}) {
        const QString out = Path(name + ".frames");
        const auto r = Cli({"frames", Path(name), out});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const std::vector<QImage> expected = Coalesced(Path(name));
        ASSERT_EQ(r.out, QByteArray::number(qsizetype(expected.size())) + " frames\n");
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const QString file = out + QString("/frame-%1.png").arg(i + 1, 4, 10, QChar('0'));
            EXPECT_EQ(Difference(QImage(file), expected[i]), "")
                << name.toStdString() << " frame " << i;
        }
    }
}

TEST_F(FramesCommand, WritesBmpAndJpegOnRequest) {
    const QString gif = Path("two.gif");
    Tool("convert", {"-size", "16x12", "xc:red", "-size", "16x12", "xc:blue", "-loop", "0", gif});
    for (const QString format : {"bmp", "jpg"}) {
        const QString out = Path("out-" + format);
        const auto r = Cli({"frames", gif, out, "--format", format});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, "2 frames\n");
        for (int i = 1; i <= 2; ++i) {
            const QImage frame(out + QString("/frame-000%1.").arg(i) + format);
            ASSERT_FALSE(frame.isNull()) << format.toStdString();
            EXPECT_EQ(frame.size(), QSize(16, 12));
            const QColor c = frame.pixelColor(8, 6);
            EXPECT_EQ(i == 1 ? c.red() > 200 && c.blue() < 50 : c.blue() > 200 && c.red() < 50,
                      true)
                << format.toStdString() << " frame " << i;
        }
    }
}

// Broken copies of a good file: every run ends with 0 or 1, never a signal,
// and (in the sanitizer build) without a sanitizer report.
TEST_F(FramesCommand, BrokenFilesNeverCrashIt) {
    const QByteArray good = ReadWholeFile(QString(FRAMELOOP_TEST_DATA) + "/two-frames.gif");
    ASSERT_FALSE(good.isEmpty());
    std::vector<QByteArray> broken;
    for (qsizetype n = 0; n < good.size(); n += good.size() / 12)
        broken.push_back(good.left(n));
    std::mt19937 random(1210);
    for (int i = 0; i < 16; ++i) {
        QByteArray mutated = good;
        for (int f = 0; f < 1 + i % 4; ++f)
            mutated[qsizetype(random() % mutated.size())] = char(random());
        broken.push_back(mutated);
    }
    for (std::size_t i = 0; i < broken.size(); ++i) {
        const QString file = Path(QString("broken-%1.gif").arg(i));
        ASSERT_TRUE(WriteWholeFile(file, broken[i]));
        const auto r = Cli({"frames", file, Path(QString("out-%1").arg(i))});
        EXPECT_FALSE(r.crashed) << file.toStdString();
        EXPECT_TRUE(r.exitCode == 0 || r.exitCode == 1)
            << file.toStdString() << " exit " << r.exitCode;
        EXPECT_FALSE(r.err.contains("Sanitizer") || r.err.contains("runtime error"))
            << file.toStdString() << ": " << r.err.toStdString();
    }
}

} // namespace
