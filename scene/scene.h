// What the shell calls in the scene: set-up, the frame, movement, sparks and teardown.
#pragma once
#include <cstdint>

#include "core/player_pose.h"

bool InitScene();        // OpenGL state, room, assets, timer, sparks, glyph lists
bool RenderFrame();      // one frame; the context is current
// The 3D view's viewport and lens (34 degrees, near 0.1, far 100); aspect is the caller's.
void SetViewProjection(int x, int y, int width, int height, double aspect);
// Local movement keys (Local.keys says which are held, for the peers) and dead reckoning of the
// room's avatars (scene/room_avatars.h).
void UpdateMovement();
void ClampToWorld();     // keeps the local user and every avatar inside the room
// True while the view changes by itself from frame to frame: a spark burns, the local user
// holds a movement key (the window active and its view clicked), an active peer is reckoned
// on by a held key, or a speech bubble fades (scene/speech.h). Otherwise a frame shows what
// the last one did.
bool SceneAnimating();
void SpawnExplosion(float x, float y, float z);

// The local user as the keys move it (the window's thread), for as long as the program runs:
// the room and its avatars are drawn around it from one connection to the next.
struct LocalUserRecord {
  PlayerPose pose;
  // The movement keys (MoveKey 1..8) the local user holds as the peers are told: held only
  // while the window and its view have the keyboard. Set by UpdateMovement.
  uint8_t keys[kKeyFlagCount];
  float turnHeld;  // how long the local turn keys have been held
  // Whether a movement key (MoveKey index 1..8) is held right now, for the whole keyboard.
  // The shell points it at the platform's key reader (cursor keys, Delete, End, Page Up,
  // Page Down); tests point it at a fake. Null: no key held.
  bool (*keyHeld)(int moveKey);
};
extern LocalUserRecord Local;

// Teardown pieces, called by the shell's ReleaseSceneResources in this order.
void FreeWorldGeometry();   // the room's triangle array through CountedFree (no test first)
void FreeParticles();
void FreeWorldTextures();
void DeleteGlyphLists();
void FreeAvatarModel();     // empties AvatarModel, its looks and the labels' pictures while the old context is current
