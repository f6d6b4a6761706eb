#pragma once
// Which frame the editor's preview shows next: the kept frames in order,
// round and round.

#include <cstdint>
#include <optional>

#include "image/frame_list.h"

// The first kept frame after `current` (1-based), wrapping from the last
// frame to the first; nothing when no frame is kept.
std::optional<int32_t> NextKeptFrame(const FrameList& frames, int32_t current);
