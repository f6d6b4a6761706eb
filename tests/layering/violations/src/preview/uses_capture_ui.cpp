// Breaks one rule: a sibling window layer it may not use.
#include <QWidget>

#include "capture_ui/capture_bar_dlg.h"
#include "widgets/my_bitmap_button.h"
