// The hello handshake through home routers: addresses to greet, hello rounds, which arriving
// hellos bind or rebind a slot, keep-alives and key blocks, and bounds on IRC-caused hellos.
//
// Why rounds: a hello that reaches the other side's router before that side has sent anything
// is refused there, and it leaves a connection-tracking entry that makes the other side's own
// hello leave with another source port, which our router then refuses too. So each round to an
// address begins with a hello whose IP time-to-live only carries it through our own router
// (it opens our mapping and dies before the other router); the full hellos follow a little
// later, a second apart. Halfway to the first of them a hello that lives one hop longer opens
// the carrier's NAT in front of our router, if there is one; sent any sooner it could reach the
// other side's router before that side's own first hello has opened it. Between rounds the
// peer hears nothing from us for longer than routers keep an unanswered mapping, so any such
// entry from a failed round is gone.
#include <cstdio>
#include <cstring>

#include "core/irc_case.h"
#include "core/looks.h"
#include "platform/net.h"
#include "platform/ticks.h"
#include "presence/datagram_link.h"
#include "presence/host_lookup.h"
#include "presence/peer_table.h"

namespace {

struct RoundPlan {
  uint32_t lengthMs;      // the round's hellos, then quiet until the next round
  uint32_t firstHelloMs;  // after the short-lived hello: time for the peer to send its own
  int hellos;             // full hellos, one a second
};

RoundPlan Plan(int round) {
  if (round <= 1) return {45000, 1000, 10};
  if (round == 2) return {60000, 3000, 4};
  return {60000, 6000, 3};
}

bool Since(uint32_t now, uint32_t then, uint32_t ms) { return static_cast<uint32_t>(now - then) >= ms; }

// "c" or "C" and the nickname, then a zero and the words that tell what this client knows
// (an older client reads the nickname up to the zero and no further). Returns the length.
int FormatHello(char* out, char letter, const char* nick, uint8_t look) {
  char words[sizeof kHelloWords + 16];
  if (look >= 1 && look <= kLookCount) {  // the readers take no other
    std::snprintf(words, sizeof words, "%s look=%d", kHelloWords, look);
  } else {
    std::snprintf(words, sizeof words, "%s", kHelloWords);
  }
  const std::size_t wordsLength = std::strlen(words) + 1;  // its zero included
  std::size_t n = strnlen(nick, kNickLength - 2 - wordsLength);
  out[0] = letter;
  std::memcpy(out + 1, nick, n);
  out[n + 1] = '\0';
  std::memcpy(out + n + 2, words, wordsLength);
  return static_cast<int>(n + 1 + wordsLength);
}

// What the words after a hello's nickname (length bytes in all) say.
struct HelloWordsRead {
  bool rooms;   // its positions name their room
  bool seal;    // it trades details in QIVRA's CTCP and seals
  uint8_t look;
};
HelloWordsRead ReadHelloWords(const char* data, int length) {
  HelloWordsRead read = {};
  std::size_t nick = strnlen(data + 1, static_cast<std::size_t>(length > 1 ? length - 1 : 0));
  for (int at = static_cast<int>(nick) + 2; at < length;) {
    int end = at;
    while (end < length && data[end] != ' ' && data[end] != '\0') ++end;
    const int n = end - at;
    if (n == 5 && std::memcmp(data + at, "rooms", 5) == 0) read.rooms = true;
    if (n == 4 && std::memcmp(data + at, "seal", 4) == 0) read.seal = true;
    if (n == 6 && std::memcmp(data + at, "look=", 5) == 0 && data[at + 5] >= '1' && data[at + 5] <= '8')
      read.look = static_cast<uint8_t>(data[at + 5] - '0');
    at = end + 1;
  }
  return read;
}

// A hello's words into the member's slot, and the sign it is: a hello shows that it runs QIVRA.
void TakeHelloWords(PeerTable& t, int index, const char* data, int length) {
  const HelloWordsRead read = ReadHelloWords(data, length);
  if (read.rooms) t.slots[index].tellsRooms = 1;
  if (read.look) t.slots[index].look = read.look;
  t.ShowQivra(index, SignHello, read.seal, kAnswerSpreadMs);
}

SocketAddress At(const NetAddress& address, uint16_t wirePort) {
  SocketAddress a = {};
  a.port = wirePort;
  a.address = address;
  return a;
}

void SendHello(PeerTable& t, int index, const SocketAddress& to, int ttl) {
  int length = FormatHello(t.line, 'c', t.self.nick, t.ownLook);
  t.SendToMember(index, to, t.line, length, ttl);
}

void SendHelloReply(PeerTable& t, int index, const SocketAddress& to) {
  char reply[kNickLength];
  int length = FormatHello(reply, 'C', t.self.nick, t.ownLook);
  t.SendToMember(index, to, reply, length);
}

void StartRound(PeerLink& link, uint32_t now, int round) {
  link.round = static_cast<uint16_t>(round);
  link.roundMs = now;
  for (LinkAddress& a : link.to) {
    a.lowTtlSent = 0;
    a.hellosSent = 0;
  }
}

bool HasAddress(const PeerLink& link, const NetAddress& address) {
  for (const LinkAddress& a : link.to) {
    if (NetAddressIsSet(a.address) && a.address == address) return true;
  }
  return false;
}

// The key flags 0 to 8 (every movement key) as a key block "k", to one peer; every key let go
// for a peer that does not see our moves (an older client in a room we do not stand in).
void SendKeyBlock(PeerTable& t, int index, uint32_t now) {
  const bool sees = t.SeesOurMoves(index);
  t.line[0] = 'k';
  t.line[1] = 9;
  for (int k = 0; k < 9; ++k) t.line[2 + k] = static_cast<char>(sees ? t.self.keys[k] : 0);
  t.SendToMember(index, t.slots[index].address, t.line, 11);
  t.links[index].sentMs = now;
  t.links[index].keyBlockMs = now;
}

// A peer that has just been bound learns at once where we stand and what we hold, and the
// datagram shows it that we hear it. A line being typed meanwhile is told too: the mark goes
// out only when it changes, so one who links after the first key would never see it.
void Welcome(PeerTable& t, int index, uint32_t now) {
  SendKeyBlock(t, index, now);
  if (t.ownTyping) {
    t.line[0] = 't';
    t.line[1] = 1;
    t.SendToMember(index, t.slots[index].address, t.line, 2);
  }
  if (!t.havePosition || !t.SeesOurMoves(index)) return;
  int length = FormatPosition(t, t.slots[index].tellsRooms != 0, t.line);
  t.SendToMember(index, t.slots[index].address, t.line, length);
}

uint32_t Age(uint32_t now, uint32_t then) { return static_cast<uint32_t>(now - then); }

// The entry for address, else a free one, else the one used longest ago.
ReflectEntry* ReflectEntryFor(PeerTable& t, const NetAddress& address, uint32_t now, bool* found) {
  ReflectEntry* use = &t.reflected[0];
  for (ReflectEntry& e : t.reflected) {
    if (e.address == address) {
      *found = true;
      return &e;
    }
    if (!NetAddressIsSet(use->address)) continue;
    if (!NetAddressIsSet(e.address) || Age(now, e.lastMs) > Age(now, use->lastMs)) use = &e;
  }
  *found = false;
  return use;
}

// May a peer's IRC line make us greet a new address? At most kReflectNewPerMinute a minute:
// the ring holds when the last ones were admitted.
bool AdmitNewAddress(PeerTable& t, const NetAddress& address, uint32_t now) {
  bool found = false;
  ReflectEntry* e = ReflectEntryFor(t, address, now, &found);
  if (found && e->firstMs != 0 && Age(now, e->firstMs) < 60000) return true;  // named this minute
  uint32_t& oldest = t.reflectAdmitted[t.reflectNext];
  if (oldest != 0 && Age(now, oldest) < 60000) return false;
  oldest = now | 1;  // never 0, which marks a free place
  t.reflectNext = (t.reflectNext + 1) % kReflectNewPerMinute;
  if (!found) {
    e->address = address;
    e->lastMs = now - kReflectAgainMs;  // not greeted yet
  }
  e->firstMs = now | 1;
  return true;
}

// A hello caused by an IRC line goes to one address at most once per kReflectAgainMs.
bool MayGreetNow(PeerTable& t, const NetAddress& address, uint32_t now) {
  bool found = false;
  ReflectEntry* e = ReflectEntryFor(t, address, now, &found);
  if (found && Age(now, e->lastMs) < kReflectAgainMs) return false;
  if (!found) {
    e->address = address;
    e->firstMs = 0;  // named by the server, not admitted as a peer's
  }
  e->lastMs = now;
  return true;
}

// The hellos of this round that are due for an unlinked slot.
void GreetDue(PeerTable& t, int index, uint32_t now) {
  PeerLink& link = t.links[index];
  if (!link.round) return;  // no address yet
  if (Since(now, link.roundMs, Plan(link.round).lengthMs)) StartRound(link, now, link.round + 1);
  const RoundPlan plan = Plan(link.round);
  const PeerSlot& slot = t.slots[index];
  const uint16_t standard = NetPortToWire(kPresencePort);
  for (LinkAddress& a : link.to) {
    if (!NetAddressIsSet(a.address) || !t.MayGreet(index, a)) continue;
    if (!a.lowTtlSent) {
      SendHello(t, index, At(a.address, standard), kLowTtl);
      a.lowTtlSent = 1;
      a.lowTtlMs = now;
      continue;
    }
    if (a.lowTtlSent == 1 && Since(now, a.lowTtlMs, plan.firstHelloMs / 2)) {
      SendHello(t, index, At(a.address, standard), kLowTtl + 1);
      a.lowTtlSent = 2;
      continue;
    }
    if (a.hellosSent >= plan.hellos) continue;
    if (!Since(now, a.lowTtlMs, plan.firstHelloMs + 1000u * a.hellosSent)) continue;
    SendHello(t, index, At(a.address, standard), 0);
    // A peer bound at another port of this address (its router's mapping) is greeted there too.
    if (slot.active && slot.address.address == a.address && slot.address.port != standard)
      SendHello(t, index, slot.address, 0);
    a.hellosSent++;
  }
}

}  // namespace

