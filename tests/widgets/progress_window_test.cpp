// The progress window: its caption follows the percentage, Esc and Cancel
// cancel and hide it, it blocks its owner while modal, and it comes back where
// the user left it only when that place is on a screen.

#include "widgets/progress_window.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

class ProgressWindowTest : public ::testing::Test {
protected:
    ProgressWindowTest() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir_.path());
        owner_.resize(400, 300);
        owner_.move(200, 150);
        owner_.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&owner_));
    }

    static void StorePosition(int x, int y) {
        QSettings settings;
        settings.beginGroup(QString::fromLatin1(CProgressWindow::kSettingsGroup));
        settings.setValue("X", x);
        settings.setValue("Y", y);
    }
    static QPoint StoredPosition() {
        QSettings settings;
        settings.beginGroup(QString::fromLatin1(CProgressWindow::kSettingsGroup));
        return {settings.value("X", -1).toInt(), settings.value("Y", -1).toInt()};
    }

    QTemporaryDir settingsDir_;
    QWidget owner_;
};

TEST_F(ProgressWindowTest, CaptionCarriesThePercentage) {
    struct Case {
        int lower, upper, steps;
        std::vector<QString> captions; // after each step
    };
    const std::vector<Case> cases = {
        {0, 3, 3, {"Progress [33%]", "Progress [67%]", "Progress [100%]"}},
        // An empty range never moves off the bare title.
        {5, 5, 2, {"Progress", "Progress"}},
        {0, 300, 1, {"Progress"}}, // a third of one per cent rounds to nothing
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.upper);
        CProgressWindow progress(&owner_, "Progress");
        EXPECT_EQ(progress.windowTitle(), "Progress");
        progress.SetBounds(c.lower, c.upper, 1);
        for (int step = 0; step < c.steps; ++step) {
            progress.Advance();
            EXPECT_EQ(progress.windowTitle(), c.captions[std::size_t(step)]);
        }
    }
}

TEST_F(ProgressWindowTest, ShowsTheMessageTheBarAndACancelButton) {
    CProgressWindow progress(&owner_, "Progress");
    progress.SetBounds(0, 10, 2);
    progress.SetMessage("Loading...");
    EXPECT_EQ(progress.Advance(), 0);
    EXPECT_EQ(progress.Advance(), 2);
    auto* message = qobject_cast<QLabel*>(progress.Control(CProgressWindow::IDC_MESSAGE));
    auto* bar = qobject_cast<QProgressBar*>(progress.Control(CProgressWindow::IDC_PROGRESS));
    auto* cancel = qobject_cast<QPushButton*>(progress.Control(CProgressWindow::IDC_CANCEL));
    ASSERT_TRUE(message && bar && cancel);
    EXPECT_EQ(message->text(), "Loading...");
    EXPECT_EQ(bar->value(), 4);
    EXPECT_EQ(cancel->text(), " Cancel ");
    EXPECT_EQ(cancel->accessibleName(), "Cancel");
    EXPECT_FALSE(bar->accessibleName().isEmpty());
    // Laid out inside the window: the bar left of the button, the text above.
    const QRect window = progress.rect();
    for (QWidget* part : {static_cast<QWidget*>(message), static_cast<QWidget*>(bar),
                          static_cast<QWidget*>(cancel)})
        EXPECT_TRUE(window.contains(part->geometry()));
    EXPECT_LT(bar->geometry().right(), cancel->geometry().left());
    EXPECT_LT(message->geometry().bottom(), cancel->geometry().top());
    EXPECT_EQ(message->width(), CProgressWindow::kWidth);
}

TEST_F(ProgressWindowTest, EscAndCancelStopTheWorkAndHideTheWindow) {
    for (const bool byEsc : {true, false}) {
        SCOPED_TRACE(byEsc);
        CProgressWindow progress(&owner_, "Progress");
        progress.BeginModal("Progress");
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&progress));
        if (byEsc)
            QTest::keyClick(&progress, Qt::Key_Escape);
        else
            QTest::mouseClick(progress.Control(CProgressWindow::IDC_CANCEL), Qt::LeftButton);
        EXPECT_TRUE(progress.IsCancelled());
        EXPECT_FALSE(progress.isVisible());
        // Cancelled, the window stays away; the work asks IsCancelled().
        progress.Advance();
        progress.PumpMessages(true);
        EXPECT_FALSE(progress.isVisible());
    }
}

TEST_F(ProgressWindowTest, EscIsIgnoredWhenTheWorkCannotStop) {
    CProgressWindow progress(&owner_, "Progress");
    progress.PumpMessages(false);
    QTest::keyClick(&progress, Qt::Key_Escape);
    EXPECT_FALSE(progress.IsCancelled());
}

TEST_F(ProgressWindowTest, ModalBlocksTheOwnerUntilDestroyed) {
    auto progress = std::make_unique<CProgressWindow>(&owner_, "Progress");
    EXPECT_TRUE(progress->BeginModal("Progress"));
    EXPECT_TRUE(progress->isVisible());
    EXPECT_EQ(progress->windowModality(), Qt::WindowModal);
    EXPECT_TRUE(QApplication::activeModalWidget() == progress.get());
    progress->Destroy();
    EXPECT_FALSE(progress->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    // Nothing after Destroy shows it again.
    progress->Advance();
    EXPECT_FALSE(progress->isVisible());
}

TEST_F(ProgressWindowTest, ComesBackWhereItWasLeftWhenThatIsOnAScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    struct Case {
        QPoint stored;
        bool restored;
    };
    for (const Case& c : {Case{QPoint(30, 40), true}, Case{QPoint(-1, -1), false},
                          Case{screen.bottomRight() + QPoint(50, 50), false}}) {
        SCOPED_TRACE(c.stored.x());
        StorePosition(c.stored.x(), c.stored.y());
        CProgressWindow progress(&owner_, "Progress");
        if (c.restored) {
            EXPECT_EQ(progress.pos(), c.stored);
        } else {
            // Centred on its owner (give or take the window frame).
            EXPECT_LE((progress.geometry().center() - owner_.geometry().center()).manhattanLength(),
                      8);
        }
    }
    // Where it was when it closed is stored for the next time.
    {
        CProgressWindow progress(&owner_, "Progress");
        progress.move(70, 80);
        progress.Destroy();
    }
    EXPECT_EQ(StoredPosition(), QPoint(70, 80));
}

} // namespace
