// The run of frames: the message pump and the idle pass that draws, reads keys, moves and dispatches.
#include <cstdio>
#include <cstring>

#include "core/app_state.h"
#include "core/frame_timer.h"
#include "app/added_commands.h"
#include "app/attention.h"
#include "app/shell.h"
#include "app/chat_log_choice.h"
#include "app/command_interpreter.h"
#include "console/console_log.h"
#include "console/settings.h"
#include "irc/irc_client.h"
#include "irc/link_watch.h"
#include "irc/peer_reach.h"
#include "platform/gui_window.h"
#include "platform/key_state.h"
#include "platform/stop_signals.h"
#include "scene/scene.h"

uint32_t lastPositionSend = 0;

namespace {

enum PassEnd { PassGoesOn, PassEndsRun, PassShutDown };

// How the keys or the window ended the run while "/server" waited, for the pass whose
// input line ran the command.
PassEnd waitEnd = PassGoesOn;

// Escape and F1 act once per press, and only while the window is active, in a pass of the
// run and during a wait (for "/server", or for a connect) alike.
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
// disconnects first, which also ends the receive thread: a thread still running when the
// program exits aborts it.
PassEnd ToggleFullScreenOrShutDown() {
  if (ToggleFullScreen()) return PassGoesOn;
  ProcessInputLine("/disconnect");
  return PassShutDown;
}

// Step 9: while registering, poll; once done, report and join. False ends the pass.
bool AdvanceRegistration() {
  if (AppState.connectionState != Registering) return true;
  int polled = Irc.PollRegistration();
  if (polled < 0) ReportFailedRegistration(ServerLinkEnd() == LinkClosedByServer);
  if (polled != 1) return false;
  RegistrationSucceeded();
  char szTemp[260];
  ConsoleAppend("Connected.");
  std::snprintf(szTemp, sizeof szTemp, "Joining channel \"%s\"...", Settings.channel);
  ConsoleAppend(szTemp);
  Irc.Join(Settings.channel);
  AppState.connectionState = InChannel;
  return true;
}

// Lines shown in one pass at most: a burst of chat is on the console within a few frames,
// and a flood of it cannot hold a frame for long.
constexpr int kShownLinesPerPass = 64;

// Step 10: position datagram when due, the dispatcher's events, frame timing.
void RunChannelTurn() {
  if (AppState.connectionState != InChannel) return;
  SendPositionIfDue(&lastPositionSend);
  ServicePresence();  // hellos, keep-alives and key blocks that are due
  static char rn[2048], rm[2048];
  static char t[kEventLineSize];
  for (int shown = 0; shown < kShownLinesPerPass; ++shown) {
    rn[0] = '\0';
    rm[0] = '\0';
    int code = Irc.Dispatch(rn, rm, 0);
    if (code == 0) break;
    if (!FormatEventLine(code, rn, rm, t, sizeof t)) continue;
    ConsoleAppendMarked(t, MarkFor(code, rn, rm));
    LogChatEvent(code, rn, rm, t);
  }
  AppState.frameScale = ReadElapsedMs() / 10.0f;
  AppState.sceneClock += AppState.frameScale;
}

// Runs a step that may wait (for "/server", or for a connect) and reports how a wait inside
// it ended the run (Escape, the close box, a failed F1), if it did.
PassEnd AfterWaits(void (*step)()) {
  waitEnd = PassGoesOn;
  step();
  PassEnd end = waitEnd;
  waitEnd = PassGoesOn;
  return end;
}

// A link that ended in a channel is reported and mended; a due try to reconnect is made.
void WatchConnection() {
  if (AppState.connectionState == InChannel && ServerLinkEnd() != LinkUp) {
    ReportLostLink();
  } else if (AppState.connectionState == Offline) {
    ReconnectIfDue();
  }
}

// The wait's counterpart of leaving a pass: disconnecting also ends the wait.
void EndRunDuringWait(PassEnd end) {
  waitEnd = end;
  ProcessInputLine("/disconnect");
}

PassEnd IdlePass() {
  ReadElapsedMs();  // restarts the interval: frameScale measures this pass's own work
  MakeViewCurrent(AppState.mainWindow);
  const bool draws = TakeFrameDue();  // on screen, and changed or moving
  bool leaving = draws && !RenderFrame();
  PollKeyboard();  // one snapshot of the keyboard for the walking keys of this pass
  if (!leaving && EscapeAsked()) leaving = true;
  if (!leaving) {
    if (draws) {
      SwapViewBuffers(AppState.mainWindow);
      WaitForDisplayRefresh();  // inside the timed pass, as a waiting swap is
    }
    // Enter: every line of the input line (and of a paste's rest) goes to the interpreter.
    if (TakeKeyPress(PressEnter)) {
      PassEnd end = AfterWaits(SubmitInputLine);
      if (end != PassGoesOn) return end;
    }
    if (FullScreenAsked() && ToggleFullScreenOrShutDown() == PassShutDown) return PassShutDown;
    if (AppState.connectionState == InChannel) UpdateMovement();  // keys only while active
    ClampToWorld();
    PassEnd end = AfterWaits(WatchConnection);
    if (end != PassGoesOn) return end;
  } else {
    ProcessInputLine("/disconnect");
  }
  if (AdvanceRegistration()) RunChannelTurn();
  RefreshWindowTitle();
  KeepPrivateTarget();
  return leaving ? PassEndsRun : PassGoesOn;
}

}  // namespace

RunEnd RunFrames() {
  // The "/connect" before the run may have been left during its wait.
  PassEnd left = waitEnd;
  waitEnd = PassGoesOn;
  if (left == PassEndsRun) return RunBackToDialog;
  if (left == PassShutDown) return RunShutDown;
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

// A turn of the window while "/server" waits: its events, a frame, and the keys a pass
// would act on. The close box, Escape and a failed frame end the run as in a pass; F1
// remakes the window, and a failed remake shuts down.
void PumpWhileWaiting() {
  if (!AppState.mainWindow) return;
  PumpResult message = PumpOneMessage();
  if (message == PumpDispatched) return;
  if (StopRequested()) {
    EndRunDuringWait(PassShutDown);
    return;
  }
  bool leaving = message == PumpQuit;
  if (!leaving) {
    MakeViewCurrent(AppState.mainWindow);
    leaving = AppState.isActive && !RenderFrame();
  }
  if (!leaving) {
    SwapViewBuffers(AppState.mainWindow);
    PollKeyboard();
    leaving = EscapeAsked();
  }
  if (leaving) {
    EndRunDuringWait(PassEndsRun);
  } else if (FullScreenAsked() && !ToggleFullScreen()) {
    EndRunDuringWait(PassShutDown);
  }
}

// "/quit reason" has left the server; the pass that ran the line ends the run, as Escape does.
void EndRunAfterLine() { waitEnd = PassEndsRun; }

bool KeepWaitingForConnect() {
  PumpWhileWaiting();
  return waitEnd == PassGoesOn;
}
