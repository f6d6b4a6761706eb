// The worker's message protocol, driven through posted messages with a fake
// screen: order of handling, what each message does to the frame list, and
// what the worker answers.

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>

#include "engine/gif_maker.h"
#include "fake_screen_source.h"
#include "message_recorder.h"
#include "test_rasterizer.h"

namespace {

class GifMakerProtocol : public ::testing::Test {
protected:
    void StartEngine(FakeScreenSource::Options options = {}) {
        maker_ = std::make_unique<CGifMaker>(FakeScreenSource::Factory(options, grabs_),
                                             TestTextRasterizer());
        maker_->SetNotifyWindow(&recorder_);
        ASSERT_TRUE(maker_->StartWorker());
    }

    void Post(int message, int64_t lParam = 0) {
        ASSERT_TRUE(maker_->PostToWorker(message, 0, lParam));
    }

    // Records until at least `frames` frames have come, then stops.
    void Record(int frames, int64_t periodMs = 1) {
        Post(WM_CAPTURE_START, periodMs);
        ASSERT_TRUE(recorder_.WaitFor(WM_FRAME_CAPTURED, frames));
        Post(WM_CAPTURE_STOP);
        ASSERT_TRUE(recorder_.WaitFor(WM_CAPTURE_STOPPED));
    }

    QString GifPath(const char* name = "out.gif") const { return dir_.filePath(name); }

    // The frame numbers carried by WM_FRAME_CAPTURED, in arrival order.
    std::vector<int64_t> CapturedCounts() const {
        std::vector<int64_t> counts;
        for (const auto& m : recorder_.messages) {
            if (m.message == WM_FRAME_CAPTURED)
                counts.push_back(m.lParam);
        }
        return counts;
    }

    static std::unique_ptr<CxImage> SolidFrame(uint32_t w, uint32_t h) {
        auto frame = std::make_unique<CxImage>();
        frame->Create(w, h, 24);
        frame->ClearPixels();
        frame->SetUserFlags(1);
        return frame;
    }

    QTemporaryDir dir_;
    MessageRecorder recorder_;
    FakeScreenSource::Counter grabs_ = std::make_shared<std::atomic<int32_t>>(0);
    std::unique_ptr<CGifMaker> maker_; // after the recorder: stopped before it goes
};

void ExpectConsecutiveFromOne(const std::vector<int64_t>& counts) {
    for (std::size_t i = 0; i < counts.size(); ++i)
        ASSERT_EQ(counts[i], int64_t(i) + 1) << "WM_FRAME_CAPTURED number " << i;
}

TEST_F(GifMakerProtocol, StartEmptiesTheListAndGrabsKeptFramesOfTheRectangle) {
    StartEngine();
    maker_->AppendFrame(SolidFrame(10, 10));
    maker_->AppendFrame(SolidFrame(10, 10));
    maker_->SetCaptureRect(100, 50, 140, 80);

    Record(3);

    const auto counts = CapturedCounts();
    ExpectConsecutiveFromOne(counts);
    ASSERT_EQ(maker_->FrameCount(), counts.back());
    const CaptureRect rect{100, 50, 140, 80};
    for (int32_t n = 1; n <= maker_->FrameCount(); ++n) {
        const CxImage* frame = maker_->GetFrame(n);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame->Width(), 40u);
        EXPECT_EQ(frame->Height(), 30u);
        EXPECT_EQ(frame->BitsPerPixel(), 24u);
        EXPECT_EQ(frame->Stride(), 120u);
        EXPECT_TRUE(maker_->IsKept(n));
        // Frame n is the n-th grab: the frames from before the start are gone.
        EXPECT_EQ(FakeScreenSource::GrabNumberOf(*frame, rect, 100, 50), n - 1);
        EXPECT_EQ(FakeScreenSource::GrabNumberOf(*frame, rect, 139, 79), n - 1);
    }
    // Nothing is grabbed after the stop.
    const int grabbed = *grabs_;
    QTest::qWait(50);
    EXPECT_EQ(*grabs_, grabbed);
    EXPECT_EQ(recorder_.messages.back().message, WM_CAPTURE_STOPPED);
}

