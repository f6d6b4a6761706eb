// The subtitle list as the user drives it: double-clicks open the edit box,
// the keys and clicks that end an edit, Tab across cells and rows, row
// clicks, and the rows' data.
#include <QApplication>
#include <QContextMenuEvent>
#include <QDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpontaneKeyEvent>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "editor/list_ctrl_ex.h"
#include "editor/subtitle_cell_rules.h"
#include "editor/subtitle_rows.h"

namespace {

constexpr int32_t kFrameCount = 20;

std::unique_ptr<SubtitleItem> Subtitle(int32_t first, int32_t last, int32_t x, int32_t y,
                                       const char* text) {
    auto s = std::make_unique<SubtitleItem>();
    s->firstFrame = first;
    s->lastFrame = last;
    s->x = x;
    s->y = y;
    std::strncpy(s->text.text, text, sizeof(s->text.text) - 1);
    return s;
}

// A window as the editor dialog lays it out: a control before the list, the list, a control
// after it and a button that never takes the focus.
struct ListWindow {
    explicit ListWindow(std::unique_ptr<QWidget> shown) : window(std::move(shown)) {
        auto* layout = new QVBoxLayout(window.get());
        before = new QLineEdit(window.get());
        list = new CListCtrlEx(window.get());
        after = new QLineEdit(window.get());
        noFocusButton = new QPushButton(QStringLiteral("Elsewhere"), window.get());
        noFocusButton->setFocusPolicy(Qt::NoFocus);
        for (QWidget* w : std::initializer_list<QWidget*>{before, list, after, noFocusButton})
            layout->addWidget(w);
        SetupSubtitleColumns(*list);
        list->SetDefaultEditor(SubtitleBeginEditRule(), SubtitleEndEditRule(kFrameCount));
        // Created oldest first; each new row goes on top, so row 0 is "Third".
        subtitles.push_back(Subtitle(1, 5, 10, 100, "First"));
        subtitles.push_back(Subtitle(3, 10, 20, 110, "Second"));
        subtitles.push_back(Subtitle(6, 20, 30, 120, "Third"));
        for (auto& s : subtitles)
            InsertSubtitleRow(*list, s.get());
        window->resize(900, 400);
        window->show();
        window->activateWindow();
    }

    bool Active() const { return QTest::qWaitForWindowActive(window.get()); }
    // The subtitle shown in `row`.
    SubtitleItem& At(int row) const { return *list->ItemData(row); }
    QLineEdit& Editor() const { return list->Editor(); }
    QWidget* Viewport() const { return list->viewport(); }
    QPoint CellCenter(int row, int column) const {
        return list->visualRect(list->model()->index(row, column)).center();
    }
    void DoubleClick(int row, int column) const {
        const QPoint at = CellCenter(row, column);
        QTest::mouseClick(Viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(Viewport(), Qt::LeftButton, {}, at);
    }
    // Opens the cell, replaces its text with `typed` (the box opens all selected).
    void Type(int row, int column, const QString& typed) const {
        ASSERT_TRUE(list->BeginCellEdit(row, column));
        QTest::keyClick(&Editor(), Qt::Key_Backspace);
        QTest::keyClicks(&Editor(), typed);
    }

    // Declared first, so the subtitles outlive the rows that point at them.
    std::vector<std::unique_ptr<SubtitleItem>> subtitles;
    std::unique_ptr<QWidget> window;
    QLineEdit* before;
    CListCtrlEx* list;
    QLineEdit* after;
    QPushButton* noFocusButton;
};

class SubtitleList : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(w.Active()); }
    ListWindow w{std::make_unique<QWidget>()};
};

