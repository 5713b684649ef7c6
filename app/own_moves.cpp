// The local user's moves on their way to the peers, and the room's view on its way to the scene
// and the member list, once a pass in a channel.
#include <cstring>

#include "app/arrival_watch.h"
#include "app/shell.h"
#include "console/settings.h"
#include "core/app_state.h"
#include "irc/room_publish.h"
#include "irc/session.h"
#include "platform/gui_window.h"
#include "platform/ticks.h"
#include "scene/movement.h"
#include "scene/room_avatars.h"
#include "scene/scene.h"

namespace {

RoomView Newest;  // 60 KB: the last view taken from the session

}  // namespace

void ReportOwnMoves(uint32_t* lastPositionSend) {
  const bool due = PositionReportDue(TickCountMs(), *lastPositionSend, Settings.packetRate, AppState.positionDirty);
  SessionMove(Local.keys, Local.pose, due);  // the keys that changed go at once
  // Text in the input line is a line being typed: the others see a typing mark (a change only).
  char first[2] = "";
  if (AppState.inputLine) GetWidgetText(AppState.inputLine, first, sizeof first);
  SessionTyping(first[0] != '\0');
  if (!due) return;
  *lastPositionSend = TickCountMs();
  AppState.positionDirty = false;
}

void TakeRoom() {
  if (CopyRoomView(&Newest)) {
    TakeRoomView(Newest);
    MarkViewChanged();
  }
  WatchArrival();  // where the user stands on entering, and whom it gives way to
  FollowMembers();
}