TEST_F(GifMakerProtocol, PeriodZeroClearsTheListAndGrabsNothing) {
    StartEngine();
    maker_->AppendFrame(SolidFrame(8, 8));
    Post(WM_CAPTURE_START, 0);
    QTest::qWait(150);
    Post(WM_CAPTURE_STOP);
    ASSERT_TRUE(recorder_.WaitFor(WM_CAPTURE_STOPPED));
    EXPECT_EQ(maker_->FrameCount(), 0);
    EXPECT_EQ(recorder_.Count(WM_FRAME_CAPTURED), 0);
    EXPECT_EQ(*grabs_, 0);
}

TEST_F(GifMakerProtocol, FailedGrabsPostNothingAndAreNotCounted) {
    FakeScreenSource::Options options;
    options.failEvery = 3;
    StartEngine(options);
    maker_->SetCaptureRect(0, 0, 16, 16);
    Record(6);
    const auto counts = CapturedCounts();
    ExpectConsecutiveFromOne(counts);
    EXPECT_EQ(maker_->FrameCount(), counts.back());
    EXPECT_EQ(*grabs_, counts.back());
}

TEST_F(GifMakerProtocol, StopPostedBeforeBuildIsHandledFirst) {
    StartEngine();
    maker_->SetCaptureRect(0, 0, 64, 48);
    Post(WM_CAPTURE_START, 1);
    ASSERT_TRUE(recorder_.WaitFor(WM_FRAME_CAPTURED, 3));
    maker_->SetGifParams(20, 1.0f, GifPath().toStdString());
    Post(WM_CAPTURE_STOP);
    Post(WM_MAKE_GIF, 1);
    ASSERT_TRUE(recorder_.WaitFor(WM_GIF_DONE));

    const int stopped = recorder_.IndexOf(WM_CAPTURE_STOPPED);
    const int firstProgress = recorder_.IndexOf(WM_GIF_PROGRESS);
    ASSERT_GE(stopped, 0);
    ASSERT_GT(firstProgress, stopped);
    EXPECT_EQ(recorder_.IndexOf(WM_FRAME_CAPTURED, stopped), -1);
    const auto counts = CapturedCounts();
    const RecordedMessage* done = recorder_.Last(WM_GIF_DONE);
    EXPECT_EQ(int64_t(done->wParam), counts.back());
    EXPECT_EQ(done->lParam, (64 << 16) + 48);

    // Progress never goes back and ends with 95 then 100 just before the end.
    int last = -1;
    std::vector<int64_t> progress;
    for (const auto& m : recorder_.messages) {
        if (m.message == WM_GIF_PROGRESS) {
            EXPECT_GE(m.lParam, last);
            last = int(m.lParam);
            progress.push_back(m.lParam);
        }
    }
    ASSERT_GE(progress.size(), 2u);
    EXPECT_EQ(progress.back(), 100);
    EXPECT_EQ(recorder_.messages.back().message, WM_GIF_DONE);
    EXPECT_EQ(recorder_.messages[recorder_.messages.size() - 2].lParam, 100);

    QImageReader reader(GifPath(), "gif");
    EXPECT_GE(reader.imageCount(), 1);
    EXPECT_EQ(reader.size(), QSize(64, 48));
    // The recording stays for the next build.
    EXPECT_EQ(maker_->FrameCount(), counts.back());
}

TEST_F(GifMakerProtocol, NoTickIsHandledWhileBuilding) {
    StartEngine();
    maker_->SetCaptureRect(0, 0, 320, 240);
    maker_->SetGifParams(20, 1.0f, GifPath().toStdString());
    Post(WM_CAPTURE_START, 1);
    ASSERT_TRUE(recorder_.WaitFor(WM_FRAME_CAPTURED, 15));
    // A build while recording: ticks keep coming but wait for the build.
    Post(WM_MAKE_GIF, 0);
    ASSERT_TRUE(recorder_.WaitFor(WM_GIF_DONE));
    ASSERT_TRUE(recorder_.WaitFor(WM_FRAME_CAPTURED, recorder_.Count(WM_FRAME_CAPTURED) + 1));
    Post(WM_CAPTURE_STOP);
    ASSERT_TRUE(recorder_.WaitFor(WM_CAPTURE_STOPPED));

    const int buildStart = recorder_.IndexOf(WM_GIF_PROGRESS);
    const int buildEnd = recorder_.IndexOf(WM_GIF_DONE);
    ASSERT_GE(buildStart, 0);
    const int capturedInside = recorder_.IndexOf(WM_FRAME_CAPTURED, std::size_t(buildStart));
    EXPECT_TRUE(capturedInside == -1 || capturedInside > buildEnd);
    // The build took exactly the frames grabbed before it, and the recording
    // went on counting afterwards.
    int before = 0;
    for (int i = 0; i < buildStart; ++i)
        before += recorder_.messages[std::size_t(i)].message == WM_FRAME_CAPTURED;
    EXPECT_EQ(int(recorder_.messages[std::size_t(buildEnd)].wParam), before);
    ExpectConsecutiveFromOne(CapturedCounts());
}

