// The frame view's pure rules: fitting a frame into the view, mapping points
// back to frame pixels, hitting subtitles, and the preview's next frame.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "editor/frame_view_layout.h"
#include "editor/playback.h"
#include "editor/subtitle_view.h"

namespace {

struct FitCase {
    const char* name;
    int32_t frameWidth, frameHeight;
    QRect area;
    float scale;
    QRect image;
};

TEST(FrameViewLayout, FramesAreShrunkToFitNeverEnlargedAndCentred) {
    const FitCase cases[] = {
        {"smaller both ways: 1:1, centred", 200, 100, QRect(100, 0, 600, 400), 1.0f,
         QRect(300, 150, 200, 100)},
        {"twice as wide: half size, centred vertically", 1200, 300, QRect(100, 0, 600, 400), 2.0f,
         QRect(100, 125, 600, 150)},
        {"twice as tall: half size, centred horizontally", 300, 800, QRect(0, 0, 600, 400), 2.0f,
         QRect(225, 0, 150, 400)},
        {"exactly the area", 600, 400, QRect(10, 0, 600, 400), 1.0f, QRect(10, 0, 600, 400)},
        {"sizes truncate", 1001, 333, QRect(0, 0, 500, 500), 2.002f, QRect(1, 167, 499, 166)},
    };
    for (const FitCase& c : cases) {
        SCOPED_TRACE(c.name);
        const FrameViewFit fit = FitFrameInArea(c.frameWidth, c.frameHeight, c.area);
        EXPECT_FLOAT_EQ(fit.scale, c.scale);
        EXPECT_EQ(fit.image, c.image);
    }
}

TEST(FrameViewLayout, ViewPointsMapBackToFramePixels) {
    const FrameViewFit fit = FitFrameInArea(1200, 300, QRect(100, 0, 600, 400));
    EXPECT_EQ(ViewToFrame(QPoint(100, 125), fit), QPoint(0, 0));
    EXPECT_EQ(ViewToFrame(QPoint(101, 126), fit), QPoint(2, 2));
    EXPECT_EQ(ViewToFrame(QPoint(699, 274), fit), QPoint(1198, 298));
    const FrameViewFit unscaled = FitFrameInArea(200, 100, QRect(100, 0, 600, 400));
    EXPECT_EQ(ViewToFrame(QPoint(310, 160), unscaled), QPoint(10, 10));
}

std::unique_ptr<SubtitleItem> Box(int32_t x, int32_t y, int32_t w, int32_t h, int32_t first,
                                  int32_t last) {
    auto s = std::make_unique<SubtitleItem>();
    s->x = x;
    s->y = y;
    s->width = w;
    s->height = h;
    s->firstFrame = first;
    s->lastFrame = last;
    return s;
}

TEST(SubtitleHit, TheEarliestCoveringSubtitleUnderThePointWins) {
    SubtitleList list;
    list.push_back(Box(10, 50, 100, 20, 1, 5)); // box (10, 30) .. (110, 50)
    list.push_back(Box(60, 60, 100, 20, 1, 5)); // box (60, 40) .. (160, 60): overlaps the first
    list.push_back(Box(0, 100, 50, 20, 3, 3));  // only frame 3
    list.push_back(Box(200, 100, 0, 0, 1, 5));  // never measured: cannot be hit
    struct Case {
        QPoint point;
        int32_t frame;
        int expected; // index in the list, -1 none
    } cases[] = {
        {{70, 45}, 1, 0},  // both boxes: the earlier one
        {{120, 45}, 1, 1}, // only the second
        {{10, 30}, 1, 0},  // top-left corner is inside
        {{110, 40}, 1, 1}, // right edge of the first is outside it
        {{50, 50}, 1, -1}, // bottom edge excluded, and below the second's left
        {{10, 90}, 3, 2},  // covers frame 3
        {{10, 90}, 2, -1}, // but not frame 2
        {{200, 100}, 1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.point.x() << "," << c.point.y() << " f" << c.frame);
        SubtitleItem* hit = HitSubtitle(list, c.frame, c.point);
        EXPECT_EQ(hit, c.expected < 0 ? nullptr : list[std::size_t(c.expected)].get());
    }
}

FrameList Frames(std::initializer_list<int> kept) {
    FrameList frames;
    for (int k : kept) {
        auto f = std::make_unique<CxImage>();
        f->Create(2, 2, 24);
        f->SetUserFlags(uint32_t(k));
        frames.push_back(std::move(f));
    }
    return frames;
}

TEST(Playback, NextKeptFrameSkipsDeletedFramesAndWraps) {
    const FrameList frames = Frames({1, 0, 0, 1, 1});
    std::vector<int32_t> shown;
    int32_t n = 1;
    for (int i = 0; i < 6; ++i) {
        n = NextKeptFrame(frames, n).value_or(-1);
        shown.push_back(n);
    }
    EXPECT_EQ(shown, (std::vector<int32_t>{4, 5, 1, 4, 5, 1}));
    EXPECT_EQ(NextKeptFrame(Frames({0, 0, 0}), 2), std::nullopt);
    EXPECT_EQ(NextKeptFrame(FrameList{}, 1), std::nullopt);
    EXPECT_EQ(NextKeptFrame(Frames({0, 1}), 2), 2); // the only kept frame again
}

} // namespace
