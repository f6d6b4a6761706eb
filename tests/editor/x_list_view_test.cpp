// The frame thumbnail strip: selection by mouse, the goto-frame messages it
// posts, deleting and restoring, the context menu, scrolling on row
// boundaries, the pixels of a row, and thumbnails made only for the rows in view.
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QImageReader>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "editor/editor_messages.h"
#include "editor/x_list_view.h"
#include "editor_test_support.h"
#include "env_guard.h"
#include "image/frame_list.h"
#include "test_files.h"

using editor_test::MakeFrame;
using editor_test::SolidFrame;
using editor_test::Upright;
using editor_test::WhenShown;

namespace {

// The editor dialog as far as the strip sees it: it receives the goto-frame messages.
class GotoRecorder : public QWidget {
public:
    std::vector<int32_t> frames;

    // The messages posted so far, delivered and then forgotten.
    std::vector<int32_t> Take() {
        QCoreApplication::sendPostedEvents(this);
        return std::exchange(frames, {});
    }

protected:
    bool event(QEvent* e) override {
        if (const EditorGotoFrameEvent* m = AsGotoFrame(e)) {
            frames.push_back(m->Frame());
            return true;
        }
        return QWidget::event(e);
    }
};

QRgb FrameColor(int n) {
    return qRgb((n * 37) % 200 + 20, (n * 71) % 200 + 30, (n * 113) % 200 + 40);
}

// A strip over `count` solid frames (frame n in FrameColor(n)) whose rows
// are `rowWidth` wide in a viewport `clientHeight` high.
struct Strip {
    FrameList frames; // outlives the strip, as the recording does
    GotoRecorder dialog;
    XListView* view = nullptr;
    int64_t madeBeforeShown = -1;

    Strip(int count, int rowWidth, int clientHeight,
          const std::function<std::unique_ptr<CxImage>(int)>& make = {}) {
        for (int n = 1; n <= count; ++n)
            frames.push_back(make ? make(n) : SolidFrame(64, 48, FrameColor(n)));
        dialog.resize(800, 1000);
        view = new XListView(&dialog);
        // As the editor does: sized, filled and laid out before it is shown.
        const int frameWidth = 2 * view->frameWidth();
        const int barWidth = view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr,
                                                        view->verticalScrollBar());
        view->setGeometry(0, 0, rowWidth + frameWidth + barWidth, clientHeight + frameWidth);
        for (auto& frame : frames)
            view->AddFrame(frame.get());
        view->InitialUpdate();
        madeBeforeShown = view->ThumbnailsMade();
        dialog.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        Resize(rowWidth, clientHeight);
    }

    // Makes the viewport exactly rowWidth x clientHeight.
    void Resize(int rowWidth, int clientHeight) {
        view->setGeometry(0, 0, rowWidth + 100, clientHeight + 100);
        const int extraWidth = view->width() - view->viewport()->width();
        const int extraHeight = view->height() - view->viewport()->height();
        view->setGeometry(0, 0, rowWidth + extraWidth, clientHeight + extraHeight);
        EXPECT_EQ(view->viewport()->width(), rowWidth);
        EXPECT_EQ(view->viewport()->height(), clientHeight);
    }

    std::set<int32_t> Selected() const {
        std::set<int32_t> out;
        for (int32_t n = 1; n <= view->Count(); ++n) {
            if (view->IsSelected(n))
                out.insert(n);
        }
        return out;
    }
    std::set<int32_t> Deleted() const {
        std::set<int32_t> out;
        for (std::size_t i = 0; i < frames.size(); ++i) {
            if (frames[i]->UserFlags() == 0)
                out.insert(int32_t(i + 1));
        }
        return out;
    }
    QImage Grab() const { return view->viewport()->grab().toImage(); }
};

// Rows 67 pixels wide: 35 pixels high, a 40 x 30 picture box at (22, top + 5)
// and the mark at (6, top + 15).
constexpr int kNarrow = 67;
constexpr int kNarrowRow = 35;

enum class Where { Picture, Mark, BelowLast };

struct Click {
    int32_t row = 0; // 1-based visible row; ignored below the last
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
    Where where = Where::Picture;
};

QPoint PointOf(const Click& click, int32_t count) {
    switch (click.where) {
    case Where::Mark:
        return {11, (click.row - 1) * kNarrowRow + 20};
    case Where::BelowLast:
        return {40, count * kNarrowRow + 5};
    case Where::Picture:
        break;
    }
    return {42, (click.row - 1) * kNarrowRow + 20};
}

void LeftClick(Strip& strip, const Click& click) {
    QTest::mouseClick(strip.view->viewport(), Qt::LeftButton, click.modifiers,
                      PointOf(click, strip.view->Count()));
}

