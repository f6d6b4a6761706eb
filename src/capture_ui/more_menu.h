#pragma once
// The More menu of the top bar: the settings with their current value marked,
// opening an existing GIF, the help page and the About dialog. Building and
// running the menu returns the chosen command; acting on it is the owner's.
#include <QPoint>

struct AppSettings;
class QMenu;

namespace more_menu {

enum Command : int {
    ID_CAPTURE_20 = 32786,
    ID_CAPTURE_15 = 32787,
    ID_CAPTURE_10 = 32788,
    ID_CAPTURE_5 = 32789,
    ID_CAPTURE_1 = 32790,
    ID_GIF_20 = 32813,
    ID_GIF_15 = 32814,
    ID_GIF_10 = 32815,
    ID_GIF_5 = 32816,
    ID_GIF_1 = 32817,
    ID_SCALE_100 = 32850,
    ID_SCALE_90 = 32853,
    ID_SCALE_80 = 32851,
    ID_SCALE_70 = 32852,
    ID_SCALE_60 = 32854,
    ID_SCALE_50 = 32855,
    ID_SCALE_40 = 32856,
    ID_SCALE_30 = 32857,
    ID_SCALE_20 = 32858,
    ID_SCALE_10 = 32859,
    ID_HIGH_QUALITY = 32838,
    ID_MEDIUM_QUALITY = 32839,
    ID_ON_THE_TOP = 32860,
    ID_MODIFY_GIF = 32848,
    ID_WHY_BLANK = 32842,
    ID_ABOUT = 32792,
};

// Fills `menu` with the items, each action's data its command id, and marks
// the current settings: values not offered fall back to 20 frame/sec and 50 %.
// The menu and its sub-menus carry their titles as accessible names.
void BuildMoreMenu(QMenu& menu, const AppSettings& settings);

// Shows the menu with its top-left corner at `at` (screen coordinates) and
// returns the chosen command, 0 when dismissed.
int ExecMoreMenu(const QPoint& at, const AppSettings& settings);

// Stores the value of a rate, scale or quality command in `settings`. False
// (and no change) for every other command.
bool ApplySettingCommand(int command, AppSettings& settings);

} // namespace more_menu
