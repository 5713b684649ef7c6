// Chat events sorted into chat logs by their kind and channel: a channel's events to its log,
// private ones to the partner's.
#include "app/chat_log_choice.h"

#include <cstdio>

#include "console/chat_log.h"
#include "console/settings.h"
#include "irc/irc_event.h"

bool ChooseChatLog(int kind, const char* channel, const char* nick, const char* text, const char* shown,
                   char* target, std::size_t targetSize, char* line, std::size_t lineSize) {
  if (!channel) channel = "";
  if (!nick) nick = "";
  if (!text) text = "";
  if (!shown) shown = "";
  const char* log = channel;
  switch (kind) {
    case EventChannelMessage:
    case EventAction:
    case EventPrivateMessage:
    case EventJoin:
    case EventPart:
    case EventQuit:
    case EventNickChange:
    case EventKick:
    case EventLeft:
    case EventModeChange:
    case EventText:  // with a channel: its topic, a kick with a reason
      break;
    case EventNotice:  // to a channel: its log; to the user: the sender's
      if (!channel[0]) log = nick;
      break;
    default:
      return false;
  }
  if (!log[0]) return false;
  std::snprintf(target, targetSize, "%s", log);
  if (kind == EventPrivateMessage) {
    std::snprintf(line, lineSize, "<%s> %s", nick, text);  // the partner's own log needs no "[Private]"
  } else {
    std::snprintf(line, lineSize, "%s", shown);
  }
  return true;
}

void LogChatEvent(const IrcEvent& event, const char* shown) {
  if (!Settings.chatLogs) return;
  char target[kIrcLineLength], line[kIrcLineLength * 2 + 64];
  if (ChooseChatLog(event.kind, event.channel, event.nick, event.text, shown, target, sizeof target, line, sizeof line))
    LogChatLine(target, line);
}
