// What the link thread hands the window's thread: one record per server line worth showing or
// per change of the link's state, in the order they happened.
#pragma once
#include "irc/irc_client.h"

// The kinds of events. The numbers of the chat and membership kinds are those the dispatcher
// always used; the link's own kinds follow them.
enum IrcEventKind {
  EventNone = 0, EventChannelMessage = 1, EventAction = 2, EventPrivateMessage = 3,
  EventJoin = 4, EventPart = 5, EventQuit = 6, EventNickChange = 9, EventKick = 10,
  EventModeChange = 11,
  EventText = 20,        // text holds a whole console line: server text, a notice, a topic, a reason
  EventConnected = 30,   // the connect (and the TLS handshake) ended: result says how
  EventRegistered = 31,  // the first PING was answered or the message of the day ended; text: its line
  EventLinkEnded = 32,   // the server closed the link (result LinkClosedByServer) or went silent
  EventPingAnswered = 101, EventHandled = 102,  // nothing to hand over
};

struct IrcEvent {
  int kind;
  int result;                  // EventConnected: the connect's result; EventLinkEnded: a LinkEnd
  char nick[kIrcLineLength];   // who did it (chat and membership kinds)
  char text[kIrcLineLength];   // what was said, the new name, the kicked user, the reason, a line
};

// Kinds that are handed to the window's thread.
inline bool IsShownKind(int kind) {
  return kind != EventNone && kind != EventPingAnswered && kind != EventHandled;
}
