// Opening a GIF for editing: which files are refused before anything is
// loaded and with what words, the memory budget, and the import thread:
// frames as the loader composes them, cancelling, and failures.
#include "files/gif_import.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "files/gif_frames.h"
#include "loaded_frames.h"
#include "test_files.h"

using files_test::Made;
using files_test::RgbBytes;

namespace {

constexpr uint64_t kPlenty = uint64_t(1) << 32;

class GifImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        for (const char* tool : {"convert", "ffmpeg"})
            ASSERT_TRUE(testing_support::HaveProgram(tool)) << tool;
    }

    QString Path(const QString& name) const { return dir_.filePath(name); }

    // Three 48x32 frames written by ImageMagick, under `name`.
    QString Animated(const QString& name) {
        QStringList args = testing_support::MovingShapesArgs();
        args << "-dispose"
             << "none" << ("gif:" + Path(name));
        EXPECT_TRUE(Made("convert", args));
        return Path(name);
    }

    // `frames` moving frames of 320x240, written by ffmpeg.
    QString Long(int frames) {
        const QString gif = Path("long.gif");
        EXPECT_TRUE(
            Made("ffmpeg",
                 {"-loglevel", "error", "-y", "-f", "lavfi", "-i",
                  QStringLiteral("testsrc2=size=320x240:rate=10:duration=%1").arg(frames / 10.0),
                  "-f", "gif", gif}));
        return gif;
    }

    static GifImportStatus Finish(GifImportJob& job) {
        job.Start();
        job.Wait();
        return job.Status();
    }

    QTemporaryDir dir_;
};

TEST_F(GifImportTest, OnlyNamesEndingInGifAreOpened) {
    const struct {
        const char* name;
        bool accepted;
    } cases[] = {
        {"a.gif", true},      {"A.GIF", true},        {"x.y.Gif", true},
        {"a.gif.bak", false}, {"gif", false},         {"a.png", false},
        {"a.", false},        {"/tmp/a.gif/", false}, {"dir.gif/file", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HasGifExtension(c.name), c.accepted) << c.name;

    // A real GIF under another name is refused before it is opened.
    GifImportJob job(Animated("moving.png"), kPlenty);
    EXPECT_EQ(Finish(job), GifImportStatus::Failed);
    EXPECT_TRUE(job.Error().contains("only GIF files")) << job.Error().toStdString();
    EXPECT_FALSE(job.Probed());
}

TEST_F(GifImportTest, AnAnimatedGifIsMeasuredFromItsFirstFrame) {
    GifImportJob job(Animated("moving.GIF"), kPlenty);
    ASSERT_EQ(Finish(job), GifImportStatus::Loaded) << job.Error().toStdString();
    ASSERT_TRUE(job.Probed());
    const GifImportProbe& probe = job.Probe();
    EXPECT_EQ(probe.frameCount, 3);
    EXPECT_EQ(probe.width, 48);
    EXPECT_EQ(probe.height, 32);
    EXPECT_EQ(probe.bytesNeeded, 3u * 48 * 3 * 32); // 144-byte rows need no padding
}

TEST_F(GifImportTest, FilesThatCannotBeEditedAreRefusedWithTheReason) {
    const QString still = Path("still.gif");
    ASSERT_TRUE(Made("convert", {"-size", "20x10", "xc:green", still}));
    const QString text = Path("text.gif");
    ASSERT_TRUE(testing_support::WriteWholeFile(text, "GIF? not really"));
    const QString empty = Path("empty.gif");
    ASSERT_TRUE(testing_support::WriteWholeFile(empty, ""));
    const QString folder = Path("folder.gif");
    ASSERT_TRUE(QDir().mkpath(folder));

    const struct {
        QString path;
        const char* says;
    } cases[] = {
        {still, "still picture"},   {text, "not a GIF file"},
        {empty, "not a GIF file"},  {Path("missing.gif"), "No such file"},
        {folder, "Is a directory"},
    };
    for (const auto& c : cases) {
        GifImportJob job(c.path, kPlenty);
        EXPECT_EQ(Finish(job), GifImportStatus::Failed) << c.path.toStdString();
        EXPECT_TRUE(job.Error().contains(c.says)) << job.Error().toStdString();
        EXPECT_TRUE(job.Error().contains(c.path)) << job.Error().toStdString();
        EXPECT_TRUE(job.TakeFrames().empty());
    }
}

TEST_F(GifImportTest, AGifLargerThanTheBudgetIsRefusedSayingWhatItNeeds) {
    const QString gif = Long(40); // 40 frames of 320x240: 8.8 MiB at 24 bits
    GifImportJob refused(gif, 8 * 1024 * 1024);
    EXPECT_EQ(Finish(refused), GifImportStatus::Failed);
    EXPECT_FALSE(refused.Probed());
    EXPECT_TRUE(refused.Error().contains("9 MB")) << refused.Error().toStdString();
    EXPECT_TRUE(refused.Error().contains("at most 8 MB")) << refused.Error().toStdString();
    EXPECT_TRUE(refused.TakeFrames().empty());

    GifImportJob fits(gif, 9 * 1024 * 1024);
    EXPECT_EQ(Finish(fits), GifImportStatus::Loaded) << fits.Error().toStdString();
    EXPECT_EQ(fits.TakeFrames().size(), 40u);
}

TEST_F(GifImportTest, TheJobLoadsWhatTheLoaderComposes) {
    const QString gif = Animated("moving.gif");
    GifImportJob job(gif, kPlenty);
    ASSERT_EQ(Finish(job), GifImportStatus::Loaded) << job.Error().toStdString();
    EXPECT_TRUE(job.Probed());
    EXPECT_EQ(job.Progress(), 3);
    const FrameList frames = job.TakeFrames();
    FrameList expected;
    QString error;
    ASSERT_EQ(LoadGifFrames(gif, expected, error), GifLoadResult::Loaded);
    ASSERT_EQ(frames.size(), 3u);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i]->BitsPerPixel(), 24u);
        EXPECT_EQ(frames[i]->UserFlags(), 1u);
        EXPECT_TRUE(RgbBytes(*frames[i]) == RgbBytes(*expected[i])) << i;
    }
}

TEST_F(GifImportTest, ACancelledJobStopsAtTheNextFrameAndKeepsNothing) {
    const QString gif = Long(300);
    GifImportJob job(gif, kPlenty);
    job.Cancel(); // before it starts: it stops at its first frame
    EXPECT_EQ(Finish(job), GifImportStatus::Cancelled);
    EXPECT_LE(job.Progress(), 1);
    EXPECT_TRUE(job.TakeFrames().empty());

    // Cancelled while loading: it ends soon, whatever is left of the file.
    GifImportJob running(gif, kPlenty);
    running.Start();
    while (running.Progress() < 2 && running.Status() == GifImportStatus::Running)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    running.Cancel();
    running.Wait();
    if (running.Status() == GifImportStatus::Cancelled)
        EXPECT_LT(running.Progress(), 300);
    else
        EXPECT_EQ(running.Status(), GifImportStatus::Loaded); // a fast machine finished first
    // Destroying a running job cancels and waits for it.
    {
        GifImportJob dropped(gif, kPlenty);
        dropped.Start();
    }
}

} // namespace
