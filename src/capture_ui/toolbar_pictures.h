#pragma once
// The pictures of the top bar's seven buttons, drawn for a given screen ratio
// so they stay crisp on high-density screens.
#include "widgets/my_bitmap_button.h"

namespace toolbar_pictures {

enum class Button { Minimise, Inert, Close, Capture, Subtitle, Gif, More };

// Every picture the button has (normal, hover, and for Capture on and
// on-and-hover), at `ratio` device pixels per pixel.
CMyBitmapButton::Images ImagesFor(Button button, qreal ratio);

// The button's size in pixels (the size of its normal picture).
QSize SizeOf(Button button);

} // namespace toolbar_pictures

namespace toolbar_pictures {

// Where a button sits in a top bar whose client area is `barWidth` wide: the
// caption buttons at the top right, the large ones in a row from the left.
QRect ButtonRect(Button button, int barWidth);

} // namespace toolbar_pictures
