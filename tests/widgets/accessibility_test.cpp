// CMyBitmapButton as assistive tools see it: a button named after its text or
// after the names its owner gives, which can follow the on flag like the
// picture does.
#include <QAccessible>
#include <QWidget>

#include <gtest/gtest.h>

#include "widgets/my_bitmap_button.h"

namespace {

QString Name(QWidget& widget) {
    QAccessibleInterface* node = QAccessible::queryAccessibleInterface(&widget);
    return node ? node->text(QAccessible::Name) : QString("<no accessible object>");
}

TEST(BitmapButtonAccessibility, IsAButtonNamedAfterItsText) {
    QWidget window;
    CMyBitmapButton button(&window);
    button.setText("GIF");
    QAccessibleInterface* node = QAccessible::queryAccessibleInterface(&button);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->role(), QAccessible::Button);
    EXPECT_EQ(Name(button), "GIF");
}

TEST(BitmapButtonAccessibility, NameFollowsTheOnFlag) {
    QWidget window;
    CMyBitmapButton button(&window);
    button.setText("Capture");
    button.SetAccessibleNames("Start recording", "Stop");
    EXPECT_EQ(Name(button), "Start recording");
    button.SetOn(true);
    EXPECT_EQ(Name(button), "Stop");
    button.SetOn(false);
    EXPECT_EQ(Name(button), "Start recording");

    // Names given while the button is on take effect at once.
    button.SetOn(true);
    button.SetAccessibleNames("Record", "Pause");
    EXPECT_EQ(Name(button), "Pause");

    // Without an on name the name stays.
    button.SetAccessibleNames("More");
    button.SetOn(false);
    button.SetOn(true);
    EXPECT_EQ(Name(button), "More");
    EXPECT_EQ(button.text(), "Capture") << "the text is the owner's";
}

TEST(BitmapButtonAccessibility, ANameGivenDirectlySurvivesTheOnFlag) {
    QWidget window;
    CMyBitmapButton button(&window);
    button.setText("C");
    button.setAccessibleName("Record");
    button.SetOn(true);
    EXPECT_EQ(Name(button), "Record");
    button.SetOn(false);
    EXPECT_EQ(Name(button), "Record");
}

} // namespace
