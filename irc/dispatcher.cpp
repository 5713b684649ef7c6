// The message dispatcher: classifies each server line, keeps the peer table in step with the
// channel, answers PING and runs the address handshake; other lines become readable text.
#include <cstdio>
#include <cstring>
#include <mutex>

#include "irc/chat_text.h"
#include "irc/ctcp.h"
#include "irc/irc_client.h"
#include "irc/irc_message.h"
#include "irc/line_parse.h"
#include "irc/peer_reach.h"
#include "irc/receive_thread.h"
#include "irc/registration.h"
#include "platform/net.h"
#include "presence/datagram_intake.h"
#include "presence/host_lookup.h"

using Hold = std::lock_guard<std::recursive_mutex>;

static void CopyOut(char* out, const char* text) {
  std::size_t n = strnlen(text, kIrcLineLength - 1);
  std::memcpy(out, text, n);
  out[n] = '\0';
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
  SendLookupLine("PRIVMSG %s :%s", target, text);  // waits behind typed chat
  // A client from before IPv6 cannot use an IPv6 address: a second line names an IPv4 one.
  if (local || !ReachableIPv4Text(target, host, sizeof host)) return;
  FormatInto(text, sizeof text, "\x01VERSION\x01:%c%s", letter, host);
  SendLookupLine("PRIVMSG %s :%s", target, text);
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

// A "\x01VERSION\x01:Q<host>" or ":A<host>" private message from a known peer.
static int HandleHandshake(int index, const char* sender, const char* params) {
  char text[kIrcLineLength];
  CopyOut(text, params + 1);  // without the leading \x01
  text[std::strcspn(text, "\r\n")] = '\0';
  // The letter follows \x01 VERSION \x01 and one more character (normally ':').
  char letter = std::strlen(text) > 9 ? text[9] : '\0';
  const char* host = letter ? text + 10 : "";
  HostAddresses found = {};
  // An address the peer names is one more place to greet it; the peer's lines may name any
  // address, so they are bounded (presence/peer_links.cpp).
  if (LookUpHost(host, &found) == 1) Irc.peerTable.AddPeerAddresses(index, found, true);
  if (StopReceive.load()) return EventNone;  // a lookup was abandoned: the client is leaving
  if (letter == 'Q') SendHostAnswer(sender, 'A', IsSameHouse(index));
  return EventNone;
}

// The address handshake between QIVRA clients: a private "\x01VERSION\x01" with more after it.
// A bare "\x01VERSION\x01" is an ordinary client's version request.
static bool IsHandshake(const IrcLineParts& p) {
  return p.channel[0] != '#' && std::strncmp(p.params, "\x01VERSION\x01", 9) == 0 && p.params[9] != '\0';
}

// Messages from anyone are shown, from inside the channel or not; the handshake only with peers.
static int HandlePrivmsg(const IrcLineParts& p, char* nick, char* message) {
  int index = Irc.peerTable.FindByNick(p.sender);
  if (IsHandshake(p)) return index ? HandleHandshake(index, p.sender, p.params) : EventNone;
  if (!p.sender[0]) return EventNone;  // a server's message: nobody to show it from
  CopyOut(nick, p.sender);
  bool toChannel = p.channel[0] == '#';
  if (toChannel && std::strncmp(p.params, "\x01" "ACTIO", 6) == 0) {
    const char* action = std::strlen(p.params) > 8 ? p.params + 8 : "";
    CopyOut(message, action);
    message[std::strcspn(message, "\x01")] = '\0';
    return EventAction;
  }
  if (p.params[0] == '\x01') {  // a client-to-client request: answered, shown in words
    nick[0] = '\0';
    HandleCtcp(p.sender, p.params, false, message, kIrcLineLength);
    return EventText;
  }
  CopyOut(message, p.params);
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
    FormatInto(message, kIrcLineLength,
                  "You were kicked from %s by %s%s%s%s; you are in no channel now (/join %s to go back)",
                  channel, m.source, reason[0] ? " (" : "", reason, reason[0] ? ")" : "", channel);
    return EventText;
  }
  if (!Irc.peerTable.FindByNick(kicked)) return EventNone;
  Irc.peerTable.RemovePeer(kicked);
  if (reason[0]) {
    FormatInto(message, kIrcLineLength, "%s was kicked by %s (%s)", kicked, m.source, reason);
    return EventText;
  }
  CopyOut(nick, m.source);
  CopyOut(message, kicked);
  return EventKick;
}

static int HandleNick(const IrcLineParts& p, char* nick, char* message) {
  Hold hold(ClientLock());
  if (SameName(p.sender, Irc.peerTable.self.nick)) {  // the server took the user's new name
    CopyOut(Irc.peerTable.self.nick, p.params);
    FormatInto(message, kIrcLineLength, "You are now known as %s", p.params);
    return EventText;
  }
  int index = Irc.peerTable.FindByNick(p.sender);
  if (!index) return EventNone;
  CopyOut(nick, p.sender);
  CopyOut(message, p.params);
  CopyOut(Irc.peerTable.slots[index].nick, p.params);
  return EventNickChange;
}

