// The address handshake of the QIVRA version before this one, ":Q"/":A" private messages, kept for
// members that run it, and the members' hosts as the server shows them, resolved and greeted.
// An address of ours goes only to a member that has shown that it runs QIVRA (its own ":Q" or
// ":A", or any other sign: irc/discovery_lines.cpp); newer members get it in their details.
#include "irc/handshake.h"

#include <cstring>

#include "core/irc_case.h"
#include "irc/irc_client.h"
#include "irc/irc_event.h"
#include "irc/irc_message.h"
#include "irc/peer_reach.h"
#include "platform/ticks.h"
#include "presence/host_resolver.h"

static void CopyOut(char* out, const char* text) {
  std::size_t n = strnlen(text, kIrcLineLength - 1);
  std::memcpy(out, text, n);
  out[n] = '\0';
}

static void SendQuestionTo(const char* target, const char* text) {
  SendLookupLine("PRIVMSG %s :%s", target, text);
}
static void SendAnswerTo(const char* target, const char* text) {
  SendAnswerLine("PRIVMSG %s :%s", target, text);
}

// "\x01VERSION\x01:Q" or ":A" and an address of ours: the local one for a member behind our
// own router (the router does not pass datagrams back in to its own network), else the one
// peers anywhere can reach.
static void SendHostAnswer(const char* target, char letter, bool local) {
  char host[256];  // a dotted address or a host name
  if (local) {
    LocalAddressText(host, sizeof host);
  } else {
    ReachableAddressText(host, sizeof host);
  }
  char text[kIrcLineLength];
  FormatInto(text, sizeof text, "\x01VERSION\x01:%c%s", letter, host);
  // A question is a lookup of a member; an answer waits behind every lookup, so that no
  // member's questions can hold up those of members who just came.
  void (*send)(const char* target, const char* text) = letter == 'Q' ? SendQuestionTo : SendAnswerTo;
  send(target, text);
  // A client from before IPv6 cannot use an IPv6 address: a second line names an IPv4 one.
  if (local || !ReachableIPv4Text(target, host, sizeof host)) return;
  FormatInto(text, sizeof text, "\x01VERSION\x01:%c%s", letter, host);
  send(target, text);
}

static bool IsSameHouse(int index) {
  return Irc.peerTable.links[index].sameHouse != 0;
}

// A member whose host is our own public address sits behind our router: it is told our local
// address (once), so that each side greets the other there as well; an older one in a ":Q",
// a newer one in our details, but only once it has shown that it runs QIVRA.
static void TellSameHouse(int index, const char* nick) {
  PeerLink& link = Irc.peerTable.links[index];
  link.sameHouse = 1;
  if (!link.discovery.shown) return;
  if (link.discovery.speaks) {
    OweDetailsAgain(&link.discovery, TickCountMs());
    return;
  }
  if (link.askedLocal) return;
  link.askedLocal = 1;
  SendHostAnswer(nick, 'Q', true);
}

// A member's ":Q" is answered at most once a kAnswerAgainMs; the questions between are
// ignored, so one member cannot fill the queue of outgoing lines.
static bool MayAnswer(int index) {
  PeerLink& link = Irc.peerTable.links[index];
  const uint32_t now = TickCountMs();
  if (link.answered && static_cast<uint32_t>(now - link.answeredMs) < kAnswerAgainMs) return false;
  link.answered = 1;
  link.answeredMs = now;
  return true;
}

// The member whose host was looked up is still the one in its slot.
static bool StillMember(const ResolvedHost& r) {
  return Irc.peerTable.IsKnown(r.index) && SameIrcName(Irc.peerTable.slots[r.index].nick, r.nick);
}

static void MemberHostResolved(const ResolvedHost& r);

// A "\x01VERSION\x01:Q<host>" or ":A<host>" private message from a known peer.
int HandleHandshake(int index, const char* sender, const char* params) {
  char text[kIrcLineLength];
  CopyOut(text, params + 1);  // without the leading \x01
  text[std::strcspn(text, "\r\n")] = '\0';
  // The letter follows \x01 VERSION \x01 and one more character (normally ':').
  char letter = std::strlen(text) > 9 ? text[9] : '\0';
  const char* host = letter ? text + 10 : "";
  // Only a QIVRA client sends these: the member may be told our addresses from now on.
  if (Irc.peerTable.ShowQivra(index, SignAddressLine, false) && IsSameHouse(index)) TellSameHouse(index, sender);
  if (letter == 'Q' && !MayAnswer(index)) return EventNone;
  if (letter == 'Q') SendHostAnswer(sender, 'A', IsSameHouse(index));
  // An address the peer names is one more place to greet it; the peer's lines may name any
  // address, so they are bounded (presence/peer_links.cpp).
  ResolveMemberHost(index, sender, host, HostFromPeer, MemberHostResolved);
  return EventNone;
}

// The address handshake between QIVRA clients: a private "\x01VERSION\x01" with more after it.
// A bare "\x01VERSION\x01" is an ordinary client's version request.
bool IsHandshake(const char* target, const char* text) {
  return target[0] != '#' && std::strncmp(text, "\x01VERSION\x01", 9) == 0 && text[9] != '\0';
}


// A looked-up host, on the link thread: a member's own message names one more address; the
// server's host is greeted (as far as MayGreet allows) or tells of a housemate.
static void MemberHostResolved(const ResolvedHost& r) {
  if (!StillMember(r)) return;  // left, or another member took the slot meanwhile
  if (r.origin == HostFromPeer) {
    if (r.found) Irc.peerTable.AddPeerAddresses(r.index, r.addresses, true);
    return;
  }
  if (r.found) Irc.peerTable.AddPeerAddresses(r.index, r.addresses);
  if (IsOwnPublicHost(r.host, r.addresses)) TellSameHouse(r.index, r.nick);
  // A host that does not resolve (a cloak) is not asked about: a member that runs QIVRA tells
  // its addresses itself, and nobody else hears a word of ours.
}

void TakeNamedHost(int index, const char* nick, const char* host) {
  ResolveMemberHost(index, nick, host, HostFromPeer, MemberHostResolved);
}

// A member's host as the server sees it (a WHOIS or WHO reply, a JOIN's prefix): resolved off
// this thread when it is a name.
int TakeMemberHost(const char* target, const char* host) {
  int index = Irc.peerTable.FindByNick(target);
  if (!index || Irc.presenceOff) return EventNone;  // "PRESENCE off": nobody is greeted
  ResolveMemberHost(index, target, host, HostFromServer, MemberHostResolved);
  return EventHandled;
}

