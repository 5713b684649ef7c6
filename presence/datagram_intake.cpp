// Datagram intake: every waiting datagram per call within a bound, sources and members over
// their rate ignored for a while, sealed datagrams proven before they count, and position
// datagrams with impossible values dropped.
#include "presence/datagram_intake.h"

#include <cmath>
#include <cstring>

#include "platform/net.h"
#include "platform/ticks.h"
#include "presence/datagram_link.h"
#include "presence/peer_table.h"
#include "presence/sealed_datagram.h"

static_assert(kIntakeMembers == kPeerSlots, "a count for every member slot");

AcceptedArea PositionArea = kWidestPositionArea;

namespace {

// One sender's count: datagrams in the current one-second window, and whether it is ignored.
struct RateCount {
  uint32_t windowStart;   // tick count when its current one-second window began
  uint32_t inWindow;      // datagrams in that window
  uint32_t quietUntil;    // tick count until which it is ignored
  bool ignored;
};

// Sources by address (a flood may change its port at will). A fixed table: when it is
// full, the source heard from longest ago makes room, unless it is being ignored.
struct SourceCount {
  NetAddress address;
  RateCount rate;
  bool used;
};
constexpr int kSources = 64;

// Every sender's count, the link thread's; a new connection starts them afresh.
struct IntakeRecord {
  SourceCount plainSources[kSources];    // plain datagrams (AdmitSource)
  SourceCount unknownSources[kSources];  // datagrams that prove no member (AdmitUnknown)
  RateCount members[kIntakeMembers];     // sealed datagrams that opened, by member
};
IntakeRecord Intake;

bool Before(uint32_t now, uint32_t moment) { return moment - now - 1 < 0x80000000u; }

SourceCount* FindSource(SourceCount* sources, const NetAddress& address, uint32_t now) {
  SourceCount* room = nullptr;
  for (int i = 0; i < kSources; ++i) {
    SourceCount& s = sources[i];
    if (s.used && s.address == address) return &s;
    if (s.used && s.rate.ignored && Before(now, s.rate.quietUntil)) continue;  // keeps ignoring its flood
    if (!room || (room->used && (!s.used || s.rate.windowStart - room->rate.windowStart > 0x80000000u)))
      room = &s;
  }
  if (!room) return nullptr;  // every entry is ignoring a flood: nothing new is counted
  std::memset(room, 0, sizeof *room);
  room->used = true;
  room->address = address;
  room->rate.windowStart = now;
  return room;
}

bool WithinRate(RateCount* s, uint32_t now) {
  if (s->ignored) {
    if (Before(now, s->quietUntil)) return false;
    s->ignored = false;
    s->windowStart = now;
    s->inWindow = 0;
  }
  if (now - s->windowStart >= 1000) {
    s->windowStart = now;
    s->inWindow = 0;
  }
  if (++s->inWindow <= static_cast<uint32_t>(kSourceDatagramsPerSecond)) return true;
  s->ignored = true;
  s->quietUntil = now + kSourceQuietMs;
  return false;
}

bool AddressWithinRate(SourceCount* sources, const NetAddress& address, uint32_t now) {
  SourceCount* s = FindSource(sources, address, now);
  return !s || WithinRate(&s->rate, now);
}

}  // namespace

bool AdmitSource(const SocketAddress& source, uint32_t nowMs) {

  return AddressWithinRate(Intake.plainSources, source.address, nowMs);
}

bool AdmitUnknown(const SocketAddress& source, uint32_t nowMs) {
  return AddressWithinRate(Intake.unknownSources, source.address, nowMs);
}

bool AdmitMember(int memberIndex, uint32_t nowMs) {
  if (memberIndex < 1 || memberIndex >= kIntakeMembers) return false;
  return WithinRate(&Intake.members[memberIndex], nowMs);
}

void ForgetMemberIntake(int memberIndex) {
  if (memberIndex < 1 || memberIndex >= kIntakeMembers) return;
  std::memset(&Intake.members[memberIndex], 0, sizeof Intake.members[memberIndex]);
}

int TakeSealedDatagram(SealPair* pair, int memberIndex, const char* data, int length,
                       const SocketAddress& source, uint32_t nowMs, char* inner, int innerCapacity) {
  SealHeader header;
  const bool readable = ReadSealHeader(data, length, &header) == 1;
  if (!readable || !pair || !SealedByPair(*pair, header)) {
    AdmitUnknown(source, nowMs);  // proves nobody: counted by its address alone
    return readable ? static_cast<int>(SealedFromNobody) : static_cast<int>(SealMalformed);
  }
  // A forgery or a repeat is dropped here, before it counts against the member it names.
  const int opened = OpenSealedDatagram(pair, data, length, inner, innerCapacity);
  if (opened < 1) return opened;
  if (!AdmitMember(memberIndex, nowMs)) {
    std::memset(inner, 0, static_cast<std::size_t>(opened));
    return SealedOverRate;
  }
  return opened;
}

bool IsSanePosition(const float pose[5]) {
  for (int i = 0; i < 5; ++i)
    if (!std::isfinite(pose[i])) return false;
  for (int i = 2; i < 5; ++i)
    if (std::fabs(pose[i]) > kLargestAngle) return false;
  const AcceptedArea& a = PositionArea;
  return pose[0] >= a.minX && pose[0] <= a.maxX && pose[1] >= a.minZ && pose[1] <= a.maxZ;
}

void SetPositionAreaAround(float minX, float maxX, float minZ, float maxZ) {
  // Every client keeps its user a quarter unit inside the room's walls (scene/movement.h), the
  // older ones too, in the same room: a position outside them is nobody's. A unit of margin
  // covers a step ahead of the clamp and the two decimals a relayed move carries.
  const float margin = 1.0f;
  PositionArea = {minX - margin, maxX + margin, minZ - margin, maxZ + margin};
}

void ResetDatagramIntake() {

  std::memset(&Intake, 0, sizeof Intake);
}

int TakeWaitingDatagrams(PeerTable& table) {
  int64_t frequency = 0;
  QueryCounterFrequency(&frequency);
  const int64_t limit = QueryCounter() + frequency * kIntakeMicroseconds / 1000000;
  int taken = 0;
  // Readiness is asked first: ReceiveDatagram's own result does not tell an empty socket
  // from a datagram it refused.
  while (taken < kDatagramsPerCall && NetDatagramWaiting(table.datagramLink->socket)) {
    table.ReceiveDatagram();
    ++taken;
    if (QueryCounter() >= limit) break;
  }
  return taken;
}
