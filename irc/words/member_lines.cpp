// Joins, parts, quits, kicks, nickname and mode changes and member lists as console lines; a
// reason follows in parentheses, and a channel the user left says how to go back.
#include "irc/words/member_lines.h"

#include <cstdio>
#include <cstring>

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

// "#room +o alice": the channel, the modes, and the arguments after them.
bool ModeChangeLine(const char* nick, const char* change, char* out, std::size_t size) {
  const std::size_t channel = std::strcspn(change, " ");
  if (channel == 0 || change[channel] != ' ') return false;
  const char* modes = change + channel + 1;
  const std::size_t modesLength = std::strcspn(modes, " ");
  const char* arguments = modes[modesLength] ? modes + modesLength + 1 : "";
  char channelText[256], modesText[256];
  std::snprintf(channelText, sizeof channelText, "%.*s", static_cast<int>(channel), change);
  std::snprintf(modesText, sizeof modesText, "%.*s", static_cast<int>(modesLength), modes);
  FormatChannelMode(nick, channelText, modesText, arguments, out, size);
  return true;
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
    case EventModeChange: return ModeChangeLine(nick, text, out, size);
    default: return false;
  }
}

void FormatChannelMode(const char* nick, const char* channel, const char* modes, const char* arguments, char* out,
                       std::size_t size) {
  if (arguments[0]) {
    std::snprintf(out, size, "%s sets mode %s %s", nick, modes, arguments);
  } else {
    std::snprintf(out, size, "%s sets mode %s on %s", nick, modes, channel);
  }
}

void FormatKickWithReason(const char* kicked, const char* by, const char* reason, char* out, std::size_t size) {
  std::snprintf(out, size, "%s was kicked by %s (%s)", kicked, by, reason);
}

void FormatOwnNickChange(const char* nick, char* out, std::size_t size) {
  std::snprintf(out, size, "You are now known as %s", nick);
}
