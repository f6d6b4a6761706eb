#include "app/capture_controller.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "app/capture_app.h"
#include "controller_fakes.h"
#include "engine/engine_messages.h"
#include "env_guard.h"
#include "test_files.h"

namespace {

enum class Command { Capture, Gif, Subtitle, DropOne, DropTwo, Open };

const char* Name(Command c) {
    switch (c) {
    case Command::Capture:
        return "Capture";
    case Command::Gif:
        return "GIF";
    case Command::Subtitle:
        return "Subtitle";
    case Command::DropOne:
        return "one file dropped";
    case Command::DropTwo:
        return "two files dropped";
    case Command::Open:
        return "Modify Existing GIF";
    }
    return "?";
}

class ControllerTest : public ::testing::Test {
protected:
    ControllerTest() {
        env_.Set("APPDATA", appData_.path().toUtf8());
        Restart();
    }
    ~ControllerTest() override { DropController(); }

    void DropController() {
        if (controller_)
            QFile::remove(controller_->GifPath()); // the reserved temporary file
        controller_.reset();
    }

    // A new application object and controller, as after a program restart.
    void Restart() {
        DropController();
        app_ = std::make_unique<CCaptureApp>();
        log_ = EngineLog{};
        view_ = FakeView{};
        controller_ =
            std::make_unique<CaptureController>(*app_, std::make_unique<FakeEngine>(log_), view_);
        controller_->Initialise(&notify_);
    }

    void Reply(int message, uint64_t wParam = 0, int64_t lParam = 0) {
        const EngineMessage event(message, wParam, lParam);
        ASSERT_TRUE(controller_->HandleEngineMessage(&event));
    }

    void Enter(CaptureState state) {
        switch (state) {
        case CaptureState::Idle:
            break;
        case CaptureState::Capturing:
            controller_->OnCapture();
            break;
        case CaptureState::Captured:
            controller_->OnCapture();
            Reply(WM_CAPTURE_STOPPED);
            break;
        case CaptureState::Creating:
            Enter(CaptureState::Captured);
            controller_->OnMakeGif();
            break;
        }
        ASSERT_EQ(controller_->State(), state);
        log_.posted.clear();
        log_.calls.clear();
    }

    void Run(Command command) {
        switch (command) {
        case Command::Capture:
            controller_->OnCapture();
            break;
        case Command::Gif:
            controller_->OnMakeGif();
            break;
        case Command::Subtitle:
            controller_->OnSubtitle();
            break;
        case Command::DropOne:
            controller_->OnFilesDropped({"/tmp/a.gif"});
            break;
        case Command::DropTwo:
            controller_->OnFilesDropped({"/tmp/a.gif", "/tmp/b.gif"});
            break;
        case Command::Open:
            controller_->OpenForEditing("/tmp/a.gif");
            break;
        }
    }

    std::vector<int> PostedMessages() const {
        std::vector<int> out;
        for (const Posted& p : log_.posted)
            out.push_back(p.message);
        return out;
    }

    QTemporaryDir appData_;
    EnvGuard env_;
    QObject notify_;
    std::unique_ptr<CCaptureApp> app_;
    EngineLog log_;
    FakeView view_;
    std::unique_ptr<CaptureController> controller_;
};

} // namespace

TEST_F(ControllerTest, StartsIdleWithNoRectangleYetAndAWorker) {
    EXPECT_EQ(controller_->State(), CaptureState::Idle);
    // The window's frame hands over the first rectangle.
    EXPECT_EQ(controller_->GetCaptureRect(), CaptureRect{});
    EXPECT_EQ(controller_->FrameCount(), 0);
    EXPECT_FALSE(controller_->BlinkOn());
    EXPECT_EQ(log_.notify, &notify_);
    EXPECT_EQ(log_.calls, std::vector<std::string>{"start"});
    // Settings were read: a fresh user gets the key defaults.
    EXPECT_EQ(app_->Settings().captureRate, 20);
}

