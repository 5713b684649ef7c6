// The window's own copy of the room's members, and their walking on between reported poses.
#include "scene/room_avatars.h"

#include <cmath>
#include <cstring>

#include "scene/movement.h"

RoomAvatarsRecord RoomAvatars;

namespace {

// Where each slot's member stands in the copy (index + 1; 0: not there), and the copy before
// the last view was taken, to carry each member's walking on across views.
struct RoomCopyRecord {
  int placeOfId[kRoomMembers + 1];
  RoomAvatar before[kRoomMembers];
  int placeBefore[kRoomMembers + 1];
};
RoomCopyRecord Copy;

const RoomAvatar* Previous(const RoomMember& m, const RoomAvatar* before, const int* placeBefore) {
  if (m.id < 1 || m.id > kRoomMembers || placeBefore[m.id] == 0) return nullptr;
  const RoomAvatar& old = before[placeBefore[m.id] - 1];
  // A slot another member took over starts afresh.
  return std::strncmp(old.member.nick, m.nick, kRoomNickLength) == 0 ? &old : nullptr;
}

}  // namespace

void TakeRoomView(const RoomView& view) {
  if (view.serial == RoomAvatars.serial && std::strncmp(view.channel, RoomAvatars.channel, kRoomChannelLength) == 0)
    return;
  RoomAvatar* before = Copy.before;
  int* placeBefore = Copy.placeBefore;
  const int beforeCount = RoomAvatars.count;
  std::memcpy(before, RoomAvatars.avatars, sizeof(RoomAvatar) * static_cast<std::size_t>(beforeCount));
  std::memcpy(placeBefore, Copy.placeOfId, sizeof Copy.placeOfId);
  const bool sameRoom = std::strncmp(view.channel, RoomAvatars.channel, kRoomChannelLength) == 0;
  std::memset(Copy.placeOfId, 0, sizeof Copy.placeOfId);
  int count = view.count < 0 ? 0 : (view.count > kRoomMembers ? kRoomMembers : view.count);
  for (int i = 0; i < count; ++i) {
    const RoomMember& m = view.members[i];
    RoomAvatar& a = RoomAvatars.avatars[i];
    const RoomAvatar* old = sameRoom ? Previous(m, before, placeBefore) : nullptr;
    a.pose = old && old->member.poseSerial == m.poseSerial ? old->pose : m.pose;
    a.turnHeld = old ? old->turnHeld : 0.0f;
    a.member = m;
    a.member.nick[kRoomNickLength - 1] = '\0';
    if (m.id >= 1 && m.id <= kRoomMembers) Copy.placeOfId[m.id] = i + 1;
  }
  RoomAvatars.count = count;
  RoomAvatars.serial = view.serial;
  std::memcpy(RoomAvatars.channel, view.channel, kRoomChannelLength);
  RoomAvatars.channel[kRoomChannelLength - 1] = '\0';
}

void ClearRoomAvatars() {
  RoomAvatars.count = 0;
  RoomAvatars.channel[0] = '\0';
  std::memset(Copy.placeOfId, 0, sizeof Copy.placeOfId);
}

void WalkRoomAvatars(float s) {
  for (int i = 0; i < RoomAvatars.count; ++i) {
    RoomAvatar& a = RoomAvatars.avatars[i];
    if (!HasAvatar(a) || a.member.elsewhere) continue;  // one standing elsewhere stays where it stood
    for (int key : kMoveKeyOrder)
      if (a.member.keys[key]) ApplyMoveKey(&a.pose, key, s, a.turnHeld);
    const bool turning = a.member.keys[KeyTurnLeft] || a.member.keys[KeyTurnRight];
    a.turnHeld = turning ? std::fmin(a.turnHeld + s, kTurnRampUnits) : 0.0f;
  }
}

bool RoomAvatarWalking() {
  for (int i = 0; i < RoomAvatars.count; ++i) {
    const RoomAvatar& a = RoomAvatars.avatars[i];
    if (!HasAvatar(a) || a.member.elsewhere) continue;
    for (int key : kMoveKeyOrder)
      if (a.member.keys[key]) return true;
  }
  return false;
}
