// The counters already taken from one sender: a sliding window of the latest 64, so that a
// datagram repeated, or older than the window, is refused while late ones within it are not.
#pragma once
#include <cstdint>

constexpr int kReplayWindow = 64;

struct ReplayWindow {
  uint64_t highest;  // the largest counter taken; 0 before any (counter 0 is never fresh)
  uint64_t taken;    // bit i: counter highest - i was taken
};

// An empty window: every counter from 1 on is fresh.
void ResetReplayWindow(ReplayWindow* window);
// Whether counter was neither taken nor has fallen out of the window.
bool CounterFresh(const ReplayWindow& window, uint64_t counter);
// Marks a fresh counter taken; the window moves on when it is the largest yet.
void TakeCounter(ReplayWindow* window, uint64_t counter);
