// Numeric replies whose words need more than a fill-in form: counts read out of the text,
// the server's limits out of its feature list, durations and moments in local time.
#pragma once
#include <cstddef>
#include "irc/irc_message.h"

// The words (without "-server- ") for 005, 265, 266, 317 and 338 into out; false for any
// other line. 005 lines that name none of the limits a user cares about give "" and true.
bool FormatCountedReply(const IrcMessage& m, char* out, std::size_t size);
// "2 hours 5 minutes", "6 seconds": a span of seconds in words, at most its two largest units.
void FormatDuration(long long seconds, char* out, std::size_t size);
