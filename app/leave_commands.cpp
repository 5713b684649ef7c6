// Leaving with a reason: "/part [reason]" leaves the channel, "/quit reason" the server and the room.
#include <cstdio>
#include <cstring>

#include "app/commands.h"
#include "app/command_interpreter.h"
#include "app/conversations.h"
#include "console/console_log.h"
#include "core/app_state.h"
#include "core/irc_case.h"
#include "irc/chat_commands.h"
#include "irc/session.h"

void (*LeaveRoom)() = nullptr;

namespace {

const char* SkipBlanks(const char* text) {
  while (*text == ' ') ++text;
  return text;
}

}  // namespace

// "/part #room bye" leaves the channel named; "/part bye" the current one, with the reason.
void PartWithReason(const char* rest, const char* typed) {
  rest = SkipBlanks(rest);
  char channel[kConversationNameLength];
  std::size_t n = std::strcspn(rest, " ");
  if (n > 0 && n < sizeof channel && IsChannelName(rest)) {
    std::memcpy(channel, rest, n);
    channel[n] = '\0';
    rest = SkipBlanks(rest + n);
  } else {
    std::snprintf(channel, sizeof channel, "%s", CurrentChannel());
  }
  if (!channel[0]) {
    ConsoleAppend("In no channel: nothing to leave.");
    return;
  }
  if (!CanSendLine(typed)) return;
  PartChannel(channel, rest);
}

// Without a reason "/quit" only reminds; with one it goes as Escape goes, the QUIT carrying it.
void QuitWithReason(const char* rest) {
  const char* reason = SkipBlanks(rest);
  if (!*reason) {
    ConsoleAppend("Press Escape twice to quit.");
    return;
  }
  if (AppState.connectionState != Offline) {
    ConsoleAppend("Disconnecting...");
    EndSession(reason);
    LeaveAllChannels();
    AppState.connectionState = Offline;
    ConsoleAppend("Disconnected.");
  }
  if (LeaveRoom) LeaveRoom();
}
