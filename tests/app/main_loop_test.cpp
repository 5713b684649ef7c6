// The run of frames against a window, keyboard and scene of the test's own, with the real IRC
// client on a loopback server that never finishes registering: a failed F1, and the keys and
// the close box while the link thread connects or registers, end the run at once.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "app/command_interpreter.h"
#include "app/attention.h"
#include "app/shell.h"
#include "console/console_log.h"
#include "console/settings.h"
#include "irc/session.h"
#include "irc/receive_thread.h"
#include "platform/gui_window.h"
#include "platform/key_state.h"
#include "platform/ticks.h"
#include "scene/room_avatars.h"
#include "scene/scene.h"
#include "tests/irc/net_test_support.h"

namespace {

// What the stand-in window does: the pump's turn (1-based) on which the close box is
// clicked, the keys each keyboard snapshot (1-based) holds, and whether a remade window
// comes up. Each turn of the pump takes 100 ms of the wait's clock.
struct ShellScript {
  int closeClickOnTurn = 0;
  std::vector<std::set<HeldKey>> snapshots;
  bool remakeSucceeds = true;
  std::string typed;  // the input line's text until Enter takes it

  int pumpTurns = 0;
  int snapshotsTaken = 0;
  std::set<PressedKey> pressesTaken;  // of the current snapshot: a held key is one press
  int windowsMade = 0;
  bool quitPosted = false;
  uint32_t now = 0;
};
ShellScript Shell;

char windowToken;
PlatformWindow* const kWindow = reinterpret_cast<PlatformWindow*>(&windowToken);

uint32_t ScriptTicks() { return Shell.now; }

}  // namespace

// The window, keyboard and scene as the run of frames calls them.
bool CreateMainWindow(const char*, const WindowPlace&, int, bool) {
  ++Shell.windowsMade;
  if (Shell.remakeSucceeds) AppState.mainWindow = kWindow;
  return Shell.remakeSucceeds;
}
void DestroyMainWindow() { AppState.mainWindow = nullptr; }
void ReleaseSceneResources() {}
PumpResult PumpOneMessage() {
  ++Shell.pumpTurns;
  Shell.now += 100;
  if (Shell.quitPosted) {
    Shell.quitPosted = false;
    return PumpQuit;
  }
  if (Shell.pumpTurns == Shell.closeClickOnTurn) {  // the click is handled; the quit follows
    Shell.quitPosted = true;
    return PumpDispatched;
  }
  return PumpIdle;
}
void PostQuit() { Shell.quitPosted = true; }
void MakeViewCurrent(PlatformWindow*) {}
void WaitForDisplayRefresh() {}  // the pace of passes plays no part here
void RestUntilSomethingHappens() {}
bool TakeFrameDue() { return true; }  // every pass draws, as a moving scene does
void SwapViewBuffers(PlatformWindow*) {}
void ShowTopWindow(PlatformWindow*) {}
int GetWidgetText(PlatformWidget*, char* out, int maxCount) {
  std::snprintf(out, static_cast<std::size_t>(maxCount), "%s", Shell.typed.c_str());
  Shell.typed.clear();
  return static_cast<int>(std::string(out).size());
}
void SetWidgetText(PlatformWidget*, const char*) {}
void GetInputSelection(PlatformWidget*, int* from, int* to) { *from = *to = 0; }
void SetInputText(PlatformWidget*, const char*, int) {}
void PollKeyboard() {
  ++Shell.snapshotsTaken;
  Shell.pressesTaken.clear();
}
bool IsKeyHeld(HeldKey key) {
  std::size_t n = static_cast<std::size_t>(Shell.snapshotsTaken);
  return n >= 1 && n <= Shell.snapshots.size() && Shell.snapshots[n - 1].count(key) > 0;
}
bool TakeKeyPress(PressedKey key) {
  HeldKey held = key == PressEscape ? HeldEscape : key == PressEnter ? HeldEnter : key == PressF1 ? HeldF1 : HeldHome;
  if (!IsKeyHeld(held) || Shell.pressesTaken.count(key)) return false;
  Shell.pressesTaken.insert(key);
  return true;
}
bool RenderFrame() { return true; }
void UpdateMovement() {}
void ClampToWorld() {}
void ReportOwnMoves(uint32_t*) {}
void TakeRoom() {}
void SpawnExplosion(float, float, float) {}
void ShowSpeech(const char*, const char*, bool, uint32_t) {}
ConsoleMark MarkFor(int, const char*, const char*) { return MarkPlain; }
void RefreshWindowTitle() {}
void KeepInputTag() {}  // the input line's tag belongs to the window
void KeepConversations() {}  // and so do the conversation bar and its keys
void RememberSentLine(const char*) {}
void KeepWindowPlace() {}
const WindowPlace& WindowedPlace() { return kFirstWindowPlace; }
void LevelView() {}
void ShowEscapeNotice(bool) {}
void NoteArrivalEvent(const IrcEvent&) {}
RoomAvatarsRecord RoomAvatars;  // the room the scene shows: none here

