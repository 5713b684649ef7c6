// Moves through the IRC server for members without a direct link: the QIVRA-MOVE lines sent and
// taken (who takes them is known from the details members trade, irc/discovery_lines.h).
#pragma once
#include "irc/irc_message.h"
#include <cstdint>

#include "core/player_pose.h"

// Our answer to VERSION still ends with this word, for members of the version before this one:
// they relay to a client whose VERSION reply names it ("PRESENCE off" leaves it out).
extern const char kRelayWord[];
constexpr int kRelayReserveLines = 2;  // relay lines leave this many lines of the burst to chat

// A new connection: nothing relayed yet, and QIVRA_NO_LINK_MS (the test seam for the 30 s
// before "No direct link") read into the table.
void ReadRelaySeams();
// Link thread, each turn: our pose as it stands (the key flags come from the peer table).
void NoteOwnPose(const PlayerPose& pose);
// Link thread, each turn in a channel (from ServicePresence): starting and stopping the relay,
// the moves due, and the console line about members shown through the server.
void ServiceRelay(uint32_t nowMs);

// Link thread. The text of a private message: true when it is a move (taken or dropped:
// never shown).
bool TakeRelayMove(const char* sender, const char* text);
// A private message's text: true for a bare VERSION request from a member we have had no
// direct link with for at least half the "No direct link" time (an older QIVRA's question for
// the relay): answered, not shown.
bool IsQuietVersionRequest(const char* sender, const char* text);
