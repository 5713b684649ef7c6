// Placing the user on entering a room, and giving way to a member who was there first.
#include "app/arrival_watch.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "app/shell.h"
#include "console/settings.h"
#include "core/app_state.h"
#include "core/irc_case.h"
#include "irc/irc_client.h"
#include "irc/irc_event.h"
#include "irc/words/reply_lines.h"
#include "scene/arrival.h"
#include "scene/room_avatars.h"
#include "scene/world.h"

namespace {

// Nicknames in a bounded list (longer ones are cut, as the room cuts them).
struct NickList {
  char nicks[kRoomMembers][kRoomNickLength];
  int count;
};

struct ArrivalWatchRecord {
  bool due;                  // a JOIN went out: the next pass places the user
  bool watching;             // placed and not moved since
  bool listed;               // the join's member list came
  PlayerPose placed;         // where the rule put the user
  NickList first;            // in the member list our join brought
  NickList later;            // joined after us
  char turnedUp[kRoomMembers + 1][kRoomNickLength];  // by slot: whose avatar has been seen
};
ArrivalWatchRecord Watch;  // 38 KB: kept off the stack

bool Listed(const NickList& list, const char* nick) {
  for (int i = 0; i < list.count; ++i)
    if (SameIrcName(list.nicks[i], nick)) return true;
  return false;
}

void Add(NickList* list, const char* nick) {
  if (!nick || !nick[0] || list->count >= kRoomMembers || Listed(*list, nick)) return;
  std::snprintf(list->nicks[list->count++], kRoomNickLength, "%s", nick);
}

void Rename(NickList* list, const char* from, const char* to) {
  for (int i = 0; i < list->count; ++i)
    if (SameIrcName(list->nicks[i], from)) std::snprintf(list->nicks[i], kRoomNickLength, "%s", to);
}

// Every member the session knows now: the join's member list has just been shown.
void TakeFirstComers() {
  std::lock_guard<std::recursive_mutex> hold(ClientLock());
  for (int slot = 1; slot < kPeerSlots; ++slot)
    if (Irc.peerTable.slots[slot].known) Add(&Watch.first, Irc.peerTable.slots[slot].nick);
}

ArrivalOrder OrderOf(const char* nick) {
  if (Listed(Watch.later, nick)) return OtherCameLater;
  return Listed(Watch.first, nick) ? OtherCameFirst : OrderUnknown;
}

// An avatar the room shows with a pose its user reported, standing here.
bool Standing(const RoomAvatar& a) { return HasAvatar(a) && !a.member.elsewhere && a.member.poseSerial != 0; }

// Test seam: QIVRA_ARRIVAL=x,z,heading puts the user there on every entry, and it never gives
// way, so a test's camera stands where the test needs it.
bool ArrivalFromTest(PlayerPose* pose) {
  static const char* text = std::getenv("QIVRA_ARRIVAL");
  float x = 0, z = 0, heading = 0;
  if (!text || std::sscanf(text, "%f,%f,%f", &x, &z, &heading) != 3) return false;
  *pose = PlayerPose{};
  pose->x = x, pose->z = z;
  pose->heading = pose->yaw = heading;
  return true;
}

void Place() {
  if (ArrivalFromTest(&LocalPose)) {
    AppState.positionDirty = true;
    MarkViewChanged();
    return;
  }
  static FloorSpot spots[kRoomMembers];
  int count = 0;
  for (int i = 0; i < RoomAvatars.count; ++i) {
    const RoomAvatar& a = RoomAvatars.avatars[i];
    if (Standing(a)) spots[count++] = FloorSpot{a.pose.x, a.pose.z};
  }
  LocalPose = ArrivalPose(WorldBounds, Settings.nickname, spots, count);
  Watch.placed = LocalPose;
  Watch.watching = true;
  AppState.positionDirty = true;  // the place goes out at once, and to each peer as it links
  MarkViewChanged();
}

bool MovedSincePlaced() {
  return LocalPose.x != Watch.placed.x || LocalPose.z != Watch.placed.z || LocalPose.heading != Watch.placed.heading;
}

// True when an avatar seen for the first time stands within the clearance and the user is the
// one to give way to it.
bool GiveWayToNewcomers() {
  bool giveWay = false;
  for (int i = 0; i < RoomAvatars.count; ++i) {
    const RoomAvatar& a = RoomAvatars.avatars[i];
    const int id = a.member.id;
    if (!Standing(a) || id < 1 || id > kRoomMembers || std::strcmp(Watch.turnedUp[id], a.member.nick) == 0) continue;
    std::snprintf(Watch.turnedUp[id], kRoomNickLength, "%s", a.member.nick);
    const FloorSpot spot = {a.pose.x, a.pose.z};
    if (NearestSpotDistance(LocalPose.x, LocalPose.z, &spot, 1) < kArrivalClearance &&
        GivesWay(Settings.nickname, a.member.nick, OrderOf(a.member.nick)))
      giveWay = true;
  }
  return giveWay;
}

}  // namespace

void NoteRoomEntered() {
  std::memset(&Watch, 0, sizeof Watch);
  Watch.due = true;
}

void NoteArrivalEvent(int kind, const char* nick, const char* text) {
  if (kind == EventJoin) {
    Add(&Watch.later, nick);
  } else if (kind == EventNickChange) {
    Rename(&Watch.first, nick, text);
    Rename(&Watch.later, nick, text);
  } else if (kind == EventText && !Watch.listed && IsMemberListLine(text)) {
    Watch.listed = true;
    TakeFirstComers();
  }
}

void WatchArrival() {
  if (AppState.connectionState != InChannel) return;
  if (Watch.due) {
    Watch.due = false;
    Place();
    return;
  }
  if (!Watch.watching) return;
  if (MovedSincePlaced()) {
    Watch.watching = false;  // the user took over: nobody is given way to any more
    return;
  }
  if (GiveWayToNewcomers()) Place();
}
