// The windowed main window's size and place: followed while it shows, used again when F1 makes
// it anew, and kept in the user's folder for the next start.
#include "app/shell.h"
#include "console/console_log.h"
#include "core/app_state.h"
#include "platform/gui_window.h"
#include "platform/ticks.h"

namespace {

constexpr uint32_t kSettleMs = 1000;  // a drag of the window's edge or title ends before a write

struct WindowKeepingRecord {
  WindowPlace shown = kFirstWindowPlace;  // as the window last showed windowed
  bool unsaved = false;
  uint32_t changedAt = 0;
};
WindowKeepingRecord Keeping;

bool SamePlace(const WindowPlace& a, const WindowPlace& b) {
  return a.width == b.width && a.height == b.height && a.x == b.x && a.y == b.y && a.placed == b.placed;
}

}  // namespace

void StartWindowPlace(const WindowPlace& place) { Keeping.shown = place; }

const WindowPlace& WindowedPlace() { return Keeping.shown; }

void KeepWindowPlace() {
  WindowPlace now = {0, 0, 0, 0, true};
  if (TopWindowPlace(AppState.mainWindow, &now.x, &now.y, &now.width, &now.height) && !SamePlace(now, Keeping.shown)) {
    Keeping.shown = now;
    Keeping.unsaved = true;
    Keeping.changedAt = TickCountMs();
  }
  if (Keeping.unsaved && TickCountMs() - Keeping.changedAt >= kSettleMs) SaveKeptWindowPlace();
}

void SaveKeptWindowPlace() {
  if (!Keeping.unsaved) return;
  Keeping.unsaved = false;
  if (!SaveWindowPlace(Keeping.shown))
    ConsoleAppend("WARNING: the window's size could not be saved for the next start");
}
