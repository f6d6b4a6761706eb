// The More menu: items and command ids, the marks that show the current
// settings (with the fallbacks for values the menu does not offer), and what
// a chosen command stores.
#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

#include "app/app_settings.h"
#include "capture_ui/more_menu.h"

using namespace more_menu;

namespace {

QMenu* SubMenu(QMenu& menu, const QString& title) {
    for (QAction* action : menu.actions()) {
        if (action->menu() && action->text() == title) {
            return action->menu();
        }
    }
    return nullptr;
}

QStringList Checked(QMenu& menu, const QString& title) {
    QStringList out;
    QMenu* sub = SubMenu(menu, title);
    if (sub == nullptr) {
        return {"<missing " + title + ">"};
    }
    for (const QAction* action : sub->actions()) {
        if (action->isChecked()) {
            out << action->text();
        }
    }
    return out;
}

struct MarkCase {
    int captureRate, gifRate, scalePercent;
    bool highQuality;
    const char *capture, *gif, *scale, *quality;
};

void PrintTo(const MarkCase& c, std::ostream* os) {
    *os << "capture " << c.captureRate << ", gif " << c.gifRate << ", scale " << c.scalePercent
        << (c.highQuality ? ", high" : ", medium");
}

class Marks : public ::testing::TestWithParam<MarkCase> {};

TEST_P(Marks, OneRadioMarkPerSubMenu) {
    const MarkCase& c = GetParam();
    AppSettings s;
    s.captureRate = c.captureRate;
    s.gifRate = c.gifRate;
    s.scalePercent = c.scalePercent;
    s.highQuality = c.highQuality;
    QMenu menu;
    BuildMoreMenu(menu, s);
    EXPECT_EQ(Checked(menu, "Change Capture Speed"), QStringList{c.capture});
    EXPECT_EQ(Checked(menu, "Change GIF Speed"), QStringList{c.gif});
    EXPECT_EQ(Checked(menu, "Resize Image"), QStringList{c.scale});
    EXPECT_EQ(Checked(menu, "Image Quality"), QStringList{c.quality});
}

INSTANTIATE_TEST_SUITE_P(
    Settings, Marks,
    ::testing::Values(MarkCase{15, 10, 70, true, "15 frame/sec", "10 frame/sec",
                               "at 70% original size", "High Quality but Large File"},
                      MarkCase{20, 1, 100, false, "20 frame/sec", "1 frame/sec",
                               "at 100% original size", "Medium Quality but Small File"},
                      // Values the menu does not offer fall back to 20 frame/sec and 50 %.
                      MarkCase{7, 30, 55, true, "20 frame/sec", "20 frame/sec",
                               "at 50% original size", "High Quality but Large File"},
                      MarkCase{5, 5, 10, true, "5 frame/sec", "5 frame/sec", "at 10% original size",
                               "High Quality but Large File"},
                      MarkCase{0, -3, 0, true, "20 frame/sec", "20 frame/sec",
                               "at 50% original size", "High Quality but Large File"}));

TEST(MoreMenu, ItemsInOrderWithTheirCommands) {
    AppSettings s;
    QMenu menu;
    BuildMoreMenu(menu, s);
    QStringList top;
    for (const QAction* action : menu.actions()) {
        top << (action->isSeparator() ? QString("-") : action->text());
    }
    EXPECT_EQ(top, (QStringList{"Change Capture Speed", "Change GIF Speed", "Resize Image", "-",
                                "Image Quality", "-", "On the Top", "-", "Modify Existing GIF", "-",
                                "Why Created GIF is Blank", "About..."}));

    auto ids = [&](const QString& title) {
        QList<int> out;
        for (const QAction* action : SubMenu(menu, title)->actions()) {
            out << action->data().toInt();
        }
        return out;
    };
    EXPECT_EQ(ids("Change Capture Speed"), (QList<int>{32786, 32787, 32788, 32789, 32790}));
    EXPECT_EQ(ids("Change GIF Speed"), (QList<int>{32813, 32814, 32815, 32816, 32817}));
    EXPECT_EQ(ids("Resize Image"),
              (QList<int>{32850, 32853, 32851, 32852, 32854, 32855, 32856, 32857, 32858, 32859}));
    EXPECT_EQ(ids("Image Quality"), (QList<int>{32838, 32839}));
    QStringList scaleTexts;
    for (const QAction* action : SubMenu(menu, "Resize Image")->actions()) {
        scaleTexts << action->text();
    }
    EXPECT_EQ(scaleTexts.first(), "at 100% original size");
    EXPECT_EQ(scaleTexts.last(), "at 10% original size");

    QList<int> commands;
    for (const QAction* action : menu.actions()) {
        if (!action->isSeparator() && !action->menu()) {
            commands << action->data().toInt();
        }
    }
    EXPECT_EQ(commands, (QList<int>{32860, 32848, 32842, 32792}));
}

TEST(MoreMenu, OnTheTopCarriesACheckMark) {
    AppSettings s;
    for (const bool onTop : {true, false}) {
        s.alwaysOnTop = onTop;
        QMenu menu;
        BuildMoreMenu(menu, s);
        const QAction* item = nullptr;
        for (const QAction* action : menu.actions()) {
            if (action->data().toInt() == ID_ON_THE_TOP) {
                item = action;
            }
        }
        ASSERT_NE(item, nullptr);
        EXPECT_TRUE(item->isCheckable());
        EXPECT_EQ(item->isChecked(), onTop);
    }
}

TEST(MoreMenu, SettingCommandsStoreTheirValue) {
    struct Case {
        int command;
        int AppSettings::*field;
        int value;
    };
    const Case cases[] = {
        {32786, &AppSettings::captureRate, 20},  {32790, &AppSettings::captureRate, 1},
        {32815, &AppSettings::gifRate, 10},      {32850, &AppSettings::scalePercent, 100},
        {32853, &AppSettings::scalePercent, 90}, {32851, &AppSettings::scalePercent, 80},
        {32852, &AppSettings::scalePercent, 70}, {32855, &AppSettings::scalePercent, 50},
        {32859, &AppSettings::scalePercent, 10},
    };
    for (const Case& c : cases) {
        AppSettings s;
        s.scalePercent = 55;
        s.captureRate = 7;
        s.gifRate = 7;
        EXPECT_TRUE(ApplySettingCommand(c.command, s)) << c.command;
        EXPECT_EQ(s.*c.field, c.value) << c.command;
    }
    AppSettings s;
    EXPECT_TRUE(ApplySettingCommand(ID_MEDIUM_QUALITY, s));
    EXPECT_FALSE(s.highQuality);
    EXPECT_TRUE(ApplySettingCommand(ID_HIGH_QUALITY, s));
    EXPECT_TRUE(s.highQuality);

    // Dismissing the menu and the other commands change no setting.
    s.scalePercent = 55;
    const AppSettings before = s;
    for (const int command :
         {0, int(ID_ON_THE_TOP), int(ID_MODIFY_GIF), int(ID_WHY_BLANK), int(ID_ABOUT)}) {
        EXPECT_FALSE(ApplySettingCommand(command, s)) << command;
    }
    EXPECT_EQ(s, before);
}

} // namespace
