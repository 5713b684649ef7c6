// The members of the room as the window draws them: the session's last view of the room, each
// avatar walked on by its held keys between the poses its user reports.
#pragma once
#include "core/room_view.h"

struct RoomAvatar {
  RoomMember member;  // as the session last told it
  PlayerPose pose;    // where it is drawn: the last reported pose, walked on by the keys
  float turnHeld;     // units of 10 ms its turn keys have been held, for the turning ramp
};

struct RoomAvatarsRecord {
  uint32_t serial;                  // the view last taken
  char channel[kRoomChannelLength];
  int count;
  RoomAvatar avatars[kRoomMembers];
};

// Window's thread only.
extern RoomAvatarsRecord RoomAvatars;

// Takes a newer view: a member whose user reported no new pose since keeps where it has walked.
void TakeRoomView(const RoomView& view);
// Forgets every member (no room).
void ClearRoomAvatars();
// The avatar is drawn: its user's client has shown that it hears this one, or its moves come
// through the server.
inline bool HasAvatar(const RoomAvatar& a) { return a.member.reach != ReachNone; }
// Dead reckoning for one pass: every avatar walks on by its held keys (frameScale s).
void WalkRoomAvatars(float s);
// True while some avatar walks on by a held key.
bool RoomAvatarWalking();
