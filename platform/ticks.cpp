// Clocks on the steady clock: the wrapping millisecond count and the fine counter.
#include "platform/ticks.h"

#include <chrono>
#include <thread>

uint32_t (*TickSourceOverride)() = nullptr;
int64_t (*CounterSourceOverride)() = nullptr;

static int64_t SteadyNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

uint32_t TickCountMs() {
  if (TickSourceOverride) return TickSourceOverride();
  return static_cast<uint32_t>(SteadyNanoseconds() / 1000000);
}

bool QueryCounterFrequency(int64_t* frequency) {
  *frequency = 1000000000;
  return true;
}

int64_t QueryCounter() {
  if (CounterSourceOverride) return CounterSourceOverride();
  return SteadyNanoseconds();
}

void SleepMs(unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
void SleepMicroseconds(unsigned us) { std::this_thread::sleep_for(std::chrono::microseconds(us)); }
