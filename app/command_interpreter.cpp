// Runs a confirmed input line: chat to the channel, or one of the "/" commands.
#include "app/command_interpreter.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/app_state.h"
#include "console/console_log.h"
#include "console/settings.h"
#include "irc/irc_client.h"
#include "platform/ticks.h"
#include "scene/scene.h"

void (*RegistrationWaitPump)() = nullptr;

namespace {

constexpr int kInputLength = 256;               // the input line, terminating zero included
constexpr uint32_t kRegistrationWaitMs = 15000;  // "/server" gives up after this

// Settings fields are read with a precision of 63 so that a field that lost its
// terminating zero can never be read past its end.
void AppendConnecting() {
  char text[kConsoleLineLength];
  std::snprintf(text, sizeof text, "Connecting to %.63s:%d...", Settings.server, Settings.port);
  ConsoleAppend(text);
}

void AppendRegistering() {
  // Four 63-character fields exceed a console line; ConsoleAppend carries the rest over.
  char text[kSettingLength * 4 + 32];
  std::snprintf(text, sizeof text, "Registering as \"%.63s\" (%.63s, %.63s@%.63s)...",
                Settings.nickname, Settings.realName, Settings.userName, Settings.server);
  ConsoleAppend(text);
}

void ConnectSequence() {
  if (AppState.connectionState != Offline) return;
  AppendConnecting();
  Irc.Init();
  ConnectWithSettings();
  AppendRegistering();
  Irc.SendUser(Settings.userName, Settings.server, Settings.realName);
  Irc.SetNick(Settings.nickname);
  AppState.connectionState = Registering;
}

void DisconnectSequence() {
  if (AppState.connectionState == Offline) return;
  ConsoleAppend("Disconnecting...");
  Irc.Disconnect("Quit");
  Irc.Cleanup();
  ConsoleAppend("Disconnected.");
  AppState.connectionState = Offline;
}

// Polls until the server's first PING has been answered or the bound has passed.
// The shell's pump keeps the window alive meanwhile; the short sleep keeps a
// wait without a pump from spinning a whole core. Should the pump itself have
// disconnected (Escape), there is nothing left to wait for.
bool WaitForRegistration() {
  const uint32_t start = TickCountMs();
  for (;;) {
    if (Irc.PollRegistration() == 1) return true;
    if (static_cast<uint32_t>(TickCountMs() - start) >= kRegistrationWaitMs) return false;
    if (RegistrationWaitPump) RegistrationWaitPump();
    if (AppState.connectionState == Offline) return false;
    SleepMs(1);
  }
}

// The old connection's socket cannot be connected a second time, so the links
// are closed and opened again (Cleanup, Init) before the new Connect.
void ServerChangeSequence() {
  char text[kSettingLength + 64];
  if (AppState.connectionState == Offline) {
    std::snprintf(text, sizeof text, "Not connected: /connect will use server %.63s.",
                  Settings.server);
    ConsoleAppend(text);
    return;
  }
  Irc.Disconnect("Quit");
  Irc.Cleanup();
  Irc.Init();
  bool registered = false;
  if (ConnectWithSettings() == 1) {
    Irc.SetNick(Settings.nickname);
    Irc.SendUser(Settings.userName, Settings.hostName, Settings.realName);
    registered = WaitForRegistration();
  }
  if (registered) {
    // The receive thread now owns the link; the main loop must not poll it
    // again as it would while Registering. No channel is joined until "/join".
    AppState.connectionState = InChannel;
    return;
  }
  if (AppState.connectionState == Offline) return;  // the pump ran "/disconnect"
  std::snprintf(text, sizeof text, "Gave up waiting for %.63s to register.", Settings.server);
  ConsoleAppend(text);
  DisconnectSequence();
}

void JoinCommand(const char* line) {
  std::sscanf(line, "/join %63s", Settings.channel);  // no word: channel unchanged
  Irc.Part();
  Irc.Join(Settings.channel);
}

void MsgCommand(const char* line) {
  char nickname[kInputLength];
  char word[kInputLength];
  if (std::sscanf(line, "/msg %255s %255s", nickname, word) != 2) return;
  Irc.SayTo(nickname, word);
}

void MeCommand(const char* line) {
  const char* text = std::strlen(line) > 4 ? line + 4 : "";
  EchoOwnAction(text);
  char action[kInputLength + 16];
  std::snprintf(action, sizeof action, "\x01" "ACTION %s\x01", text);
  Irc.Say(action);
}

bool StartsWith(const char* line, const char* word) {
  return std::strncmp(line, word, std::strlen(word)) == 0;
}

}  // namespace

void ProcessInputLine(const char* input) {
  if (!input) return;
  // A private bounded copy: every text sent or echoed below fits the input line.
  char line[kInputLength];
  std::size_t length = strnlen(input, kInputLength - 1);
  std::memcpy(line, input, length);
  line[length] = '\0';

  if (line[0] != '/') {
    EchoOwnMessage(line);
    Irc.Say(line);
    return;
  }
  if (RunAddedCommand(line)) return;
  if (std::strcmp(line, "/quit") == 0) {
    ConsoleAppend("Press ESC to quit.");
  } else if (std::strcmp(line, "/help") == 0) {
    ConsoleAppend("Commands: help,explode,connect,part,disconnect");
  } else if (std::strcmp(line, "/explode") == 0) {
    ConsoleAppend("Test Explosion Spawned");
    SpawnExplosion(0.0f, 0.2f, 0.0f);
  } else if (std::strstr(line, "/connect")) {
    ConnectSequence();
  } else if (std::strcmp(line, "/disconnect") == 0) {
    DisconnectSequence();
  } else if (std::strcmp(line, "/part") == 0) {
    Irc.Part();
  } else if (StartsWith(line, "/join")) {
    JoinCommand(line);
  } else if (StartsWith(line, "/server")) {
    std::sscanf(line, "/server %63s", Settings.server);  // no word: server unchanged
    ServerChangeSequence();
  } else if (StartsWith(line, "/msg")) {
    MsgCommand(line);
  } else if (StartsWith(line, "/me")) {
    MeCommand(line);
  }
  // Any other "/" line is ignored without a word.
}
