#pragma once
// Runs a GIF import under the progress window: "Loading..." while the file is
// checked and its frames are composed on the import's thread, the bar one
// step per frame, Cancel and Esc stopping the import at once.

#include "files/gif_import.h"

class QWidget;

// Starts `job` and returns when it has ended: Loaded, Failed, or Cancelled
// when the user cancelled. The window blocks `owner` meanwhile.
GifImportStatus RunGifImportWithProgress(QWidget* owner, GifImportJob& job);
