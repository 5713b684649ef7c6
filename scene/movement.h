// The motion rules of a walker, and the clamp into the room, for movement and its tests.
#pragma once
#include <cstdint>

#include "core/player_pose.h"

// The order in which held keys apply within one turn: a right turn before a
// left one, so the two cancel; looks before strafes.
constexpr int kMoveKeyOrder[8] = {KeyForward, KeyBack,   KeyTurnRight,  KeyTurnLeft,
                                  KeyLookUp,  KeyLookDown, KeyStrafeLeft, KeyStrafeRight};

// Applies the motion rule of one movement key to a pose, with the turn's
// frameScale s. Indices outside 1..8 do nothing.
void ApplyMoveKey(PlayerPose* pose, int moveKey, float s);
void BobForward(PlayerPose* pose);
void BobBackward(PlayerPose* pose);

// Keeps x and z at least 0.25 inside WorldBounds (the lower limit first).
void ClampPose(PlayerPose* pose);

// The main loop's position report rule: strictly more than 1000 / packetRate
// milliseconds since the last datagram, and the pose changed. A rate of 0 or
// below never sends.
bool PositionReportDue(uint32_t nowMs, uint32_t lastSendMs, float packetRate, bool positionDirty);
