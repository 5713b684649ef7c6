// A channel operator's commands: kick, modes, operator and voice status, bans and invitations.
#include <cstdio>
#include <cstring>

#include "app/commands.h"
#include "app/conversations.h"
#include "core/irc_case.h"
#include "console/console_log.h"

namespace {

constexpr int kModesPerLine = 3;  // what every server takes in one MODE line

// "+o" for each nick in the rest, three to a MODE line: "/op a b c d" is two lines.
void SetMemberStatus(const char* rest, const char* typed, char sign, char letter, const char* usage) {
  if (!*rest) {
    ConsoleAppend(usage);
    return;
  }
  while (*rest) {
    char letters[kModesPerLine + 2] = {sign};
    char nicks[kModesPerLine * (kWordLength + 1)];
    std::size_t used = 0;
    nicks[0] = '\0';
    for (int i = 0; i < kModesPerLine && *rest; ++i) {
      char nick[kWordLength];
      rest = TakeWord(rest, nick);
      letters[i + 1] = letter;
      used += static_cast<std::size_t>(
          std::snprintf(nicks + used, sizeof nicks - used, "%s%s", used ? " " : "", nick));
    }
    if (!SendToServer(typed, "MODE %.63s %s %s", CurrentChannel(), letters, nicks)) return;
  }
}

}  // namespace

void KickCommand(const char* rest, const char* typed) {
  char nick[kWordLength];
  const char* reason = TakeWord(rest, nick);
  if (!nick[0]) {
    ConsoleAppend("Usage: /kick nick [reason]");
  } else if (*reason) {
    SendToServer(typed, "KICK %.63s %s :%s", CurrentChannel(), nick, reason);
  } else {
    SendToServer(typed, "KICK %.63s %s", CurrentChannel(), nick);
  }
}

// "/mode +m" is the channel's; "/mode #c +o x" and "/mode nick +i" name their target; "/mode"
// alone asks for the channel's modes.
void ModeCommand(const char* rest, const char* typed) {
  if (!*rest) {
    SendToServer(typed, "MODE %.63s", CurrentChannel());
  } else if (*rest == '+' || *rest == '-') {
    SendToServer(typed, "MODE %.63s %s", CurrentChannel(), rest);
  } else {
    SendToServer(typed, "MODE %s", rest);
  }
}

void OpCommand(const char* rest, const char* typed) { SetMemberStatus(rest, typed, '+', 'o', "Usage: /op nick..."); }
void DeopCommand(const char* rest, const char* typed) {
  SetMemberStatus(rest, typed, '-', 'o', "Usage: /deop nick...");
}
void VoiceCommand(const char* rest, const char* typed) {
  SetMemberStatus(rest, typed, '+', 'v', "Usage: /voice nick...");
}
void DevoiceCommand(const char* rest, const char* typed) {
  SetMemberStatus(rest, typed, '-', 'v', "Usage: /devoice nick...");
}

// A bare nickname bans that nickname from anywhere: nick!*@*.
void BanCommand(const char* rest, const char* typed) {
  char mask[kWordLength];
  TakeWord(rest, mask);
  if (!mask[0]) {
    ConsoleAppend("Usage: /ban nick|mask");
  } else if (std::strpbrk(mask, "!@*")) {
    SendToServer(typed, "MODE %.63s +b %s", CurrentChannel(), mask);
  } else {
    SendToServer(typed, "MODE %.63s +b %s!*@*", CurrentChannel(), mask);
  }
}

void InviteCommand(const char* rest, const char* typed) {
  char nick[kWordLength], channel[kWordLength];
  TakeWord(TakeWord(rest, nick), channel);
  if (!nick[0] || (channel[0] && !IsChannelName(channel))) {
    ConsoleAppend("Usage: /invite nick [#channel]");
  } else {
    SendToServer(typed, "INVITE %s %.63s", nick, channel[0] ? channel : CurrentChannel());
  }
}
