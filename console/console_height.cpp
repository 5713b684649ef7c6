// Reading and writing the remembered console height, one number in a small file of the user's folder.
#include "console/console_height.h"

#include <cstdio>
#include <cstdlib>

#include "console/console_log.h"
#include "platform/user_paths.h"

int LoadConsoleRows() {
  char path[4096];
  if (!UserConfigPath(kConsoleHeightFile, path, sizeof path)) return kConsoleLines;
  FILE* file = std::fopen(path, "r");
  if (!file) return kConsoleLines;
  char line[32] = "";
  bool read = std::fgets(line, sizeof line, file) != nullptr;
  std::fclose(file);
  char* end = nullptr;
  long rows = read ? std::strtol(line, &end, 10) : 0;
  if (!read || end == line || rows < kMinConsoleRows || rows > kMaxConsoleRows) return kConsoleLines;
  return static_cast<int>(rows);
}

bool SaveConsoleRows(int rows) {
  char path[4096], fresh[4200];
  if (!MakeUserConfigFolder() || !UserConfigPath(kConsoleHeightFile, path, sizeof path)) return false;
  // A failed write never leaves half a file in place of the old one.
  std::snprintf(fresh, sizeof fresh, "%s.new", path);
  FILE* file = std::fopen(fresh, "w");
  if (!file) return false;
  bool written = std::fprintf(file, "%d\n", rows) > 0 && std::fflush(file) == 0;
  bool saved = std::fclose(file) == 0 && written && std::rename(fresh, path) == 0;
  if (!saved) std::remove(fresh);
  return saved;
}
