// Process-wide state shared by the shell, movement, rendering and commands.
#pragma once
#include <cstdint>

enum ConnectionState { Offline = 0, InChannel = 1, Registering = 2 };

struct PlatformWindow;  // the top-level window, its GL view and children (platform/)
struct PlatformWidget;  // a child control: the input line or the console panel

struct AppStateRecord {
  PlatformWindow* mainWindow;     // stands for the window, its device and rendering contexts
  PlatformWidget* inputLine;
  PlatformWidget* consolePanel;
  bool isActive;
  bool isFullScreen;
  bool viewHasFocus;
  bool positionDirty;
  ConnectionState connectionState;
  float frameScale;   // last timed pass in units of 10 ms
  float sceneClock;   // running sum of frameScale
};

extern AppStateRecord AppState;

// Counted allocation of the scene's long-lived arrays.
extern int32_t liveBlocks;
void* CountedAlloc(std::size_t size);
void CountedFree(void* block);

// Frame timing.
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
