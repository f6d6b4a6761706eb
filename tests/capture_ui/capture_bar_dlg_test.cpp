#include "capture_ui/capture_bar_dlg.h"

#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QImageReader>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include "../app/controller_fakes.h"
#include "../editor/editor_test_support.h"
#include "app/capture_app.h"
#include "app/gif_maker_engine.h"
#include "capture_ui/more_menu.h"
#include "editor/add_text_dlg.h"
#include "editor/x_list_view.h"
#include "engine/engine_messages.h"
#include "env_guard.h"
#include "fake_screen_source.h"
#include "preview/preview_dlg.h"
#include "test_files.h"
#include "test_rasterizer.h"
#include "widgets/progress_window.h"

namespace {

class CaptureBarTest : public ::testing::Test {
protected:
    CaptureBarTest() {
        env_.Set("APPDATA", appData_.path().toUtf8());
        bar_ = std::make_unique<CCaptureBarDlg>(app_, std::make_unique<FakeEngine>(log_));
        bar_->Initialise();
        bar_->show();
    }
    ~CaptureBarTest() override {
        QFile::remove(bar_->Controller().GifPath());
        bar_.reset();
    }

    void Post(int message, uint64_t wParam = 0, int64_t lParam = 0) {
        QCoreApplication::postEvent(bar_.get(), new EngineMessage(message, wParam, lParam));
        QCoreApplication::processEvents();
    }
    void Click(int id) {
        QPushButton* button = bar_->Button(id);
        ASSERT_NE(button, nullptr) << id;
        QTest::mouseClick(button, Qt::LeftButton);
    }
    void Drop(const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        // Qt delivers a drop only to the widget that took the drag's entry.
        QDragEnterEvent enter(QPoint(20, 10), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(bar_.get(), &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent drop(QPointF(20, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(bar_.get(), &drop);
    }
    CaptureState State() { return bar_->Controller().State(); }

    QTemporaryDir appData_;
    EnvGuard env_;
    CCaptureApp app_;
    EngineLog log_;
    std::unique_ptr<CCaptureBarDlg> bar_;
};

} // namespace

TEST_F(CaptureBarTest, IsTheFrameloopWindowWithSevenButtons) {
    EXPECT_TRUE(bar_->isWindow());
    EXPECT_EQ(bar_->windowTitle(), "Frameloop");
    const struct {
        int id;
        const char* text;
    } buttons[] = {{2, "C"},           {3, "M"},      {4, "A"},      {1000, "Capture"},
                   {1003, "Subtitle"}, {1001, "GIF"}, {1002, "More"}};
    for (const auto& b : buttons) {
        ASSERT_NE(bar_->Button(b.id), nullptr) << b.id;
        EXPECT_EQ(bar_->Button(b.id)->text(), b.text);
    }
    EXPECT_EQ(bar_->width(), 310);
}

TEST_F(CaptureBarTest, CaptureRectangleHangsBelowTheBar) {
    const QRect bar = bar_->geometry();
    const CaptureRect expected{bar.left() + 5, bar.bottom() + 1, bar.right() + 1 - 5,
                               bar.bottom() + 1 + 250};
    EXPECT_EQ(bar_->Controller().GetCaptureRect(), expected);
    EXPECT_EQ(expected.Width(), 300);
    bar_->move(bar.topLeft() + QPoint(40, 30));
    const CaptureRect moved = bar_->Controller().GetCaptureRect();
    EXPECT_EQ(moved.left, expected.left + 40);
    EXPECT_EQ(moved.top, expected.top + 30);
    EXPECT_EQ(moved.Height(), 250);
}

TEST_F(CaptureBarTest, ButtonsDriveTheControllerAndRepliesComeBackAsEvents) {
    EXPECT_EQ(log_.notify, bar_.get());
    Click(CCaptureBarDlg::IDC_CAPTURE);
    EXPECT_EQ(State(), CaptureState::Capturing);
    ASSERT_FALSE(log_.posted.empty());
    EXPECT_EQ(log_.posted.back().message, WM_CAPTURE_START);
    EXPECT_EQ(log_.rect, bar_->Controller().GetCaptureRect());
    EXPECT_EQ(bar_->Button(CCaptureBarDlg::IDC_CAPTURE)->text(), "Stop");

    Post(WM_FRAME_CAPTURED, 0, 4);
    EXPECT_EQ(bar_->Controller().FrameCount(), 4);
    Click(CCaptureBarDlg::IDC_CAPTURE);
    EXPECT_EQ(log_.posted.back().message, WM_CAPTURE_STOP);
    EXPECT_EQ(bar_->Button(CCaptureBarDlg::IDC_CAPTURE)->text(), "Capture");
    Post(WM_CAPTURE_STOPPED);
    EXPECT_EQ(State(), CaptureState::Captured);

    Click(CCaptureBarDlg::IDC_GIF);
    EXPECT_EQ(State(), CaptureState::Creating);
    Post(WM_GIF_PROGRESS, 0, 50);
    // What the worker would have written.
    ASSERT_TRUE(testing_support::WriteWholeFile(
        bar_->Controller().GifPath(),
        testing_support::ReadWholeFile(FRAMELOOP_TEST_DATA "/two-frames.gif")));
    Post(WM_GIF_DONE, 4, PackGifSize(210, 175));
    EXPECT_EQ(State(), CaptureState::Captured);
    EXPECT_TRUE(bar_->Preview().isVisible());
}

TEST_F(CaptureBarTest, CloseDuringBuildShowsTheMessageAndStaysOpen) {
    Click(CCaptureBarDlg::IDC_CAPTURE);
    Post(WM_CAPTURE_STOPPED);
    Click(CCaptureBarDlg::IDC_GIF);
    ASSERT_EQ(State(), CaptureState::Creating);

    QString shown;
    QTimer::singleShot(0, [&shown] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
            box->accept();
        }
    });
    EXPECT_FALSE(bar_->close());
    EXPECT_EQ(shown, "Creating GIF now, please wait..");
    EXPECT_TRUE(bar_->isVisible());
    EXPECT_EQ(State(), CaptureState::Creating);

    // The fake worker wrote no file, which the user is told.
    editor_test::WhenShown<QMessageBox> nothingBuilt([](QMessageBox* box) { box->accept(); });
    Post(WM_GIF_DONE, 1, PackGifSize(10, 10));
    EXPECT_TRUE(nothingBuilt.Seen());
    EXPECT_TRUE(bar_->close());
    EXPECT_FALSE(bar_->isVisible());
    EXPECT_TRUE(QFile::exists(appData_.filePath("didoro.ini")));
}

TEST_F(CaptureBarTest, EscapeClosesWhileRecordingAfterStopping) {
    Click(CCaptureBarDlg::IDC_CAPTURE);
    log_.calls.clear();
    QTest::keyClick(bar_.get(), Qt::Key_Escape);
    EXPECT_FALSE(bar_->isVisible());
    EXPECT_EQ(log_.calls, (std::vector<std::string>{"post 1235", "stop"}));
    EXPECT_TRUE(QFile::exists(appData_.filePath("didoro.ini")));
}

TEST_F(CaptureBarTest, EnterDoesNothing) {
    QTest::keyClick(bar_.get(), Qt::Key_Return);
    QTest::keyClick(bar_.get(), Qt::Key_Enter);
    EXPECT_TRUE(bar_->isVisible());
    EXPECT_EQ(State(), CaptureState::Idle);
    EXPECT_TRUE(log_.posted.empty());
}

TEST_F(CaptureBarTest, OneDroppedLocalFileIsOpenedForEditing) {
    Drop({QUrl::fromLocalFile("/tmp/a.gif"), QUrl::fromLocalFile("/tmp/b.gif")});
    EXPECT_EQ(State(), CaptureState::Idle);
    Drop({QUrl("https://example.org/a.gif")});
    EXPECT_EQ(State(), CaptureState::Idle);
    // One local file is opened; one that is not there is named in a message
    // and changes nothing.
    QString said;
    editor_test::WhenShown<QMessageBox> message([&](QMessageBox* box) {
        said = box->text();
        box->accept();
    });
    Drop({QUrl::fromLocalFile("/nowhere/a.gif")});
    EXPECT_TRUE(message.Seen());
    EXPECT_TRUE(said.contains("'/nowhere/a.gif'")) << said.toStdString();
    EXPECT_EQ(State(), CaptureState::Idle);
}

TEST_F(CaptureBarTest, DropWhileRecordingIsIgnored) {
    Click(CCaptureBarDlg::IDC_CAPTURE);
    Drop({QUrl::fromLocalFile("/tmp/a.gif")});
    EXPECT_EQ(State(), CaptureState::Capturing);
}

TEST_F(CaptureBarTest, MoreCommandsChangeSettingsAndHonourTheState) {
    bar_->RunMoreCommand(more_menu::ID_CAPTURE_5);
    bar_->RunMoreCommand(more_menu::ID_SCALE_40);
    EXPECT_EQ(app_.Settings().captureRate, 5);
    EXPECT_EQ(app_.Settings().scalePercent, 40);

    const bool top = app_.Settings().alwaysOnTop;
    bar_->RunMoreCommand(more_menu::ID_ON_THE_TOP);
    EXPECT_EQ(app_.Settings().alwaysOnTop, !top);
    EXPECT_EQ(bar_->windowFlags().testFlag(Qt::WindowStaysOnTopHint), !top);
    EXPECT_TRUE(bar_->isVisible());
    bar_->RunMoreCommand(more_menu::ID_ON_THE_TOP);
    EXPECT_EQ(app_.Settings().alwaysOnTop, top);

    int asked = 0;
    bar_->SetOpenPathChooser([&asked](QWidget*) {
        ++asked;
        return QString();
    });
    Click(CCaptureBarDlg::IDC_CAPTURE);
    bar_->RunMoreCommand(more_menu::ID_MODIFY_GIF);
    EXPECT_EQ(asked, 0); // no dialog while recording
    Post(WM_CAPTURE_STOPPED);
    bar_->RunMoreCommand(more_menu::ID_MODIFY_GIF);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(State(), CaptureState::Captured); // cancelled: nothing happened
}

// The top bar over the real engine and the fake screen, with settings of its
// own, at 20 frames a second.
class CaptureBarWithEngine : public ::testing::Test {
protected:
    CaptureBarWithEngine() {
        bar_.Initialise();
        app_.Settings().captureRate = 20;
        bar_.show();
    }
    CaptureController& Controller() { return bar_.Controller(); }
    // Records until at least `frames` frames are held.
    ::testing::AssertionResult Record(int frames) {
        CaptureController& controller = Controller();
        controller.OnCapture();
        if (!QTest::qWaitFor([&] { return controller.FrameCount() >= frames; }, 10000))
            return ::testing::AssertionFailure() << "fewer than " << frames << " frames";
        controller.OnCapture();
        if (!QTest::qWaitFor([&] { return controller.State() == CaptureState::Captured; }))
            return ::testing::AssertionFailure() << "the recording did not stop";
        return ::testing::AssertionSuccess();
    }
    // Builds a GIF and waits for it.
    ::testing::AssertionResult Build() {
        CaptureController& controller = Controller();
        controller.OnMakeGif();
        if (controller.State() != CaptureState::Creating)
            return ::testing::AssertionFailure() << "GIF did not start a build";
        if (!QTest::qWaitFor([&] { return controller.State() == CaptureState::Captured; }, 30000))
            return ::testing::AssertionFailure() << "the build did not end";
        return ::testing::AssertionSuccess();
    }

