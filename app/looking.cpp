// The view's own controls: a drag on it looks around, Home levels it, and Escape's notice over it.
#include "app/escape_twice.h"
#include "app/shell.h"
#include "core/app_state.h"
#include "scene/movement.h"
#include "scene/room_avatars.h"
#include "scene/scene.h"
#include "scene/view_notice.h"

void OnViewDrag(int dx, int dy) {
  if (AppState.connectionState != InChannel || (dx == 0 && dy == 0)) return;
  ApplyViewDrag(&Local.pose, dx, dy);
  AppState.positionDirty = true;  // the new heading reaches the peers with the next position
  MarkViewChanged();
}

void LevelView() {
  if (AppState.connectionState != InChannel || !AppState.viewHasFocus || Local.pose.pitch == 0.0f) return;
  Local.pose.pitch = 0.0f;
  AppState.positionDirty = true;
  MarkViewChanged();
}

void ShowEscapeNotice(bool shown) {
  char text[kRoomChannelLength + 48] = "";
  if (shown) FormatEscapeNotice(RoomAvatars.channel, text, sizeof text);
  SetViewNotice(text);
  MarkViewChanged();
}