int PeerTable::SetPeerHost(int index, const char* host) {
  if (index < 1 || index >= kPeerSlots) return 0;
  HostAddresses found = {};
  // No lock during the lookup: it may take a while and the main thread keeps drawing.
  int result = LookUpHost(host, &found);
  if (result != 1) return result;
  if (!slots[index].known) return 0;  // removed while the name was being looked up
  AddPeerAddresses(index, found);
  return 1;
}

int PeerTable::AddPeerAddresses(int index, const HostAddresses& found, bool namedByPeer) {
  int added = 0;
  for (int i = 0; i < found.count && i < kHostAddresses; ++i)
    if (AddPeerAddress(index, found.list[i], namedByPeer) == 1) ++added;
  return added ? 1 : 0;
}

int PeerTable::AddPeerAddress(int index, const NetAddress& address, bool namedByPeer) {
  if (index < 1 || index >= kPeerSlots || !NetAddressIsSet(address)) return 0;
  if (address.family == kNetIPv6 && !LinkIPv6) return 0;  // a client kept to IPv4 cannot send there
  PeerSlot& slot = slots[index];
  PeerLink& link = links[index];
  if (!slot.known) return 0;
  const uint32_t now = TickCountMs();
  if (!HasAddress(link, address)) {
    // Addresses the server names are its record of real members; a peer's own lines could
    // name any address, so those are bounded.
    if (namedByPeer && !AdmitNewAddress(*this, address, now)) {
      link.waiting = address;  // lost otherwise: in a large room on a network that hides hosts,
      return 0;                // most members' addresses come this way
    }
    // A free place, else the oldest address other than the one the peer is bound at.
    LinkAddress* use = nullptr;
    for (LinkAddress& a : link.to) {
      if (slot.active && a.address == slot.address.address) continue;
      if (!use || !NetAddressIsSet(a.address) ||
          (NetAddressIsSet(use->address) && Age(now, a.addedMs) > Age(now, use->addedMs)))
        use = &a;
      if (!NetAddressIsSet(use->address)) break;
    }
    if (!use) use = &link.to[0];
    std::memset(use, 0, sizeof *use);
    use->address = address;
    use->addedMs = now;
    use->fromServer = namedByPeer ? 0 : 1;
    // A new address starts a round at once when none is under way (the first address, or
    // this round's hellos are over); otherwise it joins the current one.
    const RoundPlan plan = Plan(link.round);
    if (!link.round || Since(now, link.roundMs, plan.firstHelloMs + 1000u * plan.hellos))
      StartRound(link, now, link.round ? link.round : 1);
  }
  // An unbound slot shows the newest address (port 0: nothing matches it yet). A bound one
  // keeps its port until a hello from the new address may rebind it.
  if (!slot.active) slot.address = At(address, 0);
  const SocketAddress hello = At(address, NetPortToWire(kPresencePort));
  for (LinkAddress& a : link.to) {
    if (a.address != address) continue;
    if (!namedByPeer) a.fromServer = 1;
    if (!MayGreet(index, a)) continue;  // kept until the member shows that it runs QIVRA
    if (MayGreetNow(*this, address, now)) SendHello(*this, index, hello, kLowTtl);
    if (!a.lowTtlSent) {
      a.lowTtlSent = 1;
      a.lowTtlMs = now;
    }
  }
  return 1;
}

