// What the link thread hands the window's thread: one record per server line worth showing or
// per change of the link's state, in the order they happened.
#pragma once
#include "irc/irc_limits.h"
#include "platform/tls.h"

// The kinds of events. The numbers of the chat and membership kinds are those the dispatcher
// always used; the link's own kinds follow them.
enum IrcEventKind {
  EventNone = 0, EventChannelMessage = 1, EventAction = 2, EventPrivateMessage = 3,
  EventJoin = 4, EventPart = 5, EventQuit = 6, EventNickChange = 9, EventKick = 10,
  EventModeChange = 11,
  EventJoined = 12,      // the user is in channel now
  EventLeft = 13,        // the user left channel (a part, or a kick: text says how)
  EventJoinRefused = 14, // the server refused to let the user into channel: text says why
  EventMemberList = 15,  // channel's members as a list "a, b, c" in text; result: their count,
                         // 0 for a part of a list too long for one event (the rest follows)
  EventNotice = 16,      // nick's notice text, to channel ("": to the user)
  EventText = 20,        // text holds a whole console line: server text, a notice, a topic, a reason
  EventPresenceText = 21,  // the same, about the presence links and the router
  EventConnected = 30,   // the connect (and the TLS handshake) ended: result says how
  EventRegistered = 31,  // the first PING was answered or the message of the day ended; text: its line
  EventLinkEnded = 32,   // the server closed the link (result LinkClosedByServer) or went silent
  EventPingAnswered = 101, EventHandled = 102,  // nothing to hand over
};

// How the link went, with EventConnected and EventLinkEnded: what the window says about it.
struct LinkReport {
  int failure;                    // a LinkFailure: why the connect failed
  bool tls;                       // the connection was to speak TLS
  int tlsResult;                  // the TLS step's result (kStreamTlsFailed ...), 0 none
  TlsCertificateCheck check;      // what the handshake found
  unsigned char firstBytes[2];    // what a plain connection read first (a TLS port's record?)
  int firstByteCount;
};

constexpr int kEventChannelLength = 128;

struct IrcEvent {
  int kind;
  int result;                  // EventConnected: the connect's result; EventLinkEnded: a LinkEnd
  char channel[kEventChannelLength];  // the channel, or the private partner, it belongs to ("": none)
  char nick[kIrcLineLength];   // who did it (chat and membership kinds)
  char text[kIrcLineLength];   // what was said, the new name, the kicked user, the reason, a line
  LinkReport report;           // EventConnected, EventLinkEnded
};

// Kinds that are handed to the window's thread.
inline bool IsShownKind(int kind) {
  return kind != EventNone && kind != EventPingAnswered && kind != EventHandled;
}
