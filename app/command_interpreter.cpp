// Runs a confirmed input line: chat to the channel, or one of the "/" commands.
#include "app/command_interpreter.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "app/input_text.h"
#include "app/reconnect_plan.h"
#include "app/tls_port_hint.h"
#include "core/app_state.h"
#include "console/chat_log.h"
#include "console/console_log.h"
#include "console/presence_notice.h"
#include "console/settings.h"
#include "irc/irc_client.h"
#include "irc/words/connection_lines.h"
#include "platform/ticks.h"
#include "scene/scene.h"

void (*RoomEntered)() = nullptr;

namespace {

constexpr int kInputLength = kLongestInputLine + 1;  // a line, terminating zero included
constexpr uint32_t kRegistrationWaitMs = 15000;  // "/server" gives up after this

// The connection under way, as the window's thread follows it between the link's events.
struct ConnectionProgress {
  bool serverChange = false;  // "/server": no "Registering as" line, no channel joined, a bound
  uint32_t startedAt = 0;     // when "/server" began waiting
};
ConnectionProgress Progress;

// Settings fields are read with a precision of 63 so that a field that lost its
// terminating zero can never be read past its end.
void AppendConnecting() {
  char text[kConsoleLineLength];
  FormatConnecting(Settings.server, Settings.port, text, sizeof text);
  ConsoleAppend(text);
}

void AppendRegistering() {
  // Four 63-character fields exceed a console line; ConsoleAppend carries the rest over.
  char text[kSettingLength * 4 + 32];
  FormatRegistering(Settings.nickname, Settings.realName, Settings.userName, Settings.server, text, sizeof text);
  ConsoleAppend(text);
}

// One line per failed attempt; while tries go on it says when the next one comes.
void AppendConnectFailure(const char* reason, uint32_t nextTryMs) {
  char text[kSettingLength + 160];
  FormatConnectFailure(Settings.server, Settings.port, reason, nextTryMs, text, sizeof text);
  ConsoleAppend(text);
}

// The next try after a failed one, when tries go on; 0 when they do not.
uint32_t NextTryWait() { return Reconnect.active ? PlanNextTry(&Reconnect, TickCountMs()) : 0; }

// Both links open and the link thread connecting (the client is then Connecting), or why not
// (it stays Offline).
bool StartConnection(const char** reason) {
  if (Settings.port < 1 || Settings.port > 65535) {
    *reason = "no such port";
    return false;
  }
  if (Irc.Init() != 1) {
    *reason = "no socket";
    return false;
  }
  if (ConnectWithSettings() != 1) {
    *reason = "no socket";
    Irc.Cleanup();
    return false;
  }
  AppState.connectionState = Connecting;
  return true;
}

// A connect by hand, or a planned try: its failure line says when the next try comes.
void BeginConnection() {
  const char* reason = "";
  if (!StartConnection(&reason)) AppendConnectFailure(reason, NextTryWait());
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
  Progress = ConnectionProgress();
  AppendConnecting();
  BeginConnection();
}

// Leaves the server at once, without the console lines of "/disconnect".
void DropConnection() {
  Irc.Disconnect("Quit");
  Irc.Cleanup();
  AppState.connectionState = Offline;
  CloseChatLogs();
  Progress = ConnectionProgress();
}

void DisconnectSequence() {
  if (AppState.connectionState == Offline) {
    if (Reconnect.active) ConsoleAppend(kStoppedReconnectingLine);
    StopPlan(&Reconnect);
    return;
  }
  bool retrying = Reconnect.active;  // a try was connecting or registering
  StopPlan(&Reconnect);
  ConsoleAppend(kDisconnectingLine);
  DropConnection();
  ConsoleAppend(kDisconnectedLine);
  if (retrying) ConsoleAppend(kStoppedReconnectingLine);
}

// "/server" that did not register: said, and the client leaves the server.
void GiveUpServerChange() {
  char text[kSettingLength + 64];
  FormatGaveUpWaiting(Settings.server, text, sizeof text);
  ConsoleAppend(text);
  DisconnectSequence();
}

// The old connection's socket cannot be connected a second time, so the links are closed and
// opened again (Cleanup, Init) before the new Connect. The main loop's passes follow the new
// connection's events; the window stays alive meanwhile.
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
  Progress.serverChange = true;
  Progress.startedAt = TickCountMs();
  AppState.connectionState = Connecting;
  if (Irc.Init() != 1 || ConnectWithSettings() != 1) GiveUpServerChange();
}

