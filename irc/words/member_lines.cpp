// Joins, parts, quits, kicks, nickname changes and member lists as console lines; a reason
// follows in parentheses, and a channel the user left says how to go back.
#include "irc/words/member_lines.h"

#include <cstdio>

#include "irc/irc_event.h"

namespace {
const char* Open(const char* reason) { return reason[0] ? " (" : ""; }
const char* Close(const char* reason) { return reason[0] ? ")" : ""; }

void FormatOwnLeave(const char* channel, const char* by, const char* reason, bool kicked, char* out, std::size_t size) {
  if (kicked) {
    std::snprintf(out, size, "You were kicked from %s by %s%s%s%s: /join %s to go back", channel, by, Open(reason),
                  reason, Close(reason), channel);
  } else {
    std::snprintf(out, size, "You have left %s%s%s%s: /join %s to go back", channel, Open(reason), reason,
                  Close(reason), channel);
  }
}
}  // namespace

bool FormatMemberLine(int kind, const char* channel, const char* nick, const char* text, int result, char* out,
                      std::size_t size) {
  switch (kind) {
    case EventJoin: std::snprintf(out, size, "%s has joined the channel", nick); return true;
    case EventPart:
      std::snprintf(out, size, "%s has left the channel%s%s%s", nick, Open(text), text, Close(text));
      return true;
    case EventQuit:
      std::snprintf(out, size, "%s has quit irc%s%s%s", nick, Open(text), text, Close(text));
      return true;
    case EventNickChange: std::snprintf(out, size, "%s is now known as %s", nick, text); return true;
    case EventKick: std::snprintf(out, size, "%s was kicked by %s", text, nick); return true;  // kicked first
    case EventJoined: std::snprintf(out, size, "You have joined %s", channel); return true;
    case EventLeft: FormatOwnLeave(channel, nick, text, result == 1, out, size); return true;
    case EventJoinRefused: std::snprintf(out, size, "%s (/join %s to try again)", text, channel); return true;
    case EventMemberList:
      if (result > 0) {
        std::snprintf(out, size, "In %s: %s (%d)", channel, text, result);
      } else {
        std::snprintf(out, size, "In %s: %s", channel, text);
      }
      return true;
    default: return false;  // a mode change shows no line
  }
}

void FormatKickWithReason(const char* kicked, const char* by, const char* reason, char* out, std::size_t size) {
  std::snprintf(out, size, "%s was kicked by %s (%s)", kicked, by, reason);
}

void FormatOwnNickChange(const char* nick, char* out, std::size_t size) {
  std::snprintf(out, size, "You are now known as %s", nick);
}
