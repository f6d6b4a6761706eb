#pragma once
// The pictures of the editor's buttons, drawn at the screen's pixel ratio so
// they stay crisp at 2x.

#include <QIcon>

namespace editor_icons {

QIcon Play();           // green triangle: "Preview" while stopped
QIcon Pause();          // green bars: "Preview" while playing
QIcon RecycleBin();     // "Delete / Undo"
QIcon AddSubtitle();    // green plus
QIcon DeleteSubtitle(); // red cross

} // namespace editor_icons
