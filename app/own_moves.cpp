// The local user's moves on their way to the peers, and the room's view on its way to the scene,
// once a pass in a channel.
#include <cstring>

#include "app/arrival_watch.h"
#include "app/shell.h"
#include "console/settings.h"
#include "core/app_state.h"
#include "irc/irc_client.h"
#include "irc/relay_lines.h"
#include "irc/room_publish.h"
#include "platform/ticks.h"
#include "scene/movement.h"
#include "scene/room_avatars.h"
#include "scene/scene.h"

namespace {

RoomView Newest;  // 60 KB: the last view taken from the session

}  // namespace

void ReportOwnMoves(uint32_t* lastPositionSend) {
  for (int key : kMoveKeyOrder) Irc.peerTable.SendKeyState(key, LocalKeys[key]);  // changes only
  NoteOwnPose(LocalPose);  // for moves relayed through the server
  if (!PositionReportDue(TickCountMs(), *lastPositionSend, Settings.packetRate, AppState.positionDirty)) return;
  Irc.peerTable.SendPosition(LocalPose.x, LocalPose.z, LocalPose.yaw, LocalPose.heading, LocalPose.pitch);
  *lastPositionSend = TickCountMs();
  AppState.positionDirty = false;
}

void TakeRoom() {
  {
    std::lock_guard<std::recursive_mutex> hold(ClientLock());
    PublishRoomView(Irc.peerTable, AppState.connectionState == InChannel ? Irc.channel : "");
  }
  if (CopyRoomView(&Newest)) {
    TakeRoomView(Newest);
    MarkViewChanged();
  }
  WatchArrival();  // where the user stands on entering, and whom it gives way to
}
