// Leaving with a reason: "/part [reason]" leaves the channel, "/quit reason" the server and the room.
#include <strings.h>

#include <cstring>

#include "app/added_commands.h"
#include "app/command_interpreter.h"
#include "console/console_log.h"
#include "console/settings.h"
#include "core/app_state.h"
#include "irc/irc_client.h"

void (*LeaveRoom)() = nullptr;

namespace {

const char* SkipBlanks(const char* text) {
  while (*text == ' ') ++text;
  return text;
}

// "/part #room bye" names the channel the client is in: the reason is what follows it.
const char* PartReason(const char* rest) {
  std::size_t n = std::strcspn(rest, " ");
  std::size_t channel = strnlen(Settings.channel, kSettingLength - 1);
  bool named = n > 0 && n == channel && strncasecmp(rest, Settings.channel, n) == 0;
  return named ? SkipBlanks(rest + n) : rest;
}

}  // namespace

void PartWithReason(const char* rest, const char* typed) {
  if (!CanSendLine(typed)) return;
  Irc.Part(PartReason(SkipBlanks(rest)));
  EndQuery();
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
    Irc.Disconnect(reason);
    Irc.Cleanup();
    AppState.connectionState = Offline;
    ConsoleAppend("Disconnected.");
  }
  if (LeaveRoom) LeaveRoom();
}
