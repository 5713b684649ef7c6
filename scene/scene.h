// What the shell calls in the scene: set-up, the frame, movement, sparks and teardown.
#pragma once

bool InitScene();        // OpenGL state, room, assets, timer, sparks, glyph lists
bool RenderFrame();      // one frame; the context is current
void UpdateMovement();   // local movement keys, key reports, dead reckoning of peers
void ClampToWorld();     // keeps the local user and every active peer inside the room
void SpawnExplosion(float x, float y, float z);

// Teardown pieces, called by the shell's ReleaseSceneResources in this order.
void FreeWorldGeometry();   // the room's triangle array through CountedFree (no test first)
void FreeParticles();
void FreeWorldTextures();
void DeleteGlyphLists();
void FreeAvatarModel();     // empties AvatarModel while the old context is current
