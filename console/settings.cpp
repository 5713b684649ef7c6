// Settings: built-in defaults, then the first config.txt found, then the dialog's last values.
#include "console/settings.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "console/console_log.h"
#include "platform/data_path.h"
#include "platform/user_paths.h"

SettingsRecord Settings;

// Copies a value into a settings field, cut to the field's 63 characters.
static void SetField(char* field, const char* value) {
  std::size_t length = strnlen(value, kSettingLength - 1);
  std::memcpy(field, value, length);
  field[length] = '\0';
}

static void SetDefaults() {
  SetField(Settings.server, "localhost");
  Settings.port = 6667;
  SetField(Settings.channel, "#qivra");
  SetField(Settings.nickname, "Unnamed|qivra");
  SetField(Settings.realName, "QIVRA User");
  SetField(Settings.userName, "user");
  SetField(Settings.hostName, "localhost");
  SetField(Settings.image, "default");
  Settings.useTls = false;
  Settings.timestamps = true;
  SetField(Settings.saslAccount, "");
  SetField(Settings.saslPassword, "");
  SetField(Settings.serverPassword, "");
  Settings.lineIntervalMs = kDefaultLineIntervalMs;
  Settings.lineBurst = kDefaultLineBurst;
  Settings.noRouterMapping = 0;
  Settings.chatLogs = true;
  Settings.noPresence = 0;
}

bool PortTextAsksForTls(const char* text) {
  if (!text) return false;
  while (*text == ' ' || *text == '\t') ++text;
  return *text == '+';
}

// A file saved on Windows ends its lines with "\r\n": that pair ends a line as "\n" does,
// also when the 254-character split falls between its two characters.
static void TakeWindowsLineEnd(FILE* stream, char* text) {
  std::size_t length = std::strlen(text);
  if (length >= 2 && text[length - 2] == '\r' && text[length - 1] == '\n') {
    text[length - 2] = '\n';
    text[length - 1] = '\0';
  } else if (length >= 1 && text[length - 1] == '\r') {
    int after = std::fgetc(stream);
    if (after == '\n') text[length - 1] = '\n';
    else if (after != EOF) std::ungetc(after, stream);
  }
}

// Nothing but blanks, tabs and line-end characters: a spacer, not a setting or a vertex.
static bool IsBlankLine(const char* text) { return text[std::strspn(text, " \t\r\n")] == '\0'; }

bool ReadConfigLine(FILE* stream, char* line) {
  char next[255];
  for (;;) {
    if (!std::fgets(next, sizeof next, stream)) return false;
    TakeWindowsLineEnd(stream, next);
    if (next[0] != '/' && !IsBlankLine(next)) break;
  }
  std::memcpy(line, next, std::strlen(next) + 1);
  return true;
}

// Settings added to the classic set: each keyword is matched as a whole word, before the
// first letter picks a classic setting, so that keywords may share a first letter with one
// ("SASL" beside "SERVER"). value: the rest of the line after the keyword and its blanks.
struct AddedSetting {
  const char* keyword;
  void (*apply)(const char* value);
};
static void SetTimestamps(const char* value) {
  Settings.timestamps =
      strcasecmp(value, "on") == 0 || strcasecmp(value, "yes") == 0 || std::strcmp(value, "1") == 0;
}

// "SASL account password": the password is the rest of the line, blanks included.
static void SetSaslLogin(const char* value) {
  std::size_t account = std::strcspn(value, " ");
  const char* password = value + account;
  while (*password == ' ') ++password;
  char word[256];
  std::snprintf(word, sizeof word, "%.*s", static_cast<int>(account), value);
  SetField(Settings.saslAccount, word);
  SetField(Settings.saslPassword, password);
}

static void SetServerPassword(const char* value) { SetField(Settings.serverPassword, value); }

// "LINEPACE ms [burst]": after a burst of that many lines, one line every ms milliseconds.
static void ApplyLinePace(const char* value) {
  int interval = 0, burst = Settings.lineBurst;
  int n = std::sscanf(value, "%d %d", &interval, &burst);
  if (n < 1 || interval < 0 || burst < 1) return;
  Settings.lineIntervalMs = interval;
  Settings.lineBurst = burst;
}

// An "on" or "off" setting (any case): 1 or 0; anything else is reported and gives -1, which
// leaves the setting as it was.
static int ReadSwitch(const char* keyword, const char* value) {
  char word[8] = "";
  std::sscanf(value, "%7s", word);
  if (strcasecmp(word, "on") == 0) return 1;
  if (strcasecmp(word, "off") == 0) return 0;
  char text[300];
  std::snprintf(text, sizeof text, "WARNING: %s takes on or off, not \"%.250s\"", keyword, value);
  ConsoleAppend(text);
  return -1;
}

// "ROUTER off" (or "on"): whether the home router is asked to forward the presence port.
static void ApplyRouter(const char* value) {
  int on = ReadSwitch("ROUTER", value);
  if (on >= 0) Settings.noRouterMapping = on ? 0 : 1;
}

// "LOG off" (or "on"): whether chat is kept in log files.
static void ApplyLog(const char* value) {
  int on = ReadSwitch("LOG", value);
  if (on >= 0) Settings.chatLogs = on == 1;
}

// "PRESENCE off" (or "on"): whether this client takes part in the room's presence, which tells
// the channel's other QIVRA users this computer's address.
static void ApplyPresence(const char* value) {
  int on = ReadSwitch("PRESENCE", value);
  if (on >= 0) Settings.noPresence = on ? 0 : 1;
}