TEST(XListViewLayout, RowsFollowTheRowWidth) {
    EXPECT_EQ(ThumbnailRowHeight(127), 80);
    EXPECT_EQ(ThumbnailRowHeight(67), 35);
    EXPECT_EQ(ThumbnailRowHeight(10), 1); // narrower than the margins: still a row
    const ThumbnailLayout row = LayoutThumbnail(127, 160);
    EXPECT_EQ(row.picture, QRect(QPoint(22, 165), QPoint(121, 239))); // 100 x 75
    EXPECT_EQ(row.label, QRect(0, 160, 127, 80));
    EXPECT_EQ(row.mark, QRect(6, 175, 10, 10));
}

TEST(XListViewLayout, ScrollPositionsSnapToTheNearerRowBoundary) {
    struct Case {
        int32_t position, snapped;
    };
    for (const Case c : {Case{0, 0}, Case{17, 0}, Case{18, 35}, Case{50, 35}, Case{52, 35},
                         Case{53, 70}, Case{70, 70}}) {
        EXPECT_EQ(SnapToRowBoundary(c.position, kNarrowRow), c.snapped) << c.position;
    }
    EXPECT_EQ(SnapToRowBoundary(40, 80), 0); // exactly half a row stays
}

TEST(XListViewLayout, FramesFitTheBox) {
    const QRect box(24, 7, 96, 71);
    EXPECT_EQ(FitFrameInBox({40, 30}, box), QRect(52, 27, 40, 30));  // smaller: 1:1, centred
    EXPECT_EQ(FitFrameInBox({192, 36}, box), QRect(24, 33, 96, 18)); // wide: fills the width
    EXPECT_EQ(FitFrameInBox({50, 142}, box), QRect(59, 7, 25, 71));  // tall: fills the height
    EXPECT_EQ(FitFrameInBox({192, 142}, box), QRect(24, 7, 96, 71)); // same ratio
    EXPECT_EQ(FitFrameInBox({96, 30}, box), QRect(24, 27, 96, 30));  // as wide as the box
    EXPECT_TRUE(FitFrameInBox({40, 30}, QRect(0, 0, 0, 10)).isEmpty());
}

TEST(XListViewLayout, ThumbnailsHaveOnePixelPerDevicePixelUpToTheFrameSize) {
    EXPECT_EQ(ThumbnailPixelSize({1280, 720}, {96, 54}, 1.0), QSize(96, 54));
    EXPECT_EQ(ThumbnailPixelSize({1280, 720}, {96, 54}, 2.0), QSize(192, 108));
    EXPECT_EQ(ThumbnailPixelSize({150, 100}, {96, 64}, 2.0), QSize(150, 100));
}

TEST(XListView, StartsWithTheProvisionalRowHeightAndNoSelection) {
    GotoRecorder dialog;
    XListView view(&dialog);
    EXPECT_EQ(view.ItemHeight(), 1000);
    EXPECT_EQ(view.Anchor(), 0);
    EXPECT_EQ(view.FirstSelected(), 0);
    view.AddFrame(nullptr);
    EXPECT_EQ(view.Count(), 0);
    EXPECT_FALSE(view.accessibleName().isEmpty());
}

// ---------------------------------------------------------------------------
// Left clicks

struct ClickCase {
    const char* name;
    std::vector<int32_t> deleted;     // frames deleted before
    std::vector<int32_t> preselected; // selected without an anchor
    std::vector<Click> setup;         // clicks before the one tested
    Click click;
    std::set<int32_t> selected;
    int32_t anchor;
    std::vector<int32_t> gotos; // posted by the tested click
    std::set<int32_t> deletedAfter;
};

// Shown by name in test listings.
void PrintTo(const ClickCase& c, std::ostream* os) {
    *os << c.name;
}

constexpr auto kShift = Qt::ShiftModifier;
constexpr auto kCtrl = Qt::ControlModifier;

