// What the room shows of the other members: the session's thread makes it, the window's thread
// copies it once a pass and draws from its copy, so no lock is held while drawing.
#pragma once
#include <cstdint>

#include "core/player_pose.h"

constexpr int kRoomMembers = 199;         // members one room tracks (the session's slots 1..199)
constexpr int kRoomNickLength = 64;       // longer nicknames are cut for the room (never compared)
constexpr int kRoomChannelLength = 128;
constexpr int kRoomElsewhereLength = 64;  // the other room's channel as shown (cut between characters)

// How a member's avatar reaches this room.
enum MemberReach : uint8_t {
  ReachNone = 0,     // chat only: no avatar (an ordinary IRC client, or no link found yet)
  ReachDirect = 1,   // datagrams between the two clients
  ReachRelayed = 2,  // moves relayed through the IRC server
};

struct RoomMember {
  int id;                        // the session's slot: the same while the member stays
  char nick[kRoomNickLength];
  char status;                   // '@' operator, '+' voiced, 0 neither
  bool away;
  MemberReach reach;
  bool elsewhere;                // its user stands in another room it shares with us
  char elsewhereIn[kRoomElsewhereLength];  // that room's channel; "" here, or in a room we are not in
  bool typing;                   // its user is typing a line
  uint8_t look;                  // 0: not told (an older client); else one of the looks
  uint32_t poseSerial;           // grows with every pose the member reports
  PlayerPose pose;               // as last reported
  uint8_t keys[kKeyFlagCount];   // movement keys held, for walking on between reports
};

struct RoomView {
  uint32_t serial;                     // grows with every change the session publishes
  char channel[kRoomChannelLength];    // the room's channel, "" when none
  int count;
  RoomMember members[kRoomMembers];
};
