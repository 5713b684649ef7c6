// Where a member arrives in a room: a free place away from the walls, facing the room's middle.
#pragma once
#include "core/player_pose.h"
#include "scene/world.h"

constexpr float kArrivalClearance = 1.0f;  // no one arrives nearer than this to another member
constexpr float kArrivalWallGap = 1.0f;    // nor nearer than this to a wall, where the room allows
constexpr float kArrivalMiddleGap = 2.0f;  // nor to the middle, where the channel's name floats

struct FloorSpot {
  float x, z;
};

// The pose of a member arriving in a room of those bounds while others stand at the spots:
// places on a grid inside the walls (at most 32 a side), tried in an order drawn from the
// nickname (IRC's case rule), so that two arrivals rarely try the same one first. The first
// that is kArrivalClearance from everyone and kArrivalMiddleGap from the middle wins; when
// none is, the one farthest from its nearest member. It faces the room's middle, level; the
// same input gives the same pose.
PlayerPose ArrivalPose(const WorldBoundsRecord& bounds, const char* nick, const FloorSpot* others, int count);

// Who of two members came to the room first, as this one saw it: the other was there when it
// came, the other's join came after its own, or it cannot tell.
enum ArrivalOrder { OtherCameFirst, OtherCameLater, OrderUnknown };
// A member that has not moved since it arrived finds another within kArrivalClearance: whether
// it is the one to pick again. The later arrival gives way; when the order is not known, the
// one whose nickname sorts later by IRC's case rule, so exactly one of the two moves.
bool GivesWay(const char* ownNick, const char* otherNick, ArrivalOrder order);
// The nearest of the spots to (x, z), or a great distance when there are none.
float NearestSpotDistance(float x, float z, const FloorSpot* spots, int count);
