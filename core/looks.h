// The avatars' looks: their names (IMAGE in config.txt) and numbers (what the session carries).
#pragma once
#include <cstdint>

// 0: not told (an older client), drawn as the figure before looks; 1..kLookCount: a look.
constexpr int kLookCount = 8;
constexpr uint8_t kLookNotTold = 0;

// The look's name, "red" for 1 ... ; "default" for 0 and any number out of range.
const char* LookName(int look);
// The look an IMAGE value names, compared without case; "default", empty or an unknown name:
// the look the nickname picks (the same for one member whatever the case), never 0.
int LookFromImage(const char* image, const char* nick);
