// The pace of the main loop: passes no faster than the display shows frames, and a window
// that is not active waits for something to happen instead of spinning.
#include "app/shell.h"
#include "core/app_state.h"
#include "irc/receive_thread.h"
#include "platform/gui_window.h"
#include "platform/net.h"
#include "platform/ticks.h"

namespace {

constexpr int kUnknownRefreshHz = 60;
constexpr int kLongestRestMs = 100;

PlatformWindow* rateOf = nullptr;  // the window whose refresh rate was asked
int refreshHz = kUnknownRefreshHz;
int64_t lastFrameEnd = 0;  // counter reading when the last paced frame was due

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

void RestWhileInactive() {
  // Every event of the link (a line for the console, the connect's end, the link's end) is
  // announced by the link thread's signal.
  int wake = PendingEventSignal();
  NetClearWakeSignal(wake);  // first clear, then look: an event handed over meanwhile raises it again
  if (PendingEventCount() > 0) return;
  WaitForWindowEvents(kLongestRestMs, wake);
}
