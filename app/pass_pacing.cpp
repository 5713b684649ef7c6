// The pace of the main loop: frames no faster than the display shows them, drawn only when the
// view changed or something moves in it, and a loop with nothing to draw waits for events.
#include <atomic>

#include "app/shell.h"
#include "core/app_state.h"
#include "irc/receive_thread.h"
#include "irc/room_publish.h"
#include "platform/gui_window.h"
#include "platform/net.h"
#include "platform/stop_signals.h"
#include "platform/ticks.h"
#include "scene/scene.h"

namespace {

constexpr int kUnknownRefreshHz = 60;
constexpr int kLongestRestMs = 100;

// The loop's pace. The display's rate and the last frame's time are the window's thread's; the
// view's change is raised by any thread and taken by the pass that draws.
struct PacingRecord {
  PlatformWindow* rateOf;    // the window whose refresh rate was asked
  int refreshHz;
  int64_t lastFrameEnd;      // counter reading when the last paced frame was due
  std::atomic<bool> viewChanged;
  int viewWake;              // raised with viewChanged, for a loop at rest; made at start
};
PacingRecord Pacing = {nullptr, kUnknownRefreshHz, 0, {true}, NetOpenWakeSignal()};

// A frame is worth drawing: the view shows on screen and changed, or moves by itself.
bool FrameWanted() {
  return TopWindowOnScreen(AppState.mainWindow) && (Pacing.viewChanged.load() || SceneAnimating());
}

}  // namespace

void WaitForDisplayRefresh() {
  if (AppState.mainWindow != Pacing.rateOf) {  // asked once per window: it costs a round trip
    Pacing.rateOf = AppState.mainWindow;
    int hz = DisplayRefreshHz(Pacing.rateOf);
    Pacing.refreshHz = hz >= 20 && hz <= 1000 ? hz : kUnknownRefreshHz;
  }
  int64_t frequency = 0;
  QueryCounterFrequency(&frequency);
  const int64_t period = frequency / Pacing.refreshHz;
  const int64_t now = QueryCounter();
  const int64_t due = Pacing.lastFrameEnd + period;
  // A swap that waits for the display ends about when the frame is due: nothing to add.
  // One that does not would let the loop draw frames nobody sees.
  if (now >= due || due - now > period) {
    Pacing.lastFrameEnd = now;
    return;
  }
  SleepMicroseconds(static_cast<unsigned>((due - now) * 1000000 / frequency));
  Pacing.lastFrameEnd = due;
}

void MarkViewChanged() {
  Pacing.viewChanged.store(true);
  NetRaiseWakeSignal(Pacing.viewWake);
}

bool TakeFrameDue() {
  bool due = FrameWanted();
  Pacing.viewChanged.store(false);
  // The pass moves things and shows waiting lines after it has drawn: the next pass shows
  // where they stopped and who came or went.
  if (SceneAnimating() || PendingEventCount() > 0) Pacing.viewChanged.store(true);
  return due;
}

void RestUntilSomethingHappens() {
  // Every event of the link (a line for the console, the connect's end, the link's end) is
  // announced by the link thread's signal.
  int wake = PendingEventSignal();
  NetClearWakeSignal(wake);  // first clear, then look: what comes meanwhile raises them again
  NetClearWakeSignal(Pacing.viewWake);
  NetClearWakeSignal(RoomViewSignal());
  TakeRoom();  // a view that came before the signal was cleared marks the view changed
  if (PendingEventCount() > 0) return;
  if (FrameWanted()) return;
  // The bound keeps the timed duties of a pass going: hellos, keep-alives, reconnects.
  if (StopRequested()) return;
  const int watched[4] = {wake, Pacing.viewWake, RoomViewSignal(), StopSignalDescriptor()};
  WaitForWindowEvents(kLongestRestMs, watched, 4);
}