TEST_F(ControllerTest, CommandsFollowTheStateTable) {
    using S = CaptureState;
    using C = Command;
    struct Row {
        S from;
        C command;
        S to;
        std::vector<int> posted;
        bool imports;
        bool editor;
    };
    const Row rows[] = {
        {S::Idle, C::Capture, S::Capturing, {WM_CAPTURE_START}, false, false},
        {S::Idle, C::Gif, S::Idle, {}, false, false},
        {S::Idle, C::Subtitle, S::Idle, {}, false, false},
        {S::Idle, C::DropOne, S::Captured, {}, true, true},
        {S::Idle, C::DropTwo, S::Idle, {}, false, false},
        {S::Idle, C::Open, S::Captured, {}, true, true},
        {S::Capturing, C::Capture, S::Capturing, {WM_CAPTURE_STOP}, false, false},
        {S::Capturing, C::Gif, S::Creating, {WM_CAPTURE_STOP, WM_MAKE_GIF}, false, false},
        {S::Capturing, C::Subtitle, S::Capturing, {}, false, false},
        {S::Capturing, C::DropOne, S::Capturing, {}, false, false},
        {S::Capturing, C::Open, S::Capturing, {}, false, false},
        {S::Captured, C::Capture, S::Capturing, {WM_CAPTURE_START}, false, false},
        {S::Captured, C::Gif, S::Creating, {WM_MAKE_GIF}, false, false},
        {S::Captured, C::Subtitle, S::Captured, {}, false, true},
        {S::Captured, C::DropOne, S::Captured, {}, true, true},
        {S::Captured, C::DropTwo, S::Captured, {}, false, false},
        {S::Captured, C::Open, S::Captured, {}, true, true},
        {S::Creating, C::Capture, S::Creating, {}, false, false},
        {S::Creating, C::Gif, S::Creating, {}, false, false},
        {S::Creating, C::Subtitle, S::Creating, {}, false, false},
        {S::Creating, C::DropOne, S::Creating, {}, false, false},
        {S::Creating, C::Open, S::Creating, {}, false, false},
    };
    for (const Row& row : rows) {
        Restart();
        Enter(row.from);
        log_.hasFrames = true;
        view_.importResult = 7;
        Run(row.command);
        const std::string what = std::string(Name(row.command)) + " in state " +
                                 std::to_string(static_cast<int>(row.from));
        EXPECT_EQ(controller_->State(), row.to) << what;
        EXPECT_EQ(PostedMessages(), row.posted) << what;
        EXPECT_EQ(view_.imports.size(), row.imports ? 1 : 0) << what;
        EXPECT_EQ(view_.editorRuns.size(), row.editor ? 1u : 0u) << what;
    }
}

TEST_F(ControllerTest, WorkerRepliesMoveTheState) {
    using S = CaptureState;
    const struct {
        S from;
        int message;
        S to;
    } rows[] = {
        {S::Idle, WM_CAPTURE_STOPPED, S::Captured},
        {S::Capturing, WM_CAPTURE_STOPPED, S::Captured},
        {S::Captured, WM_CAPTURE_STOPPED, S::Captured},
        // A build is queued behind the stop: it keeps the state (see below).
        {S::Creating, WM_CAPTURE_STOPPED, S::Creating},
        {S::Idle, WM_GIF_PROGRESS, S::Creating},
        {S::Captured, WM_GIF_PROGRESS, S::Creating},
        {S::Capturing, WM_GIF_DONE, S::Captured},
        {S::Creating, WM_GIF_DONE, S::Captured},
    };
    for (const auto& row : rows) {
        Restart();
        Enter(row.from);
        Reply(row.message);
        EXPECT_EQ(controller_->State(), row.to)
            << row.message << " in state " << static_cast<int>(row.from);
    }
}

