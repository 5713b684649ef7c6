// The program entry: one copy per user, the settings, the window, the connection cycle, the exit.
#include "core/app_state.h"
#include "core/counted_alloc.h"
#include "app/shell.h"
#include "app/command_interpreter.h"
#include "console/settings.h"
#include "platform/data_path.h"
#include "platform/gui_window.h"
#include "platform/key_state.h"
#include "platform/message_box.h"
#include "platform/single_instance.h"
#include "platform/ticks.h"

void WireSceneKeys();  // key_wiring.cpp

int main(int argc, char** argv) {
  // --help and --version answer before anything needs a display or the lock.
  int optionsResult = HandleCommandLine(argc, argv, stdout, stderr);
  if (optionsResult >= 0) return optionsResult;
  lastPositionSend = TickCountMs();

  // A second copy brings the first one's window forward and ends.
  if (AcquireInstanceLock(kProgramTitle) == LockHeldElsewhere) {
    BringRunningCopyForward(kProgramTitle);
    return 0;
  }

  AppState.isFullScreen = false;
  ChooseDataFolder();
  LoadSettings();
  WireSceneKeys();

  if (!CreateMainWindow(kProgramTitle, 640, 480, 16, AppState.isFullScreen)) return 0;
  ReportMissingFiles();

  for (;;) {
    ProcessInputLine("/disconnect");
    AppState.connectionState = Offline;
    HideTopWindow(AppState.mainWindow);
    if (ShowConnectionDialog() == 0) break;
    ShowTopWindow(AppState.mainWindow);
    ForgetKeyPresses();  // a press left over from the last run must not act in this one
    ProcessInputLine("/connect");
    if (RunFrames() == RunShutDown) break;  // a failed full-screen toggle
  }

  ReleaseSceneResources();
  DestroyMainWindow();
  char j[256];
  if (FormatLeakReport(liveBlocks, j, sizeof j)) ShowMessageBox(j, "Memory Leak!", BoxIconInformation, BoxOk);
  ReleaseInstanceLock();
  return 0;
}
