// Movement and camera rules: keys move the local user, key flags move the peers, the room holds all.
#include "scene/movement.h"

#include <cmath>

#include "core/app_state.h"
#include "scene/room_avatars.h"
#include "scene/scene.h"
#include "scene/world.h"

PlayerPose LocalPose;
uint8_t LocalKeys[kKeyFlagCount];
bool (*MoveKeyHeld)(int moveKey) = nullptr;

static const float kDegreesToRadians = 0.0174532924f;
static const float kStep = 0.05f;
static const float kTurnRate = 2.1f;
static const float kLookRate = 1.5f;
static const float kWallMargin = 0.25f;

void BobForward(PlayerPose* p) {
  if (p->bobAngle >= 359.0f)
    p->bobAngle = 0.0f;
  else
    p->bobAngle += 15.0f;
  p->bob = std::sin(p->bobAngle * kDegreesToRadians) / 30.0f;
}

void BobBackward(PlayerPose* p) {
  if (p->bobAngle <= 1.0f)
    p->bobAngle = 359.0f;
  else
    p->bobAngle -= 15.0f;
  p->bob = std::sin(p->bobAngle * kDegreesToRadians) / 30.0f;
}

// One step along the direction angle (degrees): angle 0 walks toward -z.
static void StepAlong(PlayerPose* p, float angle, float s) {
  p->x -= std::sin(angle * kDegreesToRadians) * kStep * s;
  p->z -= std::cos(angle * kDegreesToRadians) * kStep * s;
}

void ApplyMoveKey(PlayerPose* p, int moveKey, float s) {
  switch (moveKey) {
    case KeyForward:
      StepAlong(p, p->heading, s);
      BobForward(p);
      break;
    case KeyBack:
      p->x += std::sin(p->heading * kDegreesToRadians) * kStep * s;
      p->z += std::cos(p->heading * kDegreesToRadians) * kStep * s;
      BobBackward(p);
      break;
    case KeyTurnRight:
      p->heading -= kTurnRate * s;
      p->yaw = p->heading;
      break;
    case KeyTurnLeft:
      p->heading += kTurnRate * s;
      p->yaw = p->heading;
      break;
    case KeyLookUp:
      p->pitch -= kLookRate * s;
      break;
    case KeyLookDown:
      p->pitch += kLookRate * s;
      break;
    case KeyStrafeLeft:
      StepAlong(p, p->heading + 90.0f, s);
      BobForward(p);
      break;
    case KeyStrafeRight:
      StepAlong(p, p->heading - 90.0f, s);
      BobForward(p);
      break;
    default:
      break;
  }
}

void UpdateMovement() {
  const float s = AppState.frameScale;
  // The keys act only while the window and its view have the keyboard; a key held when typing
  // began (or the window lost the keyboard) counts as let go, so the peers do not see the
  // avatar walk on. The peers walk on behind other windows.
  for (int key : kMoveKeyOrder) {
    bool held = AppState.isActive && AppState.viewHasFocus && MoveKeyHeld && MoveKeyHeld(key);
    LocalKeys[key] = held ? 1 : 0;
    if (!held) continue;
    ApplyMoveKey(&LocalPose, key, s);
    if (key != KeyLookUp && key != KeyLookDown) AppState.positionDirty = true;
  }
  WalkRoomAvatars(s);  // dead reckoning: the peers walk on by their last reported keys
}

void ClampPose(PlayerPose* p) {
  const WorldBoundsRecord& b = WorldBounds;
  if (p->x < b.minX + kWallMargin) p->x = b.minX + kWallMargin;
  if (p->x > b.maxX - kWallMargin) p->x = b.maxX - kWallMargin;
  if (p->z < b.minZ + kWallMargin) p->z = b.minZ + kWallMargin;
  if (p->z > b.maxZ - kWallMargin) p->z = b.maxZ - kWallMargin;
}

void ClampToWorld() {
  ClampPose(&LocalPose);
  for (int i = 0; i < RoomAvatars.count; ++i)
    if (HasAvatar(RoomAvatars.avatars[i])) ClampPose(&RoomAvatars.avatars[i].pose);
}

bool PositionReportDue(uint32_t nowMs, uint32_t lastSendMs, float packetRate, bool positionDirty) {
  if (!positionDirty || !(packetRate > 0.0f)) return false;
  uint32_t elapsed = nowMs - lastSendMs;  // wraps correctly
  double interval = 1000.0 / static_cast<double>(packetRate);
  return static_cast<double>(elapsed) > interval;
}
