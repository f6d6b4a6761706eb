#pragma once
// frameloop-cli frames: writes every frame of a GIF as the import sees it
// (composed, raised to 24 bits) to numbered picture files.
#include <span>

extern const char* const kFramesUsage;

// `args` are the arguments after the command name. Returns the exit status:
// 0 done, 1 failure (reason on stderr), 2 bad usage.
int RunFrames(std::span<char* const> args);
