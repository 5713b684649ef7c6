// The console's words for the channels' comings and goings: joins, parts, quits, kicks, new
// nicknames, member lists, the user's own joins and leaves, and joins refused.
#pragma once
#include <cstddef>

// The line for EventJoin, EventPart, EventQuit, EventNickChange, EventKick or EventModeChange
// (nick did it; text holds the reason, the new name, the kicked user, or the channel with the
// modes and their arguments: "#room +o alice"), EventJoined, EventLeft (nick: who made the user
// leave, result 1 for a kick; text: the reason), EventJoinRefused (text: why) and
// EventMemberList (text: the names; result: their count, 0 for a part of the list); false for
// other kinds.
bool FormatMemberLine(int kind, const char* channel, const char* nick, const char* text, int result, char* out,
                      std::size_t size);
// "bob sets mode +o alice", or "bob sets mode +m on #room" for modes without arguments.
void FormatChannelMode(const char* nick, const char* channel, const char* modes, const char* arguments, char* out,
                       std::size_t size);
// Someone else was kicked with a reason.
void FormatKickWithReason(const char* kicked, const char* by, const char* reason, char* out, std::size_t size);
// The server took the user's new nickname.
void FormatOwnNickChange(const char* nick, char* out, std::size_t size);
