// What the dispatcher shows beyond the channel events: notices, topics, invitations, the member
// list, server replies and errors, and the replies to the user's own requests.
#pragma once
#include "irc/irc_event.h"
#include "irc/irc_message.h"

// Remembers a nickname the user asked about (/whois) or wrote to (/msg, /notice), so that the
// server's replies about it are shown while the client's own look-ups stay quiet. Link thread.
void NoteUserQuery(const char* nick, bool whois);

// The console line for a line the channel events do not cover: EventText with the line in
// message, or EventNone. Receive thread.
int ShowServerLine(const IrcMessage& m, char* message);
// A MODE line: a channel's change as EventModeChange (nick: who made it; message: the channel,
// the modes and their arguments, "#room +o alice"), so that the channel's log keeps it; a
// user's own modes in words as EventText. Link thread.
int ShowModeChange(const IrcMessage& m, char* nick, char* message);
// One names reply (353) gathered into the channel's member list, which the end of the list (366)
// hands over: EventHandled, or EventMemberList with result 0 when a very long list has to hand a
// part over early.
int GatherNames(const IrcMessage& m, IrcEvent* event);
// The end of the names (366): the list gathered as EventMemberList (channel, "a, b", count), or
// EventNone when none was gathered.
int ShowMemberList(IrcEvent* event);
