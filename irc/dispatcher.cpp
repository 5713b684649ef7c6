// The message dispatcher: classifies each server line, keeps the peer table in step with the
// channel, answers PING and runs the address handshake; other lines become readable text.
#include "irc/dispatcher.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "core/ignore_list.h"
#include "irc/words/reply_lines.h"
#include "irc/words/ctcp_lines.h"
#include "irc/words/member_lines.h"
#include "irc/irc_client.h"
#include "irc/peer_reach.h"
#include "irc/receive_thread.h"
#include "irc/relay_lines.h"
#include "irc/registration.h"
#include "platform/net.h"
#include "platform/ticks.h"
#include "presence/host_resolver.h"

using Hold = std::lock_guard<std::recursive_mutex>;

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
  Hold hold(ClientLock());
  return Irc.peerTable.links[index].sameHouse != 0;
}

// A member whose host is our own public address sits behind our router: tell it our local
// address (once), so that each side greets the other there as well.
static void AskSameHouse(int index, const char* nick) {
  {
    Hold hold(ClientLock());
    PeerLink& link = Irc.peerTable.links[index];
    link.sameHouse = 1;
    if (link.askedLocal) return;
    link.askedLocal = 1;
  }
  SendHostAnswer(nick, 'Q', true);
}

// A member's ":Q" is answered at most once a kAnswerAgainMs; the questions between are
// ignored, so one member cannot fill the queue of outgoing lines.
static bool MayAnswer(int index) {
  Hold hold(ClientLock());
  PeerLink& link = Irc.peerTable.links[index];
  const uint32_t now = TickCountMs();
  if (link.answered && static_cast<uint32_t>(now - link.answeredMs) < kAnswerAgainMs) return false;
  link.answered = 1;
  link.answeredMs = now;
  return true;
}

// The member whose host was looked up is still the one in its slot.
static bool StillMember(const ResolvedHost& r) {
  Hold hold(ClientLock());
  return Irc.peerTable.IsKnown(r.index) && std::strcmp(Irc.peerTable.slots[r.index].nick, r.nick) == 0;
}

static void MemberHostResolved(const ResolvedHost& r);

// A "\x01VERSION\x01:Q<host>" or ":A<host>" private message from a known peer.
static int HandleHandshake(int index, const char* sender, const char* params) {
  char text[kIrcLineLength];
  CopyOut(text, params + 1);  // without the leading \x01
  text[std::strcspn(text, "\r\n")] = '\0';
  // The letter follows \x01 VERSION \x01 and one more character (normally ':').
  char letter = std::strlen(text) > 9 ? text[9] : '\0';
  const char* host = letter ? text + 10 : "";
  if (letter == 'Q' && !MayAnswer(index)) return EventNone;
  if (letter == 'Q') SendHostAnswer(sender, 'A', IsSameHouse(index));
  // An address the peer names is one more place to greet it; the peer's lines may name any
  // address, so they are bounded (presence/peer_links.cpp).
  ResolveMemberHost(index, sender, host, HostFromPeer, MemberHostResolved);
  return EventNone;
}

// The address handshake between QIVRA clients: a private "\x01VERSION\x01" with more after it.
// A bare "\x01VERSION\x01" is an ordinary client's version request.
static bool IsHandshake(const char* target, const char* text) {
  return target[0] != '#' && std::strncmp(text, "\x01VERSION\x01", 9) == 0 && text[9] != '\0';
}

// The nickname of a user's prefix; "" for a server's.
static const char* SenderOf(const IrcMessage& m) { return m.fromUser ? m.source : ""; }

// Messages from anyone are shown, from inside the channel or not; the handshake only with peers.
static int HandlePrivmsg(const IrcMessage& m, char* nick, char* message) {
  const char* sender = SenderOf(m);
  const char* target = Param(m, 0);
  const char* text = Param(m, 1);
  int index = Irc.peerTable.FindByNick(sender);
  if (IsHandshake(target, text)) {
    // Only with members of the channel, and never with "PRESENCE off".
    return index && !Irc.presenceOff ? HandleHandshake(index, sender, text) : EventNone;
  }
  if (target[0] != '#' && TakeRelayMove(sender, text)) return EventNone;
  if (!sender[0]) return EventNone;  // a server's message: nobody to show it from
  if (IsNickIgnored(sender)) return EventNone;  // "/ignore": neither shown nor answered
  CopyOut(nick, sender);
  bool toChannel = target[0] == '#';
  if (toChannel && std::strncmp(text, "\x01" "ACTIO", 6) == 0) {
    const char* action = std::strlen(text) > 8 ? text + 8 : "";
    CopyOut(message, action);
    message[std::strcspn(message, "\x01")] = '\0';
    return EventAction;
  }
  if (text[0] == '\x01') {  // a client-to-client request: answered, shown in words
    nick[0] = '\0';
    HandleCtcp(sender, text, false, message, kIrcLineLength);
    return IsQuietVersionRequest(sender, text) ? EventNone : EventText;
  }
  CopyOut(message, text);
  return toChannel ? EventChannelMessage : EventPrivateMessage;
}

