// The user's own requests to the server: registration, channels, messages, notices and questions.
#include "irc/chat_commands.h"

#include <cstdio>

#include "irc/session.h"

int JoinChannel(const char* channel) { return QueueChatLine("JOIN %s", channel); }

int PartChannel(const char* channel, const char* reason) {
  if (reason && *reason) return QueueChatLine("PART %s :%s", channel, reason);
  return QueueChatLine("PART %s", channel);
}

int SayTo(const char* target, const char* text) {
  if (target[0] != '#' && target[0] != '&') SessionNoteQuery(target, false);  // "No such nickname"
  return QueueChatLine("PRIVMSG %s :%s", target, text);
}

int NoticeTo(const char* target, const char* text) {
  SessionNoteQuery(target, false);
  return QueueChatLine("NOTICE %s :%s", target, text);
}

int AskWhois(const char* nick) {
  SessionNoteQuery(nick, true);
  return QueueChatLine("WHOIS %s", nick);
}

int AskTopic(const char* channel, const char* text) {
  if (text && *text) return QueueChatLine("TOPIC %s :%s", channel, text);
  return QueueChatLine("TOPIC %s", channel);
}

int AskNames(const char* channel) { return QueueChatLine("NAMES %s", channel); }