// «= #channel :name @name +name»: every name is entered; runs of spaces add nothing.
static int HandleNames(const IrcLineParts& p) {
  const char* colon = std::strchr(p.params, ':');
  if (!colon) return EventHandled;
  const char* walk = colon + 1;
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

// «<nick> <user> <host> * :<full name>»: the peer's host as the server sees it.
static int HandleWhoisUser(const IrcLineParts& p) {
  char target[kIrcLineLength], user[kIrcLineLength], host[kIrcLineLength];
  const char* walk = CopyWord(p.params, " ", target, sizeof target);
  walk = CopyWord(walk, " ", user, sizeof user);
  CopyWord(walk, " ", host, sizeof host);
  int index = Irc.peerTable.FindByNick(target);
  if (!index) return EventNone;
  HostAddresses found = {};
  int result = LookUpHost(host, &found);
  if (StopReceive.load()) return EventNone;  // a lookup was abandoned: the client is leaving
  if (result == 1) Irc.peerTable.AddPeerAddresses(index, found);
  if (IsOwnPublicHost(host, found)) AskSameHouse(index, target);
  if (result == 1) return EventHandled;
  if (!IsSameHouse(index)) SendHostAnswer(target, 'Q', false);  // ask the peer itself
  return EventNone;
}

// The members looked up by the WHO after the own JOIN: set at the end of the names, cleared
// by each one's WHO line; whoever the WHO leaves out is asked with WHOIS at its end.
static uint8_t awaitingWho[kPeerSlots];

// «<me> #channel :End of NAMES list»: after the own JOIN, one WHO finds every member named.
static int HandleEndOfNames(const IrcLineParts& p) {
  uint8_t expected = 1;
  if (!HostsByWho.compare_exchange_strong(expected, 0)) return EventNone;
  char channel[kIrcLineLength];
  CopyWord(p.params, " ", channel, sizeof channel);
  {
    Hold hold(ClientLock());
    for (int i = 1; i < kPeerSlots; ++i) awaitingWho[i] = Irc.peerTable.IsKnown(i) ? 1 : 0;
  }
  SendLookupLine("WHO %s", channel);
  return EventHandled;
}

// «#channel <user> <host> <server> <nick> <flags> :<hops> <full name>»: the same host a WHOIS
// user reply gives, so it is taken the same way.
static int HandleWhoReply(const IrcLineParts& p) {
  char channel[kIrcLineLength], user[kIrcLineLength], host[kIrcLineLength], server[kIrcLineLength];
  static thread_local IrcLineParts whois;  // 10 KB: kept off the receive thread's stack
  const char* walk = CopyWord(p.params, " ", channel, sizeof channel);
  walk = CopyWord(walk, " ", user, sizeof user);
  walk = CopyWord(walk, " ", host, sizeof host);
  walk = CopyWord(walk, " ", server, sizeof server);
  CopyWord(walk, " ", whois.sender, sizeof whois.sender);
  int index = Irc.peerTable.FindByNick(whois.sender);
  if (!index) return EventNone;
  awaitingWho[index] = 0;
  // Three words of one line: cut only if that line was cut already.
  if (std::snprintf(whois.params, sizeof whois.params, "%s %s %s", whois.sender, user, host) < 0)
    return EventNone;
  return HandleWhoisUser(whois);
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

static int DispatchLine(char* nick, char* message) {
  char reply[kIrcLineLength];
  if (BuildPingReply(ReceiveBuffer, reply, sizeof reply)) {
    Irc.streamLink.Send(reply);
    return EventPingAnswered;
  }
  static thread_local IrcLineParts p;  // 10 KB: kept off the receive thread's stack
  static thread_local IrcMessage m;
  ParseIrcLine(ReceiveBuffer, &p);
  ParseIrcMessage(ReceiveBuffer, &m);
  const char* c = p.command;
  if (std::strcmp(c, "PRIVMSG") == 0) return HandlePrivmsg(p, nick, message);
  if (std::strcmp(c, "QUIT") == 0 || std::strcmp(c, "PART") == 0) {
    CopyOut(nick, p.sender);
    CopyOut(message, Param(m, c[0] == 'Q' ? 0 : 1));  // the reason; empty without one
    Irc.peerTable.RemovePeer(p.sender);
    return c[0] == 'Q' ? EventQuit : EventPart;
  }
  if (std::strcmp(c, "JOIN") == 0) {
    if (!Irc.peerTable.AddPeer(p.sender)) return EventNone;
    CopyOut(nick, p.sender);
    CopyOut(message, p.params);
    return EventJoin;
  }
  if (std::strcmp(c, "MODE") == 0) {
    CopyOut(message, p.params);
    return EventModeChange;
  }
  if (std::strcmp(c, "KICK") == 0) return HandleKick(m, nick, message);
  if (std::strcmp(c, "NICK") == 0) return HandleNick(p, nick, message);
  if (std::strcmp(c, "353") == 0) {
    HandleNames(p);
    return GatherNames(m, message);
  }
  if (std::strcmp(c, "311") == 0) {
    int code = HandleWhoisUser(p);
    int shown = ShowServerLine(m, message);  // only for a WHOIS the user asked for
    return shown == EventNone ? code : shown;
  }
  if (std::strcmp(c, "366") == 0) HandleEndOfNames(p);  // then the names are shown
  if (std::strcmp(c, "352") == 0) return HandleWhoReply(p);
  if (std::strcmp(c, "315") == 0) return HandleEndOfWho();
  return ShowServerLine(m, message);
}

int IrcClient::Dispatch(char* nick, char* message, uint8_t fromThread) {
  nick[0] = '\0';
  message[0] = '\0';
  TakeWaitingDatagrams(peerTable);  // all that wait, within a bound: one per call fell behind
  if (fromThread) {
    ReceiveBuffer[kIrcLineLength - 1] = '\0';
    return DispatchLine(nick, message);
  }
  SyncOwnNickname();  // a nickname change the receive thread saw reaches the echoes
  int code = EventNone;
  if (!TakePendingLine(&code, nick, message)) return EventNone;
  return code;
}