const ClickCase kClickCases[] = {
    {"Plain", {}, {}, {}, {3}, {3}, 3, {3}, {}},
    {"PlainReplacesTheSelection", {}, {}, {{1}, {2, kCtrl}}, {5}, {5}, 5, {5}, {}},
    {"ShiftWithoutAnchorDoesNothing", {}, {2}, {}, {5, kShift}, {2}, 0, {}, {}},
    {"ShiftFromThreeToSevenPostsNothing", {}, {}, {{3}}, {7, kShift}, {3, 4, 5, 6, 7}, 3, {}, {}},
    {"ShiftBackwards", {}, {}, {{7}}, {3, kShift}, {3, 4, 5, 6, 7}, 7, {}, {}},
    {"ShiftReplacesOtherSelections",
     {},
     {},
     {{1}, {8, kCtrl}, {4, kCtrl}},
     {6, kShift},
     {4, 5, 6},
     4,
     {},
     {}},
    {"ShiftOnTheAnchorChangesNothing", {}, {}, {{3}, {5, kCtrl}}, {5, kShift}, {3, 5}, 5, {}, {}},
    {"ShiftWinsOverCtrl", {}, {}, {{2}}, {4, kShift | kCtrl}, {2, 3, 4}, 2, {}, {}},
    {"CtrlAddsAndMovesTheAnchor", {}, {}, {{2}}, {4, kCtrl}, {2, 4}, 4, {2}, {}},
    {"CtrlRemovesAndKeepsTheAnchor", {}, {}, {{2}, {4, kCtrl}}, {2, kCtrl}, {4}, 4, {4}, {}},
    {"CtrlRemovesTheLastOneAndPostsNothing", {}, {}, {{2}}, {2, kCtrl}, {}, 2, {}, {}},
    {"RedMarkRestoresAndSelects", {3, 5}, {}, {{1}}, {3, {}, Where::Mark}, {3}, 3, {3}, {5}},
    {"MarkAreaOfAKeptFrameOnlySelects", {4}, {}, {}, {3, {}, Where::Mark}, {3}, 3, {3}, {4}},
    {"PictureOfADeletedFrameDoesNotRestore", {3}, {}, {}, {3}, {3}, 3, {3}, {3}},
    {"CtrlOnTheMarkDoesNotRestore", {3}, {}, {}, {3, kCtrl, Where::Mark}, {3}, 3, {3}, {3}},
    {"BelowTheLastRowNothingHappens", {}, {}, {{2}}, {0, {}, Where::BelowLast}, {2}, 2, {}, {}},
};

class XListViewClick : public ::testing::TestWithParam<ClickCase> {};

TEST_P(XListViewClick, SelectsPostsAndRestoresAsExpected) {
    const ClickCase& c = GetParam();
    Strip strip(8, kNarrow, 360); // all eight rows in view, room below the last
    for (int32_t n : c.deleted)
        strip.frames[std::size_t(n - 1)]->SetUserFlags(0);
    for (int32_t n : c.preselected)
        strip.view->SetSelected(n, true);
    for (const Click& click : c.setup)
        LeftClick(strip, click);
    strip.dialog.Take();

    LeftClick(strip, c.click);

    EXPECT_EQ(strip.Selected(), c.selected);
    EXPECT_EQ(strip.view->Anchor(), c.anchor);
    EXPECT_EQ(strip.dialog.Take(), c.gotos);
    EXPECT_EQ(strip.Deleted(), c.deletedAfter);
    EXPECT_TRUE(strip.view->hasFocus());
}

