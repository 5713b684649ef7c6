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

PlatformWindow* rateOf = nullptr;  // the window whose refresh rate was asked
int refreshHz = kUnknownRefreshHz;
int64_t lastFrameEnd = 0;  // counter reading when the last paced frame was due

// Set by whatever changes what the view shows (any thread); taken by the pass that draws.
std::atomic<bool> viewChanged{true};
int viewWake = NetOpenWakeSignal();  // raised with it, for a loop at rest

// A frame is worth drawing: the view shows on screen and changed, or moves by itself.
bool FrameWanted() {
  return TopWindowOnScreen(AppState.mainWindow) && (viewChanged.load() || SceneAnimating());
}

}  // namespace

void WaitForDisplayRefresh() {
  if (AppState.mainWindow != rateOf) {  // asked once per window: it costs a round trip
    rateOf = AppState.mainWindow;
    int hz = DisplayRefreshHz(rateOf);
    refreshHz = hz >= 20 && hz <= 1000 ? hz : kUnknownRefreshHz;
  }
  int64_t frequency = 0;
  QueryCounterFrequency(&frequency);
  const int64_t period = frequency / refreshHz;
  const int64_t now = QueryCounter();
  const int64_t due = lastFrameEnd + period;
  // A swap that waits for the display ends about when the frame is due: nothing to add.
  // One that does not would let the loop draw frames nobody sees.
  if (now >= due || due - now > period) {
    lastFrameEnd = now;
    return;
  }
  SleepMicroseconds(static_cast<unsigned>((due - now) * 1000000 / frequency));
  lastFrameEnd = due;
}

void MarkViewChanged() {
  viewChanged.store(true);
  NetRaiseWakeSignal(viewWake);
}

bool TakeFrameDue() {
  bool due = FrameWanted();
  viewChanged.store(false);
  // The pass moves things and shows waiting lines after it has drawn: the next pass shows
  // where they stopped and who came or went.
  if (SceneAnimating() || PendingEventCount() > 0) viewChanged.store(true);
  return due;
}

void RestUntilSomethingHappens() {
  // Every event of the link (a line for the console, the connect's end, the link's end) is
  // announced by the link thread's signal.
  int wake = PendingEventSignal();
  NetClearWakeSignal(wake);  // first clear, then look: what comes meanwhile raises them again
  NetClearWakeSignal(viewWake);
  NetClearWakeSignal(RoomViewSignal());
  TakeRoom();  // a view that came before the signal was cleared marks the view changed
  if (PendingEventCount() > 0) return;
  if (FrameWanted()) return;
  // The bound keeps the timed duties of a pass going: hellos, keep-alives, reconnects.
  if (StopRequested()) return;
  const int watched[4] = {wake, viewWake, RoomViewSignal(), StopSignalDescriptor()};
  WaitForWindowEvents(kLongestRestMs, watched, 4);
}
