// A server line split by the protocol's rules: source, command and every parameter.
#pragma once
#include <cstddef>
#include "irc/irc_client.h"

constexpr int kIrcMaxParams = 15;

struct IrcMessage {
  char words[kIrcLineLength];  // the line cut into NUL-terminated pieces; the fields point here
  char source[kIrcLineLength]; // a user's nickname, or a server's name; empty without a prefix
  bool fromUser;               // the prefix named a user (nick!user@host), not a server
  const char* host;            // the host of a user's prefix after '@'; "" when it names none
  const char* command;
  int count;
  const char* params[kIrcMaxParams];  // middle parameters, then the trailing one (after ':')
  bool trailing;               // the last parameter came after ':' (it may hold blanks)
};

// Splits line (its line end, if any, is dropped). Never reads or writes past the buffers.
void ParseIrcMessage(const char* line, IrcMessage* m);
// Each server line is split once, by the link thread, into this record; everything after
// works on the record.
// Parameter i, or "" when the line has fewer.
const char* Param(const IrcMessage& m, int i);
// True for a three-digit command: a numeric reply.
bool IsNumeric(const IrcMessage& m);
int NumericOf(const IrcMessage& m);  // 0 when not numeric
// A bounded printf into out, cut to size - 1 bytes (cutting is intended: lines are shown, not
// parsed again).
void FormatInto(char* out, std::size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));
// Copies the word at text (leading separators skipped) into out; returns the position just
// after the word (at its ending separator or the end). Never writes more than size bytes.
const char* CopyWord(const char* text, const char* separators, char* out, std::size_t size);

// A PING from the server (with or without a prefix and a ':'): fills reply with the PONG that
// gives back the same parameters, line end included, and returns true.
bool BuildPingReply(const IrcMessage& m, char* reply, std::size_t size);
// True for the end of the message of the day: 376 or 422.
bool IsEndOfMotd(const IrcMessage& m);
