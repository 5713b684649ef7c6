// Clocks on the steady clock (the wrapping millisecond count, the fine counter) and the local time.
#include "platform/ticks.h"

#include <chrono>
#include <ctime>
#include <thread>

TestClocksRecord TestClocks;

static int64_t SteadyNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

uint32_t TickCountMs() {
  if (TestClocks.ticks) return TestClocks.ticks();
  return static_cast<uint32_t>(SteadyNanoseconds() / 1000000);
}

bool QueryCounterFrequency(int64_t* frequency) {
  *frequency = 1000000000;
  return true;
}

int64_t QueryCounter() {
  if (TestClocks.counter) return TestClocks.counter();
  return SteadyNanoseconds();
}

void SleepMs(unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
void SleepMicroseconds(unsigned us) { std::this_thread::sleep_for(std::chrono::microseconds(us)); }

static void FormatLocalTime(std::time_t moment, const char* format, char* out, std::size_t size) {
  if (!out || size == 0) return;
  std::tm local;
  if (!localtime_r(&moment, &local) || std::strftime(out, size, format, &local) == 0) out[0] = '\0';
}

void LocalClockText(char* out, std::size_t size) { FormatLocalTime(std::time(nullptr), "%H:%M", out, size); }

void LocalDateTimeText(char* out, std::size_t size) {
  FormatLocalTime(std::time(nullptr), "%a %b %d %H:%M:%S %Y", out, size);
}

void LocalMomentText(long long secondsSince1970, char* out, std::size_t size) {
  FormatLocalTime(static_cast<std::time_t>(secondsSince1970), "%Y-%m-%d %H:%M", out, size);
}

void LocalStampText(char* out, std::size_t size) {
  FormatLocalTime(std::time(nullptr), "%Y-%m-%d %H:%M:%S", out, size);
}
