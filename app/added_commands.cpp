// The commands added to the classic set: their table, and the ones that ask the server plainly.
#include "app/added_commands.h"

#include <strings.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "app/command_interpreter.h"
#include "console/chat_log.h"
#include "console/console_log.h"
#include "console/settings.h"
#include "core/app_state.h"
#include "irc/irc_client.h"
#include "irc/motd_rule.h"

namespace {

constexpr int kServerLineLength = 1100;  // a typed line (1024 bytes) and the words put around it

bool Connected() {
  if (AppState.connectionState != Offline) return true;
  ConsoleAppend("Not connected: /connect first.");
  return false;
}

void NickCommand(const char* rest, const char*) {
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

void TopicCommand(const char* rest, const char*) {
  if (Connected()) Irc.Topic(rest);
}

void NamesCommand(const char*, const char*) {
  if (Connected()) Irc.Names();
}

void WhoisCommand(const char* rest, const char*) {
  char nick[kWordLength];
  TakeWord(rest, nick);
  if (!nick[0]) {
    ConsoleAppend("Usage: /whois nick");
  } else if (Connected()) {
    Irc.Whois(nick);
  }
}

void NoticeCommand(const char* rest, const char*) {
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

// The server answers "You are marked as away" or "no longer", so no echo is needed.
void AwayCommand(const char* rest, const char* typed) {
  if (*rest) {
    SendToServer(typed, "AWAY :%s", rest);
  } else {
    SendToServer(typed, "AWAY");
  }
}

void ListCommand(const char* rest, const char* typed) {
  char pattern[kWordLength];
  TakeWord(rest, pattern);
  if (pattern[0]) {
    SendToServer(typed, "LIST %s", pattern);
  } else {
    SendToServer(typed, "LIST");
  }
}

// Asked for before the line goes, so that its reply shows however soon it comes.
void MotdCommand(const char*, const char* typed) {
  if (!CanSendLine(typed)) return;
  AskForMotd();
  SendToServer(typed, "MOTD");
}
void ClearCommand(const char*, const char*) { ConsoleClear(); }

// "/quote" and "/raw": the rest of the line goes as it is, and only up to a line break.
void QuoteCommand(const char* rest, const char* typed) {
  int length = static_cast<int>(std::strcspn(rest, "\r\n"));
  if (length == 0) {
    ConsoleAppend("Usage: /quote line (sent to the server as typed)");
    return;
  }
  if (!SendToServer(typed, "%.*s", length, rest)) return;
  char echo[kServerLineLength];
  std::snprintf(echo, sizeof echo, "-> server: %.*s", length, rest);
  ConsoleAppend(echo);
}

struct AddedCommand {
  const char* word;
  void (*run)(const char* rest, const char* typed);
  CommandHelp help;
};

const AddedCommand kAddedCommands[] = {
    {"/nick", NickCommand, {"/nick name", "change your nickname"}},
    {"/topic", TopicCommand, {"/topic [text]", "set the channel's topic; without text, show it"}},
    {"/names", NamesCommand, {"/names", "list the channel's members"}},
    {"/whois", WhoisCommand, {"/whois nick", "what the server knows about nick"}},
    {"/notice", NoticeCommand, {"/notice nick text", "a notice to nick"}},
    {"/query", QueryCommand, {"/query [nick]", "plain lines go privately to nick; alone: to the channel again"}},
    {"/away", AwayCommand, {"/away [text]", "marked as away with text; without text: back"}},
    {"/kick", KickCommand, {"/kick nick [reason]", "put nick out of the channel"}},
    {"/mode", ModeCommand, {"/mode [target] [modes]", "change modes: of the channel, or of a channel or nick named"}},
    {"/op", OpCommand, {"/op nick...", "make channel operators"}},
    {"/deop", DeopCommand, {"/deop nick...", "take channel operator away"}},
    {"/voice", VoiceCommand, {"/voice nick...", "let them speak in a moderated channel"}},
    {"/devoice", DevoiceCommand, {"/devoice nick...", "take the voice away"}},
    {"/ban", BanCommand, {"/ban nick|mask", "ban from the channel (a nick as nick!*@*)"}},
    {"/invite", InviteCommand, {"/invite nick [#channel]", "invite nick to this channel or another"}},
    {"/list", ListCommand, {"/list [pattern]", "the server's channels, with members and topic"}},
    {"/ctcp", CtcpCommand, {"/ctcp nick what", "a client-to-client request: VERSION, PING, TIME ..."}},
    {"/quote", QuoteCommand, {"/quote line", "send the line to the server as typed"}},
    {"/raw", QuoteCommand, {"/raw line", "the same as /quote"}},
    {"/ignore", IgnoreCommand, {"/ignore [nick]", "hide nick's messages for this run; alone: list those hidden"}},
    {"/unignore", UnignoreCommand, {"/unignore nick", "show nick's messages again"}},
    {"/clear", ClearCommand, {"/clear", "empty the console"}},
    {"/motd", MotdCommand, {"/motd", "the server's message of the day"}},
};

constexpr int kAddedCount = static_cast<int>(sizeof kAddedCommands / sizeof kAddedCommands[0]);

}  // namespace

const char* TakeWord(const char* text, char* word) {
  std::size_t n = std::strcspn(text, " ");
  std::snprintf(word, kWordLength, "%.*s", static_cast<int>(n < kWordLength - 1 ? n : kWordLength - 1), text);
  text += n;
  while (*text == ' ') ++text;
  return text;
}

bool SendToServer(const char* typed, const char* format, ...) {
  if (!CanSendLine(typed)) return false;
  char line[kServerLineLength];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (n < 0) return false;
  SendIrcLine("\r\n", "%s", line);  // a line break inside becomes a blank there
  return true;
}

const char* CurrentChannel() { return Settings.channel; }

bool RunAddedCommand(const char* line) {
  for (const AddedCommand& c : kAddedCommands) {
    std::size_t n = std::strlen(c.word);
    if (strncasecmp(line, c.word, n) != 0 || (line[n] != ' ' && line[n] != '\0')) continue;
    const char* rest = line + n;
    while (*rest == ' ') ++rest;
    c.run(rest, line);
    return true;
  }
  return false;
}

const CommandHelp* AddedCommandHelp(int index) {
  return index >= 0 && index < kAddedCount ? &kAddedCommands[index].help : nullptr;
}