TEST_F(ControllerTest, CaptureSendsRectangleAndPeriodOfTheRate) {
    const struct {
        int32_t rate;
        int64_t period;
    } rows[] = {{20, 50}, {15, 66}, {10, 100}, {5, 200}, {1, 1000}};
    for (const auto& row : rows) {
        Restart();
        app_->Settings().captureRate = row.rate;
        controller_->SetCaptureRect({105, 68, 405, 318});
        controller_->OnCapture();
        ASSERT_EQ(log_.posted.size(), 1u);
        EXPECT_EQ(log_.posted[0], (Posted{WM_CAPTURE_START, 0, row.period})) << row.rate;
        EXPECT_EQ(log_.rect, (CaptureRect{105, 68, 405, 318}));
        EXPECT_TRUE(view_.captureOn);
    }
}

TEST_F(ControllerTest, CaptureThreeTimesRestartsAndDropsSubtitlesAtTheStop) {
    controller_->OnCapture();
    EXPECT_TRUE(view_.captureOn);
    controller_->OnCapture();
    EXPECT_FALSE(view_.captureOn);
    EXPECT_EQ(controller_->State(), CaptureState::Capturing); // until the worker confirms
    EXPECT_EQ(log_.subtitleClears, 0);
    Reply(WM_CAPTURE_STOPPED);
    EXPECT_EQ(controller_->State(), CaptureState::Captured);
    EXPECT_EQ(log_.subtitleClears, 1);
    controller_->OnCapture();
    EXPECT_EQ(PostedMessages(),
              (std::vector<int>{WM_CAPTURE_START, WM_CAPTURE_STOP, WM_CAPTURE_START}));
    EXPECT_EQ(controller_->State(), CaptureState::Capturing);
}

TEST_F(ControllerTest, StopByTheWorkerItselfResetsTheCaptureButton) {
    controller_->OnCapture();
    Reply(WM_CAPTURE_STOPPED); // e.g. the memory limit was reached
    EXPECT_FALSE(view_.captureOn);
    EXPECT_EQ(controller_->State(), CaptureState::Captured);
}