TEST_F(SubtitleList, HasTheColumnsAndNames) {
    const QStringList headers{"Start", "End", "Text (double click item to modify it)", "Position X",
                              "Position Y"};
    const int widths[] = {70, 70, 430, 80, 80};
    ASSERT_EQ(w.list->columnCount(), 5);
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(w.list->horizontalHeaderItem(c)->text(), headers[c]);
        EXPECT_EQ(w.list->columnWidth(c), widths[c]);
    }
    EXPECT_EQ(w.list->accessibleName(), "Subtitles");
    EXPECT_EQ(w.Editor().accessibleName(), "Edit subtitle cell");
    EXPECT_FALSE(w.list->horizontalHeader()->accessibleName().isEmpty());
    EXPECT_EQ(w.list->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_EQ(w.list->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_TRUE(w.list->showGrid());
    EXPECT_FALSE(w.Editor().isVisible());
}

TEST_F(SubtitleList, NewestRowOnTopShowingItsValues) {
    auto added = Subtitle(7, 20, 3, 455, "Please Modify me");
    EXPECT_EQ(InsertSubtitleRow(*w.list, added.get()), 0);
    const QStringList row0{"7", "20", "Please Modify me", "3", "455"};
    for (int c = 0; c < 5; ++c)
        EXPECT_EQ(w.list->ItemText(0, c), row0[c]) << "column " << c;
    EXPECT_EQ(w.list->ItemData(0), added.get());
    EXPECT_EQ(w.list->ItemText(1, kTextColumn), "Third");
    EXPECT_EQ(w.list->ItemText(3, kTextColumn), "First");
}

TEST_F(SubtitleList, FindRowByItsSubtitle) {
    SubtitleItem* second = w.subtitles[1].get();
    EXPECT_EQ(w.list->FindRow(second), 1);
    EXPECT_EQ(w.list->FindRow(w.subtitles[0].get()), 2);
    SubtitleItem stranger;
    EXPECT_EQ(w.list->FindRow(&stranger), -1);
    EXPECT_EQ(w.list->InsertRow(99, QStringLiteral("no subtitle")), 3);
    EXPECT_EQ(w.list->ItemData(3), nullptr);
    EXPECT_EQ(w.list->FindRow(nullptr), -1);
    w.list->DeleteRow(0);
    EXPECT_EQ(w.list->FindRow(second), 0);
    EXPECT_EQ(w.list->ItemData(5), nullptr);
}

TEST_F(SubtitleList, DoubleClickOpensTheCellAllSelectedAndTypingReplacesIt) {
    w.DoubleClick(1, kTextColumn);
    ASSERT_TRUE(w.list->Editing());
    EXPECT_EQ(w.list->EditRow(), 1);
    EXPECT_EQ(w.list->EditColumn(), kTextColumn);
    EXPECT_TRUE(w.Editor().isVisible());
    EXPECT_EQ(QApplication::focusWidget(), &w.Editor());
    const QRect cell = w.list->visualRect(w.list->model()->index(1, kTextColumn));
    EXPECT_EQ(w.Editor().geometry().topLeft(), cell.topLeft());
    EXPECT_EQ(w.Editor().height(), cell.height() + 1);
    EXPECT_EQ(w.Editor().selectedText(), "Second");
    QTest::keyClicks(&w.Editor(), QStringLiteral("Renamed"));
    EXPECT_EQ(w.Editor().text(), "Renamed");
}

TEST_F(SubtitleList, StartingAnEditDeselectsTheRow) {
    w.list->SelectRow(1);
    EXPECT_EQ(w.list->SelectedRow(), 1);
    EXPECT_EQ(w.list->currentRow(), 1);
    ASSERT_TRUE(w.list->BeginCellEdit(1, kEndColumn));
    EXPECT_EQ(w.list->SelectedRow(), -1);
}

TEST_F(SubtitleList, RefusesCellsOutsideTheTable) {
    for (auto [row, column] : {std::pair{-1, 0}, {3, 0}, {0, -1}, {0, 5}})
        EXPECT_FALSE(w.list->BeginCellEdit(row, column)) << row << "," << column;
    EXPECT_FALSE(w.list->Editing());
}

struct TypedCase {
    const char* what;
    int column;
    QString typed;
    QString cellAfter;
    std::function<bool(const SubtitleItem&)> applied;
};

void PrintTo(const TypedCase& c, std::ostream* os) {
    *os << c.what;
}

class TypedValue : public SubtitleList, public ::testing::WithParamInterface<TypedCase> {};

// Row 1 is "Second": frames 3..10 at (20, 110).
TEST_P(TypedValue, EnterAppliesTheRule) {
    const TypedCase& c = GetParam();
    w.Type(1, c.column, c.typed);
    QTest::keyClick(&w.Editor(), Qt::Key_Return);
    EXPECT_FALSE(w.list->Editing());
    EXPECT_FALSE(w.Editor().isVisible());
    EXPECT_EQ(w.list->ItemText(1, c.column), c.cellAfter);
    EXPECT_TRUE(c.applied(w.At(1)));
}

INSTANTIATE_TEST_SUITE_P(
    Cells, TypedValue,
    ::testing::Values(TypedCase{"start 0 refused", kStartColumn, "0", "3",
                                [](const SubtitleItem& s) { return s.firstFrame == 3; }},
                      TypedCase{"start above the end refused", kStartColumn, "11", "3",
                                [](const SubtitleItem& s) { return s.firstFrame == 3; }},
                      TypedCase{"start 007 shown as typed", kStartColumn, "007", "007",
                                [](const SubtitleItem& s) { return s.firstFrame == 7; }},
                      TypedCase{"end above the frame count refused", kEndColumn, "21", "10",
                                [](const SubtitleItem& s) { return s.lastFrame == 10; }},
                      TypedCase{"cleared text keeps the old text", kTextColumn, "", "Second",
                                [](const SubtitleItem& s) { return SubtitleText(s) == "Second"; }},
                      TypedCase{"cleared x is 0 and an empty cell", kPositionXColumn, "", "",
                                [](const SubtitleItem& s) { return s.x == 0; }},
                      TypedCase{"y typed", kPositionYColumn, "321", "321",
                                [](const SubtitleItem& s) { return s.y == 321; }}));

TEST_F(SubtitleList, EnterNeverReachesTheDialog) {
    ListWindow d{std::make_unique<QDialog>()};
    ASSERT_TRUE(d.Active());
    auto* dialog = static_cast<QDialog*>(d.window.get());
    auto* ok = new QPushButton(QStringLiteral("OK"), dialog);
    ok->setDefault(true);
    dialog->layout()->addWidget(ok);
    ok->show();
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QSignalSpy accepted(dialog, &QDialog::accepted);

    d.Type(0, kPositionXColumn, QStringLiteral("77"));
    QTest::keyClick(&d.Editor(), Qt::Key_Return);
    EXPECT_EQ(d.At(0).x, 77);
    EXPECT_EQ(QApplication::focusWidget(), d.list);
    QTest::keyClick(d.list, Qt::Key_Enter);
    EXPECT_EQ(accepted.count(), 0);
    EXPECT_TRUE(dialog->isVisible());
    // The same key on another control is the dialog's.
    d.after->setFocus();
    QTest::keyClick(d.after, Qt::Key_Return);
    EXPECT_EQ(accepted.count(), 1);
}

// Ways an open edit of row 0's x ends with the typed value applied.
struct EndingCase {
    const char* what;
    std::function<void(ListWindow&)> act;
};

void PrintTo(const EndingCase& c, std::ostream* os) {
    *os << c.what;
}

// A wheel turn as the window system delivers it: one the target leaves travels on to its
// parents.
void Wheel(QWidget* target, QPoint at) {
    QWheelEvent wheel(at, target->mapToGlobal(at), {}, QPoint(0, -120), Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&wheel);
    QApplication::instance()->notify(target, &wheel);
}

class EditEnding : public SubtitleList, public ::testing::WithParamInterface<EndingCase> {};

TEST_P(EditEnding, CommitsTheTypedValue) {
    QSignalSpy ended(w.list, &CListCtrlEx::CellEditEnded);
    w.Type(0, kPositionXColumn, QStringLiteral("15"));
    ASSERT_TRUE(w.list->Editing());
    GetParam().act(w);
    EXPECT_FALSE(w.list->Editing());
    EXPECT_FALSE(w.Editor().isVisible());
    EXPECT_EQ(w.At(0).x, 15);
    EXPECT_EQ(w.list->ItemText(0, kPositionXColumn), "15");
    ASSERT_EQ(ended.count(), 1);
    EXPECT_EQ(ended[0], (QVariantList{0, kPositionXColumn, true}));
}

INSTANTIATE_TEST_SUITE_P(
    Ways, EditEnding,
    ::testing::Values(
        EndingCase{"focus moves to another control", [](ListWindow& w) { w.after->setFocus(); }},
        EndingCase{"click on a control that takes no focus",
                   [](ListWindow& w) { QTest::mouseClick(w.noFocusButton, Qt::LeftButton); }},
        EndingCase{"click on another row",
                   [](ListWindow& w) {
                       QTest::mouseClick(w.Viewport(), Qt::LeftButton, {},
                                         w.CellCenter(2, kStartColumn));
                   }},
        EndingCase{"wheel over the list",
                   [](ListWindow& w) { Wheel(w.Viewport(), w.CellCenter(2, kStartColumn)); }},
        EndingCase{"a menu opens elsewhere",
                   [](ListWindow& w) {
                       QMenu menu(w.after);
                       menu.addAction(QStringLiteral("Some command"));
                       menu.popup(w.after->mapToGlobal(QPoint(0, 0)));
                       EXPECT_TRUE(menu.isVisible());
                       menu.close();
                   }},
        EndingCase{"another window becomes active",
                   [](ListWindow& w) {
                       QWidget other;
                       other.show();
                       other.activateWindow();
                       ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
                       // Ended from the event loop, never inside the deactivation itself.
                       EXPECT_TRUE(QTest::qWaitFor([&] { return !w.list->Editing(); }));
                   }},
        EndingCase{"the end-edit message",
                   [](ListWindow& w) {
                       QCoreApplication::postEvent(w.list, new ListEndEditEvent(true));
                       QCoreApplication::sendPostedEvents(w.list);
                   }},
        EndingCase{"the other ways end nothing more", [](ListWindow& w) {
                       w.list->EndCellEdit(true);
                       w.list->EndCellEdit(false);
                       w.after->setFocus();
                   }}));

// Things that happen inside the box leave it open.
TEST_P(EditEnding, NotByWhatHappensInsideTheBox) {
    w.Type(0, kPositionXColumn, QStringLiteral("15"));
    QTest::mouseClick(&w.Editor(), Qt::LeftButton, {}, QPoint(3, 3));
    Wheel(&w.Editor(), QPoint(3, 3));
    QContextMenuEvent context(QContextMenuEvent::Mouse, QPoint(3, 3),
                              w.Editor().mapToGlobal(QPoint(3, 3)));
    QApplication::sendEvent(&w.Editor(), &context);
    QWidget* menu = QApplication::activePopupWidget();
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(w.list->Editing());
    menu->close();
    EXPECT_TRUE(w.list->Editing());
    EXPECT_EQ(w.Editor().text(), "15");
    GetParam().act(w);
    EXPECT_EQ(w.At(0).x, 15);
}

struct TabCase {
    const char* what;
    int row, column;
    QString typed;
    bool back;
    int toRow, toColumn;
};

void PrintTo(const TabCase& c, std::ostream* os) {
    *os << c.what;
}

class TabKey : public SubtitleList, public ::testing::WithParamInterface<TabCase> {};

TEST_P(TabKey, CommitsAndOpensTheNeighbourCell) {
    const TabCase& c = GetParam();
    w.Type(c.row, c.column, c.typed);
    QTest::keyClick(&w.Editor(), Qt::Key_Tab, c.back ? Qt::ShiftModifier : Qt::NoModifier);
    EXPECT_EQ(w.list->ItemText(c.row, c.column), c.typed);
    ASSERT_TRUE(w.list->Editing());
    EXPECT_EQ(w.list->EditRow(), c.toRow);
    EXPECT_EQ(w.list->EditColumn(), c.toColumn);
    EXPECT_EQ(QApplication::focusWidget(), &w.Editor());
    EXPECT_EQ(w.Editor().selectedText(), w.list->ItemText(c.toRow, c.toColumn));
}

INSTANTIATE_TEST_SUITE_P(Cells, TabKey,
                         ::testing::Values(TabCase{"text to x", 0, kTextColumn, "Tabbed", false, 0,
                                                   kPositionXColumn},
                                           TabCase{"y to the next row's start", 0, kPositionYColumn,
                                                   "44", false, 1, kStartColumn},
                                           TabCase{"back from start to the previous row's y", 1,
                                                   kStartColumn, "4", true, 0, kPositionYColumn},
                                           TabCase{"back from x to the text", 2, kPositionXColumn,
                                                   "33", true, 2, kTextColumn}));

TEST_F(SubtitleList, TabBeyondTheTableMovesToTheNextControl) {
    w.Type(2, kPositionYColumn, QStringLiteral("9"));
    QTest::keyClick(&w.Editor(), Qt::Key_Tab);
    EXPECT_FALSE(w.list->Editing());
    EXPECT_EQ(w.subtitles[0]->y, 9);
    EXPECT_EQ(QApplication::focusWidget(), w.after);

    w.Type(0, kStartColumn, QStringLiteral("7"));
    QTest::keyClick(&w.Editor(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_FALSE(w.list->Editing());
    EXPECT_EQ(w.At(0).firstFrame, 7);
    EXPECT_EQ(QApplication::focusWidget(), w.before);
}

TEST_F(SubtitleList, TabInTheListOpensTheFirstCellThenFollowsTheLastOpened) {
    w.list->setFocus();
    QTest::keyClick(w.list, Qt::Key_Tab);
    ASSERT_TRUE(w.list->Editing());
    EXPECT_EQ(w.list->EditRow(), 0);
    EXPECT_EQ(w.list->EditColumn(), kStartColumn);

    w.list->BeginCellEdit(1, kTextColumn);
    QTest::keyClick(&w.Editor(), Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), w.list);
    QTest::keyClick(w.list, Qt::Key_Tab);
    EXPECT_EQ(w.list->EditRow(), 1);
    EXPECT_EQ(w.list->EditColumn(), kPositionXColumn);
}

class RowClick : public SubtitleList, public ::testing::WithParamInterface<Qt::MouseButton> {};

TEST_P(RowClick, ReportsTheRowAfterSelectingIt) {
    std::vector<std::pair<int, int>> clicks; // row clicked, row selected then
    QObject::connect(w.list, &CListCtrlEx::RowClicked,
                     [&](int row) { clicks.emplace_back(row, w.list->SelectedRow()); });
    QTest::mouseClick(w.Viewport(), GetParam(), {}, w.CellCenter(1, kEndColumn));
    QTest::mouseClick(w.Viewport(), GetParam(), {}, w.CellCenter(2, kTextColumn));
    // Below the last row there is no row to click.
    const QRect last = w.list->visualRect(w.list->model()->index(2, 0));
    QTest::mouseClick(w.Viewport(), GetParam(), {}, QPoint(5, last.bottom() + 20));
    EXPECT_EQ(clicks, (std::vector<std::pair<int, int>>{{1, 1}, {2, 2}}));
}

INSTANTIATE_TEST_SUITE_P(Buttons, RowClick, ::testing::Values(Qt::LeftButton, Qt::RightButton));

TEST_F(SubtitleList, ColumnHeaderClickDoesNothing) {
    w.list->SelectRow(1);
    QHeaderView* header = w.list->horizontalHeader();
    for (int c : {kStartColumn, kTextColumn}) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(c) + 10, header->height() / 2));
    }
    EXPECT_EQ(w.list->SelectedRow(), 1);
    EXPECT_EQ(w.list->ItemText(0, kTextColumn), "Third");
    EXPECT_EQ(w.list->ItemText(2, kTextColumn), "First");
}

