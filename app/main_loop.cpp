// The run of frames: the message pump and the idle pass that draws, reads keys, moves and takes the link's events.
#include <cstdio>
#include <cstring>

#include "core/app_state.h"
#include "core/frame_timer.h"
#include "app/commands.h"
#include "app/attention.h"
#include "app/shell.h"
#include "app/command_interpreter.h"
#include "app/escape_twice.h"
#include "irc/peer_reach.h"
#include "platform/gui_window.h"
#include "platform/key_state.h"
#include "platform/stop_signals.h"
#include "platform/ticks.h"
#include "scene/scene.h"

uint32_t lastPositionSend = 0;

namespace {

enum PassEnd { PassGoesOn, PassEndsRun, PassShutDown };

// "/quit reason" has left the server: the pass that ran the line ends the run.
bool runEndAsked = false;

// Escape, F1 and Home act once per press, and only while the window is active.
bool EscapeAsked() { return TakeKeyPress(PressEscape) && AppState.isActive; }
bool FullScreenAsked() { return TakeKeyPress(PressF1) && AppState.isActive; }
bool LevelAsked() { return TakeKeyPress(PressHome) && AppState.isActive; }

EscapeWarning escapeWarning;

// Escape leaves the room: in a channel only when pressed again while its warning stands, so a
// stray press never ends a chat; connecting or registering at once.
bool EscapeEndsRun() {
  const uint32_t now = TickCountMs();
  if (!EscapeAsked()) {
    if (EscapeWarningOver(&escapeWarning, now)) ShowEscapeNotice(false);
    return false;
  }
  const bool leaves = TakeEscape(&escapeWarning, AppState.connectionState == InChannel, now) == EscapeLeaves;
  ShowEscapeNotice(!leaves);
  return leaves;
}

// F1: the scene and window are made again in a new context, windowed or full
// screen; the connection stays up.
bool ToggleFullScreen() {
  char typed[256];  // what is typed but not yet sent moves to the new input line
  GetWidgetText(AppState.inputLine, typed, sizeof typed);
  KeepWindowPlace();  // the windowed place as it is now
  ReleaseSceneResources();
  DestroyMainWindow();
  AppState.isFullScreen = !AppState.isFullScreen;
  // Back from full screen the window comes where it was, as large as it was.
  if (!CreateMainWindow(kProgramTitle, WindowedPlace(), 16, AppState.isFullScreen)) return false;
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

// The link thread's events (connected, registered, lines to show, the link's end), then in a
// channel our moves handed to it and frame timing.
void RunLinkTurn() {
  TakeLinkEvents();
  if (AppState.connectionState != InChannel) return;
  ReportOwnMoves(&lastPositionSend);  // the link thread sends them, and keeps the presence up
  AppState.frameScale = ReadElapsedMs() / 10.0f;
  AppState.sceneClock += AppState.frameScale;
}

PassEnd IdlePass() {
  ReadElapsedMs();  // restarts the interval: frameScale measures this pass's own work
  MakeViewCurrent(AppState.mainWindow);
  TakeRoom();  // the session's newest view of the room
  const bool draws = TakeFrameDue();  // on screen, and changed or moving
  bool leaving = draws && !RenderFrame();
  PollKeyboard();  // one snapshot of the keyboard for the walking keys of this pass
  if (!leaving && EscapeEndsRun()) leaving = true;
  if (!leaving) {
    if (draws) {
      SwapViewBuffers(AppState.mainWindow);
      WaitForDisplayRefresh();  // inside the timed pass, as a waiting swap is
    }
    // Enter: every line of the input line (and of a paste's rest) goes to the interpreter.
    if (TakeKeyPress(PressEnter)) SubmitInputLine();
    if (runEndAsked) {
      runEndAsked = false;
      return PassEndsRun;
    }
    if (FullScreenAsked() && ToggleFullScreenOrShutDown() == PassShutDown) return PassShutDown;
    if (LevelAsked()) LevelView();
    if (AppState.connectionState == InChannel) UpdateMovement();  // keys only while active
    ClampToWorld();
    WatchConnection();  // a due try to reconnect, a "/server" that waited too long
  } else {
    ProcessInputLine("/disconnect");
  }
  RunLinkTurn();
  RefreshWindowTitle();
  KeepPrivateTarget();
  KeepWindowPlace();
  return leaving ? PassEndsRun : PassGoesOn;
}

}  // namespace

RunEnd RunFrames() {
  runEndAsked = false;
  if (escapeWarning.shown) ShowEscapeNotice(false);  // the last run ended by the close box
  escapeWarning = EscapeWarning{};
  for (;;) {
    if (StopRequested()) {  // SIGTERM, SIGINT, SIGHUP: leave as Exit does
      ProcessInputLine("/disconnect");
      return RunShutDown;
    }
    PumpResult message = PumpOneMessage();
    if (message == PumpQuit) return RunBackToDialog;
    if (message == PumpDispatched) continue;
    RestUntilSomethingHappens();  // at once when a frame is due
    PassEnd end = IdlePass();
    if (end == PassEndsRun) return RunBackToDialog;
    if (end == PassShutDown) return RunShutDown;
  }
}

void EndRunAfterLine() { runEndAsked = true; }
