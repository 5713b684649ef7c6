// Scripted walking for the headless peer: keys, a simple motion model and paced positions.
#include "tools/peer/peer_walk.h"

#include <cmath>
#include <cstring>
#include <sstream>

namespace {
const struct {
  const char* name;
  int key;
} kKeyNames[] = {
    {"forward", KeyForward},       {"back", KeyBack},     {"left", KeyTurnLeft},
    {"right", KeyTurnRight},       {"strafeleft", KeyStrafeLeft},
    {"straferight", KeyStrafeRight}, {"lookup", KeyLookUp}, {"lookdown", KeyLookDown},
};
// The client's own rates (0.05 units, 2.1 and 1.5 degrees per 10 ms): a window that
// moves this peer's avatar by its held keys between positions then agrees with them.
constexpr double kStepSpeed = 5.0;    // floor units per second
constexpr double kTurnSpeed = 210.0;  // degrees per second
constexpr double kLookSpeed = 150.0;  // degrees per second
constexpr double kDegree = 3.14159265358979323846 / 180.0;
}  // namespace

bool ParseWalk(const std::string& text, std::vector<WalkStep>* steps, std::string* error) {
  std::istringstream in(text);
  std::string name;
  steps->clear();
  while (in >> name) {
    int key = 0;
    for (const auto& k : kKeyNames) {
      if (name == k.name) key = k.key;
    }
    double seconds = 0;
    if (!key) {
      *error = "unknown key \"" + name + "\"";
      return false;
    }
    if (!(in >> seconds) || seconds < 0 || seconds > 600) {
      *error = "key \"" + name + "\" needs seconds between 0 and 600";
      return false;
    }
    steps->push_back({key, seconds});
  }
  if (steps->empty()) *error = "nothing to walk";
  return !steps->empty();
}

static void Move(int key, double dt, PlayerPose* pose) {
  double h = pose->heading * kDegree;
  double d = kStepSpeed * dt;
  switch (key) {  // heading 0 looks along -z
    case KeyForward: pose->x -= static_cast<float>(std::sin(h) * d); pose->z -= static_cast<float>(std::cos(h) * d); break;
    case KeyBack: pose->x += static_cast<float>(std::sin(h) * d); pose->z += static_cast<float>(std::cos(h) * d); break;
    case KeyStrafeLeft: pose->x -= static_cast<float>(std::cos(h) * d); pose->z += static_cast<float>(std::sin(h) * d); break;
    case KeyStrafeRight: pose->x += static_cast<float>(std::cos(h) * d); pose->z -= static_cast<float>(std::sin(h) * d); break;
    case KeyTurnLeft: pose->heading += static_cast<float>(kTurnSpeed * dt); pose->yaw = pose->heading; break;
    case KeyTurnRight: pose->heading -= static_cast<float>(kTurnSpeed * dt); pose->yaw = pose->heading; break;
    case KeyLookUp: pose->pitch -= static_cast<float>(kLookSpeed * dt); break;
    case KeyLookDown: pose->pitch += static_cast<float>(kLookSpeed * dt); break;
    default: break;
  }
}

void StartWalk(WalkState* walk, const std::vector<WalkStep>& steps, WalkBody* body) {
  if (walk->active && walk->keyDown) {
    body->keys[walk->steps[walk->current].key] = 0;
    body->positionDue = true;
  }
  walk->steps = steps;
  walk->current = 0;
  walk->active = !steps.empty();
  walk->keyDown = false;
  walk->stepElapsed = 0;
  walk->sinceSend = 0;
}

bool AdvanceWalk(WalkState* walk, double dt, float packetRate, WalkBody* body) {
  if (!walk->active) return false;
  PlayerPose* pose = &body->pose;
  const WalkStep& step = walk->steps[walk->current];
  if (!walk->keyDown) {
    body->keys[step.key] = 1;
    walk->keyDown = true;
    walk->stepElapsed = 0;
    dt = 0;
  }
  double left = step.seconds - walk->stepElapsed;
  double used = dt < left ? dt : left;
  Move(step.key, used, pose);
  walk->stepElapsed += used;
  walk->sinceSend += used;
  if (packetRate > 0 && walk->sinceSend >= 1.0 / packetRate) {
    body->positionDue = true;
    walk->sinceSend = 0;
  }
  if (walk->stepElapsed < step.seconds) return false;
  body->keys[step.key] = 0;
  body->positionDue = true;  // where the step ended, whatever the pacing
  walk->keyDown = false;
  walk->sinceSend = 0;
  if (++walk->current < walk->steps.size()) return false;
  walk->active = false;
  return true;
}
