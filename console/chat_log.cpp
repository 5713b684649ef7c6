// The chat logs' open files: a small table of append-only descriptors, opened once and kept.
#include "console/chat_log.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "console/chat_log_text.h"
#include "console/console_log.h"
#include "console/settings.h"
#include "platform/append_file.h"
#include "platform/ticks.h"
#include "platform/user_paths.h"

namespace {

constexpr int kOpenLogs = 16;       // a channel and a few private partners fit with room to spare
constexpr int kAnnouncedLogs = 512;
constexpr std::size_t kPathBytes = 4096;

struct OpenLog {
  char path[kPathBytes];
  int file;          // -1: the slot is free
  uint32_t lastUse;  // the least recently used file gives way when the table is full
};

// Main thread only.
struct ChatLogRecord {
  OpenLog logs[kOpenLogs];
  bool ready;                             // the slots hold -1
  uint32_t uses;
  uint64_t announced[kAnnouncedLogs];     // paths that had their "Log opened" line this run
  int announcedCount;
  bool stopped;                           // a failure was reported: nothing more until the next start
};
ChatLogRecord ChatLogs;

uint64_t PathKey(const char* path) {  // FNV-1a
  uint64_t key = 1469598103934665603ull;
  for (; *path; ++path) key = (key ^ static_cast<unsigned char>(*path)) * 1099511628211ull;
  return key;
}

// True the first time a path is asked about in this run.
bool FirstTimeThisRun(const char* path) {
  uint64_t key = PathKey(path);
  for (int i = 0; i < ChatLogs.announcedCount; ++i)
    if (ChatLogs.announced[i] == key) return false;
  if (ChatLogs.announcedCount < kAnnouncedLogs) ChatLogs.announced[ChatLogs.announcedCount++] = key;
  return true;
}

void MakeReady() {
  if (ChatLogs.ready) return;
  for (OpenLog& log : ChatLogs.logs) log.file = -1;
  ChatLogs.ready = true;
}

void StopLogging(const char* path, const char* why) {
  char text[kPathBytes + 200];
  std::snprintf(text, sizeof text, "Chat log could not be written: %s: %s; logging stops until the next start.",
                path, why);
  ConsoleAppend(text);
  ChatLogs.stopped = true;
  CloseChatLogs();
}

// The open slot of path, opening the file (and making its folder) when it has none. A full
// table closes its least recently used file. Null after a failure, which is reported.
OpenLog* LogFor(const char* path) {
  MakeReady();
  ++ChatLogs.uses;
  OpenLog* spare = &ChatLogs.logs[0];
  for (OpenLog& log : ChatLogs.logs) {
    if (log.file >= 0 && std::strcmp(log.path, path) == 0) {
      log.lastUse = ChatLogs.uses;
      return &log;
    }
    if (spare->file >= 0 && (log.file < 0 || log.lastUse < spare->lastUse)) spare = &log;
  }
  CloseAppendFile(spare->file);
  spare->file = -1;
  char folder[kPathBytes], why[128] = "";
  std::snprintf(folder, sizeof folder, "%s", path);
  if (char* slash = std::strrchr(folder, '/')) *slash = '\0';
  if (!MakePrivateFolders(folder, why, sizeof why)) {
    StopLogging(folder, why);
    return nullptr;
  }
  int file = OpenAppendFile(path, why, sizeof why);
  if (file < 0) {
    StopLogging(path, why);
    return nullptr;
  }
  std::snprintf(spare->path, sizeof spare->path, "%s", path);
  spare->file = file;
  spare->lastUse = ChatLogs.uses;
  return spare;
}

// One line, stamp first (or a marker that stands where the time stamp would).
bool WriteLine(OpenLog* log, const char* stamp, const char* text) {
  char line[16384];
  std::size_t length = FormatChatLogLine(stamp, text, line, sizeof line);
  char why[128] = "";
  if (AppendRecord(log->file, line, length, why, sizeof why)) return true;
  char path[kPathBytes];
  std::snprintf(path, sizeof path, "%s", log->path);  // StopLogging clears the slot
  StopLogging(path, why);
  return false;
}

}  // namespace

void LogChatLine(const char* target, const char* line) {
  if (!Settings.chatLogs || ChatLogs.stopped || !target || !*target || !line) return;
  char relative[2 * kChatLogNameBytes + 32], path[kPathBytes];
  if (!ChatLogRelativePath(Settings.server, target, relative, sizeof relative) ||
      !UserDataPath(relative, path, sizeof path)) {
    StopLogging(relative, "no folder for it (neither XDG_DATA_HOME nor HOME is set, or the path is too long)");
    return;
  }
  OpenLog* log = LogFor(path);
  if (!log) return;
  char stamp[32];
  LocalStampText(stamp, sizeof stamp);
  if (FirstTimeThisRun(path) && !WriteLine(log, "--- Log opened", stamp)) return;
  WriteLine(log, stamp, line);
}

void LogOwnPrivate(const char* partner, const char* text, bool notice) {
  char line[kSettingLength + 2048];
  std::snprintf(line, sizeof line, notice ? "-%.63s- %s" : "<%.63s> %s", Settings.nickname, text ? text : "");
  LogChatLine(partner, line);
}

void StartChatLogs() {
  CloseChatLogs();
  ChatLogs.stopped = false;
}

void CloseChatLogs() {
  MakeReady();
  for (OpenLog& log : ChatLogs.logs) {
    CloseAppendFile(log.file);
    log.file = -1;
  }
}
