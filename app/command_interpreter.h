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

// The commands added to the classic set ("/nick", "/topic", "/names", "/whois", "/notice"):
// the command word in any case, followed by a blank or the end. False: not one of them.
bool RunAddedCommand(const char* line);
// The usage of the added command at index ("/nick name"), as "/help" lists it; null past the end.
const char* AddedCommandUsage(int index);
// Irc.Connect with the TLS and login settings: 1 when the link thread is connecting.
int ConnectWithSettings();
// A connect's failed result: a failed TLS step is reported; a certificate that failed its check
// is offered to the user and, if trusted, the connection is started again at once (true).
bool TlsRefusalRetried(int result);
