// The motion rules of a walker, and the clamp into the room, for movement and its tests.
#pragma once
#include <cstdint>

#include "core/player_pose.h"

// The order in which held keys apply within one turn: a right turn before a
// left one, so the two cancel; looks before strafes.
constexpr int kMoveKeyOrder[8] = {KeyForward, KeyBack,   KeyTurnRight,  KeyTurnLeft,
                                  KeyLookUp,  KeyLookDown, KeyStrafeLeft, KeyStrafeRight};

// Applies the motion rule of one movement key to a pose, with the turn's
// frameScale s; a turn key held for turnHeld units of 10 ms before this turn turns by
// TurnDegrees. Indices outside 1..8 do nothing.
void ApplyMoveKey(PlayerPose* pose, int moveKey, float s, float turnHeld);
// Degrees a turn key turns in the s units of 10 ms after it has been held for `held`: it
// starts slow, for aiming, and reaches its full 2.1 degrees per 10 ms after half a second.
// The sum over a hold is the same however the hold is cut into passes.
float TurnDegrees(float held, float s);
constexpr float kTurnRampUnits = 50.0f;  // the time to full speed: half a second
// A drag on the view by (dx, dy) pixels: right turns right, up looks up; the look stays
// between straight up and straight down.
void ApplyViewDrag(PlayerPose* pose, int dx, int dy);
void BobForward(PlayerPose* pose);
void BobBackward(PlayerPose* pose);

// Keeps x and z at least 0.25 inside WorldBounds (the lower limit first).
void ClampPose(PlayerPose* pose);

// The main loop's position report rule: strictly more than 1000 / packetRate
// milliseconds since the last datagram, and the pose changed. A rate of 0 or
// below never sends.
bool PositionReportDue(uint32_t nowMs, uint32_t lastSendMs, float packetRate, bool positionDirty);
