// The editor dialog driven as a user drives it: adding and deleting
// subtitles, styling them, dragging them on the frame view, the strip's
// Delete / Undo and gotos, playback, Enter and Escape, and what closing keeps.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/app_settings.h"
#include "editor/add_text_dlg.h"
#include "editor/editor_messages.h"
#include "editor/list_ctrl_ex.h"
#include "editor/x_list_view.h"
#include "editor_test_support.h"
#include "env_guard.h"
#include "gif/subtitle_factory.h"
#include "test_files.h"
#include "test_rasterizer.h"
#include "widgets/color_button.h"

namespace {

using editor_test::SolidFrame;

constexpr int kFrames = 20;

class EditorDialog : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < kFrames; ++i)
            frames_.push_back(SolidFrame(320, 240, qRgb(40 + 10 * i, 90, 160)));
    }

    void Open() {
        dlg_ = std::make_unique<CAddTextDlg>(
            nullptr, int32_t(frames_.size()),
            EditorContext{frames_, subtitles_, settings_, TestTextRasterizer(), nullptr});
        dlg_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg_.get()));
    }

    template <class T> T* Ctl(int id) const { return qobject_cast<T*>(dlg_->Control(id)); }

    void Press(int id) {
        auto* button = Ctl<QAbstractButton>(id);
        ASSERT_NE(button, nullptr) << id;
        QTest::mouseClick(button, Qt::LeftButton);
    }

    void Goto(int32_t frame) {
        QCoreApplication::postEvent(dlg_.get(), new EditorGotoFrameEvent(frame));
        QCoreApplication::sendPostedEvents(dlg_.get());
    }

    // Paints the view now, so the subtitles' boxes are measured.
    void Paint() { dlg_->View().repaint(); }

    std::unique_ptr<SubtitleItem> Subtitle(const char* text, int32_t x, int32_t y, int32_t first,
                                           int32_t last) const {
        auto s = CreateSubtitle({240, first, kFrames}, SubtitleStyle{}, 96, [] { return 0u; });
        std::strncpy(s->text.text, text, sizeof s->text.text - 1);
        s->x = x;
        s->y = y;
        s->firstFrame = first;
        s->lastFrame = last;
        return s;
    }

    // The view point over frame pixel (fx, fy) of the last paint.
    QPoint ViewPoint(int fx, int fy) const {
        const FrameViewFit& fit = dlg_->LastFit();
        return fit.image.topLeft() + QPoint(int(fx / fit.scale), int(fy / fit.scale));
    }

    FrameList frames_;
    SubtitleList subtitles_;
    AppSettings settings_;
    std::unique_ptr<CAddTextDlg> dlg_;
};

TEST_F(EditorDialog, AddingASubtitleOnFrameSevenFillsTheTopRowAndOpensItsText) {
    subtitles_.push_back(Subtitle("Older", 5, 200, 1, 3));
    Open();
    Goto(7);
    Press(CAddTextDlg::IDC_ADD_SUBTITLE);
    ASSERT_EQ(subtitles_.size(), 2u);
    const SubtitleItem& added = *subtitles_.back();
    EXPECT_EQ(added.firstFrame, 7);
    EXPECT_EQ(added.lastFrame, kFrames);
    CListCtrlEx& list = dlg_->SubtitleTable();
    EXPECT_EQ(list.ItemData(0), &added);
    EXPECT_EQ(list.ItemText(0, 0), "7");
    EXPECT_EQ(list.ItemText(0, 1), "20");
    EXPECT_EQ(list.ItemText(0, 2), "Please Modify me");
    EXPECT_EQ(list.ItemText(0, 3), QString::number(added.x));
    EXPECT_EQ(list.ItemText(0, 4), QString::number(added.y));
    EXPECT_EQ(list.ItemText(1, 2), "Older");
    // The text cell is open with all of it selected: typing replaces it.
    ASSERT_TRUE(list.Editing());
    EXPECT_EQ(list.Editor().selectedText(), "Please Modify me");
    QTest::keyClicks(&list.Editor(), "Hello there");
    QTest::keyClick(&list.Editor(), Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !list.Editing(); }));
    EXPECT_STREQ(added.text.text, "Hello there");
    EXPECT_TRUE(dlg_->isVisible()); // the Enter went to the cell, not the dialog
}

