// Membership of the rooms from the server's lines: joins, parts, quits, kicks, new nicknames,
// names, WHO replies and status modes, each made an event of its channel.
#include "irc/membership.h"

#include <cstring>

#include "core/irc_case.h"
#include "irc/discovery_lines.h"
#include "irc/handshake.h"
#include "irc/irc_client.h"
#include "irc/nick_regain.h"
#include "irc/receive_thread.h"
#include "irc/server_tokens.h"
#include "irc/session_turn.h"
#include "irc/words/member_lines.h"

namespace {

// Rooms whose names are being read after the own JOIN, and per slot the rooms whose WHO has
// not named the member yet.
struct MemberLookups {
  uint32_t namesPending;
  uint32_t awaitingWho[kPeerSlots];
};

// The link thread's record of membership: the lookups under way, and the event handed over
// for each room but the last a quit or a new nickname concerns (4 KB: kept off the stack).
struct MembershipRecord {
  MemberLookups lookups;
  IrcEvent extra;
};
MembershipRecord Membership;

void CopyOut(char* out, std::size_t size, const char* text) {
  std::size_t n = strnlen(text, size - 1);
  std::memcpy(out, text, n);
  out[n] = '\0';
}

const char* SenderOf(const IrcMessage& m) { return m.fromUser ? m.source : ""; }

bool IsOwn(const char* nick) { return SameIrcName(nick, Irc.peerTable.self.nick); }

void Fill(IrcEvent* event, int kind, const char* channel, const char* nick, const char* text) {
  event->kind = kind;
  event->result = 0;
  CopyOut(event->channel, sizeof event->channel, channel);
  CopyOut(event->nick, sizeof event->nick, nick);
  CopyOut(event->text, sizeof event->text, text);
}

// One event for each room the member shares with us (a quit, a new nickname); the last one is
// left in event for the caller to hand over. A member outside the table gets one without a channel.
int ForEachSharedRoom(int index, int kind, const char* nick, const char* text, IrcEvent* event) {
  const uint32_t rooms = index ? Irc.peerTable.slots[index].rooms : 0;
  int last = -1;
  for (int8_t r = 0; r < kMaxRooms; ++r)
    if (rooms & RoomBit(r)) last = r;
  for (int8_t r = 0; r < last; ++r) {
    if (!(rooms & RoomBit(r))) continue;
    Fill(&Membership.extra, kind, Irc.peerTable.rooms.Name(r), nick, text);
    HandOverEvent(Membership.extra);
  }
  Fill(event, kind, last >= 0 ? Irc.peerTable.rooms.Name(static_cast<int8_t>(last)) : "", nick, text);
  return kind;
}

int OwnJoin(const char* channel, IrcEvent* event) {
  const int8_t room = Irc.peerTable.rooms.Add(channel);
  Membership.lookups.namesPending |= RoomBit(room);  // the names that follow are looked up by one WHO
  Fill(event, EventJoined, channel, Irc.peerTable.self.nick, "");
  return EventJoined;
}

// The user leaves a room: part (by is the user) or kick (kicked true).
int OwnLeave(const char* channel, const char* by, const char* reason, bool kicked, IrcEvent* event) {
  const int8_t room = Irc.peerTable.rooms.Find(channel);
  Membership.lookups.namesPending &= ~RoomBit(room);
  for (uint32_t& waiting : Membership.lookups.awaitingWho) waiting &= ~RoomBit(room);
  Irc.peerTable.LeaveRoom(room);  // members known in no room go too
  Fill(event, EventLeft, channel, by, reason);
  event->result = kicked ? 1 : 0;
  return EventLeft;
}

void SetStatus(const char* nick, int8_t room, char mark) {
  const int index = Irc.peerTable.FindByNick(nick);
  if (index && room >= 0 && room < kMaxRooms) Irc.peerTable.slots[index].status[room] = mark;
}

}  // namespace

bool NamesPending() { return Membership.lookups.namesPending != 0; }

void ForgetMembership() { std::memset(&Membership.lookups, 0, sizeof Membership.lookups); }

int HandleJoin(const IrcMessage& m, IrcEvent* event) {
  const char* sender = SenderOf(m);
  const char* channel = Param(m, 0);
  if (IsOwn(sender)) return OwnJoin(channel, event);
  // The JOIN names the joiner's host: no WHOIS is needed (nor anything with "PRESENCE off").
  const bool hostGiven = m.host[0] != '\0';
  const int index = Irc.peerTable.AddPeer(sender, !hostGiven, Irc.peerTable.rooms.Find(channel));
  if (index && hostGiven) TakeMemberHost(sender, m.host);
  Fill(event, EventJoin, channel, sender, channel);
  return EventJoin;
}

int HandlePart(const IrcMessage& m, IrcEvent* event) {
  const char* sender = SenderOf(m);
  const char* channel = Param(m, 0);
  const char* reason = Param(m, 1);
  if (IsOwn(sender)) return OwnLeave(channel, sender, reason, false, event);
  Irc.peerTable.RemovePeerFrom(sender, Irc.peerTable.rooms.Find(channel));
  Fill(event, EventPart, channel, sender, reason);
  return EventPart;
}

int HandleQuit(const IrcMessage& m, IrcEvent* event) {
  const char* sender = SenderOf(m);
  const int index = Irc.peerTable.FindByNick(sender);
  int kind = ForEachSharedRoom(index, EventQuit, sender, Param(m, 0), event);
  Irc.peerTable.RemovePeer(sender);
  return kind;
}

