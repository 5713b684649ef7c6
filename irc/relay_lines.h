// Moves through the IRC server for members without a direct link: the VERSION question that
// finds out who takes them, the QIVRA-MOVE lines sent and taken, the servers' target limit.
#pragma once
#include "irc/irc_message.h"
#include <cstdint>

#include "core/player_pose.h"

// Our answer to VERSION still ends with this word, for members of the version before this one:
// they relay to a client whose VERSION reply names it.
extern const char kRelayWord[];
// Who takes relayed moves is asked in a CTCP of our own, "\x01QIVRA\x01"; the answer
// "\x01QIVRA <tokens>\x01" names what the client does ("relay": it takes moves; "rooms": its
// positions name their room).
extern const char kQivraRequest[];
extern const char kQivraTokens[];
constexpr int kRelayReserveLines = 2;  // relay lines leave this many lines of the burst to chat

// Reads QIVRA_NO_LINK_MS (the test seam for the 30 s before "No direct link") into the table.
void ReadRelaySeams();
// Server lines during registration: 001 starts the sending side afresh with one target a
// line, 005 may allow more (TARGMAX's PRIVMSG, else MAXTARGETS).
void NoteTargetLimit(const IrcMessage& m);
int RelayTargetLimit();
// Link thread, each turn: our pose as it stands (the key flags come from the peer table).
void NoteOwnPose(const PlayerPose& pose);
// Link thread, each turn in a channel (from ServicePresence): questions, starting and stopping
// the relay, the moves due, and the console line about members shown through the server.
void ServiceRelay(uint32_t nowMs);

// Receive thread. The text of a private message: true when it is a move (taken or dropped:
// never shown).
bool TakeRelayMove(const char* sender, const char* text);
// A NOTICE's text: true for a QIVRA answer (taken, never shown); the relay starts when it
// answers our own question with the "relay" token.
bool TakeRelayVersionReply(const char* sender, const char* text);
// A private message's text: true for a QIVRA request, and for a bare VERSION request from a
// member we have had no direct link with for at least half the "No direct link" time (an older
// QIVRA's question for the relay): answered, not shown.
bool IsQuietVersionRequest(const char* sender, const char* text);
// Whether a CTCP text ("\x01QIVRA relay rooms\x01") names token among its words.
bool NamesToken(const char* text, const char* token);
