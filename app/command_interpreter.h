// Runs a typed line: chat to the channel, or one of the "/" commands.
#pragma once

void ProcessInputLine(const char* line);

// Set by the shell: called while "/server" waits for the new registration, so
// that window events keep being handled (and frames drawn) during the wait.
extern void (*RegistrationWaitPump)();
