// The dispatcher: what a server line means once registration is over.
#pragma once
#include "irc/irc_event.h"
#include "irc/irc_message.h"

// Link thread: keeps the peer table in step with the channel, answers PING, runs the address
// handshake and the member look-ups, and fills event's nick and text for a line to show.
// The event's kind: a shown kind, or EventNone, EventPingAnswered, EventHandled.
int DispatchMessage(const IrcMessage& m, IrcEvent* event);
