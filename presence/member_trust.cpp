// What the table trusts a member with and of it: which of its addresses are greeted before and
// after it has shown that it runs QIVRA, the keys agreed with it, and every datagram to it,
// sealed once both have the keys.
#include <cstring>

#include "platform/ticks.h"
#include "presence/datagram_link.h"
#include "presence/peer_table.h"
#include "presence/sealed_datagram.h"

namespace {

bool Member(const PeerTable& t, int index) { return index >= 1 && index < kPeerSlots && t.slots[index].known; }

}  // namespace

bool PeerTable::ShowQivra(int index, QivraSign sign, bool speaks, uint32_t spreadMs) {
  if (!Member(*this, index)) return false;
  return NoteQivraSign(&links[index].discovery, sign, speaks, TickCountMs(), spreadMs);
}

bool PeerTable::MayGreet(int index, const LinkAddress& a) const {
  if (!Member(*this, index) || !NetAddressIsSet(a.address)) return false;
  if (links[index].discovery.shown) return true;
  // The server shows everyone the address our IRC link comes from; a hello to its record of a
  // member, sent from that same family, tells a user who runs no QIVRA nothing new.
  return a.fromServer && (serverFamily == 0 || a.address.family == serverFamily);
}

int PeerTable::AgreeKeys(int index, const uint8_t theirKey[kSealPublicKeyLength], bool fast) {
  if (!Member(*this, index)) return 0;
  SealPair& pair = seals[index];
  // The same key again (its details repeated, or after a new nickname, which the server vouches
  // for): the pair and its window stay, so nothing it took before can be taken again.
  if (pair.agreed && std::memcmp(pair.theirKey, theirKey, sizeof pair.theirKey) == 0) return 1;
  return AgreeSeal(ownSeal, self.nick, theirKey, slots[index].nick, &pair, fast && SealFastCipherReady());
}

bool PeerTable::SealsTo(int index) const {
  if (!Member(*this, index) || !seals[index].agreed) return false;
  return seals[index].heard || links[index].discovery.hasOurKey;
}

void PeerTable::SendToMember(int index, const SocketAddress& to, const char* data, int length, int ttl) {
  static char sealed[kSealedLength];  // the link thread's alone, as the table is
  const char* out = data;
  if (SealsTo(index)) {
    length = SealDatagram(&ownSeal, seals[index], data, length, sealed, sizeof sealed);
    if (length < 1) return;  // nothing plain goes to a member that seals
    out = sealed;
  }
  datagramLink->SetPeer(to);
  if (ttl > 0) {
    datagramLink->SendWithTtl(out, length, ttl);
  } else {
    datagramLink->Send(out, length);
  }
}
