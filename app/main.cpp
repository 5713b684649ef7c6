// The program entry: one copy per user, the settings, the window, the connection cycle, the exit.
#include <cstdio>

#include "core/app_state.h"
#include "core/counted_alloc.h"
#include "app/shell.h"
#include "app/arrival_watch.h"
#include "app/command_interpreter.h"
#include "console/chat_log.h"
#include "console/console_log.h"
#include "console/settings.h"
#include "irc/session.h"
#include "platform/data_path.h"
#include "platform/gui_window.h"
#include "platform/key_state.h"
#include "platform/message_box.h"
#include "platform/single_instance.h"
#include "platform/stop_signals.h"
#include "platform/ticks.h"
#include "scene/speech.h"

void WireSceneKeys();  // key_wiring.cpp

namespace {

// The X server went away (logout) or failed: Exit's way out without the window, which can be
// neither drawn nor destroyed any more. The platform then ends the process.
void LeaveWithoutWindow() {
  ConsolePanelHooks.showRows = nullptr;  // the panel lives on the display
  ProcessInputLine("/disconnect");  // the link thread ends after the QUIT
  SettleSession();                  // and the router's mapping goes
  CloseChatLogs();
  ReleaseInstanceLock();
}

}  // namespace

int main(int argc, char** argv) {
  // --help and --version answer before anything needs a display or the lock.
  int optionsResult = HandleCommandLine(argc, argv, stdout, stderr);
  if (optionsResult >= 0) return optionsResult;
  lastPositionSend = TickCountMs();

  // Everything after this point needs a desktop; without one there is nothing to show.
  if (!OpenDisplay()) {
    std::fputs("qivra: cannot open the display (DISPLAY is not set or the X server refused): "
               "QIVRA needs a desktop.\n",
               stderr);
    return 1;
  }
  // From here on SIGTERM, SIGINT and SIGHUP end the program as Exit does (QUIT, the router's
  // mapping removed); before, their default ends it at once, with nothing to undo.
  CatchStopSignals();
  SetEndWithoutWindowHandler(LeaveWithoutWindow);

  // A second copy brings the first one's window forward and ends.
  if (AcquireInstanceLock(kProgramTitle) == LockHeldElsewhere) {
    BringRunningCopyForward(kMainWindowClass);
    return 0;
  }

  AppState.isFullScreen = false;
  ChooseDataFolder();
  LoadSettings();
  StartChatLogs();
  LeaveRoom = EndRunAfterLine;
  WireSceneKeys();
  SceneTimeMs = TickCountMs;  // speech bubbles live and fade by the clock

  if (!CreateMainWindow(kProgramTitle, LoadWindowPlace(), 16, AppState.isFullScreen)) return 0;
  ReportMissingFiles();

  for (;;) {
    ProcessInputLine("/disconnect");
    AppState.connectionState = Offline;
    HideTopWindow(AppState.mainWindow);
    if (ShowConnectionDialog() == 0) break;
    ProcessInputLine("/connect");  // the link starts at once, while the window comes up
    ShowTopWindow(AppState.mainWindow);
    ForgetKeyPresses();  // a press left over from the last run must not act in this one
    if (RunFrames() == RunShutDown) break;  // a failed full-screen toggle
  }

  SettleSession();  // the router's mapping is removed before the program ends
  CloseChatLogs();
  ReleaseSceneResources();
  DestroyMainWindow();
  char j[256];
  if (FormatLeakReport(liveBlocks, j, sizeof j)) ShowMessageBox(j, "Memory Leak!", BoxIconInformation, BoxOk);
  ReleaseInstanceLock();
  return 0;
}
