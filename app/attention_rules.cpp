// Which event lines are marked for the user, and the window title's text: plain rules, tested alone.
#include <cstdio>

#include "app/attention.h"
#include "console/mention.h"
#include "core/irc_case.h"
#include "irc/irc_event.h"

ConsoleMark EventMark(int code, const char* sender, const char* message, const char* ownNick) {
  if (code == EventPrivateMessage) return MarkAttention;
  if (code != EventChannelMessage && code != EventAction) return MarkPlain;
  if (SameIrcName(sender, ownNick)) return MarkPlain;  // the own words echoed
  return NamesNick(message, ownNick) ? MarkAttention : MarkPlain;
}

void FormatWindowTitle(const char* channel, const char* nick, int unseen, char* out, std::size_t size) {
  if (!out || size == 0) return;
  char count[16] = "";
  if (unseen > 0) std::snprintf(count, sizeof count, "(%d) ", unseen);
  bool inChannel = channel && *channel;
  std::snprintf(out, size, "%s%s%s%s - QIVRA", count, inChannel ? channel : "", inChannel ? " - " : "",
                nick ? nick : "");
}
