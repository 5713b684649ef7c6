// The message dispatcher: classifies each server line, keeps the peer table in step with the
// channel, answers PING and runs the address handshake.
#include <cstdio>
#include <cstring>
#include <mutex>

#include "irc/irc_client.h"
#include "irc/line_parse.h"
#include "irc/peer_reach.h"
#include "irc/receive_thread.h"
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
  std::snprintf(text, sizeof text, "\x01VERSION\x01:%c%s", letter, host);
  Irc.SayTo(target, text);
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
  uint32_t address = 0;
  // An address the peer names is one more place to greet it; the peer's lines may name any
  // address, so they are bounded (presence/peer_links.cpp).
  if (LookUpHost(host, &address) == 1) Irc.peerTable.AddPeerAddress(index, address, true);
  if (StopReceive.load()) return EventNone;  // a lookup was abandoned: the client is leaving
  if (letter == 'Q') SendHostAnswer(sender, 'A', IsSameHouse(index));
  return EventNone;
}

static int HandlePrivmsg(const IrcLineParts& p, char* nick, char* message) {
  int index = Irc.peerTable.FindByNick(p.sender);
  if (!index) return EventNone;
  CopyOut(nick, p.sender);
  if (p.channel[0] == '#') {
    if (std::strncmp(p.params, "\x01" "ACTIO", 6) == 0) {
      const char* action = std::strlen(p.params) > 8 ? p.params + 8 : "";
      CopyOut(message, action);
      message[std::strcspn(message, "\x01")] = '\0';
      return EventAction;
    }
    CopyOut(message, p.params);
    return EventChannelMessage;
  }
  if (std::strncmp(p.params, "\x01VERSION\x01", 9) == 0) {
    nick[0] = '\0';
    return HandleHandshake(index, p.sender, p.params);
  }
  CopyOut(message, p.params);
  return EventPrivateMessage;
}

static int HandleKick(const IrcLineParts& p, char* nick, char* message) {
  Hold hold(ClientLock());  // look-ups and removal as one step
  if (!Irc.peerTable.FindByNick(p.sender)) return EventNone;
  char kicked[kIrcLineLength];
  CopyWord(p.params, " :", kicked, sizeof kicked);
  if (!Irc.peerTable.FindByNick(kicked)) return EventNone;
  CopyOut(nick, p.sender);
  CopyOut(message, kicked);
  Irc.peerTable.RemovePeer(kicked);
  return EventKick;
}

static int HandleNick(const IrcLineParts& p, char* nick, char* message) {
  Hold hold(ClientLock());
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
    if (*bare) Irc.peerTable.AddPeer(bare);
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
  uint32_t address = 0;
  int result = LookUpHost(host, &address);
  if (StopReceive.load()) return EventNone;  // a lookup was abandoned: the client is leaving
  if (result == 1) Irc.peerTable.AddPeerAddress(index, address);
  if (IsOwnPublicHost(host, result == 1 ? address : 0)) AskSameHouse(index, target);
  if (result == 1) return EventHandled;
  if (!IsSameHouse(index)) SendHostAnswer(target, 'Q', false);  // ask the peer itself
  return EventNone;
}

static int DispatchLine(char* nick, char* message) {
  char reply[kIrcLineLength];
  if (BuildPingReply(ReceiveBuffer, reply, sizeof reply)) {
    Irc.streamLink.Send(reply);
    return EventPingAnswered;
  }
  static thread_local IrcLineParts p;  // 10 KB: kept off the receive thread's stack
  ParseIrcLine(ReceiveBuffer, &p);
  const char* c = p.command;
  if (std::strcmp(c, "PRIVMSG") == 0) return HandlePrivmsg(p, nick, message);
  if (std::strcmp(c, "QUIT") == 0 || std::strcmp(c, "PART") == 0) {
    CopyOut(nick, p.sender);
    CopyOut(message, p.params);
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
  if (std::strcmp(c, "KICK") == 0) return HandleKick(p, nick, message);
  if (std::strcmp(c, "NICK") == 0) return HandleNick(p, nick, message);
  if (std::strcmp(c, "353") == 0) return HandleNames(p);
  if (std::strcmp(c, "311") == 0) return HandleWhoisUser(p);
  return EventNone;
}

int IrcClient::Dispatch(char* nick, char* message, uint8_t fromThread) {
  nick[0] = '\0';
  message[0] = '\0';
  peerTable.ReceiveDatagram();
  if (fromThread) {
    ReceiveBuffer[kIrcLineLength - 1] = '\0';
    return DispatchLine(nick, message);
  }
  if (!LinePending.load()) return EventNone;
  int code = PendingCode;
  CopyOut(nick, PendingNick);
  CopyOut(message, PendingMessage);
  LinePending.store(0);
  return code;
}
