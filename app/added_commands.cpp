// The commands that ask the server plainly: nickname, topic, names, WHOIS, notices, away, lists,
// the message of the day, raw lines, lines not yet sent; and the pieces the command files share.
#include "app/commands.h"

#include <strings.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "app/command_interpreter.h"
#include "app/conversations.h"
#include "console/chat_log.h"
#include "console/console_log.h"
#include "console/settings.h"
#include "core/app_state.h"
#include "irc/chat_commands.h"
#include "irc/session.h"

constexpr int kServerLineLength = 1100;  // a typed line (1024 bytes) and the words put around it

static bool Connected() {
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
    SessionChangeNick(nick);  // the server's answer says whether it was taken
  }
}

// The channel a command acts on: one is needed.
static bool HaveChannel() {
  if (CurrentChannel()[0]) return true;
  ConsoleAppend("In no channel: /join #channel first.");
  return false;
}

void TopicCommand(const char* rest, const char*) {
  if (Connected() && HaveChannel()) AskTopic(CurrentChannel(), rest);
}

void NamesCommand(const char*, const char*) {
  if (Connected() && HaveChannel()) AskNames(CurrentChannel());
}

void WhoisCommand(const char* rest, const char*) {
  char nick[kWordLength];
  TakeWord(rest, nick);
  if (!nick[0]) {
    ConsoleAppend("Usage: /whois nick");
  } else if (Connected()) {
    AskWhois(nick);
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
  AppendOwnToPartner(nick, echo);
  LogOwnPrivate(nick, text, true);
  NoticeTo(nick, text);
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
  SessionAskMotd();
  SendToServer(typed, "MOTD");
}

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

// Typed lines wait for the pace (LINEPACE); a paste sent by mistake need not go out.
void DropCommand(const char*, const char*) {
  const int dropped = DropQueuedLines();
  char text[96];
  if (dropped > 0) {
    std::snprintf(text, sizeof text, "Dropped %d line%s that waited to be sent.", dropped, dropped == 1 ? "" : "s");
  } else {
    std::snprintf(text, sizeof text, "No lines are waiting to be sent.");
  }
  ConsoleAppend(text);
}

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
  QueueChatLine("%s", line);  // a line break inside becomes a blank there
  return true;
}

