// The room's member list on the window's thread: its rows made from the room's avatars, and the
// double-click that turns the user to face a member.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/member_rows.h"
#include "app/shell.h"
#include "core/app_state.h"
#include "platform/gui_window.h"
#include "platform/member_list.h"
#include "platform/ticks.h"
#include "scene/room_avatars.h"
#include "scene/scene.h"

namespace {

constexpr uint32_t kDistanceEveryMs = 100;  // distances alone change the rows at most this often

// The list and the rows it shows, written once a pass by FollowMembers (window's thread).
struct ListState {
  PlatformMemberList* list = nullptr;
  MemberRow rows[kRoomMembers];
  int count = -1;  // -1: never shown
  char title[kRoomChannelLength + 32] = "";
  uint32_t serial = 0;  // of the room's view last shown
  uint32_t shownMs = 0;
  MemberRow fresh[kRoomMembers];  // the rows made this pass, before they are compared: 37 KB
};
ListState State;

// Test seam: QIVRA_MEMBERS_STDERR=1 prints the list to stderr each time its words change: the
// heading, then a line a member, "[members]   @alice (away) | direct · 2.0 m".
void TraceRows() {
  const char* trace = std::getenv("QIVRA_MEMBERS_STDERR");
  if (!trace || !*trace || std::strcmp(trace, "0") == 0) return;
  std::fprintf(stderr, "[members] %s\n", State.title);
  for (int i = 0; i < State.count; ++i)
    std::fprintf(stderr, "[members]   %s%s | %s\n", State.rows[i].name, State.rows[i].away ? " (away)" : "",
                 State.rows[i].state);
  std::fflush(stderr);
}

// Turns the user to face the member and levels the view; its figure must be in the room.
void FaceMember(int id) {
  if (AppState.connectionState != InChannel) return;
  for (int i = 0; i < RoomAvatars.count; ++i) {
    const RoomAvatar& a = RoomAvatars.avatars[i];
    if (a.member.id != id || !HasAvatar(a)) continue;
    float heading = 0.0f;
    if (!HeadingToward(Local.pose, a.pose.x, a.pose.z, &heading)) return;
    Local.pose.heading = Local.pose.yaw = heading;
    Local.pose.pitch = 0.0f;
    AppState.positionDirty = true;  // the peers see the turn with the next position
    MarkViewChanged();
    return;
  }
}

}  // namespace

void CreateMemberListIn(PlatformWindow* window) {
  State.list = CreateMemberList(window);
  State.count = -1;  // the new list shows the rows at once
  WindowHooks.memberChosen = FaceMember;
}

void PlaceMemberListBy(const ViewLayout& layout) {
  PlaceMemberList(State.list, layout.listX, layout.listY, layout.listWidth, layout.listHeight, layout.listShown);
}

void ForgetMemberList() { State.list = nullptr; }

void FollowMembers() {
  const uint32_t now = TickCountMs();
  const bool sameView = State.count >= 0 && RoomAvatars.serial == State.serial;
  if (sameView && now - State.shownMs < kDistanceEveryMs) return;
  MemberRow* rows = State.fresh;
  const int count = RoomAvatars.channel[0] ? RoomAvatars.count : 0;
  for (int i = 0; i < count; ++i) {
    const RoomAvatar& a = RoomAvatars.avatars[i];
    MakeMemberRow(a.member, a.pose, Local.pose, &rows[i]);
  }
  SortMemberRows(rows, count);
  char title[sizeof State.title];
  FormatMemberListTitle(RoomAvatars.channel, count, title, sizeof title);
  State.serial = RoomAvatars.serial;
  State.shownMs = now;
  if (count == State.count && std::strcmp(title, State.title) == 0 &&
      std::memcmp(rows, State.rows, sizeof(MemberRow) * static_cast<std::size_t>(count)) == 0)
    return;
  std::memcpy(State.rows, rows, sizeof(MemberRow) * static_cast<std::size_t>(count));
  State.count = count;
  std::snprintf(State.title, sizeof State.title, "%s", title);
  MemberListRow shown[kRoomMembers];
  for (int i = 0; i < count; ++i) {
    const MemberRow& r = State.rows[i];
    shown[i] = MemberListRow{r.id, r.name, r.colour.r, r.colour.g, r.colour.b, r.away ? "(away)" : "",
                             r.state, r.standing};
  }
  SetMemberListRows(State.list, State.title, shown, count);
  TraceRows();
}
