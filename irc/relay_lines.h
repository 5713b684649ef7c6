// Moves through the IRC server for members without a direct link: the VERSION question that
// finds out who takes them, the QIVRA-MOVE lines sent and taken, the servers' target limit.
#pragma once
#include "irc/irc_message.h"
#include <cstdint>

#include "core/player_pose.h"

// Our answer to VERSION carries this word (irc/ctcp.cpp): a client that shows it takes moves
// relayed through the server.
extern const char kRelayWord[];
constexpr int kRelayReserveLines = 2;  // relay lines leave this many lines of the burst to chat

// Reads QIVRA_NO_LINK_MS (the test seam for the 30 s before "No direct link") into the table.
void ReadRelaySeams();
// Server lines during registration: 001 starts the sending side afresh with one target a
// line, 005 may allow more (TARGMAX's PRIVMSG, else MAXTARGETS).
void NoteTargetLimit(const IrcMessage& m);
int RelayTargetLimit();
// Main thread, every pass: our pose as it stands (the key flags come from the peer table).
void NoteOwnPose(const PlayerPose& pose);
// Main thread, every pass in a channel (from ServicePresence): questions, starting and stopping
// the relay, the moves due, and the console line about members shown through the server.
void ServiceRelay(uint32_t nowMs);

// Receive thread. The text of a private message: true when it is a move (taken or dropped:
// never shown).
bool TakeRelayMove(const char* sender, const char* text);
// A NOTICE's text: true when it answers our own VERSION question (taken, not shown).
bool TakeRelayVersionReply(const char* sender, const char* text);
// A private message's text: true for a bare VERSION request from a member we have had no direct
// link with for at least half the "No direct link" time (answered as ever, but not shown: it
// is the other side's question for the relay).
bool IsQuietVersionRequest(const char* sender, const char* text);
// The text of a VERSION reply ("\x01VERSION QIVRA 1.0, ..., relay/1\x01"): true when it names
// the relay word.
bool IsRelayVersionReply(const char* text);