TEST_F(EditorDialog, NewSubtitlesTakeTheStyleControlsAndTheOneFrameCase) {
    frames_.resize(1);
    Open();
    Ctl<QCheckBox>(CAddTextDlg::IDC_BOLD)->setChecked(false);
    Ctl<QComboBox>(CAddTextDlg::IDC_BACK_STYLE)->setCurrentIndex(1);
    Press(CAddTextDlg::IDC_ADD_SUBTITLE);
    ASSERT_EQ(subtitles_.size(), 1u);
    const SubtitleItem& s = *subtitles_[0];
    EXPECT_EQ(s.firstFrame, 1);
    EXPECT_EQ(s.lastFrame, 1);
    EXPECT_EQ(s.text.font.lfWeight, 400);
    EXPECT_EQ(s.background, int32_t(SubtitleBackground::Rectangle));
    EXPECT_EQ(s.text.opaque, 1);
    EXPECT_EQ(dlg_->Strip().Count(), 1);
}

TEST_F(EditorDialog, StyleControlsChangeOnlyTheCurrentSubtitle) {
    subtitles_.push_back(Subtitle("One", 10, 100, 1, 20));
    subtitles_.push_back(Subtitle("Two", 10, 200, 1, 20));
    Open();
    Paint();
    // No current subtitle: a change reaches nobody.
    QTest::mouseClick(Ctl<QCheckBox>(CAddTextDlg::IDC_ITALIC), Qt::LeftButton);
    EXPECT_EQ(subtitles_[0]->text.font.lfItalic, 0);
    EXPECT_EQ(subtitles_[1]->text.font.lfItalic, 0);
    // Select "Two" by its row, then change the style.
    CListCtrlEx& list = dlg_->SubtitleTable();
    const int row = list.FindRow(subtitles_[1].get());
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                      list.visualRect(list.model()->index(row, 0)).center());
    ASSERT_EQ(dlg_->GetCurrentSubtitle(), subtitles_[1].get());
    QTest::mouseClick(Ctl<QCheckBox>(CAddTextDlg::IDC_BOLD), Qt::LeftButton); // bold -> normal
    EXPECT_EQ(subtitles_[1]->text.font.lfWeight, 400);
    EXPECT_EQ(subtitles_[0]->text.font.lfWeight, 700);
}

TEST_F(EditorDialog, ClickingARowSelectsItsSubtitleLoadsItsStyleAndShowsItsFirstFrame) {
    subtitles_.push_back(Subtitle("Late", 10, 100, 9, 12));
    subtitles_.back()->text.font.lfItalic = 1;
    Open();
    CListCtrlEx& list = dlg_->SubtitleTable();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                      list.visualRect(list.model()->index(0, 1)).center());
    QCoreApplication::sendPostedEvents(dlg_.get());
    EXPECT_EQ(subtitles_[0]->selected, 1);
    EXPECT_EQ(dlg_->CurrentFrame(), 9);
    EXPECT_TRUE(Ctl<QCheckBox>(CAddTextDlg::IDC_ITALIC)->isChecked());
}

TEST_F(EditorDialog, DeleteSubtitleNeedsASelectedRow) {
    subtitles_.push_back(Subtitle("Keep", 10, 100, 1, 20));
    subtitles_.push_back(Subtitle("Drop", 10, 200, 1, 20));
    Open();
    Press(CAddTextDlg::IDC_DELETE_SUBTITLE);
    EXPECT_EQ(subtitles_.size(), 2u);
    CListCtrlEx& list = dlg_->SubtitleTable();
    list.SelectRow(list.FindRow(subtitles_[1].get()));
    Press(CAddTextDlg::IDC_DELETE_SUBTITLE);
    ASSERT_EQ(subtitles_.size(), 1u);
    EXPECT_STREQ(subtitles_[0]->text.text, "Keep");
    EXPECT_EQ(list.rowCount(), 1);
}

