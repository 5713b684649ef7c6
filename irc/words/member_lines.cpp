// Joins, parts, quits, kicks and nickname changes as console lines; a reason follows in parentheses.
#include "irc/words/member_lines.h"

#include <cstdio>

#include "irc/irc_event.h"

namespace {
const char* Open(const char* reason) { return reason[0] ? " (" : ""; }
const char* Close(const char* reason) { return reason[0] ? ")" : ""; }
}  // namespace

bool FormatMemberLine(int kind, const char* nick, const char* text, char* out, std::size_t size) {
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
    default: return false;  // a mode change shows no line
  }
}

void FormatOwnKick(const char* channel, const char* by, const char* reason, char* out, std::size_t size) {
  std::snprintf(out, size, "You were kicked from %s by %s%s%s%s; you are in no channel now (/join %s to go back)",
                channel, by, Open(reason), reason, Close(reason), channel);
}

void FormatKickWithReason(const char* kicked, const char* by, const char* reason, char* out, std::size_t size) {
  std::snprintf(out, size, "%s was kicked by %s (%s)", kicked, by, reason);
}

void FormatOwnNickChange(const char* nick, char* out, std::size_t size) {
  std::snprintf(out, size, "You are now known as %s", nick);
}
