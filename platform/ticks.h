// Clocks: the wrapping millisecond tick count, the high-resolution counter and the local time.
#pragma once
#include <cstddef>
#include <cstdint>

uint32_t TickCountMs();            // milliseconds, wraps at 2^32
bool QueryCounterFrequency(int64_t* frequency);  // false: no high-resolution counter
int64_t QueryCounter();
void SleepMs(unsigned ms);
void SleepMicroseconds(unsigned us);

// Clocks a test puts in place of the platform's; null: the platform's own.
struct TestClocksRecord {
  uint32_t (*ticks)();    // when set, TickCountMs returns this function's value
  int64_t (*counter)();   // when set, QueryCounter returns this function's value
};
extern TestClocksRecord TestClocks;

// The local wall-clock time: "HH:MM" for console time stamps, a full date and time
// ("Mon Dec 07 13:05:22 2026") for answers to other clients, and a moment given in seconds
// since 1970 as "2026-12-07 13:05". Always NUL-terminated.
void LocalClockText(char* out, std::size_t size);
void LocalDateTimeText(char* out, std::size_t size);
void LocalMomentText(long long secondsSince1970, char* out, std::size_t size);
// The local date and time to the second, "2026-12-07 13:05:22", as log lines begin.
void LocalStampText(char* out, std::size_t size);
