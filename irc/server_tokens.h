// What the server says of itself in its 005 lines that the client lives by: the nickname rule
// (CASEMAPPING) and the channel status modes with their marks (PREFIX).
#pragma once
#include "irc/irc_message.h"

// Link thread, for every registration line: 001 starts a connection with the defaults
// (rfc1459, "(ov)@+"); 005 tokens replace them.
void NoteServerTokens(const IrcMessage& m);
// The mark of a status mode ('o' -> '@'), or 0 when the mode gives no status.
char StatusMarkOf(char mode);
// A nickname's leading status marks ("@+alice"): how many bytes they take; *mark the first.
int StatusMarksAt(const char* name, char* mark);
// Whether a channel mode takes an argument when set (adding) or unset, as the server's
// CHANMODES and PREFIX say.
bool ModeTakesArgument(char mode, bool adding);
