#pragma once
// The pictures of the preview's buttons, drawn for every screen ratio.
#include <QIcon>

namespace preview_icons {

// A round cyan badge with an arrow pointing up (upload and save).
QIcon ShareIcon();
// Two overlapping green sheets (copy).
QIcon CopyIcon();

} // namespace preview_icons
