// Remembers what the connection dialog's Connect used, in the user's configuration folder.
#include <cstdio>
#include <cstring>

#include "console/console_log.h"
#include "console/settings.h"
#include "platform/file_replace.h"
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

// The file's lines into out; false when they do not fit.
bool FormatLines(char* out, std::size_t size, std::size_t* length) {
  char server[kSettingLength], channel[kSettingLength], nickname[kSettingLength], image[kSettingLength];
  FirstWord(Settings.server, server, sizeof server);
  FirstWord(Settings.channel, channel, sizeof channel);
  FirstWord(Settings.nickname, nickname, sizeof nickname);
  FirstWord(Settings.image, image, sizeof image);
  char serverLine[kSettingLength + 32] = "", channelLine[kSettingLength + 16] = "",
       nicknameLine[kSettingLength + 16] = "", imageLine[kSettingLength + 16] = "";
  // An empty field is left out: config.txt or the default then fills it.
  if (server[0]) {  // a "+" before the port keeps TLS
    std::snprintf(serverLine, sizeof serverLine, "SERVER %s %s%d\n", server, Settings.useTls ? "+" : "",
                  Settings.port);
  }
  if (channel[0]) std::snprintf(channelLine, sizeof channelLine, "CHANNEL %s\n", channel);
  if (nickname[0]) std::snprintf(nicknameLine, sizeof nicknameLine, "NICKNAME %s\n", nickname);
  if (image[0]) std::snprintf(imageLine, sizeof imageLine, "IMAGE %s\n", image);  // the look chosen
  int n = std::snprintf(out, size,
                        "/ What the connection dialog's Connect used last, written by QIVRA at each Connect.\n"
                        "/ These lines count after config.txt, unless config.txt is in the working directory.\n"
                        "%s%s%s%s",
                        serverLine, channelLine, nicknameLine, imageLine);
  if (n < 0 || static_cast<std::size_t>(n) >= size) return false;
  *length = static_cast<std::size_t>(n);
  return true;
}

}  // namespace

bool SaveLastConnection() {
  char path[4096], text[1024];
  std::size_t length = 0;
  // Replaced whole, so that a failed write never leaves half a file.
  bool saved = MakeUserConfigFolder() && UserConfigPath(kLastConnectionFile, path, sizeof path) &&
               FormatLines(text, sizeof text, &length) &&
               ReplaceFileContents(path, text, length) == FileReplaced;
  if (!saved) ConsoleAppend("WARNING: the connection settings could not be saved for the next start");
  return saved;
}
