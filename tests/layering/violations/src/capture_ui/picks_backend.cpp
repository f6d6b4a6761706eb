// Breaks one rule: a window layer picks a concrete screen source.
#include "platform/screen_source.h"
#include "platform/xcb_screen_source.h"
