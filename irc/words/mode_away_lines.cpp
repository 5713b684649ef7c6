// Mode changes and the modes and bans of channels, invitations, away and channel-list replies as sentences.
#include "irc/words/mode_away_lines.h"

#include <cstdlib>
#include <cstring>

#include "core/irc_case.h"
#include "irc/words/member_lines.h"
#include "platform/ticks.h"

namespace {

// The parameters from first on, one blank between each: a mode's arguments.
void JoinParams(const IrcMessage& m, int first, char* out, std::size_t size) {
  std::size_t used = 0;
  out[0] = '\0';
  for (int i = first; i < m.count && used + 1 < size; ++i) {
    FormatInto(out + used, size - used, "%s%s", used ? " " : "", m.params[i]);
    used += strnlen(out + used, size - used);
  }
}

// «:bob MODE #room +o alice», «:bob MODE #room +m», «:bob MODE bob :+i».
bool ModeText(const IrcMessage& m, char* out, std::size_t size) {
  if (m.count < 2) return false;
  const char* target = Param(m, 0);
  const char* modes = Param(m, 1);
  char arguments[kIrcLineLength];
  JoinParams(m, 2, arguments, sizeof arguments);
  if (IsChannelName(target)) {
    FormatChannelMode(m.source, target, modes, arguments, out, size);
  } else if (SameIrcName(m.source, target)) {
    FormatInto(out, size, "%s sets mode %s", m.source, modes);  // only the user's own: the user
  } else {
    FormatInto(out, size, "%s sets mode %s on %s%s%s", m.source, modes, target, arguments[0] ? " " : "",
               arguments);
  }
  return true;
}

// «:me 341 me alice #club» (RFC 1459 has the channel first): whichever names a channel.
bool InvitedText(const IrcMessage& m, char* out, std::size_t size) {
  const char* a = Param(m, 1);
  const char* b = Param(m, 2);
  if (!a[0] || !b[0]) return false;
  bool channelFirst = IsChannelName(a) && !IsChannelName(b);
  FormatInto(out, size, "You invited %s to %s", channelFirst ? b : a, channelFirst ? a : b);
  return true;
}

// «:srv 322 me #room 5 :[+nt] topic»: the topic as the server gives it, modes and all.
bool ListEntryText(const IrcMessage& m, char* out, std::size_t size) {
  if (m.count < 3) return false;
  const char* topic = Param(m, 3);
  FormatInto(out, size, "%s (%s)%s%s", Param(m, 1), Param(m, 2), topic[0] ? ": " : "", topic);
  return true;
}

// 324: «<me> #room +ntl 10»; ircd-irc2 gives "+ " for a channel without modes.
bool ChannelModesText(const IrcMessage& m, char* out, std::size_t size) {
  if (m.count < 3) return false;
  char modes[kIrcLineLength];
  JoinParams(m, 2, modes, sizeof modes);
  std::size_t length = std::strlen(modes);
  while (length > 0 && modes[length - 1] == ' ') modes[--length] = '\0';
  if (std::strcmp(modes, "+") == 0 || !modes[0]) {
    FormatInto(out, size, "%s has no modes", Param(m, 1));
  } else {
    FormatInto(out, size, "%s has mode %s", Param(m, 1), modes);
  }
  return true;
}

// 329: «<me> #room <seconds since 1970>».
bool CreationText(const IrcMessage& m, char* out, std::size_t size) {
  long long seconds = std::atoll(Param(m, 2));
  if (seconds <= 0) return false;
  char when[64];
  LocalMomentText(seconds, when, sizeof when);
  FormatInto(out, size, "%s was created on %s", Param(m, 1), when);
  return true;
}

// 367: «<me> #room <mask> [<setter> <seconds since 1970>]».
bool BanEntryText(const IrcMessage& m, char* out, std::size_t size) {
  if (m.count < 3) return false;
  char setter[kIrcLineLength], when[64] = "";
  FormatInto(setter, sizeof setter, "%.*s", static_cast<int>(std::strcspn(Param(m, 3), "!@")), Param(m, 3));
  long long seconds = std::atoll(Param(m, 4));
  if (seconds > 0) LocalMomentText(seconds, when, sizeof when);
  if (setter[0] && when[0]) {
    FormatInto(out, size, "%s bans %s (set by %s on %s)", Param(m, 1), Param(m, 2), setter, when);
  } else if (setter[0]) {
    FormatInto(out, size, "%s bans %s (set by %s)", Param(m, 1), Param(m, 2), setter);
  } else {
    FormatInto(out, size, "%s bans %s", Param(m, 1), Param(m, 2));
  }
  return true;
}

// 221: «<me> +i», or "+" alone for none.
void OwnModesText(const IrcMessage& m, char* out, std::size_t size) {
  const char* modes = Param(m, 1);
  if (!modes[0] || std::strcmp(modes, "+") == 0) {
    FormatInto(out, size, "You have no user modes");
  } else {
    FormatInto(out, size, "Your user modes: %s", modes);
  }
}

bool ReplyText(const IrcMessage& m, char* out, std::size_t size) {
  switch (NumericOf(m)) {
    case 301:
      if (m.count < 2) return false;
      FormatInto(out, size, "%s is away: %s", Param(m, 1), Param(m, 2));
      return true;
    case 305: FormatInto(out, size, "You are no longer marked as away"); return true;
    case 306: FormatInto(out, size, "You are marked as away"); return true;
    case 321: FormatInto(out, size, "Channels (members): topic"); return true;
    case 322: return ListEntryText(m, out, size);
    case 323: FormatInto(out, size, "End of the channel list"); return true;
    case 221: OwnModesText(m, out, size); return true;
    case 324: return ChannelModesText(m, out, size);
    case 329: return CreationText(m, out, size);
    case 367: return BanEntryText(m, out, size);
    case 368:
      if (m.count < 2) return false;
      FormatInto(out, size, "End of the ban list of %s", Param(m, 1));
      return true;
    case 341: return InvitedText(m, out, size);
    default: return false;
  }
}

}  // namespace

bool FormatModeAwayText(const IrcMessage& m, char* out, std::size_t size) {
  if (!out || size == 0) return false;
  if (std::strcmp(m.command, "MODE") == 0) return ModeText(m, out, size);
  if (std::strcmp(m.command, "INVITE") == 0) {
    const char* channel = Param(m, 1);
    if (!channel[0]) return false;
    FormatInto(out, size, "%s invites you to %s (/join %s)", m.source, channel, channel);
    return true;
  }
  return ReplyText(m, out, size);
}
