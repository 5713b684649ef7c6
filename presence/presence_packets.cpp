// Entering peers, and the key and position datagrams in both directions (the hellos are in
// peer_links.cpp).
#include <cstdio>
#include <cstring>

#include "core/irc_case.h"
#include "platform/ticks.h"
#include "presence/datagram_intake.h"
#include "presence/datagram_link.h"
#include "presence/peer_table.h"
#include "presence/sealed_datagram.h"

static_assert(kDatagramReceiveLength == kSealedLength, "the socket takes the longest sealed datagram whole");

static void Notify(char kind, int index, int key = 0) {
  if (PeerChangeHook) PeerChangeHook(kind, index, key);
}

static void PutFloat(char* out, float value) {  // little-endian whatever the host
  uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  for (int i = 0; i < 4; ++i) out[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
}

static float GetFloat(const char* in) {
  uint32_t bits = 0;
  for (int i = 0; i < 4; ++i) bits |= static_cast<uint32_t>(static_cast<uint8_t>(in[i])) << (8 * i);
  float value = 0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

int PeerTable::AddPeer(const char* nick, bool askHost, int8_t room) {
  if (!nick || !*nick) return 0;
  if (SameIrcName(nick, self.nick)) return 0;
  int known = FindByNick(nick);
  if (known) {  // a member of another room we share: one slot, one link
    slots[known].rooms |= RoomBit(room);
    return known;
  }
  int index = 0;
  for (int i = 1; i < kPeerSlots && !index; ++i) {
    if (!slots[i].known) index = i;
  }
  if (!index) return 0;
  PeerSlot& slot = slots[index];
  std::memset(&slot, 0, sizeof slot);
  slot.known = 1;
  slot.rooms = RoomBit(room);
  slot.standsIn = kStandsAnywhere;
  std::size_t n = strnlen(nick, kNickLength - 1);
  std::memcpy(slot.nick, nick, n);
  ResetLink(index, TickCountMs());
  if (!askHost) return index;
  if (!requestHost || requestHost(slot.nick) != 1) return 0;  // the slot stays taken
  return index;
}

// Sends the first `length` bytes of the output buffer to every active slot that sees our moves.
static void SendToActive(PeerTable& table, int length) {
  const uint32_t now = TickCountMs();
  for (int i = 1; i < kPeerSlots; ++i) {
    if (!table.slots[i].active || !table.SeesOurMoves(i)) continue;
    table.SendToMember(i, table.slots[i].address, table.line, length);
    table.NoteSent(i, now);
  }
}

int PeerTable::SendKeyState(int index, int held) {
  if (index < 0 || index >= kKeyFlagCount) return 0;
  if (self.keys[index] == static_cast<uint8_t>(held)) return 0;
  self.keys[index] = static_cast<uint8_t>(held);
  line[0] = 'i';
  line[1] = static_cast<char>(index);
  line[2] = static_cast<char>(held + 1);
  NoteKeyChange(held, TickCountMs());
  SendToActive(*this, 3);
  return 1;
}

int FormatPosition(const PeerTable& t, bool withRoom, char* out) {
  out[0] = 'd';
  std::memcpy(out + 1, t.lastPosition + 1, 20);
  const char* room = withRoom ? t.rooms.Name(t.rooms.standing) : "";
  std::size_t n = strnlen(room, kRoomNameLength - 1);
  std::memcpy(out + 21, room, n);
  out[21 + n] = '\0';
  return static_cast<int>(21 + n);
}

int PeerTable::SendPosition(float x, float z, float yaw, float heading, float pitch) {
  lastPosition[0] = 'd';
  PutFloat(lastPosition + 1, x);
  PutFloat(lastPosition + 5, z);
  PutFloat(lastPosition + 9, yaw);
  PutFloat(lastPosition + 13, heading);
  PutFloat(lastPosition + 17, pitch);
  havePosition = 1;
  const uint32_t now = TickCountMs();
  for (int i = 1; i < kPeerSlots; ++i) {
    if (!slots[i].active || !SeesOurMoves(i)) continue;
    int length = FormatPosition(*this, slots[i].tellsRooms != 0, line);
    SendToMember(i, slots[i].address, line, length);
    NoteSent(i, now);
  }
  return 1;
}

void PeerTable::SendTyping(bool typing) {
  if ((ownTyping != 0) == typing) return;
  ownTyping = typing ? 1 : 0;
  typingChangedMs = typingSentMs = TickCountMs();
  typingRepeated = 0;
  SendTypingState();
}

void PeerTable::SendTypingState() {
  // Every active member, in whichever room: the mark is the user's, not the room's. An older
  // client takes 't' for a kind it does not know.
  const uint32_t now = TickCountMs();
  for (int i = 1; i < kPeerSlots; ++i) {
    if (!slots[i].active) continue;
    line[0] = 't';
    line[1] = static_cast<char>(ownTyping ? 1 : 0);
    SendToMember(i, slots[i].address, line, 2);
    NoteSent(i, now);
  }
}

// Whether a datagram of `length` bytes holds every byte its kind reads: a position 21, a
// key 3, a key block its count of flags after two, a hello a nickname after its letter.
// Longer ones are taken as before; a shorter one would be read past its end as zeros.
static bool LongEnough(const char* data, int length) {
  switch (data[0]) {
    case 'd': return length >= 21;
    case 'i': return length >= 3;
    case 'k': return length >= 2 && length >= 2 + static_cast<int8_t>(data[1]);
    case 'c':
    case 'C': return length >= 2;
    case 't': return length >= 2;
    default: return true;
  }
}

int PeerTable::ReceiveDatagram() {
  char data[kDatagramBufferLength];  // zeroed by Poll: a plain datagram's text stays terminated
  if (datagramLink->Poll(data) == 0) return 0;
  return TakeDatagram(data, datagramLink->receivedLength, datagramLink->peerAddress);
}

// A sealed datagram: the pair its header names opens it (a forgery or a repeat is dropped
// before it counts against anyone), and the plain datagram inside is the member's, wherever
// it came from.
static int TakeSealed(PeerTable& t, const char* data, int length, const SocketAddress& source) {
  SealHeader header;
  const int found = ReadSealHeader(data, length, &header) == 1 ? FindSealingPair(t.seals, kPeerSlots, header) : -1;
  const bool member = found > 0 && t.slots[found].known;
  const bool sealedBefore = t.SealsTo(found);  // false for no member
  char inner[kSealInnerLength + 1];
  const int n = TakeSealedDatagram(member ? &t.seals[found] : nullptr, member ? found : 0, data, length, source,
                                   TickCountMs(), inner, kSealInnerLength);
  if (n < 1 || inner[0] == kSealedKind) return 0;  // not opened, over its rate, or sealed twice
  inner[n] = '\0';
  PeerLink& link = t.links[found];
  link.discovery.hasOurKey = 1;  // it sealed with the keys it agreed from ours
  if (!link.sealedOnly) {
    link.sealedOnly = 1;  // anyone could have sent its plain datagrams: they are refused now
    if (PeerChangeHook) PeerChangeHook('s', found, 0);
  }
  const int result = t.ApplyDatagram(found, inner, n, source);
  t.ShowSealing(found, sealedBefore);
  return result;
}

int PeerTable::TakeDatagram(const char* data, int length, const SocketAddress& source) {
  if (length < 1) return 0;
  if (data[0] == kSealedKind) return TakeSealed(*this, data, length, source);
  if (!AdmitSource(source, TickCountMs())) return 0;  // a flood
  return ApplyDatagram(0, data, length, source);
}

int PeerTable::ApplyDatagram(int proven, const char* data, int length, const SocketAddress& source) {
  const char kind = data[0];
  if (!LongEnough(data, length)) return 0;
  if (kind == 'c' || kind == 'C') return ApplyHello(data, length, source, proven);
  if (kind != 'd' && kind != 'i' && kind != 'k' && kind != 't') return 100;
  float reported[5];
  if (kind == 'd') {
    for (int i = 0; i < 5; ++i) reported[i] = GetFloat(data + 1 + 4 * i);
    if (!IsSanePosition(reported)) return 0;  // not finite, or far outside the room
  }
  int index = proven ? proven : FindByAddress(source);
  if (!index || (!proven && links[index].sealedOnly)) return 0;  // nobody's, or not the sealing member's
  NoteHeard(index);
  PeerSlot& slot = slots[index];
  if (kind == 'd') {
    // A newer client names the room after the five floats; an older one sends none.
    const int roomLength = length - 21;
    if (roomLength > 0) slot.tellsRooms = 1;
    ApplyPosition(index, reported, roomLength > 0 ? data + 21 : nullptr, roomLength);
    return 100;
  } else if (kind == 'i') {
    int key = static_cast<int8_t>(data[1]);
    if (key < 0 || key >= kKeyFlagCount) return 0;
    slot.keys[key] = data[2] != 1 ? 1 : 0;
    Notify(kind, index, key);
    return 100;
  } else if (kind == 't') {
    const uint8_t typing = data[1] == 1 ? 1 : 0;
    slot.typingHeardMs = TickCountMs();
    if (slot.typing != typing) {
      slot.typing = typing;
      Notify('t', index);
    }
    return 100;
  } else {
    int count = static_cast<int8_t>(data[1]);
    if (count < 0 || count >= kKeyFlagCount) return 0;
    ApplyKeyBlock(index, reinterpret_cast<const uint8_t*>(data + 2), count);
  }
  return 100;
}

void PeerTable::ApplyPosition(int index, const float reported[5], const char* room, int roomLength) {
  if (index < 1 || index >= kPeerSlots || !IsSanePosition(reported)) return;
  PeerSlot& slot = slots[index];
  std::memcpy(slot.reportedPose, reported, sizeof slot.reportedPose);
  slot.pose.x = reported[0];
  slot.pose.z = reported[1];
  slot.pose.yaw = reported[2];
  slot.pose.heading = reported[3];
  slot.pose.pitch = reported[4];
  ++slot.poseSerial;
  if (room && roomLength > 0) {
    char name[kRoomNameLength];
    std::size_t n = static_cast<std::size_t>(roomLength) < sizeof name ? static_cast<std::size_t>(roomLength) : sizeof name - 1;
    std::memcpy(name, room, n);
    name[n] = '\0';
    const int8_t found = rooms.Find(name);
    slot.standsIn = found != kNoRoom ? found : kStandsElsewhere;
  } else {
    slot.standsIn = kStandsAnywhere;  // an older client, or moves through the server
  }
  const uint32_t here = slot.standsIn >= 0 ? RoomBit(slot.standsIn) : slot.standsIn == kStandsAnywhere ? slot.rooms : 0;
  for (int8_t r = 0; r < kMaxRooms; ++r)
    if (here & RoomBit(r)) slot.poseIn[r] = slot.pose;
  slot.posedIn |= here;
  Notify('d', index);
}

void PeerTable::ApplyKeyBlock(int index, const uint8_t* keys, int count) {
  if (index < 1 || index >= kPeerSlots || count < 0 || count > kKeyFlagCount) return;
  std::memcpy(slots[index].keys, keys, static_cast<std::size_t>(count));
  Notify('k', index);
}
