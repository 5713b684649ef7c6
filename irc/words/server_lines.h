// Server text as a user reads it: replies and notices without prefix, numeric and own nickname,
// and error replies in plain words that say what to do.
#pragma once
#include <cstddef>
#include "irc/irc_message.h"

// Where a message of the day shown before would end again (irc/motd_rule.h).
constexpr const char* kMotdAsBeforeLine = "-server- (message of the day as before; /motd shows it)";

// "-server- " and the text of a numeric reply, a server notice, ERROR or any other server line:
// the target of a reply (the own nickname, or "*" before it is known) is left out.
void FormatServerText(const IrcMessage& m, char* out, std::size_t size);
// Plain words for an error reply the user can act on (432, 433, 461, 471 ...); false for others.
bool ExplainErrorReply(const IrcMessage& m, char* out, std::size_t size);
// What is shown for a server line while registering: an error in plain words, a user's notice
// as "-nick- text", else the server text.
void FormatRegistrationText(const IrcMessage& m, char* out, std::size_t size);
