// Splitting a server line into prefix, command and parameters, and recognising PING and MOTD end.
#pragma once
#include <cstddef>
#include "irc/irc_client.h"

struct IrcLineParts {
  char senderHost[kIrcLineLength];  // the first word, the prefix with its ':' when there is one
  char command[kIrcLineLength];
  char channel[kIrcLineLength];     // first parameter unless the parameters begin with ':'
  char sender[kIrcLineLength];      // nickname of a user prefix; empty for a server prefix
  char params[kIrcLineLength];      // the rest, without a leading ':' and without the line end
};

void ParseIrcLine(const char* line, IrcLineParts* parts);

// Copies the word at text (leading separators skipped) into out; returns the position just
// after the word (at its ending separator or the end). Never writes more than size bytes.
const char* CopyWord(const char* text, const char* separators, char* out, std::size_t size);

// A PING from the server in any form ("PING :x", "PING x", "PING", ":srv PING :x"):
// fills reply with "PONG" and the same argument and line end, and returns true.
bool BuildPingReply(const char* line, char* reply, std::size_t size);

// True for the end of the message of the day: 376 or 422 in the command position.
bool IsEndOfMotd(const char* line);
