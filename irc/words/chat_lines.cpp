// Chat as the console shows it: "<nick> text", "* nick action", "<nick> [Private] text".
#include "irc/words/chat_lines.h"

#include <cstdio>

#include "irc/irc_event.h"
#include "irc/words/member_lines.h"

bool FormatChatLine(int kind, const char* nick, const char* text, char* out, std::size_t size) {
  switch (kind) {
    case EventChannelMessage: std::snprintf(out, size, "<%s> %s", nick, text); return true;
    case EventAction: std::snprintf(out, size, "* %s %s", nick, text); return true;
    case EventPrivateMessage: std::snprintf(out, size, "<%s> [Private] %s", nick, text); return true;
    default: return false;
  }
}

bool FormatEventLine(int kind, const char* nick, const char* text, char* out, std::size_t size) {
  if (!out || size == 0) return false;
  if (!nick) nick = "";
  if (!text) text = "";
  if (kind == EventText) {  // a line the link thread worded (server text, a notice, a topic ...)
    std::snprintf(out, size, "%s", text);
    return true;
  }
  return FormatChatLine(kind, nick, text, out, size) || FormatMemberLine(kind, nick, text, out, size);
}