INSTANTIATE_TEST_SUITE_P(Cases, XListViewClick, ::testing::ValuesIn(kClickCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(XListView, NotifySelectionPostsTheFirstSelectedFrameOnly) {
    Strip strip(8, kNarrow, 360);
    strip.view->NotifySelection();
    EXPECT_TRUE(strip.dialog.Take().empty());
    strip.view->SetSelected(6, true);
    strip.view->SetSelected(4, true);
    EXPECT_EQ(strip.view->FirstSelected(), 4);
    strip.view->NotifySelection();
    EXPECT_EQ(strip.dialog.Take(), std::vector<int32_t>{4});
    strip.view->ClearSelection();
    EXPECT_EQ(strip.view->FirstSelected(), 0);
}

struct ToggleCase {
    const char* name;
    std::vector<int32_t> deleted;
    std::vector<int32_t> selected;
    std::set<int32_t> deletedAfter;
};

TEST(XListView, ToggleKeptGivesEverySelectedFrameTheOppositeOfTheFirst) {
    const ToggleCase cases[] = {
        {"first deleted: all kept", {2, 4}, {2, 3, 4}, {}},
        {"first kept: all deleted", {2}, {1, 2, 5}, {1, 2, 5}},
        {"one deleted frame restored", {3, 6}, {6}, {3}},
        {"nothing selected", {5}, {}, {5}},
    };
    for (const ToggleCase& c : cases) {
        Strip strip(8, kNarrow, 360);
        for (int32_t n : c.deleted)
            strip.frames[std::size_t(n - 1)]->SetUserFlags(0);
        for (int32_t n : c.selected)
            strip.view->SetSelected(n, true);
        strip.view->ToggleKept();
        EXPECT_EQ(strip.Deleted(), c.deletedAfter) << c.name;
        EXPECT_TRUE(strip.dialog.Take().empty()) << c.name;
    }
}

TEST(XListView, RemoveAllItemsEmptiesTheStripButNotTheRecording) {
    Strip strip(8, kNarrow, 360);
    LeftClick(strip, {3});
    strip.view->RemoveAllItems();
    EXPECT_EQ(strip.view->Count(), 0);
    EXPECT_EQ(strip.view->Anchor(), 0);
    EXPECT_EQ(strip.view->FirstSelected(), 0);
    EXPECT_EQ(strip.frames.size(), 8u);
    strip.dialog.Take();
    LeftClick(strip, {1});
    EXPECT_TRUE(strip.dialog.Take().empty());
}

// ---------------------------------------------------------------------------
// Right button and context menu

struct MenuEntry {
    QString text;
    int command;
    QString accessibleName;
};

// Right-clicks visible row `row` and, once the menu is up, records its
// entries and clicks the one with `command` (none when 0).
std::vector<MenuEntry> RightClickAndChoose(Strip& strip, QPoint point, int command,
                                           bool* menuSeen = nullptr) {
    std::vector<MenuEntry> entries;
    WhenShown<QMenu> driver([&](QMenu* menu) {
        QAccessibleInterface* access = QAccessible::queryAccessibleInterface(menu);
        const QList<QAction*> actions = menu->actions();
        for (int i = 0; i < actions.size(); ++i) {
            QAction* action = actions[i];
            QAccessibleInterface* item = access ? access->child(i) : nullptr;
            entries.push_back({action->text(), action->isSeparator() ? 0 : action->data().toInt(),
                               item ? item->text(QAccessible::Name) : QString()});
        }
        QAction* chosen = nullptr;
        for (QAction* action : actions) {
            if (!action->isSeparator() && action->data().toInt() == command)
                chosen = action;
        }
        if (chosen)
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(chosen).center());
        else
            menu->close();
    });
    QTest::mousePress(strip.view->viewport(), Qt::RightButton, {}, point);
    QTest::mouseRelease(strip.view->viewport(), Qt::RightButton, {}, point);
    if (menuSeen)
        *menuSeen = driver.Seen();
    return entries;
}

TEST(XListView, RightClickSelectsTheFrameAloneAndDeleteUndoTogglesExactlyIt) {
    Strip strip(8, kNarrow, 360);
    // What the editor does with the command.
    QObject::connect(strip.view, &XListView::DeleteUndoRequested, strip.view,
                     [&] { strip.view->ToggleKept(); });
    QSignalSpy requests(strip.view, &XListView::DeleteUndoRequested);
    LeftClick(strip, {1});
    LeftClick(strip, {2, kCtrl});
    strip.dialog.Take();

    const std::vector<MenuEntry> entries =
        RightClickAndChoose(strip, PointOf({4}, 8), XListView::kDeleteUndoCommand);

    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].text, "Save this Frame As...");
    EXPECT_EQ(entries[0].command, 32845);
    EXPECT_EQ(entries[0].accessibleName, "Save this Frame As...");
    EXPECT_EQ(entries[1].command, 0); // separator
    EXPECT_EQ(entries[2].text, "Delete / Undo");
    EXPECT_EQ(entries[2].command, 32844);
    EXPECT_EQ(entries[2].accessibleName, "Delete / Undo");
    EXPECT_EQ(requests.count(), 1);
    EXPECT_EQ(strip.Selected(), std::set<int32_t>{4});
    EXPECT_EQ(strip.view->Anchor(), 4);
    EXPECT_EQ(strip.dialog.Take(), std::vector<int32_t>{4});
    EXPECT_EQ(strip.Deleted(), std::set<int32_t>{4});

    RightClickAndChoose(strip, PointOf({4}, 8), XListView::kDeleteUndoCommand);
    EXPECT_EQ(requests.count(), 2);
    EXPECT_TRUE(strip.Deleted().empty());

    // The right click made 4 the anchor of a Shift range.
    LeftClick(strip, {6, kShift});
    EXPECT_EQ(strip.Selected(), (std::set<int32_t>{4, 5, 6}));
}

TEST(XListView, MenuDismissedDoesNothingAndBelowTheLastRowNoMenuOpens) {
    Strip strip(8, kNarrow, 360);
    QSignalSpy requests(strip.view, &XListView::DeleteUndoRequested);
    bool seen = false;
    RightClickAndChoose(strip, PointOf({5}, 8), 0, &seen);
    EXPECT_TRUE(seen);
    EXPECT_EQ(requests.count(), 0);
    EXPECT_EQ(strip.Selected(), std::set<int32_t>{5});
    strip.dialog.Take();

    RightClickAndChoose(strip, PointOf({0, {}, Where::BelowLast}, 8), 0, &seen);
    EXPECT_FALSE(seen);
    EXPECT_EQ(strip.Selected(), std::set<int32_t>{5});
    EXPECT_TRUE(strip.dialog.Take().empty());
}

TEST(XListView, SaveThisFrameAsWritesTheClickedFrameAtFullSize) {
    Strip strip(8, kNarrow, 360, [](int n) {
        return MakeFrame(90, 40, [n](int x, int y) { return qRgb(x * 2, y * 5, n * 20); });
    });
    strip.frames[5]->SetUserFlags(0); // deleted frames save like any other
    QTemporaryDir dir;
    const QString path = dir.filePath("frame6.png");
    QWidget* askedWith = nullptr;
    strip.view->SetSavePathChooser([&](QWidget* parent) {
        askedWith = parent;
        return path;
    });

    RightClickAndChoose(strip, PointOf({6}, 8), XListView::kSaveFrameAsCommand);

    EXPECT_EQ(askedWith, strip.view);
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    EXPECT_EQ(reader.format(), "png");
    const QImage saved = reader.read().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(saved, Upright(*strip.frames[5]));
}