TEST_F(SubtitleList, EscapeOutsideADialogCancels) {
    std::vector<bool> accepts;
    w.list->SetDefaultEditor(
        {}, [&](QLineEdit& editor, int, int, QString& text, SubtitleItem*, bool accept) {
            accepts.push_back(accept);
            text = editor.text();
            return accept;
        });
    w.Type(0, kTextColumn, QStringLiteral("Dropped"));
    QTest::keyClick(&w.Editor(), Qt::Key_Escape);
    EXPECT_FALSE(w.list->Editing());
    EXPECT_EQ(accepts, std::vector<bool>{false});
    EXPECT_EQ(w.list->ItemText(0, kTextColumn), "Third");
    EXPECT_TRUE(w.window->isVisible());
}

TEST_F(SubtitleList, EscapeInADialogClosesItAndKeepsTheTypedValue) {
    ListWindow d{std::make_unique<QDialog>()};
    ASSERT_TRUE(d.Active());
    auto* dialog = static_cast<QDialog*>(d.window.get());
    QSignalSpy rejected(dialog, &QDialog::rejected);
    QSignalSpy ended(d.list, &CListCtrlEx::CellEditEnded);
    d.Type(0, kPositionYColumn, QStringLiteral("64"));
    QTest::keyClick(&d.Editor(), Qt::Key_Escape);
    EXPECT_EQ(rejected.count(), 1);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(d.list->Editing());
    EXPECT_EQ(d.At(0).y, 64);
    // The dialog's close handler ends the edit too: nothing more happens.
    d.list->EndCellEdit(true);
    EXPECT_EQ(ended.count(), 1);
}

