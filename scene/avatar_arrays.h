// The avatar's corners placed in the room, as scene/avatar_models.cpp's arrays give them: what
// the crowd's drawing (scene/avatar_crowd.cpp) shares with the avatars drawn one by one.
#pragma once

struct AvatarVertex {  // as GL_T2F_V3F takes it
  float s, t, x, y, z;
};

// One avatar's corners placed in the room (as glTranslate to x, base, z, then glRotate by yaw
// about y and by pitch about x would place them), with its look's texture points: the arrays'
// vertex count of them. Look 0 or out of range: the figure before looks.
void PlaceAvatar(float x, float base, float z, float yaw, float pitch, int look, AvatarVertex* out);