TEST(BlinkRule, LitDuringTheFirst300MsOfEvery600) {
    const struct {
        int64_t frames;
        int32_t rate;
        bool lit;
    } rows[] = {
        {0, 10, true}, {2, 10, true},  {3, 10, false}, {5, 10, false}, {6, 10, true},
        {4, 15, true}, {5, 15, false}, {9, 15, true},  {1, 1, false},  {0, 1, true},
        {5, 20, true}, {6, 20, false}, {12, 20, true}, {1, 0, false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CaptureController::BlinkOnAt(row.frames, row.rate), row.lit)
            << row.frames << " frames at " << row.rate;
}

TEST_F(ControllerTest, FrameCapturedSetsCountAndMarks) {
    app_->Settings().captureRate = 10;
    controller_->OnCapture();
    Reply(WM_FRAME_CAPTURED, 0, 2);
    EXPECT_EQ(controller_->FrameCount(), 2);
    EXPECT_TRUE(controller_->BlinkOn());
    Reply(WM_FRAME_CAPTURED, 0, 3);
    EXPECT_EQ(controller_->FrameCount(), 3);
    EXPECT_FALSE(controller_->BlinkOn());
    Reply(WM_FRAME_CAPTURED, 0, 6);
    EXPECT_TRUE(controller_->BlinkOn());
    EXPECT_EQ(view_.frameRepaints, 3);
    Reply(WM_CAPTURE_STOPPED);
    EXPECT_FALSE(controller_->BlinkOn());
    EXPECT_EQ(controller_->FrameCount(), 6);
}

TEST(TempGifName, HasTheTimeDateAndRandomPattern) {
    const QDateTime t(QDate(2026, 3, 27), QTime(14, 5, 9));
    EXPECT_EQ(CaptureController::TempGifName(t, 12345), "14-5-9-3-27-12345.gif");
}

TEST_F(ControllerTest, GifBuildChoosesANewTemporaryFileAndDeletesTheLast) {
    app_->Settings().gifRate = 10;
    app_->Settings().scalePercent = 70;
    app_->Settings().highQuality = false;
    Enter(CaptureState::Captured);
    controller_->OnMakeGif();
    const QString first = controller_->GifPath();
    const QFileInfo info(first);
    EXPECT_EQ(info.absolutePath(), QFileInfo(QDir::tempPath()).absoluteFilePath());
    EXPECT_TRUE(QRegularExpression(R"(^\d{1,2}-\d{1,2}-\d{1,2}-\d{1,2}-\d{1,2}-\d+\.gif$)")
                    .match(info.fileName())
                    .hasMatch())
        << info.fileName().toStdString();
    EXPECT_TRUE(info.exists()); // reserved for the worker
    EXPECT_EQ(log_.gifPath, first);
    EXPECT_EQ(log_.gifRate, 10);
    EXPECT_EQ(log_.scale, 0.7f);
    EXPECT_EQ(log_.posted.back(), (Posted{WM_MAKE_GIF, 0, 0}));

    Reply(WM_GIF_DONE, 4, PackGifSize(210, 175));
    app_->Settings().highQuality = true;
    controller_->OnMakeGif();
    EXPECT_NE(controller_->GifPath(), first);
    EXPECT_FALSE(QFile::exists(first));
    EXPECT_EQ(log_.posted.back(), (Posted{WM_MAKE_GIF, 0, 1}));
}

TEST_F(ControllerTest, GifDuringRecordingStopsFirstAndKeepsCreating) {
    controller_->OnCapture();
    log_.calls.clear();
    controller_->OnMakeGif();
    EXPECT_EQ(log_.calls, (std::vector<std::string>{"post 1235", "clear subtitles", "post 1236"}));
    EXPECT_EQ(controller_->State(), CaptureState::Creating);
    // The worker answers the stop before it builds: the build is still running,
    // so neither the state nor the subtitle list (read by the worker) changes.
    Reply(WM_CAPTURE_STOPPED);
    EXPECT_EQ(controller_->State(), CaptureState::Creating);
    EXPECT_EQ(log_.subtitleClears, 1);
    controller_->OnMakeGif(); // still refused
    controller_->OnSubtitle();
    EXPECT_TRUE(view_.editorRuns.empty());
    Reply(WM_GIF_PROGRESS, 0, 30);
    EXPECT_EQ(view_.percent, 30);
    Reply(WM_GIF_DONE, 3, PackGifSize(300, 250));
    EXPECT_EQ(controller_->State(), CaptureState::Captured);
    const std::vector<int> posted = PostedMessages();
    EXPECT_EQ(std::count(posted.begin(), posted.end(), WM_MAKE_GIF), 1);
}

// A recording the worker ends by itself tells the user why, and keeps its
// frames; one the user stopped says nothing.
TEST_F(ControllerTest, ARecordingThatEndsByItselfSaysWhy) {
    struct Case {
        uint64_t reason;
        const char* says; // nothing when empty
    };
    for (const Case& c : {Case{kStopRequested, ""}, Case{kStopDisplayLost, "display went away"},
                          Case{kStopMemoryBudget, "memory limit of 1024 MB"}}) {
        SCOPED_TRACE(c.reason);
        Restart();
        controller_->OnCapture();
        Reply(WM_FRAME_CAPTURED, 0, 7);
        Reply(WM_CAPTURE_STOPPED, c.reason);
        EXPECT_EQ(controller_->State(), CaptureState::Captured);
        EXPECT_FALSE(view_.captureOn);
        if (*c.says == 0) {
            EXPECT_TRUE(view_.messages.isEmpty());
            continue;
        }
        ASSERT_EQ(view_.messages.size(), 1);
        EXPECT_TRUE(view_.messages[0].contains(c.says)) << view_.messages[0].toStdString();
        EXPECT_TRUE(view_.messages[0].contains("after 7 frames"))
            << view_.messages[0].toStdString();
    }
}

TEST_F(ControllerTest, GifDoneShowsTheFileWithItsNumbers) {
    Enter(CaptureState::Creating);
    ASSERT_TRUE(testing_support::WriteWholeFile(controller_->GifPath(), QByteArray(3072, 'G')));
    Reply(WM_GIF_PROGRESS, 0, 95);
    Reply(WM_GIF_DONE, 25, PackGifSize(279, 209));
    ASSERT_TRUE(view_.shown.has_value());
    EXPECT_EQ(view_.shown->path, controller_->GifPath());
    EXPECT_EQ(view_.shown->frames, 25);
    EXPECT_EQ(view_.shown->width, 279);
    EXPECT_EQ(view_.shown->height, 209);
    EXPECT_FLOAT_EQ(view_.shown->kb, 3.0f);
    EXPECT_FALSE(controller_->BlinkOn());
}

// A build that wrote no file is not shown as a finished GIF: the user is told
// why instead of getting an empty preview.
TEST_F(ControllerTest, ABuildWithoutAFileSaysWhyInsteadOfShowingIt) {
    struct Case {
        uint64_t prepared;
        const char* expected;
    };
    for (const Case& c : {Case{0, kNoKeptFrames}, Case{4, kGifNotWritten}}) {
        SCOPED_TRACE(c.prepared);
        view_.messages.clear();
        view_.shown.reset();
        Enter(CaptureState::Creating);
        ASSERT_EQ(QFileInfo(controller_->GifPath()).size(), 0);
        Reply(WM_GIF_DONE, c.prepared, PackGifSize(0, 0));
        EXPECT_FALSE(view_.shown.has_value());
        ASSERT_EQ(view_.messages.size(), 1);
        const QString expected = c.prepared == 0
                                     ? QString::fromUtf8(c.expected)
                                     : QString::fromUtf8(c.expected).arg(controller_->GifPath());
        EXPECT_EQ(view_.messages[0], expected);
        EXPECT_EQ(controller_->State(), CaptureState::Captured);
    }
}

TEST(GetFileSizeKB, IsBytesOver1024OrZero) {
    QTemporaryDir dir;
    const QString path = dir.filePath("x.gif");
    EXPECT_EQ(GetFileSizeKB(path), 0.0f);
    EXPECT_EQ(GetFileSizeKB(QString()), 0.0f);
    ASSERT_TRUE(testing_support::WriteWholeFile(path, QByteArray(1536, 'x')));
    EXPECT_FLOAT_EQ(GetFileSizeKB(path), 1.5f);
}

TEST_F(ControllerTest, CloseDuringBuildIsRefusedWithTheMessage) {
    Enter(CaptureState::Creating);
    const QString gif = controller_->GifPath();
    EXPECT_FALSE(controller_->RequestClose());
    EXPECT_EQ(view_.messages, QStringList{"Creating GIF now, please wait.."});
    EXPECT_EQ(controller_->State(), CaptureState::Creating);
    EXPECT_TRUE(log_.calls.empty()); // worker untouched
    EXPECT_FALSE(QFile::exists(appData_.filePath("didoro.ini")));

    Reply(WM_GIF_DONE, 1, PackGifSize(10, 10));
    EXPECT_TRUE(controller_->RequestClose());
    EXPECT_EQ(log_.calls, std::vector<std::string>{"stop"});
    EXPECT_TRUE(QFile::exists(appData_.filePath("didoro.ini")));
    EXPECT_FALSE(QFile::exists(gif));
}

TEST_F(ControllerTest, CloseWhileRecordingStopsItBeforeTheWorkerEnds) {
    controller_->OnCapture();
    log_.calls.clear();
    EXPECT_TRUE(controller_->RequestClose());
    EXPECT_EQ(log_.calls, (std::vector<std::string>{"post 1235", "stop"}));
    EXPECT_TRUE(QFile::exists(appData_.filePath("didoro.ini")));
}

TEST_F(ControllerTest, CloseWithoutAnyGifClosesNormally) {
    EXPECT_TRUE(controller_->GifPath().isEmpty());
    EXPECT_TRUE(controller_->RequestClose());
    EXPECT_EQ(log_.calls, (std::vector<std::string>{"start", "stop"}));
}

TEST_F(ControllerTest, CommandsTheWorkerCannotTakeLeaveTheStateAlone) {
    log_.refusePosts = true;
    controller_->OnCapture();
    EXPECT_EQ(controller_->State(), CaptureState::Idle);
    log_.refusePosts = false;
    Enter(CaptureState::Captured);
    log_.refusePosts = true;
    controller_->OnMakeGif();
    // Never stuck in Creating, where closing would be refused for ever.
    EXPECT_EQ(controller_->State(), CaptureState::Captured);
    EXPECT_TRUE(controller_->RequestClose());
}

TEST_F(ControllerTest, OpenForEditing) {
    // A failed or cancelled import changes nothing: no state, no count, no
    // subtitles dropped, no editor.
    view_.importResult = std::nullopt;
    log_.hasFrames = true;
    controller_->OpenForEditing("/nowhere/broken.gif");
    EXPECT_EQ(controller_->State(), CaptureState::Idle);
    EXPECT_EQ(controller_->FrameCount(), 0);
    EXPECT_EQ(log_.subtitleClears, 0);
    EXPECT_TRUE(view_.editorRuns.empty());

    // A good one sets the frame count, drops old subtitles and opens the editor.
    view_.importResult = 12;
    controller_->OpenForEditing("/tmp/good.gif");
    EXPECT_EQ(controller_->FrameCount(), 12);
    EXPECT_EQ(view_.editorRuns, std::vector<int32_t>{12});
    EXPECT_EQ(log_.subtitleClears, 1);

    // Imported but no frames in the list: no editor.
    log_.hasFrames = false;
    controller_->OpenForEditing("/tmp/good.gif");
    EXPECT_EQ(view_.editorRuns.size(), 1u);
}

TEST_F(ControllerTest, LongDroppedPathsArePassedWhole) {
    const QString path = "/tmp/" + QString(300, 'p') + ".gif";
    controller_->OnFilesDropped({path});
    EXPECT_EQ(view_.imports, QStringList{path});
}

TEST_F(ControllerTest, StateChangesAreSignalled) {
    QSignalSpy spy(controller_.get(), &CaptureController::StateChanged);
    controller_->OnCapture();
    Reply(WM_FRAME_CAPTURED, 0, 1);
    Reply(WM_CAPTURE_STOPPED);
    ASSERT_EQ(spy.size(), 2);
    EXPECT_EQ(spy[0][0].value<CaptureState>(), CaptureState::Capturing);
    EXPECT_EQ(spy[1][0].value<CaptureState>(), CaptureState::Captured);
}

TEST_F(ControllerTest, OtherEventsAreNotTaken) {
    const QEvent event(QEvent::User);
    EXPECT_FALSE(controller_->HandleEngineMessage(&event));
    const EngineMessage start(WM_CAPTURE_START, 0, 50);
    EXPECT_FALSE(controller_->HandleEngineMessage(&start));
}

TEST_F(ControllerTest, SettingsSurviveARestart) {
    AppSettings& s = app_->Settings();
    s.captureRate = 5;
    s.gifRate = 10;
    s.scalePercent = 40;
    s.highQuality = false;
    s.alwaysOnTop = false;
    s.fontName = "DejaVu Sans Mono";
    s.fontSize = 24;
    s.fontColor = 0x123456;
    s.backStyle = 0;
    const AppSettings chosen = s;
    ASSERT_TRUE(controller_->RequestClose());
    Restart();
    EXPECT_EQ(app_->Settings(), chosen);
}