// ---------------------------------------------------------------------------
// Scrolling

QWheelEvent Wheel(QPoint angleDelta) {
    return QWheelEvent(QPointF(30, 30), QPointF(30, 30), QPoint(), angleDelta, Qt::NoButton,
                       Qt::NoModifier, Qt::NoScrollPhase, false);
}

TEST(XListView, ScrollRangeEndsWithTheLastFullScreenOnARowBoundary) {
    Strip strip(20, kNarrow, 360); // ten rows and ten pixels in view
    QScrollBar* bar = strip.view->verticalScrollBar();
    EXPECT_EQ(strip.view->ItemHeight(), kNarrowRow);
    EXPECT_TRUE(bar->isEnabled());
    EXPECT_EQ(bar->maximum(), 350); // 20 x 35 + 10 - 360
    EXPECT_EQ(bar->singleStep(), 35);
    EXPECT_EQ(bar->pageStep(), 350);
}

TEST(XListView, WheelScrollsOneRowPerMessageWhateverItsSize) {
    Strip strip(20, kNarrow, 360);
    struct Step {
        QPoint delta;
        int32_t position;
    };
    const Step steps[] = {
        {{0, -120}, 35}, {{0, -1}, 70},  {{0, -960}, 105},
        {{0, 120}, 70},  {{120, 0}, 70}, // sideways: no vertical movement
    };
    for (const Step& step : steps) {
        QWheelEvent event = Wheel(step.delta);
        QApplication::sendEvent(strip.view->viewport(), &event);
        EXPECT_EQ(strip.view->ScrollPos(), step.position) << step.delta.y();
    }
    // Over the scroll bar, too.
    QWheelEvent event = Wheel({0, -120});
    QApplication::sendEvent(strip.view->verticalScrollBar(), &event);
    EXPECT_EQ(strip.view->ScrollPos(), 105);
}

TEST(XListView, ArrowAndPageKeysScrollOneRowAndLeaveTheSelection) {
    Strip strip(20, kNarrow, 360);
    LeftClick(strip, {2});
    strip.dialog.Take();
    struct Step {
        Qt::Key key;
        int32_t position;
    };
    const Step steps[] = {{Qt::Key_Down, 35}, {Qt::Key_PageDown, 70}, {Qt::Key_Down, 105},
                          {Qt::Key_Up, 70},   {Qt::Key_PageUp, 35},   {Qt::Key_PageUp, 0},
                          {Qt::Key_PageUp, 0}};
    for (const Step& step : steps) {
        QTest::keyClick(strip.view, step.key);
        EXPECT_EQ(strip.view->ScrollPos(), step.position) << step.key;
    }
    strip.view->SetScrollPos(350);
    QTest::keyClick(strip.view, Qt::Key_Down);
    EXPECT_EQ(strip.view->ScrollPos(), 350);
    EXPECT_EQ(strip.Selected(), std::set<int32_t>{2});
    EXPECT_TRUE(strip.dialog.Take().empty());
}

TEST(XListView, ScrollingEndsOnARowBoundary) {
    Strip strip(20, kNarrow, 360);
    strip.view->SetScrollPos(52);
    EXPECT_EQ(strip.view->ScrollPos(), 35);
    strip.view->SetScrollPos(53);
    EXPECT_EQ(strip.view->ScrollPos(), 70);

    // Dragging the thumb moves only the bar; letting go snaps.
    QScrollBar* bar = strip.view->verticalScrollBar();
    bar->setSliderDown(true);
    bar->setSliderPosition(130);
    EXPECT_EQ(strip.view->ScrollPos(), 130);
    bar->setSliderDown(false);
    EXPECT_EQ(strip.view->ScrollPos(), 140);
}

TEST(XListView, ScrolledRowsAreDrawnAndHitFromTheTop) {
    Strip strip(20, kNarrow, 360);
    strip.frames[3]->SetUserFlags(0); // frame 4
    strip.view->SetScrollPos(105);    // frame 4 is the top row
    const QImage shot = strip.Grab();
    EXPECT_EQ(shot.pixel(42, 20), FrameColor(4));
    EXPECT_EQ(shot.pixel(42, 20 + kNarrowRow), FrameColor(5));
    EXPECT_EQ(shot.pixel(7, 16), qRgb(255, 0, 0));

    LeftClick(strip, {1, {}, Where::Mark}); // the mark of the top row
    EXPECT_EQ(strip.Selected(), std::set<int32_t>{4});
    EXPECT_TRUE(strip.Deleted().empty());
    EXPECT_EQ(strip.dialog.Take(), std::vector<int32_t>{4});
    LeftClick(strip, {3});
    EXPECT_EQ(strip.dialog.Take(), std::vector<int32_t>{6});
}

