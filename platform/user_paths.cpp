// Finds the user's configuration and data folders by the XDG rules, and makes the first.
#include "platform/user_paths.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// The program's folder under $variable, else under ~/fallback; false when no base is known or
// it did not fit.
static bool XdgFolder(const char* variable, const char* fallback, char* out, std::size_t size) {
  const char* xdg = std::getenv(variable);
  const char* home = std::getenv("HOME");
  int n;
  if (xdg && xdg[0] == '/') {  // a relative value is to be ignored
    n = std::snprintf(out, size, "%s/qivra", xdg);
  } else if (home && *home) {
    n = std::snprintf(out, size, "%s/%s/qivra", home, fallback);
  } else {
    return false;
  }
  return n > 0 && static_cast<std::size_t>(n) < size;
}

static bool ConfigFolder(char* out, std::size_t size) { return XdgFolder("XDG_CONFIG_HOME", ".config", out, size); }

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

bool UserDataPath(const char* name, char* out, std::size_t size) {
  char folder[4096];
  if (!name || !XdgFolder("XDG_DATA_HOME", ".local/share", folder, sizeof folder)) return false;
  int n = std::snprintf(out, size, "%s/%s", folder, name);
  return n > 0 && static_cast<std::size_t>(n) < size;
}
