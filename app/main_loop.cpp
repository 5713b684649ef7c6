// The run of frames: the message pump and the idle pass that draws, reads keys, moves and takes the link's events.
#include <cstdio>
#include <cstring>

#include "core/app_state.h"
#include "core/frame_timer.h"
#include "app/shell.h"
#include "app/command_interpreter.h"
#include "irc/peer_reach.h"
#include "platform/gui_window.h"
#include "platform/key_state.h"
#include "scene/scene.h"

uint32_t lastPositionSend = 0;

namespace {

enum PassEnd { PassGoesOn, PassEndsRun, PassShutDown };

// Escape and F1 act once per press, and only while the window is active.
bool EscapeAsked() { return TakeKeyPress(PressEscape) && AppState.isActive; }
bool FullScreenAsked() { return TakeKeyPress(PressF1) && AppState.isActive; }

// F1: the scene and window are made again in a new context, windowed or full
// screen; the connection stays up.
bool ToggleFullScreen() {
  char typed[256];  // what is typed but not yet sent moves to the new input line
  GetWidgetText(AppState.inputLine, typed, sizeof typed);
  ReleaseSceneResources();
  DestroyMainWindow();
  AppState.isFullScreen = !AppState.isFullScreen;
  if (!CreateMainWindow(kProgramTitle, 640, 480, 16, AppState.isFullScreen)) return false;
  SetInputText(AppState.inputLine, typed, static_cast<int>(std::strlen(typed)));
  ShowTopWindow(AppState.mainWindow);
  return true;
}

// A failed remake leaves no window to go on with, so the program shuts down; it
// disconnects first, which also ends the link thread: a thread still running when the
// program exits aborts it.
PassEnd ToggleFullScreenOrShutDown() {
  if (ToggleFullScreen()) return PassGoesOn;
  ProcessInputLine("/disconnect");
  return PassShutDown;
}

// Step 9: the link thread's events (connected, registered, lines to show, the link's end),
// then in a channel the position datagram when due, the presence upkeep and frame timing.
void RunLinkTurn() {
  TakeLinkEvents();
  if (AppState.connectionState != InChannel) return;
  SendPositionIfDue(&lastPositionSend);
  ServicePresence();  // hellos, keep-alives and key blocks that are due
  AppState.frameScale = ReadElapsedMs() / 10.0f;
  AppState.sceneClock += AppState.frameScale;
}

PassEnd IdlePass() {
  ReadElapsedMs();  // restarts the interval: frameScale measures this pass's own work
  MakeViewCurrent(AppState.mainWindow);
  bool leaving = AppState.isActive && !RenderFrame();
  PollKeyboard();  // one snapshot of the keyboard for the walking keys of this pass
  if (!leaving && EscapeAsked()) leaving = true;
  if (!leaving) {
    SwapViewBuffers(AppState.mainWindow);
    if (AppState.isActive) WaitForDisplayRefresh();  // inside the timed pass, as a waiting swap is
    // Enter: every line of the input line (and of a paste's rest) goes to the interpreter.
    if (TakeKeyPress(PressEnter)) SubmitInputLine();
    if (FullScreenAsked() && ToggleFullScreenOrShutDown() == PassShutDown) return PassShutDown;
    if (AppState.connectionState == InChannel && AppState.isActive) UpdateMovement();
    ClampToWorld();
    WatchConnection();  // a due try to reconnect, a "/server" that waited too long
  } else {
    ProcessInputLine("/disconnect");
  }
  RunLinkTurn();
  return leaving ? PassEndsRun : PassGoesOn;
}

}  // namespace

RunEnd RunFrames() {
  for (;;) {
    PumpResult message = PumpOneMessage();
    if (message == PumpQuit) return RunBackToDialog;
    if (message == PumpDispatched) continue;
    if (!AppState.isActive) RestWhileInactive();
    PassEnd end = IdlePass();
    if (end == PassEndsRun) return RunBackToDialog;
    if (end == PassShutDown) return RunShutDown;
  }
}