TEST_F(EditorDialog, WhereTwoSubtitlesOverlapAClickSelectsTheEarlierOne) {
    subtitles_.push_back(Subtitle("First subtitle", 20, 120, 1, 20));
    subtitles_.push_back(Subtitle("Second subtitle", 40, 125, 1, 20));
    Open();
    Paint();
    const SubtitleItem& first = *subtitles_[0];
    ASSERT_GT(first.width, 0);
    QTest::mouseClick(&dlg_->View(), Qt::LeftButton, {}, ViewPoint(45, first.y - first.height / 2));
    EXPECT_EQ(subtitles_[0]->selected, 1);
    EXPECT_EQ(subtitles_[1]->selected, 0);
    EXPECT_EQ(dlg_->SubtitleTable().SelectedRow(),
              dlg_->SubtitleTable().FindRow(subtitles_[0].get()));
    // A click beside every box clears the selection.
    QTest::mouseClick(&dlg_->View(), Qt::LeftButton, {}, ViewPoint(300, 10));
    EXPECT_EQ(subtitles_[0]->selected, 0);
}

TEST_F(EditorDialog, ADraggedSubtitleMovesAndItsCellsFollow) {
    subtitles_.push_back(Subtitle("Drag me", 20, 120, 1, 20));
    Open();
    Paint();
    SubtitleItem& s = *subtitles_[0];
    const QPoint grab = ViewPoint(s.x + 5, s.y - 5);
    QTest::mousePress(&dlg_->View(), Qt::LeftButton, {}, grab);
    QMouseEvent move(QEvent::MouseMove, QPointF(grab + QPoint(30, 20)), QPointF(), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dlg_->View(), &move);
    QTest::mouseRelease(&dlg_->View(), Qt::LeftButton, {}, grab + QPoint(30, 20));
    const float scale = dlg_->LastFit().scale;
    EXPECT_NEAR(s.x, 20 + 30 * scale, 2);
    EXPECT_NEAR(s.y, 120 + 20 * scale, 2);
    CListCtrlEx& list = dlg_->SubtitleTable();
    EXPECT_EQ(list.ItemText(0, 3), QString::number(s.x));
    EXPECT_EQ(list.ItemText(0, 4), QString::number(s.y));
}

TEST_F(EditorDialog, DeleteUndoTogglesTheSelectedFramesAndADeletedFrameShowsOnlyTheHatch) {
    Open();
    XListView& strip = dlg_->Strip();
    strip.SetSelected(1, true);
    Press(CAddTextDlg::IDC_DELETE_UNDO);
    EXPECT_EQ(frames_[0]->UserFlags(), 0u);
    const QImage shown = dlg_->View().grab().toImage();
    const QPoint centre = shown.rect().center();
    // Only the hatch: white and the light grey lines, none of the frame's colour.
    EXPECT_NE(shown.pixelColor(centre), QColor(40, 90, 160));
    Press(CAddTextDlg::IDC_DELETE_UNDO);
    EXPECT_EQ(frames_[0]->UserFlags(), 1u);
    const QImage back = dlg_->View().grab().toImage();
    EXPECT_EQ(back.pixelColor(back.rect().center()), QColor(40, 90, 160));
}

TEST_F(EditorDialog, PlaybackShowsOnlyKeptFramesAndStopsWhenNoneIsLeft) {
    frames_.resize(5);
    frames_[1]->SetUserFlags(0);
    frames_[2]->SetUserFlags(0);
    Open();
    Press(CAddTextDlg::IDC_PREVIEW);
    ASSERT_TRUE(dlg_->Playing());
    std::vector<int32_t> shown{dlg_->CurrentFrame()};
    for (int tick = 0; tick < 6; ++tick) {
        dlg_->OnTimer();
        shown.push_back(dlg_->CurrentFrame());
        EXPECT_TRUE(dlg_->Strip().IsSelected(dlg_->CurrentFrame()));
    }
    EXPECT_EQ(shown, (std::vector<int32_t>{1, 4, 5, 1, 4, 5, 1}));
    for (auto& f : frames_)
        f->SetUserFlags(0);
    dlg_->OnTimer();
    EXPECT_FALSE(dlg_->Playing());
    EXPECT_FALSE(Ctl<QPushButton>(CAddTextDlg::IDC_PREVIEW)->isChecked());
}