// The kicked user leaves the room whoever kicked (a service need not be in the channel); the
// user's own kick ends the room. A reason shows in parentheses.
int HandleKick(const IrcMessage& m, IrcEvent* event) {
  const char* channel = Param(m, 0);
  const char* kicked = Param(m, 1);
  const char* reason = Param(m, 2);
  if (IsOwn(kicked)) return OwnLeave(channel, m.source, reason, true, event);
  Irc.peerTable.RemovePeerFrom(kicked, Irc.peerTable.rooms.Find(channel));
  if (reason[0]) {
    char text[kIrcLineLength];
    FormatKickWithReason(kicked, m.source, reason, text, sizeof text);
    Fill(event, EventText, channel, "", text);
    return EventText;
  }
  Fill(event, EventKick, channel, m.source, kicked);
  return EventKick;
}

int HandleNick(const IrcMessage& m, IrcEvent* event) {
  const char* sender = SenderOf(m);
  const char* name = Param(m, 0);
  if (IsOwn(sender)) {  // the server took the user's new name
    CopyOut(Irc.peerTable.self.nick, kNickLength, name);
    ShowOwnNick(name);
    char text[kIrcLineLength];
    if (!NickRegainedText(name, text, sizeof text)) FormatOwnNickChange(name, text, sizeof text);
    Fill(event, EventText, "", "", text);
    return EventText;
  }
  const int index = Irc.peerTable.FindByNick(sender);
  if (!index) return EventNone;
  const int kind = ForEachSharedRoom(index, EventNickChange, sender, name, event);
  CopyOut(Irc.peerTable.slots[index].nick, kNickLength, name);
  return kind;
}

// «<me> = #channel :name @name +name»: every name is entered; runs of spaces add nothing.
void TakeNames(const IrcMessage& m) {
  if (m.count < 4) return;  // no names after the channel
  const int8_t room = Irc.peerTable.rooms.Find(Param(m, m.count - 2));
  const char* walk = Param(m, m.count - 1);
  char name[kIrcLineLength];
  for (;;) {
    walk = CopyWord(walk, " ", name, sizeof name);
    if (!name[0]) break;
    // Channel status marks (operator, voice and the like) are not part of the nickname.
    char mark = 0;
    const char* bare = name + StatusMarksAt(name, &mark);
    if (!*bare || IsOwn(bare)) continue;
    if (Irc.peerTable.AddPeer(bare, true, room)) SetStatus(bare, room, mark);
  }
}

// «<me> #channel :End of NAMES list»: after the own JOIN, one WHO finds every member named.
void EndOfNames(const IrcMessage& m) {
  const int8_t room = Irc.peerTable.rooms.Find(Param(m, 1));
  if (room == kNoRoom || !(Membership.lookups.namesPending & RoomBit(room))) return;
  Membership.lookups.namesPending &= ~RoomBit(room);
  if (Irc.presenceOff) return;  // nobody is looked up, and QIVRA is not announced
  for (int i = 1; i < kPeerSlots; ++i)
    if (Irc.peerTable.slots[i].known && (Irc.peerTable.slots[i].rooms & RoomBit(room)))
      Membership.lookups.awaitingWho[i] |= RoomBit(room);
  SendLookupLine("WHO %s", Param(m, 1));
  AnnounceInChannel(Param(m, 1));
}

// «<me> #channel <user> <host> <server> <nick> <flags> :<hops> <full name>»: the same host a
// WHOIS user reply gives, so it is taken the same way; the flags say away (G) and the status.
int HandleWhoReply(const IrcMessage& m) {
  const char* nick = Param(m, 5);
  const int index = Irc.peerTable.FindByNick(nick);
  if (!index) return EventNone;
  Membership.lookups.awaitingWho[index] = 0;
  const char* flags = Param(m, 6);
  Irc.peerTable.slots[index].away = flags[0] == 'G' ? 1 : 0;
  char mark = 0;
  StatusMarksAt(flags + (flags[0] ? 1 : 0) + (flags[0] && flags[1] == '*' ? 1 : 0), &mark);
  SetStatus(nick, Irc.peerTable.rooms.Find(Param(m, 1)), mark);
  return TakeMemberHost(nick, Param(m, 3));
}

// End of the WHO of a channel: members it did not name (a server may leave some out) get a
// WHOIS each.
int HandleEndOfWho(const IrcMessage& m) {
  const int8_t room = Irc.peerTable.rooms.Find(Param(m, 1));
  const uint32_t bit = room == kNoRoom ? ~0u : RoomBit(room);
  for (int i = 1; i < kPeerSlots; ++i) {
    if (!(Membership.lookups.awaitingWho[i] & bit)) continue;
    Membership.lookups.awaitingWho[i] = 0;
    if (Irc.peerTable.slots[i].known) SendLookupLine("WHOIS %s", Irc.peerTable.slots[i].nick);
  }
  return EventHandled;
}

// «MODE #channel +ov-v alice bob carol»: each status mode given or taken changes a member's mark
// to the strongest it still has (taken: none is known, so none is shown).
void TakeModeChange(const IrcMessage& m) {
  const int8_t room = Irc.peerTable.rooms.Find(Param(m, 0));
  if (room == kNoRoom) return;
  const char* modes = Param(m, 1);
  int argument = 2;
  bool adding = true;
  for (const char* c = modes; *c; ++c) {
    if (*c == '+' || *c == '-') {
      adding = *c == '+';
      continue;
    }
    if (!ModeTakesArgument(*c, adding)) continue;
    const char* who = Param(m, argument++);
    const char mark = StatusMarkOf(*c);
    if (mark) SetStatus(who, room, adding ? mark : 0);
  }
}

int RefusedJoin(const IrcMessage& m, const char* explanation, IrcEvent* event) {
  switch (NumericOf(m)) {
    case 403: case 405: case 471: case 473: case 474: case 475: case 476: case 477: case 489:
      break;
    default:
      return EventNone;
  }
  Fill(event, EventJoinRefused, Param(m, 1), "", explanation);
  return EventJoinRefused;
}
