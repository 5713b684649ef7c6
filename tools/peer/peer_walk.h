// The headless peer's scripted walk: movement keys held in turn, with positions sent meanwhile.
#pragma once
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

// Starts the walk (a walk under way is cut short: its key is released first).
void StartWalk(WalkState* walk, const std::vector<WalkStep>& steps, PlayerPose* pose);
// Advances by dt seconds: moves the pose, sends key and position datagrams (at most
// packetRate positions a second). Returns true once when the last step has ended.
bool AdvanceWalk(WalkState* walk, double dt, float packetRate, PlayerPose* pose);
void SendPose(const PlayerPose& pose);