TEST_F(EditorDialog, AGotoStopsPlaybackAndShowsItsFrame) {
    Open();
    Press(CAddTextDlg::IDC_PREVIEW);
    dlg_->OnTimer();
    Goto(12);
    QCoreApplication::sendPostedEvents(dlg_.get());
    EXPECT_FALSE(dlg_->Playing());
    EXPECT_FALSE(Ctl<QPushButton>(CAddTextDlg::IDC_PREVIEW)->isChecked());
    EXPECT_EQ(dlg_->CurrentFrame(), 12);
}

TEST_F(EditorDialog, EnterDoesNothingEscapeClosesAndKeepsEverything) {
    Open();
    QTest::keyClick(dlg_.get(), Qt::Key_Return);
    EXPECT_TRUE(dlg_->isVisible());
    Press(CAddTextDlg::IDC_ADD_SUBTITLE);
    CListCtrlEx& list = dlg_->SubtitleTable();
    ASSERT_TRUE(list.Editing());
    QTest::keyClicks(&list.Editor(), "Typed");
    // Escape reaches the dialog: it closes, and the typed text is kept.
    QTest::keyClick(dlg_.get(), Qt::Key_Escape);
    EXPECT_FALSE(dlg_->isVisible());
    ASSERT_EQ(subtitles_.size(), 1u);
    EXPECT_STREQ(subtitles_[0]->text.text, "Typed");
}

TEST_F(EditorDialog, ClosingWritesTheStyleDefaultsIntoTheSettings) {
    Open();
    Ctl<QComboBox>(CAddTextDlg::IDC_FONT_SIZE)->setCurrentText("36");
    Ctl<QCheckBox>(CAddTextDlg::IDC_BOLD)->setChecked(false);
    Ctl<QCheckBox>(CAddTextDlg::IDC_ITALIC)->setChecked(true);
    Ctl<QComboBox>(CAddTextDlg::IDC_BACK_STYLE)->setCurrentIndex(0);
    Ctl<CColorButton>(CAddTextDlg::IDC_TEXT_COLOR)->SetColor(0x000000FF, false);
    dlg_->close();
    EXPECT_EQ(settings_.fontSize, 36);
    EXPECT_FALSE(settings_.fontBold);
    EXPECT_TRUE(settings_.fontItalic);
    EXPECT_EQ(settings_.backStyle, 0);
    EXPECT_EQ(settings_.fontColor, 0x000000FFu);
    // The font choice survives even where Verdana is not installed.
    EXPECT_EQ(settings_.fontName, "Verdana");
}

TEST_F(EditorDialog, OpeningTheEditorTwiceChangesNoSubtitle) {
    settings_.fontColor = 0x0000FF00;
    settings_.backColor = 0x00FF00FF;
    subtitles_.push_back(Subtitle("Left selected", 10, 100, 1, 20));
    subtitles_[0]->selected = 1;
    subtitles_[0]->text.textColor = 0x000000FF;
    subtitles_[0]->text.boxColor = 0x00FFFFFF;
    const SubtitleItem before = *subtitles_[0];
    for (int opening = 0; opening < 2; ++opening) {
        Open();
        QApplication::processEvents();
        Paint();
        dlg_->close();
        dlg_.reset();
    }
    const SubtitleItem& after = *subtitles_[0];
    EXPECT_EQ(after.text.textColor, before.text.textColor);
    EXPECT_EQ(after.text.boxColor, before.text.boxColor);
    EXPECT_EQ(std::memcmp(&after.text, &before.text, sizeof before.text), 0);
    EXPECT_EQ(after.x, before.x);
    EXPECT_EQ(after.firstFrame, before.firstFrame);
}