TEST(XListView, WhenAllRowsFitTheBarIsShownDisabledAndNothingScrolls) {
    Strip strip(5, kNarrow, 360);
    QScrollBar* bar = strip.view->verticalScrollBar();
    EXPECT_TRUE(bar->isVisible());
    EXPECT_FALSE(bar->isEnabled());
    QWheelEvent event = Wheel({0, -120});
    QApplication::sendEvent(strip.view->viewport(), &event);
    QTest::keyClick(strip.view, Qt::Key_Down);
    QTest::keyClick(strip.view, Qt::Key_PageDown);
    strip.view->SetScrollPos(70);
    EXPECT_EQ(strip.view->ScrollPos(), 0);
}

TEST(XListView, LayoutFollowsTheSizeGivenAfterTheInitialUpdate) {
    Strip strip(20, kNarrow, 360);
    strip.Resize(127, 360); // rows of 80
    EXPECT_EQ(strip.view->ItemHeight(), 80);
    EXPECT_EQ(strip.view->verticalScrollBar()->maximum(), 20 * 80 + 40 - 360);
    strip.Resize(127, 2000); // now everything fits
    EXPECT_FALSE(strip.view->verticalScrollBar()->isEnabled());
}

// ---------------------------------------------------------------------------
// Pixels

// Rows 127 wide: 80 high, a 100 x 75 box at (22, top + 5), the frame within
// (24, top + 7, 96, 71).
constexpr int kWide = 127;
constexpr int kWideRow = 80;

std::unique_ptr<CxImage> PixelCaseFrame(int n) {
    switch (n) {
    case 1: // smaller than the box: a green top row over blue, red left column
        return MakeFrame(40, 30, [](int x, int y) {
            return y == 0 ? qRgb(0, 255, 0) : x == 0 ? qRgb(255, 0, 0) : qRgb(0, 0, 255);
        });
    case 2: // wide: yellow top half, cyan bottom half
        return MakeFrame(192, 36,
                         [](int, int y) { return y < 18 ? qRgb(255, 255, 0) : qRgb(0, 255, 255); });
    case 3: // tall
        return SolidFrame(50, 142, qRgb(128, 0, 128));
    default: // to be deleted
        return SolidFrame(64, 48, qRgb(90, 90, 90));
    }
}

TEST(XListViewPixels, RowsShowTheFrameFittedTheNumberTheMarkAndTheSelection) {
    Strip strip(4, kWide, 4 * kWideRow, PixelCaseFrame);
    strip.frames[3]->SetUserFlags(0);
    strip.view->SetSelected(2, true);
    const QImage shot = strip.Grab();
    shot.save(QDir::temp().filePath("x_list_view_rows.png"));
    const QPalette pal = strip.view->palette();
    const QRgb white = qRgb(255, 255, 255);
    const QRgb base = pal.color(QPalette::Active, QPalette::Base).rgb();
    const QRgb border = pal.color(QPalette::Active, QPalette::Mid).rgb();
    const QRgb highlight = pal.color(QPalette::Active, QPalette::Highlight).rgb();

    // Row 1: the small frame 1:1, centred at (52, 27), upright.
    const QImage small = Upright(*strip.frames[0]);
    EXPECT_EQ(shot.copy(52, 27, 40, 30), small);
    EXPECT_EQ(shot.pixel(53, 27), qRgb(0, 255, 0)); // its top row is at the top
    EXPECT_EQ(shot.pixel(51, 40), white);
    EXPECT_EQ(shot.pixel(92, 40), white);
    EXPECT_EQ(shot.pixel(70, 26), white);
    EXPECT_EQ(shot.pixel(70, 57), white);
    EXPECT_EQ(shot.pixel(22, 40), border); // unselected: thin border on the box
    EXPECT_EQ(shot.pixel(121, 40), border);
    EXPECT_EQ(shot.pixel(19, 40), base);
    EXPECT_EQ(shot.pixel(7, 16), base); // kept: no mark

    // Row 2: the wide frame fills the width (24..119), centred: rows 33..50.
    const int t2 = kWideRow;
    for (int x : {24, 70, 119}) {
        EXPECT_EQ(shot.pixel(x, t2 + 33), qRgb(255, 255, 0)) << x;
        EXPECT_EQ(shot.pixel(x, t2 + 50), qRgb(0, 255, 255)) << x;
        EXPECT_EQ(shot.pixel(x, t2 + 32), white) << x;
        EXPECT_EQ(shot.pixel(x, t2 + 51), white) << x;
    }
    EXPECT_EQ(shot.pixel(23, t2 + 40), white);
    EXPECT_EQ(shot.pixel(120, t2 + 40), white);
    // Selected: a 3-pixel band 1 pixel away from the box, no border on it.
    for (int x : {18, 19, 20, 123, 124, 125})
        EXPECT_EQ(shot.pixel(x, t2 + 40), highlight) << x;
    for (int y : {t2 + 1, t2 + 3, t2 + 81, t2 + 83})
        EXPECT_EQ(shot.pixel(70, y), highlight) << y;
    EXPECT_EQ(shot.pixel(21, t2 + 40), white);
    EXPECT_EQ(shot.pixel(22, t2 + 40), white);
    EXPECT_EQ(shot.pixel(17, t2 + 40), base);

    // Row 3: the tall frame fills the height (7..77), centred: columns 59..83.
    const int t3 = 2 * kWideRow;
    EXPECT_EQ(shot.pixel(59, t3 + 7), qRgb(128, 0, 128));
    EXPECT_EQ(shot.pixel(83, t3 + 77), qRgb(128, 0, 128));
    EXPECT_EQ(shot.pixel(58, t3 + 40), white);
    EXPECT_EQ(shot.pixel(84, t3 + 40), white);

    // Row 4: deleted: the pure red mark at (6..15, 15..24) with a cross in the background colour.
    const int t4 = 3 * kWideRow;
    for (QPoint p : {QPoint(6, 15), QPoint(15, 15), QPoint(6, 24), QPoint(15, 24), QPoint(11, 16)})
        EXPECT_EQ(shot.pixel(p.x(), t4 + p.y()), qRgb(255, 0, 0)) << p.x() << "," << p.y();
    EXPECT_EQ(shot.pixel(5, t4 + 20), base);
    EXPECT_EQ(shot.pixel(16, t4 + 20), base);
    EXPECT_EQ(shot.pixel(9, t4 + 18), base); // on the cross
    EXPECT_EQ(shot.pixel(12, t4 + 18), base);

    // Every row carries its number at the top left, in the (dark) text colour.
    for (int row = 0; row < 4; ++row) {
        int inked = 0;
        for (int y = row * kWideRow; y < row * kWideRow + 14; ++y) {
            for (int x = 0; x < 22; ++x)
                inked += qGray(shot.pixel(x, y)) < 128;
        }
        EXPECT_GT(inked, 5) << row;
    }
}