TEST_F(GifMakerProtocol, EmptyListGivesOnlyGifDoneWithZeroAndNoFile) {
    StartEngine();
    maker_->SetCaptureRect(0, 0, 400, 300);
    maker_->SetGifParams(20, 0.7f, GifPath().toStdString());
    Post(WM_MAKE_GIF, 1);
    ASSERT_TRUE(recorder_.WaitFor(WM_GIF_DONE));
    QTest::qWait(20);
    ASSERT_EQ(recorder_.messages.size(), 1u);
    EXPECT_EQ(recorder_.messages[0].wParam, 0u);
    EXPECT_EQ(recorder_.messages[0].lParam, (279 << 16) + 209);
    EXPECT_EQ(GifWidthOf(recorder_.messages[0].lParam), 279);
    EXPECT_EQ(GifHeightOf(recorder_.messages[0].lParam), 209);
    EXPECT_FALSE(QFileInfo::exists(GifPath()));
}

TEST_F(GifMakerProtocol, AllFramesDroppedGivesGifDoneWithZeroAndNoFile) {
    StartEngine();
    maker_->SetCaptureRect(0, 0, 32, 32);
    Record(3);
    for (int32_t n = 1; n <= maker_->FrameCount(); ++n)
        maker_->SetKept(n, false);
    maker_->SetGifParams(20, 1.0f, GifPath().toStdString());
    const std::size_t from = recorder_.messages.size();
    Post(WM_MAKE_GIF, 1);
    ASSERT_TRUE(recorder_.WaitFor(WM_GIF_DONE));
    for (std::size_t i = from; i < recorder_.messages.size(); ++i) {
        if (recorder_.messages[i].message == WM_GIF_PROGRESS) {
            EXPECT_LT(recorder_.messages[i].lParam, 60);
        }
    }
    EXPECT_EQ(recorder_.Last(WM_GIF_DONE)->wParam, 0u);
    EXPECT_FALSE(QFileInfo::exists(GifPath()));
}

TEST_F(GifMakerProtocol, KeptFramesOnlyGoIntoTheGif) {
    StartEngine();
    maker_->SetCaptureRect(0, 0, 32, 24);
    Record(4);
    const int32_t total = maker_->FrameCount();
    maker_->SetKept(2, false);
    maker_->SetGifParams(10, 0.5f, GifPath().toStdString());
    Post(WM_MAKE_GIF, 0);
    ASSERT_TRUE(recorder_.WaitFor(WM_GIF_DONE));
    const RecordedMessage* done = recorder_.Last(WM_GIF_DONE);
    EXPECT_EQ(int32_t(done->wParam), total - 1);
    EXPECT_EQ(done->lParam, (16 << 16) + 12);
    EXPECT_EQ(QImageReader(GifPath(), "gif").size(), QSize(16, 12));
    // The dropped frame keeps its place.
    EXPECT_EQ(maker_->FrameCount(), total);
    EXPECT_FALSE(maker_->IsKept(2));
}

