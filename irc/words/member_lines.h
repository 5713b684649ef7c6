// The console's words for the channel's comings and goings: joins, parts, quits, kicks and
// new nicknames, the user's own among them.
#pragma once
#include <cstddef>

// The line for EventJoin, EventPart, EventQuit, EventNickChange or EventKick (nick did it; text
// holds the reason, the new name or the kicked user); false for other kinds.
bool FormatMemberLine(int kind, const char* nick, const char* text, char* out, std::size_t size);
// The user was kicked: by whom, why (may be empty), and how to go back.
void FormatOwnKick(const char* channel, const char* by, const char* reason, char* out, std::size_t size);
// Someone else was kicked with a reason.
void FormatKickWithReason(const char* kicked, const char* by, const char* reason, char* out, std::size_t size);
// The server took the user's new nickname.
void FormatOwnNickChange(const char* nick, char* out, std::size_t size);
