// Entering peers, the hello handshake, and the key and position datagrams in both directions.
#include <cstdio>
#include <cstring>

#include "platform/net.h"
#include "platform/ticks.h"
#include "presence/datagram_intake.h"
#include "presence/datagram_link.h"
#include "presence/host_lookup.h"
#include "presence/peer_table.h"

using Hold = std::lock_guard<std::recursive_mutex>;

static void Notify(char kind, int index, int key = 0) {
  if (PeerChangeHook) PeerChangeHook(kind, index, key);
}

// "c" or "C" and the nickname, cut to fit the 2048-byte buffer.
static void FormatHello(char* out, char letter, const char* nick) {
  std::size_t n = strnlen(nick, kNickLength - 2);
  out[0] = letter;
  std::memcpy(out + 1, nick, n);
  out[n + 1] = '\0';
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

int PeerTable::AddPeer(const char* nick) {
  if (!nick || !*nick) return 0;
  Hold hold(ClientLock());
  if (std::strncmp(nick, self.nick, kNickLength) == 0) return 0;
  int index = 0;
  for (int i = 1; i < kPeerSlots && !index; ++i) {
    if (!slots[i].known) index = i;
  }
  if (!index) return 0;
  PeerSlot& slot = slots[index];
  std::memset(&slot, 0, sizeof slot);
  slot.known = 1;
  std::size_t n = strnlen(nick, kNickLength - 1);
  std::memcpy(slot.nick, nick, n);
  if (!requestHost || requestHost(slot.nick) != 1) return 0;  // the slot stays taken
  return index;
}

int PeerTable::SetPeerHost(int index, const char* host) {
  if (index < 1 || index >= kPeerSlots) return 0;
  uint32_t address = 0;
  // No lock during the lookup: it may take a while and the main thread keeps drawing.
  int found = LookUpHost(host, &address);
  if (found != 1) return found;
  Hold hold(ClientLock());
  if (!slots[index].known) return 0;  // removed while the name was being looked up
  SocketAddress peer = {};
  peer.family = kAddressFamilyIPv4;
  peer.port = NetPortToWire(kPresencePort);
  peer.address = address;
  datagramLink->SetPeer(peer);
  // A peer already bound at this address keeps its port: it has bound us too and would
  // refuse our new hello as a repeat, so nothing could ever bind it again. (The handshake
  // over IRC resolves a host twice, by ":Q" and by ":A".)
  PeerSlot& slot = slots[index];
  bool bound = slot.active && slot.address.address == address && slot.address.port != 0;
  if (!bound) {
    slot.address = peer;
    slot.address.port = 0;
  }
  FormatHello(line, 'c', self.nick);
  datagramLink->Send(line, 0);
  return 1;
}

// Sends the first `length` bytes of the output buffer to every active slot.
static void SendToActive(PeerTable& table, int length) {
  for (int i = 1; i < kPeerSlots; ++i) {
    if (!table.slots[i].active) continue;
    table.datagramLink->SetPeer(table.slots[i].address);
    table.datagramLink->Send(table.line, length);
  }
}

int PeerTable::SendKeyState(int index, int held) {
  if (index < 0 || index >= kKeyFlagCount) return 0;
  Hold hold(ClientLock());
  if (self.keys[index] == static_cast<uint8_t>(held)) return 0;
  self.keys[index] = static_cast<uint8_t>(held);
  line[0] = 'i';
  line[1] = static_cast<char>(index);
  line[2] = static_cast<char>(held + 1);
  SendToActive(*this, 3);
  return 1;
}

int PeerTable::SendPosition(float x, float z, float yaw, float heading, float pitch) {
  Hold hold(ClientLock());
  line[0] = 'd';
  PutFloat(line + 1, x);
  PutFloat(line + 5, z);
  PutFloat(line + 9, yaw);
  PutFloat(line + 13, heading);
  PutFloat(line + 17, pitch);
  line[21] = '\0';
  SendToActive(*this, 21);
  return 1;
}

// Hello "c" or hello reply "C" from `source`: binds the sender's port to its slot.
static int ApplyHello(PeerTable& table, const char* data, const SocketAddress& source) {
  if (table.FindByAddress(source)) return 0;  // this address and port already belong to a peer
  char userNick[kNickLength];
  std::size_t n = strnlen(data + 1, kDatagramReceiveLength - 1);
  std::memcpy(userNick, data + 1, n);
  userNick[n] = '\0';
  int index = table.FindByNick(userNick);
  if (!index) return 100;
  PeerSlot& slot = table.slots[index];
  if (slot.address.address != source.address) return 100;
  slot.address.port = source.port;
  slot.active = 1;
  Notify('a', index);
  if (data[0] == 'c') {
    char reply[kNickLength];
    FormatHello(reply, 'C', table.self.nick);
    table.datagramLink->Send(reply, 0);  // the current peer address is still the hello's source
  }
  return 100;
}

int PeerTable::ReceiveDatagram() {
  Hold hold(ClientLock());
  char data[kNickLength];
  std::memset(data, 0, sizeof data);  // all 2048: a full 2040-byte datagram stays terminated
  if (datagramLink->Poll(data) == 0) return 0;
  const SocketAddress source = datagramLink->peerAddress;
  if (!AdmitDatagram(source, data, TickCountMs())) return 0;  // a flood, or an impossible place
  const char kind = data[0];
  if (kind == 'c' || kind == 'C') return ApplyHello(*this, data, source);
  if (kind != 'd' && kind != 'i' && kind != 'k') return 100;
  int index = FindByAddress(source);
  if (!index) return 0;
  PeerSlot& slot = slots[index];
  if (kind == 'd') {
    for (int i = 0; i < 5; ++i) slot.reportedPose[i] = GetFloat(data + 1 + 4 * i);
    slot.pose.x = slot.reportedPose[0];
    slot.pose.z = slot.reportedPose[1];
    slot.pose.yaw = slot.reportedPose[2];
    slot.pose.heading = slot.reportedPose[3];
    slot.pose.pitch = slot.reportedPose[4];
  } else if (kind == 'i') {
    int key = static_cast<int8_t>(data[1]);
    if (key < 0 || key >= kKeyFlagCount) return 0;
    slot.keys[key] = data[2] != 1 ? 1 : 0;
    Notify(kind, index, key);
    return 100;
  } else {
    int count = static_cast<int8_t>(data[1]);
    if (count < 0 || count >= kKeyFlagCount) return 0;
    std::memcpy(slot.keys, data + 2, static_cast<std::size_t>(count));
  }
  Notify(kind, index);
  return 100;
}
