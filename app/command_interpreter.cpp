// Runs a confirmed input line: chat to the channel, or one of the "/" commands.
#include "app/command_interpreter.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "app/chat_text.h"
#include "app/reconnect_plan.h"
#include "app/tls_port_hint.h"
#include "core/app_state.h"
#include "console/chat_log.h"
#include "console/console_log.h"
#include "console/settings.h"
#include "irc/irc_client.h"
#include "platform/ticks.h"
#include "scene/scene.h"

void (*RegistrationWaitPump)() = nullptr;

namespace {

constexpr int kInputLength = kLongestInputLine + 1;  // a line, terminating zero included
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

// One line per failed attempt; while tries go on it says when the next one comes.
void AppendConnectFailure(const char* reason, uint32_t nextTryMs) {
  char text[kSettingLength + 160];
  int n = std::snprintf(text, sizeof text, "Could not connect to %.63s:%d: %s.", Settings.server,
                        Settings.port, reason);
  if (nextTryMs > 0 && n > 0 && static_cast<std::size_t>(n) < sizeof text)
    std::snprintf(text + n, sizeof text - n, " Next try in %u s.", static_cast<unsigned>(nextTryMs / 1000));
  ConsoleAppend(text);
}

// Both links open and the server reached, or why not (the client is then Offline again);
// no reason when the user gave the attempt up by leaving.
bool StartConnection(const char** reason) {
  if (Settings.port < 1 || Settings.port > 65535) {
    *reason = "no such port";
    return false;
  }
  if (Irc.Init() != 1) {
    *reason = "no socket";
    return false;
  }
  if (ConnectWithSettings() == 1) return true;
  *reason = Irc.streamLink.failure == LinkFailAbandoned ? nullptr : LinkFailureText(Irc.streamLink.failure);
  Irc.Cleanup();
  return false;
}

void SendRegistration() {
  AppendRegistering();
  Irc.SendUser(Settings.userName, Settings.server, Settings.realName);
  Irc.SetNick(Settings.nickname);
  AppState.connectionState = Registering;
}

void ConnectSequence() {
  if (AppState.connectionState != Offline) return;
  StopPlan(&Reconnect);  // connecting by hand replaces any planned try
  AppendConnecting();
  const char* reason = "";
  if (!StartConnection(&reason)) {
    // A failed TLS step has said why already (ConnectWithSettings).
    if (reason && Irc.streamLink.failure != LinkFailTls) AppendConnectFailure(reason, 0);
    return;
  }
  SendRegistration();
}

// Leaves the server at once, without the console lines of "/disconnect".
void DropConnection() {
  Irc.Disconnect("Quit");
  Irc.Cleanup();
  AppState.connectionState = Offline;
  CloseChatLogs();
}

void DisconnectSequence() {
  if (AppState.connectionState == Offline) {
    if (Reconnect.active) ConsoleAppend("Stopped reconnecting.");
    StopPlan(&Reconnect);
    return;
  }
  bool retrying = Reconnect.active;  // a try was registering
  StopPlan(&Reconnect);
  ConsoleAppend("Disconnecting...");
  DropConnection();
  ConsoleAppend("Disconnected.");
  if (retrying) ConsoleAppend("Stopped reconnecting.");
}

// Polls until the server's first PING has been answered or the bound has passed.
// The shell's pump keeps the window alive meanwhile; the short sleep keeps a
// wait without a pump from spinning a whole core. Should the pump itself have
// disconnected (Escape), there is nothing left to wait for.
bool WaitForRegistration() {
  const uint32_t start = TickCountMs();
  for (;;) {
    int polled = Irc.PollRegistration();
    if (polled == 1) return true;
    if (polled < 0) return false;  // the server ended the link
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

// Chat goes out only in a channel; anything else would be echoed as said and lost.
bool CanSay(const char* line) {
  if (AppState.connectionState == InChannel) return true;
  char text[kInputLength + 48];
  std::snprintf(text, sizeof text, "Not sent (%s): %s",
                AppState.connectionState == Registering ? "still connecting" : "not connected", line);
  ConsoleAppend(text);
  return false;
}

// Text longer than one IRC message goes as several, broken at blanks. framed wraps each
// piece as an action.
void SayInPieces(const char* target, const char* text, bool framed, bool toChannel) {
  const std::size_t framing = framed ? std::strlen("\x01" "ACTION \x01") : 0;
  const std::size_t room = MessageTextRoom(target, Settings.nickname, framing);
  std::size_t length = std::strlen(text);
  std::size_t done = 0;
  do {
    char piece[kInputLength + 16];
    std::size_t next = 0;
    std::size_t n = NextMessagePiece(text + done, length - done, room, &next);
    if (framed) {
      std::snprintf(piece, sizeof piece, "\x01" "ACTION %.*s\x01", static_cast<int>(n), text + done);
    } else {
      std::snprintf(piece, sizeof piece, "%.*s", static_cast<int>(n), text + done);
    }
    if (toChannel) {
      Irc.Say(piece);
    } else {
      Irc.SayTo(target, piece);
    }
    done += next;
  } while (done < length);
}

void HelpCommand(const char*);

void ExplodeCommand(const char*) {
  ConsoleAppend("Test Explosion Spawned");
  SpawnExplosion(0.0f, 0.2f, 0.0f);
}

void ConnectCommand(const char*) { ConnectSequence(); }
void DisconnectCommand(const char*) { DisconnectSequence(); }
// "/part" and "/quit" take an optional reason (app/leave_commands.cpp).
void PartCommand(const char* line) { PartWithReason(line + std::strlen("/part"), line); }
void QuitCommand(const char* line) { QuitWithReason(line + std::strlen("/quit")); }

void JoinCommand(const char* line) {
  std::sscanf(line, "/join %63s", Settings.channel);  // no word: channel unchanged
  Irc.Part();
  Irc.Join(Settings.channel);
}

void ServerCommand(const char* line) {
  std::sscanf(line, "/server %63s", Settings.server);  // no word: server unchanged
  ServerChangeSequence();
}

// The whole text goes to nick, and is shown as sent.
void SayPrivately(const char* nickname, const char* text) {
  char shown[kInputLength + 8];
  std::snprintf(shown, sizeof shown, "-> %s: %s", nickname, text);
  ConsoleAppend(shown);
  LogOwnPrivate(nickname, text, false);
  SayInPieces(nickname, text, false, false);
}

// "/msg nick text": the whole text after the nickname goes to nick, and is shown.
void MsgCommand(const char* line) {
  const char* p = line + std::strlen("/msg");
  while (*p == ' ') ++p;
  std::size_t nickLength = std::strcspn(p, " ");
  const char* text = p + nickLength;
  while (*text == ' ') ++text;
  if (nickLength == 0 || *text == '\0') {
    ConsoleAppend("Usage: /msg nick text");
    return;
  }
  if (!CanSay(line)) return;
  char nickname[kInputLength];
  std::snprintf(nickname, sizeof nickname, "%.*s", static_cast<int>(nickLength), p);
  SayPrivately(nickname, text);
}

void MeCommand(const char* line) {
  if (line[3] == '\0' || line[4] == '\0') {  // an action needs its text
    ConsoleAppend("Usage: /me text");
    return;
  }
  if (!CanSay(line)) return;
  const char* text = line + 4;
  EchoOwnAction(text);
  SayInPieces(Settings.channel, text, true, true);
}

// The classic commands: the whole first word of the line names one, in this case only.
// "/help" lists them in this order, then the added ones.
struct CommandRow {
  const char* word;
  void (*run)(const char* line);
  CommandHelp help;
};

const CommandRow kCommands[] = {
    {"/me", MeCommand, {"/me text", "an action, shown as * nick text"}},
    {"/msg", MsgCommand, {"/msg nick text", "a private message to nick"}},
    {"/join", JoinCommand, {"/join #channel", "leave this channel and join another"}},
    {"/part", PartCommand, {"/part [reason]", "leave the channel"}},
    {"/server", ServerCommand, {"/server host", "change to another server (then /join a channel)"}},
    {"/connect", ConnectCommand, {"/connect", "connect with the current settings"}},
    {"/disconnect", DisconnectCommand, {"/disconnect", "leave the server (and stop reconnecting)"}},
    {"/explode", ExplodeCommand, {"/explode", "a test explosion in the middle of the room"}},
    {"/help", HelpCommand, {"/help", "this list"}},
    {"/quit", QuitCommand, {"/quit [reason]", "with a reason: leave the server with it and go back to the dialog"}},
};

void AppendHelpLine(const CommandHelp& help) {
  char text[160];
  std::snprintf(text, sizeof text, "%s - %s", help.usage, help.what);
  ConsoleAppend(text);
}

void HelpCommand(const char*) {
  ConsoleAppend("Commands (Shift+Page Up scrolls back through this list):");
  for (const CommandRow& row : kCommands) AppendHelpLine(row.help);
  for (int i = 0; AddedCommandHelp(i); ++i) AppendHelpLine(*AddedCommandHelp(i));
}

// The first word of a line is the command: "/me" is one, "/meow" another.
bool Matches(const CommandRow& row, const char* line) {
  std::size_t n = std::strlen(row.word);
  return std::strncmp(line, row.word, n) == 0 && (line[n] == ' ' || line[n] == '\0');
}

void UnknownCommand(const char* line) {
  char text[kInputLength + 64];
  std::snprintf(text, sizeof text, "Unknown command: %.*s (/help lists the commands)",
                static_cast<int>(std::strcspn(line, " ")), line);
  ConsoleAppend(text);
}

}  // namespace

void ProcessInputLine(const char* input) {
  if (!input) return;
  // A private bounded copy: every text sent or echoed below fits it.
  char line[kInputLength];
  std::size_t length = strnlen(input, kInputLength - 1);
  std::memcpy(line, input, length);
  line[length] = '\0';

  if (line[0] != '/') {
    if (!CanSay(line)) return;
    if (PrivateTarget()[0]) {  // "/query nick": plain lines go to nick
      SayPrivately(PrivateTarget(), line);
      return;
    }
    EchoOwnMessage(line);
    SayInPieces(Settings.channel, line, false, true);
    return;
  }
  for (const CommandRow& row : kCommands) {
    if (Matches(row, line)) {
      row.run(line);
      return;
    }
  }
  if (RunAddedCommand(line)) return;
  UnknownCommand(line);
}

bool CanSendLine(const char* typed) { return CanSay(typed); }

void ReportLostLink() {
  char text[kSettingLength + 32];
  std::snprintf(text, sizeof text, "Connection to %.63s lost.", Settings.server);
  ConsoleAppend(text);
  DropConnection();
  uint32_t wait = PlanFirstTry(&Reconnect, TickCountMs());
  std::snprintf(text, sizeof text, "Reconnecting in %u s (Escape or /disconnect stops it).",
                static_cast<unsigned>(wait / 1000));
  ConsoleAppend(text);
}

void ReportFailedRegistration(bool closedByServer) {
  char closed[96];
  ClosedByServerReason(Irc.streamLink.tls.wanted, Irc.streamLink.firstBytes,
                       static_cast<std::size_t>(Irc.streamLink.firstByteCount), Settings.port, closed, sizeof closed);
  DropConnection();
  uint32_t next = Reconnect.active ? PlanNextTry(&Reconnect, TickCountMs()) : 0;
  AppendConnectFailure(closedByServer ? closed : "no answer", next);
}

void ReconnectIfDue() {
  if (AppState.connectionState != Offline || !TryIsDue(&Reconnect, TickCountMs())) return;
  const char* reason = "";
  if (StartConnection(&reason)) {
    SendRegistration();  // its "Registering as" line is this try's line
    return;
  }
  if (!reason) return;  // the user is leaving
  AppendConnectFailure(reason, PlanNextTry(&Reconnect, TickCountMs()));
}

void RegistrationSucceeded() { StopPlan(&Reconnect); }
