// Runs a typed line: chat to the channel, or one of the "/" commands; and the connection's life.
#pragma once

void ProcessInputLine(const char* line);

// Set by the shell: called while "/server" waits for the new registration, so
// that window events keep being handled (and frames drawn) during the wait.
extern void (*RegistrationWaitPump)();

// The connection between typed commands, for the main loop (main thread):
// in a channel, the link ended: says so, goes Offline and plans the tries to reconnect.
void ReportLostLink();
// Registering, and the link ended first: says why; the next try is planned if tries go on.
void ReportFailedRegistration(bool closedByServer);
// Offline with a try due: one try (connect and register), or its failure line.
void ReconnectIfDue();
// The registration completed: no more tries.
void RegistrationSucceeded();

// Set by the shell: asks the user a yes/no question in a message box (true: yes). Null: no.
extern bool (*AskYesNo)(const char* caption, const char* text);

// The commands added to the classic set ("/nick", "/topic", "/names", "/whois", "/notice"):
// the command word in any case, followed by a blank or the end. False: not one of them.
bool RunAddedCommand(const char* line);
// The usage of the added command at index ("/nick name"), as "/help" lists it; null past the end.
const char* AddedCommandUsage(int index);
// Irc.Connect with the TLS and login settings; a certificate that failed its check is reported
// and, if the user trusts it, the connection is tried again at once. Irc.Connect's result.
int ConnectWithSettings();
