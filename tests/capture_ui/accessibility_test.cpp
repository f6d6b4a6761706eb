// The capture windows as assistive tools see them: every top-bar button named
// after what it does (Capture turning into Stop while recording), the More
// menu's items reachable from the application while it is open, the edge
// windows and the About dialog named.
#include <QAbstractButton>
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "../app/controller_fakes.h"
#include "../preview/accessible_tree.h"
#include "app/capture_app.h"
#include "capture_ui/about_dlg.h"
#include "capture_ui/capture_bar_dlg.h"
#include "capture_ui/edge_windows.h"
#include "env_guard.h"
#include "widgets/program_info.h"

using namespace accessible_tree;

namespace {

class BarAccessibility : public ::testing::Test {
protected:
    BarAccessibility() {
        env_.Set("APPDATA", appData_.path().toUtf8());
        bar_ = std::make_unique<CCaptureBarDlg>(app_, std::make_unique<FakeEngine>(log_));
        bar_->Initialise();
        bar_->show();
        // The edge windows show from a posted event.
        QCoreApplication::processEvents();
    }
    ~BarAccessibility() override {
        QFile::remove(bar_->Controller().GifPath());
        bar_.reset();
    }

    QAccessibleInterface* ButtonNode(int id) {
        QPushButton* button = bar_->Button(id);
        return button ? Of(button) : nullptr;
    }

    QTemporaryDir appData_;
    EnvGuard env_;
    CCaptureApp app_;
    EngineLog log_;
    std::unique_ptr<CCaptureBarDlg> bar_;
};

TEST_F(BarAccessibility, EveryButtonSaysWhatItDoes) {
    const struct {
        int id;
        const char* name;
    } expected[] = {
        {CCaptureBarDlg::IDC_CLOSE, "Close"},       {CCaptureBarDlg::IDC_MINIMIZE, "Minimize"},
        {CCaptureBarDlg::IDC_INERT, "Maximize"},    {CCaptureBarDlg::IDC_CAPTURE, "Capture"},
        {CCaptureBarDlg::IDC_SUBTITLE, "Subtitle"}, {CCaptureBarDlg::IDC_GIF, "GIF"},
        {CCaptureBarDlg::IDC_MORE, "More"}};
    for (const auto& e : expected) {
        QAccessibleInterface* node = ButtonNode(e.id);
        ASSERT_NE(node, nullptr) << e.id;
        EXPECT_EQ(node->role(), QAccessible::Button) << e.name;
        EXPECT_EQ(Name(node), e.name);
        EXPECT_FALSE(Description(node).isEmpty()) << e.name;
    }
    // The box drawn like a maximise box does nothing, and says so.
    EXPECT_TRUE(Description(ButtonNode(CCaptureBarDlg::IDC_INERT)).startsWith("Inactive"));

    EXPECT_EQ(bar_->findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly).size(), 7);
    // No button of the bar's windows (the preview's too) goes without a name
    // a listener can tell apart.
    for (QAbstractButton* button : bar_->findChildren<QAbstractButton*>()) {
        QAccessibleInterface* node = Of(button);
        EXPECT_EQ(node->role(), QAccessible::Button);
        EXPECT_GT(Name(node).size(), 1) << "'" << Name(node).toStdString() << "'";
    }
}

TEST_F(BarAccessibility, ButtonsAreReachableFromTheApplication) {
    QAccessibleInterface* bar = nullptr;
    for (QAccessibleInterface* node : Descendants(Application(), 1)) {
        if (node->object() == bar_.get()) {
            bar = node;
        }
    }
    ASSERT_NE(bar, nullptr) << "the top bar is not a window of the application";
    EXPECT_EQ(Name(bar), "Frameloop");
    for (const char* name :
         {"Close", "Minimize", "Maximize", "Capture", "Subtitle", "GIF", "More"}) {
        EXPECT_NE(Find(bar, QAccessible::Button, name), nullptr) << name;
    }
}

TEST_F(BarAccessibility, CaptureIsCalledStopWhileRecording) {
    QPushButton* capture = bar_->Button(CCaptureBarDlg::IDC_CAPTURE);
    QTest::mouseClick(capture, Qt::LeftButton);
    ASSERT_EQ(bar_->Controller().State(), CaptureState::Capturing);
    EXPECT_EQ(Name(Of(capture)), "Stop");
    QTest::mouseClick(capture, Qt::LeftButton);
    EXPECT_EQ(Name(Of(capture)), "Capture");
}