// The kicked user leaves the table whoever kicked (a service need not be in the channel); the
// user's own kick ends the channel. A reason shows in parentheses.
static int HandleKick(const IrcMessage& m, char* nick, char* message) {
  const char* channel = Param(m, 0);
  const char* kicked = Param(m, 1);
  const char* reason = Param(m, 2);
  Hold hold(ClientLock());  // look-ups and removal as one step
  if (SameName(kicked, Irc.peerTable.self.nick)) {
    Irc.peerTable.Clear();
    FormatOwnKick(channel, m.source, reason, message, kIrcLineLength);
    return EventText;
  }
  if (!Irc.peerTable.FindByNick(kicked)) return EventNone;
  Irc.peerTable.RemovePeer(kicked);
  if (reason[0]) {
    FormatKickWithReason(kicked, m.source, reason, message, kIrcLineLength);
    return EventText;
  }
  CopyOut(nick, m.source);
  CopyOut(message, kicked);
  return EventKick;
}

static int HandleNick(const IrcMessage& m, char* nick, char* message) {
  const char* sender = SenderOf(m);
  const char* name = Param(m, 0);
  Hold hold(ClientLock());
  if (SameName(sender, Irc.peerTable.self.nick)) {  // the server took the user's new name
    CopyOut(Irc.peerTable.self.nick, name);
    FormatOwnNickChange(name, message, kIrcLineLength);
    return EventText;
  }
  int index = Irc.peerTable.FindByNick(sender);
  if (!index) return EventNone;
  CopyOut(nick, sender);
  CopyOut(message, name);
  CopyOut(Irc.peerTable.slots[index].nick, name);
  return EventNickChange;
}

// «<me> = #channel :name @name +name»: every name is entered; runs of spaces add nothing.
static int HandleNames(const IrcMessage& m) {
  if (m.count < 4) return EventHandled;  // no names after the channel
  const char* walk = Param(m, m.count - 1);
  char name[kIrcLineLength];
  for (;;) {
    walk = CopyWord(walk, " ", name, sizeof name);
    if (!name[0]) break;
    // Channel status marks (operator, voice and the like) are not part of the nickname.
    const char* bare = name + std::strspn(name, "@+%&~");
    if (*bare && !Irc.peerTable.FindByNick(bare)) Irc.peerTable.AddPeer(bare);  // "/names" again
  }
  return EventHandled;
}

// A looked-up host, on the link thread: a member's own message names one more address; the
// server's host is greeted, tells a housemate, or else the member is asked itself.
static void MemberHostResolved(const ResolvedHost& r) {
  if (!StillMember(r)) return;  // left, or another member took the slot meanwhile
  if (r.origin == HostFromPeer) {
    if (r.found) Irc.peerTable.AddPeerAddresses(r.index, r.addresses, true);
    return;
  }
  if (r.found) Irc.peerTable.AddPeerAddresses(r.index, r.addresses);
  if (IsOwnPublicHost(r.host, r.addresses)) AskSameHouse(r.index, r.nick);
  if (!r.found && !IsSameHouse(r.index)) SendHostAnswer(r.nick, 'Q', false);  // ask the peer itself
}

// A member's host as the server sees it (a WHOIS or WHO reply, a JOIN's prefix): resolved off
// this thread when it is a name.
static int TakeMemberHost(const char* target, const char* host) {
  int index = Irc.peerTable.FindByNick(target);
  if (!index || Irc.presenceOff) return EventNone;  // "PRESENCE off": nobody is greeted
  ResolveMemberHost(index, target, host, HostFromServer, MemberHostResolved);
  return EventHandled;
}

