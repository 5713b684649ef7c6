// Frame timing: the milliseconds one pass of the main loop took.
#pragma once
#include <cstdint>

struct FrameTimerRecord {
  int64_t counterFrequency;
  float secondsPerCount;
  uint32_t lastTickReading;
  bool useHighResolution;
  int64_t lastCounterReading;
};
extern FrameTimerRecord FrameTimer;
void StartFrameTimer();
float ReadElapsedMs();
