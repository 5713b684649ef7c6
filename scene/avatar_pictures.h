// Far avatars as pictures: the avatar drawn once per scene set-up from 32 directions into one
// texture per look, and distant upright avatars drawn as a quad showing the picture for their
// angle and look.
#pragma once

class CModel;

// Makes the pictures of the model (compiled and fitted) in the current context, drawing them
// in the lower left 64 by 128 pixels of the viewport and reading them back: the window must be
// showing, and the frame drawn next clears them away. False when there is no model, no room
// for it or nothing could be read back: every avatar is then drawn from its triangles. It makes
// those of the figure before looks; MakeMorePictures, at the start of a later frame, those of
// one more look (some 40 ms each here), so that a set-up waits for no look nobody wears; true
// when it drew them (each look is tried once a set-up).
bool MakeAvatarPictures(CModel& model);
bool MakeMorePictures(int look);
// Whether far avatars of this look can be drawn as pictures yet (else they are drawn whole).
bool LookPicturesMade(int look);
void FreeAvatarPictures();  // deletes the textures in the current context

// The distance from the avatar's middle within which the whole model is drawn.
extern float AvatarRadius;

// Whether a peer at this distance from the eye, with this pitch, is drawn as a picture:
// upright, and so far that the model would be no taller on the screen than its picture.
// viewportHeight: pixels of the view; the lens is the scene's 34 degrees.
bool AvatarPictureFits(float distance, float pitch, int viewportHeight);
// Adds a peer standing at (x, base, z) with this yaw and look (core/looks.h; 0 or one without
// pictures: the figure before looks), seen from the eye at (eyeX, eyeZ).
void AddAvatarPicture(float x, float base, float z, float yaw, float eyeX, float eyeZ, int look);
// Draws every picture added since the last call, in one batch per look.
void DrawAvatarPictures();
