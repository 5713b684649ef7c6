// Where the user's own files live: $XDG_CONFIG_HOME/qivra, by default ~/.config/qivra.
#pragma once
#include <cstddef>

// The path of name inside the user's configuration folder, into out (bounded by size).
// False when neither XDG_CONFIG_HOME nor HOME is set, or the path did not fit.
bool UserConfigPath(const char* name, char* out, std::size_t size);
// Makes the user's configuration folder (and its parents) if it is missing; true when it exists.
bool MakeUserConfigFolder();