// The members looked up by the WHO after the own JOIN: set at the end of the names, cleared
// by each one's WHO line; whoever the WHO leaves out is asked with WHOIS at its end.
static uint8_t awaitingWho[kPeerSlots];

// «<me> #channel :End of NAMES list»: after the own JOIN, one WHO finds every member named.
static int HandleEndOfNames(const IrcMessage& m) {
  uint8_t expected = 1;
  if (!HostsByWho.compare_exchange_strong(expected, 0)) return EventNone;
  if (Irc.presenceOff) return EventHandled;  // nobody is looked up
  {
    Hold hold(ClientLock());
    for (int i = 1; i < kPeerSlots; ++i) awaitingWho[i] = Irc.peerTable.IsKnown(i) ? 1 : 0;
  }
  SendLookupLine("WHO %s", Param(m, 1));
  return EventHandled;
}

// «<me> #channel <user> <host> <server> <nick> <flags> :<hops> <full name>»: the same host a
// WHOIS user reply gives, so it is taken the same way.
static int HandleWhoReply(const IrcMessage& m) {
  const char* nick = Param(m, 5);
  int index = Irc.peerTable.FindByNick(nick);
  if (!index) return EventNone;
  awaitingWho[index] = 0;
  return TakeMemberHost(nick, Param(m, 3));
}

// End of the WHO: members it did not name (a server may leave some out) get a WHOIS each.
static int HandleEndOfWho() {
  char nick[kIrcLineLength];
  for (int i = 1; i < kPeerSlots; ++i) {
    if (!awaitingWho[i]) continue;
    awaitingWho[i] = 0;
    if (Irc.peerTable.GetNick(i, nick) == 1) SendLookupLine("WHOIS %s", nick);
  }
  return EventHandled;
}

int DispatchMessage(const IrcMessage& m, IrcEvent* event) {
  char* nick = event->nick;
  char* message = event->text;
  nick[0] = '\0';
  message[0] = '\0';
  char reply[kIrcLineLength];
  if (BuildPingReply(m, reply, sizeof reply)) {
    Irc.streamLink.Send(reply);  // this is the thread that sends; the pace is not for answers
    return EventPingAnswered;
  }
  const char* c = m.command;
  const char* sender = SenderOf(m);
  if (std::strcmp(c, "PRIVMSG") == 0) return HandlePrivmsg(m, nick, message);
  if (std::strcmp(c, "QUIT") == 0 || std::strcmp(c, "PART") == 0) {
    CopyOut(nick, sender);
    CopyOut(message, Param(m, c[0] == 'Q' ? 0 : 1));  // the reason; empty without one
    Irc.peerTable.RemovePeer(sender);
    return c[0] == 'Q' ? EventQuit : EventPart;
  }
  if (std::strcmp(c, "JOIN") == 0) {
    // The JOIN names the joiner's host: no WHOIS is needed (nor anything with "PRESENCE off").
    bool hostGiven = m.host[0] != '\0';
    int index = Irc.peerTable.AddPeer(sender, !hostGiven);
    if (!index) return EventNone;
    if (hostGiven) TakeMemberHost(sender, m.host);
    CopyOut(nick, sender);
    CopyOut(message, Param(m, 0));
    return EventJoin;
  }
  if (std::strcmp(c, "NOTICE") == 0 && TakeRelayVersionReply(SenderOf(m), Param(m, 1))) return EventNone;
  if (std::strcmp(c, "KICK") == 0) return HandleKick(m, nick, message);
  if (std::strcmp(c, "NICK") == 0) return HandleNick(m, nick, message);
  if (std::strcmp(c, "353") == 0) {
    HandleNames(m);
    return GatherNames(m, message);
  }
  if (std::strcmp(c, "311") == 0) {
    int code = TakeMemberHost(Param(m, 1), Param(m, 3));
    int shown = ShowServerLine(m, message);  // only for a WHOIS the user asked for
    return shown == EventNone ? code : shown;
  }
  if (std::strcmp(c, "366") == 0) HandleEndOfNames(m);  // then the names are shown
  if (std::strcmp(c, "352") == 0) return HandleWhoReply(m);
  if (std::strcmp(c, "315") == 0) return HandleEndOfWho();
  if (std::strcmp(c, "MODE") == 0) return ShowModeChange(m, nick, message);  // a channel's: for its log
  return ShowServerLine(m, message);
}
