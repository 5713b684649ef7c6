// Movement and camera rules: keys move the local user, key flags move the peers, the room holds all.
#include "scene/movement.h"

#include <cmath>

#include "core/app_state.h"
#include "scene/room_avatars.h"
#include "scene/scene.h"
#include "scene/world.h"

LocalUserRecord Local;

static const float kDegreesToRadians = 0.0174532924f;
static const float kStep = 0.05f;
static const float kTurnRate = 2.1f;       // degrees per 10 ms, once a turn key is held a while
static const float kTurnStartRate = 0.6f;  // as it goes down
static const float kDragDegrees = 0.25f;   // per pixel dragged on the view
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

// The degrees a turn key has turned after being held t units: the rate rises in a straight line.
static float TurnedAfter(float t) {
  if (!(t > 0.0f)) return 0.0f;
  const float rise = kTurnRate - kTurnStartRate;
  if (t <= kTurnRampUnits) return kTurnStartRate * t + rise * t * t / (2.0f * kTurnRampUnits);
  return kTurnStartRate * kTurnRampUnits + rise * kTurnRampUnits / 2.0f + kTurnRate * (t - kTurnRampUnits);
}

float TurnDegrees(float held, float s) {
  if (held >= kTurnRampUnits) return kTurnRate * s;
  return TurnedAfter(held + s) - TurnedAfter(held);
}

void ApplyViewDrag(PlayerPose* p, int dx, int dy) {
  p->heading -= kDragDegrees * static_cast<float>(dx);
  p->yaw = p->heading;
  p->pitch += kDragDegrees * static_cast<float>(dy);
  if (p->pitch > 90.0f) p->pitch = 90.0f;
  if (p->pitch < -90.0f) p->pitch = -90.0f;
}

void ApplyMoveKey(PlayerPose* p, int moveKey, float s, float turnHeld) {
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
      p->heading -= TurnDegrees(turnHeld, s);
      p->yaw = p->heading;
      break;
    case KeyTurnLeft:
      p->heading += TurnDegrees(turnHeld, s);
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
  bool turning = false;
  for (int key : kMoveKeyOrder) {
    bool held = AppState.isActive && AppState.viewHasFocus && Local.keyHeld && Local.keyHeld(key);
    Local.keys[key] = held ? 1 : 0;
    if (!held) continue;
    ApplyMoveKey(&Local.pose, key, s, Local.turnHeld);
    if (key != KeyLookUp && key != KeyLookDown) AppState.positionDirty = true;
    turning = turning || key == KeyTurnLeft || key == KeyTurnRight;
  }
  // The ramp's own time: the peers reckon with the same ramp from the key's datagram, and the
  // position datagrams carry the heading it reached.
  Local.turnHeld = turning ? std::fmin(Local.turnHeld + s, kTurnRampUnits) : 0.0f;
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
  ClampPose(&Local.pose);
  for (int i = 0; i < RoomAvatars.count; ++i)
    if (HasAvatar(RoomAvatars.avatars[i])) ClampPose(&RoomAvatars.avatars[i].pose);
}

bool PositionReportDue(uint32_t nowMs, uint32_t lastSendMs, float packetRate, bool positionDirty) {
  if (!positionDirty || !(packetRate > 0.0f)) return false;
  uint32_t elapsed = nowMs - lastSendMs;  // wraps correctly
  double interval = 1000.0 / static_cast<double>(packetRate);
  return static_cast<double>(elapsed) > interval;
}
