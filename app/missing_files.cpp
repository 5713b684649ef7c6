// Says in a message box, before the first dialog, which of the program's files were not found.
#include <cstdio>
#include <cstring>

#include "app/shell.h"
#include "console/settings.h"
#include "platform/data_path.h"
#include "platform/message_box.h"
#include "platform/user_paths.h"

namespace {

// The files the room needs from the data folder; the textures' absence shows on the console.
const char* const kDataFiles[] = {"data/world.txt", "data/font.bmp", "data/player.ms3d"};

bool DataFileExists(const char* name) {
  FILE* file = OpenDataFile(name, "r");
  if (!file) return false;
  std::fclose(file);
  return true;
}

// Appends text to out, never past size.
void Append(char* out, std::size_t size, const char* text) {
  std::size_t used = std::strlen(out);
  std::size_t n = std::strlen(text);
  if (used + n + 1 > size) n = size - used - 1;
  std::memcpy(out + used, text, n);
  out[used + n] = '\0';
}

// The folder a path function gives for the empty name, without its last slash; false without one.
bool Folder(bool (*path)(const char*, char*, std::size_t), char* out, std::size_t size) {
  if (!path("", out, size)) return false;
  std::size_t length = std::strlen(out);
  if (length > 1 && out[length - 1] == '/') out[length - 1] = '\0';
  return true;
}

}  // namespace

void ReportMissingFiles() {
  char text[8192] = "";
  char line[9000], user[4096], installed[4096];
  bool haveUser = Folder(UserConfigPath, user, sizeof user);
  bool haveInstalled = Folder(InstalledPath, installed, sizeof installed);
  const char* installedLine = haveInstalled ? installed : "(there is no installed copy)";
  if (!Settings.origin.configPath[0]) {
    std::snprintf(line, sizeof line, "config.txt was not found in\n    the working directory\n%s%s%s    %s\n"
                  "The built-in settings are used.\n\n",
                  haveUser ? "    " : "", haveUser ? user : "", haveUser ? "\n" : "", installedLine);
    Append(text, sizeof text, line);
  }
  char missing[256] = "";
  int count = 0;
  for (const char* name : kDataFiles) {
    if (DataFileExists(name)) continue;
    if (count++) Append(missing, sizeof missing, ", ");
    Append(missing, sizeof missing, name + 5);
  }
  if (count) {
    // With the room in ./data, the installed folder was not looked in.
    bool localData = std::strcmp(DataFolder(), "data/") == 0 && DataFileExists("data/world.txt");
    std::snprintf(line, sizeof line, "%s %s not found in\n    ./data\n%s%s%s"
                  "The room cannot be shown as it should be.\n\n", missing, count == 1 ? "was" : "were",
                  localData ? "" : "    ", localData ? "" : installedLine, localData ? "" : "\n");
    Append(text, sizeof text, line);
  }
  if (!text[0]) return;
  std::size_t length = std::strlen(text);
  while (length > 0 && text[length - 1] == '\n') text[--length] = '\0';
  char message[8400];
  std::snprintf(message, sizeof message, "QIVRA could not find some of its files.\n\n%s", text);
  ShowMessageBox(message, "Missing files", BoxIconExclamation, BoxOk);
}
