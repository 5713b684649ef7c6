// The message of the day shows once per run of the program and again whenever the user asks
// for it: every reconnect brings the same text, which would push the console's last lines away.
#pragma once
#include <cstddef>
#include "irc/irc_message.h"

// 375, 372, 376 or 422: a line of the message of the day, or the server's word that it has none.
bool IsMotdLine(const IrcMessage& m);
// Link thread, for any server line, in registration or after it. False for a line that is no
// part of the message of the day, or one that shows as it is. True for a line of one already
// shown and not asked for: text then holds what shows instead, nothing ("") or, for its end
// (376), a short note that /motd shows it.
bool HideRepeatedMotd(const IrcMessage& m, char* text, std::size_t size);
// "/motd" (window's thread): the next message of the day shows whole, whenever it comes.
void AskForMotd();
// The next message of the day counts as the run's first (for tests, which share one run).
void ForgetMotdShown();
