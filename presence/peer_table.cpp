// The peer slots: lookups by index, nickname and address, removal and clearing, and the lock.
#include "presence/peer_table.h"

#include <cstring>

#include "core/irc_case.h"
#include "platform/ticks.h"
#include "presence/datagram_intake.h"

void (*PeerChangeHook)(char kind, int index, int key) = nullptr;

static bool InTable(int index) { return index >= 0 && index < kPeerSlots; }

int PeerTable::IsActive(int index) {
  // Moves relayed through the server walk the avatar as datagrams would.
  return InTable(index) ? (slots[index].active || links[index].relay.shown) : 0;
}

int PeerTable::IsKnown(int index) {
  return InTable(index) ? slots[index].known : 0;
}

int PeerTable::GetNick(int index, char* out) {
  if (!InTable(index) || !slots[index].known) return 0;
  std::size_t n = strnlen(slots[index].nick, kNickLength - 1);
  std::memcpy(out, slots[index].nick, n);
  out[n] = '\0';
  return 1;
}

int PeerTable::FindByNick(const char* nick) {
  if (!nick || !*nick) return 0;
  for (int i = 1; i < kPeerSlots; ++i) {
    if (slots[i].known && SameIrcName(slots[i].nick, nick)) return i;
  }
  return 0;
}

int PeerTable::FindByAddress(const SocketAddress& address) {
  for (int i = 1; i < kPeerSlots; ++i) {
    if (slots[i].known && SameSocketAddress(slots[i].address, address)) return i;
  }
  return 0;
}

static void Empty(PeerTable& t, int index) {
  std::memset(&t.slots[index], 0, sizeof t.slots[index]);
  t.ResetLink(index, TickCountMs());
  ForgetSealPair(&t.seals[index]);
  ForgetMemberIntake(index);  // the next member in this slot starts with a clean count
}

void PeerTable::RemovePeer(const char* nick) {
  int index = FindByNick(nick);
  if (index) Empty(*this, index);
}

void PeerTable::RemovePeerFrom(const char* nick, int8_t room) {
  int index = FindByNick(nick);
  if (!index) return;
  PeerSlot& slot = slots[index];
  slot.rooms &= ~RoomBit(room);
  if (room >= 0 && room < kMaxRooms) slot.status[room] = 0;
  if (slot.rooms == 0) Empty(*this, index);  // no room shared any more
}

void PeerTable::LeaveRoom(int8_t room) {
  for (int i = 1; i < kPeerSlots; ++i) {
    if (!slots[i].known) continue;
    slots[i].rooms &= ~RoomBit(room);
    if (room >= 0 && room < kMaxRooms) slots[i].status[room] = 0;
    if (slots[i].rooms == 0) Empty(*this, i);
  }
  rooms.Remove(room);
}

bool PeerTable::SeesOurMoves(int index) const {
  if (index < 1 || index >= kPeerSlots) return false;
  const PeerSlot& slot = slots[index];
  return slot.tellsRooms || (slot.rooms & RoomBit(rooms.standing)) != 0 || rooms.standing == kNoRoom;
}

void PeerTable::Clear() {
  rooms.Clear();
  std::memset(slots, 0, sizeof slots);
  std::memset(links, 0, sizeof links);
  std::memset(reflected, 0, sizeof reflected);
  std::memset(reflectAdmitted, 0, sizeof reflectAdmitted);
  reflectNext = 0;
  for (SealPair& pair : seals) ForgetSealPair(&pair);
  ForgetSealIdentity(&ownSeal);
  ownTyping = 0;
  typingRepeated = 1;
}
