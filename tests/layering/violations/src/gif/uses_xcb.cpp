// Breaks one rule: an X server header outside platform.
#include <xcb/xcb.h>

#include <vector>
