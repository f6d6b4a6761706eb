// The rules of the capture frame: grips, limits, what each drag moves, and
// that the four windows always enclose exactly the capture rectangle.
#include <gtest/gtest.h>

#include <string>

#include "capture_ui/frame_geometry.h"

using namespace frame_geometry;

namespace {

std::string Str(const CaptureRect& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
}

// The hole between the windows is the capture rectangle.
void ExpectEnclosed(const FrameModel& m) {
    const Placement p = m.CurrentPlacement();
    const CaptureRect& c = m.Capture();
    EXPECT_EQ(p.left.right, c.left);
    EXPECT_EQ(p.right.left, c.right);
    EXPECT_EQ(m.Bar().bottom, c.top);
    EXPECT_EQ(p.bottom.top, c.bottom);
    EXPECT_EQ(p.left.Width(), kStripWidth);
    EXPECT_EQ(p.right.Width(), kStripWidth);
    EXPECT_EQ(p.left.Height(), c.Height());
    EXPECT_EQ(p.bottom.Height(), kBottomHeight);
    EXPECT_EQ(p.bottom.left, m.Bar().left);
    EXPECT_EQ(p.bottom.right, m.Bar().right);
}

TEST(FrameModel, StartsWithA300By250RectangleBelowTheBar) {
    FrameModel m(kInitialBarWidth, 68);
    EXPECT_EQ(Str(m.Capture()), "(5,68,305,318)");
    const Placement p = m.CurrentPlacement();
    EXPECT_EQ(Str(p.left), "(0,68,5,318)");
    EXPECT_EQ(Str(p.right), "(305,68,310,318)");
    EXPECT_EQ(Str(p.bottom), "(0,318,310,358)");

    // Centred on a screen: the rectangle follows, keeping its size.
    m.PlaceBar({805, 400, 1115, 468});
    EXPECT_EQ(Str(m.Capture()), "(810,468,1110,718)");
    ExpectEnclosed(m);
}

struct GripCase {
    int x, y;
    DragKind want;
};

TEST(Grips, TopBarBandsInOrder) {
    const GripCase cases[] = {
        {0, 0, DragKind::TopLeft},    {2, 2, DragKind::TopLeft},    {3, 2, DragKind::Top},
        {309, 0, DragKind::TopRight}, {307, 2, DragKind::TopRight}, {306, 2, DragKind::Top},
        {0, 50, DragKind::Left},      {2, 67, DragKind::Left},      {307, 40, DragKind::Right},
        {150, 0, DragKind::Top},      {150, 3, DragKind::Move},     {3, 3, DragKind::Move},
        {306, 60, DragKind::Move},
    };
    for (const GripCase& c : cases) {
        EXPECT_EQ(TopBarGrip({c.x, c.y}, 310, 68), c.want) << c.x << "," << c.y;
    }
}

TEST(Grips, BottomBarBandsInOrder) {
    const GripCase cases[] = {
        {0, 39, DragKind::BottomLeft},    {2, 37, DragKind::BottomLeft},
        {0, 36, DragKind::Left},          {309, 39, DragKind::BottomRight},
        {307, 37, DragKind::BottomRight}, {309, 0, DragKind::Right},
        {150, 37, DragKind::Bottom},      {150, 36, DragKind::None},
        {3, 20, DragKind::None},
    };
    for (const GripCase& c : cases) {
        EXPECT_EQ(BottomBarGrip({c.x, c.y}, 310, 40), c.want) << c.x << "," << c.y;
    }
}

TEST(Grips, Cursors) {
    EXPECT_EQ(CursorFor(DragKind::TopLeft), GripCursor::SizeNwSe);
    EXPECT_EQ(CursorFor(DragKind::BottomRight), GripCursor::SizeNwSe);
    EXPECT_EQ(CursorFor(DragKind::TopRight), GripCursor::SizeNeSw);
    EXPECT_EQ(CursorFor(DragKind::BottomLeft), GripCursor::SizeNeSw);
    EXPECT_EQ(CursorFor(DragKind::Left), GripCursor::SizeWe);
    EXPECT_EQ(CursorFor(DragKind::Right), GripCursor::SizeWe);
    EXPECT_EQ(CursorFor(DragKind::Top), GripCursor::SizeNs);
    EXPECT_EQ(CursorFor(DragKind::Bottom), GripCursor::SizeNs);
    EXPECT_EQ(CursorFor(DragKind::Move), GripCursor::Arrow);
    EXPECT_EQ(static_cast<int>(GripCursor::SizeWe), 32644);
}

struct DragCase {
    const char* name;
    DragKind kind;
    Point origin;
    Point to;
    const char* wantBar;     // empty: nothing moves
    const char* wantCapture; // empty: nothing moves
};

// Bar (100,100)-(410,168), capture height 250: capture (105,168)-(405,418).
const DragCase kDrags[] = {
    {"move keeps the size",
     DragKind::Move,
     {50, 10},
     {300, 400},
     "(250,390,560,458)",
     "(255,458,555,708)"},
    {"move off the screen",
     DragKind::Move,
     {50, 10},
     {-100, -20},
     "(-150,-30,160,38)",
     "(-145,38,155,288)"},
    {"left", DragKind::Left, {}, {200, 999}, "(200,100,410,168)", "(205,168,405,418)"},
    {"left to the limit", DragKind::Left, {}, {350, 0}, "(350,100,410,168)", "(355,168,405,418)"},
    {"left past the limit", DragKind::Left, {}, {351, 0}, "", ""},
    {"right to the limit", DragKind::Right, {}, {160, 0}, "(100,100,160,168)", "(105,168,155,418)"},
    {"right past the limit", DragKind::Right, {}, {159, 0}, "", ""},
    {"top keeps the bottom", DragKind::Top, {}, {0, 50}, "(100,50,410,118)", "(105,118,405,418)"},
    {"top to the limit", DragKind::Top, {}, {0, 290}, "(100,290,410,358)", "(105,358,405,418)"},
    {"top past the limit", DragKind::Top, {}, {0, 291}, "", ""},
    {"top-left", DragKind::TopLeft, {}, {350, 290}, "(350,290,410,358)", "(355,358,405,418)"},
    {"top-left too narrow", DragKind::TopLeft, {}, {351, 50}, "", ""},
    {"top-left too short", DragKind::TopLeft, {}, {200, 291}, "", ""},
    {"top-right", DragKind::TopRight, {}, {500, 50}, "(100,50,500,118)", "(105,118,495,418)"},
    {"top-right too narrow", DragKind::TopRight, {}, {159, 50}, "", ""},
    {"top-right too short", DragKind::TopRight, {}, {500, 291}, "", ""},
    {"bottom", DragKind::Bottom, {}, {0, 500}, "(100,100,410,168)", "(105,168,405,460)"},
    {"bottom to the limit",
     DragKind::Bottom,
     {},
     {0, 268},
     "(100,100,410,168)",
     "(105,168,405,228)"},
    {"bottom past the limit", DragKind::Bottom, {}, {0, 267}, "", ""},
    {"bottom-left", DragKind::BottomLeft, {}, {50, 500}, "(50,100,410,168)", "(55,168,405,460)"},
    {"bottom-left too narrow", DragKind::BottomLeft, {}, {351, 500}, "", ""},
    {"bottom-left too short", DragKind::BottomLeft, {}, {50, 267}, "", ""},
    {"bottom-right",
     DragKind::BottomRight,
     {},
     {600, 500},
     "(100,100,600,168)",
     "(105,168,595,460)"},
    {"bottom-right too short", DragKind::BottomRight, {}, {600, 267}, "", ""},
    {"bottom-right too narrow", DragKind::BottomRight, {}, {159, 500}, "", ""},
    {"no grip", DragKind::None, {}, {600, 500}, "", ""},
};

void PrintTo(const DragCase& c, std::ostream* os) {
    *os << c.name;
}

class Drags : public ::testing::TestWithParam<DragCase> {};

TEST_P(Drags, MoveByTheRulesOrNotAtAll) {
    const DragCase& c = GetParam();
    FrameModel m(310, 68);
    m.PlaceBar({100, 100, 410, 168});
    const CaptureRect bar = m.Bar();
    const CaptureRect capture = m.Capture();

    m.Press(c.kind, c.origin);
    const bool moved = m.DragTo(c.to, false);
    if (std::string(c.wantBar).empty()) {
        EXPECT_FALSE(moved);
        EXPECT_EQ(m.Bar(), bar);
        EXPECT_EQ(m.Capture(), capture);
    } else {
        EXPECT_TRUE(moved);
        EXPECT_EQ(Str(m.Bar()), c.wantBar);
        EXPECT_EQ(Str(m.Capture()), c.wantCapture);
    }
    ExpectEnclosed(m);
}

TEST_P(Drags, NothingMovesWhileRecording) {
    const DragCase& c = GetParam();
    FrameModel m(310, 68);
    m.PlaceBar({100, 100, 410, 168});
    const CaptureRect bar = m.Bar();
    const CaptureRect capture = m.Capture();
    m.Press(c.kind, c.origin);
    EXPECT_FALSE(m.DragTo(c.to, true));
    EXPECT_EQ(m.Bar(), bar);
    EXPECT_EQ(m.Capture(), capture);
}

INSTANTIATE_TEST_SUITE_P(Kinds, Drags, ::testing::ValuesIn(kDrags),
                         [](const ::testing::TestParamInfo<DragCase>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name) {
                                 if (!isalnum(static_cast<unsigned char>(ch))) {
                                     ch = '_';
                                 }
                             }
                             return name;
                         });

TEST(FrameModel, LeftStripDraggedRightStopsAtTheLimit) {
    FrameModel m(310, 68);
    m.PlaceBar({100, 100, 410, 168});
    m.Press(DragKind::Left);
    for (const int x : {300, 340, 350, 360, 400, 405}) {
        m.DragTo({x, 500}, false);
    }
    EXPECT_EQ(m.Bar().Width(), kMinBarWidth);
    EXPECT_EQ(m.Capture().Width(), 50);
    // Moving back works again.
    m.DragTo({200, 500}, false);
    EXPECT_EQ(m.Bar().left, 200);
    m.Release();
    EXPECT_EQ(m.ActiveDrag(), DragKind::None);
    EXPECT_FALSE(m.DragTo({100, 500}, false));
}

TEST(FrameModel, LayoutWithAHeightSetsTheCaptureHeight) {
    FrameModel m(310, 68);
    m.Layout(120);
    EXPECT_EQ(m.Capture().Height(), 120);
    m.Layout(0);
    EXPECT_EQ(m.Capture().Height(), 120);
    ExpectEnclosed(m);
}

} // namespace
