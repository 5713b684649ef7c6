// Whether the room moves by itself: walkers, peers reckoned on by their keys, burning sparks,
// fading speech.
#include "core/app_state.h"
#include "scene/movement.h"
#include "scene/particles.h"
#include "scene/room_avatars.h"
#include "scene/scene.h"
#include "scene/speech.h"

static bool SparksBurning() {
  for (const Particle* p = ParticlePool.liveList; p; p = p->next)
    if (p->life > 0.0f) return true;
  return false;
}

// The local user walks only while the window has the keyboard and the view was clicked,
// as UpdateMovement has it.
static bool LocalKeyHeld() {
  if (!AppState.isActive || !AppState.viewHasFocus || !Local.keyHeld) return false;
  for (int key : kMoveKeyOrder)
    if (Local.keyHeld(key)) return true;
  return false;
}

// A line held over its speaker shows the same each frame; while it fades it changes.
bool SceneAnimating() {
  return SparksBurning() || LocalKeyHeld() || RoomAvatarWalking() || SpeechFading(SceneNowMs());
}