TEST_F(EditorDialog, EveryControlHasAnAccessibleName) {
    Open();
    for (int id :
         {CAddTextDlg::IDC_PREVIEW, CAddTextDlg::IDC_DELETE_UNDO, CAddTextDlg::IDC_ADD_SUBTITLE,
          CAddTextDlg::IDC_DELETE_SUBTITLE, CAddTextDlg::IDC_FONT_FACE, CAddTextDlg::IDC_FONT_SIZE,
          CAddTextDlg::IDC_BOLD, CAddTextDlg::IDC_ITALIC, CAddTextDlg::IDC_TEXT_COLOR,
          CAddTextDlg::IDC_BACK_STYLE, CAddTextDlg::IDC_BACK_COLOR,
          CAddTextDlg::IDC_SUBTITLE_LIST}) {
        QWidget* w = dlg_->Control(id);
        ASSERT_NE(w, nullptr) << id;
        EXPECT_GT(w->accessibleName().size(), 1) << id;
    }
    EXPECT_FALSE(dlg_->Strip().accessibleName().isEmpty());
    EXPECT_FALSE(dlg_->View().accessibleName().isEmpty());
}

// The dialog as laid out from its template: every control inside the
// window, none on top of another, the frame view clear of the strip and the
// subtitle commands. A screenshot is kept for a look (scale factor 2 in the
// child run).
TEST_F(EditorDialog, LayoutIsTidyAndASnapshotIsKept) {
    frames_.clear();
    for (int i = 0; i < 30; ++i)
        frames_.push_back(editor_test::MakeFrame(
            640, 360, [i](int x, int y) { return qRgb((x + 8 * i) % 256, (y * 2) % 256, 140); }));
    frames_[2]->SetUserFlags(0);
    subtitles_.push_back(Subtitle("Hello subtitle", 30, 320, 1, 30));
    subtitles_[0]->selected = 1;
    Open();
    dlg_->Strip().SetSelected(1, true);
    Paint();

    std::vector<QWidget*> controls;
    for (QWidget* child : dlg_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (child->isVisible())
            controls.push_back(child);
    ASSERT_GE(controls.size(), 16u);
    const QRect window = dlg_->rect();
    for (std::size_t a = 0; a < controls.size(); ++a) {
        const QRect ra = controls[a]->geometry();
        EXPECT_TRUE(window.contains(ra)) << controls[a]->accessibleName().toStdString();
        for (std::size_t b = a + 1; b < controls.size(); ++b)
            EXPECT_FALSE(ra.intersects(controls[b]->geometry()))
                << controls[a]->accessibleName().toStdString() << " / "
                << controls[b]->accessibleName().toStdString();
    }
    // The frame is shown whole inside the view.
    EXPECT_TRUE(dlg_->View().rect().contains(dlg_->LastFit().image));
    EXPECT_FLOAT_EQ(dlg_->LastFit().scale, 1.0f);

    const QString artifacts = QStringLiteral(FRAMELOOP_ARTIFACTS);
    QDir().mkpath(artifacts);
    const int ratio = int(qApp->devicePixelRatio());
    EXPECT_TRUE(dlg_->grab().save(QStringLiteral("%1/editor_%2x.png").arg(artifacts).arg(ratio)));
}

TEST(EditorDialogAt2x, LayoutIsTidyAtTwiceTheDensity) {
    EnvGuard env;
    env.Set("QT_SCALE_FACTOR", "2");
    const testing_support::ProcessResult run =
        testing_support::RunProgram(QCoreApplication::applicationFilePath(),
                                    {"--gtest_filter=EditorDialog.LayoutIsTidyAndASnapshotIsKept"});
    EXPECT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("[  PASSED  ] 1 test")) << run.out.toStdString();
    const QImage shot(QStringLiteral(FRAMELOOP_ARTIFACTS "/editor_2x.png"));
    EXPECT_EQ(shot.devicePixelRatio(), 1.0);
    EXPECT_GE(shot.width(), 1600); // drawn with twice the pixels
}

} // namespace