int PeerTable::ApplyHello(const char* data, int length, const SocketAddress& source, int proven) {
  const uint32_t now = TickCountMs();
  char userNick[kNickLength];
  const int most = length - 1 < kNickLength - 1 ? length - 1 : kNickLength - 1;
  std::size_t n = strnlen(data + 1, static_cast<std::size_t>(most > 0 ? most : 0));
  std::memcpy(userNick, data + 1, n);
  userNick[n] = '\0';
  // A sealed hello proves its member, whose name it must carry; a plain one from a member
  // that seals is someone else's.
  if (proven && !SameIrcName(slots[proven].nick, userNick)) return 0;

  int bound = FindByAddress(source);
  if (bound && (bound == proven || !proven)) {  // this address and port are the member's already
    PeerLink& link = links[bound];
    bool same = SameIrcName(slots[bound].nick, userNick);
    if (!proven && link.sealedOnly) return 0;
    link.heardMs = now;
    if (same) TakeHelloWords(*this, bound, data, length);
    if (same && data[0] == 'C') link.confirmed = 1;
    // The peer greets us again: our reply was lost on the way. Answer once more.
    if (same && data[0] == 'c') SendHelloReply(*this, bound, source);
    return 0;
  }
  if (bound) return 100;  // another member's address and port: nothing is rebound
  int index = proven ? proven : FindByNick(userNick);
  if (!index || (!proven && (links[index].sealedOnly || !HasAddress(links[index], source.address)))) return 100;
  PeerSlot& slot = slots[index];
  PeerLink& link = links[index];
  // A live port is never taken over: another port may bind only after the bound one has been
  // quiet for kRebindQuietMs (the peer's router gave it a new mapping, or it restarted).
  if (slot.active && slot.address.port != 0 && !Since(now, link.heardMs, kRebindQuietMs)) return 100;
  slot.address = source;
  slot.active = 1;
  TakeHelloWords(*this, index, data, length);
  link.heardMs = now;
  link.boundMs = now;
  if (data[0] == 'C') link.confirmed = 1;
  if (PeerChangeHook) PeerChangeHook('a', index, 0);
  if (data[0] == 'c') SendHelloReply(*this, index, source);
  Welcome(*this, index, now);
  return 100;
}