namespace {

bool ConsoleHas(const std::string& text) {
  for (const auto& line : ConsoleLog.lines)
    if (text == line) return true;
  return false;
}

// Connected to a loopback server and registering, the window up and active, as after the
// dialog's Connect.
class RunOfFrames : public ::testing::Test {
 protected:
  void SetUp() override {
    Shell = ShellScript();
    ConsoleClear();
    AppState = AppStateRecord();
    AppState.isActive = true;
    AppState.mainWindow = kWindow;
    ASSERT_TRUE(server.Listen());
    std::snprintf(Settings.server, kSettingLength, "127.0.0.1");
    Settings.port = server.port;
    std::snprintf(Settings.nickname, kSettingLength, "me");
    std::snprintf(Settings.channel, kSettingLength, "#room");
    TestClocks.ticks = ScriptTicks;
    ProcessInputLine("/connect");
    ASSERT_TRUE(server.Accept());
    ASSERT_TRUE(ReceiveThreadRunning());
    for (int i = 0; i < 2000 && AppState.connectionState != Registering; ++i) {
      TakeLinkEvents();  // the connect's event, as a pass takes it
      SleepMs(1);
    }
    ASSERT_EQ(AppState.connectionState, Registering);
  }
  void TearDown() override {
    EndSession("Quit");  // a test that failed must not leave the thread to abort the exit
    TestClocks.ticks = nullptr;
  }
  // Types "/server" and the same server again and presses Enter in the first pass.
  void TypeServerChange() {
    Shell.typed = "/server 127.0.0.1";
    Shell.snapshots.insert(Shell.snapshots.begin(), {HeldEnter});
  }
  void ExpectDisconnectedWithoutWaitingOut() {
    EXPECT_EQ(AppState.connectionState, Offline);
    EXPECT_FALSE(ReceiveThreadRunning()) << "a receive thread still running at exit aborts the program";
    EXPECT_FALSE(ConsoleHas("Gave up waiting for 127.0.0.1 to register."))
        << "the wait ran to its end after " << Shell.pumpTurns << " turns of the window";
  }
  FakeServer server;
};

TEST_F(RunOfFrames, FailedFullScreenRemakeShutsDownDisconnected) {
  Shell.snapshots = {{HeldF1}};
  Shell.remakeSucceeds = false;
  EXPECT_EQ(RunFrames(), RunShutDown);
  EXPECT_EQ(Shell.windowsMade, 1);
  ExpectDisconnectedWithoutWaitingOut();
  // The QUIT ends what the server gets: after USER and NICK, or alone when the run ended
  // before the link thread had sent them.
  std::string line, last;
  while (server.NextLine(&line)) last = line;
  EXPECT_EQ(last, "QUIT :Quit\r\n");
}

TEST_F(RunOfFrames, TheCloseBoxEndsTheRunAtOnceWhileTheServerChangeConnects) {
  TypeServerChange();
  Shell.closeClickOnTurn = 2;  // turn 1 is the pass that runs the command
  EXPECT_EQ(RunFrames(), RunBackToDialog);
  EXPECT_EQ(Shell.pumpTurns, 3) << "the quit that follows the click ends the run";
  ProcessInputLine("/disconnect");  // what the program does on its way back to the dialog
  ExpectDisconnectedWithoutWaitingOut();
}

TEST_F(RunOfFrames, FullScreenAndEscapeActWhileRegistering) {
  Shell.snapshots = {{HeldF1}, {HeldEscape}};  // the server never ends the registration
  EXPECT_EQ(RunFrames(), RunBackToDialog);
  EXPECT_EQ(Shell.windowsMade, 1);
  EXPECT_EQ(Shell.pumpTurns, 2) << "each key acts in the pass that sees it";
  ExpectDisconnectedWithoutWaitingOut();
}

TEST_F(RunOfFrames, FailedFullScreenRemakeDuringTheServerChangeShutsDownDisconnected) {
  TypeServerChange();
  Shell.snapshots.push_back({HeldF1});
  Shell.remakeSucceeds = false;
  EXPECT_EQ(RunFrames(), RunShutDown);
  EXPECT_EQ(Shell.pumpTurns, 2);
  ExpectDisconnectedWithoutWaitingOut();
}

}  // namespace
