// The sliding window of counters taken from one sender.
#include "presence/replay_window.h"

void ResetReplayWindow(ReplayWindow* window) {
  window->highest = 0;
  window->taken = 1;  // counter 0 counts as taken: senders begin at 1
}

bool CounterFresh(const ReplayWindow& window, uint64_t counter) {
  if (counter > window.highest) return true;
  const uint64_t behind = window.highest - counter;
  if (behind >= static_cast<uint64_t>(kReplayWindow)) return false;
  return ((window.taken >> behind) & 1u) == 0;
}

void TakeCounter(ReplayWindow* window, uint64_t counter) {
  if (counter > window->highest) {
    const uint64_t ahead = counter - window->highest;
    // A shift by 64 or more is undefined, and would keep nothing anyway.
    window->taken = ahead >= static_cast<uint64_t>(kReplayWindow) ? 0 : window->taken << ahead;
    window->taken |= 1u;
    window->highest = counter;
    return;
  }
  const uint64_t behind = window->highest - counter;
  if (behind < static_cast<uint64_t>(kReplayWindow)) window->taken |= uint64_t{1} << behind;
}