static const AddedSetting kAddedSettings[] = {
    {"TIMESTAMPS", SetTimestamps},
    {"SASL", SetSaslLogin},
    {"PASS", SetServerPassword},
    {"ROUTER", ApplyRouter},
    {"LINEPACE", ApplyLinePace},
    {"LOG", ApplyLog},
    {"PRESENCE", ApplyPresence},
    {nullptr, nullptr},  // end of the table
};

// Keywords whose values are secrets: a misspelt line never shows them.
static bool HoldsSecret(const char* line) {
  return strncasecmp(line, "SASL", 4) == 0 || strncasecmp(line, "PASS", 4) == 0;
}

static bool ApplyAddedSetting(const char* line) {
  for (const AddedSetting* s = kAddedSettings; s->keyword; ++s) {
    std::size_t n = std::strlen(s->keyword);
    if (std::strncmp(line, s->keyword, n) != 0 || (line[n] != ' ' && line[n] != '\0')) continue;
    const char* value = line + n;
    while (*value == ' ') ++value;
    s->apply(value);
    return true;
  }
  return false;
}

// One setting line, its line end already removed. Lines are at most 254
// characters, so every scanned word fits the 256-byte word buffers.
static void ApplyConfigLine(const char* line) {
  if (ApplyAddedSetting(line)) return;
  char first[256] = "";
  char second[256] = "";
  char resp[256];
  switch (line[0]) {
    case 'A': {
      int n = std::sscanf(line, "ADDRESS %255s %255s", first, second);
      if (n >= 1) SetField(Settings.userName, first);
      if (n >= 2) SetField(Settings.hostName, second);
      break;
    }
    case 'C':
      if (std::sscanf(line, "CHANNEL %255s", first) == 1) SetField(Settings.channel, first);
      break;
    case 'F':
      // "FULLNAME " is skipped unexamined; a line with nothing after it keeps the old name.
      if (std::strlen(line) > 9) SetField(Settings.realName, line + 9);
      break;
    case 'I':
      if (std::sscanf(line, "IMAGE %255s", first) == 1) SetField(Settings.image, first);
      break;
    case 'N':
      if (std::sscanf(line, "NICKNAME %255s", first) == 1) SetField(Settings.nickname, first);
      break;
    case 'P': {
      float rate = 0;
      if (std::sscanf(line, "PACKETS %f", &rate) == 1) Settings.packetRate = rate;
      break;
    }
    case 'S': {
      int port = Settings.port;
      int n = std::sscanf(line, "SERVER %255s %d", first, &port);
      if (n >= 1) SetField(Settings.server, first);
      if (n >= 2) Settings.port = port;
      if (n >= 2 && std::sscanf(line, "SERVER %*s %255s", second) == 1)
        Settings.useTls = PortTextAsksForTls(second);
      std::snprintf(resp, sizeof resp, "%s:%d", Settings.server, Settings.port);
      ConsoleAppend(resp);
      break;
    }
    default:
      std::snprintf(resp, sizeof resp, "WARNING: unknown config.txt command \"%s\"",
                    HoldsSecret(line) ? "(a password line; keywords are in capitals)" : line);
      ConsoleAppend(resp);
      break;
  }
}

// Applies every setting line of an open file, in order, over what Settings holds.
void ReadSettingsFile(FILE* file) {
  char oneline[256];
  while (!std::feof(file)) {
    if (!ReadConfigLine(file, oneline)) break;
    std::size_t length = std::strlen(oneline);
    while (length > 0 && (oneline[length - 1] == '\r' || oneline[length - 1] == '\n'))
      oneline[--length] = '\0';
    ApplyConfigLine(oneline);
  }
}

// The first config.txt of the working directory, the user's folder and the installed copy,
// with its path in Settings.origin; null when there is none.
static FILE* OpenFirstConfigFile() {
  char candidates[3][sizeof Settings.origin.configPath] = {"config.txt", "", ""};
  if (!UserConfigPath("config.txt", candidates[1], sizeof candidates[1])) candidates[1][0] = '\0';
  if (!InstalledPath("config.txt", candidates[2], sizeof candidates[2])) candidates[2][0] = '\0';
  for (int i = 0; i < 3; ++i) {
    if (!candidates[i][0]) continue;
    FILE* file = std::fopen(candidates[i], "r");
    if (!file) continue;
    std::memcpy(Settings.origin.configPath, candidates[i], sizeof Settings.origin.configPath);
    Settings.origin.fromWorkingFolder = i == 0;
    return file;
  }
  return nullptr;
}

void LoadSettings() {
  SetDefaults();
  Settings.origin = SettingsOriginRecord();
  FILE* file = OpenFirstConfigFile();
  if (file) {
    ReadSettingsFile(file);
    std::fclose(file);
  } else {
    ConsoleAppend("ERROR: config.txt file not found!");
  }
  // What the dialog's Connect used last, unless the working directory brings its own settings.
  char last[sizeof Settings.origin.configPath];
  if (Settings.origin.fromWorkingFolder || !UserConfigPath(kLastConnectionFile, last, sizeof last)) return;
  FILE* remembered = std::fopen(last, "r");
  if (!remembered) return;
  ReadSettingsFile(remembered);
  std::fclose(remembered);
  Settings.origin.lastConnectionRead = true;
}
