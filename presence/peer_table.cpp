// The peer slots: lookups by index, nickname and address, removal and clearing, and the lock.
#include "presence/peer_table.h"

#include <cstring>

#include "platform/ticks.h"

std::recursive_mutex& ClientLock() {
  static std::recursive_mutex lock;  // made on first use, so no start-up order matters
  return lock;
}

void (*PeerChangeHook)(char kind, int index, int key) = nullptr;

using Hold = std::lock_guard<std::recursive_mutex>;

static bool InTable(int index) { return index >= 0 && index < kPeerSlots; }

void PeerTable::Lock() { ClientLock().lock(); }
void PeerTable::Unlock() { ClientLock().unlock(); }

int PeerTable::IsActive(int index) {
  Hold hold(ClientLock());
  // Moves relayed through the server walk the avatar as datagrams would.
  return InTable(index) ? (slots[index].active || links[index].relay.shown) : 0;
}

int PeerTable::IsKnown(int index) {
  Hold hold(ClientLock());
  return InTable(index) ? slots[index].known : 0;
}

int PeerTable::GetNick(int index, char* out) {
  Hold hold(ClientLock());
  if (!InTable(index) || !slots[index].known) return 0;
  std::size_t n = strnlen(slots[index].nick, kNickLength - 1);
  std::memcpy(out, slots[index].nick, n);
  out[n] = '\0';
  return 1;
}

int PeerTable::FindByNick(const char* nick) {
  if (!nick || !*nick) return 0;
  Hold hold(ClientLock());
  for (int i = 1; i < kPeerSlots; ++i) {
    if (slots[i].known && std::strncmp(slots[i].nick, nick, kNickLength) == 0) return i;
  }
  return 0;
}

int PeerTable::FindByAddress(const SocketAddress& address) {
  Hold hold(ClientLock());
  for (int i = 1; i < kPeerSlots; ++i) {
    if (slots[i].known && SameSocketAddress(slots[i].address, address)) return i;
  }
  return 0;
}

void PeerTable::RemovePeer(const char* nick) {
  Hold hold(ClientLock());
  int index = FindByNick(nick);
  if (!index) return;
  std::memset(&slots[index], 0, sizeof slots[index]);
  ResetLink(index, TickCountMs());
}

void PeerTable::Clear() {
  Hold hold(ClientLock());
  std::memset(slots, 0, sizeof slots);
  std::memset(links, 0, sizeof links);
  std::memset(reflected, 0, sizeof reflected);
  std::memset(reflectAdmitted, 0, sizeof reflectAdmitted);
  reflectNext = 0;
}
