#pragma once
// Progress reports of the GIF stages, in percent (0..100). The worker turns
// them into progress messages for the top bar.
#include <functional>

using ProgressSink = std::function<void(int percent)>;