    static bool UseAppData(EnvGuard& env, const QTemporaryDir& dir) {
        env.Set("APPDATA", dir.path().toUtf8());
        return true;
    }

    QTemporaryDir appData_;
    EnvGuard env_;
    const bool appDataSet_ = UseAppData(env_, appData_); // before the app reads it
    CCaptureApp app_;
    CCaptureBarDlg bar_{
        app_, std::make_unique<GifMakerEngine>(FakeScreenSource::Factory(), TestTextRasterizer())};
};

TEST_F(CaptureBarWithEngine, RecordsAndBuildsAGifFromTheFakeScreen) {
    app_.Settings().scalePercent = 50;
    ASSERT_TRUE(Record(4));
    CaptureController& controller = Controller();
    EXPECT_GE(controller.FrameCount(), 4);
    ASSERT_TRUE(Build());
    const QString gif = controller.GifPath();
    QImageReader reader(gif);
    ASSERT_TRUE(reader.canRead()) << gif.toStdString();
    EXPECT_EQ(reader.size(), QSize(150, 125));
    EXPECT_TRUE(bar_.Preview().isVisible());

    EXPECT_TRUE(bar_.close());
    EXPECT_FALSE(QFile::exists(gif));
}

// Subtitle after a recording opens the editor on the engine's own frames;
// what is done there reaches the next GIF: a deleted frame is left out and a
// subtitle is burnt in.
TEST_F(CaptureBarWithEngine, SubtitleOpensTheEditorAndItsChangesReachTheGif) {
    app_.Settings().scalePercent = 100;
    app_.Settings().highQuality = false;
    ASSERT_TRUE(Record(3));
    CaptureController& controller = Controller();
    const int32_t recorded = int32_t(controller.Engine().Frames().size());

    int32_t stripCount = 0;
    editor_test::WhenShown<CAddTextDlg> edit([&](CAddTextDlg* dlg) {
        stripCount = dlg->Strip().Count();
        dlg->Strip().SetSelected(2, true);
        dlg->OnDeleteUndo();
        dlg->OnAddSubtitle();
        dlg->close();
    });
    QTest::mouseClick(bar_.Button(CCaptureBarDlg::IDC_SUBTITLE), Qt::LeftButton);
    EXPECT_TRUE(edit.Seen());
    EXPECT_EQ(stripCount, recorded);
    ASSERT_EQ(controller.Engine().Subtitles().size(), 1u);
    EXPECT_EQ(controller.Engine().Frames()[1]->UserFlags(), 0u);

    ASSERT_TRUE(Build());
    QImageReader reader(controller.GifPath());
    ASSERT_TRUE(reader.canRead());
    // Identical neighbours never happen on the fake screen, so every kept
    // frame is one image of the GIF.
    EXPECT_EQ(reader.imageCount(), recorded - 1);
    const QImage first = reader.read().convertToFormat(QImage::Format_RGB32);
    const SubtitleItem& s = *controller.Engine().Subtitles()[0];
    int yellow = 0;
    for (int y = std::max(0, s.y - 30); y < std::min(first.height(), s.y + 2); ++y)
        for (int x = 0; x < std::min(first.width(), 200); ++x) {
            const QRgb c = first.pixel(x, y);
            yellow += qRed(c) > 200 && qGreen(c) > 200 && qBlue(c) < 90;
        }
    EXPECT_GT(yellow, 30) << "no subtitle in the GIF";
    EXPECT_TRUE(bar_.close());
}

// Opening a GIF for editing replaces the recording and its subtitles only
// when the whole file has loaded: a file that cannot be opened, or an import
// cancelled half-way, leaves both as they were.
TEST_F(CaptureBarWithEngine, OpeningAGifReplacesTheRecordingOnlyWhenItLoadsWhole) {
    for (const char* tool : {"convert", "ffmpeg"})
        ASSERT_TRUE(testing_support::HaveProgram(tool)) << tool;
    QTemporaryDir dir;
    const QString shapes = dir.filePath("shapes.gif");
    QStringList args = testing_support::MovingShapesArgs();
    args << "-dispose"
         << "none" << shapes;
    ASSERT_EQ(testing_support::RunProgram("convert", args).exitCode, 0);
    const QString longGif = dir.filePath("long.gif");
    ASSERT_EQ(testing_support::RunProgram(
                  "ffmpeg", {"-loglevel", "error", "-y", "-f", "lavfi", "-i",
                             "testsrc2=size=320x240:rate=10:duration=60", "-f", "gif", longGif})
                  .exitCode,
              0);

    ASSERT_TRUE(Record(3));
    CaptureController& controller = Controller();
    CaptureEngine& engine = controller.Engine();
    engine.Subtitles().push_back(std::make_unique<SubtitleItem>());
    const CxImage* firstFrame = engine.Frames().front().get();
    const std::size_t recorded = engine.Frames().size();
    const int32_t recordedCount = controller.FrameCount();
    const auto unchanged = [&] {
        return engine.Frames().size() == recorded && engine.Frames().front().get() == firstFrame &&
               engine.Subtitles().size() == 1 && controller.FrameCount() == recordedCount &&
               controller.State() == CaptureState::Captured;
    };

    // Not a GIF: told in words.
    const QString text = dir.filePath("notes.gif");
    ASSERT_TRUE(testing_support::WriteWholeFile(text, "just some notes"));
    QString said;
    editor_test::WhenShown<QMessageBox> message([&](QMessageBox* box) {
        said = box->text();
        box->accept();
    });
    controller.OpenForEditing(text);
    EXPECT_TRUE(message.Seen());
    EXPECT_TRUE(said.contains("is not a GIF file")) << said.toStdString();
    EXPECT_TRUE(unchanged());

    // Cancelled with Esc as soon as the progress window shows.
    QString caption;
    editor_test::WhenShown<CProgressWindow> progress([&](CProgressWindow* window) {
        caption = window->windowTitle();
        QTest::keyClick(window, Qt::Key_Escape);
    });
    controller.OpenForEditing(longGif);
    EXPECT_TRUE(progress.Seen());
    EXPECT_TRUE(caption.startsWith("Progress")) << caption.toStdString();
    EXPECT_TRUE(unchanged());

    // A whole file: its frames, no subtitles, and the editor on them.
    int32_t editorFrames = 0;
    editor_test::WhenShown<CAddTextDlg> edit([&](CAddTextDlg* dlg) {
        editorFrames = dlg->Strip().Count();
        dlg->close();
    });
    controller.OpenForEditing(shapes);
    EXPECT_TRUE(edit.Seen());
    EXPECT_EQ(editorFrames, 3);
    ASSERT_EQ(engine.Frames().size(), 3u);
    EXPECT_EQ(engine.Frames()[0]->Width(), 48u);
    EXPECT_EQ(engine.Frames()[0]->Height(), 32u);
    EXPECT_TRUE(engine.Subtitles().empty());
    EXPECT_EQ(controller.FrameCount(), 3);
    EXPECT_EQ(controller.State(), CaptureState::Captured);

    // The next GIF is built at the imported size.
    app_.Settings().scalePercent = 100;
    ASSERT_TRUE(Build());
    EXPECT_EQ(QImageReader(controller.GifPath()).size(), QSize(48, 32));
    EXPECT_TRUE(bar_.close());
}