TEST_F(SubtitleList, DeletingTheRowBeingEditedEndsTheEditWithoutItsSubtitle) {
    std::vector<std::pair<SubtitleItem*, bool>> ends;
    w.list->SetDefaultEditor(SubtitleBeginEditRule(),
                             [&](QLineEdit&, int, int, QString&, SubtitleItem* item, bool accept) {
                                 ends.emplace_back(item, accept);
                                 return accept;
                             });
    w.Type(1, kTextColumn, QStringLiteral("Gone"));
    w.list->DeleteRow(1);
    EXPECT_FALSE(w.list->Editing());
    EXPECT_FALSE(w.Editor().isVisible());
    EXPECT_EQ(ends, (std::vector<std::pair<SubtitleItem*, bool>>{{nullptr, false}}));
    EXPECT_EQ(SubtitleText(*w.subtitles[1]), "Second");
}

TEST_F(SubtitleList, BoxFollowsItsCellWhenRowsAreAddedAbove) {
    ASSERT_TRUE(w.list->BeginCellEdit(0, kTextColumn));
    auto added = Subtitle(1, 1, 0, 0, "Added");
    InsertSubtitleRow(*w.list, added.get());
    EXPECT_EQ(w.list->EditRow(), 1);
    EXPECT_EQ(w.Editor().geometry().topLeft(),
              w.list->visualRect(w.list->model()->index(1, kTextColumn)).topLeft());
    QTest::keyClicks(&w.Editor(), QStringLiteral("Moved"));
    QTest::keyClick(&w.Editor(), Qt::Key_Return);
    EXPECT_EQ(SubtitleText(*w.subtitles[2]), "Moved");
    EXPECT_EQ(SubtitleText(*added), "Added");
}

