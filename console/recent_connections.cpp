// Remembers the values of the last connections in the user's configuration folder, for the dialog's drop-down lists.
#include "console/recent_connections.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "console/console_log.h"
#include "platform/file_replace.h"
#include "platform/user_paths.h"

namespace {

const char* const kKeywords[kRecentFields] = {"SERVER", "PORT", "CHANNEL", "NICKNAME"};

// A value a field can hold: not empty, no blank, no control character (a pasted line end
// must not start a line of its own in the file).
bool IsFieldValue(const char* value) {
  if (!value || !*value) return false;
  for (const char* p = value; *p; ++p)
    if (static_cast<unsigned char>(*p) <= ' ' || *p == 0x7f) return false;
  return true;
}

// Values of a field are the same in any case of their ASCII letters, as IRC names are.
bool SameValue(int field, const char* a, const char* b) {
  return field == RecentPort ? std::strcmp(a, b) == 0 : strcasecmp(a, b) == 0;
}

// value to the front of the field's list, an older copy of it taken out.
void PutFirst(RecentConnections* recent, int field, const char* value) {
  if (!IsFieldValue(value)) return;
  char (*list)[kSettingLength] = recent->values[field];
  int& count = recent->counts[field];
  int at = 0;
  while (at < count && !SameValue(field, list[at], value)) ++at;
  if (at == count && count < kRecentValues) ++count;
  if (at == kRecentValues) at = kRecentValues - 1;  // the oldest gives way
  std::memmove(list[1], list[0], static_cast<std::size_t>(at) * kSettingLength);
  std::snprintf(list[0], kSettingLength, "%s", value);
}

// Appends a value read from the file behind those read before it (the file is newest first).
void PutLast(RecentConnections* recent, int field, const char* value) {
  int& count = recent->counts[field];
  if (!IsFieldValue(value) || count == kRecentValues) return;
  for (int i = 0; i < count; ++i)
    if (SameValue(field, recent->values[field][i], value)) return;
  std::snprintf(recent->values[field][count++], kSettingLength, "%s", value);
}

bool OpenUserFile(const char* name, FILE** file) {
  char path[4096];
  *file = UserConfigPath(name, path, sizeof path) ? std::fopen(path, "r") : nullptr;
  return *file != nullptr;
}

// "KEYWORD value" lines: the word after the keyword, the rest of the line in rest.
bool SplitLine(const char* line, const char* keyword, char* value, char* rest) {
  std::size_t length = std::strlen(keyword);
  if (std::strncmp(line, keyword, length) != 0 || line[length] != ' ') return false;
  value[0] = rest[0] = '\0';
  std::sscanf(line + length, " %63s %63s", value, rest);
  return true;
}

}  // namespace

void ReadRecentConnections(FILE* file, RecentConnections* recent, bool olderFile) {
  char line[256], value[kSettingLength], rest[kSettingLength];
  while (ReadConfigLine(file, line)) {
    line[std::strcspn(line, "\r\n")] = '\0';
    for (int field = 0; field < kRecentFields; ++field) {
      if (!SplitLine(line, kKeywords[field], value, rest)) continue;
      PutLast(recent, field, value);
      // The older file's "SERVER host port" holds the port too.
      if (olderFile && field == RecentServer) PutLast(recent, RecentPort, rest);
    }
  }
}

void LoadRecentConnections(RecentConnections* recent) {
  std::memset(recent, 0, sizeof *recent);
  FILE* file = nullptr;
  bool older = false;
  if (!OpenUserFile(kRecentConnectionsFile, &file)) {
    if (!OpenUserFile(kLastConnectionFile, &file)) return;
    older = true;
  }
  ReadRecentConnections(file, recent, older);
  std::fclose(file);
}

void NoteRecentConnection(RecentConnections* recent, const char* server, const char* port, const char* channel,
                          const char* nickname) {
  const char* values[kRecentFields] = {server, port, channel, nickname};
  for (int field = 0; field < kRecentFields; ++field) PutFirst(recent, field, values[field]);
}

bool SaveRecentConnections(const RecentConnections& recent) {
  char text[kRecentFields * kRecentValues * (kSettingLength + 16) + 256];
  std::size_t used = static_cast<std::size_t>(std::snprintf(
      text, sizeof text,
      "/ The values the connection dialog's Connect used, newest first, for its drop-down lists;\n"
      "/ written by QIVRA at each Connect.\n"));
  for (int field = 0; field < kRecentFields; ++field) {
    for (int i = 0; i < recent.counts[field] && i < kRecentValues; ++i) {
      int n = std::snprintf(text + used, sizeof text - used, "%s %.63s\n", kKeywords[field], recent.values[field][i]);
      if (n > 0 && used + static_cast<std::size_t>(n) < sizeof text) used += static_cast<std::size_t>(n);
    }
  }
  char path[4096];
  bool saved = MakeUserConfigFolder() && UserConfigPath(kRecentConnectionsFile, path, sizeof path) &&
               ReplaceFileContents(path, text, used) == FileReplaced;
  if (!saved) ConsoleAppend("WARNING: the recent connections could not be saved for the next start");
  return saved;
}
