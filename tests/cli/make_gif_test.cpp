// frameloop-cli make-gif end to end: the GIF is read back by independent
// tools (gifsicle for the structure, ImageMagick for the pixels).
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cmath>

#include <gtest/gtest.h>

#include "test_files.h"

using testing_support::RunProgram;

namespace {

// A frame with a smooth gradient and a square whose position depends on `step`.
QImage SourceFrame(int width, int height, int step) {
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.setPixelColor(x, y, QColor(x * 255 / width, y * 255 / height, 160));
    }
    QPainter painter(&image);
    painter.fillRect(10 + step * 7, 20, 24, 24, QColor(250, 40, 40));
    return image;
}

QImage SolidFrame(int width, int height, QColor color) {
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(color);
    return image;
}

class MakeGifTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_TRUE(testing_support::HaveProgram("gifsicle")) << "gifsicle is needed";
        ASSERT_TRUE(testing_support::HaveProgram("convert")) << "ImageMagick is needed";
    }
    QString Path(const QString& name) const { return dir_.filePath(name); }

    // Saves `frames` as input/0001.png ... and returns the folder.
    QString WriteFrames(const std::vector<QImage>& frames) {
        const QString folder = Path("input");
        QDir().mkpath(folder);
        for (std::size_t i = 0; i < frames.size(); ++i)
            frames[i].save(QStringLiteral("%1/%2.png").arg(folder).arg(i + 1, 4, 10, QChar('0')));
        return folder;
    }

    testing_support::ProcessResult MakeGif(const QStringList& args) {
        return RunProgram(QStringLiteral(FRAMELOOP_CLI), QStringList{"make-gif"} + args);
    }

    // The frames a viewer shows, one per GIF image, as ImageMagick composes them.
    std::vector<QImage> Coalesced(const QString& gif) {
        const QString pattern = Path("coalesced-%04d.png");
        const auto r = RunProgram("convert", {gif, "-coalesce", pattern});
        EXPECT_EQ(r.exitCode, 0) << r.err.constData();
        std::vector<QImage> frames;
        for (int i = 0;; ++i) {
            const QImage image(Path(QStringLiteral("coalesced-%1.png").arg(i, 4, 10, QChar('0'))));
            if (image.isNull())
                break;
            frames.push_back(image.convertToFormat(QImage::Format_RGB888));
        }
        return frames;
    }

    QString GifInfo(const QString& gif) {
        const auto r = RunProgram("gifsicle", {"--info", "--color-info", gif});
        EXPECT_EQ(r.exitCode, 0) << r.err.constData();
        return QString::fromUtf8(r.out);
    }

    QTemporaryDir dir_;
};

double Psnr(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
            const int dr = p.red() - q.red(), dg = p.green() - q.green(), db = p.blue() - q.blue();
            sum += dr * dr + dg * dg + db * db;
        }
    }
    const double mse = sum / (3.0 * a.width() * a.height());
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

QStringList Delays(const QString& info) {
    QStringList delays;
    static const QRegularExpression delay(QStringLiteral("delay (\\d+\\.\\d+)s"));
    for (auto it = delay.globalMatch(info); it.hasNext();)
        delays << it.next().captured(1);
    return delays;
}

TEST_F(MakeGifTest, WritesOneGlobalPaletteLoopingGifWithTheFrameDelays) {
    std::vector<QImage> frames;
    for (int i = 0; i < 6; ++i)
        frames.push_back(SourceFrame(160, 90, i));
    const QString gif = Path("out.gif");
    const auto r = MakeGif({"--fps", "10", WriteFrames(frames), gif});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.out.trimmed().split(',').first(), "6 frames");
    EXPECT_TRUE(r.out.contains(", 160*90, ")) << r.out.constData();

    const QString info = GifInfo(gif);
    EXPECT_TRUE(info.contains("global color table [256]")) << info.toStdString();
    EXPECT_FALSE(info.contains("local color table")) << info.toStdString();
    EXPECT_TRUE(info.contains("loop forever")) << info.toStdString();
    EXPECT_EQ(Delays(info), QStringList(6, "0.10"));
    // Later images hold only the changed rectangle around the moving square.
    EXPECT_TRUE(info.contains("+ image #1 ")) << info.toStdString();
    EXPECT_FALSE(info.contains(QRegularExpression("image #[1-5] 160x90"))) << info.toStdString();
    EXPECT_TRUE(QFile(gif).open(QIODevice::ReadOnly));
    EXPECT_EQ(testing_support::ReadWholeFile(gif).left(6), "GIF89a");
}

TEST_F(MakeGifTest, MergesIdenticalNeighboursOnly) {
    const QImage a = SolidFrame(40, 30, QColor(10, 200, 30));
    const QImage b = SolidFrame(40, 30, QColor(200, 10, 90));
    const QString gif = Path("abab.gif");
    const auto r = MakeGif({"--fps", "20", WriteFrames({a, a, b, a}), gif});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(Delays(GifInfo(gif)), (QStringList{"0.10", "0.05", "0.05"}));
}

TEST_F(MakeGifTest, DecodedFramesStayCloseToTheirSources) {
    struct Case {
        const char* quality;
        double floorDb;
    };
    std::vector<QImage> frames;
    for (int i = 0; i < 5; ++i)
        frames.push_back(SourceFrame(120, 80, i));
    const QString input = WriteFrames(frames);
    for (const Case c : {Case{"high", 33.0}, Case{"medium", 33.0}}) {
        SCOPED_TRACE(c.quality);
        const QString gif = Path(QStringLiteral("%1.gif").arg(c.quality));
        const auto r = MakeGif({"--quality", c.quality, input, gif});
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
        const auto decoded = Coalesced(gif);
        ASSERT_EQ(decoded.size(), frames.size());
        for (std::size_t i = 0; i < frames.size(); ++i)
            EXPECT_GT(Psnr(decoded[i], frames[i].convertToFormat(QImage::Format_RGB888)), c.floorDb)
                << "frame " << i + 1;
    }
}

