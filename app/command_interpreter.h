// Runs a typed line: chat to the channel, or one of the "/" commands; and the connection's life.
#pragma once

void ProcessInputLine(const char* line);

// The connection between typed commands, for the main loop (window's thread). A connect
// started by "/connect", "/server" or a planned try goes on in the link thread; its events
// (app/link_events.cpp) come back here.
// In a channel, the link ended: says so, goes Offline and plans the tries to reconnect.
void ReportLostLink();
// Registering, and the link ended first: says why; the next try is planned if tries go on.
void ReportFailedRegistration(bool closedByServer);
// Offline with a try due: starts one try (its failure line if it cannot even start).
void ReconnectIfDue();
// Every pass: a try that is due, a "/server" that waited fifteen seconds in vain.
void WatchConnection();
// EventConnected: the link is up (registration is sent) or why not (said, Offline).
void ConnectFinished(int result);
// EventRegistered: lastLine (the greeting's end, may be empty) shown, "Connected." and the
// channel joined ("/server": no channel); no more tries.
void RegistrationFinished(const char* lastLine);
// EventLinkEnded: lost in a channel, or a registration that failed.
void LinkEnded(bool closedByServer);

// Set by the shell: asks the user a yes/no question in a message box (true: yes). Null: no.
extern bool (*AskYesNo)(const char* caption, const char* text);

// A command's line in "/help": its usage ("/kick nick [reason]") and what it does.
struct CommandHelp {
  const char* usage;
  const char* what;
};

// The commands added to the classic set ("/nick", "/kick", "/query" ...): the command word in
// any case, followed by a blank or the end. False: not one of them.
bool RunAddedCommand(const char* line);
// The added command at index as "/help" lists it; null past the end.
const CommandHelp* AddedCommandHelp(int index);

// Chat goes out only in a channel: otherwise says "Not sent (not connected): <typed>" (or
// "still connecting") and gives false.
bool CanSendLine(const char* typed);
// Where plain lines go: the nickname "/query nick" named, or "" for the channel. The input
// line can show it as a label ("[-> nick]").
const char* PrivateTarget();
// "/part [reason]" and "/quit [reason]" with the text after the command word.
void PartWithReason(const char* rest, const char* typed);
void QuitWithReason(const char* rest);

// Set by the shell: ends the run of frames as Escape does, after "/quit reason" has left the
// server. Null: the run goes on.
extern void (*LeaveRoom)();
// Set by the shell: a JOIN went out, so the user enters a room (where to stand is the window's
// to choose). Null: nothing.
extern void (*RoomEntered)();
// Irc.Connect with the TLS and login settings: 1 when the link thread is connecting.
int ConnectWithSettings();
// A connect's failed result: a failed TLS step is reported; a certificate that failed its check
// is offered to the user and, if trusted, the connection is started again at once (true).
bool TlsRefusalRetried(int result);
