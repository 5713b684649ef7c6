// Finds the data folder (the working directory's, or the installed one) and folds the asset names onto it.
#include "platform/data_path.h"

#include <unistd.h>

#include <cctype>
#include <cstring>

#ifndef QIVRA_BIN_DIR
#define QIVRA_BIN_DIR "bin"
#endif
#ifndef QIVRA_SHARE_DIR
#define QIVRA_SHARE_DIR "share/qivra"
#endif

namespace {

char dataFolder[4096] = "data/";

bool Fits(int written, std::size_t size) { return written > 0 && static_cast<std::size_t>(written) < size; }

bool FileExists(const char* path) {
  FILE* file = std::fopen(path, "r");
  if (!file) return false;
  std::fclose(file);
  return true;
}

}  // namespace

bool ResolveDataPath(const char* name, char* out, std::size_t outSize) {
  if (!name || !out || outSize == 0) return false;
  std::size_t used = 0;
  const char* rest = name;
  // "data" in any letter case followed by either separator names the data folder.
  if (std::strlen(name) > 5 && std::tolower(static_cast<unsigned char>(name[0])) == 'd' &&
      std::tolower(static_cast<unsigned char>(name[1])) == 'a' &&
      std::tolower(static_cast<unsigned char>(name[2])) == 't' &&
      std::tolower(static_cast<unsigned char>(name[3])) == 'a' && (name[4] == '/' || name[4] == '\\')) {
    for (const char* p = dataFolder; *p; ++p) {
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

bool InstalledFolderFor(const char* exePath, char* out, std::size_t size) {
  if (!exePath || !out || size == 0) return false;
  const char* slash = std::strrchr(exePath, '/');
  if (!slash) return false;
  // The program's folder must be <prefix>/bin.
  const std::size_t binLength = std::strlen(QIVRA_BIN_DIR);
  std::size_t folderLength = static_cast<std::size_t>(slash - exePath);
  if (folderLength < binLength + 1) return false;
  const char* bin = slash - binLength;
  if (bin[-1] != '/' || std::strncmp(bin, QIVRA_BIN_DIR, binLength) != 0) return false;
  int prefixLength = static_cast<int>(bin - 1 - exePath);
  return Fits(std::snprintf(out, size, "%.*s/%s", prefixLength, exePath, QIVRA_SHARE_DIR), size);
}

bool InstalledPath(const char* name, char* out, std::size_t size) {
  char exe[4096];
  ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (length <= 0 || !name) return false;
  exe[length] = '\0';
  char folder[4096];
  if (!InstalledFolderFor(exe, folder, sizeof folder)) return false;
  return Fits(std::snprintf(out, size, "%s/%s", folder, name), size);
}

void ChooseDataFolderFrom(const char* installedFolder) {
  std::strcpy(dataFolder, "data/");
  if (FileExists("data/world.txt") || !installedFolder) return;
  char world[4096];
  if (!Fits(std::snprintf(world, sizeof world, "%s/world.txt", installedFolder), sizeof world) || !FileExists(world))
    return;
  Fits(std::snprintf(dataFolder, sizeof dataFolder, "%s/", installedFolder), sizeof dataFolder);
}

void ChooseDataFolder() {
  char installed[4096];
  bool have = InstalledPath("", installed, sizeof installed);
  std::size_t length = have ? std::strlen(installed) : 0;
  if (length > 1 && installed[length - 1] == '/') installed[length - 1] = '\0';
  ChooseDataFolderFrom(have ? installed : nullptr);
}

const char* DataFolder() { return dataFolder; }