// Closing and destroying a window both take its activation away; only a close commits. While
// the window is destroyed the owner of the rules may be partly gone, so no rule runs.
TEST_F(SubtitleList, DestroyingTheWindowMidEditRunsNoRule) {
    int ends = 0;
    {
        ListWindow d{std::make_unique<QWidget>()};
        ASSERT_TRUE(d.Active());
        d.list->SetDefaultEditor({}, [&](QLineEdit&, int, int, QString&, SubtitleItem*, bool) {
            ++ends;
            return false;
        });
        d.Type(0, kTextColumn, QStringLiteral("Unsaved"));
        ASSERT_EQ(QApplication::focusWidget(), &d.Editor());
    }
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(ends, 0);
}

// An end rule may change the rows (here it adds one on top); the next cell is then found by
// its subtitle, not by its old row number.
TEST_F(SubtitleList, NextEditFindsItsRowAgainAfterTheEndRule) {
    auto added = Subtitle(1, 1, 0, 0, "Added by the rule");
    w.list->SetDefaultEditor({}, [&](QLineEdit&, int, int, QString&, SubtitleItem*, bool) {
        InsertSubtitleRow(*w.list, added.get());
        return false;
    });
    ASSERT_TRUE(w.list->BeginCellEdit(0, kTextColumn));
    ASSERT_TRUE(w.list->BeginCellEdit(0, kPositionXColumn));
    EXPECT_EQ(w.list->EditRow(), 1);
    EXPECT_EQ(w.list->ItemData(1), w.subtitles[2].get());
    w.list->SetDefaultEditor({}, {});
}

