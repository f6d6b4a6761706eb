// The edge windows on the screen: placed around the capture rectangle, and
// moving and resizing the frame when the mouse drags them (offscreen).
#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

#include <gtest/gtest.h>

#include "capture_ui/capture_frame.h"
#include "capture_ui/edge_windows.h"

namespace {

void Send(QWidget& w, QEvent::Type type, QPoint screen, Qt::MouseButtons buttons) {
    const QPoint local = screen - w.geometry().topLeft();
    QMouseEvent e(type, local, screen, Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(&w, &e);
}

// Press at `from`, drag through `path`, release: as the mouse does it.
void Drag(QWidget& w, QPoint from, std::initializer_list<QPoint> path) {
    Send(w, QEvent::MouseButtonPress, from, Qt::LeftButton);
    QPoint last = from;
    for (const QPoint p : path) {
        Send(w, QEvent::MouseMove, p, Qt::LeftButton);
        last = p;
    }
    Send(w, QEvent::MouseButtonRelease, last, Qt::NoButton);
}

class CaptureFrameWindows : public ::testing::Test {
protected:
    void SetUp() override {
        bar_.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        bar_.resize(310, 66);
        frame_ = new CCaptureFrame(bar_, [this] {
            frame_painting::FrameStatus s;
            s.state = state_;
            return s;
        });
        QObject::connect(frame_, &CCaptureFrame::CaptureRectChanged,
                         [this](const CaptureRect& r) { reported_ = r; });
        bar_.show();
        frame_->PlaceBar(QRect(100, 100, 310, 66));
        frame_->OnLayoutFrame(0);
    }

    // The windows' own geometry encloses the reported capture rectangle.
    void ExpectWindowsEnclose(const CaptureRect& c) {
        EXPECT_EQ(frame_->Left().geometry().right() + 1, c.left);
        EXPECT_EQ(frame_->Right().geometry().left(), c.right);
        EXPECT_EQ(bar_.geometry().bottom() + 1, c.top);
        EXPECT_EQ(frame_->Bottom().geometry().top(), c.bottom);
        EXPECT_EQ(frame_->Left().geometry().height(), c.Height());
        EXPECT_EQ(frame_->Bottom().geometry().width(), bar_.width());
        EXPECT_EQ(frame_->Bottom().geometry().height(), 40);
    }

    QWidget bar_;
    CCaptureFrame* frame_ = nullptr;
    CaptureState state_ = CaptureState::Idle;
    CaptureRect reported_;
};

TEST(CaptureFrame, EdgeWindowsShowFromTheFirstLayout) {
    QWidget bar(nullptr, Qt::Window | Qt::FramelessWindowHint);
    bar.resize(310, 66);
    CCaptureFrame frame(bar, {});
    bar.show();
    frame.PlaceBar(QRect(10, 10, 310, 66));
    EXPECT_FALSE(frame.Left().isVisible());
    frame.OnLayoutFrame(0);
    EXPECT_TRUE(frame.Left().isVisible());
    EXPECT_TRUE(frame.Right().isVisible());
    EXPECT_TRUE(frame.Bottom().isVisible());
}

TEST_F(CaptureFrameWindows, PlacedAroundTheCaptureRectangle) {
    EXPECT_TRUE(frame_->Left().isVisible());
    EXPECT_TRUE(frame_->Bottom().isVisible());
    EXPECT_EQ(reported_, (CaptureRect{105, 166, 405, 416}));
    EXPECT_EQ(frame_->Left().geometry(), QRect(100, 166, 5, 250));
    EXPECT_EQ(frame_->Right().geometry(), QRect(405, 166, 5, 250));
    EXPECT_EQ(frame_->Bottom().geometry(), QRect(100, 416, 310, 40));
    EXPECT_TRUE(frame_->Left().windowFlags() & Qt::Tool);
    EXPECT_EQ(frame_->Left().parentWidget(), &bar_);
}

TEST_F(CaptureFrameWindows, LeftStripDragStopsAtTheSmallestWidth) {
    Drag(frame_->Left(), {102, 300}, {{200, 300}, {350, 300}, {380, 300}});
    EXPECT_EQ(bar_.geometry(), QRect(350, 100, 60, 66));
    EXPECT_EQ(reported_.Width(), 50);
    ExpectWindowsEnclose(reported_);
}

TEST_F(CaptureFrameWindows, BottomBarResizesButNeverMoves) {
    // The mouse marks the bottom bar's last row: height = y - bar bottom - 40.
    Drag(frame_->Bottom(), {250, 455}, {{250, 505}});
    EXPECT_EQ(reported_, (CaptureRect{105, 166, 405, 465}));
    // Bottom edge up past the limit: stops at 60.
    Drag(frame_->Bottom(), {250, 504}, {{250, 300}, {250, 266}, {250, 260}, {250, 100}});
    EXPECT_EQ(reported_.Height(), 60);
    // Bottom-right corner.
    const QRect bottom = frame_->Bottom().geometry();
    Drag(frame_->Bottom(), bottom.bottomRight(), {{600, 400}});
    EXPECT_EQ(bar_.geometry(), QRect(100, 100, 500, 66));
    EXPECT_EQ(reported_.bottom, 166 + (400 - 166 - 40));
    // A press in the middle grabs nothing.
    const QRect before = bar_.geometry();
    Drag(frame_->Bottom(), frame_->Bottom().geometry().center(), {{0, 0}});
    EXPECT_EQ(bar_.geometry(), before);
    ExpectWindowsEnclose(reported_);
}

TEST_F(CaptureFrameWindows, TopBarMovesAndResizesThroughTheFrame) {
    // Move-drag from the middle of the bar keeps the capture size.
    frame_->BarPressed({150, 40});
    frame_->BarMoved({150, 40}, {400, 300}, Qt::LeftButton);
    frame_->BarReleased();
    EXPECT_EQ(bar_.geometry(), QRect(250, 260, 310, 66));
    EXPECT_EQ(reported_, (CaptureRect{255, 326, 555, 576}));
    // Top edge: the capture rectangle's bottom stays.
    frame_->BarPressed({150, 1});
    frame_->BarMoved({150, 1}, {400, 200}, Qt::LeftButton);
    frame_->BarReleased();
    EXPECT_EQ(reported_, (CaptureRect{255, 266, 555, 576}));
    ExpectWindowsEnclose(reported_);
}

TEST_F(CaptureFrameWindows, NothingMovesWhileRecording) {
    state_ = CaptureState::Capturing;
    const QRect bar = bar_.geometry();
    const CaptureRect capture = reported_;
    Drag(frame_->Left(), {102, 300}, {{200, 300}});
    Drag(frame_->Right(), {407, 300}, {{600, 300}});
    Drag(frame_->Bottom(), {250, 455}, {{250, 600}});
    frame_->BarPressed({150, 40});
    frame_->BarMoved({150, 40}, {400, 300}, Qt::LeftButton);
    frame_->BarReleased();
    EXPECT_EQ(bar_.geometry(), bar);
    EXPECT_EQ(reported_, capture);
    EXPECT_EQ(frame_->Model().Capture(), capture);
}

TEST_F(CaptureFrameWindows, BarMovedByTheProgramTakesTheFrameAlong) {
    bar_.move(300, 200);
    frame_->FollowBar();
    EXPECT_EQ(reported_, (CaptureRect{305, 266, 605, 516}));
    ExpectWindowsEnclose(reported_);
}

TEST_F(CaptureFrameWindows, BottomBarPaintsItsPercentWhileBuilding) {
    state_ = CaptureState::Creating;
    frame_->SetPercent(37);
    EXPECT_EQ(frame_->Bottom().Percent(), 37);
    const QImage shot = frame_->Bottom().grab().toImage();
    int ink = 0;
    for (int y = 5; y < 35; ++y) {
        for (int x = 7; x < 120; ++x) {
            ink += shot.pixelColor(x, y).lightness() < 80;
        }
    }
    EXPECT_GT(ink, 30);
}

} // namespace