// Chat goes out only in a channel; anything else would be echoed as said and lost.
bool CanSay(const char* line) {
  if (AppState.connectionState == InChannel) return true;
  char text[kInputLength + 48];
  bool underWay = AppState.connectionState == Registering || AppState.connectionState == Connecting;
  std::snprintf(text, sizeof text, "Not sent (%s): %s", underWay ? "still connecting" : "not connected", line);
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
  if (RoomEntered) RoomEntered();
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

// The keys of the view that no command does, after the commands in "/help".
const CommandHelp kViewKeys[] = {
    {"Keys while walking", "cursor keys walk and turn, Page Up/Down look, a drag on the view looks around"},
    {"Home (walking)", "level the view"},
    {"Escape twice (walking)", "leave the room and go back to the dialog"},
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
  for (const CommandHelp& keys : kViewKeys) AppendHelpLine(keys);
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
  char text[kSettingLength + 64];
  FormatLinkLost(Settings.server, text, sizeof text);
  ConsoleAppend(text);
  DropConnection();
  FormatReconnecting(PlanFirstTry(&Reconnect, TickCountMs()), text, sizeof text);
  ConsoleAppend(text);
}

void ReportFailedRegistration(bool closedByServer) {
  char closed[96];
  ClosedByServerReason(Irc.streamLink.tls.wanted, Irc.streamLink.firstBytes,
                       static_cast<std::size_t>(Irc.streamLink.firstByteCount), Settings.port, closed, sizeof closed);
  DropConnection();
  AppendConnectFailure(closedByServer ? closed : "no answer", NextTryWait());
}

void ReconnectIfDue() {
  if (AppState.connectionState != Offline || !TryIsDue(&Reconnect, TickCountMs())) return;
  BeginConnection();  // a try that connects says so with its "Registering as" line
}

void WatchConnection() {
  if (AppState.connectionState == Offline) {
    ReconnectIfDue();
  } else if (Progress.serverChange && AppState.connectionState != InChannel &&
             static_cast<uint32_t>(TickCountMs() - Progress.startedAt) >= kRegistrationWaitMs) {
    GiveUpServerChange();
  }
}

void ConnectFinished(int result) {
  if (AppState.connectionState != Connecting) return;
  // The first connect ever says what presence tells the others, and how to keep it private.
  if (result == 1 && !Settings.noPresence && TakePresenceNotice()) ConsoleAppend(kPresenceNoticeLine);
  if (result == 1 && Progress.serverChange) {
    Irc.SetNick(Settings.nickname);
    Irc.SendUser(Settings.userName, Settings.hostName, Settings.realName);
    AppState.connectionState = Registering;
    return;
  }
  if (result == 1) {
    SendRegistration();  // its "Registering as" line is also a planned try's line
    return;
  }
  if (TlsRefusalRetried(result)) return;  // the user trusts the certificate: connecting again
  LinkFailure failure = Irc.streamLink.failure;
  if (Progress.serverChange) {
    GiveUpServerChange();
    return;
  }
  Irc.Cleanup();  // nothing was sent: no QUIT to give
  AppState.connectionState = Offline;
  Progress = ConnectionProgress();
  // A failed TLS step by hand has said why already.
  if (failure == LinkFailTls && !Reconnect.active) return;
  AppendConnectFailure(LinkFailureText(failure), NextTryWait());
}

void RegistrationFinished(const char* lastLine) {
  if (AppState.connectionState != Registering) return;
  if (lastLine && lastLine[0]) ConsoleAppend(lastLine);
  StopPlan(&Reconnect);
  if (Progress.serverChange) {  // no channel is joined until "/join"
    Progress = ConnectionProgress();
    AppState.connectionState = InChannel;
    return;
  }
  ConsoleAppend(kConnectedLine);
  char text[kSettingLength + 32];
  FormatJoining(Settings.channel, text, sizeof text);
  ConsoleAppend(text);
  Irc.Join(Settings.channel);
  if (RoomEntered) RoomEntered();
  AppState.connectionState = InChannel;
}

void LinkEnded(bool closedByServer) {
  if (AppState.connectionState == InChannel) {
    ReportLostLink();
  } else if (Progress.serverChange) {
    GiveUpServerChange();
  } else if (AppState.connectionState == Registering) {
    ReportFailedRegistration(closedByServer);
  }
}