TEST_F(GifMakerProtocol, QuitAfterAPostedStopStillHandlesTheStop) {
    // Repeated because losing the stop depends on timing.
    for (int round = 0; round < 10; ++round) {
        recorder_.messages.clear();
        StartEngine();
        maker_->SetCaptureRect(0, 0, 16, 16);
        Post(WM_CAPTURE_START, 1);
        ASSERT_TRUE(recorder_.WaitFor(WM_FRAME_CAPTURED));
        Post(WM_CAPTURE_STOP);
        maker_->StopWorker();
        QCoreApplication::sendPostedEvents(&recorder_);
        ASSERT_EQ(recorder_.Count(WM_CAPTURE_STOPPED), 1) << "round " << round;
        EXPECT_EQ(recorder_.messages.back().message, WM_CAPTURE_STOPPED);
        // The worker empties the frame list when it ends.
        EXPECT_EQ(maker_->FrameCount(), 0);
        EXPECT_FALSE(maker_->WorkerRunning());
    }
}

TEST_F(GifMakerProtocol, WorkerCanBeStartedAgainAfterStopping) {
    StartEngine();
    maker_->StopWorker();
    EXPECT_FALSE(maker_->PostToWorker(WM_CAPTURE_START, 0, 1));
    ASSERT_TRUE(maker_->StartWorker());
    maker_->SetCaptureRect(0, 0, 8, 8);
    Record(2);
    ExpectConsecutiveFromOne(CapturedCounts());
}

TEST_F(GifMakerProtocol, MemoryBudgetStopsTheRecordingAndKeepsItsFrames) {
    StartEngine();
    maker_->SetCaptureRect(0, 0, 100, 100);
    const uint64_t frameBytes = 40 + 300 * 100;
    maker_->SetMemoryBudget(5 * frameBytes + frameBytes / 2);

    // No stop is posted: the budget ends the recording, and says so.
    Post(WM_CAPTURE_START, 1);
    ASSERT_TRUE(recorder_.WaitFor(WM_CAPTURE_STOPPED));
    EXPECT_EQ(recorder_.Last(WM_CAPTURE_STOPPED)->wParam, uint64_t(kStopMemoryBudget));
    EXPECT_EQ(maker_->FrameCount(), 5);
    EXPECT_EQ(recorder_.Count(WM_FRAME_CAPTURED), 5);
    const int grabbed = *grabs_;
    QTest::qWait(50);
    EXPECT_EQ(*grabs_, grabbed);
    EXPECT_EQ(recorder_.messages.back().message, WM_CAPTURE_STOPPED);

    // What was recorded is built.
    maker_->SetGifParams(20, 1.0f, GifPath().toStdString());
    Post(WM_MAKE_GIF, 0);
    ASSERT_TRUE(recorder_.WaitFor(WM_GIF_DONE));
    EXPECT_EQ(recorder_.Last(WM_GIF_DONE)->wParam, 5u);
    EXPECT_EQ(QImageReader(GifPath(), "gif").size(), QSize(100, 100));

    // A new recording starts with the whole budget again.
    Post(WM_CAPTURE_START, 1);
    ASSERT_TRUE(recorder_.WaitFor(WM_CAPTURE_STOPPED, 2));
    EXPECT_EQ(maker_->FrameCount(), 5);
}

// A display that goes away mid-recording ends it at once, keeping the frames
// so far, instead of failing grab after grab until the user stops it; a grab
// that fails now and then does not.
TEST_F(GifMakerProtocol, ADisplayThatGoesAwayEndsTheRecordingAndKeepsItsFrames) {
    FakeScreenSource::Options options;
    options.lostAfter = 4;
    options.failEvery = 3;
    StartEngine(options);
    maker_->SetCaptureRect(0, 0, 20, 10);
    Post(WM_CAPTURE_START, 1);
    ASSERT_TRUE(recorder_.WaitFor(WM_CAPTURE_STOPPED));
    EXPECT_EQ(recorder_.Last(WM_CAPTURE_STOPPED)->wParam, uint64_t(kStopDisplayLost));
    EXPECT_EQ(maker_->FrameCount(), 4);
    QTest::qWait(30);
    EXPECT_EQ(recorder_.Count(WM_CAPTURE_STOPPED), 1);

    maker_->SetGifParams(20, 1.0f, GifPath().toStdString());
    Post(WM_MAKE_GIF, 0);
    ASSERT_TRUE(recorder_.WaitFor(WM_GIF_DONE));
    EXPECT_EQ(recorder_.Last(WM_GIF_DONE)->wParam, 4u);
}