// At twice the pixel density the thumbnail has a pixel for every device
// pixel: columns one frame pixel wide stay black and white instead of
// blending to grey. Runs in a child started with QT_SCALE_FACTOR=2.
TEST(XListViewPixels, DoubleDensityChild) {
    if (qApp->devicePixelRatio() != 2.0)
        GTEST_SKIP() << "runs in the child at scale factor 2";
    Strip strip(2, kWide, 2 * kWideRow, [](int n) {
        if (n == 1)
            return MakeFrame(
                192, 142, [](int x, int) { return x % 2 ? qRgb(0, 0, 0) : qRgb(255, 255, 255); });
        return SolidFrame(64, 48, qRgb(90, 90, 90));
    });
    strip.frames[1]->SetUserFlags(0);
    const QImage shot = strip.Grab();
    shot.save(QDir::temp().filePath("x_list_view_rows_2x.png"));
    ASSERT_EQ(shot.width(), 2 * kWide);
    for (int x = 48; x < 48 + 192; ++x)
        ASSERT_EQ(shot.pixel(x, 100), x % 2 ? qRgb(0, 0, 0) : qRgb(255, 255, 255)) << x;
    // The mark covers 20 x 20 device pixels.
    const int t2 = 2 * kWideRow; // the second row, in device pixels
    EXPECT_EQ(shot.pixel(12, t2 + 30), qRgb(255, 0, 0));
    EXPECT_EQ(shot.pixel(31, t2 + 49), qRgb(255, 0, 0));
    EXPECT_NE(shot.pixel(32, t2 + 49), qRgb(255, 0, 0));
}

TEST(XListViewPixels, CrispAtDoubleDensity) {
    EnvGuard env;
    env.Set("QT_SCALE_FACTOR", "2");
    const testing_support::ProcessResult run =
        testing_support::RunProgram(QCoreApplication::applicationFilePath(),
                                    {"--gtest_filter=XListViewPixels.DoubleDensityChild"});
    EXPECT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("[  PASSED  ] 1 test")) << run.out.toStdString();
    EXPECT_FALSE(run.out.contains("SKIPPED")) << run.out.toStdString();
}

// ---------------------------------------------------------------------------
// Long recordings

