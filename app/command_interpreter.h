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
