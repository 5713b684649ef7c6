// Runs a confirmed input line: chat to the channel, or one of the "/" commands.
#include "app/command_interpreter.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "app/command_table.h"
#include "app/commands.h"
#include "app/conversations.h"
#include "app/input_text.h"
#include "app/reconnect_plan.h"
#include "app/shell.h"
#include "app/tls_port_hint.h"
#include "core/app_state.h"
#include "core/irc_case.h"
#include "console/chat_log.h"
#include "console/console_log.h"
#include "console/presence_notice.h"
#include "console/settings.h"
#include "irc/chat_commands.h"
#include "irc/link_results.h"
#include "irc/session.h"
#include "irc/words/connection_lines.h"
#include "platform/ticks.h"
#include "scene/scene.h"


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
  if (ConnectWithSettings() != 1) {
    *reason = "no socket";
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
  SessionRegister(Settings.nickname, Settings.userName, Settings.server, Settings.realName);
  AppState.connectionState = Registering;
}

void ConnectSequence() {
  if (AppState.connectionState != Offline) return;
  StopPlan(&Reconnect);  // connecting by hand replaces any planned try
  ForgetRejoins();       // and joins the channels the settings (the dialog) name
  Progress = ConnectionProgress();
  AppendConnecting();
  BeginConnection();
}

// Leaves the server at once, without the console lines of "/disconnect".
void DropConnection() {
  EndSession("Quit");
  LeaveAllChannels();
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
  EndSession("Quit");
  LeaveAllChannels();
  Progress.serverChange = true;
  Progress.startedAt = TickCountMs();
  AppState.connectionState = Connecting;
  if (ConnectWithSettings() != 1) GiveUpServerChange();
}

// Lines go out only once registered; anything else would be echoed as said and lost.
bool CanSay(const char* line) {
  if (AppState.connectionState == InChannel) return true;
  char text[kInputLength + 48];
  bool underWay = AppState.connectionState == Registering || AppState.connectionState == Connecting;
  std::snprintf(text, sizeof text, "Not sent (%s): %s", underWay ? "still connecting" : "not connected", line);
  ConsoleAppend(text);
  return false;
}

// Plain lines and actions go to the active conversation: a channel the user is in, or a private
// partner. A channel left (a part, a kick, a refused join) takes nothing; the console says why.
const Conversation* SayTarget(const char* line) {
  if (!CanSay(line)) return nullptr;
  const Conversation* c = ActiveConversation();
  char text[kInputLength + 2 * kConversationNameLength + 64];
  if (!c) {
    std::snprintf(text, sizeof text, "Not sent (in no channel: /join #channel first): %s", line);
  } else if (c->kind == ChannelConversation && !c->joined) {
    std::snprintf(text, sizeof text, "Not sent: you are not in %s (/join %s to go back): %s", c->name, c->name, line);
  } else {
    return c;
  }
  ConsoleAppend(text);
  return nullptr;
}

// Text longer than one IRC message goes as several, broken at blanks. framed wraps each
// piece as an action.
void SayInPieces(const char* target, const char* text, bool framed) {
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
    SayTo(target, piece);
    done += next;
  } while (done < length);
}

}  // namespace

void ExplodeCommand(const char*, const char*) {
  ConsoleAppend("Test Explosion Spawned");
  SpawnExplosion(0.0f, 0.2f, 0.0f);
}

void ConnectCommand(const char*, const char*) { ConnectSequence(); }
void DisconnectCommand(const char*, const char*) { DisconnectSequence(); }
// "/part" and "/quit" take an optional reason (app/leave_commands.cpp).
void PartCommand(const char* rest, const char* typed) { PartWithReason(rest, typed); }
void QuitCommand(const char* rest, const char*) { QuitWithReason(rest); }

// "/join #a" (or "/j a"): joins (never parts another); a channel the user is in becomes the
// active one.
void JoinCommand(const char* rest, const char* typed) {
  char channel[kConversationNameLength];
  if (std::sscanf(rest, "%127s", channel) != 1) {
    ConsoleAppend("Usage: /join #channel");
    return;
  }
  PrefixChannel(channel, sizeof channel);
  const int known = FindConversation(channel);
  if (known >= 0 && Conversations.list[known].joined) {
    ActivateConversation(known);
    return;
  }
  if (!CanSay(typed)) return;
  std::snprintf(Conversations.activateOnJoin, sizeof Conversations.activateOnJoin, "%s", channel);
  JoinChannel(channel);
}