TEST_F(GifMakerProtocol, AStopAskedForSaysSo) {
    StartEngine();
    maker_->SetCaptureRect(0, 0, 8, 8);
    Record(2);
    EXPECT_EQ(recorder_.Last(WM_CAPTURE_STOPPED)->wParam, uint64_t(kStopRequested));
}

TEST_F(GifMakerProtocol, BudgetSmallerThanOneFrameRecordsNothing) {
    StartEngine();
    maker_->SetCaptureRect(0, 0, 100, 100);
    maker_->SetMemoryBudget(1000);
    Post(WM_CAPTURE_START, 1);
    ASSERT_TRUE(recorder_.WaitFor(WM_CAPTURE_STOPPED));
    EXPECT_EQ(maker_->FrameCount(), 0);
    EXPECT_EQ(recorder_.Count(WM_FRAME_CAPTURED), 0);
}

TEST_F(GifMakerProtocol, LongOutputPathIsKeptWhole) {
    // A path cut at 255 characters would put the GIF somewhere else.
    QString folder = dir_.path();
    while (folder.size() < 300)
        folder += "/" + QString(60, QChar('d'));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + "/recording.gif";
    StartEngine();
    maker_->SetCaptureRect(0, 0, 20, 20);
    Record(2);
    maker_->SetGifParams(20, 1.0f, path.toStdString());
    EXPECT_EQ(maker_->OutputPath(), path.toStdString());
    Post(WM_MAKE_GIF, 0);
    ASSERT_TRUE(recorder_.WaitFor(WM_GIF_DONE));
    EXPECT_TRUE(QImageReader(path, "gif").canRead());
}

TEST_F(GifMakerProtocol, SecondStartReplacesTheTimerInsteadOfAddingOne) {
    StartEngine();
    maker_->SetCaptureRect(0, 0, 8, 8);
    Post(WM_CAPTURE_START, 1);
    ASSERT_TRUE(recorder_.WaitFor(WM_FRAME_CAPTURED, 2));
    // The first tick of a one-minute timer is a minute away: a timer left
    // over from the first start would go on grabbing meanwhile.
    Post(WM_CAPTURE_START, 60000);
    Post(WM_CAPTURE_STOP);
    ASSERT_TRUE(recorder_.WaitFor(WM_CAPTURE_STOPPED));
    Post(WM_CAPTURE_START, 60000);
    QTest::qWait(300);
    EXPECT_EQ(maker_->FrameCount(), 0);
    EXPECT_EQ(
        recorder_.IndexOf(WM_FRAME_CAPTURED, std::size_t(recorder_.IndexOf(WM_CAPTURE_STOPPED))),
        -1);
}

TEST_F(GifMakerProtocol, FailedWriteStillEndsWithNinetyFiveHundredAndDone) {
    StartEngine();
    maker_->SetCaptureRect(0, 0, 24, 16);
    Record(2);
    const QString path = dir_.filePath(QStringLiteral("no/such/folder/out.gif"));
    maker_->SetGifParams(20, 1.0f, path.toStdString());
    const std::size_t from = recorder_.messages.size();
    Post(WM_MAKE_GIF, 1);
    ASSERT_TRUE(recorder_.WaitFor(WM_GIF_DONE));
    std::vector<int64_t> progress;
    for (std::size_t i = from; i < recorder_.messages.size(); ++i) {
        if (recorder_.messages[i].message == WM_GIF_PROGRESS)
            progress.push_back(recorder_.messages[i].lParam);
    }
    ASSERT_GE(progress.size(), 2u);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_NE(std::find(progress.begin(), progress.end(), 95), progress.end());
    EXPECT_EQ(progress.back(), 100);
    EXPECT_EQ(int32_t(recorder_.Last(WM_GIF_DONE)->wParam), maker_->FrameCount());
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST_F(GifMakerProtocol, FrameRateBelowOneStillBuildsAGif) {
    StartEngine();
    maker_->SetCaptureRect(0, 0, 24, 16);
    Record(2);
    maker_->SetGifParams(0, 1.0f, GifPath().toStdString());
    Post(WM_MAKE_GIF, 0);
    ASSERT_TRUE(recorder_.WaitFor(WM_GIF_DONE));
    EXPECT_EQ(QImageReader(GifPath(), "gif").size(), QSize(24, 16));
}

} // namespace
