// Where a walker stands and how it bobs, and the numbering of the movement keys.
#pragma once

struct PlayerPose {
  float heading;   // direction of travel, degrees
  float x, z;      // position on the floor plane
  float yaw;       // copy of heading taken on every turn; camera and avatar use it
  float bob;       // sin(bobAngle) / 30 after a step
  float bobAngle;  // degrees, steps of 15
  float pitch;     // positive looks down
};

// Index of a movement key flag; also the index carried in the key datagram.
enum MoveKey {
  KeyForward = 1,
  KeyBack = 2,
  KeyTurnLeft = 3,
  KeyTurnRight = 4,
  KeyStrafeLeft = 5,
  KeyStrafeRight = 6,
  KeyLookUp = 7,
  KeyLookDown = 8,
};

constexpr int kKeyFlagCount = 10;  // indices 0 and 9 exist but no key uses them

