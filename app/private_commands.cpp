// Talking to one user: the private conversation of "/query", CTCP requests, and ignoring users.
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "app/commands.h"
#include "app/command_interpreter.h"
#include "app/conversations.h"
#include "core/irc_case.h"
#include "console/console_log.h"
#include "core/ignore_list.h"
#include "irc/words/ctcp_ping.h"

namespace {

void Say(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Say(const char* format, ...) {
  char text[kWordLength * 3];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  ConsoleAppend(text);
}

// A nickname from "nick" or "nick!user@host".
void TakeNick(const char* rest, char* nick) {
  TakeWord(rest, nick);
  nick[std::strcspn(nick, "!@")] = '\0';
}

}  // namespace

const char* PrivateTarget() {
  const Conversation* c = ActiveConversation();
  return c && c->kind == PrivateConversation ? c->name : "";
}

// "/query nick" opens the conversation with nick and makes it the active one; "/query" alone
// closes the active one and goes back to the channel.
void QueryCommand(const char* rest, const char*) {
  char nick[kWordLength];
  TakeWord(rest, nick);
  if (nick[0] && IsChannelName(nick)) {
    ConsoleAppend("Usage: /query nick (a nickname, not a channel: /join it)");
  } else if (nick[0]) {
    const int index = OpenConversation(nick, PrivateConversation);
    if (index < 0) {
      ConsoleAppend("Too many conversations open: /close one first.");
      return;
    }
    ActivateConversation(index);
    Say("Talking privately to %s (/query alone ends it)", nick);
  } else if (PrivateTarget()[0]) {
    CloseCommand("", "");
  } else {
    ConsoleAppend("Usage: /query nick (plain lines then go to nick)");
  }
}

// "/close": the active private conversation is closed and the channel shows again.
void CloseCommand(const char*, const char*) {
  const int index = Conversations.active;
  const Conversation* c = ActiveConversation();
  if (!c || c->kind != PrivateConversation) {
    ConsoleAppend("Not in a private conversation (/part leaves a channel).");
    return;
  }
  char partner[kConversationNameLength];
  std::snprintf(partner, sizeof partner, "%s", c->name);
  const int channel = Conversations.lastChannel;
  CloseConversation(index);
  if (channel >= 0) ActivateConversation(channel < index ? channel : channel - 1);
  Say("No longer talking privately to %s: lines go to the channel again", partner);  // where they go
}

// The request word in capitals and its arguments, between \x01 marks and with none inside:
// "/ctcp bob version" asks a plain \x01VERSION\x01, never the handshake's "\x01VERSION\x01:".
void CtcpCommand(const char* rest, const char* typed) {
  char nick[kWordLength];
  const char* what = TakeWord(rest, nick);
  char request[kWordLength * 4];
  std::size_t used = 0;
  bool inWord = true;
  for (const char* p = what; *p && used + 1 < sizeof request; ++p) {
    if (*p == '\x01' || *p == '\r' || *p == '\n') continue;
    if (*p == ' ') inWord = false;
    request[used++] = inWord ? static_cast<char>(std::toupper(static_cast<unsigned char>(*p))) : *p;
  }
  request[used] = '\0';
  if (!nick[0] || !request[0]) {
    ConsoleAppend("Usage: /ctcp nick what (VERSION, PING, TIME ...)");
    return;
  }
  // A PING carries the time it went, which the answer gives back: without it the answer is
  // empty and says nothing.
  if (std::strcmp(request, "PING") == 0) StampCtcpPing(request, sizeof request);
  if (!SendToServer(typed, "PRIVMSG %s :\x01%s\x01", nick, request)) return;
  char echo[sizeof request + kWordLength + 16];
  std::snprintf(echo, sizeof echo, "-> %s: CTCP %s", nick, request);
  ConsoleAppend(echo);
}

void IgnoreCommand(const char* rest, const char*) {
  char nick[kWordLength];
  TakeNick(rest, nick);
  if (!nick[0]) {
    char list[kIgnoredNicks * (kIgnoredNickLength + 2)];
    int count = ListIgnoredNicks(list, sizeof list);
    char text[sizeof list + 32];
    if (count > 0) {
      std::snprintf(text, sizeof text, "Ignoring: %s (%d)", list, count);
    } else {
      std::snprintf(text, sizeof text, "Nobody is ignored (/ignore nick hides nick's messages)");
    }
    ConsoleAppend(text);
    return;
  }
  switch (IgnoreNick(nick)) {
    case IgnoreAdded: Say("Ignoring %s: messages, notices and CTCP from %s are not shown", nick, nick); break;
    case IgnoreAlready: Say("Already ignoring %s", nick); break;
    case IgnoreFull: ConsoleAppend("Cannot ignore more nicknames: /unignore one first"); break;
    default: Say("Cannot ignore \"%s\": not a nickname", nick); break;
  }
}

void UnignoreCommand(const char* rest, const char*) {
  char nick[kWordLength];
  TakeNick(rest, nick);
  if (!nick[0]) {
    ConsoleAppend("Usage: /unignore nick");
    return;
  }
  switch (UnignoreNick(nick)) {
    case IgnoreRemoved: Say("No longer ignoring %s", nick); break;
    case IgnoreNotThere: Say("%s was not ignored", nick); break;
    default: Say("Cannot unignore \"%s\": not a nickname", nick); break;
  }
}