TEST_F(SubtitleList, NonAsciiTextRoundTrips) {
    const QString text = QStringLiteral("Grüße, 日本語, Ελληνικά 🎉");
    w.Type(0, kTextColumn, QString());
    w.Editor().insert(text);
    QTest::keyClick(&w.Editor(), Qt::Key_Return);
    EXPECT_EQ(QByteArray(w.At(0).text.text), text.toUtf8());
    EXPECT_EQ(w.list->ItemText(0, kTextColumn), text);
    FillSubtitleRow(*w.list, 2, w.At(0));
    EXPECT_EQ(w.list->ItemText(2, kTextColumn), text);
}

TEST_F(SubtitleList, LongTextIsCutAtACharacterAndTheCellShowsWhatIsStored) {
    // 4094 ASCII letters and a three-byte letter: one byte too many.
    const QString text = QString(4094, u'a') + QStringLiteral("日");
    ASSERT_TRUE(w.list->BeginCellEdit(0, kTextColumn));
    w.Editor().setText(text);
    QTest::keyClick(&w.Editor(), Qt::Key_Return);
    const QByteArray stored(w.At(0).text.text);
    EXPECT_EQ(stored, QByteArray(4094, 'a'));
    EXPECT_EQ(w.list->ItemText(0, kTextColumn), QString::fromUtf8(stored));
}

} // namespace
