// The channels' comings and goings on the link thread: what JOIN, PART, QUIT, KICK, NICK, the
// names, WHO and MODE lines do to the rooms and the peer table, and the events they make. Each
// event carries its channel; a quit or a new nickname makes one for every channel shared.
#pragma once
#include "irc/irc_event.h"
#include "irc/irc_message.h"

int HandleJoin(const IrcMessage& m, IrcEvent* event);
int HandlePart(const IrcMessage& m, IrcEvent* event);
int HandleQuit(const IrcMessage& m, IrcEvent* event);
int HandleKick(const IrcMessage& m, IrcEvent* event);
int HandleNick(const IrcMessage& m, IrcEvent* event);
// 353: every name enters the table as a member of the channel, with its status mark.
void TakeNames(const IrcMessage& m);
// 366: after the own JOIN, one WHO looks every member up.
void EndOfNames(const IrcMessage& m);
// 352: a member's host, its away flag and status mark; 315: whoever the WHO left out gets a WHOIS.
int HandleWhoReply(const IrcMessage& m);
int HandleEndOfWho(const IrcMessage& m);
// MODE on a channel: status marks given and taken.
void TakeModeChange(const IrcMessage& m);
// A join the server refused (full, invite only, banned, wrong key, no such channel, too many):
// EventJoinRefused with the channel and its explanation in text, else EventNone.
int RefusedJoin(const IrcMessage& m, const char* explanation, IrcEvent* event);
// The names of some channel are still being read: its members are found by one WHO at the end.
bool NamesPending();
// A new connection: nothing pending.
void ForgetMembership();