TEST_F(MakeGifTest, BurnsSubtitlesIntoTheirFramesOnly) {
    const QImage grey = SolidFrame(200, 80, QColor(128, 128, 128));
    const QString gif = Path("sub.gif");
    const auto r =
        MakeGif({"--subtitle", "2:3:20:50:Hi there", WriteFrames({grey, grey, grey, grey}), gif});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const auto decoded = Coalesced(gif);
    ASSERT_EQ(decoded.size(), 3u); // frames 2 and 3 are identical and merge

    auto countColour = [](const QImage& image, QColor colour, QRect area) {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) {
                const QColor p = image.pixelColor(x, y);
                n += std::abs(p.red() - colour.red()) < 40 &&
                     std::abs(p.green() - colour.green()) < 40 &&
                     std::abs(p.blue() - colour.blue()) < 40;
            }
        return n;
    };
    const QColor yellow(255, 255, 0), black(0, 0, 0);
    const QRect box(19, 20, 120, 32); // text of 14 pt ending on row 50, from column 20
    const QRect outside(0, 51 + 2, 200, 80 - 53);
    EXPECT_EQ(countColour(decoded[0], yellow, decoded[0].rect()), 0);
    EXPECT_EQ(countColour(decoded[0], black, decoded[0].rect()), 0);
    EXPECT_GT(countColour(decoded[1], yellow, box), 40);
    EXPECT_GT(countColour(decoded[1], black, box), 40);
    EXPECT_EQ(countColour(decoded[1], yellow, outside), 0);
    EXPECT_EQ(countColour(decoded[1], QColor(128, 128, 128), QRect(0, 0, 18, 80)), 18 * 80);
    EXPECT_EQ(countColour(decoded[2], yellow, decoded[2].rect()), 0);
}

TEST_F(MakeGifTest, ScalesAndReadsGifInputs) {
    std::vector<QImage> frames;
    for (int i = 0; i < 3; ++i)
        frames.push_back(SourceFrame(100, 60, i));
    const QString first = Path("first.gif");
    ASSERT_EQ(MakeGif({WriteFrames(frames), first}).exitCode, 0);
    const QString half = Path("half.gif");
    const auto r = MakeGif({"--scale", "50", first, half});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.out.startsWith("3 frames, 50*30, ")) << r.out.constData();
    EXPECT_TRUE(GifInfo(half).contains("logical screen 50x30"));
}

TEST_F(MakeGifTest, RejectsBadUsageAndInputsWithClearWords) {
    const QString input = WriteFrames({SolidFrame(20, 20, Qt::red)});
    testing_support::WriteWholeFile(Path("fake.gif"), "GIF89a broken");
    testing_support::WriteWholeFile(Path("notimage.png"), "hello");
    struct Case {
        QStringList args;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {{input}, 2, "needs at least one input"},
        {{"--fps", "0", input, Path("o.gif")}, 2, "bad --fps"},
        {{"--scale", "5", input, Path("o.gif")}, 2, "bad --scale"},
        {{"--quality", "best", input, Path("o.gif")}, 2, "bad --quality"},
        {{"--subtitle", "3:2:0:0:x", input, Path("o.gif")}, 2, "bad subtitle"},
        {{"--bogus", input, Path("o.gif")}, 2, "unknown option"},
        {{Path("missing.png"), Path("o.gif")}, 1, "No such file or directory"},
        {{Path("notimage.png"), Path("o.gif")}, 1, "cannot read"},
        {{Path("fake.gif"), Path("o.gif")}, 1, "is not a GIF file"},
        {{input, Path("no/such/dir/o.gif")}, 1, "cannot write"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const auto r = MakeGif(c.args);
        EXPECT_FALSE(r.crashed);
        EXPECT_EQ(r.exitCode, c.status);
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.constData();
    }
    EXPECT_FALSE(QFile::exists(Path("o.gif")));
}

} // namespace

// A disk that fills up while the GIF is written: a failure in words, the old
// file as it was and no partial file, never a cut-off GIF reported as made.
// Needs a small tmpfs, so root; skipped elsewhere.
TEST_F(MakeGifTest, AFullDiskFailsAndLeavesTheOldFile) {
    const QString disk = Path("disk");
    QDir().mkpath(disk);
    if (RunProgram("mount", {"-t", "tmpfs", "-o", "size=16k", "tmpfs", disk}).exitCode != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
    struct Unmount {
        QString path;
        ~Unmount() { RunProgram("umount", {path}); }
    } unmount{disk};
    const QString output = disk + "/out.gif";
    ASSERT_TRUE(testing_support::WriteWholeFile(output, "the old GIF"));
    std::vector<QImage> frames;
    for (int i = 0; i < 20; ++i) {
        QImage frame(200, 150, QImage::Format_RGB888);
        for (int y = 0; y < 150; ++y)
            for (int x = 0; x < 200; ++x)
                frame.setPixel(x, y, qRgb((x * 7 + i * 13) % 256, (y * 5 + x * i) % 256, i * 12));
        frames.push_back(frame);
    }
    const auto r = MakeGif({WriteFrames(frames), output});
    EXPECT_EQ(r.exitCode, 1) << r.out.constData() << r.err.constData();
    EXPECT_TRUE(r.err.contains("cannot write")) << r.err.constData();
    EXPECT_EQ(testing_support::ReadWholeFile(output), "the old GIF");
    EXPECT_EQ(QDir(disk).entryList(QDir::Files), QStringList{"out.gif"});
}