void PeerTable::StandIn(int8_t room) {
  if (room == rooms.standing) return;
  rooms.standing = room;
  // An older client that no longer sees our moves must not walk us on: every key let go.
  const uint32_t now = TickCountMs();
  for (int i = 1; i < kPeerSlots; ++i)
    if (slots[i].active && !slots[i].tellsRooms) SendKeyBlock(*this, i, now);
}

void PeerTable::NoteHeard(int index) {
  if (index < 1 || index >= kPeerSlots) return;
  links[index].heardMs = TickCountMs();
  links[index].confirmed = 1;
}

int PeerTable::IsLinked(int index) {
  if (index < 0 || index >= kPeerSlots) return 0;
  return slots[index].known && ((slots[index].active && links[index].confirmed) || links[index].relay.shown);
}

void PeerTable::ServiceLinks(uint32_t now) {
  if (keyRepeat.tail && Since(now, keyRepeat.releasedMs, kKeyTailMs + 1)) keyRepeat.tail = 0;
  const bool repeatDue = !typingRepeated && Since(now, typingChangedMs, kTypingRepeatMs);
  if (repeatDue || (ownTyping && Since(now, typingSentMs, kTypingRefreshMs))) {
    typingRepeated = 1;
    typingSentMs = now;
    SendTypingState();
  }
  const bool keysMoving = keyRepeat.anyHeld || keyRepeat.tail;
  for (int i = 1; i < kPeerSlots; ++i) {
    PeerSlot& slot = slots[i];
    PeerLink& link = links[i];
    if (!slot.known) continue;
    // A mark whose "stopped" was lost, or whose member went away, does not stay for ever.
    if (slot.typing && Since(now, slot.typingHeardMs, kTypingLapseMs)) {
      slot.typing = 0;
      if (PeerChangeHook) PeerChangeHook('t', i, 0);
    }
    bool up = slot.active && !Since(now, link.heardMs, kSilentMs);
    if (NetAddressIsSet(link.waiting) && !up && AdmitNewAddress(*this, link.waiting, now)) {
      const NetAddress address = link.waiting;
      link.waiting = NetAddress{};
      AddPeerAddress(i, address, true);
    }
    if (!up) GreetDue(*this, i, now);
    if (!slot.active) continue;
    const uint32_t keepAlive = Since(now, link.boundMs, kYoungLinkMs) ? kKeepAliveMs : kYoungKeepAliveMs;
    if ((keysMoving && Since(now, link.keyBlockMs, kKeyRepeatMs)) || Since(now, link.sentMs, keepAlive))
      SendKeyBlock(*this, i, now);
  }
}

