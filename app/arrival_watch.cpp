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
#include "irc/irc_event.h"
#include "scene/arrival.h"
#include "scene/room_avatars.h"
#include "scene/scene.h"
#include "scene/world.h"

namespace {

// Nicknames in a bounded list (longer ones are cut, as the room cuts them).
struct NickList {
  char nicks[kRoomMembers][kRoomNickLength];
  int count;
};

constexpr int kRoomsKept = 24;  // rooms whose last place the user comes back to

// Where the user last stood in a room it left for another.
struct KeptPlace {
  char channel[kRoomChannelLength];
  PlayerPose pose;
};

// Where the user arrives in each room and whom it gives way to; written on the window's thread
// by the link's events (NoteArrivalEvent) and once a pass (WatchArrival).
struct ArrivalWatchRecord {
  char arriving[kRoomChannelLength];  // a channel just joined: the user is placed on entering it
  char shown[kRoomChannelLength];     // the room the window shows now
  KeptPlace kept[kRoomsKept];
  int nextKept;
  bool due;                  // the room shown is the one just joined: the next pass places the user
  bool watching;             // placed and not moved since
  bool listed;               // the join's member list came
  PlayerPose placed;         // where the rule put the user
  NickList first;            // in the member list our join brought
  NickList later;            // joined after us
  char turnedUp[kRoomMembers + 1][kRoomNickLength];  // by slot: whose avatar has been seen
};
ArrivalWatchRecord Watch;  // 42 KB: kept off the stack

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
    if (SameIrcName(list->nicks[i], from)) std::snprintf(list->nicks[i], kRoomNickLength, "%.*s", kRoomNickLength - 1, to);
}

// The members the join's member list named ("a, @b, +c"): they were there first.
void TakeFirstComers(const char* list) {
  char nick[kRoomNickLength];
  while (*list) {
    list += std::strspn(list, ", ~&@%+");
    std::size_t n = std::strcspn(list, ", ");
    std::snprintf(nick, sizeof nick, "%.*s", static_cast<int>(n < sizeof nick - 1 ? n : sizeof nick - 1), list);
    if (n && !SameIrcName(nick, Settings.nickname)) Add(&Watch.first, nick);
    list += n;
  }
}

KeptPlace* KeptFor(const char* channel) {
  for (KeptPlace& k : Watch.kept)
    if (k.channel[0] && SameIrcName(k.channel, channel)) return &k;
  return nullptr;
}

void Keep(const char* channel, const PlayerPose& pose) {
  if (!channel[0]) return;
  KeptPlace* k = KeptFor(channel);
  if (!k) {
    k = &Watch.kept[Watch.nextKept];
    Watch.nextKept = (Watch.nextKept + 1) % kRoomsKept;
    std::snprintf(k->channel, sizeof k->channel, "%s", channel);
  }
  k->pose = pose;
}

// The room shown changed: the place left is kept; the user stands where it last stood in the
// new one, or arrives there when it was just joined.
void FollowRoom() {
  if (std::strncmp(Watch.shown, RoomAvatars.channel, kRoomChannelLength) == 0) return;
  Keep(Watch.shown, Local.pose);
  std::snprintf(Watch.shown, sizeof Watch.shown, "%s", RoomAvatars.channel);
  Watch.watching = false;
  if (Watch.arriving[0] && SameIrcName(Watch.arriving, Watch.shown)) {
    Watch.arriving[0] = '\0';
    Watch.due = true;
    return;
  }
  const KeptPlace* k = KeptFor(Watch.shown);
  if (!k) return;
  Local.pose = k->pose;
  AppState.positionDirty = true;  // the others see us back where we stood
  MarkViewChanged();
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
  const char* text = std::getenv("QIVRA_ARRIVAL");
  float x = 0, z = 0, heading = 0;
  if (!text || std::sscanf(text, "%f,%f,%f", &x, &z, &heading) != 3) return false;
  *pose = PlayerPose{};
  pose->x = x, pose->z = z;
  pose->heading = pose->yaw = heading;
  return true;
}

void Place() {
  if (ArrivalFromTest(&Local.pose)) {
    AppState.positionDirty = true;
    MarkViewChanged();
    return;
  }
  FloorSpot spots[kRoomMembers];
  int count = 0;
  for (int i = 0; i < RoomAvatars.count; ++i) {
    const RoomAvatar& a = RoomAvatars.avatars[i];
    if (Standing(a)) spots[count++] = FloorSpot{a.pose.x, a.pose.z};
  }
  Local.pose = ArrivalPose(WorldBounds, Settings.nickname, spots, count);
  Watch.placed = Local.pose;
  Watch.watching = true;
  AppState.positionDirty = true;  // the place goes out at once, and to each peer as it links
  MarkViewChanged();
}

bool MovedSincePlaced() {
  return Local.pose.x != Watch.placed.x || Local.pose.z != Watch.placed.z || Local.pose.heading != Watch.placed.heading;
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
    if (NearestSpotDistance(Local.pose.x, Local.pose.z, &spot, 1) < kArrivalClearance &&
        GivesWay(Settings.nickname, a.member.nick, OrderOf(a.member.nick)))
      giveWay = true;
  }
  return giveWay;
}

}  // namespace

void NoteArrivalEvent(const IrcEvent& e) {
  const bool arriving = Watch.arriving[0] && SameIrcName(e.channel, Watch.arriving);
  const bool here = arriving || (Watch.shown[0] && SameIrcName(e.channel, Watch.shown));
  if (e.kind == EventJoined) {
    // A room joined again after leaving it is arrived in afresh.
    if (KeptPlace* k = KeptFor(e.channel)) k->channel[0] = '\0';
    std::snprintf(Watch.arriving, sizeof Watch.arriving, "%s", e.channel);
    Watch.first.count = Watch.later.count = 0;
    Watch.listed = false;
    std::memset(Watch.turnedUp, 0, sizeof Watch.turnedUp);
    if (SameIrcName(e.channel, Watch.shown)) Watch.shown[0] = '\0';  // rejoined while shown
  } else if (e.kind == EventJoin && here) {
    Add(&Watch.later, e.nick);
  } else if (e.kind == EventNickChange && here) {
    Rename(&Watch.first, e.nick, e.text);
    Rename(&Watch.later, e.nick, e.text);
  } else if (e.kind == EventMemberList && arriving && !Watch.listed) {
    TakeFirstComers(e.text);
    Watch.listed = e.result > 0;  // the list's last part carries its count
  }
}

void WatchArrival() {
  if (AppState.connectionState != InChannel) return;
  FollowRoom();
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
