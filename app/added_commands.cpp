// The commands added to the classic set: /nick, /topic, /names, /whois and /notice.
#include <strings.h>

#include <cstdio>
#include <cstring>

#include "app/command_interpreter.h"
#include "console/chat_log.h"
#include "console/console_log.h"
#include "console/settings.h"
#include "core/app_state.h"
#include "irc/irc_client.h"

namespace {

constexpr int kWordLength = 256;

bool Connected() {
  if (AppState.connectionState != Offline) return true;
  ConsoleAppend("Not connected: /connect first.");
  return false;
}

// The first word of text into word; returns the text after it and its blanks.
const char* TakeWord(const char* text, char* word) {
  std::size_t n = std::strcspn(text, " ");
  std::snprintf(word, kWordLength, "%.*s", static_cast<int>(n < kWordLength - 1 ? n : kWordLength - 1), text);
  text += n;
  while (*text == ' ') ++text;
  return text;
}

void NickCommand(const char* rest) {
  char nick[kWordLength];
  TakeWord(rest, nick);
  if (!nick[0]) {
    ConsoleAppend("Usage: /nick name");
  } else if (AppState.connectionState == Offline) {
    std::snprintf(Settings.nickname, kSettingLength, "%.63s", nick);
    char text[kWordLength + 64];
    std::snprintf(text, sizeof text, "Your nickname will be \"%s\" when you connect.", Settings.nickname);
    ConsoleAppend(text);
  } else {
    Irc.ChangeNick(nick);  // the server's answer says whether it was taken
  }
}

void TopicCommand(const char* rest) {
  if (Connected()) Irc.Topic(rest);
}

void NamesCommand(const char*) {
  if (Connected()) Irc.Names();
}

void WhoisCommand(const char* rest) {
  char nick[kWordLength];
  TakeWord(rest, nick);
  if (!nick[0]) {
    ConsoleAppend("Usage: /whois nick");
  } else if (Connected()) {
    Irc.Whois(nick);
  }
}

void NoticeCommand(const char* rest) {
  char nick[kWordLength];
  const char* text = TakeWord(rest, nick);
  if (!nick[0] || !*text) {
    ConsoleAppend("Usage: /notice nick text");
    return;
  }
  if (!Connected()) return;
  char echo[kWordLength * 2 + 16];
  std::snprintf(echo, sizeof echo, "-> -%s- %s", nick, text);
  ConsoleAppend(echo);
  LogOwnPrivate(nick, text, true);
  Irc.Notice(nick, text);
}

struct AddedCommand {
  const char* word;
  void (*run)(const char* rest);
  const char* usage;  // as "/help" lists it
};

const AddedCommand kAddedCommands[] = {
    {"/nick", NickCommand, "/nick name"},       {"/topic", TopicCommand, "/topic [text]"},
    {"/names", NamesCommand, "/names"},         {"/whois", WhoisCommand, "/whois nick"},
    {"/notice", NoticeCommand, "/notice nick text"},
};

}  // namespace

bool RunAddedCommand(const char* line) {
  for (const AddedCommand& c : kAddedCommands) {
    std::size_t n = std::strlen(c.word);
    if (strncasecmp(line, c.word, n) != 0 || (line[n] != ' ' && line[n] != '\0')) continue;
    const char* rest = line + n;
    while (*rest == ' ') ++rest;
    c.run(rest);
    return true;
  }
  return false;
}

const char* AddedCommandUsage(int index) {
  const int count = static_cast<int>(sizeof kAddedCommands / sizeof kAddedCommands[0]);
  return index >= 0 && index < count ? kAddedCommands[index].usage : nullptr;
}