int PeerTable::NextNoLinkReport(uint32_t now, char* nick) {
  for (int i = 1; i < kPeerSlots; ++i) {
    PeerLink& link = links[i];
    if (!slots[i].known || link.reported || !Since(now, link.enteredMs, noLinkReportMs)) continue;
    // Whoever has not shown that it runs QIVRA is an ordinary IRC user: nothing to report.
    if (!link.discovery.shown) continue;
    link.reported = 1;
    if (slots[i].active && link.confirmed) continue;
    std::size_t n = strnlen(slots[i].nick, kNickLength - 1);
    std::memcpy(nick, slots[i].nick, n);
    nick[n] = '\0';
    return 1;
  }
  return 0;
}

void PeerTable::ShowSealing(int index, bool sealedBefore) {
  if (sealedBefore || !SealsTo(index) || !slots[index].active) return;  // SealsTo: a member's slot
  SendKeyBlock(*this, index, TickCountMs());
}

void PeerTable::NoteSent(int index, uint32_t now) {
  if (index > 0 && index < kPeerSlots) links[index].sentMs = now;
}

void PeerTable::NoteKeyChange(int held, uint32_t now) {
  keyRepeat.anyHeld = 0;
  for (int k = 0; k < kKeyFlagCount; ++k) {
    if (self.keys[k]) keyRepeat.anyHeld = 1;
  }
  if (!held && !keyRepeat.anyHeld) {
    keyRepeat.tail = 1;
    keyRepeat.releasedMs = now;
  }
}

void PeerTable::ResetLink(int index, uint32_t now) {
  if (index < 0 || index >= kPeerSlots) return;
  std::memset(&links[index], 0, sizeof links[index]);
  links[index].enteredMs = now;
}
