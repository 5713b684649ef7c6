// The stamps of the PING requests sent to other clients, to tell their round trip.
#include "irc/words/ctcp_ping.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/ticks.h"

namespace {

constexpr int kKeptStamps = 8;

// The window's thread stamps a request; the link thread finds the reply's. A reply that
// echoes no stamp of ours (another client's own format, an old one) is shown as it came.
struct PingStamps {
  std::mutex lock;
  uint32_t sent[kKeptStamps];
  bool kept[kKeptStamps];
  int next;
};
PingStamps Pings;

}  // namespace

void StampCtcpPing(char* out, std::size_t size) {
  const uint32_t now = TickCountMs();
  {
    std::lock_guard<std::mutex> hold(Pings.lock);
    Pings.sent[Pings.next] = now;
    Pings.kept[Pings.next] = true;
    Pings.next = (Pings.next + 1) % kKeptStamps;
  }
  std::snprintf(out, size, "PING %u", static_cast<unsigned>(now));
}

bool TakeCtcpPingRoundTrip(const char* argument, uint32_t* elapsedMs) {
  const std::size_t length = std::strlen(argument);
  if (length == 0 || length > 10 || std::strspn(argument, "0123456789") != length) return false;
  const unsigned long long value = std::strtoull(argument, nullptr, 10);
  std::lock_guard<std::mutex> hold(Pings.lock);
  for (int i = 0; i < kKeptStamps; ++i) {
    if (!Pings.kept[i] || Pings.sent[i] != value) continue;
    Pings.kept[i] = false;
    *elapsedMs = TickCountMs() - Pings.sent[i];  // the tick count wraps: an unsigned difference
    return true;
  }
  return false;
}