// Every item below `menu` (sub-menus included) as the tree shows it: a menu
// item named with its action's text, or a separator.
void ExpectItemsNamedAsShown(QAccessibleInterface* menu, QMenu& shown) {
    ASSERT_EQ(menu->childCount(), shown.actions().size());
    for (int i = 0; i < menu->childCount(); ++i) {
        QAccessibleInterface* item = menu->child(i);
        ASSERT_NE(item, nullptr) << i;
        const QAction* action = shown.actions().at(i);
        if (action->isSeparator()) {
            EXPECT_EQ(item->role(), QAccessible::Separator) << i;
            continue;
        }
        EXPECT_EQ(item->role(), QAccessible::MenuItem) << action->text().toStdString();
        EXPECT_EQ(Name(item), action->text());
        EXPECT_GT(Name(item).size(), 1);
        if (QMenu* sub = action->menu()) {
            ASSERT_EQ(item->childCount(), 1) << action->text().toStdString();
            QAccessibleInterface* subMenu = item->child(0);
            EXPECT_EQ(subMenu->role(), QAccessible::PopupMenu);
            EXPECT_EQ(Name(subMenu), action->text());
            ExpectItemsNamedAsShown(subMenu, *sub);
        }
    }
}

TEST_F(BarAccessibility, MoreMenuItemsAreReachableWhileItIsOpen) {
    QAccessibleInterface* app = Application();
    const bool opened = WhileMenuOpen(
        [&] { QTest::mouseClick(bar_->Button(CCaptureBarDlg::IDC_MORE), Qt::LeftButton); },
        [&](QMenu& menu) {
            QAccessibleInterface* listed = Find(app, QAccessible::PopupMenu, "More");
            ASSERT_NE(listed, nullptr) << "the open menu is not in the application's tree";
            EXPECT_EQ(listed->object(), &menu);
            ASSERT_NE(listed->parent(), nullptr);
            EXPECT_EQ(listed->parent()->object(), qApp);
            const int index = app->indexOfChild(listed);
            ASSERT_GE(index, 0);
            EXPECT_EQ(app->child(index), listed);

            ExpectItemsNamedAsShown(listed, menu);
            const QStringList items = MenuItemNames(listed);
            for (const char* item :
                 {"Change Capture Speed", "20 frame/sec", "at 50% original size",
                  "High Quality but Large File", "On the Top", "Modify Existing GIF",
                  "Why Created GIF is Blank", "About..."}) {
                EXPECT_TRUE(items.contains(item)) << item;
            }
        });
    EXPECT_TRUE(opened) << "More opened no menu";
    EXPECT_EQ(Find(app, QAccessible::PopupMenu, "More"), nullptr) << "a closed menu stays listed";
}

TEST_F(BarAccessibility, EdgeWindowsAreNamed) {
    QStringList names;
    for (CEdgeWindow* edge : bar_->findChildren<CEdgeWindow*>()) {
        QAccessibleInterface* node = Of(edge);
        names << Name(node);
        EXPECT_FALSE(Description(node).isEmpty()) << Name(node).toStdString();
    }
    names.sort();
    EXPECT_EQ(names, (QStringList{"Capture frame left edge", "Capture frame right edge",
                                  "Capture frame status bar"}));
    // They are windows of their own, so they hang below the application.
    for (const QString& name : names) {
        bool found = false;
        for (QAccessibleInterface* node : Descendants(Application(), 1)) {
            found = found || Name(node) == name;
        }
        EXPECT_TRUE(found) << name.toStdString();
    }
}

TEST(AboutAccessibility, BannerLinksAndButtonAreNamed) {
    CAboutDlg about;
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    QAccessibleInterface* window = Of(&about);
    EXPECT_EQ(window->role(), QAccessible::Dialog);
    EXPECT_EQ(Name(window), "About");
    // The program's name is painted into the banner.
    bool banner = false;
    for (const QLabel* label : about.findChildren<QLabel*>()) {
        if (!label->pixmap().isNull()) {
            banner = true;
            EXPECT_EQ(Name(Of(const_cast<QLabel*>(label))), program_info::ApplicationTitle());
        }
    }
    EXPECT_TRUE(banner);
    // The links read as their text and tell where they lead.
    QAccessibleInterface* website =
        Find(window, QAccessible::StaticText, program_info::WebsiteText());
    ASSERT_NE(website, nullptr);
    EXPECT_TRUE(Description(website).contains(about.WebsiteTarget()));
    QAccessibleInterface* support =
        Find(window, QAccessible::StaticText, program_info::SupportText());
    ASSERT_NE(support, nullptr);
    EXPECT_TRUE(Description(support).contains(about.SupportTarget()));
    // Each link is labelled by its caption.
    auto captionOf = [](QAccessibleInterface* link) {
        QStringList captions;
        for (const auto& relation : link->relations(QAccessible::Label)) {
            captions << Name(relation.first);
        }
        return captions;
    };
    EXPECT_EQ(captionOf(website), QStringList{"Website:"});
    EXPECT_EQ(captionOf(support), QStringList{"Support:"});
    for (QAbstractButton* button : about.findChildren<QAbstractButton*>()) {
        EXPECT_GT(Name(Of(button)).size(), 1) << button->text().toStdString();
        EXPECT_EQ(Of(button)->role(), QAccessible::Button);
    }
    EXPECT_NE(Find(window, QAccessible::Button, "OK"), nullptr);
}

} // namespace
