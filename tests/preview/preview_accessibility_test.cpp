// The preview as assistive tools see it: named buttons and views, and the
// sharing menu (like any open menu of the program) reachable from the
// application while it is open.
#include <QAbstractButton>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include "accessible_tree.h"
#include "preview/preview_dlg.h"

using namespace accessible_tree;

namespace {

int OpenMenusListed(QAccessibleInterface* app) {
    int menus = 0;
    for (int i = 0; i < app->childCount(); ++i) {
        menus += app->child(i)->role() == QAccessible::PopupMenu ? 1 : 0;
    }
    return menus;
}

// Run alone (as CTest runs every test), nothing has built a preview yet: the
// application's object must already list open menus.
TEST(OpenMenus, AreChildrenOfTheApplicationAndSubMenusOfTheirItems) {
    QAccessibleInterface* app = Application();
    QWidget owner;
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    EXPECT_EQ(OpenMenusListed(app), 0);
    const int windows = app->childCount();

    QMenu menu(&owner);
    menu.setAccessibleName("Plain");
    menu.addAction("Only item");
    QMenu* sub = menu.addMenu("Deeper");
    sub->addAction("Deep item");
    menu.popup(owner.mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&menu));
    EXPECT_EQ(app->childCount(), windows + 1);
    QAccessibleInterface* listed = Find(app, QAccessible::PopupMenu, "Plain");
    ASSERT_NE(listed, nullptr);
    EXPECT_EQ(listed->object(), &menu);
    EXPECT_EQ(app->child(app->indexOfChild(listed)), listed);
    EXPECT_EQ(MenuItemNames(listed), (QStringList{"Only item", "Deeper", "Deep item"}));

    // An open sub-menu stays below its item, not beside its menu.
    sub->popup(menu.mapToGlobal(QPoint(menu.width(), 0)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(sub));
    EXPECT_EQ(OpenMenusListed(app), 1);
    EXPECT_EQ(app->indexOfChild(Of(sub)), -1);

    sub->hide();
    menu.hide();
    EXPECT_EQ(OpenMenusListed(app), 0);
    EXPECT_EQ(app->childCount(), windows);
}

class PreviewAccessibility : public ::testing::Test {
protected:
    void SetUp() override {
        preview_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview_));
    }

    CPreviewDlg preview_;
};

TEST_F(PreviewAccessibility, EveryButtonSaysWhatItDoes) {
    const QList<QAbstractButton*> buttons = preview_.findChildren<QAbstractButton*>();
    ASSERT_EQ(buttons.size(), 2);
    for (QAbstractButton* button : buttons) {
        QAccessibleInterface* node = Of(button);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->role(), QAccessible::Button) << button->text().toStdString();
        EXPECT_GT(Name(node).size(), 1) << "'" << Name(node).toStdString() << "'";
        EXPECT_FALSE(Description(node).isEmpty()) << Name(node).toStdString();
    }
    EXPECT_EQ(Name(Of(&preview_.SaveOrUploadButton())), "Save or Upload...");
    EXPECT_EQ(Name(Of(&preview_.CopyButton())), "Copy to Clipboard");
    // The copy button's tooltip stays as it is; the description reads plainly.
    EXPECT_EQ(Description(Of(&preview_.CopyButton())),
              "Copies the GIF to the clipboard, to paste it somewhere else");
}

TEST_F(PreviewAccessibility, ViewAndInfoLineAreNamed) {
    EXPECT_EQ(Name(Of(&preview_.Explorer())), "GIF preview");
    EXPECT_FALSE(Description(Of(&preview_.Explorer())).isEmpty());
    preview_.InfoLine().setText("3 Frames, 1.2K, 100*50");
    // The line is read as it stands, with a description of what it tells.
    EXPECT_EQ(Name(Of(&preview_.InfoLine())), "3 Frames, 1.2K, 100*50");
    EXPECT_FALSE(Description(Of(&preview_.InfoLine())).isEmpty());
}

TEST_F(PreviewAccessibility, ReachableFromTheApplication) {
    QAccessibleInterface* window = Find(Application(), QAccessible::Dialog, "Preview");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->object(), &preview_);
    EXPECT_NE(Find(window, QAccessible::Button, "Save or Upload..."), nullptr);
}

TEST_F(PreviewAccessibility, SharingMenuItemsAreReachableWhileItIsOpen) {
    QAccessibleInterface* app = Application();
    const bool opened = WhileMenuOpen(
        [&] { QTest::mouseClick(&preview_.SaveOrUploadButton(), Qt::LeftButton); },
        [&](QMenu& menu) {
            QAccessibleInterface* listed = Find(app, QAccessible::PopupMenu, "Save or Upload");
            ASSERT_NE(listed, nullptr) << "the open menu is not in the application's tree";
            EXPECT_EQ(listed->object(), &menu);
            // The tree reads the same downwards and upwards.
            ASSERT_NE(listed->parent(), nullptr);
            EXPECT_EQ(listed->parent()->object(), qApp);
            const int index = app->indexOfChild(listed);
            ASSERT_GE(index, 0);
            EXPECT_EQ(app->child(index), listed);

            EXPECT_EQ(MenuItemNames(listed),
                      (QStringList{"Upload to Imgur", "Copy to Clipboard", "Save to Disk"}));
            for (int i = 0; i < listed->childCount(); ++i) {
                const QAccessible::Role role = listed->child(i)->role();
                EXPECT_TRUE(role == QAccessible::MenuItem || role == QAccessible::Separator)
                    << "child " << i << " has role " << role;
            }
        });
    EXPECT_TRUE(opened) << "Save or Upload... opened no menu";
    EXPECT_EQ(Find(app, QAccessible::PopupMenu, "Save or Upload"), nullptr)
        << "a closed menu stays listed";
}

} // namespace
