// Fuzz target: presence datagrams as the peer table takes them. Each input is a run of
// records: one byte choosing the source (two peers with known hosts, a stranger, a fourth
// address; four ports) and whether the bytes are sealed with alice's keys first (so that the
// datagram inside, of any kind, is taken as hers), two bytes of length (little-endian), then
// the datagram's bytes. Afterwards the own position, a key and a typing mark go out to whoever
// became active, sealed to alice.
#include <cstddef>
#include <cstdint>

#include "fuzz/fake_link.h"
#include "irc/irc_client.h"
#include "platform/net.h"
#include "presence/datagram_intake.h"
#include "presence/sealed_datagram.h"

namespace {

constexpr std::size_t kLongestDatagram = 2100;  // beyond the 2073 bytes a poll takes
SealIdentity Alice;                  // alice's side of the keys
SealPair AliceWithMe;

uint32_t Source(uint8_t choice) {
  switch (choice & 3) {
    case 0: return FakeLinkAddress(10, 0, 0, 1);  // alice's host
    case 1: return FakeLinkAddress(10, 0, 0, 2);  // bob's host
    case 2: return FakeLinkAddress(10, 0, 0, 3);  // a stranger
    default: return FakeLinkAddress(0, 0, 0, 0);
  }
}

uint16_t SourcePort(uint8_t choice) {
  static const int ports[4] = {6669, 40000, 40001, 0};
  return NetPortToWire(ports[(choice >> 2) & 3]);
}

// alice and bob in the channel with their hosts known (hellos sent), carol without a host.
void EnterPeers() {
  FakeLinkReset();
  Irc.peerTable.Clear();
  Irc.SetNick("me");
  int alice = Irc.peerTable.AddPeer("alice");
  int bob = Irc.peerTable.AddPeer("bob");
  Irc.peerTable.AddPeer("carol");
  Irc.peerTable.SetPeerHost(alice, "10.0.0.1");
  Irc.peerTable.SetPeerHost(bob, "10.0.0.2");
  // alice and we have traded details: keys agreed both ways, and she has ours.
  MakeSealIdentity(&Irc.peerTable.ownSeal);
  Irc.peerTable.ShowQivra(alice, SignDetails, true);
  Irc.peerTable.AgreeKeys(alice, Alice.publicKey);
  Irc.peerTable.links[alice].discovery.hasOurKey = 1;
  AgreeSeal(Alice, "alice", Irc.peerTable.ownSeal.publicKey, "me", &AliceWithMe);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  MakeSealIdentity(&Alice);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  EnterPeers();
  std::size_t at = 0;
  while (at + 3 <= size) {
    uint8_t choice = data[at];
    std::size_t length = static_cast<std::size_t>(data[at + 1] | (data[at + 2] << 8)) % (kLongestDatagram + 1);
    at += 3;
    if (length > size - at) length = size - at;
    static char sealed[kSealedLength];
    const int made = (choice & 16) ? SealDatagram(&Alice, AliceWithMe, reinterpret_cast<const char*>(data + at),
                                                  static_cast<int>(length), sealed, sizeof sealed)
                                   : 0;
    if (made > 0) {
      FakeLinkQueueDatagram(Source(choice), SourcePort(choice), reinterpret_cast<const uint8_t*>(sealed),
                            static_cast<std::size_t>(made));
    } else {
      FakeLinkQueueDatagram(Source(choice), SourcePort(choice), data + at, length);
    }
    at += length;
  }
  // The dispatcher's intake, call after call, until every datagram had its turn.
  while (FakeLinkDatagramsWaiting() && TakeWaitingDatagrams(Irc.peerTable) > 0) {
  }
  Irc.peerTable.SendPosition(1.0f, -2.0f, 90.0f, 45.0f, -10.0f);
  Irc.peerTable.SendKeyState(1, 1);
  Irc.peerTable.SendKeyState(1, 0);
  Irc.peerTable.SendTyping(true);
  Irc.peerTable.SendTyping(false);
  FakeLinkReset();
  return 0;
}
