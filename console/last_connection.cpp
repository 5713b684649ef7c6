// Remembers what the connection dialog's Connect used, in the user's configuration folder.
#include <cstdio>
#include <cstring>

#include "console/console_log.h"
#include "console/settings.h"
#include "platform/user_paths.h"

namespace {

// The value as the settings reader will take it back: its first word, up to a blank or a
// control character, so that a pasted line end cannot start a line of its own.
void FirstWord(const char* value, char* out, std::size_t size) {
  std::size_t n = 0;
  while (value[n] && n + 1 < size && static_cast<unsigned char>(value[n]) > ' ' && value[n] != 0x7f) ++n;
  std::memcpy(out, value, n);
  out[n] = '\0';
}

bool WriteLines(FILE* file) {
  char server[kSettingLength], channel[kSettingLength], nickname[kSettingLength];
  FirstWord(Settings.server, server, sizeof server);
  FirstWord(Settings.channel, channel, sizeof channel);
  FirstWord(Settings.nickname, nickname, sizeof nickname);
  std::fputs("/ What the connection dialog's Connect used last, written by QIVRA at each Connect.\n"
             "/ These lines count after config.txt, unless config.txt is in the working directory.\n",
             file);
  // An empty field is left out: config.txt or the default then fills it.
  if (server[0]) {  // a "+" before the port keeps TLS
    std::fprintf(file, "SERVER %s %s%d\n", server, Settings.useTls ? "+" : "", Settings.port);
  }
  if (channel[0]) std::fprintf(file, "CHANNEL %s\n", channel);
  if (nickname[0]) std::fprintf(file, "NICKNAME %s\n", nickname);
  return std::fflush(file) == 0 && !std::ferror(file);
}

}  // namespace

bool SaveLastConnection() {
  char path[4096], fresh[4200];
  bool saved = false;
  if (MakeUserConfigFolder() && UserConfigPath(kLastConnectionFile, path, sizeof path)) {
    // Written beside it and renamed over it, so that a failed write never leaves half a file.
    std::snprintf(fresh, sizeof fresh, "%s.new", path);
    FILE* file = std::fopen(fresh, "w");
    if (file) {
      bool written = WriteLines(file);
      saved = std::fclose(file) == 0 && written && std::rename(fresh, path) == 0;
      if (!saved) std::remove(fresh);
    }
  }
  if (!saved) ConsoleAppend("WARNING: the connection settings could not be saved for the next start");
  return saved;
}
