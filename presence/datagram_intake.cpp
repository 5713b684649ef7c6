// Datagram intake: every waiting datagram per call within a bound, sources over their rate
// ignored for a while, and position datagrams with impossible values dropped.
#include "presence/datagram_intake.h"

#include <cmath>
#include <cstring>

#include "platform/net.h"
#include "platform/ticks.h"
#include "presence/datagram_link.h"
#include "presence/peer_table.h"

AcceptedArea PositionArea = kWidestPositionArea;

namespace {

// Sources by address (a flood may change its port at will). A fixed table: when it is
// full, the source heard from longest ago makes room, unless it is being ignored.
struct SourceCount {
  NetAddress address;
  uint32_t windowStart;   // tick count when its current one-second window began
  uint32_t inWindow;      // datagrams in that window
  uint32_t quietUntil;    // tick count until which it is ignored
  bool used;
  bool ignored;
};
constexpr int kSources = 64;
SourceCount sources[kSources];

bool Before(uint32_t now, uint32_t moment) { return moment - now - 1 < 0x80000000u; }

SourceCount* FindSource(const NetAddress& address, uint32_t now) {
  SourceCount* room = nullptr;
  for (SourceCount& s : sources) {
    if (s.used && s.address == address) return &s;
    if (s.used && s.ignored && Before(now, s.quietUntil)) continue;  // keeps ignoring its flood
    if (!room || (room->used && (!s.used || s.windowStart - room->windowStart > 0x80000000u)))
      room = &s;
  }
  if (!room) return nullptr;  // every entry is ignoring a flood: nothing new is counted
  std::memset(room, 0, sizeof *room);
  room->used = true;
  room->address = address;
  room->windowStart = now;
  return room;
}

bool WithinRate(const NetAddress& address, uint32_t now) {
  SourceCount* s = FindSource(address, now);
  if (!s) return true;
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

}  // namespace

bool AdmitSource(const SocketAddress& source, uint32_t nowMs) {
  return WithinRate(source.address, nowMs);
}

bool IsSanePosition(const float pose[5]) {
  for (int i = 0; i < 5; ++i)
    if (!std::isfinite(pose[i])) return false;
  const AcceptedArea& a = PositionArea;
  return pose[0] >= a.minX && pose[0] <= a.maxX && pose[1] >= a.minZ && pose[1] <= a.maxZ;
}

void SetPositionAreaAround(float minX, float maxX, float minZ, float maxZ) {
  // A peer in a room of another size, or a step ahead of its own clamp, stays well inside.
  float margin = 100.0f + std::fmax(maxX - minX, maxZ - minZ);
  PositionArea = {minX - margin, maxX + margin, minZ - margin, maxZ + margin};
}

void ResetDatagramIntake() {
  std::memset(sources, 0, sizeof sources);
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
