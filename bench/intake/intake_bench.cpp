// Position datagrams per second through one client's intake, plain beside sealed, in one run:
// in a full room of 199 members, each at an address of its own, the senders send in turn; the
// client takes each datagram from its socket as TakeWaitingDatagrams does and hands it to the
// peer table's own intake (PeerTable::TakeDatagram: counted, opened when sealed, checked,
// applied). Needs no root: every socket is on 127.0.0.0/8.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/net.h"
#include "platform/ticks.h"
#include "presence/datagram_intake.h"
#include "presence/datagram_link.h"
#include "presence/peer_table.h"
#include "presence/sealed_datagram.h"

namespace {

constexpr int kMembers = kPeerSlots - 1;  // in the table, and datagrams in a batch
int senders = kMembers;                   // members 1..senders send, in turn
constexpr int kPositionLength = 21;

PeerTable table;
DatagramLink link;                 // the client's socket
char line[kNickLength];

struct Member {
  int socket;
  SocketAddress address;
  SealIdentity identity;
  SealPair pair;                   // the member's, with the client
};
Member members[kPeerSlots];

uint32_t now = 1000;  // the intake's tick count: 3 ms a datagram keeps every rate
uint32_t BenchTicks() { return now; }
bool Fast = false;  // AES-256-GCM, as two machines with AES instructions agree (else ChaCha20-Poly1305)
int64_t frequency = 0;  // of the high-resolution counter

struct Rate {
  long long datagrams = 0;
  int64_t counts = 0;  // high-resolution counter units spent taking them
  double PerSecond(int64_t frequency) const {
    return counts ? static_cast<double>(datagrams) * static_cast<double>(frequency) / static_cast<double>(counts)
                  : 0.0;
  }
};

void PutFloat(char* out, float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  for (int i = 0; i < 4; ++i) out[i] = static_cast<char>(bits >> (8 * i));
}


long long Applied = 0;  // positions the table applied (its change hook counts them)
void CountApplied(char kind, int, int) {
  if (kind == 'd') ++Applied;
}

// The ways take turns: a plain batch finds every member taking plain datagrams, a sealed one
// finds each member's plain datagrams refused, as after its first sealed one.
void SealedOnly(bool sealed) {
  for (int i = 1; i <= kMembers; ++i) table.links[i].sealedOnly = sealed ? 1 : 0;
}

// kMembers positions from the senders in turn, as each sends them: plain, or sealed with its
// next counter. Datagram i comes from member from[i].
struct Batch {
  char data[kPeerSlots][kSealedLength];
  int length[kPeerSlots];
  int from[kPeerSlots];
};

void MakeBatch(bool sealed, Batch* batch) {
  for (int i = 1; i <= kMembers; ++i) {
    char position[kPositionLength] = {'d'};
    const float values[5] = {0.01f * static_cast<float>(i), -1.0f, 90.0f, 90.0f, 5.0f};
    for (int v = 0; v < 5; ++v) PutFloat(position + 1 + 4 * v, values[v]);
    batch->from[i] = 1 + (i - 1) % senders;
    Member& m = members[batch->from[i]];
    if (sealed) {
      batch->length[i] = SealDatagram(&m.identity, m.pair, position, kPositionLength, batch->data[i], kSealedLength);
    } else {
      std::memcpy(batch->data[i], position, kPositionLength);
      batch->length[i] = kPositionLength;
    }
  }
}

// A batch sent to the client's socket, then taken from it (the timed part). false when a
// datagram was lost or not applied: the figures would not mean what they say.
bool ThroughSocket(bool sealed, const SocketAddress& client, Rate* rate) {
  static Batch batch;
  MakeBatch(sealed, &batch);
  for (int i = 1; i <= kMembers; ++i) {
    const std::size_t length = static_cast<std::size_t>(batch.length[i]);
    if (NetSendToAddress(members[batch.from[i]].socket, batch.data[i], length, client.address, client.port) < 0)
      return false;
  }
  SealedOnly(sealed);
  const long long before = Applied;
  int taken = 0;
  const int64_t start = QueryCounter();
  // As the link thread takes them: TakeWaitingDatagrams, call after call while any wait, each
  // one PeerTable::ReceiveDatagram.
  while (taken < kMembers) {
    const int64_t limit = QueryCounter() + frequency * kIntakeMicroseconds / 1000000;
    int inCall = 0;
    while (inCall < kDatagramsPerCall && NetDatagramWaiting(link.socket)) {
      now += 3;
      table.ReceiveDatagram();
      ++inCall;
      if (QueryCounter() >= limit) break;
    }
    if (inCall == 0) break;
    taken += inCall;
  }
  rate->counts += QueryCounter() - start;
  rate->datagrams += Applied - before;
  return Applied - before == kMembers;
}

// The same batch handed over in memory: the cost of counting, opening and applying alone.
bool InMemory(bool sealed, Rate* rate) {
  static Batch batch;
  MakeBatch(sealed, &batch);
  SealedOnly(sealed);
  const long long before = Applied;
  const int64_t start = QueryCounter();
  for (int i = 1; i <= kMembers; ++i) {
    now += 3;
    table.TakeDatagram(batch.data[i], batch.length[i], members[batch.from[i]].address);
  }
  rate->counts += QueryCounter() - start;
  rate->datagrams += Applied - before;
  return Applied - before == kMembers;
}

// The client's socket on 127.0.0.1 and each member's on 127.0.0.(1 + its slot), all in the
// table with agreed keys both ways.
bool FillRoom(SocketAddress* client) {
  uint32_t loopback = 0;
  NetParseDotted("127.0.0.1", &loopback);
  if (link.Open() != 1 || !NetBind(link.socket, loopback, 0)) return false;
  *client = {NetAddressFromV4(loopback), NetLocalPort(link.socket)};
  table.datagramLink = &link;
  table.line = line;
  table.Clear();
  std::snprintf(table.self.nick, sizeof table.self.nick, "me");
  if (!MakeSealIdentity(&table.ownSeal)) return false;
  for (int i = 1; i <= kMembers; ++i) {
    Member& m = members[i];
    char address[32], nick[32];
    std::snprintf(address, sizeof address, "127.0.0.%d", 1 + i);
    std::snprintf(nick, sizeof nick, "member%03d", i);
    uint32_t own = 0;
    m.socket = NetOpenDatagram();
    if (!NetParseDotted(address, &own) || m.socket == kNoSocket || !NetBind(m.socket, own, 0)) return false;
    m.address = {NetAddressFromV4(own), NetLocalPort(m.socket)};
    if (table.AddPeer(nick, false) != i || !MakeSealIdentity(&m.identity) ||
        !table.AgreeKeys(i, m.identity.publicKey, Fast) ||
        !AgreeSeal(m.identity, nick, table.ownSeal.publicKey, "me", &m.pair, Fast))
      return false;
    table.slots[i].address = m.address;
    table.slots[i].active = 1;
  }
  return true;
}

void CloseRoom() {
  for (int i = 1; i <= kMembers; ++i) NetClose(members[i].socket);
  link.Close();
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 6.0;
  senders = argc > 2 ? std::atoi(argv[2]) : kMembers;
  const bool chacha = argc > 3 && std::strcmp(argv[3], "chacha") == 0;
  if (!(seconds > 0) || senders < 1 || senders > kMembers || (argc > 3 && !chacha)) {
    std::fprintf(stderr, "usage: qivra_intake_bench [SECONDS [SENDERS [chacha]]]  (senders 1..%d)\n", kMembers);
    return 2;
  }
  Fast = !chacha && SealFastCipherReady();  // what two such machines agree on
  TestClocks.ticks = BenchTicks;  // the intake's counts run on the batches' own clock
  PeerChangeHook = CountApplied;
  SocketAddress client;
  if (!FillRoom(&client)) {
    std::fprintf(stderr, "qivra_intake_bench: no sockets on 127.0.0.0/8, or no keys\n");
    CloseRoom();
    return 1;
  }
  QueryCounterFrequency(&frequency);

  // The four ways take turns a batch at a time, so that a machine whose load changes during
  // the run changes them alike.
  Rate warmUp, plainSocket, sealedSocket, plainMemory, sealedMemory;
  bool whole = true;
  for (int i = 0; i < 20; ++i) whole &= ThroughSocket(i % 2 == 0, client, &warmUp);
  const int64_t end = QueryCounter() + static_cast<int64_t>(seconds * static_cast<double>(frequency));
  while (QueryCounter() < end) {
    whole &= ThroughSocket(false, client, &plainSocket);
    whole &= ThroughSocket(true, client, &sealedSocket);
    whole &= InMemory(false, &plainMemory);
    whole &= InMemory(true, &sealedMemory);
  }
  CloseRoom();
  if (!whole) {
    std::fprintf(stderr, "qivra_intake_bench: datagrams were lost or not applied: no figures\n");
    return 1;
  }
  const double ps = plainSocket.PerSecond(frequency), ss = sealedSocket.PerSecond(frequency);
  const double pm = plainMemory.PerSecond(frequency), sm = sealedMemory.PerSecond(frequency);
  std::printf("%d members at addresses of their own, positions from %d of them in turn; %lld of each way; "
              "sealed with %s\n", kMembers, senders, plainSocket.datagrams,
              Fast ? "AES-256-GCM" : "ChaCha20-Poly1305");
  std::printf("from the socket (receive, count, open, check, apply): plain %9.0f/s  sealed %9.0f/s  "
              "ratio sealed / plain %.2f\n", ps, ss, ss / ps);
  std::printf("in memory (count, open, check, apply):               plain %9.0f/s  sealed %9.0f/s  "
              "ratio sealed / plain %.2f\n", pm, sm, sm / pm);
  return 0;
}