void ServerCommand(const char* rest, const char*) {
  std::sscanf(rest, "%63s", Settings.server);  // no word: server unchanged
  ServerChangeSequence();
}

namespace {

// The whole text goes to nick, and is shown as sent.
void SayPrivately(const char* nickname, const char* text) {
  char shown[kInputLength + kConversationNameLength + 8];
  std::snprintf(shown, sizeof shown, "-> %.*s: %s", kConversationNameLength, nickname, text);
  AppendOwnToPartner(nickname, shown);
  LogOwnPrivate(nickname, text, false);
  SayInPieces(nickname, text, false);
}

}  // namespace

// "/msg nick text": the whole text after the nickname goes to nick, and is shown.
void MsgCommand(const char* rest, const char* typed) {
  std::size_t nickLength = std::strcspn(rest, " ");
  const char* text = rest + nickLength;
  while (*text == ' ') ++text;
  if (nickLength == 0 || *text == '\0') {
    ConsoleAppend("Usage: /msg nick text");
    return;
  }
  if (!CanSay(typed)) return;
  char nickname[kInputLength];
  std::snprintf(nickname, sizeof nickname, "%.*s", static_cast<int>(nickLength), rest);
  SayPrivately(nickname, text);
}

void MeCommand(const char* rest, const char* typed) {
  if (!*rest) {  // an action needs its text
    ConsoleAppend("Usage: /me text");
    return;
  }
  const Conversation* to = SayTarget(typed);
  if (!to) return;
  EchoOwnAction(to->buffer, to->name, rest);
  SayInPieces(to->name, rest, true);
}

void ProcessInputLine(const char* input) {
  if (!input) return;
  // A private bounded copy: every text sent or echoed below fits it.
  char line[kInputLength];
  std::size_t length = strnlen(input, kInputLength - 1);
  std::memcpy(line, input, length);
  line[length] = '\0';

  if (line[0] != '/') {
    const Conversation* to = SayTarget(line);
    if (!to) return;
    EchoOwnMessage(to->buffer, to->name, line);
    SayInPieces(to->name, line, false);
    return;
  }
  RunCommandLine(line);
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

void ReportFailedRegistration(bool closedByServer, const LinkReport& report) {
  char closed[96];
  ClosedByServerReason(report.tls, report.firstBytes, static_cast<std::size_t>(report.firstByteCount), Settings.port,
                       closed, sizeof closed);
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

void ConnectFinished(int result, const LinkReport& report) {
  if (AppState.connectionState != Connecting) return;
  // The first connect ever says what presence tells the others, and how to keep it private.
  if (result == 1 && !Settings.noPresence && TakePresenceNotice()) ConsoleAppend(kPresenceNoticeLine);
  if (result == 1 && Progress.serverChange) {
    SessionRegister(Settings.nickname, Settings.userName, Settings.hostName, Settings.realName);
    AppState.connectionState = Registering;
    return;
  }
  if (result == 1) {
    SendRegistration();  // its "Registering as" line is also a planned try's line
    return;
  }
  EndSession(nullptr);  // the link thread has ended: nothing was sent, no QUIT to give
  if (TlsRefusalRetried(result, report)) return;  // the user trusts the certificate: connecting again
  LinkFailure failure = static_cast<LinkFailure>(report.failure);
  if (Progress.serverChange) {
    GiveUpServerChange();
    return;
  }
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
  // The channels the user was in before the link was lost, else those of the settings.
  char channels[kConversations * kConversationNameLength];
  RejoinList(channels, sizeof channels);
  if (!channels[0]) std::snprintf(channels, sizeof channels, "%s", Settings.channel);
  char text[sizeof channels + 32];
  FormatJoining(channels, text, sizeof text);
  ConsoleAppend(text);
  JoinChannel(channels);
  AppState.connectionState = InChannel;
}

void LinkEnded(bool closedByServer, const LinkReport& report) {
  if (AppState.connectionState == InChannel) {
    ReportLostLink();
  } else if (Progress.serverChange) {
    GiveUpServerChange();
  } else if (AppState.connectionState == Registering) {
    ReportFailedRegistration(closedByServer, report);
  }
}
