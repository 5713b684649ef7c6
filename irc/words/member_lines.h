// The console's words for the channel's comings and goings: joins, parts, quits, kicks and
// new nicknames, the user's own among them.
#pragma once
#include <cstddef>

// The line for EventJoin, EventPart, EventQuit, EventNickChange, EventKick or EventModeChange
// (nick did it; text holds the reason, the new name, the kicked user, or the channel with the
// modes and their arguments: "#room +o alice"); false for other kinds.
bool FormatMemberLine(int kind, const char* nick, const char* text, char* out, std::size_t size);
// "bob sets mode +o alice", or "bob sets mode +m on #room" for modes without arguments.
void FormatChannelMode(const char* nick, const char* channel, const char* modes, const char* arguments, char* out,
                       std::size_t size);
// The user was kicked: by whom, why (may be empty), and how to go back.
void FormatOwnKick(const char* channel, const char* by, const char* reason, char* out, std::size_t size);
// Someone else was kicked with a reason.
void FormatKickWithReason(const char* kicked, const char* by, const char* reason, char* out, std::size_t size);
// The server took the user's new nickname.
void FormatOwnNickChange(const char* nick, char* out, std::size_t size);
