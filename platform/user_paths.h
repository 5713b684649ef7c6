// Where the user's own files live: settings in $XDG_CONFIG_HOME/qivra (by default ~/.config/qivra),
// what the program keeps, such as chat logs, in $XDG_DATA_HOME/qivra (~/.local/share/qivra).
#pragma once
#include <cstddef>

// The path of name inside the user's configuration folder, into out (bounded by size).
// False when neither XDG_CONFIG_HOME nor HOME is set, or the path did not fit.
bool UserConfigPath(const char* name, char* out, std::size_t size);
// Makes the user's configuration folder (and its parents) if it is missing; true when it exists.
bool MakeUserConfigFolder();
// The path of name inside the user's data folder, into out (bounded by size). False when
// neither XDG_DATA_HOME nor HOME is set, or the path did not fit.
bool UserDataPath(const char* name, char* out, std::size_t size);
