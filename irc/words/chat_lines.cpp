// Chat as the console shows it: "<nick> text", "* nick action", "-nick- notice", "-nick:#room- notice".
#include "irc/words/chat_lines.h"

#include <cstdio>

#include "irc/irc_event.h"
#include "irc/words/member_lines.h"

bool FormatChatLine(int kind, const char* channel, const char* nick, const char* text, char* out, std::size_t size) {
  switch (kind) {
    case EventChannelMessage: std::snprintf(out, size, "<%s> %s", nick, text); return true;
    case EventPrivateMessage: std::snprintf(out, size, "<%s> [Private] %s", nick, text); return true;
    case EventAction: std::snprintf(out, size, "* %s %s", nick, text); return true;
    case EventNotice:
      if (channel[0]) {
        std::snprintf(out, size, "-%s:%s- %s", nick, channel, text);
      } else {
        std::snprintf(out, size, "-%s- %s", nick, text);
      }
      return true;
    default: return false;
  }
}

int SpeakerOffset(int kind) {
  switch (kind) {
    case EventChannelMessage:
    case EventPrivateMessage:
    case EventNotice: return 1;
    case EventAction: return 2;
    default: return -1;
  }
}

bool FormatEventLine(const IrcEvent& e, char* out, std::size_t size) {
  if (!out || size == 0) return false;
  if (e.kind == EventText || e.kind == EventPresenceText) {  // a line the link thread worded
    std::snprintf(out, size, "%s", e.text);
    return true;
  }
  return FormatChatLine(e.kind, e.channel, e.nick, e.text, out, size) ||
         FormatMemberLine(e.kind, e.channel, e.nick, e.text, e.result, out, size);
}
