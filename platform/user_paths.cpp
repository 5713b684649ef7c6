// Finds and makes the user's configuration folder by the XDG rules.
#include "platform/user_paths.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// The folder itself into out; false when no base is known or it did not fit.
static bool ConfigFolder(char* out, std::size_t size) {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  int n;
  if (xdg && xdg[0] == '/') {  // a relative value is to be ignored
    n = std::snprintf(out, size, "%s/qivra", xdg);
  } else if (home && *home) {
    n = std::snprintf(out, size, "%s/.config/qivra", home);
  } else {
    return false;
  }
  return n > 0 && static_cast<std::size_t>(n) < size;
}

bool UserConfigPath(const char* name, char* out, std::size_t size) {
  char folder[4096];
  if (!name || !ConfigFolder(folder, sizeof folder)) return false;
  int n = std::snprintf(out, size, "%s/%s", folder, name);
  return n > 0 && static_cast<std::size_t>(n) < size;
}

bool MakeUserConfigFolder() {
  char folder[4096];
  if (!ConfigFolder(folder, sizeof folder)) return false;
  // Each parent in turn, as mkdir -p does; only the last one is the program's own (0700).
  for (char* slash = std::strchr(folder + 1, '/'); slash; slash = std::strchr(slash + 1, '/')) {
    *slash = '\0';
    if (mkdir(folder, 0755) != 0 && errno != EEXIST) return false;
    *slash = '/';
  }
  if (mkdir(folder, 0700) != 0 && errno != EEXIST) return false;
  struct stat info;
  return stat(folder, &info) == 0 && S_ISDIR(info.st_mode);
}
