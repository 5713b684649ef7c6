// Near avatars drawn whole: the fitted model's triangles, with texture coordinates for every look
// in data/looks.bmp, placed in the room into one vertex array and drawn with one call.
#pragma once

class CModel;

// Builds the arrays from the fitted model and loads the looks' texture, in the current context.
// False (the avatars are then drawn by the model itself, every look as the figure before looks)
// when the model is empty or the texture is missing.
bool BuildAvatarArrays(const CModel& model);
void FreeAvatarArrays();  // deletes the texture in the current context
// Height of the model's top above its origin (the top of the head), 0 for no model.
float AvatarTop();
// The arrays and the looks' texture are there: each look is drawn in its own colours.
bool AvatarArraysReady();

// Between Begin and End nothing else is drawn (End draws what was added); look 0 or out of range
// is the figure before looks.
void BeginAvatars();
void DrawAvatar(float x, float base, float z, float yaw, float pitch, int look);
void EndAvatars();
