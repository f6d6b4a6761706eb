#include "capture_ui/more_menu.h"

#include <QActionGroup>
#include <QMenu>

#include <array>
#include <tuple>

#include "app/app_settings.h"

namespace more_menu {

namespace {

struct Choice {
    int command;
    int value;
};

constexpr std::array<Choice, 5> kCaptureRates{{{ID_CAPTURE_20, 20},
                                               {ID_CAPTURE_15, 15},
                                               {ID_CAPTURE_10, 10},
                                               {ID_CAPTURE_5, 5},
                                               {ID_CAPTURE_1, 1}}};
constexpr std::array<Choice, 5> kGifRates{
    {{ID_GIF_20, 20}, {ID_GIF_15, 15}, {ID_GIF_10, 10}, {ID_GIF_5, 5}, {ID_GIF_1, 1}}};
constexpr std::array<Choice, 10> kScales{{{ID_SCALE_100, 100},
                                          {ID_SCALE_90, 90},
                                          {ID_SCALE_80, 80},
                                          {ID_SCALE_70, 70},
                                          {ID_SCALE_60, 60},
                                          {ID_SCALE_50, 50},
                                          {ID_SCALE_40, 40},
                                          {ID_SCALE_30, 30},
                                          {ID_SCALE_20, 20},
                                          {ID_SCALE_10, 10}}};

template <size_t N> const Choice* Find(const std::array<Choice, N>& table, int command) {
    for (const Choice& c : table) {
        if (c.command == command) {
            return &c;
        }
    }
    return nullptr;
}

// A sub-menu of exclusive choices; the item of `current` is marked, or the
// fallback's when `current` is not offered.
template <size_t N>
void AddRadioMenu(QMenu& parent, const QString& title, const std::array<Choice, N>& table,
                  const QString& format, int current, int fallback) {
    QMenu* sub = parent.addMenu(title);
    // An open menu is read by its accessible name, not by its item's title.
    sub->setAccessibleName(title);
    auto* group = new QActionGroup(sub);
    bool offered = false;
    for (const Choice& c : table) {
        offered = offered || c.value == current;
    }
    const int marked = offered ? current : fallback;
    for (const Choice& c : table) {
        QAction* action = sub->addAction(format.arg(c.value));
        action->setData(c.command);
        action->setCheckable(true);
        action->setChecked(c.value == marked);
        group->addAction(action);
    }
}

QAction* AddCommand(QMenu& menu, const QString& text, int command) {
    QAction* action = menu.addAction(text);
    action->setData(command);
    return action;
}

} // namespace

void BuildMoreMenu(QMenu& menu, const AppSettings& s) {
    menu.setTitle(QStringLiteral("More"));
    menu.setAccessibleName(menu.title());
    AddRadioMenu(menu, QStringLiteral("Change Capture Speed"), kCaptureRates,
                 QStringLiteral("%1 frame/sec"), s.captureRate, 20);
    AddRadioMenu(menu, QStringLiteral("Change GIF Speed"), kGifRates,
                 QStringLiteral("%1 frame/sec"), s.gifRate, 20);
    AddRadioMenu(menu, QStringLiteral("Resize Image"), kScales,
                 QStringLiteral("at %1% original size"), s.scalePercent, 50);
    menu.addSeparator();

    QMenu* quality = menu.addMenu(QStringLiteral("Image Quality"));
    quality->setAccessibleName(quality->title());
    auto* group = new QActionGroup(quality);
    for (const auto& [text, command, high] :
         {std::tuple{QStringLiteral("High Quality but Large File"), ID_HIGH_QUALITY, true},
          std::tuple{QStringLiteral("Medium Quality but Small File"), ID_MEDIUM_QUALITY, false}}) {
        QAction* action = AddCommand(*quality, text, command);
        action->setCheckable(true);
        action->setChecked(s.highQuality == high);
        group->addAction(action);
    }
    menu.addSeparator();

    QAction* onTop = AddCommand(menu, QStringLiteral("On the Top"), ID_ON_THE_TOP);
    onTop->setCheckable(true);
    onTop->setChecked(s.alwaysOnTop);
    menu.addSeparator();
    AddCommand(menu, QStringLiteral("Modify Existing GIF"), ID_MODIFY_GIF);
    menu.addSeparator();
    AddCommand(menu, QStringLiteral("Why Created GIF is Blank"), ID_WHY_BLANK);
    AddCommand(menu, QStringLiteral("About..."), ID_ABOUT);
}

int ExecMoreMenu(const QPoint& at, const AppSettings& settings) {
    QMenu menu;
    BuildMoreMenu(menu, settings);
    const QAction* chosen = menu.exec(at);
    return chosen ? chosen->data().toInt() : 0;
}

bool ApplySettingCommand(int command, AppSettings& s) {
    if (const Choice* c = Find(kCaptureRates, command)) {
        s.captureRate = c->value;
    } else if (const Choice* c = Find(kGifRates, command)) {
        s.gifRate = c->value;
    } else if (const Choice* c = Find(kScales, command)) {
        s.scalePercent = c->value;
    } else if (command == ID_HIGH_QUALITY || command == ID_MEDIUM_QUALITY) {
        s.highQuality = command == ID_HIGH_QUALITY;
    } else {
        return false;
    }
    return true;
}

} // namespace more_menu
