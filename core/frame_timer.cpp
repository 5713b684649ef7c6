// Measures the milliseconds a pass of the main loop took.
#include <cstring>

#include "core/frame_timer.h"
#include "platform/ticks.h"

FrameTimerRecord FrameTimer;

void StartFrameTimer() {
  std::memset(&FrameTimer, 0, sizeof FrameTimer);
  if (!QueryCounterFrequency(&FrameTimer.counterFrequency) || FrameTimer.counterFrequency <= 0) {
    FrameTimer.useHighResolution = false;
    FrameTimer.lastTickReading = TickCountMs();
    FrameTimer.secondsPerCount = 0.001f;
    FrameTimer.counterFrequency = 1000;
    return;
  }
  FrameTimer.lastCounterReading = QueryCounter();
  FrameTimer.useHighResolution = true;
  FrameTimer.secondsPerCount = static_cast<float>(1.0 / static_cast<double>(FrameTimer.counterFrequency));
}

float ReadElapsedMs() {
  if (FrameTimer.useHighResolution) {
    int64_t reading = QueryCounter();
    double ms = static_cast<double>(reading - FrameTimer.lastCounterReading) *
                static_cast<double>(FrameTimer.secondsPerCount) * 1000.0;
    FrameTimer.lastCounterReading = reading;
    return static_cast<float>(ms);
  }
  uint32_t difference = TickCountMs() - FrameTimer.lastTickReading;  // wraps correctly
  double ms = static_cast<double>(difference) * static_cast<double>(FrameTimer.secondsPerCount) * 1000.0;
  FrameTimer.lastTickReading = TickCountMs();
  return static_cast<float>(ms);
}
