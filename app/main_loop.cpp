// The run of frames: the message pump and the idle pass that draws, reads keys, moves and dispatches.
#include <cstdio>

#include "core/app_state.h"
#include "core/frame_timer.h"
#include "app/shell.h"
#include "app/command_interpreter.h"
#include "console/console_log.h"
#include "console/settings.h"
#include "irc/irc_client.h"
#include "irc/peer_reach.h"
#include "platform/gui_window.h"
#include "platform/key_state.h"
#include "scene/scene.h"

uint32_t lastPositionSend = 0;

namespace {

enum PassEnd { PassGoesOn, PassEndsRun, PassShutDown };

// F1: the scene and window are made again in a new context, windowed or full
// screen; the connection stays up.
bool ToggleFullScreen() {
  ReleaseSceneResources();
  DestroyMainWindow();
  AppState.isFullScreen = !AppState.isFullScreen;
  if (!CreateMainWindow(kProgramTitle, 640, 480, 16, AppState.isFullScreen)) return false;
  ShowTopWindow(AppState.mainWindow);
  return true;
}

// Step 9: while registering, poll; once done, report and join. False ends the pass.
bool AdvanceRegistration() {
  if (AppState.connectionState != Registering) return true;
  if (Irc.PollRegistration() != 1) return false;
  char szTemp[260];
  ConsoleAppend("Connected.");
  std::snprintf(szTemp, sizeof szTemp, "Joining channel \"%s\"...", Settings.channel);
  ConsoleAppend(szTemp);
  Irc.Join(Settings.channel);
  AppState.connectionState = InChannel;
  return true;
}

// Step 10: position datagram when due, one dispatcher event, frame timing.
void RunChannelTurn() {
  if (AppState.connectionState != InChannel) return;
  SendPositionIfDue(&lastPositionSend);
  ServicePresence();  // hellos, keep-alives and key blocks that are due
  static char rn[2048], rm[2048];
  static char t[kEventLineSize];
  rn[0] = '\0';
  rm[0] = '\0';
  int code = Irc.Dispatch(rn, rm, 0);
  if (code != 0 && FormatEventLine(code, rn, rm, t, sizeof t)) ConsoleAppend(t);
  AppState.frameScale = ReadElapsedMs() / 10.0f;
  AppState.sceneClock += AppState.frameScale;
}

// Enter: the input line goes to the command interpreter and is emptied.
void SubmitInputLine() {
  char buf[256];
  GetWidgetText(AppState.inputLine, buf, sizeof buf);
  if (buf[0] == '\0') return;
  ProcessInputLine(buf);
  SetWidgetText(AppState.inputLine, "");
}

PassEnd IdlePass() {
  ReadElapsedMs();  // restarts the interval: frameScale measures this pass's own work
  MakeViewCurrent(AppState.mainWindow);
  bool leaving = AppState.isActive && !RenderFrame();
  PollKeyboard();  // one snapshot of the keyboard for every key test of this pass
  if (!leaving && IsKeyHeld(HeldEscape) && AppState.isActive) leaving = true;
  if (!leaving) {
    SwapViewBuffers(AppState.mainWindow);
    if (IsKeyHeld(HeldEnter)) SubmitInputLine();
    if (IsKeyHeld(HeldF1) && AppState.isActive && !ToggleFullScreen()) return PassShutDown;
    if (AppState.connectionState == InChannel && AppState.isActive) UpdateMovement();
    ClampToWorld();
  } else {
    ProcessInputLine("/disconnect");
  }
  if (AdvanceRegistration()) RunChannelTurn();
  return leaving ? PassEndsRun : PassGoesOn;
}

}  // namespace

RunEnd RunFrames() {
  for (;;) {
    PumpResult message = PumpOneMessage();
    if (message == PumpQuit) return RunBackToDialog;
    if (message == PumpDispatched) continue;
    PassEnd end = IdlePass();
    if (end == PassEndsRun) return RunBackToDialog;
    if (end == PassShutDown) return RunShutDown;
  }
}

void PumpWhileWaiting() {
  PumpResult message = PumpOneMessage();
  if (message == PumpQuit) PostQuit();  // keep it for the main loop
  if (message != PumpIdle || !AppState.mainWindow) return;
  MakeViewCurrent(AppState.mainWindow);
  if (AppState.isActive) RenderFrame();
  SwapViewBuffers(AppState.mainWindow);
}
