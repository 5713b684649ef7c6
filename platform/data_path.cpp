// Folds the program's asset names ("Data/", "data/", "data\\") onto the one data folder.
#include "platform/data_path.h"

#include <cctype>
#include <cstring>

bool ResolveDataPath(const char* name, char* out, std::size_t outSize) {
  if (!name || !out || outSize == 0) return false;
  std::size_t used = 0;
  const char* rest = name;
  // "data" in any letter case followed by either separator names the data folder.
  if (std::strlen(name) > 5 && std::tolower(static_cast<unsigned char>(name[0])) == 'd' &&
      std::tolower(static_cast<unsigned char>(name[1])) == 'a' &&
      std::tolower(static_cast<unsigned char>(name[2])) == 't' &&
      std::tolower(static_cast<unsigned char>(name[3])) == 'a' && (name[4] == '/' || name[4] == '\\')) {
    const char* folder = "data/";
    for (const char* p = folder; *p; ++p) {
      if (used + 1 >= outSize) { out[0] = '\0'; return false; }
      out[used++] = *p;
    }
    rest = name + 5;
  }
  for (const char* p = rest; *p; ++p) {
    if (used + 1 >= outSize) { out[0] = '\0'; return false; }
    out[used++] = (*p == '\\') ? '/' : *p;
  }
  out[used] = '\0';
  return true;
}

FILE* OpenDataFile(const char* name, const char* mode) {
  char path[4096];
  if (!ResolveDataPath(name, path, sizeof path)) return nullptr;
  return std::fopen(path, mode);
}