TEST(XListView, ThumbnailsAreMadeOnlyForTheRowsInView) {
    // Rows of 80 in 566 pixels: seven rows and part of an eighth in view.
    Strip strip(2000, kWide, 566);
    EXPECT_EQ(strip.madeBeforeShown, 0); // adding and laying out touch no pixels
    strip.view->viewport()->repaint();
    EXPECT_EQ(strip.view->ThumbnailsMade(), 8);

    const int32_t last = strip.view->verticalScrollBar()->maximum();
    EXPECT_EQ(last, (2000 - 7) * kWideRow);
    for (int32_t position = kWideRow; position <= last; position += kWideRow) {
        strip.view->SetScrollPos(position);
        strip.view->viewport()->repaint();
        ASSERT_LE(strip.view->CachedThumbnails(), XListView::kMinCachedThumbnails);
    }
    EXPECT_EQ(strip.view->ThumbnailsMade(), 2000); // each row once
    strip.view->SetScrollPos(last - 5 * kWideRow); // recently seen: still cached
    strip.view->viewport()->repaint();
    EXPECT_EQ(strip.view->ThumbnailsMade(), 2000);
    strip.view->SetScrollPos(0);
    strip.view->viewport()->repaint();
    EXPECT_EQ(strip.view->ThumbnailsMade(), 2008);

    strip.Resize(kNarrow, 566); // a new row width makes new thumbnails
    strip.view->viewport()->repaint();
    EXPECT_EQ(strip.view->ThumbnailsMade(), 2008 + 17); // 566 / 35: 16 rows and a part
}

TEST(XListView, ThumbnailsAreTheFrameShrunkUpright) {
    const auto frame = MakeFrame(200, 100, [](int x, int y) {
        return y < 50 ? qRgb(255, 0, 0) : x < 100 ? qRgb(0, 255, 0) : qRgb(0, 0, 255);
    });
    const QImage thumb = MakeThumbnail(*frame, {20, 10});
    ASSERT_EQ(thumb.size(), QSize(20, 10));
    EXPECT_EQ(thumb.pixel(10, 2), qRgb(255, 0, 0));
    EXPECT_EQ(thumb.pixel(3, 8), qRgb(0, 255, 0));
    EXPECT_EQ(thumb.pixel(16, 8), qRgb(0, 0, 255));
    EXPECT_TRUE(MakeThumbnail(CxImage(), {20, 10}).isNull());
}

TEST(XListView, ThumbnailCacheDropsTheLeastRecentlyUsed) {
    ThumbnailCache cache(2);
    cache.Insert(1, QImage(1, 1, QImage::Format_RGB32));
    cache.Insert(2, QImage(2, 2, QImage::Format_RGB32));
    ASSERT_NE(cache.Find(1), nullptr); // 1 is now the most recent
    cache.Insert(3, QImage(3, 3, QImage::Format_RGB32));
    EXPECT_EQ(cache.Size(), 2u);
    EXPECT_EQ(cache.Find(2), nullptr);
    ASSERT_NE(cache.Find(3), nullptr);
    EXPECT_EQ(cache.Find(3)->width(), 3);
    cache.SetCapacity(1);
    EXPECT_EQ(cache.Size(), 1u);
    EXPECT_NE(cache.Find(3), nullptr);
}

TEST(XListViewAccessibility, EveryFrameIsAListItemAScreenReaderCanFindAndClick) {
    Strip strip(6, kNarrow, 3 * kNarrowRow);
    strip.frames[1]->SetUserFlags(0);
    strip.view->SetSelected(3, true);
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(strip.view);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->role(), QAccessible::List);
    ASSERT_EQ(list->childCount(), 6);
    const QPoint origin = strip.view->viewport()->mapToGlobal(QPoint(0, 0));
    for (int i = 0; i < 6; ++i) {
        QAccessibleInterface* row = list->child(i);
        ASSERT_NE(row, nullptr);
        SCOPED_TRACE(i);
        EXPECT_EQ(row->role(), QAccessible::ListItem);
        EXPECT_EQ(row->text(QAccessible::Name),
                  i == 1 ? QString("Frame 2, deleted") : QString("Frame %1").arg(i + 1));
        EXPECT_EQ(row->state().selected, i == 2);
        EXPECT_EQ(list->indexOfChild(row), i);
        EXPECT_EQ(row->parent(), list);
        // Rows below the third are scrolled out of the viewport.
        EXPECT_EQ(row->state().invisible, i >= 3);
        EXPECT_EQ(row->rect(),
                  QRect(origin + QPoint(0, i * kNarrowRow), QSize(kNarrow, kNarrowRow)));
    }
    // The row under a screen point, as a screen reader's pointer finds it;
    // clicking there selects that frame.
    const QPoint onSecond = origin + QPoint(40, kNarrowRow + 10);
    EXPECT_EQ(list->childAt(onSecond.x(), onSecond.y()), list->child(1));
    QTest::mouseClick(strip.view->viewport(), Qt::LeftButton, {},
                      strip.view->viewport()->mapFromGlobal(list->child(4 - 1)->rect().center()));
    EXPECT_EQ(strip.Selected(), std::set<int32_t>{4});
    EXPECT_TRUE(list->child(3)->state().selected);
}

} // namespace
