// Runs a typed line: chat to the channel, or one of the "/" commands.
#pragma once

void ProcessInputLine(const char* line);

// Set by the shell: called while "/server" waits for the new registration, so
// that window events keep being handled (and frames drawn) during the wait.
extern void (*RegistrationWaitPump)();

// Set by the shell: asks the user a yes/no question in a message box (true: yes). Null: no.
extern bool (*AskYesNo)(const char* caption, const char* text);

// The commands added to the classic set ("/nick", "/topic", "/names", "/whois", "/notice"):
// the command word in any case, followed by a blank or the end. False: not one of them.
bool RunAddedCommand(const char* line);
// Irc.Connect with the TLS and login settings; a certificate that failed its check is reported
// and, if the user trusts it, the connection is tried again at once. Irc.Connect's result.
int ConnectWithSettings();
