// The headless peer's scripted walk: movement keys held in turn, with positions sent meanwhile.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/player_pose.h"

struct WalkStep {
  int key;          // MoveKey
  double seconds;
};

// Parses "KEY SECONDS [KEY SECONDS ...]" (keys: forward back left right strafeleft
// straferight lookup lookdown). False, with a reason in error, on anything else.
bool ParseWalk(const std::string& text, std::vector<WalkStep>* steps, std::string* error);

struct WalkState {
  std::vector<WalkStep> steps;
  size_t current = 0;
  bool active = false;
  bool keyDown = false;
  double stepElapsed = 0;
  double sinceSend = 0;
};

// What the walk holds and where it stands, as the session is told it.
struct WalkBody {
  PlayerPose pose;
  uint8_t keys[kKeyFlagCount];
  bool positionDue;  // a position is to go out (the session's SessionMove takes it)
};

// Starts the walk (a walk under way is cut short: its key is released first).
void StartWalk(WalkState* walk, const std::vector<WalkStep>& steps, WalkBody* body);
// Advances by dt seconds: moves the pose, holds and lets go of keys, and asks for positions (at
// most packetRate a second, and one where each step ends). Returns true once when the last
// step has ended.
bool AdvanceWalk(WalkState* walk, double dt, float packetRate, WalkBody* body);
