// Clocks: the wrapping millisecond tick count and the high-resolution counter.
#pragma once
#include <cstdint>

uint32_t TickCountMs();            // milliseconds, wraps at 2^32
bool QueryCounterFrequency(int64_t* frequency);  // false: no high-resolution counter
int64_t QueryCounter();
void SleepMs(unsigned ms);
void SleepMicroseconds(unsigned us);

// Test hook: when set, TickCountMs returns this function's value.
extern uint32_t (*TickSourceOverride)();
// Test hook: when set, QueryCounter returns this function's value.
extern int64_t (*CounterSourceOverride)();
