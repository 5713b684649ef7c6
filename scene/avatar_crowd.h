// A crowd's near avatars, drawn whole where they may show: first the parts of each that showed
// in the last frame, then what the frame hides is read back and every other part is drawn
// unless it lies wholly behind that. The picture is the one every avatar drawn whole gives; a
// crowd packed before the eye costs about what its visible parts do.
#pragma once

struct CrowdMember {
  float x, base, z, yaw, pitch;
  int look;
  int slot;  // 0 .. kRoomMembers - 1: under which the parts it showed are kept for the next frame
};

// What the crowd's drawing keeps, made and freed with the avatar's arrays (scene/avatar_models.h):
// their index list (three a triangle; kept, not copied) and number of corners.
bool BuildCrowdArrays(const unsigned short* indices, int indexCount, int vertexCount);
void FreeCrowdArrays();
// Between BeginAvatars and EndAvatars, in the frame's lens: draws these members (nearest first;
// at most kRoomMembers); the number of triangles sent to be drawn. Without the avatar's arrays
// each is drawn by DrawAvatar (0 is returned).
int DrawAvatarCrowd(const CrowdMember* members, int count);
